// QOR.exe: the launcher. Runs the start-up sequence with the real Windows adapters and ends.
#include <windows.h>
#include <imm.h>
#include <objbase.h>

#include <cctype>
#include <fstream>
#include <string>
#include <vector>

#include "launcher/background_starts.h"
#include "launcher/forms/notices.h"
#include "launcher/forms/splash.h"
#include "launcher/stages.h"
#include "launcher/startup.h"
#include "launcher/update_handoff.h"
#include "platform/win32/file_store_win32.h"
#include "platform/win32/launcher_adapters_win32.h"
#include "platform/win32/management_win32.h"
#include "platform/win32/program_runner_win32.h"
#include "platform/win32/running_program.h"
#include "platform/win32/system_folder.h"
#ifdef QOR_TEST_HOOKS
#include "platform/win32/start_trace.h"
#endif
#include "platform/win32/system_queries_win32.h"
#include "platform/win32/unicode.h"
#include "qor/build_config.h"

namespace qor {
namespace {

class Win32LauncherShell : public LauncherShell {
public:
    Win32LauncherShell(FileStore& files, BackgroundStarts& starts, bool elevated)
        : files_(files), starts_(starts), elevated_(elevated) {}

    bool AnotherInstanceRunning() override { return win32::AnotherInstanceRunning(L"launcher"); }
    void ReleaseInstanceLock() override { win32::ReleaseInstanceLock(); }
    bool ProcessElevated() override { return elevated_; }
    bool RunElevatedAndWait(const std::string& arguments) override {
        return win32::RunElevatedAndWait(win32::ModulePath(), arguments);
    }
    std::string ProgramFolder() override { return win32::ModuleFolder(); }
    std::string CommandArguments() override { return win32::CommandArguments(true); }

    FileVersionParts ProgramVersion() override {
        return {QOR_VERSION_MAJOR, QOR_VERSION_MINOR, QOR_VERSION_BUILD, QOR_VERSION_REVISION};
    }

    void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override {
        MessageBoxW(nullptr, win32::Wide(text).c_str(), win32::Wide(title).c_str(),
                    MB_OK | MB_SETFOREGROUND | (icon == MessageIcon::Critical ? MB_ICONERROR : MB_ICONINFORMATION));
    }

    void ShowSecurityNotice(const std::string& appFolder) override { forms::ShowSecurityNotice(files_, appFolder); }
    void ShowAssociationNotice(const std::string& appFolder) override {
        forms::ShowAssociationNotice(files_, appFolder);
    }
    void ShowConfigurationNotice(const std::string&) override { forms::ShowConfigurationNotice(); }
    // The cancel link ends the launcher at once, but not in the middle of a program start.
    void ShowSplash(const std::string& versionText) override {
        forms::ShowSplash(versionText, [this] { starts_.Abandon(); });
    }
    void MakeSplashTopmost() override { forms::MakeSplashTopmost(); }
    void ShowStage(const std::string& stageText) override { forms::ShowSplashStage(stageText); }

