// Shared pieces of the launcher's end-to-end tests: a complete application folder, the
// spreadsheet host stand-in registered as "Excel.Application", and started launchers.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/trusted_files/trusted_files.h"
#include "core/text.h"
#include "launcher/stages.h"
#include "platform/win32/file_store_win32.h"
#include "platform/win32/launcher_adapters_win32.h"
#include "platform/win32/management_win32.h"
#include "platform/win32/system_queries_win32.h"
#include "platform/win32/unicode.h"
#include "tests/standins/uidriver/uidriver.h"
#include "wine/wine_test_support.h"

namespace qor::e2e {

using test::ReadBytes;
using test::WinePath;
using test::WriteBytes;
using win32::Wide;

inline bool Exists(const std::string& path) {
    return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Runs a program to its end; its exit code, or -1 when it did not start.
inline int RunToEnd(const std::string& commandLine) {
    std::wstring cmd = Wide(commandLine);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return static_cast<int>(code);
}

// Ids of the running processes whose image lies in the folder (compared without case).
inline std::vector<DWORD> ProcessesIn(const std::string& folder) {
    std::vector<DWORD> ids;
    std::wstring prefix = Wide(folder + "\\");
    CharLowerW(&prefix[0]);
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32FirstW(snap, &entry); ok; ok = Process32NextW(snap, &entry)) {
        HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (!h) continue;
        wchar_t image[MAX_PATH * 2] = {};
        DWORD n = MAX_PATH * 2;
        if (QueryFullProcessImageNameW(h, 0, image, &n)) {
            std::wstring path(image, n);
            CharLowerW(&path[0]);
            if (path.compare(0, prefix.size(), prefix) == 0) ids.push_back(entry.th32ProcessID);
        }
        CloseHandle(h);
    }
    CloseHandle(snap);
    return ids;
}

inline void EndProcessesIn(const std::string& folder) {
    for (DWORD id : ProcessesIn(folder)) {
        HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (!h) continue;
        TerminateProcess(h, 1);
        WaitForSingleObject(h, 10000);
        CloseHandle(h);
    }
}

// The spreadsheet host stand-in, copied under an image name into a folder of its own,
// registered as "Excel.Application" while the object lives. The test chooses what it reports.
class HostStandIn {
public:
    explicit HostStandIn(const std::string& image = "excel.exe", const std::string& version = "16.0",
                         const std::string& extraConfig = "")
        : folder_("qor-host") {
        exe_ = folder_ / image;
        CopyFileW(Wide(WinePath(QOR_TEST_EXCEL_STANDIN_EXE)).c_str(), Wide(exe_).c_str(), FALSE);
        static unsigned count = 0;
        const std::string quit = "Local\\qor-host-quit-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count);
        quit_ = CreateEventW(nullptr, TRUE, FALSE, Wide(quit).c_str());
        WriteBytes(folder_ / "excel_standin.ini",
                   "version=" + version + "\r\nlog=" + Log() + "\r\nquit=" + quit + "\r\n" + extraConfig);
        registered_ = RunToEnd("\"" + exe_ + "\" /regserver") == 0;
    }
    // The hosts are asked to end, so that each revokes its class object; one that was killed
    // holding it would make the next creation of the class fail. Killing is the fallback.
    ~HostStandIn() {
        EndHosts();
        if (registered_) RunToEnd("\"" + exe_ + "\" /unregserver");
        if (quit_) CloseHandle(quit_);
    }
    // Ends every host of this folder; later creations start new ones.
    void EndHosts() {
        if (quit_) SetEvent(quit_);
        test::PollUntil([&] { return RunningCount() == 0; });
        EndProcessesIn(folder_.path());
        if (quit_) ResetEvent(quit_);
    }
    HostStandIn(const HostStandIn&) = delete;
    HostStandIn& operator=(const HostStandIn&) = delete;

    bool registered() const { return registered_; }
    const std::string& folder() const { return folder_.path(); }
    std::string Log() const { return folder_ / "calls.log"; }
    // The logged calls, each split at its tabs (process id, kind, member, arguments...).
    std::vector<std::vector<std::string>> Calls() const {
        std::vector<std::vector<std::string>> calls;
        for (const std::string& line : SplitLines(ReadBytes(Log()))) calls.push_back(Split(line, "\t"));
        return calls;
    }
    // The logged calls of this kind and member.
    std::vector<std::vector<std::string>> Calls(const std::string& kind, const std::string& member) const {
        std::vector<std::vector<std::string>> found;
        for (auto& call : Calls())
            if (call.size() >= 3 && call[1] == kind && call[2] == member) found.push_back(call);
        return found;
    }
    size_t RunningCount() const { return ProcessesIn(folder_.path()).size(); }

private:
    test::ScratchFolder folder_;
    HANDLE quit_ = nullptr;
    std::string exe_;
    bool registered_ = false;
};

// A started launcher; ended at the end if it still runs.
struct Launch {
    PROCESS_INFORMATION pi{};
    bool Wait(int ms) { return WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0; }
    ~Launch() {
        if (pi.hProcess) {
            if (!Wait(0)) TerminateProcess(pi.hProcess, 1);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
};

// An application folder holding the launcher, the main workbook and every required file.
class AppFolderTest : public ::testing::Test {
protected:
    // The folder lies under the temporary folder; its name holds a blank unless asked not to.
    explicit AppFolderTest(bool blankInName = true) : app_(NewFolder(blankInName)) {}
    ~AppFolderTest() override {
        if (!app_.empty()) test::RemoveTree(Wide(app_));
    }
    static std::string NewFolder(bool blankInName) {
        wchar_t temp[MAX_PATH + 1] = {};
        DWORD n = GetTempPathW(MAX_PATH + 1, temp);
        std::string base = win32::Narrow(temp, n);
        if (!base.empty() && base.back() == '\\') base.pop_back();
        static unsigned counter = 0;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string path = base + "\\qor-e2e" + (blankInName ? " " : "-") +
                               std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
            if (test::MakeFolder(path)) return path;
        }
        return std::string();
    }

    void SetUp() override {
        ASSERT_FALSE(app_.empty());
        CreateDirectoryW(Wide(app_ + "\\SYS").c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(Wide(WinePath(QOR_TEST_LAUNCHER_EXE)).c_str(), Wide(Exe()).c_str(), FALSE));
        for (const char* name : kRequiredFiles) WriteBytes(Sys(name), std::string("dummy ") + name);
        WriteBytes(Sys("Excel2010_filechkfalse.reg"),
                   "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\QOR test import]\r\n\"Imported\"=\"yes\"\r\n");
        WriteBytes(Workbook(), "workbook");
        // Both notices off unless a test turns one on.
        WriteSettings("FSSHOW = False\r\nFFSHOW = False\r\n");
        SetEnvironmentVariableW(L"QOR_PROGRAM_LOG", Wide(ProgramLog()).c_str());
        SetEnvironmentVariableW(L"QOR_TEST_DISTRUST_LOG", Wide(DistrustLog()).c_str());
        Vouch();
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"QOR_PROGRAM_LOG", nullptr);
        SetEnvironmentVariableW(L"QOR_TEST_DISTRUST_LOG", nullptr);
        DeleteFileW(Wide(TrustListPath()).c_str());
    }

