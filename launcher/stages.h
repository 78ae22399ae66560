// The launcher's stages with substance: the installation integrity check, the machine marker
// and disk identity, the runtime environment configuration and component registration, and the
// spreadsheet host with the main workbook. Written once against the platform interfaces.
#pragma once

#include <functional>
#include <string>

#include "launcher/startup.h"
#include "platform/disk_identity.h"
#include "platform/file_store.h"
#include "platform/machine_settings.h"
#include "platform/management.h"
#include "platform/program_runner.h"
#include "platform/spreadsheet_host.h"
#include "platform/system_queries.h"

namespace qor {

// Everything the stages ask of the machine.
struct StagePlatform {
    LauncherShell& shell;
    FileStore& files;
    ManagementService& wmi;
    SystemQueries& system;
    ProgramRunner& runner;
    SpreadsheetHost& host;
    DiskIdentityClasses& diskClasses;
    MachineSettings& machine;
};

// The required files of SYS, in the order they are tested and reported.
extern const char* const kRequiredFiles[26];
// The built-in password of the main workbook.
extern const char* const kWorkbookPassword;

// Messages of the stages.
extern const char* const kErrorTitle;
extern const char* const kMissingFilesMessage;    // followed by the missing names
extern const char* const kControlUpdateFailedMessage;
extern const char* const kNoOfficeMessage;
extern const char* const kWpsMessage;
extern const char* const kIncompatibleVersionMessage;
extern const char* const kWorkbookMissingMessage;

// Machine marker and disk identity.
std::string GetDiskIdentity(ManagementService& wmi, DiskIdentityClasses& classes);
std::string MarkerFilePath(const std::string& appFolder);
bool MarkerMatches(FileStore& files, ManagementService& wmi, DiskIdentityClasses& classes,
                   const std::string& appFolder);
void WriteMarker(FileStore& files, ManagementService& wmi, DiskIdentityClasses& classes,
                 const std::string& appFolder);

// "regsvr32 /s "P"".
std::string RegisterCommand(const std::string& path);
// The five "reg add" commands of the account-set file type of the edition (none for an
// edition without one).
std::vector<std::string> FileTypeCommands(const std::string& editionTag, const std::string& appFolder);
// Moves F + "MSCOMCTL.OCX" aside to the first free backup name (when it exists) and copies the
// shipped one from SYS into F; nothing happens when the installer's list does not vouch for the
// shipped one.
void BackupAndReplaceControl(StagePlatform& p, const LauncherState& s, const std::string& folder);

// The stages themselves. `false` from CheckIntegrity and LaunchSpreadsheet ends the launcher.
bool CheckIntegrity(StagePlatform& p, const LauncherState& s);
void RunConfiguration(StagePlatform& p, const LauncherState& s);
void RunRegistration(StagePlatform& p, const LauncherState& s);
bool LaunchSpreadsheet(StagePlatform& p, const LauncherState& s);

// True when the command line hands an account set over to the workbook: a path, or "/0/"
// followed by a path. "/0", "/0/" alone and "/0" followed by anything but "/" hand nothing over.
bool HandsOverAccountSet(const LauncherCommand& command);

// The stages as the start-up calls them. A stage that fails in an unforeseen way (an exception
// from a library) counts as that step failing; the start-up goes on. The update hand-off is a
// separate function, so the stage that owns it is wired in by passing it here.
class MachineStages : public LauncherStages {
public:
    using HandOff = std::function<bool(const LauncherState&)>;
    explicit MachineStages(StagePlatform& platform, HandOff handOff = nullptr)
        : p_(platform), handOff_(std::move(handOff)) {}

    bool HandOffUpdate(const LauncherState& state) override;
    bool CheckIntegrity(const LauncherState& state) override;
    bool MarkerMatches(const LauncherState& state) override;
    void ConfigureEnvironment(const LauncherState& state) override;
    void RegisterComponents(const LauncherState& state) override;
    void SetShortDateFormat() override;
    bool LaunchSpreadsheet(const LauncherState& state) override;
    void ReleaseSpreadsheet() override;

private:
    StagePlatform& p_;
    HandOff handOff_;
};

}  // namespace qor
