// The update cycle end to end under Wine: QOR_UPDATE.exe and QOR.exe in a folder of their own,
// the update-server stand-in on port 80 of a loopback address of its own, the real extractor as
// UnRAR.exe on real RAR packages, and the updater's window and message boxes answered through the UI driver.
#include <windows.h>
#include <bcrypt.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <map>

#include "core/log_signature.h"
#include "core/text.h"
#include "e2e/e2e_support.h"
#include "platform/win32/scoped.h"
#include "platform/win32/unicode.h"
#include "tests/standins/extractor/archive_format.h"
#include "tests/standins/uidriver/uidriver.h"
#include "wine/http_standin_support.h"
#include "wine/nginx_support.h"
#include "wine/real_archive.h"
#include "wine/small_drive.h"
#include "wine/wine_test_support.h"

namespace qor {
namespace {

using test::IsFile;
using test::IsFolder;
using test::ReadBytes;
using test::WinePath;
using test::WriteBytes;
using win32::Wide;

const char kCaption[] = "QOR自动升级程序";
// Control ids of the updater's window.
enum { kHeadline = 101, kNotes, kStatus, kBar, kLine, kHint, kInstall, kOnline, kGiveUp };

std::string Text(HWND window, int id) { return uidriver::WindowText(GetDlgItem(window, id)); }
bool Visible(HWND window, int id) { return IsWindowVisible(GetDlgItem(window, id)) != 0; }

// Ids of the running processes with this image name (letter case ignored).
// The processes of an image name, apart from the one that started this test program (Wine
// starts a 32-bit program from the command line through its start.exe, which waits for it).
std::vector<DWORD> ProcessesNamed(const std::wstring& image) {
    std::vector<DWORD> ids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    DWORD parent = 0;
    for (BOOL more = Process32FirstW(snap, &entry); more; more = Process32NextW(snap, &entry))
        if (entry.th32ProcessID == GetCurrentProcessId()) parent = entry.th32ParentProcessID;
    for (BOOL more = Process32FirstW(snap, &entry); more; more = Process32NextW(snap, &entry))
        if (_wcsicmp(entry.szExeFile, image.c_str()) == 0 && entry.th32ProcessID != parent)
            ids.push_back(entry.th32ProcessID);
    CloseHandle(snap);
    return ids;
}

const wchar_t* const kProgramImages[] = {L"QOR.exe", L"QOR_UPDATE.exe", L"cmd.exe", L"start.exe", L"UnRAR.exe"};

// Waits (bounded) until no program of the cycle runs any more, then ends whatever still runs
// (a restarted launcher may go on into stages that wait for a person), so that the folder can go.
// Every test run has a Wine prefix of its own: these are this run's processes only.
void EndPrograms(std::chrono::seconds wait) {
    auto none = [] {
        for (const wchar_t* image : kProgramImages)
            if (!ProcessesNamed(image).empty()) return false;
        return true;
    };
    if (test::PollUntil(none, wait)) return;
    for (const wchar_t* image : kProgramImages) {
        for (DWORD pid : ProcessesNamed(image)) {
            HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
            if (!h) continue;
            TerminateProcess(h, 1);
            WaitForSingleObject(h, 10000);
            CloseHandle(h);
        }
    }
}

// Waits until the process that owns the window has ended.
bool WaitForOwnerToEnd(HWND window, int ms) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!h) return true;
    const bool ended = WaitForSingleObject(h, ms) == WAIT_OBJECT_0;
    CloseHandle(h);
    return ended;
}

// The launcher's bytes with 6.2.0.0 as its file and product version (the fixed file information
// after its signature BD 04 EF FE), which the updater reads as 6.02: an update package's
// launcher must carry the version its log announces.
std::string WithVersion602(std::string launcher) {
    const size_t at = launcher.find(std::string("\xBD\x04\xEF\xFE", 4));
    if (at == std::string::npos || at + 24 > launcher.size()) return "(no version resource)";
    const char version[] = {2, 0, 6, 0, 0, 0, 0, 0};
    launcher.replace(at + 8, 8, version, 8);
    launcher.replace(at + 16, 8, version, 8);
    return launcher;
}

void Screenshot(HWND window, const char* name) {
    if (const char* shots = getenv("QOR_SCREENSHOTS")) {
        Sleep(700);
        uidriver::SaveWindowBitmap(window, std::string(shots) + "\\" + name);
    }
}