    // The list an installer keeps where only administrators write, vouching for every file of
    // this application folder as it is now; a file changed afterwards is not vouched for.
    void Vouch() {
        win32::Win32FileStore files;
        const std::optional<std::string> list = BuildTrustList(files, app_ + "\\");
        ASSERT_TRUE(list.has_value());
        const std::string path = TrustListPath();
        CreateDirectoryW(Wide(path.substr(0, path.rfind('\\'))).c_str(), nullptr);
        ASSERT_TRUE(files.WriteText(path, *list, false)) << path;
    }
    static std::string TrustListPath() {
        win32::Win32SystemQueries system;
        return ProtectedFolder(system) + kTrustListName;
    }

    std::string Exe() const { return app_ + "\\QOR.exe"; }
    std::string Sys(const std::string& name) const { return app_ + "\\SYS\\" + name; }
    std::string Workbook() const { return app_ + "\\QOR_BIZACC_6.01"; }
    std::string Report() const { return app_ + "\\state.txt"; }
    std::string ProgramLog() const { return app_ + "\\programs.log"; }
    std::string DistrustLog() const { return app_ + "\\distrusted.log"; }
    std::vector<std::string> ProgramsStarted() const { return SplitLines(ReadBytes(ProgramLog())); }
    void WriteSettings(const std::string& bytes) { WriteBytes(Sys("setinf.txt"), bytes); }
    std::string Settings() { return ReadBytes(Sys("setinf.txt")); }

    // Marks this folder as configured on this machine, with the identity the launcher will find.
    void MarkConfigured(const std::string& identity) { WriteBytes(Sys("pcinf.txt"), app_ + "\\" + identity + "\r\n"); }

    void Start(Launch& launch, const std::string& arguments) {
        SetEnvironmentVariableW(L"QOR_STATE_REPORT", Wide(Report()).c_str());
        std::wstring cmd = L"\"" + Wide(Exe()) + L"\"" + (arguments.empty() ? L"" : L" " + Wide(arguments));
        STARTUPINFOW si{};
        si.cb = sizeof si;
        const std::string& current = currentFolder_.empty() ? app_ : currentFolder_;
        ASSERT_TRUE(CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, Wide(current).c_str(), &si,
                                   &launch.pi));
    }

    // Runs the launcher to its end and gives its reported state.
    std::map<std::string, std::string> Run(const std::string& arguments) {
        DeleteFileW(Wide(Report()).c_str());
        Launch launch;
        Start(launch, arguments);
        EXPECT_TRUE(launch.Wait(60000)) << "launcher did not end: " << arguments << "\n"
                                        << uidriver::DescribeWindows(launch.pi.dwProcessId);
        return ReadReport();
    }

    std::map<std::string, std::string> ReadReport() {
        std::map<std::string, std::string> state;
        for (const std::string& line : SplitLines(ReadBytes(Report()))) {
            size_t eq = line.find('=');
            if (eq != std::string::npos) state[line.substr(0, eq)] = line.substr(eq + 1);
        }
        return state;
    }

    // Starts the launcher, waits for its error message, checks its text, answers it and waits
    // for the launcher to end.
    void ExpectErrorMessage(const std::string& arguments, const std::string& text) {
        Launch launch;
        Start(launch, arguments);
        HWND box = uidriver::WaitForWindow("错误", launch.pi.dwProcessId, 30000);
        ASSERT_NE(box, nullptr) << "no message for: " << text;
        EXPECT_EQ(uidriver::MessageBoxText(box), text);
        EXPECT_TRUE(uidriver::ClickButton(box, IDOK));
        EXPECT_TRUE(launch.Wait(20000));
    }

    const std::string app_;
    std::string currentFolder_;  // the launcher's current folder; empty: the application folder
};

// The disk identity the launcher finds on this machine (first non-empty serial over 2
// characters of the management service).
inline std::string MachineDiskIdentity() {
    test::UseComOnThisThread();
    win32::Win32ManagementService wmi;
    win32::AutomationDiskIdentityClasses classes;
    return GetDiskIdentity(wmi, classes);
}

}  // namespace qor::e2e
