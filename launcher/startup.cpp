#include "launcher/startup.h"

#include <optional>
#include <vector>

#include "core/text.h"
#include "core/version_text.h"
#include "core/wildcard.h"
#include "launcher/machine_queries.h"
#include "common/processes/processes.h"
#include "common/settings/settings.h"

namespace qor {

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

    // A start without administrator rights that finds this folder not yet configured on this
    // machine starts itself again elevated, with the same arguments, and ends: before any window
    // shows, so that the elevated start does all the work and the person sees each notice once.
    // When the person declines the prompt, this start goes on without those rights. Elevated
    // starts keep the marker test at step 13; everyday starts never prompt.
    std::optional<bool> configured;
    if (!shell.ProcessElevated()) {
        configured = p.stages.MarkerMatches(s);
        if (!*configured) {
            shell.ReleaseInstanceLock();
            if (shell.RestartElevated(shell.CommandArguments())) return LauncherEnd::RestartedElevated;
            // Declined: the lock is taken again, unless a launcher started meanwhile has it.
            if (shell.AnotherInstanceRunning()) return RefuseSecondInstance(shell);
        }
    }

    // 5. Trust notice, only asked about while the user has not switched it off.
    if (ReadSetting(p.files, s.appFolder, "FSSHOW") != "False" && IsSecuritySoftwareRunning(p.wmi))
        shell.ShowSecurityNotice(s.appFolder);
    shell.Reached("security query");
    shell.PumpMessages();

    // 6. and 7.
    s.winFolder = LauncherWindowsFolder(s.winFolder);
    const bool wow64 = FolderExists(p.files, s.winFolder + "\\SysWOW64");
    const bool system32 = !wow64 && FolderExists(p.files, s.winFolder + "\\System32");
    s.componentFolder = ChooseComponentFolder(s.winFolder, wow64, system32, GetSystemFolder(p.system));

    // 8.
    s.command = ParseLauncherCommand(shell.CommandArguments());

    // 9. File-association tip and account-set migration, on a plain start only.
    if (s.command.commandText.empty() && ReadSetting(p.files, s.appFolder, "FFSHOW") != "False") {
        shell.ShowAssociationNotice(s.appFolder);
        MigrateAccountSets(p.files, s.appFolder);
    }
    shell.PumpMessages();

    // 10.
    FileVersionParts v = shell.ProgramVersion();
    s.fullVersion = FullVersionText(v.major, v.minor, v.revision);
    s.shortVersion = ShortVersionText(v.major, v.minor);
    shell.ShowSplash(s.shortVersion);
    shell.Reached("splash");
    shell.PumpMessages();

    // 11. Update hand-off, unless the updater itself started us.
    shell.ShowStage("正在检查更新...");
    if (!s.command.skipsUpdate && p.stages.HandOffUpdate(s)) return LauncherEnd::HandedOffToUpdater;
    shell.PumpMessages();

    // 12.
    shell.ShowStage("正在检查文件完整性...");
    if (!p.stages.CheckIntegrity(s)) return LauncherEnd::FilesMissing;
    shell.Reached("integrity");
    shell.PumpMessages();

    // 13. First start of this folder on this machine: configure the machine.
    shell.ShowStage("正在检查系统环境...");
    if (!(configured ? *configured : p.stages.MarkerMatches(s))) p.stages.ConfigureEnvironment(s);
    shell.Reached("marker");
    shell.PumpMessages();

    // 14.
    shell.ShowStage("正在注册必要控件...");
    p.stages.RegisterComponents(s);
    p.stages.SetShortDateFormat();
    shell.Reached("registration");
    shell.PumpMessages();

    // 15.
    shell.ShowStage("正在调用 Microsoft Excel...");
    if (!p.stages.LaunchSpreadsheet(s)) return LauncherEnd::SpreadsheetRefused;

    // 16. Excel keeps running with the workbook.
    p.stages.ReleaseSpreadsheet();
    shell.Reached("host released");
    return LauncherEnd::Finished;
}

}  // namespace qor
