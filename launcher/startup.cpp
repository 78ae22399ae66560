#include "launcher/startup.h"

#include <optional>
#include <vector>

#include "core/text.h"
#include "core/version_text.h"
#include "core/wildcard.h"
#include "launcher/machine_queries.h"
#include "common/processes/processes.h"
#include "common/settings/settings.h"
#include "common/trusted_files/trusted_files.h"

namespace qor {

const char* const kConfigureOnlyArgument = "/configure";
const char* const kInfoTitle = "提示";
const char* const kAlreadyRunningMessage = "应用程序QOR.exe已经运行！";
const char* const kUsbRefusalMessage =
    "尊敬的用户：\r\n"
    "\r\n"
    "USB接口接触不良、强制拔出U盘、使用劣质芯片的U盘或扩容U盘，\r\n"
    "都有可能导致QOR软件不能正常运行甚至数据丢失！\r\n"
    "为了您的数据安全，QOR软件不再允许在USB移动设备上运行！\r\n"
    "\r\n"
    "请您将QOR软件安装文件夹复制粘贴到电脑硬盘上使用。";

namespace {

// Old account-set files in the Db folder get the new extension, unless a file of the new name
// is already there. Names are collected first, then renamed in listing order.
void MigrateAccountSets(FileStore& files, const std::string& appFolder) {
    const std::string db = JoinPath(appFolder, "\\Db\\");
    std::vector<std::string> oldNames;
    for (const std::string& name : files.ListFiles(db))
        if (IsOldAccountSetName(name)) oldNames.push_back(name);
    for (const std::string& name : oldNames) {
        const std::string target = JoinPath(db, NewAccountSetName(name));
        if (!files.FileExists(target)) files.RenameFile(JoinPath(db, name), target);
    }
}

LauncherEnd RefuseSecondInstance(LauncherShell& shell) {
    shell.ShowMessage(kAlreadyRunningMessage, kInfoTitle, MessageIcon::Information);
    return LauncherEnd::AlreadyRunning;
}

// 6. and 7. The folder for shared 32-bit components, as the system names it; the rule of folder
// tests only when it does not answer.
void SettleComponentFolder(LauncherPlatform& p, LauncherState& s) {
    const std::string answered = p.system.ComponentSystemFolder();
    if (!answered.empty()) {
        s.componentFolder = answered + "\\";
        return;
    }
    s.winFolder = LauncherWindowsFolder(s.winFolder);
    const bool wow64 = FolderExists(p.files, s.winFolder + "\\SysWOW64");
    const bool system32 = !wow64 && FolderExists(p.files, s.winFolder + "\\System32");
    s.componentFolder = ChooseComponentFolder(s.winFolder, wow64, system32, GetSystemFolder(p.system));
}

// 10.
void ShowSplash(LauncherShell& shell, LauncherState& s) {
    FileVersionParts v = shell.ProgramVersion();
    s.fullVersion = FullVersionText(v.major, v.minor, v.revision);
    s.shortVersion = ShortVersionText(v.major, v.minor);
    shell.ShowSplash(s.shortVersion);
    shell.Reached("splash");
    shell.PumpMessages();
}

// 13. and 14. The first start of this folder on this machine configures the machine; every
// start registers the components.
void ConfigureAndRegister(LauncherPlatform& p, const LauncherState& s, std::optional<bool> configured) {
    LauncherShell& shell = p.shell;
    shell.ShowStage("正在检查系统环境...");
    if (!(configured ? *configured : p.stages.MarkerMatches(s))) p.stages.ConfigureEnvironment(s);
    shell.Reached("marker");
    shell.PumpMessages();

    shell.ShowStage("正在注册必要控件...");
    p.stages.RegisterComponents(s);
    p.stages.SetShortDateFormat();
    shell.Reached("registration");
    shell.PumpMessages();
}

}  // namespace

LauncherEnd RunLauncher(LauncherPlatform& p, const std::string& editionTag, LauncherState& s) {
    LauncherShell& shell = p.shell;

    // 1. One launcher at a time.
    if (shell.AnotherInstanceRunning()) return RefuseSecondInstance(shell);
    shell.Reached("single instance");

    // 2.
    s.appFolder = shell.ProgramFolder();

    // 3. No running from a USB disk, unless allowed by SYS\u.run; network paths are not tested.
    if (!WildcardMatch(s.appFolder, "\\\\*") &&
        !p.files.FileExists(JoinPath(s.appFolder, "\\SYS\\u.run"))) {
        s.usbDrives = GetUsbDriveLetters(p.wmi, [&shell] { shell.PumpMessages(); });
        if (IsOnUsbDrive(s.appFolder, s.usbDrives)) {
            shell.ShowMessage(kUsbRefusalMessage, kInfoTitle, MessageIcon::Information);
            return LauncherEnd::RefusedOnUsbDrive;
        }
    }
    shell.Reached("drive query");
    shell.PumpMessages();

    // 4.
    s.editionTag = editionTag;
    s.workbookPath = JoinPath(s.appFolder, "\\" + editionTag);
    s.sysFolder = JoinPath(s.appFolder, "\\SYS\\");
    s.winFolder = GetWindowsFolder(p.system);

    s.trustedFiles = ReadTrustList(p.files, p.system);

    // The start that configures the machine for a start without administrator rights: it has
    // them (or the system has no consent prompt), and it neither opens the workbook nor starts
    // the updater, which must not run with those rights.
    if (shell.CommandArguments() == kConfigureOnlyArgument) {
        SettleComponentFolder(p, s);
        ShowSplash(shell, s);
        ConfigureAndRegister(p, s, std::nullopt);
        return LauncherEnd::ConfiguredOnly;
    }

    // A start without administrator rights that finds this folder not yet configured on this
    // machine has the configuration done by a copy of itself with those rights, before any window
    // shows, and goes on when that copy has ended. When the person declines the prompt, this
    // start configures without the rights. Elevated starts keep the marker test at step 13;
    // everyday starts never prompt.
    std::optional<bool> configured;
    if (!shell.ProcessElevated()) {
        configured = p.stages.MarkerMatches(s);
        if (!*configured) {
            shell.ReleaseInstanceLock();
            // A configuration that failed is not repeated now: the next start tries again.
            configured = shell.RunElevatedAndWait(kConfigureOnlyArgument);
            // The lock is taken again, unless a launcher started meanwhile has it.
            if (shell.AnotherInstanceRunning()) return RefuseSecondInstance(shell);
        }
    }

    // 5. Trust notice, only asked about while the user has not switched it off.
    if (ReadSetting(p.files, s.appFolder, "FSSHOW") != "False" && IsSecuritySoftwareRunning(p.wmi))
        shell.ShowSecurityNotice(s.appFolder);
    shell.Reached("security query");
    shell.PumpMessages();

    // 6. and 7.
    SettleComponentFolder(p, s);

    // 8.
    s.command = ParseLauncherCommand(shell.CommandArguments());

    // 9. File-association tip and account-set migration, on a plain start only.
    if (s.command.commandText.empty() && ReadSetting(p.files, s.appFolder, "FFSHOW") != "False") {
        shell.ShowAssociationNotice(s.appFolder);
        MigrateAccountSets(p.files, s.appFolder);
    }
    shell.PumpMessages();

    // 10.
    ShowSplash(shell, s);

    // 11. Update hand-off, unless the updater itself started us.
    shell.ShowStage("正在检查更新...");
    if (!s.command.skipsUpdate && p.stages.HandOffUpdate(s)) return LauncherEnd::HandedOffToUpdater;
    shell.PumpMessages();

    // 12.
    shell.ShowStage("正在检查文件完整性...");
    if (!p.stages.CheckIntegrity(s)) return LauncherEnd::FilesMissing;
    shell.Reached("integrity");
    shell.PumpMessages();

    // 13. and 14.
    ConfigureAndRegister(p, s, configured);

    // 15.
    shell.ShowStage("正在调用 Microsoft Excel...");
    if (!p.stages.LaunchSpreadsheet(s)) return LauncherEnd::SpreadsheetRefused;

    // 16. Excel keeps running with the workbook.
    p.stages.ReleaseSpreadsheet();
    shell.Reached("host released");
    return LauncherEnd::Finished;
}

}  // namespace qor
