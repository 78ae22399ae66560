// Real adapters of the launcher's seams: the spreadsheet host and the disk-identity classes by
// late-bound automation, and the machine settings through the shell and the locale API.
#pragma once

#include "platform/disk_identity.h"
#include "platform/machine_settings.h"
#include "platform/spreadsheet_host.h"
#include "platform/win32/automation.h"

namespace qor::win32 {

// "Excel.Application" (in-process or local server). The caller has initialised COM.
class AutomationSpreadsheetHost : public SpreadsheetHost {
public:
    bool Create() override;
    void Release() override { app_.Release(); }
    bool Held() const override { return static_cast<bool>(app_); }
    std::string Version() override;
    bool ProgramPath(std::string& path) override;
    bool OpenWorkbook(const std::string& fileName, const std::string& password) override;
    bool MakeVisible() override;

private:
    AutomationObject app_;
};

class AutomationDiskIdentityClasses : public DiskIdentityClasses {
public:
    bool Ask(const std::string& progId, const std::string& method, std::string& identity) override;
};

class Win32MachineSettings : public MachineSettings {
public:
    void NotifyAssociationChanged() override;
    bool SetShortDatePicture(const std::string& picture) override;
};

}  // namespace qor::win32
