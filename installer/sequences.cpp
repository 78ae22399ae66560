#include "installer/sequences.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "common/file_tree/file_tree.h"
#include "common/trusted_files/trusted_files.h"
#include "core/text.h"
#include "core/wildcard.h"
#include "installer/install_record.h"
#include "installer/package/package.h"
#include "installer/product.h"
#include "common/processes/processes.h"

namespace qor::installer {

const char* const kAlreadyRunningText = "QOR安装程序已经运行！";
const char* const kCancelInstallQuestion = "确定要放弃安装吗？";
const char* const kFolderNotInCodePageText = "安装路径中含有当前系统语言不支持的字符！\r\n请重新选择安装路径。";
const char* const kWorkFolderName = "QOR_SETUP_WORK";

std::string ProtectedFolderRefusalText(const std::string& installPath) {
    return "安装文件夹 " + installPath + " 是磁盘根目录或系统、用户文件夹，不能安装到这里！" + "\r\n" +
           "请重新选择安装路径。";
}

const char* const kBadArgumentsText =
    "命令行参数不正确！\r\n用法：QOR_SETUP.exe [/S] [/u] [/LOG=日志文件] [/D=安装路径]";

std::string InstallIntroText() {
    return std::string("本程序将为您安装") + "\r\n" + kProductName + "\r\n\r\n" + "版本：" + kVersionText;
}

namespace {

bool IsEmptyFolder(FileStore& files, const std::string& folder) {
    for (const FileStore::Entry& e : files.ListEntries(folder))
        if (e.name != "." && e.name != "..") return false;
    return true;
}

// Runs the extractor into the destination, hidden, and waits for it to end; false when it could
// not be started. `exitCode` (when given) receives its exit code when it could be read.
bool RunExtractor(InstallerPlatform& platform, WizardView& view, const std::string& work,
                  const std::string& destination, uint32_t* exitCode) {
    view.PumpEvents();
    const std::optional<uint32_t> code =
        platform.runner.StartAndWait(ExtractorCommand(work, destination), WindowStyle::Hidden);
    if (!code) return false;
    if (exitCode) *exitCode = *code;
    return true;
}

// True when both files can be read and hold the same bytes.
bool SameBytes(FileStore& files, const std::string& a, const std::string& b) {
    std::unique_ptr<ByteReader> left = files.OpenForReading(a);
    std::unique_ptr<ByteReader> right = files.OpenForReading(b);
    if (!left || !right) return false;
    std::vector<char> x(65536), y(65536);
    for (;;) {
        size_t gotX = 0, gotY = 0;
        if (!left->Read(x.data(), x.size(), gotX)) return false;
        // Fill the same amount from the other side: reads may come back in pieces of any size.
        while (gotY < gotX) {
            size_t got = 0;
            if (!right->Read(y.data() + gotY, gotX - gotY, got)) return false;
            if (got == 0) break;
            gotY += got;
        }
        if (gotY != gotX || !std::equal(x.begin(), x.begin() + gotX, y.begin())) return false;
        if (gotX == 0) return true;
    }
}

// The extractor's exit code when a file could not be created; it extracted the others.
constexpr uint32_t kCouldNotCreate = 9;

// After an extraction into the install folder that could not create every file: the archive's
// extractor is copied from the scratch folder once more, and the install stands when every file
// of the scratch listing then has its exact counterpart in the install folder (a file held open
// by another program has not).
bool CompletedFromScratch(FileStore& files, const std::string& listing, const std::string& scratch,
                          const std::string& installPath) {
    const std::string extractor = scratch + kExtractorName;
    if (files.FileExists(extractor) && !files.CopyFileTo(extractor, installPath + kExtractorName)) return false;
    for (const std::string& line : SplitLines(listing))
        if (!EndsWith(line, "\\") && !SameBytes(files, line, installPath + line.substr(scratch.size())))
            return false;
    return true;
}

// A shortcut, logged when it was made.
bool MakeShortcut(InstallerPlatform& platform, const std::string& path, const std::string& target,
                  const std::string& arguments) {
    if (!platform.shell.CreateShortcut(path, target, arguments)) return false;
    LogAction(platform, "shortcut: " + path);
    return true;
}

void CreateDesktopShortcut(InstallerPlatform& platform, const std::string& target, const std::string& name) {
    const std::string desktop = platform.shell.SpecialFolder("Desktop");
    if (desktop.empty()) return;
    MakeShortcut(platform, desktop + "\\" + name + ".lnk", target, "");
}

void CreateMenuShortcuts(InstallerPlatform& platform, const std::string& appTarget, const std::string& uninstallTarget,
                         const std::string& name) {
    const std::string programs = platform.shell.SpecialFolder("AllUsersPrograms");
    if (programs.empty()) return;
    const std::string p = programs + "\\" + name + "\\";
    if (!platform.files.FolderExists(p)) platform.files.CreateFolder(p.substr(0, p.size() - 1));
    if (!MakeShortcut(platform, p + name + ".lnk", appTarget, "")) return;
    MakeShortcut(platform, p + "卸载 " + name + ".lnk", uninstallTarget, "/u");
}

// Removes a file and logs it; false when it is still there.
bool RemoveLogged(InstallerPlatform& platform, const std::string& path) {
    const bool removed = platform.files.RemoveFile(path);
    if (removed) LogAction(platform, "removed: " + path);
    return removed;
}

// The folder where only administrators can write that keeps the uninstaller, its record and
// the trust list, ready to be written: made when missing; empty when there is none, it is a
// link, or it cannot be made.
std::string ReadyProtectedFolder(InstallerPlatform& platform) {
    const std::string folder = ProtectedFolder(platform.system);
    if (folder.empty()) return {};
    const std::string bare = folder.substr(0, folder.size() - 1);
    if (platform.files.IsLink(bare)) return {};
    if (!platform.files.FolderExists(folder) && !platform.files.CreateFolder(bare)) return {};
    return platform.files.FolderExists(folder) && !platform.files.IsLink(bare) ? folder : std::string();
}

// The uninstaller, its record, the icon and the trust list of the scratch folder's files into
// the protected folder; false when one of them could not be written there.
bool KeepInProtectedFolder(InstallerPlatform& platform, const std::string& folder, const std::string& self,
                           const std::string& record, const std::string& scratch) {
    FileStore& files = platform.files;
    const std::optional<std::string> trust = BuildTrustList(files, scratch);
    if (!trust) return false;
    if (!SamePath(self, folder + kSetupName) && !files.CopyFileTo(self, folder + kSetupName)) return false;
    if (!files.WriteText(folder + kRecordName, record, false) || !files.WriteText(folder + kTrustListName, *trust, false))
        return false;
    if (files.FileExists(scratch + kIconName) && !files.CopyFileTo(scratch + kIconName, folder + kIconName)) return false;
    for (const char* name : {kSetupName, kRecordName, kTrustListName}) LogAction(platform, "kept: " + folder + name);
    return true;
}

}  // namespace

bool RefuseProtectedInstallFolder(InstallerPlatform& platform, WizardView& view, const std::string& installPath) {
    if (!IsProtectedInstallFolder(platform.system, installPath)) return false;
    view.ShowMessage(ProtectedFolderRefusalText(installPath), kErrorTitle, MessageKind::Critical);
    return true;
}

InstallOutcome RunInstall(InstallerPlatform& platform, WizardView& view, const std::string& installPath) {
    FileStore& files = platform.files;
    // 1. The spreadsheet program must not run.
    if (IsProcessRunning(platform.wmi, "excel.exe")) {
        view.ShowMessage(std::string("QOR安装程序检测到Excel正在运行！") + "\r\n\r\n" +
                             "如果您已经打开Excel表格，请关闭后再尝试安装...",
                         kInfoTitle, MessageKind::Information);
        return InstallOutcome::ExcelRunning;
    }
    // 2. The drive of the chosen path.
    const std::string drive = installPath.substr(0, 2);
    if (!platform.system.DriveExists(drive)) {
        view.ShowMessage("磁盘" + drive + "不存在！" + "\r\n" + "请重新选择安装路径。", kErrorTitle,
                         MessageKind::Critical);
        return InstallOutcome::DriveMissing;
    }
    // The record names the installed paths in the ANSI code page: a folder with a character that
    // the code page lacks would be recorded as "?" and could never be uninstalled.
    if (!files.AnsiCanHold(installPath)) {
        view.ShowMessage(kFolderNotInCodePageText, kErrorTitle, MessageKind::Critical);
        return InstallOutcome::FolderRefused;
    }
    // A drive root or a folder of the system or the user: the install would mix with what is not
    // ours there, and an uninstall would remove from it.
    if (RefuseProtectedInstallFolder(platform, view, installPath)) return InstallOutcome::FolderRefused;
    // 11. The install error: the folder page is made ready for another attempt.
    auto failed = [&view](InstallOutcome cause) {
        view.ShowMessage(std::string("安装过程发生错误！") + "\r\n" + "请重试！", kErrorTitle, MessageKind::Critical);
        view.HideProgress();
        view.EnableFolderAndStart(true);
        view.EnableCancel(true);
        return cause;
    };
    const std::string installFolder = installPath.substr(0, installPath.size() - 1);
    // 3. The folder, one level; a missing parent makes the copy fail below.
    if (!files.FolderExists(installPath)) files.CreateFolder(installFolder);
    // The elevated extractor writes where the install folder leads: a link there (or in a folder
    // inside it) could lead it into the system's folders.
    if (files.FolderExists(installPath) && files.TreeHasLink(installFolder)) return failed(InstallOutcome::FolderIsLink);
    // 4. The installer copies itself into it, for a repair started from there. A repair copies
    // onto itself, which fails and is no error.
    const std::string self = platform.programFolder + "\\" + platform.programBaseName + ".exe";
    if (!files.CopyFileTo(self, installPath + kSetupName) && !SamePath(self, installPath + kSetupName))
        return failed(InstallOutcome::FolderNotWritable);

    // 5.
    view.ShowStatus("正在释放文件...");
    view.ShowProgress(0, 1);
    view.EnableFolderAndStart(false);
    // 6. A work folder of the installer's own, where only administrators can write: the payload
    // out of the running image goes there, the extractor runs from there, and the scratch
    // extraction goes into it. It is made new (never one that someone else made before).
    const std::string temp = platform.system.TempFolder();
    std::unique_ptr<FileStore::HeldFolder> held;
    for (int n = 0; !temp.empty() && !held && n < 1000; ++n)
        held = files.CreatePrivateFolder(temp + "\\" + kWorkFolderName + (n ? std::to_string(n) : std::string()));
    if (!held) return failed(InstallOutcome::FolderNotWritable);
    const std::string work = held->Path() + "\\";
    // Every way out from here removes the work folder (by handle, never through a link).
    auto removeWork = [&] {
        held.reset();
        if (files.RemoveTreeSafely(work.substr(0, work.size() - 1))) LogAction(platform, "removed: " + work);
    };
    auto stop = [&](InstallOutcome cause) {
        removeWork();
        return failed(cause);
    };
    // The installer stops at the first failure: no extractor runs without its payload.
    if (!package::ExtractPayloadFrom(files, self, work, kExtractorName, kArchiveName))
        return stop(InstallOutcome::BadPackage);
    // 7.
    view.ShowProgress(1, 2);
    view.ShowStatus("正在安装(请不要关闭本窗口)...");
    view.EnableCancel(false);
    // 8. The scratch folder inside the work folder.
    const std::string scratch = work + kScratchName + "\\";
    if (!files.CreateFolder(work + kScratchName)) return stop(InstallOutcome::FolderNotWritable);
    // 9. The extractor into the scratch folder, hidden, awaited. Into a fresh folder a sound
    // archive extracts without a fatal error (exit code 2 and above; 1 is a warning) and leaves
    // something there.
    uint32_t exitCode = 0;
    if (!RunExtractor(platform, view, work, scratch, &exitCode) || exitCode >= 2 || IsEmptyFolder(files, scratch))
        return stop(InstallOutcome::ExtractionFailed);
    // 10. The extractor into the install folder, then the same files as in the scratch folder;
    // refused when a link has appeared in the install folder meanwhile.
    if (files.TreeHasLink(installFolder)) return stop(InstallOutcome::FolderIsLink);
    if (!RunExtractor(platform, view, work, installPath, &exitCode)) return stop(InstallOutcome::ExtractionFailed);
    std::string listing;
    ListTree(files, [&view] { view.PumpEvents(); }, scratch, "*", listing);
    if (exitCode >= 2 && !(exitCode == kCouldNotCreate && CompletedFromScratch(files, listing, scratch, installPath)))
        return stop(InstallOutcome::ExtractionFailed);
    // 12. The record, from the scratch listing; an install without one could not be uninstalled.
    uint64_t bytes = 0;
    for (const std::string& line : SplitLines(listing)) {
        if (EndsWith(line, "\\")) continue;
        const std::string installed = installPath + line.substr(scratch.size());
        bytes += files.FileSize(line);
        LogAction(platform, "extracted: " + installed);
    }
    const std::string record = BuildUninstallRecord(listing, scratch, installPath);
    if (!files.WriteText(installPath + kRecordName, record, false)) return stop(InstallOutcome::RecordNotWritten);
    // The uninstaller that the entry and the menu name, with its record, the icon and the list
    // of the files this package vouches for, where only administrators can write. Without such
    // a folder the entry names the copy in the install folder.
    std::string uninstallerFolder = installPath;
    const std::string kept = ReadyProtectedFolder(platform);
    if (!kept.empty() && KeepInProtectedFolder(platform, kept, self, record, scratch)) uninstallerFolder = kept;
    // 13. The work folder goes, with the scratch folder in it.
    removeWork();
    // 14. The entry in the list of installed programs.
    for (const std::string& command : RegistryAddCommands(installPath, uninstallerFolder, (bytes + 1023) / 1024)) {
        LogAction(platform, "run: " + command);
        platform.runner.Start(command, WindowStyle::Hidden);
    }
    // 15.
    view.ShowStatus("安装完成！");
    view.ShowProgress(1, 1);
    // 16. Shortcuts.
    CreateDesktopShortcut(platform, installPath + "QOR.exe", kProductName);
    CreateMenuShortcuts(platform, installPath + "QOR.exe", uninstallerFolder + kSetupName, kProductName);
    // 17.
    view.ShowFinishPage(std::string(kProductName) + "  已经成功的安装到您的计算机。",
                        std::string("运行  ") + kProductName);
    return InstallOutcome::Installed;
}

void StartInstalledProgram(InstallerPlatform& platform, const std::string& installPath) {
    const std::string program = installPath + "QOR.exe";
    // An archive without QOR.exe installs too; the shell would answer a missing program with a
    // message of its own.
    if (!platform.files.FileExists(program)) return;
    // Only as the signed-in user: a direct start would give a file of a folder that every user
    // can write the installer's administrator rights. Without a desktop shell nothing starts.
    platform.desktop.StartAsSignedInUser(program, installPath);
}

namespace {

// True when the running copy is the one kept in the protected folder.
bool RunsFromKeptFolder(InstallerPlatform& platform) {
    const std::string kept = ProtectedFolder(platform.system);
    return !kept.empty() && SamePath(platform.programFolder + "\\", kept);
}

}  // namespace

std::string MaintenanceInstallPath(InstallerPlatform& platform) {
    const std::string here = platform.programFolder + "\\";
    std::string record;
    if (!RunsFromKeptFolder(platform) || !platform.files.NormalFileExists(here + kRecordName) ||
        !platform.files.ReadText(here + kRecordName, record))
        return here;
    const std::string folder = RecordedInstallFolder(record);
    return folder.empty() ? here : folder;
}

UninstallOutcome RunUninstall(InstallerPlatform& platform, UninstallView& view, const std::string& installPath,
                              bool wholeFolder) {
    FileStore& files = platform.files;
    // Emptying a drive root or a folder of the system or the user would destroy what is not ours.
    if (wholeFolder && IsProtectedInstallFolder(platform.system, installPath)) {
        view.ShowMessage("安装文件夹 " + installPath + " 是磁盘根目录或系统、用户文件夹，不能删除整个文件夹！" +
                             "\r\n" + "请取消勾选“同时删除整个安装文件夹”后再卸载。",
                         kErrorTitle, MessageKind::Critical);
        return UninstallOutcome::Refused;
    }
    if (view.ShowMessage(std::string("是否确定要卸载") + "\r\n" + kProductName + "？", kQuestionTitle,
                         MessageKind::OkCancel) != Answer::Ok)
        return UninstallOutcome::Cancelled;
    // A record that cannot be read, or that names nothing inside the install folder, tells no
    // more than a missing one: nothing is removed, and the entry and the shortcuts stay so that
    // the program can still be repaired or uninstalled later.
    // The copy kept in the protected folder reads the record kept beside it.
    const std::string here = platform.programFolder + "\\";
    const std::string kept = ProtectedFolder(platform.system);
    const bool fromKept = RunsFromKeptFolder(platform) && !SamePath(here, installPath);
    const std::string record = (fromKept ? here : installPath) + kRecordName;
    std::string text;
    if (!files.NormalFileExists(record) || !files.ReadText(record, text) || !HasUsableLine(text, installPath)) {
        view.ShowMessage(std::string("未找到卸载信息文件uninstall.inf！") + "\r\n" + kProductName + " 可能已经被删除。",
                         kErrorTitle, MessageKind::Critical);
        return UninstallOutcome::RecordMissing;
    }
    view.EnableRepairAndCancel(false);
    const std::string status = "正在卸载，请稍等...";
    view.ShowStatus(status);
    view.ShowProgress(0, 1);

    if (wholeFolder) {
        text.clear();
        ListTree(files, [&view] { view.PumpEvents(); }, installPath, "*", text);
    }
    const std::vector<std::string> items = text.empty() ? std::vector<std::string>() : Split(text, "\r\n");
    const long total = static_cast<long>(items.size());
    for (long i = total - 1; i >= 0; --i) {
        const long done = total - i;
        view.ShowStatus(status + PercentText(done, total));
        view.ShowProgress(done, total);
        const std::string& item = items[static_cast<size_t>(i)];
        if (item.find('\\') == std::string::npos) continue;
        // A line naming anything outside the install folder, or leading there through a link
        // (a junction or symbolic link inside it), is never acted on.
        if (!IsInsideInstallFolder(item, installPath) || LeadsThroughLink(files, item, installPath)) continue;
        if (EndsWith(item, "\\")) {
            if (files.FolderExists(item) && files.RemoveFolder(item.substr(0, item.size() - 1)))
                LogAction(platform, "removed: " + item);
            continue;
        }
        if (WildcardMatch(item, "*\\uninstall.inf") || WildcardMatch(item, "*\\QOR_SETUP.exe")) continue;
        if (!files.NormalFileExists(item)) continue;
        RemoveLogged(platform, item);
        if (files.NormalFileExists(item) &&
            view.ShowMessage("不能删除文件：\r\n" + item + "\r\n" + "该文件可能正被某些应用程序占用。" + "\r\n\r\n" +
                                 "是否忽略并继续卸载？",
                             kInfoTitle, MessageKind::YesNo) == Answer::No) {
            view.HideProgress();
            view.EnableRepairAndCancel(true);
            return UninstallOutcome::Abandoned;
        }
    }
    for (const std::string& command : RegistryDeleteCommands()) {
        LogAction(platform, "run: " + command);
        platform.runner.Start(command, WindowStyle::Hidden);
    }

    const std::string desktop = platform.shell.SpecialFolder("Desktop");
    if (!desktop.empty() && files.FileExists(desktop + "\\" + kProductName + ".lnk"))
        RemoveLogged(platform, desktop + "\\" + kProductName + ".lnk");
    const std::string programs = platform.shell.SpecialFolder("AllUsersPrograms");
    if (!programs.empty()) {
        const std::string p = programs + "\\" + kProductName;
        if (files.FolderExists(p + "\\")) {
            for (const FileStore::Entry& e : files.ListEntries(p))
                if (!e.folder && !e.hidden && !e.system) RemoveLogged(platform, p + "\\" + e.name);
            if (files.RemoveFolder(p)) LogAction(platform, "removed: " + p + "\\");
        }
    }
    view.ShowStatus("卸载完成！");
    view.ShowProgress(1, 1);
    // The install folder's copy of the installer and its record, when another copy uninstalls.
    if (fromKept)
        for (const char* name : {kSetupName, kRecordName})
            if (files.NormalFileExists(installPath + name)) RemoveLogged(platform, installPath + name);
    // What the protected folder keeps for this install; the running copy goes after its end.
    if (!kept.empty() && !SamePath(kept, installPath)) {
        std::string keptRecord;
        if (fromKept || (files.ReadText(kept + kRecordName, keptRecord) &&
                         SamePath(RecordedInstallFolder(keptRecord), installPath))) {
            for (const char* name : {kIconName, kTrustListName, kRecordName})
                if (files.NormalFileExists(kept + name)) RemoveLogged(platform, kept + name);
            if (!fromKept) {
                if (files.NormalFileExists(kept + kSetupName)) RemoveLogged(platform, kept + kSetupName);
                if (files.RemoveFolder(kept.substr(0, kept.size() - 1))) LogAction(platform, "removed: " + kept);
            }
        }
    }
    if (files.NormalFileExists(record)) RemoveLogged(platform, record);
    view.ShowMessage(std::string(kProductName) + " 已经成功的从您的计算机中移除。", kInfoTitle,
                     MessageKind::Information);
    for (const std::string& command : SelfRemovalCommands(fromKept ? here : installPath, platform.programBaseName, installPath)) {
        LogAction(platform, "run: " + command);
        platform.runner.Start(command, WindowStyle::Hidden);
    }
    return UninstallOutcome::Removed;
}

void ActionLog::Write(const std::string& line) {
    // One line per action: a multi-line text is folded onto it.
    files_.WriteBytes(path_, ReplaceAll(ReplaceAll(line, "\r\n", " / "), "\n", " / ") + "\r\n", true);
}

void LogAction(InstallerPlatform& platform, const std::string& line) {
    if (platform.log) platform.log->Write(line);
}

std::string MessageLogLine(const std::string& text, const std::string& title, Answer answer) {
    const char* names[] = {"OK", "Cancel", "Yes", "No"};
    return "message [" + title + "] " + text + " -> " + names[static_cast<int>(answer)];
}

}  // namespace qor::installer
