// QOR_SETUP.exe end to end under Wine: packages made from the real bare installer, the real
// extractor and a real RAR archive of a demo application; the wizard and the uninstall window driven through the
// UI driver as a person would; files, uninstall.inf bytes, the Uninstall key and the shortcuts
// checked afterwards.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <map>
#include <set>

#include "core/sha256.h"
#include "core/text.h"
#include "installer/package/package.h"
#include "platform/win32/program_runner_win32.h"
#include "platform/win32/scoped.h"
#include "platform/win32/unicode.h"
#include "tests/standins/extractor/archive_format.h"
#include "tests/standins/uidriver/uidriver.h"
#include "wine/real_archive.h"
#include "wine/small_drive.h"
#include "wine/wine_test_support.h"

namespace qor {
namespace {

using test::IsFile;
using test::IsFolder;
using test::PollUntil;
using test::ReadBytes;
using test::WinePath;
using test::WriteBytes;
using win32::Narrow;
using win32::Wide;
namespace ui = uidriver;

const char kProduct[] = "QOR中小企业财务软件";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QOR中小企业财务软件";

std::string Gbk(const std::string& utf8) {
    std::wstring w = Wide(utf8);
    int n = WideCharToMultiByte(936, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(936, 0, w.data(), static_cast<int>(w.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::string SpecialFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
    return Narrow(path, wcslen(path));
}

// A shortcut's target and arguments as "target|arguments", read with IShellLinkW; the shell may
// store the target with a doubled separator folded, so doubled ones are folded here too.
std::string ReadShortcut(const std::string& path) {
    win32::ComPtr<IShellLinkW> link;
    win32::ComPtr<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.OutVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.OutVoid())) || FAILED(file->Load(Wide(path).c_str(), STGM_READ)))
        return "(cannot load " + path + ")";
    wchar_t target[MAX_PATH * 2] = {}, arguments[MAX_PATH * 2] = {};
    link->GetPath(target, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
    link->GetArguments(arguments, MAX_PATH * 2);
    return ReplaceAll(Narrow(target, wcslen(target)), "\\\\", "\\") + "|" + Narrow(arguments, wcslen(arguments));
}

// The registry view a program of this build's bitness writes HKLM\SOFTWARE to: the 32-bit one
// (Wow6432Node) for the i686 build on 64-bit Windows, the 64-bit one for the x86_64 build.
const REGSAM kProgramsView = sizeof(void*) == 4 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
const REGSAM kOtherView = sizeof(void*) == 4 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;

// The Uninstall key's string values in a registry view; empty when the key is missing.
std::map<std::string, std::string> UninstallValues(REGSAM view = kProgramsView) {
    std::map<std::string, std::string> values;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(kUninstallKey).c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256, type = 0;
        BYTE data[4096];
        DWORD dataLength = sizeof data - 2;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS) break;
        data[dataLength] = data[dataLength + 1] = 0;
        values[Narrow(name, nameLength)] = type == REG_SZ      ? Narrow(reinterpret_cast<wchar_t*>(data))
                                           : type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(data))
                                                               : "?";
    }
    RegCloseKey(key);
    return values;
}

// The installer starts the entry's ten reg commands without waiting for them: on a busy machine
// the last of them may come well after the installer ended.
bool EntryComplete() {
    return PollUntil([] { return UninstallValues().size() == 10; }, std::chrono::seconds(30));
}

void DeleteUninstallKey() {
    for (REGSAM view : {kProgramsView, kOtherView}) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, Wide(kUninstallKey).c_str(), view, 0);
}

// The 64-bit command processor, as "Apps & features" and deployment tools start a command.
std::string NativeCommandProcessor() {
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    return Narrow(windows, wcslen(windows)) + "\\System32\\cmd.exe";
}

// A started QOR_SETUP.exe.
struct SetupRun {
    PROCESS_INFORMATION pi{};
    bool Wait(int ms) { return WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0; }
    ~SetupRun() {
        if (pi.hProcess) {
            if (!Wait(0)) TerminateProcess(pi.hProcess, 1);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
};

class InstallerEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::UseComOnThisThread();
        // Wine has no timeout command; the delayed self-removal needs one.
        std::string timeout = SpecialFolder(CSIDL_SYSTEM) + "\\timeout.exe";
        if (!IsFile(timeout)) CopyFileW(Wide(WinePath(QOR_TEST_TIMEOUT_EXE)).c_str(), Wide(timeout).c_str(), FALSE);
    }

    void SetUp() override {
        if (DrivesWindows()) QOR_SKIP_WHERE_EDIT_CONTROLS_CRASH();
        ASSERT_FALSE(root_.empty());
        test::MakeFolder(Download());
        DeleteUninstallKey();
        RemoveShortcuts();
    }
    void TearDown() override {
        DeleteUninstallKey();
        RemoveShortcuts();
        test::RemoveTree(Wide(KeptFolder()));
        // What an install into a folder outside the scratch folder put there.
        if (!installed_.empty())
            for (const char* name : {"QOR.exe", "UnRAR.exe", "qor.ico", "使用说明.txt", "QOR_SETUP.exe", "QOR_SETUP.rar",
                                     "uninstall.inf"})
                DeleteFileW(Wide(installed_ + name).c_str());
        if (!installed_.empty()) test::RemoveTree(Wide(installed_ + "SYS"));
        if (!installed_.empty())
            for (const std::string& name : test::SystemProgramNames())
                for (const std::string& file : {name, name + ".ran"}) DeleteFileW(Wide(installed_ + file).c_str());
        if (!installed_.empty()) RemoveDirectoryW(Wide(installed_.substr(0, installed_.size() - 1)).c_str());
    }
    std::string installed_;
    // The wizard or the uninstall window: both hold edit controls.
    virtual bool DrivesWindows() const { return true; }

