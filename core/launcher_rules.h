// Decisions of the launcher's start-up that need nothing from the operating system.
#pragma once

#include <string>

namespace qor {

// The launcher's command line as the start-up reads it.
struct LauncherCommand {
    std::string commandText;    // the arguments with every double quote removed
    bool skipsUpdate = false;   // the text begins with "/0"
    bool hasAccountSet = false; // the text is neither empty nor "/0"
    std::string accountFolder;  // up to and including the last "\" of the path (or empty)
    std::string accountFile;    // the path with the folder removed
};

LauncherCommand ParseLauncherCommand(const std::string& arguments);

// True when the application folder lies on one of the USB drives listed in `usbDrives`
// (drive names joined by ",", "NOUDISK", or empty after a failed query).
bool IsOnUsbDrive(const std::string& appFolder, const std::string& usbDrives);

// The Windows folder as the launcher uses it: anything not on drive C: becomes "C:\Windows".
std::string LauncherWindowsFolder(const std::string& windowsFolder);

// The folder for shared 32-bit components, ending in "\": SysWOW64 on 64-bit Windows, else
// System32, else the system directory the platform reports.
std::string ChooseComponentFolder(const std::string& windowsFolder, bool sysWow64Exists,
                                  bool system32Exists, const std::string& systemFolder);

// Account-set files of the old type ("*.qor", case-sensitive) and their new names (".qorb").
bool IsOldAccountSetName(const std::string& fileName);
std::string NewAccountSetName(const std::string& oldName);

}  // namespace qor