    void PumpMessages() override {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

#ifdef QOR_TEST_HOOKS
    void Reached(const char* point) override { trace_.Mark(point); }
    // Test builds only: each file the trust list did not vouch for, one line each, in the file
    // that QOR_TEST_DISTRUST_LOG names.
    void Distrusted(const std::string& path) override {
        wchar_t log[MAX_PATH];
        const DWORD n = GetEnvironmentVariableW(L"QOR_TEST_DISTRUST_LOG", log, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return;
        files_.WriteBytes(win32::Narrow(log, n), path + "\r\n", true);
    }
    void WriteTrace() { trace_.Write(); }
#endif

private:
    FileStore& files_;
    BackgroundStarts& starts_;
    bool elevated_;
#ifdef QOR_TEST_HOOKS
    win32::StartTrace trace_;
#endif
};

#ifdef QOR_TEST_HOOKS
// Test builds only, with QOR_TEST_LOCAL_LIKE set: process queries with "Name LIKE '...'" are
// answered by filtering all processes here, for a management service whose LIKE cannot match
// after a leading '%' (Wine's), so that end-to-end tests can see the security software.
class LocalLikeManagement : public ManagementService {
public:
    explicit LocalLikeManagement(ManagementService& inner) : inner_(inner) {}
    bool Query(const std::string& wql, const std::string& property, std::vector<std::string>& values) override {
        const std::string marker = " WHERE Name LIKE '";
        size_t at = wql.find(marker);
        if (at == std::string::npos || wql.back() != '\'') return inner_.Query(wql, property, values);
        const std::string pattern = wql.substr(at + marker.size(), wql.size() - at - marker.size() - 1);
        std::vector<std::string> names, all;
        if (!inner_.Query(wql.substr(0, at), "Name", names) || !inner_.Query(wql.substr(0, at), property, all))
            return false;
        for (size_t i = 0; i < names.size() && i < all.size(); ++i)
            if (Like(names[i], 0, pattern, 0)) values.push_back(all[i]);
        return true;
    }
    std::vector<std::string> InstancesOf(const std::string& c, const std::string& p) override {
        return inner_.InstancesOf(c, p);
    }
    void TerminateEach(const std::string& wql) override { inner_.TerminateEach(wql); }

private:
    static bool Like(const std::string& t, size_t i, const std::string& p, size_t j) {
        if (j == p.size()) return i == t.size();
        if (p[j] == '%') return Like(t, i, p, j + 1) || (i < t.size() && Like(t, i + 1, p, j));
        return i < t.size() && (p[j] == '_' || std::tolower(static_cast<unsigned char>(t[i])) ==
                                                   std::tolower(static_cast<unsigned char>(p[j]))) &&
               Like(t, i + 1, p, j + 1);
    }
    ManagementService& inner_;
};

// Test builds only: writes the launcher's state where the end-to-end tests can read it.
void ReportState(const LauncherState& s, LauncherEnd end) {
    wchar_t target[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"QOR_STATE_REPORT", target, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    std::ofstream out(target, std::ios::binary);
    out << "End=" << static_cast<int>(end) << "\n"
        << "AppFolder=" << s.appFolder << "\n"
        << "WorkbookPath=" << s.workbookPath << "\n"
        << "SysFolder=" << s.sysFolder << "\n"
        << "WinFolder=" << s.winFolder << "\n"
        << "ComponentFolder=" << s.componentFolder << "\n"
        << "CommandText=" << s.command.commandText << "\n"
        << "SkipsUpdate=" << s.command.skipsUpdate << "\n"
        << "AccountFolder=" << s.command.accountFolder << "\n"
        << "AccountFile=" << s.command.accountFile << "\n"
        << "FullVersion=" << s.fullVersion << "\n"
        << "ShortVersion=" << s.shortVersion << "\n"
        << "UsbDrives=" << s.usbDrives << "\n";
}

// Test builds only: keeps the windows up (and answering) for QOR_TEST_LINGER_MS milliseconds
// before the launcher ends, so that tests can look at the splash and use its links.
void Linger(LauncherShell& shell) {
    wchar_t text[32];
    DWORD n = GetEnvironmentVariableW(L"QOR_TEST_LINGER_MS", text, 32);
    if (n == 0 || n >= 32) return;
    DWORD until = GetTickCount() + static_cast<DWORD>(_wtoi(text));
    while (static_cast<LONG>(until - GetTickCount()) > 0) {
        shell.PumpMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}
#endif

}  // namespace
}  // namespace qor

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    qor::win32::LoadDllsFromSystemFolderOnly();
    // No window of the launcher takes text input, so its threads get no input-method window:
    // creating one with the first window costs the start-up time for nothing.
    ImmDisableIME(static_cast<DWORD>(-1));
    qor::win32::Win32FileStore files;
    qor::win32::Win32ProgramRunner runner;
    qor::BackgroundStarts starts(runner);
#ifdef QOR_TEST_HOOKS
    // Test builds only: QOR_TEST_NOT_ELEVATED makes this start, and every copy it starts, count as
    // one without administrator rights (under Wine every process has them).
    const bool elevated =
        !GetEnvironmentVariableW(L"QOR_TEST_NOT_ELEVATED", nullptr, 0) && qor::win32::ProcessElevated();
#else
    const bool elevated = qor::win32::ProcessElevated();
#endif
    qor::Win32LauncherShell shell(files, starts, elevated);
    shell.Reached("entry");
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    qor::win32::InitializeComSecurity();
    shell.Reached("settings");

    qor::win32::Win32ManagementService realWmi;
#ifdef QOR_TEST_HOOKS
    qor::LocalLikeManagement localLike(realWmi);
    qor::ManagementService& wmi =
        GetEnvironmentVariableW(L"QOR_TEST_LOCAL_LIKE", nullptr, 0) ? static_cast<qor::ManagementService&>(localLike)
                                                                   : realWmi;
#else
    qor::ManagementService& wmi = realWmi;
#endif
    qor::win32::Win32SystemQueries system;
    qor::win32::AutomationSpreadsheetHost host;
    qor::win32::AutomationDiskIdentityClasses diskClasses;
    qor::win32::Win32MachineSettings machine;
    qor::StagePlatform stagePlatform{shell, files, wmi, system, starts, host, diskClasses, machine};
    qor::UpdateHandOffPlatform update{shell, files, wmi, starts};
    qor::MachineStages stages(stagePlatform,
                              [&update](const qor::LauncherState& s) { return qor::HandOffUpdate(update, s); });
    qor::LauncherPlatform platform{shell, files, wmi, system, stages};
    qor::LauncherState state;
    qor::LauncherEnd end = qor::RunLauncher(platform, QOR_EDITION_TAG, state);
    // The programs it asked for are all started before the launcher ends.
    starts.Finish();
    shell.Reached("end");
#ifdef QOR_TEST_HOOKS
    shell.WriteTrace();
    qor::ReportState(state, end);
    qor::Linger(shell);
#else
    (void)end;
#endif
    // Every way out ends the process at once; the spreadsheet host keeps running.
    ExitProcess(0);
}
