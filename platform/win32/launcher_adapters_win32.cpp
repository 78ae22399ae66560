#include "platform/win32/launcher_adapters_win32.h"

#include <windows.h>
#include <shlobj.h>

namespace qor::win32 {

bool AutomationSpreadsheetHost::Create() {
    app_.Release();
    app_ = AutomationObject::Create("Excel.Application");
    return static_cast<bool>(app_);
}

std::string AutomationSpreadsheetHost::Version() {
    if (!app_) return std::string();
    return app_.GetText("version");
}

bool AutomationSpreadsheetHost::ProgramPath(std::string& path) {
    if (!app_) return false;
    Variant value;
    if (!app_.Get("Path", value)) return false;
    path = VariantText(value.v);
    return true;
}

bool AutomationSpreadsheetHost::OpenWorkbook(const std::string& fileName, const std::string& password) {
    if (!app_) return false;
    AutomationObject workbooks = app_.GetObject("Workbooks");
    if (!workbooks) return false;
    return workbooks.Call("Open", {AutomationArg(fileName).Named("FileName"),
                                   AutomationArg(password).Named("Password")});
}

bool AutomationSpreadsheetHost::MakeVisible() {
    if (!app_) return false;
    return app_.Put("Visible", AutomationArg(true));
}

bool AutomationDiskIdentityClasses::Ask(const std::string& progId, const std::string& method,
                                        std::string& identity) {
    AutomationObject object = AutomationObject::Create(progId);
    if (!object) return false;
    Variant result;
    if (!object.Call(method, {}, &result)) return false;
    identity = VariantText(result.v);
    return true;
}

void Win32MachineSettings::NotifyAssociationChanged() {
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH, nullptr, nullptr);
}

bool Win32MachineSettings::SetShortDatePicture(const std::string& picture) {
    // The picture is plain ASCII; the ANSI form of the call is the one the system documents
    // for this item.
    return SetLocaleInfoA(GetSystemDefaultLCID(), LOCALE_SSHORTDATE, picture.c_str()) != 0;
}

}  // namespace qor::win32