class UpdateCycle : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(std::string(QOR_TEST_PROBE_HOST), "localhost")
            << "this build's updater probes the product's host: configure it with cmake --preset win64";
        ASSERT_TRUE(server_.ready()) << "the server stand-in did not start listening on port 80";
        // The updater (a test build) asks this run's server instead of the build's host.
        SetEnvironmentVariableW(L"QOR_TEST_UPDATE_HOST", Wide(server_.address()).c_str());
        ASSERT_FALSE(app_.empty());
        CreateDirectoryW(Wide(app_ + "\\SYS").c_str(), nullptr);
        launcherBytes_ = ReadBytes(WinePath(QOR_TEST_LAUNCHER_EXE));
        updaterBytes_ = ReadBytes(WinePath(QOR_TEST_UPDATER_EXE));
        ASSERT_FALSE(launcherBytes_.empty());
        WriteBytes(app_ + "\\QOR.exe", launcherBytes_);
        WriteBytes(app_ + "\\QOR_UPDATE.exe", updaterBytes_);
        WriteBytes(app_ + "\\UnRAR.exe", ReadBytes(WinePath(QOR_TEST_REAL_UNRAR_CRT)));
        WriteBytes(app_ + "\\QOR_BIZACC_6.01", "workbook");
        WriteBytes(app_ + "\\SYS\\setinf.txt", "FSSHOW = False\r\nFFSHOW = False\r\n");
        // A complete installation, configured on this machine, beside a spreadsheet host: the
        // launcher's own stages then run straight through to the workbook.
        for (const char* name : kRequiredFiles) WriteBytes(app_ + "\\SYS\\" + name, name);
        WriteBytes(app_ + "\\SYS\\pcinf.txt", app_ + "\\" + e2e::MachineDiskIdentity() + "\r\n");
        ASSERT_TRUE(host_.registered());
        SetEnvironmentVariableW(L"QOR_PROGRAM_LOG", Wide(app_ + "\\started.txt").c_str());
        SetEnvironmentVariableW(L"QOR_STATE_REPORT", Wide(app_ + "\\state.txt").c_str());
    }
    void TearDown() override {
        EndPrograms(std::chrono::seconds(15));
        SetEnvironmentVariableW(L"QOR_PROGRAM_LOG", nullptr);
        SetEnvironmentVariableW(L"QOR_STATE_REPORT", nullptr);
        SetEnvironmentVariableW(L"QOR_TEST_UPDATE_HOST", nullptr);
    }

    // The package's file name repeats the server's host: the whole path is still requested.
    std::string PackagePath() const { return "/pkg/" + server_.address() + "_6.02.rar"; }
    std::string PackageUrl() const { return server_.Url(PackagePath()); }

    // Starts a program of the folder; its process handle is kept and closed at the end.
    HANDLE Start(const std::string& exe, const std::string& arguments) {
        std::wstring cmd = L"\"" + Wide(app_ + "\\" + exe) + L"\"" + (arguments.empty() ? L"" : L" " + Wide(arguments));
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        // Right after a program of the folder was ended, Wine may still hold its files for a
        // moment: a start that fails is tried again until a deadline.
        DWORD error = 0;
        const bool started = test::PollUntil([&] {
            if (CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, Wide(app_).c_str(), &si, &pi))
                return true;
            error = GetLastError();
            return false;
        }, std::chrono::seconds(10));
        if (!started) {
            ADD_FAILURE() << exe << " could not be started, error " << error;
            return nullptr;
        }
        CloseHandle(pi.hThread);
        processes_.push_back(pi.hProcess);
        return pi.hProcess;
    }
    static bool Ended(HANDLE h, int ms) { return h && WaitForSingleObject(h, ms) == WAIT_OBJECT_0; }

    // Answers the message box of this title with the button and gives its text.
    static std::string Answer(const char* title, int button) {
        HWND box = uidriver::WaitForWindow(title, 0, 30000);
        if (!box) return "(no message box titled " + std::string(title) + ")";
        std::string text = uidriver::MessageBoxText(box);
        uidriver::ClickButton(box, button);
        uidriver::WaitUntilClosed(box, 10000);
        return text;
    }

    std::map<std::string, std::string> Report() {
        std::map<std::string, std::string> state;
        for (const std::string& line : SplitLines(ReadBytes(app_ + "\\state.txt"))) {
            size_t eq = line.find('=');
            if (eq != std::string::npos) state[line.substr(0, eq)] = line.substr(eq + 1);
        }
        return state;
    }
    // The programs started, without the component registrations the launcher starts on every
    // start (they are the launcher's own business, not the update cycle's).
    std::vector<std::string> StartedLines() {
        std::vector<std::string> lines;
        for (const std::string& line : SplitLines(ReadBytes(app_ + "\\started.txt")))
            if (!StartsWith(line, "regsvr32 ") && !StartsWith(line, "reg add ") && !StartsWith(line, "regedit "))
                lines.push_back(line);
        return lines;
    }

    void ServeLog(const std::string& version, const std::string& mode = "") {
        // The server publishes its log in the Chinese ANSI code page.
        server_.Serve("/QOR_BIZACC_UPDATE_LOG.txt",
                      win32::Utf8ToAnsi(version + "\r\n1. 修正了凭证打印\r\n2. 新增现金流量表\r\n" + PackageUrl()), mode);
    }
    // A real RAR archive, as the vendor's packages are.
    static std::string Archive(const std::vector<standin::ArchiveEntry>& entries) {
        std::string archive = test::MakeRarArchive(entries);
        EXPECT_FALSE(archive.empty()) << "rar made no archive";
        return archive;
    }

    // A package of 6.02 downloaded completely, and the account set a hand-off left in ZTCOMMAND.
    std::string WaitingPackage(const std::string& package, const std::string& command) {
        const std::string log = "6.02\r\nA\r\n" + PackageUrl() + "  ! DOWNLOAD COMPLETE";
        WriteBytes(app_ + "\\QOR_UPDATE.LOG", log);
        WriteBytes(app_ + "\\QOR_UPDATE.rar", package);
        WriteBytes(app_ + "\\SYS\\setinf.txt", "FSSHOW = False\r\nFFSHOW = False\r\nZTCOMMAND = " + command + "\r\n");
        return log;
    }
    // Gives up with Cno and OK, waits for the updater to end and gives the programs started.
    std::vector<std::string> GiveUpAndEnd(HWND window) {
        EXPECT_TRUE(uidriver::ClickButtonByText(window, "取消"));
        EXPECT_EQ(Answer("提示", IDOK), "确定要放弃升级吗？");
        EXPECT_TRUE(WaitForOwnerToEnd(window, 20000));
        return StartedLines();
    }

    test::HttpStandin server_{QOR_TEST_HTTP_SERVER_EXE};
    e2e::HostStandIn host_;
    test::ScratchFolder folder_{"qor-update"};
    const std::string app_ = folder_.path();
    std::string launcherBytes_, updaterBytes_;
    std::vector<HANDLE> processes_;

public:
    ~UpdateCycle() override {
        for (HANDLE h : processes_) {
            if (WaitForSingleObject(h, 0) == WAIT_TIMEOUT) TerminateProcess(h, 1);
            CloseHandle(h);
        }
    }
};

