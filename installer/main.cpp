// QOR_SETUP.exe: the installer and, started with "/u" from the install folder, the uninstaller.
#include <windows.h>
#include <objbase.h>


#include "installer/forms/forms.h"
#include "installer/product.h"
#include "platform/win32/desktop_shell_win32.h"
#include "platform/win32/file_store_win32.h"
#include "platform/win32/management_win32.h"
#include "platform/win32/program_runner_win32.h"
#include "platform/win32/running_program.h"
#include "platform/win32/system_folder.h"
#include "platform/win32/shell_links_win32.h"
#include "platform/win32/system_queries_win32.h"
#include "platform/win32/unicode.h"

namespace {

using namespace qor;
using namespace qor::installer;

// Refuses a second instance, chooses the mode by the command line, sets InstallPath and shows
// the mode's window; the windows then drive the program.
void Main() {
    // One lock for every copy: a downloaded installer and the installed uninstaller must never
    // work on one folder at the same time.
    if (win32::AnotherInstanceRunning(L"setup", win32::InstanceScope::EveryCopy)) {
        forms::ShowMessageBox(nullptr, kAlreadyRunningText, kInfoTitle, MessageKind::Information);
        ExitProcess(0);
    }

    const std::wstring module = win32::ModulePath();
    const size_t sep = module.find_last_of(L'\\');
    std::string folder = win32::Narrow(module.substr(0, sep));
    std::wstring file = module.substr(sep + 1);
    if (file.size() > 4 && _wcsicmp(file.c_str() + file.size() - 4, L".exe") == 0) file.resize(file.size() - 4);

    static win32::Win32FileStore files;
    static win32::Win32SystemQueries system;
    static win32::Win32ManagementService wmi;
    static win32::Win32ProgramRunner runner;
    static win32::Win32ShellLinks shell;
    static win32::Win32DesktopShell desktop;
    static InstallerPlatform platform{files, system, wmi, runner, shell, desktop, folder, win32::Narrow(file)};
    forms::TheProgram().platform = &platform;

    if (win32::CommandArguments(false) == "/u") {
        forms::InstallPath() = folder + "\\";
        forms::ShowUninstallWindow();
    } else {
        forms::InstallPath() = std::string(kDefaultDrive) + kProductName + "\\";
        forms::LoadWizard();
        forms::ShowWizard();
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    win32::LoadDllsFromSystemFolderOnly();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    win32::InitializeComSecurity();
    Main();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        HWND top = GetAncestor(msg.hwnd, GA_ROOT);
        if (top && IsDialogMessageW(top, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    ExitProcess(0);
}