    static void RemoveShortcuts() {
        DeleteFileW(Wide(DesktopLink()).c_str());
        test::RemoveTree(Wide(MenuFolder()));
    }
    static std::string DesktopLink() { return SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + kProduct + ".lnk"; }
    static std::string MenuFolder() { return SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\" + kProduct; }

    std::string Download() const { return root_ + "\\下载"; }
    // The installer's work folders in the temporary folder (it shares the test's).
    static std::set<std::string> WorkFolders() {
        wchar_t temp[MAX_PATH + 1] = {};
        const std::string folder = win32::Narrow(temp, GetTempPathW(MAX_PATH + 1, temp));
        std::set<std::string> found;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(Wide(folder + "QOR_SETUP_WORK*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return found;
        do found.insert(folder + win32::Narrow(data.cFileName, wcslen(data.cFileName)));
        while (FindNextFileW(find, &data));
        FindClose(find);
        return found;
    }
    // The work folder (ending in "\\") of an extractor command line that runs from it.
    static std::string WorkFolderOf(const std::string& command) {
        const size_t at = command.find("\\QOR_SETUP_WORK");
        if (at == std::string::npos || command.empty() || command[0] != '"') return {};
        return command.substr(1, command.find('\\', at + 1)) ;
    }
    // Where the installer keeps the uninstaller, its record and the trust list.
    static std::string KeptFolder() { return SpecialFolder(CSIDL_PROGRAM_FILES) + "\\" + kProduct + "\\"; }

    // Starts the wizard of a downloaded package and waits for it; gives the path of another copy
    // of the installer, in a folder of its own, for a second start.
    std::string StartWizardAndCopyTheInstaller(SetupRun& first) {
        Start(first, MakePackage(), "");
        EXPECT_NE(ui::WaitForWindow("QOR安装", first.pi.dwProcessId, 30000), nullptr);
        const std::string other = root_ + "\\Other";
        EXPECT_TRUE(test::MakeFolder(other));
        EXPECT_TRUE(CopyFileW(Wide(Download() + "\\QOR_SETUP.exe").c_str(), Wide(other + "\\QOR_SETUP.exe").c_str(), FALSE));
        return other + "\\QOR_SETUP.exe";
    }
    std::string ProgramLog() const { return root_ + "\\programs.log"; }

    // The demo application's files, archive path -> bytes.
    static std::vector<standin::ArchiveEntry> DemoTree() {
        std::vector<standin::ArchiveEntry> entries;
        auto file = [&](const std::string& path, const std::string& data) {
            standin::ArchiveEntry e;
            e.path = path;
            e.data = data;
            entries.push_back(e);
        };
        file("QOR.exe", ReadBytes(WinePath(QOR_TEST_DEMO_APP_EXE)));
        file("UnRAR.exe", ReadBytes(WinePath(QOR_TEST_REAL_UNRAR_CRT)));
        file("qor.ico", ReadBytes(WinePath(QOR_TEST_ICON)));
        file("使用说明.txt", "QOR演示\r\n");
        standin::ArchiveEntry sys;
        sys.folder = true;
        sys.path = "SYS";
        entries.push_back(sys);
        file("SYS\\setinf.txt", "FSSHOW = True\r\n");
        return entries;
    }

    enum class Package {
        Sound,
        WithoutExtractor,  // no extractor record: the extractor cannot be started
        DamagedArchive,    // a checksum error in one file; the other one is extracted (exit code 3)
    };

    // Writes the installer package: the bare installer and the chosen records, with the real
    // extractor of the build given (the C runtime's argument convention unless told).
    std::string MakePackage(Package kind = Package::Sound, const char* extractorBuild = QOR_TEST_REAL_UNRAR_CRT) {
        std::string bytes = ReadBytes(WinePath(QOR_TEST_SETUP_EXE));
        if (bytes.empty() || bytes.back() != '\0') bytes.push_back('\0');
        if (kind != Package::WithoutExtractor) {
            std::string extractor = ReadBytes(WinePath(extractorBuild));
            bytes += package::HeaderLine(2, static_cast<int64_t>(extractor.size())) + extractor;
        }
        std::string archive;
        if (kind == Package::DamagedArchive) {
            archive = test::WithDamagedMiddle(test::MakeRarArchive(
                {{false, "使用说明.txt", "QOR演示\r\n"}, {false, "data.bin", test::IncompressibleBytes(200000)}}));
        } else {
            archive = test::MakeRarArchive(DemoTree());
        }
        EXPECT_FALSE(archive.empty()) << "rar made no archive";
        bytes += package::HeaderLine(3, static_cast<int64_t>(archive.size())) + archive;
        const std::string path = Download() + "\\QOR_SETUP.exe";
        EXPECT_TRUE(WriteBytes(path, bytes));
        return path;
    }

    void Start(SetupRun& setup, const std::string& exe, const std::string& arguments, bool native = false) {
        StartCommand(setup, "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments), native);
    }
    // Starts the command line exactly as given (as the shell starts an UninstallString). With
    // `native`, System32 is the 64-bit one even for this build's 32-bit test program.
    void StartCommand(SetupRun& setup, const std::string& commandLine, bool native = false) {
        SetEnvironmentVariableW(L"QOR_PROGRAM_LOG", Wide(ProgramLog()).c_str());
        std::wstring cmd = Wide(commandLine);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        void* redirection = nullptr;
        const bool unredirected = native && Wow64DisableWow64FsRedirection(&redirection);
        const BOOL started = CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &setup.pi);
        if (unredirected) Wow64RevertWow64FsRedirection(redirection);
        ASSERT_TRUE(started);
    }

    std::vector<std::string> StartedPrograms() { return SplitLines(ReadBytes(ProgramLog())); }

    static void Shot(HWND window, const std::string& name) {
        if (const char* shots = getenv("QOR_SCREENSHOTS")) {
            Sleep(400);
            ui::SaveWindowBitmap(window, std::string(shots) + "\\" + name + ".bmp");
        }
    }

    // The image path of the process that shows the window.
    static std::string ProcessImage(HWND window) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        win32::KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
        wchar_t path[MAX_PATH * 2] = {};
        DWORD size = MAX_PATH * 2;
        if (!process.valid() || !QueryFullProcessImageNameW(process.get(), 0, path, &size)) return "(no image)";
        return Narrow(path, size);
    }

    static bool Visible(HWND window, const std::string& text) {
        HWND child = ui::FindChild(window, text);
        return child && IsWindowVisible(child);
    }

    // Answers the message box with this title of the process; its text.
    static std::string Answer(DWORD pid, const std::string& title, int button) {
        HWND box = ui::WaitForWindow(title, pid, 30000);
        if (!box) return "(no message box \"" + title + "\")";
        std::string text = ui::MessageBoxText(box);
        ui::ClickButton(box, button);
        ui::WaitUntilClosed(box, 10000);
        return text;
    }

    // Starts "EXE /u" and waits for the uninstall window.
    HWND OpenUninstall(SetupRun& setup, const std::string& exe) {
        Start(setup, exe, "/u");
        return ui::WaitForWindow("QOR卸载", setup.pi.dwProcessId, 30000);
    }

    // Agreement accepted, on to the folder page.
    HWND OpenFolderPage(SetupRun& setup) {
        HWND fd = ui::WaitForWindow("QOR安装", setup.pi.dwProcessId, 30000);
        if (!fd) return nullptr;
        HWND ck = ui::FindChild(fd, "我接受此协议的所有条款");
        ui::ClickButtonByText(fd, "我接受此协议的所有条款");
        PollUntil([&] { return ui::IsChecked(ck); });
        ui::ClickButtonByText(fd, "继续(&C)..");
        PollUntil([&] { return Visible(fd, "开始安装(&S).."); });
        return fd;
    }

    // Chooses a folder with the shell's folder picker. Wine's picker shows no edit box to type a
    // path into, so the folder is picked in its tree as a click would pick it: the third item under
    // the desktop (after "/" and the recycle bin) is the documents folder.
    std::string PickDocuments(SetupRun& setup, HWND fd) {
        EXPECT_TRUE(ui::ClickButtonByText(fd, "更改(&B).."));
        HWND picker = ui::WaitForWindowWithChild("请选择安装路径：", setup.pi.dwProcessId, 30000);
        if (!picker) return "(no folder picker)";
        Shot(picker, "picker");
        HWND tree = ui::FindChildOfClass(picker, "SysTreeView32");
        if (!tree) return "(no folder tree)";
        SetForegroundWindow(picker);
        LPARAM item = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
        item = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, item);
        for (int i = 0; i < 2 && item; ++i) item = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, item);
        if (!item) return "(no documents item)";
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, item);
        Sleep(300);
        Shot(picker, "picker-documents");
        ui::ClickButton(picker, IDOK);
        if (!ui::WaitUntilClosed(picker, 10000)) return "(picker stays open)";
        return SpecialFolder(CSIDL_PERSONAL) + "\\";
    }

    // Starts the install and waits for the finish page.
    bool InstallAndFinish(SetupRun&, HWND fd) {
        ui::ClickButtonByText(fd, "开始安装(&S)..");
        return PollUntil([&] { return Visible(fd, std::string(kProduct) + "  已经成功的安装到您的计算机。"); },
                         std::chrono::seconds(60));
    }

    // A complete install into `folder` (created first) through the repair path of the package's
    // copy there (its folder is the install folder), ended with "完成" without starting QOR.exe.
    // A package that cannot install ends in the install error instead, with the folder page ready
    // for another attempt, and the wizard is closed.
    // `fails` says that the install ends in the install error.
    void Install(const std::string& folder, Package kind = Package::Sound, bool fails = false,
                 const char* extractorBuild = QOR_TEST_REAL_UNRAR_CRT) {
        fails = fails || kind != Package::Sound;
        test::MakeFolder(folder);
        ASSERT_TRUE(CopyFileW(Wide(MakePackage(kind, extractorBuild)).c_str(), Wide(folder + "\\QOR_SETUP.exe").c_str(), FALSE));
        SetupRun setup;
        HWND fu = OpenUninstall(setup, folder + "\\QOR_SETUP.exe");
        ASSERT_NE(fu, nullptr);
        ui::ClickButtonByText(fu, "修复安装(&S)..");
        HWND fd = ui::WaitForWindow("QOR安装", setup.pi.dwProcessId, 30000);
        ASSERT_NE(fd, nullptr);
        if (fails) {
            EXPECT_EQ(Answer(setup.pi.dwProcessId, "错误", IDOK), "安装过程发生错误！\r\n请重试！");
            EXPECT_TRUE(PollUntil([&] { return !Visible(fd, "正在安装(请不要关闭本窗口)..."); }));
            // The buttons come back right after the status goes: waited for, not raced.
            for (const char* button : {"开始安装(&S)..", "更改(&B)..", "取消(&C)"})
                EXPECT_TRUE(PollUntil([&] { return IsWindowEnabled(ui::FindChild(fd, button)) != FALSE; })) << button;
            PostMessageW(fd, WM_CLOSE, 0, 0);
            Answer(setup.pi.dwProcessId, "提示", IDOK);
            ASSERT_TRUE(setup.Wait(10000));
            return;
        }
        ASSERT_TRUE(PollUntil([&] { return Visible(fd, std::string(kProduct) + "  已经成功的安装到您的计算机。"); },
                              std::chrono::seconds(60)));
        HWND crun = ui::FindChild(fd, std::string("运行  ") + kProduct);
        ui::ClickButtonByText(fd, std::string("运行  ") + kProduct);
        PollUntil([&] { return !ui::IsChecked(crun); });
        ui::ClickButtonByText(fd, "完成(&D)");
        ASSERT_TRUE(setup.Wait(20000));
        EntryComplete();
    }

    test::ScratchFolder folder_{"qor-setup"};
    const std::string root_ = folder_.path();
};

