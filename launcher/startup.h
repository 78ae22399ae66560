// The launcher's start-up sequence: checks, repairs and hand-offs in a fixed order, behind the
// splash window, ending with the main workbook opened in the spreadsheet host.
#pragma once

#include <string>

#include "core/launcher_rules.h"
#include "core/trust_list.h"
#include "platform/file_store.h"
#include "platform/management.h"
#include "platform/system_queries.h"

namespace qor {

enum class MessageIcon { Information, Critical };

// What the start-up asks of the running program and its windows.
class LauncherShell {
public:
    virtual ~LauncherShell() = default;

    // True when another launcher of the same program file is already running. Otherwise this
    // launcher now holds the single-instance lock.
    virtual bool AnotherInstanceRunning() = 0;
    // Lets go of the single-instance lock, so that a copy started now can take it.
    virtual void ReleaseInstanceLock() = 0;
    // True when the process runs with full administrator rights (elevated).
    virtual bool ProcessElevated() = 0;
    // Starts this program again, with administrator rights (through the consent prompt) and
    // these command-line arguments, and waits until it has ended. False when it did not start:
    // the person declined or the start failed.
    virtual bool RunElevatedAndWait(const std::string& arguments) = 0;
    // Folder of the running program, without a trailing separator.
    virtual std::string ProgramFolder() = 0;
    // The command-line arguments after the program name, as passed.
    virtual std::string CommandArguments() = 0;
    // The program's own version (build constants).
    virtual FileVersionParts ProgramVersion() = 0;

    // A modal message box.
    virtual void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) = 0;
    // The modal trust notice about security software; returns when it has closed.
    virtual void ShowSecurityNotice(const std::string& appFolder) = 0;
    // The modal tip on the account-set file association; returns when it has closed.
    virtual void ShowAssociationNotice(const std::string& appFolder) = 0;
    // The modal notice that the runtime environment is about to be configured; returns when it
    // has closed.
    virtual void ShowConfigurationNotice(const std::string& appFolder) = 0;
    // Shows the splash modeless with the version text; it stays up until the launcher ends.
    virtual void ShowSplash(const std::string& versionText) = 0;
    // Shows the stage text on the splash and repaints it at once.
    virtual void ShowStage(const std::string& stageText) = 0;
    // Places the splash in the topmost band (after a failure message it must stay in view).
    virtual void MakeSplashTopmost() = 0;
    // Lets pending window messages be handled (repaints, the splash's cancel link).
    virtual void PumpMessages() = 0;
    // The start-up has come to the named point of its sequence. Only test builds time these
    // points (to show where a start spends its time); the program itself does nothing here.
    virtual void Reached(const char* point) { (void)point; }
    // A file of the application folder was not used: the installer's list does not vouch for
    // its bytes. Only test builds record it; no message of the system tells of it.
    virtual void Distrusted(const std::string& path) { (void)path; }
};

// The launcher's process-wide state, set once by the start-up in this order.
struct LauncherState {
    std::string appFolder;
    std::string editionTag;
    std::string workbookPath;
    std::string sysFolder;        // ends in "\"
    std::string winFolder;
    std::string componentFolder;  // ends in "\"
    LauncherCommand command;
    std::string fullVersion;
    std::string shortVersion;
    std::string usbDrives;
    // The files the installer vouches for, from the folder only administrators can write.
    TrustList trustedFiles;
};

// The stages of the start-up that have substance of their own.
class LauncherStages {
public:
    virtual ~LauncherStages() = default;

    // Update hand-off: may start the updater to install a downloaded update; true when the
    // launcher must then end.
    virtual bool HandOffUpdate(const LauncherState& state) = 0;
    // Installation integrity check: false when a required file is missing (its message has
    // been shown) and the launcher must end.
    virtual bool CheckIntegrity(const LauncherState& state) = 0;
    // True when this folder was already configured on this machine.
    virtual bool MarkerMatches(const LauncherState& state) = 0;
    // First-start configuration of the runtime environment (shows its notice first).
    virtual void ConfigureEnvironment(const LauncherState& state) = 0;
    // Component registration, on every start.
    virtual void RegisterComponents(const LauncherState& state) = 0;
    // The system short-date format.
    virtual void SetShortDateFormat() = 0;
    // Creates the spreadsheet host and opens the main workbook; false when the launcher must
    // end without opening it (its message has been shown).
    virtual bool LaunchSpreadsheet(const LauncherState& state) = 0;
    // Releases the spreadsheet host object, leaving the host running.
    virtual void ReleaseSpreadsheet() = 0;
};

// How the start-up ended.
enum class LauncherEnd {
    AlreadyRunning,
    RefusedOnUsbDrive,
    HandedOffToUpdater,
    FilesMissing,
    SpreadsheetRefused,
    Finished,
    // The start that configures the machine with administrator rights for a start without them
    // has done so (and ends; the start without them goes on).
    ConfiguredOnly,
};

struct LauncherPlatform {
    LauncherShell& shell;
    FileStore& files;
    ManagementService& wmi;
    SystemQueries& system;
    LauncherStages& stages;
};

// The only argument of the start that configures the machine with administrator rights for a
// start without them: it configures and registers, then ends.
extern const char* const kConfigureOnlyArgument;

// Texts the start-up shows.
extern const char* const kAlreadyRunningMessage;
extern const char* const kUsbRefusalMessage;
extern const char* const kInfoTitle;

// Runs the start-up sequence once; the caller ends the process whatever the result.
LauncherEnd RunLauncher(LauncherPlatform& platform, const std::string& editionTag, LauncherState& state);

}  // namespace qor