TEST_F(UpdateCycle, DownloadHandOffInstallAndRestart) {
    const std::string newLauncher = WithVersion602(launcherBytes_) + "NEW-LAUNCHER";
    const std::string newUpdater = updaterBytes_ + "NEW-UPDATER";
    const std::string package = Archive({{false, "QOR.exe", newLauncher},
                                         {false, "NEW_QOR_UPDATE.exe", newUpdater},
                                         {true, "SYS", ""},
                                         {false, "SYS\\readme.txt", "6.02"}});
    ServeLog("6.02");
    server_.Serve(PackagePath(), package);

    // 1. The background check downloads the package and marks the log.
    ASSERT_TRUE(Ended(Start("QOR_UPDATE.exe", "/d"), 60000));
    EXPECT_TRUE(ReadBytes(app_ + "\\QOR_UPDATE.rar") == package);
    EXPECT_FALSE(IsFile(app_ + "\\QOR_UPDATE.rar.temp"));
    const std::string log = ReadBytes(app_ + "\\QOR_UPDATE.LOG");
    EXPECT_TRUE(EndsWith(log, PackageUrl() + "  ! DOWNLOAD COMPLETE")) << log;
    EXPECT_EQ(server_.Requests(),
              "GET /QOR_BIZACC_UPDATE_LOG.txt HTTP/1.1\r\nAccept: */*\r\nUser-Agent: DownJet1.0\r\n"
              "Host: " + server_.address() + "\r\nConnection: close\r\n\r\n"
              "GET " + PackagePath() + " HTTP/1.1\r\nAccept: */*\r\nUser-Agent: DownJet1.0\r\n"
              "Host: " + server_.address() + "\r\nConnection: close\r\n\r\n");

    // 2. The launcher hands over to the updater with "/s" and ends.
    QOR_SKIP_WHERE_EDIT_CONTROLS_CRASH();
    ASSERT_TRUE(Ended(Start("QOR.exe", "D:\\Books\\a.qorb"), 60000));
    EXPECT_EQ(Report()["End"], "2");
    EXPECT_EQ(ReadBytes(app_ + "\\SYS\\setinf.txt"), "FSSHOW = False\r\nFFSHOW = False\r\nZTCOMMAND = D:\\Books\\a.qorb\r\n");
    EXPECT_EQ(StartedLines(), (std::vector<std::string>{"\"" + app_ + "\\QOR_UPDATE.exe\" /s"}));

    // 3. The updater's window in downloaded mode.
    HWND window = uidriver::WaitForWindow(kCaption, 0, 30000);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Text(window, kHeadline), "检测到已下载完成的新版本:6.02 [当前版本:6.01.06]");
    EXPECT_EQ(Text(window, kNotes), std::string(66, '-') + "\r\n6.02 更新：\r\n" + std::string(66, '-') +
                                        "\r\n1. 修正了凭证打印\r\n2. 新增现金流量表\r\n");
    EXPECT_EQ(Text(window, kHint), "温馨提示：升级不会影响您的数据");
    EXPECT_EQ(Text(window, kInstall), "安装升级包");
    EXPECT_EQ(Text(window, kOnline), "在线升级");
    EXPECT_EQ(Text(window, kGiveUp), "取消");
    EXPECT_TRUE(Visible(window, kInstall));
    EXPECT_FALSE(Visible(window, kOnline));
    EXPECT_FALSE(Visible(window, kStatus));
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 464);   // 6960 twips
    EXPECT_EQ(client.bottom, 322);  // 4830 twips
    Screenshot(window, "Fd-downloaded.bmp");

    // 4. Installing: the extractor runs, success is reported, the launcher restarts.
    ASSERT_TRUE(uidriver::ClickButtonByText(window, "安装升级包"));
    EXPECT_EQ(Answer("提示", IDOK), "QOR自动升级成功！");
    EXPECT_TRUE(WaitForOwnerToEnd(window, 30000));
    EXPECT_TRUE(ReadBytes(app_ + "\\QOR.exe") == newLauncher);
    EXPECT_EQ(ReadBytes(app_ + "\\SYS\\readme.txt"), "6.02");
    EXPECT_FALSE(IsFile(app_ + "\\QOR_UPDATE.LOG"));
    EXPECT_FALSE(IsFile(app_ + "\\QOR.exe.6.01.06"));
    for (const char* leftover : {"\\QOR_UPDATE.new", "\\QOR_UPDATE.old", "\\QOR_UPDATE.journal"})
        EXPECT_FALSE(IsFile(app_ + leftover) || IsFolder(app_ + leftover)) << leftover;
    // The /s start, the extractor, the restart; the restarted launcher may start programs of its
    // own stages after that, but never an updater.
    const auto started = StartedLines();
    ASSERT_GE(started.size(), 3u);
    EXPECT_EQ(started[1], "\"" + app_ + "\\UnRAR.exe\" x -o+ \"" + app_ + "\\QOR_UPDATE.rar\" \"" + app_ + "\\QOR_UPDATE.new\\\\\"");
    EXPECT_EQ(started[2], "\"" + app_ + "\\QOR.exe\" /0/D:\\Books\\a.qorb");
    EXPECT_EQ(ReadBytes(app_ + "\\SYS\\setinf.txt"), "FSSHOW = False\r\nFFSHOW = False\r\nZTCOMMAND = \r\n");

    EndPrograms(std::chrono::seconds(10));
    const auto afterRestart = StartedLines();
    for (size_t i = 3; i < afterRestart.size(); ++i)
        EXPECT_EQ(afterRestart[i].find("QOR_UPDATE.exe"), std::string::npos) << afterRestart[i];

    // 5. The next ordinary start swaps in the new updater and starts the background check.
    ServeLog("6.01");
    DeleteFileW(Wide(app_ + "\\started.txt").c_str());
    Start("QOR.exe", "");
    const std::string background = "cmd.exe /c start \"\" \"" + app_ + "\\QOR_UPDATE.exe\" /d";
    EXPECT_TRUE(test::PollUntil([&] { return !StartedLines().empty(); }, std::chrono::seconds(60)));
    EXPECT_TRUE(ReadBytes(app_ + "\\QOR_UPDATE.exe") == newUpdater);
    EXPECT_FALSE(IsFile(app_ + "\\NEW_QOR_UPDATE.exe"));
    EXPECT_EQ(StartedLines().at(0), background);
}

TEST_F(UpdateCycle, OnlineUpgradeThenGivingUp) {
    QOR_SKIP_WHERE_EDIT_CONTROLS_CRASH();
    const std::string package = Archive({{false, "QOR.exe", launcherBytes_}});
    ServeLog("6.02");
    server_.Serve(PackagePath(), package);
    HANDLE updater = Start("QOR_UPDATE.exe", "");
    HWND window = uidriver::WaitForWindow(kCaption, 0, 30000);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Text(window, kHeadline), "检测到QOR服务器上有新版本:6.02 [当前版本:6.01.06]");
    EXPECT_TRUE(Visible(window, kOnline));
    EXPECT_FALSE(Visible(window, kInstall));
    Screenshot(window, "Fd-online.bmp");

    ASSERT_TRUE(uidriver::ClickButtonByText(window, "在线升级"));
    EXPECT_EQ(Answer("提示", IDNO), "新版本升级包已下载完成！\r\n是否立即安装？");
    EXPECT_TRUE(ReadBytes(app_ + "\\QOR_UPDATE.rar") == package);
    EXPECT_TRUE(EndsWith(ReadBytes(app_ + "\\QOR_UPDATE.LOG"), "  ! DOWNLOAD COMPLETE"));
    EXPECT_EQ(Text(window, kStatus), "升级包下载完成！");
    EXPECT_EQ(Text(window, kHeadline), "检测到已下载完成的新版本:6.02 [当前版本:6.01.06]");
    EXPECT_TRUE(Visible(window, kInstall));
    EXPECT_FALSE(Visible(window, kOnline));
    EXPECT_TRUE(Visible(window, kStatus));
    Screenshot(window, "Fd-downloaded-busy.bmp");

    ASSERT_TRUE(uidriver::ClickButtonByText(window, "取消"));
    EXPECT_EQ(Answer("提示", IDCANCEL), "确定要放弃升级吗？");
    EXPECT_FALSE(Ended(updater, 500));
    ASSERT_TRUE(uidriver::ClickButtonByText(window, "取消"));
    EXPECT_EQ(Answer("提示", IDOK), "确定要放弃升级吗？");
    EXPECT_TRUE(Ended(updater, 20000));
    EXPECT_EQ(ReadBytes(app_ + "\\started.txt"), "");  // started without "/s": nothing restarts
}

TEST_F(UpdateCycle, MisbehavingServerIsReportedAndNeverHangs) {
    QOR_SKIP_WHERE_EDIT_CONTROLS_CRASH();
    // A log that never arrives whole, or a page in its place (a proxy's login page answered 200):
    // nothing is offered.
    const std::pair<const char*, const char*> logs[] = {{"500", "6.02"}, {"stall", "6.02"}, {"short", "6.02"}, {"", "<html>"}};
    server_.Serve(PackagePath(), std::string(50000, 'p'), "stall");
    for (const auto& [mode, version] : logs) {
        ServeLog(version, mode);
        HANDLE updater = Start("QOR_UPDATE.exe", "");
        EXPECT_EQ(Answer("错误", IDOK), "无法连接到服务器！") << mode << version;
        EXPECT_TRUE(Ended(updater, 20000)) << mode << version;
    }
    // In the background nothing is shown: the page brings no download, and a package that stalls
    // is requested but leaves no package behind.
    const std::string packageRequest = "GET " + PackagePath() + " HTTP/1.1\r\n";
    for (const char* version : {"<html>", "6.02"}) {
        ServeLog(version);
        server_.ClearRequests();
        ASSERT_TRUE(Ended(Start("QOR_UPDATE.exe", "/d"), 60000));
        EXPECT_EQ(server_.Requests().find(packageRequest) != std::string::npos, version == std::string("6.02")) << version;
        EXPECT_FALSE(IsFile(app_ + "\\QOR_UPDATE.rar"));
        EXPECT_FALSE(EndsWith(ReadBytes(app_ + "\\QOR_UPDATE.LOG"), "DOWNLOAD COMPLETE"));
    }
}