TEST_F(InstallerEndToEnd, InstallsIntoTheChosenFolderRegistersAndStartsTheProgram) {
    // Copies of the system programs planted beside the downloaded installer and, below, in the
    // install folder are never started: reg comes from the system folder.
    ASSERT_TRUE(test::PlantSystemPrograms(WinePath(QOR_TEST_PLANTED_EXE), Download()));
    SetupRun setup;
    Start(setup, MakePackage(), "");
    HWND fd = ui::WaitForWindow("QOR安装", setup.pi.dwProcessId, 30000);
    ASSERT_NE(fd, nullptr);
    EXPECT_EQ(ui::ClassName(fd), "QORSetupFd");
    RECT r;
    GetWindowRect(fd, &r);
    EXPECT_EQ(r.right - r.left, 506);
    EXPECT_EQ(r.bottom - r.top, 400);

    // Continue is enabled only while the agreement is accepted.
    HWND ck = ui::FindChild(fd, "我接受此协议的所有条款");
    HWND next = ui::FindChild(fd, "继续(&C)..");
    ASSERT_TRUE(ck && next);
    EXPECT_TRUE(Visible(fd, "请阅读QORsoft软件产品许可协议"));
    EXPECT_TRUE(Visible(fd, "若要继续，您必须接受此协议的所有条款，否则，请关闭本窗口。"));
    EXPECT_FALSE(ui::IsChecked(ck));
    EXPECT_FALSE(IsWindowEnabled(next));
    HWND txy = ui::FindChildOfClass(fd, "Edit");
    ASSERT_NE(txy, nullptr);
    const std::vector<std::string> agreement = Split(ui::WindowText(txy), "\r\n");
    ASSERT_EQ(agreement.size(), 14u);
    EXPECT_EQ(agreement[1], "");
    EXPECT_TRUE(StartsWith(agreement[2], "一"));
    EXPECT_TRUE(StartsWith(agreement.back(), "四、"));  // no author or contact lines after it
    Shot(fd, "Fd-agreement");
    for (bool ticked : {true, false, true}) {
        ui::ClickButton(GetParent(ck), GetDlgCtrlID(ck));
        ASSERT_TRUE(PollUntil([&] { return ui::IsChecked(ck) == ticked; }));
        EXPECT_TRUE(PollUntil([&] { return (IsWindowEnabled(next) != FALSE) == ticked; })) << ticked;
    }
    ui::ClickButtonByText(fd, "继续(&C)..");
    ASSERT_TRUE(PollUntil([&] { return Visible(fd, "开始安装(&S).."); }));
    EXPECT_FALSE(Visible(fd, "我接受此协议的所有条款"));
    EXPECT_TRUE(Visible(fd, std::string("本程序将为您安装\r\n") + kProduct + "\r\n\r\n版本：6.01"));
    EXPECT_TRUE(Visible(fd, "安装路径："));
    EXPECT_TRUE(Visible(fd, std::string("D:\\") + kProduct + "\\"));
    Shot(fd, "Fd-folder");

    // The user's own documents folder is refused when it is picked, and the folder stays.
    const std::string documents = PickDocuments(setup, fd);
    const std::string picked = ReplaceAll(documents + "\\", "\\\\", "\\");
    const std::string refusal = Answer(setup.pi.dwProcessId, "错误", IDOK);
    EXPECT_TRUE(refusal == "安装文件夹 " + picked + " 是磁盘根目录或系统、用户文件夹，不能安装到这里！\r\n请重新选择安装路径。" ||
                refusal == "安装文件夹 " + picked + "\\ 是磁盘根目录或系统、用户文件夹，不能安装到这里！\r\n请重新选择安装路径。")
        << refusal;
    const std::string I = std::string("D:\\") + kProduct + "\\";
    EXPECT_EQ(ui::WindowText(GetNextWindow(ui::FindChild(fd, "安装路径："), GW_HWNDNEXT)), I);
    installed_ = I;
    ASSERT_TRUE(test::MakeFolder(I.substr(0, I.size() - 1)));
    ASSERT_TRUE(test::PlantSystemPrograms(WinePath(QOR_TEST_PLANTED_EXE), I.substr(0, I.size() - 1)));
    ASSERT_TRUE(InstallAndFinish(setup, fd));
    EXPECT_TRUE(Visible(fd, "安装完成"));
    EXPECT_TRUE(Visible(fd, "您可以通过QOR桌面快捷方式图标打开软件。"));
    HWND crun = ui::FindChild(fd, std::string("运行  ") + kProduct);
    ASSERT_NE(crun, nullptr);
    EXPECT_TRUE(ui::IsChecked(crun));
    Shot(fd, "Fd-finish");
    ui::ClickButtonByText(fd, "完成(&D)");
    ASSERT_TRUE(setup.Wait(20000));
    // QOR.exe is started through the desktop shell, which answers under Wine too: the demo
    // program runs from the install folder, outside the test's environment (so it shows its
    // message instead of writing a log), and the installer itself started nothing for it.
    HWND demo = ui::WaitForWindowWithChild("这是QOR安装包演示用的程序。", 0, 30000);
    ASSERT_NE(demo, nullptr) << "QOR.exe was not started";
    EXPECT_EQ(ProcessImage(demo), ReplaceAll(I, "\\\\", "\\") + "QOR.exe");
    ui::ClickButton(demo, IDOK);
    EXPECT_TRUE(ui::WaitUntilClosed(demo, 10000));

    // The application files, the copy of the installer and its payload.
    for (const char* name : {"QOR.exe", "UnRAR.exe", "qor.ico", "使用说明.txt", "SYS\\setinf.txt", "QOR_SETUP.exe",
                             "uninstall.inf"})
        EXPECT_TRUE(IsFile(I + name)) << name;
    EXPECT_FALSE(IsFile(I + "QOR_SETUP.rar"));
    EXPECT_EQ(ReadBytes(I + "SYS\\setinf.txt"), "FSSHOW = True\r\n");
    EXPECT_EQ(ReadBytes(I + "UnRAR.exe"), ReadBytes(WinePath(QOR_TEST_REAL_UNRAR_CRT)));
    EXPECT_EQ(ReadBytes(I + "QOR_SETUP.exe"), ReadBytes(Download() + "\\QOR_SETUP.exe"));
    EXPECT_FALSE(IsFolder(I + "QOR_SETUP_TEMP"));

    // uninstall.inf: the listing in pre-order (file order within a folder is the platform's),
    // then the fixed lines; ANSI (GBK) with CR LF after every line.
    const std::string record = ReadBytes(I + "uninstall.inf");
    ASSERT_TRUE(EndsWith(record, "\r\n"));
    std::vector<std::string> lines = Split(record.substr(0, record.size() - 2), "\r\n");
    ASSERT_EQ(lines.size(), 14u) << record;
    EXPECT_EQ(lines[0], Gbk(I));
    std::set<std::string> rootFiles(lines.begin() + 1, lines.begin() + 5);
    EXPECT_EQ(rootFiles, (std::set<std::string>{Gbk(I + "QOR.exe"), Gbk(I + "UnRAR.exe"), Gbk(I + "qor.ico"),
                                                Gbk(I + "使用说明.txt")}));
    EXPECT_EQ(lines[5], Gbk(I + "SYS\\"));
    EXPECT_EQ(lines[6], Gbk(I + "SYS\\setinf.txt"));
    const char* tail[] = {"QOR_SETUP.rar", "QOR_UPDATE.LOG", "QOR_UPDATE.rar", "QOR_UPDATE.exe",
                          "SYS\\pcinf.txt", "SYS\\usrinf.txt", "SYS\\setinf.txt"};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(lines[7 + i], Gbk(I + tail[i]));
    for (const std::string& line : lines) EXPECT_EQ(line.find('\n'), std::string::npos);

    // What the installer started: the extractor twice (hidden, awaited), the ten registry commands.
    const std::vector<std::string> started = StartedPrograms();
    ASSERT_EQ(started.size(), 12u);
    // The extractor runs from the work folder in the temporary folder, first into the scratch
    // folder inside it, then into the install folder.
    const size_t workAt = started[0].find("\\QOR_SETUP_WORK");
    ASSERT_NE(workAt, std::string::npos) << started[0];
    const std::string W = started[0].substr(1, started[0].find("\\", workAt + 1) - 1) + "\\";
    EXPECT_EQ(started[0], "\"" + W + "\\UnRAR.exe\" x -o+ \"" + W + "\\QOR_SETUP.rar\" \"" + W + "QOR_SETUP_TEMP\\\\\"");
    EXPECT_EQ(started[1], "\"" + W + "\\UnRAR.exe\" x -o+ \"" + W + "\\QOR_SETUP.rar\" " + QuotedFolderArgument(I));
    EXPECT_FALSE(IsFolder(W));
    const std::string P = KeptFolder();
    const std::string k = "reg add HKEY_LOCAL_MACHINE\\" + std::string(kUninstallKey);
    EXPECT_EQ(started[2], k + " /v DisplayIcon /t REG_SZ /d \"" + P + "qor.ico\" /f");
    EXPECT_EQ(started[3], k + " /v DisplayName /t REG_SZ /d " + kProduct + " /f");
    EXPECT_EQ(started[4], k + " /v DisplayVersion /t REG_SZ /d 6.01 /f");
    EXPECT_EQ(started[5], k + " /v Publisher /t REG_SZ /d QORsoft /f");
    EXPECT_EQ(started[6], k + " /v UninstallString /t REG_SZ /d \"\\\"" + P + "QOR_SETUP.exe\\\" /u\" /f");

    ASSERT_TRUE(EntryComplete()) << UninstallValues().size() << " values";
    std::map<std::string, std::string> values = UninstallValues();
    EXPECT_GT(std::stoul(values["EstimatedSize"]), 0u);
    values.erase("EstimatedSize");
    EXPECT_EQ(values, (std::map<std::string, std::string>{{"DisplayIcon", P + "qor.ico"},
                                                          {"DisplayName", kProduct},
                                                          {"DisplayVersion", "6.01"},
                                                          {"Publisher", "QORsoft"},
                                                          {"UninstallString", "\"" + P + "QOR_SETUP.exe\" /u"},
                                                          {"InstallLocation", I.substr(0, I.find_last_not_of('\\') + 1)},
                                                          {"QuietUninstallString", "\"" + P + "QOR_SETUP.exe\" /u /S"},
                                                          {"URLInfoAbout", "http://www.qor-soft.cn"},
                                                          {"NoModify", "1"}}));

    const std::string exe = ReplaceAll(I, "\\\\", "\\") + "QOR.exe";
    EXPECT_EQ(ReadShortcut(DesktopLink()), exe + "|");
    EXPECT_EQ(ReadShortcut(MenuFolder() + "\\" + kProduct + ".lnk"), exe + "|");
    EXPECT_EQ(ReadShortcut(MenuFolder() + "\\卸载 " + kProduct + ".lnk"), P + "QOR_SETUP.exe|/u");
    EXPECT_EQ(test::PlantedProgramsThatRan(Download()), std::vector<std::string>());
    EXPECT_EQ(test::PlantedProgramsThatRan(I.substr(0, I.size() - 1)), std::vector<std::string>());
}

