// The installer's command line. Without the deployment switches it is as it always was: "/u"
// exactly uninstalls, anything else installs through the wizard. With them:
//   /S              silent: no window and no message; the agreement counts as accepted
//   /u              uninstall (with /S: silently, keeping whatever the record does not list)
//   /LOG=<file>     one UTF-8 line per action, in silent and interactive runs alike
//   /D=<folder>     the install folder; the last argument, taken to the end of the line, blanks
//                   included: unquoted, its value quoted, or the whole argument quoted
// and the process ends with one of the exit codes below.
#pragma once

#include <string>

namespace qor::installer {

struct SetupCommand {
    bool uninstall = false;
    bool silent = false;
    std::string logFile;  // empty: no log
    std::string folder;   // /D=, as given; empty: the default folder
    bool valid = true;    // false: an argument the installer does not know, or an empty value
};

SetupCommand ParseSetupCommand(const std::string& arguments);

// The install folder of a silent install: /D= with one "\" at the end, or the default folder.
std::string SilentInstallPath(const SetupCommand& command, const std::string& defaultPath);

// Exit codes of QOR_SETUP.exe (documented in the README).
enum ExitCode : int {
    kExitDone = 0,
    kExitBadArguments = 1,
    kExitAlreadyRunning = 2,
    kExitSpreadsheetRunning = 3,
    kExitBadPackage = 4,         // the installer's own records missing or damaged
    kExitExtractionFailed = 5,   // the extractor could not run, failed or extracted nothing
    kExitRecordNotWritten = 6,   // uninstall.inf could not be written
    kExitRecordMissing = 7,      // uninstall: uninstall.inf missing, unreadable or unusable
    kExitLockedFile = 8,         // uninstall: a file could not be removed; stopped there
    kExitFolderRefused = 9,      // the folder: no such drive, a path the code page cannot hold,
                                 // it cannot be created or written, or it may not be emptied
};

}  // namespace qor::installer