TEST_F(UpdateCycle, FailedExtractionIsAnErrorAndGivingUpRestartsTheLauncher) {
    QOR_SKIP_WHERE_EDIT_CONTROLS_CRASH();
    // The extractor's errors, then a package without a launcher at all: a checksum error in the
    // launcher (exit code 3), a file of the folder held open by another program (exit code 9).
    const std::string damaged =
        test::WithDamagedMiddle(Archive({{false, "SYS\\a.txt", "a"}, {false, "QOR.exe", test::IncompressibleBytes(200000)}}));
    const std::string packages[] = {damaged,
                                    Archive({{false, "QOR.exe", WithVersion602(launcherBytes_)}, {false, "SYS\\held.txt", "new"}}),
                                    Archive({{false, "SYS\\b.txt", "b"}})};
    WriteBytes(app_ + "\\SYS\\held.txt", "old");
    win32::KernelHandle held(CreateFileW(Wide(app_ + "\\SYS\\held.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.valid());
    const std::string log = WaitingPackage(packages[0], "D:\\Books\\a.qorb");
    HANDLE updater = Start("QOR_UPDATE.exe", "/s");
    HWND window = uidriver::WaitForWindow(kCaption, 0, 30000);
    ASSERT_NE(window, nullptr);
    for (const std::string& package : packages) {
        WriteBytes(app_ + "\\QOR_UPDATE.rar", package);
        ASSERT_TRUE(uidriver::ClickButtonByText(window, "安装升级包"));
        EXPECT_EQ(Answer("错误", IDOK), "自动升级过程发生错误！\r\n请重试！");
        // The window turns idle with both buttons back; the old launcher is back, the package and
        // the log wait for another try.
        EXPECT_TRUE(test::PollUntil([&] { return IsWindowEnabled(GetDlgItem(window, kInstall)) &&
                                                 IsWindowEnabled(GetDlgItem(window, kGiveUp)); },
                                    std::chrono::seconds(10)));
        EXPECT_FALSE(Visible(window, kStatus));
        EXPECT_TRUE(ReadBytes(app_ + "\\QOR.exe") == launcherBytes_);
        EXPECT_FALSE(IsFile(app_ + "\\QOR.exe.6.01.06"));
        EXPECT_TRUE(ReadBytes(app_ + "\\QOR_UPDATE.rar") == package);
        EXPECT_EQ(ReadBytes(app_ + "\\QOR_UPDATE.LOG"), log);
        EXPECT_FALSE(Ended(updater, 0));
    }
    // The last package extracted without an error but carries no launcher: its staged files
    // were thrown away, as were the others'.
    EXPECT_FALSE(IsFile(app_ + "\\SYS\\b.txt"));
    EXPECT_FALSE(IsFolder(app_ + "\\QOR_UPDATE.new"));
    held.Reset(nullptr);
    EXPECT_EQ(ReadBytes(app_ + "\\SYS\\held.txt"), "old");

    // The extractions, then the restart.
    const auto started = GiveUpAndEnd(window);
    ASSERT_GE(started.size(), 4u);
    EXPECT_EQ(started[3], "\"" + app_ + "\\QOR.exe\" /0/D:\\Books\\a.qorb");
    EXPECT_EQ(ReadBytes(app_ + "\\SYS\\setinf.txt"), "FSSHOW = False\r\nFFSHOW = False\r\nZTCOMMAND = \r\n");
}

// An update cut off anywhere: the updater ends itself abruptly (as a power cut or an ended
// task would end it) at each point of its moves, and a cut while the extractor wrote the staging
// folder leaves part of the staged files and no journal. After each, every file is wholly old or
// wholly new; the next start, as the desktop shortcut makes it, recovers and opens the workbook.
TEST_F(UpdateCycle, UpdateCutOffAnywhereIsRecoveredByTheNextStart) {
    QOR_SKIP_WHERE_EDIT_CONTROLS_CRASH();
    const std::string sysFile = std::string("SYS\\") + kRequiredFiles[0];
    const std::vector<std::pair<std::string, std::string>> files = {
        {"QOR.exe", launcherBytes_}, {"QOR_BIZACC_6.01", "workbook"}, {sysFile, kRequiredFiles[0]}};
    const std::string newLauncher = WithVersion602(launcherBytes_) + "NEW-LAUNCHER";
    auto newContent = [&](const std::string& name, const std::string& old) {
        return name == "QOR.exe" ? newLauncher : "new " + old;
    };
    std::vector<standin::ArchiveEntry> entries = {{false, "SYS\\readme.txt", "6.02"}};
    for (const auto& [name, old] : files) entries.push_back({false, name, newContent(name, old)});
    const std::string package = Archive(entries);
    ServeLog("6.01");  // the background check after a recovery finds nothing newer

    const char* const rows[] = {"journal-written", "moved-first", "moved-all-but-one", "before-journal-removed",
                                "extracting"};
    for (const std::string row : rows) {
        EndPrograms(std::chrono::seconds(15));
        host_.EndHosts();  // a running spreadsheet program would stop the installation
        for (const auto& [name, old] : files) WriteBytes(app_ + "\\" + name, old);
        DeleteFileW(Wide(app_ + "\\SYS\\readme.txt").c_str());
        WaitingPackage(package, "");
        if (row == "extracting") {
            // What a cut while the extractor worked leaves: some staged files, one of them short.
            CreateDirectoryW(Wide(app_ + "\\QOR_UPDATE.new").c_str(), nullptr);
            WriteBytes(app_ + "\\QOR_UPDATE.new\\QOR_BIZACC_6.01", "new workbook");
            WriteBytes(app_ + "\\QOR_UPDATE.new\\QOR.exe", newLauncher.substr(0, newLauncher.size() / 2));
        } else {
            SetEnvironmentVariableW(L"QOR_TEST_UPDATE_CUT", Wide(row).c_str());
            HANDLE updater = Start("QOR_UPDATE.exe", "/s");
            HWND window = uidriver::WaitForWindow(kCaption, 0, 30000);
            ASSERT_NE(window, nullptr) << row;
            ASSERT_TRUE(uidriver::ClickButtonByText(window, "安装升级包")) << row;
            ASSERT_TRUE(Ended(updater, 60000)) << row;
            DWORD code = 0;
            GetExitCodeProcess(updater, &code);
            EXPECT_EQ(code, 99u) << row << ": the updater was not cut off there";
            SetEnvironmentVariableW(L"QOR_TEST_UPDATE_CUT", nullptr);
        }
        for (const auto& [name, old] : files) {
            const std::string now = ReadBytes(app_ + "\\" + name);
            EXPECT_TRUE(now == old || now == newContent(name, old)) << row << ": " << name << " is neither old nor new";
        }

        DeleteFileW(Wide(app_ + "\\state.txt").c_str());
        const size_t opened = host_.Calls("CALL", "Workbooks.Open").size();
        HANDLE launcher = Start("QOR.exe", "");
        ASSERT_TRUE(Ended(launcher, 60000)) << row;
        // The launcher finished the moves and opened the workbook itself, or, its own program
        // still to move, left them to the updater, which starts the new launcher ("/0").
        if (row != "extracting")
            EXPECT_TRUE(test::PollUntil([&] { return host_.Calls("CALL", "Workbooks.Open").size() > opened; },
                                        std::chrono::seconds(60)))
                << row << ": the workbook did not open";
        for (const char* leftover : {"\\QOR_UPDATE.new", "\\QOR_UPDATE.old", "\\QOR_UPDATE.journal"})
            EXPECT_FALSE(IsFile(app_ + leftover) || IsFolder(app_ + leftover)) << row << ": " << leftover;
        if (row == "extracting") {
            // Nothing had moved: the old program hands the same update to the updater again.
            for (const auto& [name, old] : files) EXPECT_EQ(ReadBytes(app_ + "\\" + name), old) << name;
            EXPECT_EQ(Report()["End"], "2");
            EXPECT_TRUE(IsFile(app_ + "\\QOR_UPDATE.LOG"));
            continue;
        }
        for (const auto& [name, old] : files)
            EXPECT_TRUE(ReadBytes(app_ + "\\" + name) == newContent(name, old)) << row << ": " << name << " is not new";
        EXPECT_EQ(ReadBytes(app_ + "\\SYS\\readme.txt"), "6.02") << row;
        // The finished update's log went; the background check may have fetched the server's
        // since, which offers nothing.
        EXPECT_FALSE(EndsWith(ReadBytes(app_ + "\\QOR_UPDATE.LOG"), "DOWNLOAD COMPLETE")) << row;
        EXPECT_EQ(host_.Calls("CALL", "Workbooks.Open").size(), opened + 1) << row;
    }
}

// The background download of a 20 MB package from nginx as the vendor's host, cut off (the
// updater's process ended) once about 60% of it is stored: the next "/d" asks for the rest and
// gets only that, and the joined package is the package byte for byte. Once the package on the
// server has changed, a cut-off transfer starts again from its first byte.
TEST_F(UpdateCycle, CutOffDownloadContinuesWhereItStoppedUnlessThePackageChanged) {
    test::NginxServer vendor(QOR_TEST_NGINX_SCRIPT, "4m");  // 20 MB in about 5 s
    ASSERT_TRUE(vendor.ready()) << "nginx did not start (scripts/setup.sh installs it): " << vendor.failure();
    const std::string path = "/pkg/QOR_6.02.rar";
    const size_t size = 20 * 1048576;
    const std::string temp = app_ + "\\QOR_UPDATE.rar.temp";
    server_.Serve("/QOR_BIZACC_UPDATE_LOG.txt", "6.02\r\nA\r\n" + vendor.Url(path));
    auto storedBytes = [&] {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(Wide(temp).c_str(), GetFileExInfoStandard, &data)) return 0ull;
        return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    };
    // Starts "/d" and ends it once 60% of the package is stored; the bytes it stored.
    auto downloadCutAt60Percent = [&] {
        HANDLE updater = Start("QOR_UPDATE.exe", "/d");
        EXPECT_TRUE(test::PollUntil([&] { return storedBytes() >= size * 6 / 10 || test::HasEnded(updater); },
                                    std::chrono::seconds(60)));
        TerminateProcess(updater, 1);
        WaitForSingleObject(updater, 10000);
        return storedBytes();
    };
    // The log's line of the package's request that comes after `before` lines.
    auto packageRequest = [&](size_t before) {
        test::PollUntil([&] { return vendor.Requests().size() > before; });
        const auto requests = vendor.Requests();
        return requests.size() > before ? requests[before] : test::NginxServer::Request{};
    };

    for (const bool changed : {false, true}) {
        const std::string package = test::IncompressibleBytes(size);
        vendor.Serve(path, package);
        DeleteFileW(Wide(app_ + "\\QOR_UPDATE.rar").c_str());
        DeleteFileW(Wide(app_ + "\\QOR_UPDATE.LOG").c_str());
        const size_t before = vendor.Requests().size();
        const unsigned long long kept = downloadCutAt60Percent();
        ASSERT_GE(kept, size * 6 / 10) << changed;
        ASSERT_LT(kept, size) << changed;
        ASSERT_TRUE(IsFile(temp + ".id")) << changed;
        EXPECT_EQ(packageRequest(before).status, "200") << changed;

        // A new package of another length has another ETag.
        const std::string served = changed ? test::IncompressibleBytes(size + 1).substr(1) + "!" : package;
        if (changed) vendor.Serve(path, served);
        ASSERT_TRUE(Ended(Start("QOR_UPDATE.exe", "/d"), 60000)) << changed;
        EXPECT_TRUE(ReadBytes(app_ + "\\QOR_UPDATE.rar") == served) << changed << ": the joined package differs";
        EXPECT_TRUE(EndsWith(ReadBytes(app_ + "\\QOR_UPDATE.LOG"), "  ! DOWNLOAD COMPLETE")) << changed;
        EXPECT_FALSE(IsFile(temp) || IsFile(temp + ".id")) << changed;
        const test::NginxServer::Request rest = packageRequest(before + 1);
        std::printf("%s: cut off with %llu of %zu bytes stored; then the server sent %lld bytes (%s)\n",
                    changed ? "changed package" : "same package", kept, size, rest.bodyBytesSent, rest.status.c_str());
        EXPECT_EQ(rest.range, "bytes=" + std::to_string(kept) + "-") << changed;
        if (changed) {
            EXPECT_EQ(rest.status, "200");
            EXPECT_EQ(rest.bodyBytesSent, static_cast<long long>(served.size()));
        } else {
            EXPECT_EQ(rest.status, "206");
            EXPECT_EQ(rest.bodyBytesSent, static_cast<long long>(size - kept));
            EXPECT_LE(rest.bodyBytesSent, static_cast<long long>(size) * 45 / 100);
        }
    }
}

TEST_F(UpdateCycle, StaleAccountSetIsNeverReopened) {
    // An earlier hand-off broke off and left its account set behind; this start names none.
    WaitingPackage(Archive({{false, "QOR.exe", launcherBytes_}}), "D:\\Old\\stale.qorb");
    ASSERT_TRUE(Ended(Start("QOR.exe", ""), 60000));
    EXPECT_EQ(Report()["End"], "2");
    EXPECT_EQ(ReadBytes(app_ + "\\SYS\\setinf.txt"), "FSSHOW = False\r\nFFSHOW = False\r\nZTCOMMAND = \r\n");

    QOR_SKIP_WHERE_EDIT_CONTROLS_CRASH();
    HWND window = uidriver::WaitForWindow(kCaption, 0, 30000);
    ASSERT_NE(window, nullptr);
    const auto started = GiveUpAndEnd(window);
    ASSERT_GE(started.size(), 2u);
    EXPECT_EQ(started[0], "\"" + app_ + "\\QOR_UPDATE.exe\" /s");
    EXPECT_EQ(started[1], "\"" + app_ + "\\QOR.exe\" /0");
}

// The application folder on a small disk of its own (a tmpfs), which a test fills up to a few
// hundred kilobytes before the updater writes.
class UpdateCycleOnAFullDisk : public UpdateCycle {
protected:
    void SetUp() override {
        ASSERT_TRUE(drive_.mounted()) << "no small disk could be mounted on the application folder (needs root)";
        UpdateCycle::SetUp();
    }
    // Every file of the application folder with its bytes, but the filler.
    std::map<std::string, std::string> InstalledFiles() {
        std::map<std::string, std::string> installed;
        for (const char* name : {"QOR.exe", "QOR_UPDATE.exe", "UnRAR.exe", "QOR_BIZACC_6.01", "SYS\\setinf.txt"})
            installed[name] = ReadBytes(app_ + "\\" + name);
        return installed;
    }
    // The launcher started as the desktop shortcut starts it opens the workbook.
    void ExpectTheProgramStillStarts() {
        const size_t opened = host_.Calls("CALL", "Workbooks.Open").size();
        ASSERT_TRUE(Ended(Start("QOR.exe", ""), 60000));
        EXPECT_TRUE(test::PollUntil([&] { return host_.Calls("CALL", "Workbooks.Open").size() > opened; },
                                    std::chrono::seconds(60)))
            << "the workbook did not open";
    }

    test::SmallDrive drive_{QOR_TEST_SMALL_DRIVE_SCRIPT, app_, "16m"};
};

TEST_F(UpdateCycleOnAFullDisk, DownloadThatRunsOutOfSpaceMarksNothingAndFreesWhatItTook) {
    ServeLog("6.02");
    server_.Serve(PackagePath(), test::IncompressibleBytes(3 * 1048576));
    const auto installed = InstalledFiles();
    ASSERT_TRUE(drive_.LeaveFree(1048576));
    const unsigned long long freeBefore = drive_.FreeBytes();

    // The background check: no message, nothing marked, no package, and the space is back.
    ASSERT_TRUE(Ended(Start("QOR_UPDATE.exe", "/d"), 60000));
    EXPECT_FALSE(EndsWith(ReadBytes(app_ + "\\QOR_UPDATE.LOG"), "DOWNLOAD COMPLETE"));
    for (const char* left : {"QOR_UPDATE.rar", "QOR_UPDATE.rar.temp", "QOR_UPDATE.rar.temp.id"})
        EXPECT_FALSE(IsFile(app_ + "\\" + left)) << left;
    EXPECT_GE(drive_.FreeBytes() + 64 * 1024, freeBefore);
    EXPECT_EQ(InstalledFiles(), installed);
    ExpectTheProgramStillStarts();

    // Asked for online: the specified message.
    QOR_SKIP_WHERE_EDIT_CONTROLS_CRASH();
    EndPrograms(std::chrono::seconds(15));
    HANDLE updater = Start("QOR_UPDATE.exe", "");
    HWND window = uidriver::WaitForWindow(kCaption, 0, 30000);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(uidriver::ClickButtonByText(window, "在线升级"));
    EXPECT_EQ(Answer("错误", IDOK), "无法连接到服务器！");
    EXPECT_FALSE(IsFile(app_ + "\\QOR_UPDATE.rar.temp"));
    EXPECT_FALSE(Ended(updater, 0));
}

TEST_F(UpdateCycleOnAFullDisk, StagingThatRunsOutOfSpaceIsTheUpdateErrorAndTouchesNothing) {
    QOR_SKIP_WHERE_EDIT_CONTROLS_CRASH();
    const std::string package = Archive({{false, "QOR.exe", WithVersion602(launcherBytes_)},
                                         {false, "QOR_BIZACC_6.01", test::IncompressibleBytes(2 * 1048576)}});
    const std::string log = WaitingPackage(package, "D:\\Books\\a.qorb");
    const auto installed = InstalledFiles();
    ASSERT_TRUE(drive_.LeaveFree(512 * 1024));

    HANDLE updater = Start("QOR_UPDATE.exe", "/s");
    HWND window = uidriver::WaitForWindow(kCaption, 0, 30000);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(uidriver::ClickButtonByText(window, "安装升级包"));
    EXPECT_EQ(Answer("错误", IDOK), "自动升级过程发生错误！\r\n请重试！");
    EXPECT_FALSE(IsFolder(app_ + "\\QOR_UPDATE.new"));
    EXPECT_FALSE(IsFile(app_ + "\\QOR_UPDATE.journal"));
    EXPECT_EQ(InstalledFiles(), installed);
    EXPECT_TRUE(ReadBytes(app_ + "\\QOR_UPDATE.rar") == package);
    EXPECT_EQ(ReadBytes(app_ + "\\QOR_UPDATE.LOG"), log);
    EXPECT_FALSE(Ended(updater, 0));

    // Giving up restarts the old launcher with the account set.
    const auto started = GiveUpAndEnd(window);
    ASSERT_GE(started.size(), 2u);
    EXPECT_EQ(started.back(), "\"" + app_ + "\\QOR.exe\" /0/D:\\Books\\a.qorb");
}

// Signs bytes as the vendor's tool does (ECDSA P-256 over SHA-256), here with CNG and a private
// key given as hexadecimal X, Y and d; gives the signature file's text.
std::string SignAsVendor(const std::string& data, const char* xyd) {
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB));
    BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PRIVATE_P256_MAGIC, 32};
    memcpy(blob.data(), &header, sizeof header);
    for (size_t i = 0; xyd[i] && xyd[i + 1]; i += 2) blob.push_back(static_cast<UCHAR>(std::stoi(std::string(xyd + i, 2), nullptr, 16)));
    BCRYPT_ALG_HANDLE sha = nullptr, ecdsa = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    BCRYPT_KEY_HANDLE key = nullptr;
    UCHAR digest[32], signature[64];
    ULONG length = 0;
    std::string text;
    if (BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&sha, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
        BCRYPT_SUCCESS(BCryptCreateHash(sha, &hash, nullptr, 0, nullptr, 0, 0)) &&
        BCRYPT_SUCCESS(BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())),
                                      static_cast<ULONG>(data.size()), 0)) &&
        BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, sizeof digest, 0)) &&
        BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&ecdsa, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)) &&
        BCRYPT_SUCCESS(BCryptImportKeyPair(ecdsa, nullptr, BCRYPT_ECCPRIVATE_BLOB, &key, blob.data(),
                                           static_cast<ULONG>(blob.size()), 0)) &&
        BCRYPT_SUCCESS(BCryptSignHash(key, nullptr, digest, sizeof digest, signature, sizeof signature, &length, 0))) {
        char hex[3];
        for (ULONG i = 0; i < length; ++i) {
            snprintf(hex, sizeof hex, "%02x", signature[i]);
            text += hex;
        }
        text += "\r\n";
    }
    if (key) BCryptDestroyKey(key);
    if (hash) BCryptDestroyHash(hash);
    if (ecdsa) BCryptCloseAlgorithmProvider(ecdsa, 0);
    if (sha) BCryptCloseAlgorithmProvider(sha, 0);
    return text;
}

