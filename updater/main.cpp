// QOR_UPDATE.exe: the updater. Decides at start what to do (offer a downloaded package, offer an
// online upgrade, download in the background, or end) and then lives on with its window.
#include <windows.h>
#include <objbase.h>


#include "platform/win32/file_store_win32.h"
#include "platform/win32/http_session_win32.h"
#include "platform/win32/management_win32.h"
#include "platform/win32/program_runner_win32.h"
#include "platform/win32/running_program.h"
#include "platform/win32/signature_verifier_win32.h"
#include "platform/win32/system_folder.h"
#include "platform/win32/system_queries_win32.h"
#include "platform/win32/unicode.h"
#include "qor/build_config.h"
#include "qor/update_key.h"
#include "updater/forms/update_form.h"
#include "updater/updater.h"

namespace qor {
namespace {

class Win32UpdaterShell : public UpdaterShell {
public:
    explicit Win32UpdaterShell(HWND& owner) : owner_(owner) {}

    bool AnotherInstanceRunning() override { return win32::AnotherInstanceRunning(L"updater"); }
    std::string ProgramFolder() override { return win32::ModuleFolder(); }
    std::string CommandArguments() override { return win32::CommandArguments(true); }

    void ShowMessage(const std::string& text, UpdaterIcon icon) override {
        const bool error = icon == UpdaterIcon::Critical;
        Box(text, error ? "错误" : "提示", MB_OK | (error ? MB_ICONERROR : MB_ICONINFORMATION));
    }
    bool AskYesNo(const std::string& text) override { return Box(text, "提示", MB_YESNO) == IDYES; }
    bool AskOkCancel(const std::string& text) override { return Box(text, "提示", MB_OKCANCEL) == IDOK; }

private:
    int Box(const std::string& text, const char* title, UINT type) {
        HWND owner = owner_ && IsWindowVisible(owner_) ? owner_ : nullptr;
        return MessageBoxW(owner, win32::Wide(text).c_str(), win32::Wide(title).c_str(), type | MB_SETFOREGROUND);
    }

    HWND& owner_;
};

// The update server's host: the build constant. Test builds take QOR_TEST_UPDATE_HOST instead
// when it is set, so that test runs side by side each use a loopback address of their own.
std::string UpdateHost() {
#ifdef QOR_TEST_HOOKS
    wchar_t text[256];
    DWORD n = GetEnvironmentVariableW(L"QOR_TEST_UPDATE_HOST", text, 256);
    if (n > 0 && n < 256) return win32::Narrow(text, n);
#endif
    return QOR_UPDATE_HOST;
}

// Test builds end the process abruptly (no clean-up, as a power cut or an ended task would) at
// the staged update's point named by QOR_TEST_UPDATE_CUT; other builds never stop there.
CutHook TestCutHook() {
#ifdef QOR_TEST_HOOKS
    wchar_t text[64];
    DWORD n = GetEnvironmentVariableW(L"QOR_TEST_UPDATE_CUT", text, 64);
    if (n > 0 && n < 64) {
        const std::string wanted = win32::Narrow(text, n);
        return [wanted](const std::string& point) {
            if (point == wanted) TerminateProcess(GetCurrentProcess(), 99);
        };
    }
#endif
    return {};
}

}  // namespace
}  // namespace qor

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    qor::win32::LoadDllsFromSystemFolderOnly();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    qor::win32::InitializeComSecurity();

    HWND owner = nullptr;
    qor::Win32UpdaterShell shell(owner);
    qor::win32::Win32FileStore files;
    qor::win32::Win32ManagementService wmi;
    qor::win32::Win32SystemQueries system;
    qor::win32::Win32ProgramRunner runner;
    qor::win32::WinInetSession http(QOR_PROBE_HOST, QOR_HTTP_RECEIVE_TIMEOUT_MS);
    qor::UpdaterState state;
    qor::UpdaterPlatform* platform = nullptr;

    // The window exists in every mode: a background download writes its status label too.
    qor::forms::UpdateForm form([&](qor::UpdaterButton button) {
        qor::UpdaterNext next = qor::UpdaterNext::KeepWindow;
        switch (button) {
            case qor::UpdaterButton::Online: next = qor::OnlineUpgrade(*platform, state); break;
            case qor::UpdaterButton::Install: next = qor::InstallPackage(*platform, state); break;
            case qor::UpdaterButton::GiveUp: next = qor::GiveUp(*platform, state); break;
        }
        // Every way out ends the process at once.
        if (next == qor::UpdaterNext::EndProgram) ExitProcess(0);
    });
    owner = form.hwnd();
    qor::win32::Win32SignatureVerifier verifier;
    qor::UpdaterPlatform p{shell, form, files, wmi, system, runner, http, &verifier};
    p.cut = qor::TestCutHook();
    state.updateKeyPem = QOR_UPDATE_PUBLIC_KEY_PEM;
    platform = &p;

    if (qor::RunUpdater(p, qor::UpdateHost(), state) == qor::UpdaterNext::EndProgram) ExitProcess(0);
    form.RunMessageLoop();
    ExitProcess(0);
}
