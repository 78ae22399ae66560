#include "updater/updater.h"

#include "core/text.h"
#include "core/update_rules.h"
#include "core/version_text.h"
#include "common/processes/processes.h"
#include "common/settings/settings.h"
#include "common/staged_update/staged_update.h"
#include "updater/package_signature.h"
#include "updater/signed_log.h"
#include "updater/update_log.h"

namespace qor {

const char* const kUpdaterCaption = "QOR自动升级程序";
const char* const kUpdaterAlreadyRunning = "QOR自动升级程序已经运行！";
const char* const kCannotReachServer = "无法连接到服务器！";
const char* const kInstallButtonText = "安装升级包";
const char* const kOnlineButtonText = "在线升级";
const char* const kGiveUpButtonText = "取消";
const char* const kUpdaterHint = "温馨提示：升级不会影响您的数据";

namespace {

std::string LauncherPath(const UpdaterState& s) { return JoinPath(s.appFolder, "\\QOR.exe"); }
std::string ExtractorPath(const UpdaterState& s) { return JoinPath(s.appFolder, "\\UnRAR.exe"); }

std::string NotesBoxText(const UpdaterState& s) {
    const std::string rule(66, '-');
    return rule + "\r\n" + s.newVersion + " 更新：\r\n" + rule + s.notes;
}

std::string VersionsTail(const UpdaterState& s) {
    return s.newVersion + " [当前版本:" + s.currentVersion + "]";
}

void RemoveIfPresent(FileStore& files, const std::string& path) {
    if (files.FileExists(path)) files.RemoveFile(path);
}

// Ends the updater. Started with "/s", it gives the launcher its account set back on every way
// out: the launcher ended so that the update could be installed. The restart's "/0" skips the
// launcher's update stage, so the two never start each other in a loop.
UpdaterNext EndUpdater(UpdaterPlatform& p, const UpdaterState& s) {
    if (s.argument == "/s") RestartLauncher(p, s);
    return UpdaterNext::EndProgram;
}

}  // namespace

std::string GetFileVersionText(FileStore& files, SystemQueries& system, const std::string& path) {
    const std::string none = "0.00";
    if (!files.FileExists(path)) return none;
    FileVersionParts v;
    if (!system.FileVersion(path, v)) return none;
    return FullVersionText(v.major, v.minor, v.revision);
}

void FillDownloadedMode(UpdaterWindow& window, const UpdaterState& s) {
    window.SetHeadline("检测到已下载完成的新版本:" + VersionsTail(s));
    window.SetNotes(NotesBoxText(s));
    window.ShowInstallButton(true);
}

void FillOnlineMode(UpdaterWindow& window, const UpdaterState& s) {
    window.SetHeadline("检测到QOR服务器上有新版本:" + VersionsTail(s));
    window.SetNotes(NotesBoxText(s));
    window.ShowInstallButton(false);
}

namespace {

// The edition comes from the plain files' names: folders, hidden and system files do not count.
std::string FolderEdition(UpdaterPlatform& p, const UpdaterState& s) {
    std::vector<std::string> names;
    for (const FileStore::Entry& e : p.files.ListEntries(s.appFolder))
        if (!e.folder && !e.hidden && !e.system) names.push_back(e.name);
    return EditionCodeFromNames(names);
}

}  // namespace

bool FetchServerUpdateLog(UpdaterPlatform& p, const std::string& updateHost, UpdaterState& s) {
    const std::string edition = FolderEdition(p, s);
    const std::string logUrl = ServerUpdateLogUrl(updateHost, edition);
    std::string text;
    // The log is read up to a size limit; a keyed updater takes it only with the vendor's
    // signature for this edition (updater/signed_log.h).
    if (!DownloadFile(p.http, p.files, p.window, logUrl, UpdateLogPath(s.appFolder), s.counters) ||
        !ReadServerLog(p, s, edition, logUrl, text)) {
        s.newVersion.clear();
        s.notes.clear();
        s.packageUrl.clear();
        return false;
    }
    const UpdateLogLines log = ParseUpdateLog(text);
    s.newVersion = log.version;
    s.notes = log.notes;
    s.packageUrl = log.lastLine;
    return IsValidServerLog(log);
}

UpdaterNext RunUpdater(UpdaterPlatform& p, const std::string& updateHost, UpdaterState& s) {
    s.appFolder = p.shell.ProgramFolder();
    s.argument = p.shell.CommandArguments();

    if (p.shell.AnotherInstanceRunning()) {
        if (s.argument != "/d" && s.argument != "/s") p.shell.ShowMessage(kUpdaterAlreadyRunning, UpdaterIcon::Information);
        return EndUpdater(p, s);
    }

    // An update cut off while its files moved, which the launcher left to the updater (its own
    // program was still to move), is finished first, once no launcher runs; the launcher
    // started with "/s" then gets its account set back as after any finished update.
    if (p.files.FileExists(JournalPath(s.appFolder))) {
        TerminateProcesses(p.wmi, "QOR.exe");
        if (!IsProcessRunning(p.wmi, "QOR.exe")) {
            const Recovery recovery = RecoverStagedUpdate(p.files, s.appFolder, "QOR_UPDATE.exe");
            if (recovery == Recovery::Finished) RemoveIfPresent(p.files, UpdateLogPath(s.appFolder));
            if (recovery == Recovery::Failed) p.shell.ShowMessage("自动升级过程发生错误！\r\n请重试！", UpdaterIcon::Critical);
        }
    }

    // A package that was downloaded completely and is newer than the launcher is offered first,
    // whatever the argument; a keyed updater offers it only while its log's signature holds.
    std::string lastLine;
    if (ReadUpdateLog(p.files, s.appFolder, s.newVersion, s.notes, lastLine) &&
        p.files.FileExists(UpdatePackagePath(s.appFolder)) && CheckStoredLog(p, s, FolderEdition(p, s))) {
        s.currentVersion = GetFileVersionText(p.files, p.system, LauncherPath(s));
        if (IsNewerVersion(s.newVersion, s.currentVersion)) {
            FillDownloadedMode(p.window, s);
            p.window.Show();
            return UpdaterNext::KeepWindow;
        }
    }

    if (s.argument.empty() || s.argument == "/r") {
        if (!FetchServerUpdateLog(p, updateHost, s)) {
            p.shell.ShowMessage(kCannotReachServer, UpdaterIcon::Critical);
            return UpdaterNext::EndProgram;
        }
        s.currentVersion = GetFileVersionText(p.files, p.system, LauncherPath(s));
        if (IsNewerVersion(s.newVersion, s.currentVersion)) {
            FillOnlineMode(p.window, s);
            p.window.Show();
            return UpdaterNext::KeepWindow;
        }
        p.shell.ShowMessage("当前版本" + s.currentVersion + "已经是最新版！", UpdaterIcon::Information);
        return UpdaterNext::EndProgram;
    }

    if (s.argument == "/d" && FetchServerUpdateLog(p, updateHost, s)) {
        s.currentVersion = GetFileVersionText(p.files, p.system, LauncherPath(s));
        if (IsNewerVersion(s.newVersion, s.currentVersion) &&
            DownloadFile(p.http, p.files, p.window, s.packageUrl, UpdatePackagePath(s.appFolder), s.counters) &&
            FetchPackageSignature(p, s)) {
            MarkDownloadComplete(p.files, s.appFolder);
        }
    }
    return EndUpdater(p, s);
}

UpdaterNext OnlineUpgrade(UpdaterPlatform& p, UpdaterState& s) {
    p.window.SetBusy(true);
    p.window.ShowStatus("");
    p.window.EnableButton(UpdaterButton::Online, false);
    const bool stored = DownloadFile(p.http, p.files, p.window, s.packageUrl, UpdatePackagePath(s.appFolder), s.counters);
    const bool trusted = stored && FetchPackageSignature(p, s);
    if (trusted) MarkDownloadComplete(p.files, s.appFolder);
    if (!trusted) {
        p.shell.ShowMessage(stored ? kPackageSignatureRefused : kCannotReachServer, UpdaterIcon::Critical);
        p.window.SetBusy(false);
        p.window.EnableButton(UpdaterButton::Online, true);
        p.window.EnableButton(UpdaterButton::GiveUp, true);
        return UpdaterNext::KeepWindow;
    }
    p.window.ShowStatus("升级包下载完成！");
    p.window.SetHeadline("检测到已下载完成的新版本:" + VersionsTail(s));
    p.window.ShowInstallButton(true);
    if (p.shell.AskYesNo("新版本升级包已下载完成！\r\n是否立即安装？")) return InstallPackage(p, s);
    return UpdaterNext::KeepWindow;
}

UpdaterNext InstallPackage(UpdaterPlatform& p, UpdaterState& s) {
    TerminateProcesses(p.wmi, "QOR.exe");
    if (IsProcessRunning(p.wmi, "QOR.exe")) {
        p.shell.ShowMessage("QOR自动升级程序检测到进程QOR.exe正在运行！\r\n\r\n请在任务管理器中结束该进程后再尝试升级...",
                            UpdaterIcon::Information);
        return UpdaterNext::KeepWindow;
    }
    if (IsProcessRunning(p.wmi, "excel.exe")) {
        p.shell.ShowMessage("QOR自动升级程序检测到Excel正在运行！\r\n\r\n如果您已经打开QOR软件或其它Excel表格，请关闭后再尝试升级...",
                            UpdaterIcon::Information);
        return UpdaterNext::KeepWindow;
    }

    // From here on a failing step does not stop the installation; `failed` collects them and is
    // looked at once the extractor has ended.
    bool failed = false;
    p.window.SetBusy(true);
    p.window.ShowStatus("");
    p.window.EnableButton(UpdaterButton::Install, false);

    const std::string package = UpdatePackagePath(s.appFolder);
    if (!p.files.FileExists(package)) {
        p.shell.ShowMessage("未找到升级包文件【QOR_UPDATE.rar】！", UpdaterIcon::Critical);
        RemoveIfPresent(p.files, UpdateLogPath(s.appFolder));
        return EndUpdater(p, s);
    }
    // A package whose signature does not hold is deleted unopened; with the package gone the log
    // goes too, as when the package is missing.
    if (!CheckStoredPackage(p, s)) {
        p.shell.ShowMessage(kPackageSignatureRefused, UpdaterIcon::Critical);
        RemoveIfPresent(p.files, UpdateLogPath(s.appFolder));
        return EndUpdater(p, s);
    }
    if (!p.files.FileExists(ExtractorPath(s))) {
        p.shell.ShowMessage("缺少解压缩程序文件【UnRAR.exe】！\r\n请手动将升级包文件【QOR_UPDATE.rar】解压缩到当前文件夹以完成升级。",
                            UpdaterIcon::Information);
        return EndUpdater(p, s);
    }

    p.window.ShowStatus("正在安装升级包(请不要关闭本窗口)...");
    p.window.EnableButton(UpdaterButton::GiveUp, false);
    s.installing = true;

    // A launcher backup of an older update (renamed before extracting over the folder) goes.
    RemoveIfPresent(p.files, LauncherPath(s) + "." + s.currentVersion);
    // The package goes into a fresh staging folder; the installed files stay untouched until
    // the staged result has passed its checks.
    const std::string staging = StagingFolder(s.appFolder);
    if (RecoverStagedUpdate(p.files, s.appFolder) == Recovery::Failed || !p.files.CreateFolder(staging))
        failed = true;
    if (!failed) {
        const std::string q = "\"";
        const std::string command =
            q + ExtractorPath(s) + q + " x -o+ " + q + package + q + " " + QuotedFolderArgument(staging);
        p.window.PumpMessages();
        // Exit codes from 2 on are the extractor's errors (1 is a warning): a damaged package, a
        // file it could not create, nothing extracted.
        const std::optional<uint32_t> exitCode = p.runner.StartAndWait(command, WindowStyle::NormalFocus);
        // Every update package carries the new launcher, of the version the log announced and
        // newer than the running one: the launcher and the updater judge "newer" by it, so a
        // package without it would be offered again on every start, and an older, validly
        // signed package offered under a higher number is refused here.
        const std::string stagedLauncher = JoinPath(staging, "QOR.exe");
        const std::string stagedVersion = GetFileVersionText(p.files, p.system, stagedLauncher);
        if (!exitCode || *exitCode >= 2 || !p.files.FileExists(stagedLauncher) || stagedVersion != s.newVersion ||
            !IsNewerVersion(stagedVersion, s.currentVersion)) {
            failed = true;
            DiscardStaging(p.files, s.appFolder);
        } else if (!CommitStagedUpdate(p.files, s.appFolder, p.cut)) {
            failed = true;
        }
    }
    p.window.ShowStatus("升级包安装完成！");

    if (failed) {
        // The package and the log stay for the next try.
        p.shell.ShowMessage("自动升级过程发生错误！\r\n请重试！", UpdaterIcon::Critical);
        p.window.SetBusy(false);
        p.window.EnableButton(UpdaterButton::Install, true);
        p.window.EnableButton(UpdaterButton::GiveUp, true);
        s.installing = false;
        return UpdaterNext::KeepWindow;
    }

    p.window.ShowProgressWidth(p.window.StatusWidth() - 60);
    p.shell.ShowMessage("QOR自动升级成功！", UpdaterIcon::Information);
    RemoveIfPresent(p.files, UpdateLogPath(s.appFolder));
    if (s.argument == "/r") p.shell.ShowMessage("新的版本将在重新启动QOR软件后生效！", UpdaterIcon::Information);
    return EndUpdater(p, s);
}

UpdaterNext GiveUp(UpdaterPlatform& p, UpdaterState& s) {
    // A close that arrives while the installation runs (queued during the renames, or handled
    // while a message box of the installation is up) must not end the program while the
    // extractor works or the staged files move.
    if (s.installing) return UpdaterNext::KeepWindow;
    if (!p.shell.AskOkCancel("确定要放弃升级吗？")) return UpdaterNext::KeepWindow;
    return EndUpdater(p, s);
}

void RestartLauncher(UpdaterPlatform& p, const UpdaterState& s) {
    const std::string command = ReadSetting(p.files, s.appFolder, "ZTCOMMAND");
    const std::string launcher = "\"" + LauncherPath(s) + "\"";
    if (command.empty()) {
        p.runner.Start(launcher + " /0", WindowStyle::NormalFocus);
        return;
    }
    WriteSetting(p.files, s.appFolder, "ZTCOMMAND", "");
    p.runner.Start(launcher + " /0/" + command, WindowStyle::NormalFocus);
}

}  // namespace qor