// The private half of tests/standins/update_key/vendor_test.pub, which the signed test updater
// carries, and a key of somebody else's.
const char kVendorKey[] =
    "803feac68db15e11a988d7d8cb594f0847eb59cc1e5f5706a8675a4ff42de33b"
    "0fb60fef921e8b22c250642ed7a7925f659d26b574a4c29c3b469e35e6a02370"
    "61493d57b35169060352624df4bb4efc724889759e74f2b004e1b34becf400ab";
const char kOtherKey[] =
    "1593ff04322955b9dcc4e34ef4ecb7ba65e21b8ac623b073cfcbcc4ce6a4bc72"
    "700b3b17a11495bceb5b496b963885a8d1205295616523afef148de981e7818e"
    "1c9ae2aa3eae3a91093ada86e6f4bd756a1aefd835f579cc5f2733e48b3a7c81";
const char kRefused[] = "升级包【QOR_UPDATE.rar】未通过数字签名校验，已被删除！\r\n请稍后重新升级。";

// SHA-256 of bytes, with CNG.
Sha256Digest Sha256Of(const std::string& data) {
    Sha256Digest digest{};
    BCRYPT_ALG_HANDLE sha = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    const bool ok = BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&sha, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
                    BCRYPT_SUCCESS(BCryptCreateHash(sha, &hash, nullptr, 0, nullptr, 0, 0)) &&
                    BCRYPT_SUCCESS(BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())),
                                                  static_cast<ULONG>(data.size()), 0)) &&
                    BCRYPT_SUCCESS(BCryptFinishHash(hash, digest.data(), 32, 0));
    if (!ok) digest = Sha256Digest{};
    if (hash) BCryptDestroyHash(hash);
    if (sha) BCryptCloseAlgorithmProvider(sha, 0);
    return digest;
}

