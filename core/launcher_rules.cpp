#include "core/launcher_rules.h"

#include <cctype>

#include "core/text.h"
#include "core/wildcard.h"

namespace qor {

LauncherCommand ParseLauncherCommand(const std::string& arguments) {
    LauncherCommand cmd;
    cmd.commandText = RemoveChar(arguments, '"');
    cmd.skipsUpdate = WildcardMatch(cmd.commandText, "/0*");
    cmd.hasAccountSet = !cmd.commandText.empty() && cmd.commandText != "/0";
    if (!cmd.hasAccountSet) return cmd;

    std::string path = cmd.commandText;
    if (WildcardMatch(path, "/0/*")) path = ReplaceAll(path, "/0/", "");
    size_t lastSep = path.rfind('\\');
    if (lastSep != std::string::npos) cmd.accountFolder = path.substr(0, lastSep + 1);
    cmd.accountFile = cmd.accountFolder.empty() ? path : ReplaceAll(path, cmd.accountFolder, "");
    return cmd;
}

bool IsOnUsbDrive(const std::string& appFolder, const std::string& usbDrives) {
    if (usbDrives.empty()) return false;  // the query failed: let the launcher run
    // The drive is the text before the first "\"; a root folder ("E:") is all drive. Drive
    // letters name the same drive in either case, so the letter is compared in upper case.
    std::string drive = appFolder.substr(0, appFolder.find('\\'));
    if (drive.empty()) return false;
    if (drive.size() == 2 && drive[1] == ':')
        drive[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(drive[0])));
    return usbDrives.find(drive) != std::string::npos;
}

std::string LauncherWindowsFolder(const std::string& windowsFolder) {
    return WildcardMatch(windowsFolder, "C:\\*") ? windowsFolder : std::string("C:\\Windows");
}

std::string ChooseComponentFolder(const std::string& windowsFolder, bool sysWow64Exists,
                                  bool system32Exists, const std::string& systemFolder) {
    if (sysWow64Exists) return windowsFolder + "\\SysWOW64\\";
    if (system32Exists) return windowsFolder + "\\System32\\";
    return systemFolder + "\\";
}

bool IsOldAccountSetName(const std::string& fileName) { return WildcardMatch(fileName, "*.qor"); }

std::string NewAccountSetName(const std::string& oldName) { return oldName + "b"; }

}  // namespace qor