TEST_F(InstallerEndToEnd, UninstallRemovesWhatTheRecordListsAndKeepsTheUsersFiles) {
    // Copies of the system programs in the install folder never run, neither in the repair that
    // installs here nor in the uninstall: reg and cmd (and cmd's timeout) come from the system
    // folder, and the real ones still write and remove the entry and remove the uninstaller.
    const std::string app = root_ + "\\Apps";
    ASSERT_TRUE(test::MakeFolder(app));
    ASSERT_TRUE(test::PlantSystemPrograms(WinePath(QOR_TEST_PLANTED_EXE), app));
    Install(app);
    const std::string I = app + "\\";
    WriteBytes(I + "我的账套.qorb", "user data");
    DeleteFileW(Wide(ProgramLog()).c_str());

    // Started by the Uninstall entry's command: the quoted path (with blanks) and " /u".
    const std::string uninstallString = UninstallValues()["UninstallString"];
    const std::string P = KeptFolder();
    ASSERT_EQ(uninstallString, "\"" + P + "QOR_SETUP.exe\" /u");
    ASSERT_NE(P.find(' '), std::string::npos);
    SetupRun setup;
    StartCommand(setup, uninstallString);
    HWND fu = ui::WaitForWindow("QOR卸载", setup.pi.dwProcessId, 30000);
    ASSERT_NE(fu, nullptr);
    EXPECT_TRUE(Visible(fu, "亲爱的用户："));
    EXPECT_TRUE(Visible(fu, "您真的决定要卸载了吗？"));
    EXPECT_TRUE(Visible(fu, "如果QOR软件不能正常运行，您可以尝试点击【修复安装】以解决问题。"));
    EXPECT_FALSE(Visible(fu, "勾选后安装文件夹中的所有账套文件和导出的Excel表格都会被删除（不推荐）"));
    EXPECT_FALSE(ui::IsChecked(ui::FindChild(fu, "同时删除整个安装文件夹")));
    Shot(fu, "Fu");

    // Cancel at the question changes nothing.
    ui::ClickButtonByText(fu, "卸载(&U)");
    EXPECT_EQ(Answer(setup.pi.dwProcessId, "询问", IDCANCEL), std::string("是否确定要卸载\r\n") + kProduct + "？");
    EXPECT_TRUE(IsFile(I + "QOR.exe"));

    ui::ClickButtonByText(fu, "卸载(&U)");
    EXPECT_EQ(Answer(setup.pi.dwProcessId, "询问", IDOK), std::string("是否确定要卸载\r\n") + kProduct + "？");
    EXPECT_EQ(Answer(setup.pi.dwProcessId, "提示", IDOK), std::string(kProduct) + " 已经成功的从您的计算机中移除。");
    ASSERT_TRUE(setup.Wait(20000));

    for (const char* name : {"QOR.exe", "UnRAR.exe", "qor.ico", "使用说明.txt", "SYS\\setinf.txt", "QOR_SETUP.rar",
                             "uninstall.inf"})
        EXPECT_FALSE(IsFile(I + name)) << name;
    EXPECT_FALSE(IsFolder(I + "SYS"));
    EXPECT_EQ(ReadBytes(I + "我的账套.qorb"), "user data");

    const std::vector<std::string> started = StartedPrograms();
    ASSERT_EQ(started.size(), 5u);
    EXPECT_EQ(started[0], "reg delete HKEY_LOCAL_MACHINE\\" + std::string(kUninstallKey) + " /f");
    EXPECT_EQ(started[1], std::string("reg delete HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") +
                              kProduct + " /f");
    EXPECT_EQ(started[2], "cmd /c timeout /t 3 & del \"" + P + "QOR_SETUP.exe\"");
    EXPECT_EQ(started[3], "cmd /c timeout /t 4 & rd \"" + I + "\"");
    EXPECT_EQ(started[4], "cmd /c timeout /t 4 & rd \"" + P + "\"");
    EXPECT_TRUE(PollUntil([&] { return UninstallValues().empty(); }));
    EXPECT_FALSE(IsFile(DesktopLink()));
    EXPECT_FALSE(IsFolder(MenuFolder()));
    // The uninstaller goes a few seconds after it ended; the folder stays with the user's file.
    EXPECT_FALSE(IsFile(I + "QOR_SETUP.exe"));
    EXPECT_TRUE(PollUntil([&] { return !IsFolder(P); }, std::chrono::seconds(30)));
    Sleep(5000);
    EXPECT_TRUE(IsFolder(app));
    EXPECT_TRUE(IsFile(I + "我的账套.qorb"));
    EXPECT_EQ(test::PlantedProgramsThatRan(app), std::vector<std::string>());
}

TEST_F(InstallerEndToEnd, WholeFolderRemovalDeletesEverythingVisibleAndTheFolder) {
    const std::string app = root_ + "\\Whole";
    Install(app);
    const std::string I = app + "\\";
    WriteBytes(I + "我的账套.qorb", "user data");
    test::MakeFolder(I + "导出");
    WriteBytes(I + "导出\\表.xls", "x");

    SetupRun setup;
    HWND fu = OpenUninstall(setup, I + "QOR_SETUP.exe");
    ASSERT_NE(fu, nullptr);
    ui::ClickButtonByText(fu, "同时删除整个安装文件夹");
    EXPECT_TRUE(PollUntil([&] { return Visible(fu, "勾选后安装文件夹中的所有账套文件和导出的Excel表格都会被删除（不推荐）"); }));
    Shot(fu, "Fu-whole-folder");
    ui::ClickButtonByText(fu, "卸载(&U)");
    Answer(setup.pi.dwProcessId, "询问", IDOK);
    EXPECT_EQ(Answer(setup.pi.dwProcessId, "提示", IDOK), std::string(kProduct) + " 已经成功的从您的计算机中移除。");
    ASSERT_TRUE(setup.Wait(20000));
    EXPECT_FALSE(IsFile(I + "我的账套.qorb"));
    EXPECT_FALSE(IsFolder(I + "导出"));
    EXPECT_FALSE(IsFile(I + "uninstall.inf"));
    EXPECT_TRUE(PollUntil([&] { return !IsFolder(app); }, std::chrono::seconds(30)));
}