// The signature file of an update log as qor_sign sign-log writes it, for the package's bytes,
// the edition and an expiry this many seconds from now (negative: in the past).
std::string SignLogAsVendor(const std::string& log, const std::string& package, const std::string& edition,
                            int64_t expiresIn, const char* key = kVendorKey) {
    LogSignature fields;
    fields.edition = edition;
    fields.packageSha256 = Sha256Of(package);
    fields.packageSize = package.size();
    fields.expires = static_cast<int64_t>(time(nullptr)) + expiresIn;
    if (!ParseSignatureText(SignAsVendor(LogSignedBytes(log, fields), key), fields.signature)) return "(CNG could not sign)";
    return FormatLogSignature(fields);
}

// The same cycle with an updater that carries the vendor's key.
class SignedUpdateCycle : public UpdateCycle {
protected:
    void SetUp() override {
        UpdateCycle::SetUp();
        WriteBytes(app_ + "\\QOR_UPDATE.exe", ReadBytes(WinePath(QOR_TEST_SIGNED_UPDATER_EXE)));
    }
    std::string Package() { return Archive({{false, "QOR.exe", WithVersion602(launcherBytes_) + "SIGNED-LAUNCHER"}}); }
    // The log's bytes as the server publishes them.
    std::string LogBytes(const std::string& version, const std::string& notes = "1. 修正了凭证打印") {
        return win32::Utf8ToAnsi(version + "\r\n" + notes + "\r\n" + PackageUrl());
    }
    // The log and its signature for this package, valid for a day.
    void ServeSignedLog(const std::string& version, const std::string& package) {
        const std::string log = LogBytes(version);
        server_.Serve("/QOR_BIZACC_UPDATE_LOG.txt", log);
        server_.Serve("/QOR_BIZACC_UPDATE_LOG.txt.sig", SignLogAsVendor(log, package, "BIZACC", 86400));
    }
};

