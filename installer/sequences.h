// The install sequence (the wizard's start-install handler) and the uninstall sequence (the
// uninstall window's handler), written once against the platform interfaces and the windows'
// small views.
#pragma once

#include <string>

#include "platform/desktop_shell.h"
#include "platform/file_store.h"
#include "platform/management.h"
#include "platform/program_runner.h"
#include "platform/shell_links.h"
#include "platform/system_queries.h"

namespace qor::installer {

enum class MessageKind {
    Information,  // OK, information icon
    Critical,     // OK, critical icon
    OkCancel,     // OK and Cancel, no icon
    YesNo,        // Yes and No, no icon
};
enum class Answer { Ok, Cancel, Yes, No };

// The outside world of both sequences.
// The log of a run (/LOG=): one line per action, UTF-8, appended as it happens.
class ActionLog {
public:
    ActionLog(FileStore& files, std::string path) : files_(files), path_(std::move(path)) {}
    void Write(const std::string& line);

private:
    FileStore& files_;
    std::string path_;
};

struct InstallerPlatform {
    FileStore& files;
    SystemQueries& system;
    ManagementService& wmi;
    ProgramRunner& runner;
    ShellLinks& shell;
    DesktopShell& desktop;
    // The running program: its folder (without a trailing "\") and its file name without ".exe".
    std::string programFolder;
    std::string programBaseName;
    ActionLog* log = nullptr;  // null: the run keeps no log
};

// One line into the run's log, when it keeps one.
void LogAction(InstallerPlatform& platform, const std::string& line);
// A message and its answer as the log shows them.
std::string MessageLogLine(const std::string& text, const std::string& title, Answer answer);

// What the install sequence does to the wizard's folder page and finish page.
class WizardView {
public:
    virtual ~WizardView() = default;
    virtual Answer ShowMessage(const std::string& text, const std::string& title, MessageKind kind) = 0;
    // `Lb`: its text, shown and repainted.
    virtual void ShowStatus(const std::string& text) = 0;
    // `Lw`: shown with the width of `Lb` times done / total, repainted.
    virtual void ShowProgress(long done, long total) = 0;
    // `Lb` and `Lw` hidden and repainted.
    virtual void HideProgress() = 0;
    virtual void EnableFolderAndStart(bool enabled) = 0;  // `Cfolder`, `Cyes`
    virtual void EnableCancel(bool enabled) = 0;          // `Cno`
    // `Lfinish` and `Crun` filled, the folder page hidden, the finish page shown.
    virtual void ShowFinishPage(const std::string& finishText, const std::string& runText) = 0;
    // Lets pending window messages be handled.
    virtual void PumpEvents() = 0;
};

enum class InstallOutcome {
    ExcelRunning,  // message shown; nothing touched
    DriveMissing,  // message shown; nothing touched
    FolderRefused, // the folder's path cannot be written in the ANSI code page; nothing touched
    // The install error; the folder page is ready for another attempt. By its cause:
    FolderNotWritable,  // the folder or the installer's copy in it could not be made
    BadPackage,         // the installer's records are missing or damaged
    ExtractionFailed,   // the extractor could not run, failed, or extracted nothing
    RecordNotWritten,   // uninstall.inf could not be written
    FolderIsLink,       // the install folder, or a folder in it, is a link: nothing is extracted
    Installed,     // on the finish page
};

// The install sequence into `installPath` (ending in "\").
InstallOutcome RunInstall(InstallerPlatform& platform, WizardView& view, const std::string& installPath);

// The check of a chosen install folder: a drive root, a folder of the system or of the user
// (short and other alias forms included) is refused with a message. True when refused.
bool RefuseProtectedInstallFolder(InstallerPlatform& platform, WizardView& view, const std::string& installPath);

// The finish page's start of QOR.exe in the install folder: through the desktop shell only, so
// that it runs as the signed-in user and never with the rights the installer was given; where
// no desktop shell answers, nothing is started.
void StartInstalledProgram(InstallerPlatform& platform, const std::string& installPath);

// The install folder that a start with "/u" maintains: the folder of the running copy, or, for
// the copy kept in the protected folder, the install folder its record names (ending in "\").
std::string MaintenanceInstallPath(InstallerPlatform& platform);

// What the uninstall sequence does to the uninstall window.
class UninstallView {
public:
    virtual ~UninstallView() = default;
    virtual Answer ShowMessage(const std::string& text, const std::string& title, MessageKind kind) = 0;
    virtual void ShowStatus(const std::string& text) = 0;
    virtual void ShowProgress(long done, long total) = 0;
    virtual void HideProgress() = 0;
    // `Csetup` and `Cno`: no repair and no cancel while the list is made or removed.
    virtual void EnableRepairAndCancel(bool enabled) = 0;
    virtual void PumpEvents() = 0;
};

enum class UninstallOutcome {
    Cancelled,      // the user said Cancel; nothing changed
    Refused,        // whole-folder removal refused for a protected folder; nothing changed
    RecordMissing,  // uninstall.inf missing, unreadable or without a usable line (message shown);
                    // nothing removed; the program ends
    Abandoned,      // "No" to a locked file; the window stays
    Removed,        // done; the program ends
};

// The uninstall sequence for `installPath`; `wholeFolder` is the state of "同时删除整个安装文件夹".
// Run from the copy kept in the protected folder, it reads the record kept there and removes
// that folder's files as well.
UninstallOutcome RunUninstall(InstallerPlatform& platform, UninstallView& view, const std::string& installPath,
                              bool wholeFolder);

// Texts shown by the wizard and the uninstaller.
std::string InstallIntroText();  // `Lt`
extern const char* const kAlreadyRunningText;
extern const char* const kCancelInstallQuestion;
extern const char* const kFolderNotInCodePageText;
extern const char* const kBadArgumentsText;

}  // namespace qor::installer