TEST_F(InstallerEndToEnd, LockedFileAnsweredNoLeavesTheEntryAndTheShortcuts) {
    const std::string app = root_ + "\\Locked";
    Install(app);
    const std::string I = app + "\\";
    HANDLE lock = CreateFileW(Wide(I + "qor.ico").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    SetupRun setup;
    HWND fu = OpenUninstall(setup, I + "QOR_SETUP.exe");
    ASSERT_NE(fu, nullptr);
    ui::ClickButtonByText(fu, "卸载(&U)");
    Answer(setup.pi.dwProcessId, "询问", IDOK);
    // In the middle of the removal neither a repair nor a cancel can be started.
    HWND csetup = ui::FindChild(fu, "修复安装(&S).."), cno = ui::FindChild(fu, "取消(&C)");
    ASSERT_NE(ui::WaitForWindow("提示", setup.pi.dwProcessId, 30000), nullptr);
    EXPECT_FALSE(IsWindowEnabled(csetup));
    EXPECT_FALSE(IsWindowEnabled(cno));
    EXPECT_TRUE(IsWindowEnabled(ui::FindChild(fu, "卸载(&U)")));
    EXPECT_EQ(Answer(setup.pi.dwProcessId, "提示", IDNO),
              "不能删除文件：\r\n" + I + "qor.ico\r\n该文件可能正被某些应用程序占用。\r\n\r\n是否忽略并继续卸载？");
    EXPECT_TRUE(PollUntil([&] { return IsWindowVisible(fu) && !Visible(fu, "正在卸载，请稍等..."); }));
    EXPECT_TRUE(PollUntil([&] { return IsWindowEnabled(csetup) && IsWindowEnabled(cno); }));
    EXPECT_FALSE(setup.Wait(500));
    CloseHandle(lock);
    EXPECT_TRUE(IsFile(I + "uninstall.inf"));
    EXPECT_TRUE(IsFile(I + "qor.ico"));
    EXPECT_EQ(UninstallValues().size(), 10u);
    EXPECT_TRUE(IsFile(DesktopLink()));
    EXPECT_TRUE(IsFolder(MenuFolder()));
    ui::ClickButtonByText(fu, "取消(&C)");
    EXPECT_TRUE(setup.Wait(10000));
}

// The extractor that splits its command line itself installs and repairs as well.
TEST_F(InstallerEndToEnd, RepairReinstallsIntoTheSameFolder) {
    const std::string app = root_ + "\\Repair";
    Install(app, Package::Sound, false, QOR_TEST_REAL_UNRAR_OWN);
    const std::string I = app + "\\";
    DeleteFileW(Wide(I + "使用说明.txt").c_str());
    WriteBytes(I + "SYS\\usrinf.txt", "kept");
    DeleteUninstallKey();

    SetupRun setup;
    HWND fu = OpenUninstall(setup, I + "QOR_SETUP.exe");
    ASSERT_NE(fu, nullptr);
    ui::ClickButtonByText(fu, "修复安装(&S)..");
    HWND fd = ui::WaitForWindow("QOR安装", setup.pi.dwProcessId, 30000);
    ASSERT_NE(fd, nullptr);
    EXPECT_TRUE(PollUntil([&] { return Visible(fd, std::string(kProduct) + "  已经成功的安装到您的计算机。"); },
                          std::chrono::seconds(60)));
    EXPECT_FALSE(IsWindowVisible(fu));
    EXPECT_TRUE(ui::FindChild(fd, I) != nullptr);
    EXPECT_EQ(ReadBytes(I + "使用说明.txt"), "QOR演示\r\n");
    EXPECT_EQ(ReadBytes(I + "SYS\\usrinf.txt"), "kept");
    EXPECT_TRUE(EntryComplete()) << UninstallValues().size() << " values";
    ui::ClickButtonByText(fd, std::string("运行  ") + kProduct);
    ui::ClickButtonByText(fd, "完成(&D)");
    EXPECT_TRUE(setup.Wait(20000));
}

TEST_F(InstallerEndToEnd, ExcelRunningBlocksTheInstallAndTouchesNothing) {
    const std::string app = root_ + "\\Excel";
    test::MakeFolder(app);
    test::ProcessSet processes;
    const std::string excel = root_ + "\\excel.exe";
    ASSERT_TRUE(CopyFileW(Wide(WinePath(QOR_TEST_SLEEPER_EXE)).c_str(), Wide(excel).c_str(), FALSE));
    ASSERT_NE(processes.Start(excel), nullptr);

    SetupRun setup;
    Start(setup, MakePackage(), "");
    HWND fd = OpenFolderPage(setup);
    ASSERT_NE(fd, nullptr);
    // A double-click on the folder box opens the picker too; cancelling it changes nothing.
    const std::string defaultFolder = std::string("D:\\") + kProduct + "\\";
    HWND tpath = ui::FindChild(fd, defaultFolder);
    ASSERT_NE(tpath, nullptr);
    PostMessageW(tpath, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    HWND picker = ui::WaitForWindowWithChild("请选择安装路径：", setup.pi.dwProcessId, 30000);
    ASSERT_NE(picker, nullptr);
    ui::ClickButton(picker, IDCANCEL);
    ASSERT_TRUE(ui::WaitUntilClosed(picker, 10000));
    EXPECT_EQ(ui::WindowText(tpath), defaultFolder);

    ui::ClickButtonByText(fd, "开始安装(&S)..");
    EXPECT_EQ(Answer(setup.pi.dwProcessId, "提示", IDOK),
              "QOR安装程序检测到Excel正在运行！\r\n\r\n如果您已经打开Excel表格，请关闭后再尝试安装...");
    EXPECT_TRUE(IsWindowEnabled(ui::FindChild(fd, "开始安装(&S)..")));
    EXPECT_FALSE(Visible(fd, "正在释放文件..."));
    EXPECT_FALSE(IsFolder(std::string("D:\\") + kProduct));
    EXPECT_TRUE(StartedPrograms().empty());

    // Cancel asks first; Cancel keeps the wizard, OK ends it.
    ui::ClickButtonByText(fd, "取消(&C)");
    EXPECT_EQ(Answer(setup.pi.dwProcessId, "提示", IDCANCEL), "确定要放弃安装吗？");
    EXPECT_FALSE(setup.Wait(300));
    ui::ClickButtonByText(fd, "取消(&C)");
    Answer(setup.pi.dwProcessId, "提示", IDOK);
    EXPECT_TRUE(setup.Wait(10000));
}

// The installer stops at the first failure: a package without its extractor starts no extractor
// and leaves nothing behind, in the install folder or in its work folder; the next attempt
// installs.
TEST_F(InstallerEndToEnd, PackageWithoutTheExtractorFailsAndLeavesNothingBehind) {
    const std::string app = root_ + "\\Retry";
    test::MakeFolder(app);
    const std::string I = app + "\\";
    const std::set<std::string> before = WorkFolders();
    Install(app, Package::WithoutExtractor);
    EXPECT_TRUE(StartedPrograms().empty());
    for (const char* name : {"UnRAR.exe", "QOR_SETUP.rar", "uninstall.inf", "QOR_SETUP_TEMP"})
        EXPECT_FALSE(IsFile(I + name) || IsFolder(I + name)) << name;
    EXPECT_EQ(WorkFolders(), before);
    DeleteFileW(Wide(ProgramLog()).c_str());
    Install(app);
    const std::vector<std::string> started = StartedPrograms();
    ASSERT_FALSE(started.empty());
    const std::string W = WorkFolderOf(started[0]);
    ASSERT_FALSE(W.empty()) << started[0];
    EXPECT_EQ(started[0], "\"" + W + "\\UnRAR.exe\" x -o+ \"" + W + "\\QOR_SETUP.rar\" \"" + W + "QOR_SETUP_TEMP\\\\\"");
    EXPECT_EQ(WorkFolders(), before);
    const std::string record = ReadBytes(I + "uninstall.inf");
    EXPECT_EQ(record.find("QOR_SETUP_TEMP"), std::string::npos) << record;
    EXPECT_EQ(record.find("QOR_SETUP_WORK"), std::string::npos) << record;
}

TEST_F(InstallerEndToEnd, FatalErrorOfTheFirstExtractionIsTheInstallError) {
    const std::string app = root_ + "\\Damaged";
    const std::string I = app + "\\";
    const std::set<std::string> before = WorkFolders();
    Install(app, Package::DamagedArchive);
    // The extractor wrote the sound file into the scratch folder and failed on the damaged one:
    // its exit code decided. Nothing was extracted into the install folder, recorded or
    // registered, and the work folder went with what the extractor left there.
    EXPECT_FALSE(IsFile(I + "使用说明.txt"));
    EXPECT_FALSE(IsFile(I + "uninstall.inf"));
    const std::vector<std::string> started = StartedPrograms();
    ASSERT_EQ(started.size(), 1u);
    const std::string W = WorkFolderOf(started[0]);
    EXPECT_EQ(started[0], "\"" + W + "\\UnRAR.exe\" x -o+ \"" + W + "\\QOR_SETUP.rar\" \"" + W + "QOR_SETUP_TEMP\\\\\"");
    EXPECT_FALSE(IsFolder(W));
    EXPECT_EQ(WorkFolders(), before);
    EXPECT_TRUE(UninstallValues().empty());
    EXPECT_FALSE(IsFile(DesktopLink()));
}

// A file of the install folder held open by another program cannot be replaced: the extractor
// ends with exit code 9, which is the install error unless only its own running image was in
// the way (which every sound install meets: the archive carries the extractor).
TEST_F(InstallerEndToEnd, FileHeldOpenInTheInstallFolderIsTheInstallError) {
    const std::string app = root_ + "\\Held";
    const std::string I = app + "\\";
    Install(app);
    ASSERT_EQ(ReadBytes(I + "UnRAR.exe"), ReadBytes(WinePath(QOR_TEST_REAL_UNRAR_CRT)));
    const std::string record = ReadBytes(I + "uninstall.inf");
    DeleteUninstallKey();
    DeleteFileW(Wide(ProgramLog()).c_str());
    win32::KernelHandle held(CreateFileW(Wide(I + "SYS\\setinf.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.valid());
    Install(app, Package::Sound, true);
    EXPECT_EQ(StartedPrograms().size(), 2u);  // both extractions, no registry command
    EXPECT_EQ(ReadBytes(I + "uninstall.inf"), record);
    EXPECT_TRUE(UninstallValues().empty());
}

// How the two builds of the real extractor read a destination: with a single "\" before the
// closing quote the one that takes its arguments from the C runtime reads an escaped quote and
// extracts nothing; the doubled "\" that the programs write means the folder to both, existing
// or not.
TEST(RealExtractor, DestinationArgumentReadAlikeByBothBuilds) {
    test::ScratchFolder work("qor-unrar");
    const std::string archive = work / "a.rar";
    const std::string bytes = test::MakeRarArchive(
        {{false, "打印预览.txt", "p"}, {true, "SYS", ""}, {false, "SYS\\config.ini", "c"}, {false, "SYS\\sub\\data.bin", "d"}});
    ASSERT_FALSE(bytes.empty()) << "rar made no archive";
    ASSERT_TRUE(WriteBytes(archive, bytes));
    struct Row {
        const char* build;
        bool singleBackslash;  // "T\" as written before, else the programs' form
        bool folderExists;
        DWORD exitCode;
    };
    const Row rows[] = {
        {QOR_TEST_REAL_UNRAR_CRT, true, true, 10},  {QOR_TEST_REAL_UNRAR_OWN, true, true, 0},
        {QOR_TEST_REAL_UNRAR_CRT, false, true, 0},  {QOR_TEST_REAL_UNRAR_OWN, false, true, 0},
        {QOR_TEST_REAL_UNRAR_CRT, false, false, 0}, {QOR_TEST_REAL_UNRAR_OWN, false, false, 0},
    };
    int n = 0;
    for (const Row& row : rows) {
        const std::string what = std::string(row.build) + (row.singleBackslash ? " T\\" : " T\\\\") +
                                 (row.folderExists ? " existing" : " new");
        const std::string dest = work / ("目标" + std::to_string(++n));
        if (row.folderExists) ASSERT_TRUE(test::MakeFolder(dest));
        std::wstring command = Wide("\"" + WinePath(row.build) + "\" x -o+ \"" + archive + "\" " +
                                    (row.singleBackslash ? "\"" + dest + "\\\"" : QuotedFolderArgument(dest)));
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi));
        win32::KernelHandle process(pi.hProcess), thread(pi.hThread);
        ASSERT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0) << what;
        DWORD code = 1;
        GetExitCodeProcess(pi.hProcess, &code);
        EXPECT_EQ(code, row.exitCode) << what;
        const bool extracted = row.exitCode == 0;
        EXPECT_EQ(ReadBytes(dest + "\\打印预览.txt"), extracted ? "p" : "") << what;
        EXPECT_EQ(ReadBytes(dest + "\\SYS\\sub\\data.bin"), extracted ? "d" : "") << what;
    }
}

// A question of the real extractor started hidden (whether to replace a file, as here; whether
// to retry on a full disk) has nobody to answer it: the programs' starter gives it the null
// device as input, so that the question ends it (exit code 255) instead of leaving it waiting,
// and the program that waits for it, for ever.
TEST(RealExtractor, AQuestionOfAHiddenExtractorEndsIt) {
    test::ScratchFolder work("qor-unrar-ask");
    const std::string archive = work / "a.rar";
    ASSERT_TRUE(WriteBytes(archive, test::MakeRarArchive({{false, "a.txt", "new"}})));
    ASSERT_TRUE(WriteBytes(work / "a.txt", "old"));
    auto run = std::async(std::launch::async, [&] {
        win32::Win32ProgramRunner runner;
        // Without -o+ the extractor asks before it replaces a file.
        return runner.StartAndWait("\"" + WinePath(QOR_TEST_REAL_UNRAR_CRT) + "\" x \"" + archive + "\" " +
                                       QuotedFolderArgument(work.path()),
                                   WindowStyle::Hidden);
    });
    ASSERT_EQ(run.wait_for(std::chrono::seconds(60)), std::future_status::ready) << "the extractor waits for an answer";
    EXPECT_EQ(run.get(), std::optional<uint32_t>(255));
    EXPECT_EQ(ReadBytes(work / "a.txt"), "old");
}

TEST_F(InstallerEndToEnd, MissingUnreadableOrUnusableRecordRemovesNothing) {
    const std::string app = root_ + "\\NoRecord";
    Install(app);
    const std::string I = app + "\\";
    WriteBytes(root_ + "\\outside.txt", "x");
    enum { Unreadable, Unusable, Missing };
    for (int record : {Unreadable, Unusable, Missing}) {
        DeleteFileW(Wide(ProgramLog()).c_str());
        // Held open without sharing, the record cannot be read; the unusable one names only a
        // file outside the install folder.
        win32::KernelHandle lock;
        if (record == Unreadable)
            lock.Reset(CreateFileW(Wide(I + "uninstall.inf").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (record == Unusable) WriteBytes(I + "uninstall.inf", Gbk(root_ + "\\outside.txt\r\n"));
        if (record == Missing) DeleteFileW(Wide(I + "uninstall.inf").c_str());
        ASSERT_TRUE(record != Unreadable || lock.valid());
        SetupRun setup;
        HWND fu = OpenUninstall(setup, I + "QOR_SETUP.exe");
        ASSERT_NE(fu, nullptr);
        ui::ClickButtonByText(fu, "卸载(&U)");
        Answer(setup.pi.dwProcessId, "询问", IDOK);
        EXPECT_EQ(Answer(setup.pi.dwProcessId, "错误", IDOK),
                  std::string("未找到卸载信息文件uninstall.inf！\r\n") + kProduct + " 可能已经被删除。");
        EXPECT_TRUE(setup.Wait(10000));
        for (const char* name : {"QOR.exe", "UnRAR.exe", "qor.ico", "SYS\\setinf.txt", "QOR_SETUP.exe"})
            EXPECT_TRUE(IsFile(I + name)) << name;
        EXPECT_TRUE(IsFile(root_ + "\\outside.txt"));
        EXPECT_TRUE(StartedPrograms().empty());
        EXPECT_EQ(UninstallValues().size(), 10u);
        EXPECT_TRUE(IsFile(DesktopLink()));
        EXPECT_TRUE(IsFile(MenuFolder() + "\\卸载 " + kProduct + ".lnk"));
    }
}

// A link that a user puts into the install folder after the install (one there before refuses
// the install) is neither walked into nor removed by the whole-folder removal.
TEST_F(InstallerEndToEnd, WholeFolderRemovalLeavesWhatLiesBehindALink) {
    const std::string app = root_ + "\\Linked", outside = root_ + "\\outside", I = app + "\\";
    ASSERT_TRUE(test::MakeFolder(outside));
    test::MakeFolder(outside + "\\子");
    WriteBytes(outside + "\\账套.qorb", "elsewhere");
    WriteBytes(outside + "\\子\\表.xls", "x");
    Install(app);
    if (!test::MakeJunction(I + "外部", outside)) GTEST_SKIP() << "no folder links on this file system";
    WriteBytes(I + "我的账套.qorb", "user data");

    SetupRun setup;
    HWND fu = OpenUninstall(setup, I + "QOR_SETUP.exe");
    ASSERT_NE(fu, nullptr);
    ui::ClickButtonByText(fu, "同时删除整个安装文件夹");
    ASSERT_TRUE(PollUntil([&] { return ui::IsChecked(ui::FindChild(fu, "同时删除整个安装文件夹")); }));
    ui::ClickButtonByText(fu, "卸载(&U)");
    Answer(setup.pi.dwProcessId, "询问", IDOK);
    EXPECT_EQ(Answer(setup.pi.dwProcessId, "提示", IDOK), std::string(kProduct) + " 已经成功的从您的计算机中移除。");
    ASSERT_TRUE(setup.Wait(20000));
    EXPECT_TRUE(PollUntil([&] { return !IsFile(I + "QOR_SETUP.exe"); }, std::chrono::seconds(30)));
    // Everything behind the link is intact; the link itself is left, and with it the folder.
    EXPECT_EQ(ReadBytes(outside + "\\账套.qorb"), "elsewhere");
    EXPECT_EQ(ReadBytes(outside + "\\子\\表.xls"), "x");
    EXPECT_TRUE(IsFolder(I + "外部"));
    EXPECT_FALSE(IsFile(I + "我的账套.qorb"));
    EXPECT_FALSE(IsFile(I + "QOR.exe"));
    EXPECT_FALSE(IsFolder(I + "SYS"));
    EXPECT_TRUE(test::RemoveJunction(I + "外部"));
}

TEST_F(InstallerEndToEnd, DriveRootRefusesTheWholeFolderRemoval) {
    // The uninstaller started from the root of drive C: (the prefix's own drive). Should it not
    // refuse, the test answers its confirmation with Cancel, so nothing is ever removed.
    const std::string I = "C:\\";
    const std::string exe = I + "QOR_SETUP.exe";
    ASSERT_TRUE(CopyFileW(Wide(WinePath(QOR_TEST_SETUP_EXE)).c_str(), Wide(exe).c_str(), FALSE));
    WriteBytes(I + "uninstall.inf", I + "\\qor-root-a.txt\r\n");
    WriteBytes(I + "qor-root-a.txt", "a");
    {
        SetupRun setup;
        HWND fu = OpenUninstall(setup, exe);
        ASSERT_NE(fu, nullptr);
        ui::ClickButtonByText(fu, "同时删除整个安装文件夹");
        ASSERT_TRUE(PollUntil([&] { return ui::IsChecked(ui::FindChild(fu, "同时删除整个安装文件夹")); }));
        ui::ClickButtonByText(fu, "卸载(&U)");
        HWND box = ui::WaitForWindow("错误", setup.pi.dwProcessId, 15000);
        if (!box) {
            HWND question = ui::WaitForWindow("询问", setup.pi.dwProcessId, 5000);
            if (question) ui::ClickButton(question, IDCANCEL);
            FAIL() << "the whole-folder removal of a drive root was not refused";
        }
        const std::string refusal = ui::MessageBoxText(box);
        EXPECT_NE(refusal.find("不能删除整个文件夹"), std::string::npos) << refusal;
        ui::ClickButton(box, IDOK);
        ui::WaitUntilClosed(box, 10000);
        EXPECT_FALSE(setup.Wait(300));
        EXPECT_TRUE(IsFile(I + "qor-root-a.txt"));
        EXPECT_TRUE(IsFile(I + "uninstall.inf"));
        EXPECT_TRUE(IsFolder(I + "windows"));
        EXPECT_TRUE(StartedPrograms().empty());
        ui::ClickButtonByText(fu, "取消(&C)");
        EXPECT_TRUE(setup.Wait(10000));
    }
    for (const char* name : {"QOR_SETUP.exe", "uninstall.inf", "qor-root-a.txt"}) DeleteFileW(Wide(I + name).c_str());
}

TEST_F(InstallerEndToEnd, SecondInstanceIsRefused) {
    SetupRun first;
    // Any other copy counts, such as the uninstaller of an installed folder.
    const std::string other = StartWizardAndCopyTheInstaller(first);
    SetupRun second;
    Start(second, other, "/u");
    EXPECT_EQ(Answer(second.pi.dwProcessId, "提示", IDOK), "QOR安装程序已经运行！");
    EXPECT_TRUE(second.Wait(10000));
    EXPECT_EQ(ui::WaitForWindow("QOR卸载", second.pi.dwProcessId, 0), nullptr);
    // Closing the wizard on its agreement page ends it without a question.
    PostMessageW(ui::WaitForWindow("QOR安装", first.pi.dwProcessId, 1000), WM_CLOSE, 0, 0);
    EXPECT_TRUE(first.Wait(10000));
}

// Deployment: silent install and uninstall with exit codes and a log, and never a window.
class SilentSetup : public InstallerEndToEnd {
protected:
    bool DrivesWindows() const override { return false; }
    // Runs the command line to its end; its exit code, and whether a visible window of it was
    // ever seen.
    DWORD RunSilent(const std::string& exe, const std::string& arguments, bool& windowSeen, bool native = false) {
        SetupRun setup;
        Start(setup, exe, arguments, native);
        windowSeen = false;
        const DWORD pid = setup.pi.dwProcessId;
        PollUntil([&] {
            windowSeen = windowSeen || VisibleWindowOf(pid);
            return setup.Wait(0);
        }, std::chrono::seconds(90));
        DWORD code = 999;
        GetExitCodeProcess(setup.pi.hProcess, &code);
        return code;
    }
    struct WindowSearch {
        DWORD pid;
        bool found;
    };
    static BOOL CALLBACK MatchVisible(HWND w, LPARAM p) {
        auto* s = reinterpret_cast<WindowSearch*>(p);
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == s->pid && IsWindowVisible(w)) s->found = true;
        return !s->found;
    }
    static bool VisibleWindowOf(DWORD pid) {
        WindowSearch search{pid, false};
        EnumWindows(MatchVisible, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    void TearDown() override {
        test::RemoveTree(Wide("D:\\Some Folder"));
        InstallerEndToEnd::TearDown();
    }
    const std::string kFolder = "D:\\Some Folder\\QOR";
};

TEST_F(SilentSetup, InstallsAndUninstallsWithoutAWindowKeepingTheUsersFiles) {
    const std::string log = root_ + "\\setup.log";
    bool window = true;
    EXPECT_EQ(RunSilent(MakePackage(), "/S /LOG=\"" + log + "\" /D=" + kFolder, window), 0u);
    EXPECT_FALSE(window);
    const std::string I = kFolder + "\\";
    for (const char* name : {"QOR.exe", "UnRAR.exe", "qor.ico", "使用说明.txt", "SYS\\setinf.txt", "uninstall.inf"})
        EXPECT_TRUE(IsFile(I + name)) << name;
    ASSERT_TRUE(EntryComplete()) << UninstallValues().size() << " values";
    EXPECT_TRUE(UninstallValues(kOtherView).empty()) << "the entry belongs to the view of the program's bitness";
    // The entry names the copy kept where only administrators can write, with its record, the
    // icon and the list of the files the package vouches for.
    const std::string P = KeptFolder();
    const std::string quiet = UninstallValues()["QuietUninstallString"];
    EXPECT_EQ(quiet, "\"" + P + "QOR_SETUP.exe\" /u /S");
    EXPECT_EQ(UninstallValues()["UninstallString"], "\"" + P + "QOR_SETUP.exe\" /u");
    EXPECT_EQ(UninstallValues()["DisplayIcon"], P + "qor.ico");
    EXPECT_EQ(UninstallValues()["InstallLocation"], kFolder);
    EXPECT_EQ(ReadBytes(P + "QOR_SETUP.exe"), ReadBytes(Download() + "\\QOR_SETUP.exe"));
    EXPECT_EQ(ReadBytes(P + "uninstall.inf"), ReadBytes(I + "uninstall.inf"));
    EXPECT_EQ(ReadBytes(P + "qor.ico"), ReadBytes(WinePath(QOR_TEST_ICON)));
    // One line per file of the archive, each with the digest of the file's bytes.
    const std::vector<std::string> trusted = SplitLines(ReadBytes(P + "QOR_FILES.sha256"));
    EXPECT_EQ(trusted.size(), 5u);
    EXPECT_NE(std::find(trusted.begin(), trusted.end(), Sha256Hex(ReadBytes(I + "SYS\\setinf.txt")) + "  SYS\\setinf.txt"),
              trusted.end());
    EXPECT_EQ(ReadShortcut(MenuFolder() + "\\卸载 " + kProduct + ".lnk"), P + "QOR_SETUP.exe|/u");
    EXPECT_FALSE(IsFile(I + "QOR_SETUP.rar"));
    EXPECT_TRUE(IsFile(DesktopLink()));
    EXPECT_TRUE(IsFile(MenuFolder() + "\\" + kProduct + ".lnk"));
    EXPECT_TRUE(IsFile(MenuFolder() + "\\卸载 " + kProduct + ".lnk"));
    const std::string lines = ReadBytes(log);
    for (const char* name : {"QOR.exe", "UnRAR.exe", "qor.ico", "使用说明.txt", "SYS\\setinf.txt"})
        EXPECT_NE(lines.find("extracted: " + I + name + "\r\n"), std::string::npos) << name << " in\n" << lines;
    EXPECT_NE(lines.find("shortcut: " + DesktopLink() + "\r\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find("exit code: 0"), std::string::npos) << lines;

    // The quiet uninstall, started as the 64-bit side starts the entry's command (through the
    // 64-bit command processor), keeps what the record does not list.
    WriteBytes(I + "2026年度账套.qorb", "account set");
    EXPECT_EQ(RunSilent(NativeCommandProcessor(), "/c \"" + quiet + " /LOG=\"" + log + "\"\"", window, true), 0u);
    EXPECT_FALSE(window);
    EXPECT_FALSE(IsFile(I + "QOR.exe"));
    EXPECT_FALSE(IsFile(I + "uninstall.inf"));
    EXPECT_TRUE(IsFile(I + "2026年度账套.qorb"));
    EXPECT_TRUE(PollUntil([&] { return UninstallValues().empty(); }));
    EXPECT_FALSE(IsFile(DesktopLink()));
    EXPECT_NE(ReadBytes(log).find("removed: " + I + "QOR.exe\r\n"), std::string::npos);
    EXPECT_FALSE(IsFile(I + "QOR_SETUP.exe"));
    // The kept copy goes a few seconds after its end, and its folder with it.
    EXPECT_TRUE(PollUntil([&] { return !IsFolder(P); }, std::chrono::seconds(30)));
}

// An extractor planted in a folder made beforehand (hidden, read-only and held open, so that it
// can be neither replaced nor removed) is never started, whether the package is sound or its
// payload cannot be read.
TEST_F(SilentSetup, APlantedExtractorInTheInstallFolderNeverRuns) {
    const std::string I = kFolder + "\\";
    struct Row {
        const char* name;
        Package kind;
        DWORD code;
    } rows[] = {
        // The archive's own UnRAR.exe cannot replace the held one: the install error.
        {"a sound package", Package::Sound, 5},
        {"a package whose extractor cannot be read", Package::WithoutExtractor, 4},
    };
    for (const Row& row : rows) {
        test::RemoveTree(Wide("D:\\Some Folder"));
        ASSERT_TRUE(test::MakeFolder("D:\\Some Folder") && test::MakeFolder(kFolder)) << row.name;
        ASSERT_TRUE(CopyFileW(Wide(WinePath(QOR_TEST_PLANTED_EXE)).c_str(), Wide(I + "UnRAR.exe").c_str(), FALSE));
        SetFileAttributesW(Wide(I + "UnRAR.exe").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
        HANDLE held = CreateFileW(Wide(I + "UnRAR.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        bool window = true;
        EXPECT_EQ(RunSilent(MakePackage(row.kind), "/S /D=" + kFolder, window), row.code) << row.name;
        CloseHandle(held);
        EXPECT_FALSE(IsFile(I + "UnRAR.exe.ran")) << row.name << ": the planted extractor ran";
        EXPECT_FALSE(IsFile(I + "uninstall.inf")) << row.name;
        SetFileAttributesW(Wide(I + "UnRAR.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// An install folder that is a link is refused before anything is written into it.
TEST_F(SilentSetup, AnInstallFolderThatIsALinkIsRefused) {
    const std::string target = root_ + "\\Elsewhere";
    ASSERT_TRUE(test::MakeFolder(target));
    ASSERT_TRUE(test::MakeFolder("D:\\Some Folder"));
    if (!test::MakeJunction(kFolder, target)) GTEST_SKIP() << "no junctions on this file system";
    bool window = true;
    EXPECT_EQ(RunSilent(MakePackage(), "/S /D=" + kFolder, window), 9u);
    EXPECT_FALSE(IsFile(target + "\\QOR.exe"));
    EXPECT_FALSE(IsFile(target + "\\uninstall.inf"));
    EXPECT_TRUE(UninstallValues().empty());
    EXPECT_TRUE(test::RemoveJunction(kFolder));
}

// Installs onto a small disk of its own (a tmpfs) that runs out of space: at the installer's copy
// of itself (the folder cannot be written, exit code 9), or while the files are extracted (exit
// code 5). Each is the install error with no record, entry or shortcut of files that are not there; a repair that runs out of space
// leaves the installed program, its record and its uninstaller as they were.
TEST_F(SilentSetup, InstallThatRunsOutOfSpaceIsTheInstallErrorAndClaimsNothing) {
    const std::string mountPoint = root_ + "\\Small";
    ASSERT_TRUE(test::MakeFolder(mountPoint));
    test::SmallDrive drive(QOR_TEST_SMALL_DRIVE_SCRIPT, mountPoint, "16m");
    ASSERT_TRUE(drive.mounted()) << "no small disk could be mounted (needs root)";
    const std::string setup = MakePackage();
    const unsigned long long setupSize = ReadBytes(setup).size();
    unsigned long long treeSize = 0;
    for (const standin::ArchiveEntry& e : DemoTree()) treeSize += e.data.size();
    const std::string folder = mountPoint + "\\QOR";
    const std::string I = folder + "\\";
    bool window = true;

    // What the install writes there: its copy of itself, then the extracted files (the payload
    // and the scratch extraction go to its work folder in the temporary folder).
    struct Row {
        const char* name;
        unsigned long long free;
        DWORD code;
    } rows[] = {
        {"the installer's copy of itself", setupSize / 2, 9},  // the folder cannot be written
        {"the extraction", setupSize + treeSize / 2, 5},
    };
    for (const Row& row : rows) {
        test::RemoveTree(Wide(folder));
        DeleteFileW(Wide(mountPoint + "\\ballast.bin").c_str());
        ASSERT_TRUE(drive.LeaveFree(row.free)) << row.name;
        EXPECT_EQ(RunSilent(setup, "/S /D=" + folder, window), row.code) << row.name;
        EXPECT_FALSE(window) << row.name;
        EXPECT_FALSE(IsFile(I + "uninstall.inf")) << row.name;
        EXPECT_TRUE(UninstallValues().empty()) << row.name;
        EXPECT_FALSE(IsFile(DesktopLink())) << row.name;
    }

    // A sound install, then a repair on a disk that has since run full.
    test::RemoveTree(Wide(folder));
    DeleteFileW(Wide(mountPoint + "\\ballast.bin").c_str());
    ASSERT_EQ(RunSilent(setup, "/S /D=" + folder, window), 0u);
    std::map<std::string, std::string> installed;
    for (const char* name : {"QOR.exe", "UnRAR.exe", "使用说明.txt", "SYS\\setinf.txt", "QOR_SETUP.exe", "uninstall.inf"})
        installed[name] = ReadBytes(I + name);
    // The copy of the installer and the extracted files replace files of their own size, and
    // the payload and the scratch extraction go to the work folder on another disk: a repair
    // needs no room of its own here.
    DeleteFileW(Wide(mountPoint + "\\ballast.bin").c_str());
    ASSERT_TRUE(drive.LeaveFree(treeSize / 2));
    EXPECT_EQ(RunSilent(setup, "/S /D=" + folder, window), 0u) << "repair";
    for (const auto& [name, bytes] : installed)
        EXPECT_TRUE(ReadBytes(I + name) == bytes) << "repair: " << name << " changed";
    EXPECT_TRUE(EntryComplete()) << "repair";
}

TEST_F(SilentSetup, FailuresEndInTheirCodesWithoutAWindow) {
    bool window = true;
    // A package without its extractor's record: the bad-package code.
    EXPECT_EQ(RunSilent(MakePackage(Package::WithoutExtractor), "/S /D=" + kFolder, window), 4u);
    EXPECT_FALSE(window);
    EXPECT_TRUE(UninstallValues().empty());
    // Unknown switches: the usage code.
    EXPECT_EQ(RunSilent(MakePackage(), "/S /Q", window), 1u);
    EXPECT_FALSE(window);
    // While another copy runs (here the wizard of an interactive one): the already-running code.
    QOR_SKIP_WHERE_EDIT_CONTROLS_CRASH();
    test::RemoveTree(Wide("D:\\Some Folder"));
    SetupRun first;
    const std::string other = StartWizardAndCopyTheInstaller(first);
    EXPECT_EQ(RunSilent(other, "/S /D=" + kFolder, window), 2u);
    EXPECT_FALSE(window);
    EXPECT_FALSE(IsFolder(kFolder));
    PostMessageW(ui::WaitForWindow("QOR安装", first.pi.dwProcessId, 1000), WM_CLOSE, 0, 0);
    EXPECT_TRUE(first.Wait(10000));
}

}  // namespace
}  // namespace qor