TEST_F(SignedUpdateCycle, SignedPackageIsVerifiedMarkedAndInstalled) {
    const std::string package = Package();
    const std::string signature = SignAsVendor(package, kVendorKey);
    ASSERT_EQ(signature.size(), 130u) << "CNG could not sign";
    ServeSignedLog("6.02", package);
    server_.Serve(PackagePath(), package);
    server_.Serve(PackagePath() + ".sig", signature);

    ASSERT_TRUE(Ended(Start("QOR_UPDATE.exe", "/d"), 60000));
    EXPECT_TRUE(ReadBytes(app_ + "\\QOR_UPDATE.rar") == package);
    EXPECT_EQ(ReadBytes(app_ + "\\QOR_UPDATE.rar.sig"), signature);
    EXPECT_TRUE(EndsWith(ReadBytes(app_ + "\\QOR_UPDATE.LOG"), "  ! DOWNLOAD COMPLETE"));
    EXPECT_NE(server_.Requests().find("GET " + PackagePath() + ".sig HTTP/1.1"), std::string::npos);
    EXPECT_NE(server_.Requests().find("GET /QOR_BIZACC_UPDATE_LOG.txt.sig HTTP/1.1"), std::string::npos);
    EXPECT_EQ(ReadBytes(app_ + "\\QOR_UPDATE.seen"), "QOR_UPDATE newest log 1\r\n6.02\r\n");

    QOR_SKIP_WHERE_EDIT_CONTROLS_CRASH();
    Start("QOR_UPDATE.exe", "/s");
    HWND window = uidriver::WaitForWindow(kCaption, 0, 30000);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(uidriver::ClickButtonByText(window, "安装升级包"));
    EXPECT_EQ(Answer("提示", IDOK), "QOR自动升级成功！");
    EXPECT_TRUE(WaitForOwnerToEnd(window, 30000));
    EXPECT_TRUE(EndsWith(ReadBytes(app_ + "\\QOR.exe"), "SIGNED-LAUNCHER"));
}

