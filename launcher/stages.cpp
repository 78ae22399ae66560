#include "launcher/stages.h"

#include <exception>
#include <optional>

#include "core/text.h"
#include "core/version_text.h"
#include "core/wildcard.h"
#include "launcher/machine_queries.h"
#include "common/processes/processes.h"
#include "common/settings/settings.h"
#include "common/trusted_files/trusted_files.h"

namespace qor {

const char* const kRequiredFiles[26] = {
    "qord.dll", "MSJINT40.DLL", "MSJTER40.DLL", "MSWSTR10.DLL", "msado15.dll", "msjro.dll",
    "msjetoledb40.dll", "cdosys.dll", "FM20.DLL", "DiskID32.dll", "Mscomct2.ocx", "MSCOMCTL.OCX",
    "MSFlxGrd.ocx", "Excel2010_filechkfalse.reg", "Excel2010_filechktrue.reg", "mymsg1.wav",
    "mymsg2.wav", "mymsg3.wav", "ZT", "usr", "myrpt", "myxls", "pzprt", "zbprt", "gzprt", "打印预览"};

const char* const kWorkbookPassword = "avk";

const char* const kErrorTitle = "错误";
const char* const kMissingFilesMessage =
    "QOR启动失败！\r\n"
    "\r\n"
    "原因：QOR安装目录下部分文件丢失。\r\n"
    "\r\n"
    "丢失的文件：\r\n";
const char* const kControlUpdateFailedMessage =
    "MSCOMCTL.OCX文件更新失败！\r\n"
    "\r\n"
    "可能的原因：更新程序被杀毒软件拦截或者MSCOMCTL.OCX被其它正在运行的程序占用。\r\n"
    "\r\n"
    "QOR可能会在接下来的运行中出现一些兼容性问题。\r\n"
    "如果QOR无法启动或者不能正常运行，"
    "请尝试关闭所有已打开的程序后运行QOR安装目录下的【配置QOR运行环境.bat】以解决这些问题……";
const char* const kNoOfficeMessage =
    "Microsoft Excel调用失败！\r\n"
    "\r\n"
    "如果您看到这个错误提示，则说明本机没有安装Microsoft Office，或者安装的Microsoft Office是精简版或绿色版。\r\n"
    "\r\n"
    "QOR软件需要基于Microsoft Excel运行，请安装完整版的Microsoft Office2003/2007/2010(32位)/2013(32位)后重试。";
const char* const kWpsMessage =
    "由于WPS设置了默认关联Microsoft Excel文档，QOR启动失败！\r\n"
    "\r\n"
    "请按照以下步骤修改WPS设置：\r\n"
    "\r\n"
    "依次点击 [开始菜单]→[所有程序]→[WPS Office××版]→\r\n"
    "[WPS Office工具]→[配置工具]→[高级]，\r\n"
    "取消勾选 [WPS Office兼容第三方系统和软件(C)]，\r\n"
    "取消勾选 [Microsoft Excel 文档(E)(*.xls,*.xlt文件)]，\r\n"
    "点击 [确定]。\r\n"
    "\r\n"
    "设置完成后QOR即可正常启动。";
const char* const kIncompatibleVersionMessage =
    "本软件与本机已安装的Excel版本不兼容！\r\n"
    "\r\n"
    "QOR软件需要基于Microsoft Excel运行，请安装完整版的Microsoft Office2003/2007/2010(32位)/2013(32位)后重试。";
const char* const kWorkbookMissingMessage = "未找到QOR主程序文件，QOR启动失败！";

namespace {

const char* const kControl = "MSCOMCTL.OCX";

size_t CharacterCount(const std::string& text) { return Utf8ToUtf16(text).size(); }

std::string AsciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string Version(StagePlatform& p, const std::string& path) {
    return GetComponentVersion(p.files, p.system, path);
}

void Register(StagePlatform& p, const std::string& path) {
    p.runner.StartAndForget(RegisterCommand(path), WindowStyle::MinimizedFocus);
}

// The digest of a file of the application folder (which every user can write) when the
// installer's list vouches for its bytes; none, and the file is reported, otherwise.
std::optional<std::string> Vouched(StagePlatform& p, const LauncherState& s, const std::string& path) {
    const std::optional<std::string> digest = VouchedDigest(p.files, s.trustedFiles, s.appFolder + "\\", path);
    if (!digest) p.shell.Distrusted(path);
    return digest;
}

// Registration runs the file's own code: only a vouched-for file is registered.
void RegisterVouched(StagePlatform& p, const LauncherState& s, const std::string& path) {
    if (Vouched(p, s, path)) Register(p, path);
}

// Copies a vouched-for file out of the application folder. The copy is checked again where it
// lies now, since the original could have been swapped between the check and the copy; a copy
// that is not what the list names is removed.
bool CopyChecked(StagePlatform& p, const std::string& from, const std::string& to, const std::string& digest) {
    if (!p.files.CopyFileTo(from, to)) return false;
    if (FileDigest(p.files, to) == digest) return true;
    p.files.RemoveFile(to);
    p.shell.Distrusted(from);
    return false;
}

bool CopyVouched(StagePlatform& p, const LauncherState& s, const std::string& from, const std::string& to) {
    const std::optional<std::string> digest = Vouched(p, s, from);
    return digest && CopyChecked(p, from, to, *digest);
}

std::string ExpectedMarker(ManagementService& wmi, DiskIdentityClasses& classes, const std::string& appFolder) {
    return appFolder + "\\" + GetDiskIdentity(wmi, classes);
}

// Runs a stage step so that an unforeseen failure (an exception thrown by a library) counts as
// the step failing instead of ending the launcher.
template <typename Step, typename Result>
Result Guarded(Step step, Result onFailure) {
    try {
        return step();
    } catch (...) {
        return onFailure;
    }
}

}  // namespace

std::string GetDiskIdentity(ManagementService& wmi, DiskIdentityClasses& classes) {
    std::string identity;
    for (const std::string& serial : wmi.InstancesOf("Win32_PhysicalMedia", "SerialNumber")) {
        std::string trimmed = TrimSpaces(serial);
        if (!trimmed.empty()) {
            identity = trimmed;
            break;
        }
    }
    if (CharacterCount(identity) > 2) return identity;

    static const char* const kSources[3][2] = {
        {"QORd.PCINF1", "GetHdID1"}, {"QORd.PCINF2", "GetHdID2"}, {"QORd.PCINF3", "GetHdID3"}};
    for (int i = 0; i < 3; ++i) {
        std::string answer;
        if (classes.Ask(kSources[i][0], kSources[i][1], answer)) identity = answer;
        if (i < 2 && !identity.empty() && CharacterCount(identity) > 2) return identity;
    }
    return identity;
}

std::string MarkerFilePath(const std::string& appFolder) { return appFolder + "\\SYS\\pcinf.txt"; }

bool MarkerMatches(FileStore& files, ManagementService& wmi, DiskIdentityClasses& classes,
                   const std::string& appFolder) {
    const std::string path = MarkerFilePath(appFolder);
    if (!files.NormalFileExists(path)) return false;
    std::string text;
    if (!files.ReadText(path, text)) return false;
    std::vector<std::string> lines = SplitLines(text);
    const std::string first = lines.empty() ? std::string() : lines.front();
    return first == ExpectedMarker(wmi, classes, appFolder);
}

void WriteMarker(FileStore& files, ManagementService& wmi, DiskIdentityClasses& classes,
                 const std::string& appFolder) {
    const std::string path = MarkerFilePath(appFolder);
    // A hidden or system marker counts as absent, and Windows refuses to write a normal file
    // over it: it goes first, or the configuration would repeat on every start.
    if (files.FileExists(path) && !files.NormalFileExists(path)) files.RemoveFile(path);
    files.WriteText(path, ExpectedMarker(wmi, classes, appFolder) + "\r\n", false);
}

std::string RegisterCommand(const std::string& path) { return "regsvr32 /s \"" + path + "\""; }

std::vector<std::string> FileTypeCommands(const std::string& editionTag, const std::string& appFolder) {
    std::string ext, type, description, icon;
    if (WildcardMatch(editionTag, "QOR_BIZACC_*")) {
        ext = ".qorb", type = "qorbfile", description = "QOR中小企业账套", icon = "\\qorb.ico";
    } else if (WildcardMatch(editionTag, "QOR_COOPA_*")) {
        ext = ".qora", type = "qorafile", description = "QOR农民专业合作社账套", icon = "\\qora.ico";
    } else {
        return {};
    }
    const std::string root = "reg add HKEY_CLASSES_ROOT\\";
    return {
        root + ext + " /ve /t REG_SZ /d " + type + " /f",
        root + ext + "\\ShellNew /v FileName /t REG_SZ /d \"" + appFolder + "\\SYS\\ZT\" /f",
        root + type + " /ve /t REG_SZ /d " + description + " /f",
        root + type + "\\DefaultIcon /ve /t REG_SZ /d \"" + appFolder + icon + "\" /f",
        root + type + "\\shell\\open\\command /ve /t REG_SZ /d \"\"\"\"" + appFolder +
            "\\QOR.exe\"\"\" \"\"\"\"%1\"\"\" /f",
    };
}

void BackupAndReplaceControl(StagePlatform& p, const LauncherState& s, const std::string& folder) {
    FileStore& files = p.files;
    // A shipped control the list does not vouch for leaves the installed one in place.
    const std::optional<std::string> digest = Vouched(p, s, s.sysFolder + kControl);
    if (!digest) return;
    const std::string target = folder + kControl;
    if (files.FileExists(target)) {
        std::string backup = target + ".bak";
        for (long counter = 0; files.FileExists(backup);) backup = target + ".bak" + std::to_string(++counter);
        files.RenameFile(target, backup);
    }
    CopyChecked(p, s.sysFolder + kControl, target, *digest);
}

bool CheckIntegrity(StagePlatform& p, const LauncherState& s) {
    bool allPresent = true;
    std::string missing;
    for (const char* name : kRequiredFiles) {
        p.shell.PumpMessages();
        if (!p.files.FileExists(s.sysFolder + name)) {
            allPresent = false;
            missing += std::string(name) + " ";
        }
    }
    if (!allPresent) p.shell.ShowMessage(kMissingFilesMessage + missing, kErrorTitle, MessageIcon::Critical);
    return allPresent;
}

void RunConfiguration(StagePlatform& p, const LauncherState& s) {
    const std::string& sys = s.sysFolder;
    const std::string& components = s.componentFolder;

    // 1.
    p.shell.ShowConfigurationNotice(s.appFolder);
    p.shell.PumpMessages();

    // 2. The shipped disk-identity library replaces any other version, newer ones included.
    if (Version(p, sys + "DiskID32.dll") != Version(p, components + "DiskID32.dll"))
        CopyVouched(p, s, sys + "DiskID32.dll", components + "DiskID32.dll");
    p.shell.PumpMessages();

    // 3. An older common-controls library is moved aside and replaced.
    if (Version(p, sys + kControl) > Version(p, components + kControl))
        BackupAndReplaceControl(p, s, components);
    p.shell.PumpMessages();

    // 4. Only a machine whose controls are now up to date counts as configured.
    if (Version(p, sys + kControl) <= Version(p, components + kControl)) {
        Register(p, components + kControl);
        RegisterVouched(p, s, sys + "qord.dll");
        WriteMarker(p.files, p.wmi, p.diskClasses, s.appFolder);
    } else {
        p.shell.ShowMessage(kControlUpdateFailedMessage, kErrorTitle, MessageIcon::Critical);
        p.shell.MakeSplashTopmost();
    }
    p.shell.PumpMessages();

    // 5. and 6.
    Register(p, components + "scrrun.dll");
    Register(p, "C:\\Program Files\\Common Files\\System\\ado\\msado15.dll");
    p.shell.PumpMessages();

    // 7. The account-set file type of this edition.
    std::vector<std::string> commands = FileTypeCommands(s.editionTag, s.appFolder);
    if (!commands.empty()) {
        for (const std::string& command : commands) p.runner.StartAndForget(command, WindowStyle::MinimizedFocus);
        p.machine.NotifyAssociationChanged();
    }
    p.shell.PumpMessages();
}

void RunRegistration(StagePlatform& p, const LauncherState& s) {
    const std::string& sys = s.sysFolder;
    const std::string& components = s.componentFolder;

    if (Version(p, sys + kControl) > Version(p, components + kControl))
        BackupAndReplaceControl(p, s, components);
    Register(p, components + kControl);
    p.shell.PumpMessages();

    for (const char* name : {"MSJINT40.DLL", "MSJTER40.DLL", "MSWSTR10.DLL"})
        if (!p.files.FileExists(components + name)) CopyVouched(p, s, sys + name, components + name);
    p.shell.PumpMessages();

    for (const char* name : {"qord.dll", "msado15.dll", "msjro.dll", "msjetoledb40.dll", "cdosys.dll",
                             "Mscomct2.ocx", "MSFlxGrd.ocx"})
        RegisterVouched(p, s, sys + name);
    p.shell.PumpMessages();
}

bool HandsOverAccountSet(const LauncherCommand& command) {
    if (!command.hasAccountSet) return false;
    if (command.skipsUpdate && !StartsWith(command.commandText, "/0/")) return false;
    return !command.accountFolder.empty() || !command.accountFile.empty();
}

bool LaunchSpreadsheet(StagePlatform& p, const LauncherState& s) {
    SpreadsheetHost& host = p.host;
    // "End": the message, then the host object is released (the launcher then ends).
    auto end = [&](const char* message) {
        p.shell.ShowMessage(message, kErrorTitle, MessageIcon::Critical);
        host.Release();
        return false;
    };

    // 1. to 4. The process counts bracket the creation.
    const int32_t excelBefore = CountProcesses(p.wmi, "excel.exe");
    const int32_t etBefore = CountProcesses(p.wmi, "et.exe");
    p.shell.Reached("process counts");
    if (!host.Create()) return end(kNoOfficeMessage);
    p.shell.Reached("host creation");
    const int32_t excelAfter = CountProcesses(p.wmi, "excel.exe");
    const int32_t etAfter = CountProcesses(p.wmi, "et.exe");

    // 5. The other office suite answered in the host's place.
    // Its object is let go before the message.
    if (etAfter - etBefore == 1 && excelAfter == excelBefore) {
        host.Release();
        return end(kWpsMessage);
    }

    // 6. and 7. Excel 2010 needs its file-check setting imported and a fresh host.
    const std::string version = host.Version();
    if (version == "14.0") {
        host.Release();
        const std::string settings = s.appFolder + "\\SYS\\Excel2010_filechkfalse.reg";
        if (Vouched(p, s, settings))
            p.runner.StartAndForget("regedit /s \"" + settings + "\"", WindowStyle::MinimizedFocus);
        host.Create();
    }

    // 8.
    if (version != "11.0" && version != "12.0" && version != "14.0" && version != "15.0" && version != "16.0")
        return end(kIncompatibleVersionMessage);

    // 9. Click-to-run Excel 2016 loads the common controls from its own folder.
    std::string programPath;
    if (version == "16.0" && host.ProgramPath(programPath)) {
        const std::string lower = AsciiLower(programPath);
        if (WildcardMatch(lower, "*\\root\\*")) {
            const std::string folder = ReplaceAll(lower, "\\office16", "\\VFS\\SystemX86\\");
            if (FolderExists(p.files, folder) &&
                Version(p, s.sysFolder + kControl) > Version(p, folder + kControl))
                BackupAndReplaceControl(p, s, folder);
        }
    }
    p.shell.PumpMessages();

    // 10.
    if (!p.files.FileExists(s.workbookPath)) return end(kWorkbookMissingMessage);

    // 11. The account set to open, for the workbook to read.
    if (HandsOverAccountSet(s.command)) {
        WriteSetting(p.files, s.appFolder, "OPENZTPATH", s.command.accountFolder);
        WriteSetting(p.files, s.appFolder, "OPENZTNAME", s.command.accountFile);
    }

    // 12. and 13.
    host.OpenWorkbook(s.workbookPath, kWorkbookPassword);
    p.shell.Reached("Workbooks.Open");
    if (ReadSetting(p.files, s.appFolder, "EXLSHOW") == "True") host.MakeVisible();
    return true;
}

bool MachineStages::HandOffUpdate(const LauncherState& state) {
    if (!handOff_) return false;
    return Guarded([&] { return handOff_(state); }, false);
}

bool MachineStages::CheckIntegrity(const LauncherState& state) {
    // A check that could not be made does not stop the start.
    return Guarded([&] { return qor::CheckIntegrity(p_, state); }, true);
}

bool MachineStages::MarkerMatches(const LauncherState& state) {
    return Guarded([&] { return qor::MarkerMatches(p_.files, p_.wmi, p_.diskClasses, state.appFolder); }, false);
}

void MachineStages::ConfigureEnvironment(const LauncherState& state) {
    Guarded([&] { qor::RunConfiguration(p_, state); return true; }, false);
}

void MachineStages::RegisterComponents(const LauncherState& state) {
    Guarded([&] { qor::RunRegistration(p_, state); return true; }, false);
}

void MachineStages::SetShortDateFormat() {
    Guarded([&] { return p_.machine.SetShortDatePicture("yyyy-MM-dd"); }, false);
}

bool MachineStages::LaunchSpreadsheet(const LauncherState& state) {
    return Guarded([&] { return qor::LaunchSpreadsheet(p_, state); }, true);
}

void MachineStages::ReleaseSpreadsheet() {
    Guarded([&] { p_.host.Release(); return true; }, false);
}

}  // namespace qor