TEST_F(SignedUpdateCycle, ForgedMissingOrForeignSignaturesAreRefused) {
    const std::string package = Package();
    const std::string good = SignAsVendor(package, kVendorKey);
    ASSERT_EQ(good.size(), 130u) << "CNG could not sign";
    std::string changed = package;
    changed[changed.size() / 2] ^= 1;
    struct Case {
        const char* name;
        std::string package, signature;
    } cases[] = {
        {"one byte changed", changed, good},
        {"no signature", package, ""},
        {"another key", package, SignAsVendor(package, kOtherKey)},
    };
    ServeSignedLog("6.02", package);
    for (const Case& c : cases) {
        server_.Serve(PackagePath(), c.package);
        if (c.signature.empty()) server_.Serve(PackagePath() + ".sig", "", "404");
        else server_.Serve(PackagePath() + ".sig", c.signature);

        // In the background: silence, nothing kept, the log not marked.
        ASSERT_TRUE(Ended(Start("QOR_UPDATE.exe", "/d"), 60000)) << c.name;
        EXPECT_FALSE(IsFile(app_ + "\\QOR_UPDATE.rar")) << c.name;
        EXPECT_FALSE(IsFile(app_ + "\\QOR_UPDATE.rar.sig")) << c.name;
        EXPECT_FALSE(EndsWith(ReadBytes(app_ + "\\QOR_UPDATE.LOG"), "DOWNLOAD COMPLETE")) << c.name;

        // Through the window: the message, nothing installed.
        if (test::DeviceContextsAreMissing()) continue;
        HANDLE updater = Start("QOR_UPDATE.exe", "");
        HWND window = uidriver::WaitForWindow(kCaption, 0, 30000);
        ASSERT_NE(window, nullptr) << c.name;
        ASSERT_TRUE(uidriver::ClickButtonByText(window, "在线升级")) << c.name;
        EXPECT_EQ(Answer("错误", IDOK), kRefused) << c.name;
        EXPECT_FALSE(IsFile(app_ + "\\QOR_UPDATE.rar")) << c.name;
        TerminateProcess(updater, 0);
        WaitForSingleObject(updater, 10000);
        EXPECT_TRUE(ReadBytes(app_ + "\\QOR.exe") == launcherBytes_) << c.name;
    }

    // A package changed after it was marked complete is refused before extraction, and "/s"
    // gives the launcher back its start.
    WriteBytes(app_ + "\\QOR_UPDATE.LOG", std::string("6.02\r\nA\r\n") + PackageUrl() + "  ! DOWNLOAD COMPLETE");
    WriteBytes(app_ + "\\QOR_UPDATE.LOG.sig",
               SignLogAsVendor(std::string("6.02\r\nA\r\n") + PackageUrl(), package, "BIZACC", 86400));
    WriteBytes(app_ + "\\QOR_UPDATE.rar", changed);
    WriteBytes(app_ + "\\QOR_UPDATE.rar.sig", good);
    DeleteFileW(Wide(app_ + "\\started.txt").c_str());
    QOR_SKIP_WHERE_EDIT_CONTROLS_CRASH();
    Start("QOR_UPDATE.exe", "/s");
    HWND window = uidriver::WaitForWindow(kCaption, 0, 30000);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(uidriver::ClickButtonByText(window, "安装升级包"));
    EXPECT_EQ(Answer("错误", IDOK), kRefused);
    EXPECT_TRUE(WaitForOwnerToEnd(window, 30000));
    EXPECT_FALSE(IsFile(app_ + "\\QOR_UPDATE.rar"));
    EXPECT_FALSE(IsFile(app_ + "\\QOR_UPDATE.LOG"));
    EXPECT_TRUE(ReadBytes(app_ + "\\QOR.exe") == launcherBytes_);
    const auto started = StartedLines();
    ASSERT_FALSE(started.empty());
    EXPECT_EQ(started.back(), "\"" + app_ + "\\QOR.exe\" /0");
}

// What the network can forge or replay is refused: a log "99.99" whose URL names an old package
// that carries a valid signature of its own, a vendor's log that has expired, another
// edition's log, one far above the size the updater reads, and an unsigned one. Nothing is
// downloaded or installed, and the installed program stays as it was.
TEST_F(SignedUpdateCycle, ForgedExpiredForeignAndOversizedLogsAreRefused) {
    const std::string oldPackage = Archive({{false, "QOR.exe", launcherBytes_ + "OLD-BUT-SIGNED"}});
    const std::string good602 = SignLogAsVendor(LogBytes("6.02"), oldPackage, "BIZACC", 86400);
    const std::string big = LogBytes("6.02", std::string(600 * 1024, 'n'));
    struct Row {
        const char* name;
        std::string log, signature;
    } rows[] = {
        {"forged 99.99 over an old signed package", LogBytes("99.99"), good602},
        {"expired", LogBytes("6.02"), SignLogAsVendor(LogBytes("6.02"), oldPackage, "BIZACC", -60)},
        {"another edition's", LogBytes("6.02"), SignLogAsVendor(LogBytes("6.02"), oldPackage, "PROACC", 86400)},
        {"far above the read limit", big, SignLogAsVendor(big, oldPackage, "BIZACC", 86400)},
        {"unsigned", LogBytes("6.02"), ""},
    };
    server_.Serve(PackagePath(), oldPackage);
    server_.Serve(PackagePath() + ".sig", SignAsVendor(oldPackage, kVendorKey));
    const std::string packageRequest = "GET " + PackagePath() + " HTTP/1.1";
    for (const Row& row : rows) {
        server_.Serve("/QOR_BIZACC_UPDATE_LOG.txt", row.log);
        if (row.signature.empty()) server_.Serve("/QOR_BIZACC_UPDATE_LOG.txt.sig", "", "404");
        else server_.Serve("/QOR_BIZACC_UPDATE_LOG.txt.sig", row.signature);
        server_.ClearRequests();

        ASSERT_TRUE(Ended(Start("QOR_UPDATE.exe", "/d"), 60000)) << row.name;
        EXPECT_EQ(server_.Requests().find(packageRequest), std::string::npos) << row.name;
        EXPECT_FALSE(IsFile(app_ + "\\QOR_UPDATE.rar")) << row.name;
        EXPECT_FALSE(IsFile(app_ + "\\QOR_UPDATE.LOG")) << row.name;
        EXPECT_FALSE(IsFile(app_ + "\\QOR_UPDATE.seen")) << row.name;
        EXPECT_TRUE(ReadBytes(app_ + "\\QOR.exe") == launcherBytes_) << row.name;
        EXPECT_FALSE(IsFolder(app_ + "\\QOR_UPDATE.new")) << row.name;

        // Started by hand: the server counts as not reachable, nothing is offered.
        HANDLE updater = Start("QOR_UPDATE.exe", "");
        EXPECT_EQ(Answer("错误", IDOK), "无法连接到服务器！") << row.name;
        EXPECT_TRUE(Ended(updater, 20000)) << row.name;
        EXPECT_TRUE(ReadBytes(app_ + "\\QOR.exe") == launcherBytes_) << row.name;
    }
    EXPECT_EQ(ReadBytes(app_ + "\\started.txt"), "");

    // A vendor's log, valid in every other way, older than the newest one accepted before.
    WriteBytes(app_ + "\\QOR_UPDATE.seen", "QOR_UPDATE newest log 1\r\n6.03\r\n");
    ServeSignedLog("6.02", oldPackage);
    server_.ClearRequests();
    ASSERT_TRUE(Ended(Start("QOR_UPDATE.exe", "/d"), 60000));
    EXPECT_EQ(server_.Requests().find(packageRequest), std::string::npos);
    EXPECT_FALSE(IsFile(app_ + "\\QOR_UPDATE.LOG"));
}

}  // namespace
}  // namespace qor
