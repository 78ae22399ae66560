// QOR_SETUP.exe: the installer and, started with "/u" from the install folder or from the copy
// kept in the protected folder, the uninstaller.
#include <windows.h>
#include <objbase.h>

#include <memory>
#include <string>


#include "installer/forms/forms.h"
#include "installer/product.h"
#include "installer/setup_command.h"
#include "installer/silent.h"
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
    const SetupCommand command = ParseSetupCommand(win32::CommandArguments(false));
    static win32::Win32FileStore files;
    static std::unique_ptr<ActionLog> log;
    if (!command.logFile.empty()) log = std::make_unique<ActionLog>(files, command.logFile);
    auto end = [](int code) {
        if (log) log->Write("exit code: " + std::to_string(code));
        ExitProcess(static_cast<UINT>(code));
    };
    if (!command.valid) {
        // A deployment tool's mistake is answered with a code, never a window nobody sees.
        if (!command.silent)
            forms::ShowMessageBox(nullptr, kBadArgumentsText, kErrorTitle, MessageKind::Critical);
        end(kExitBadArguments);
    }
    // One lock for every copy: a downloaded installer and the installed uninstaller must never
    // work on one folder at the same time.
    if (win32::AnotherInstanceRunning(L"setup", win32::InstanceScope::EveryCopy)) {
        if (log) log->Write(MessageLogLine(kAlreadyRunningText, kInfoTitle, Answer::Ok));
        if (!command.silent) forms::ShowMessageBox(nullptr, kAlreadyRunningText, kInfoTitle, MessageKind::Information);
        end(kExitAlreadyRunning);
    }

    const std::wstring module = win32::ModulePath();
    const size_t sep = module.find_last_of(L'\\');
    std::string folder = win32::Narrow(module.substr(0, sep));
    std::wstring file = module.substr(sep + 1);
    if (file.size() > 4 && _wcsicmp(file.c_str() + file.size() - 4, L".exe") == 0) file.resize(file.size() - 4);

    static win32::Win32SystemQueries system;
    static win32::Win32ManagementService wmi;
    static win32::Win32ProgramRunner runner;
    static win32::Win32ShellLinks shell;
    static win32::Win32DesktopShell desktop;
    static InstallerPlatform platform{files, system, wmi, runner, shell, desktop, folder, win32::Narrow(file), log.get()};
    forms::TheProgram().platform = &platform;

    const std::string defaultPath = std::string(kDefaultDrive) + kProductName + "\\";
    if (command.silent && command.uninstall) end(RunSilentUninstall(platform, MaintenanceInstallPath(platform)));
    if (command.silent) end(RunSilentInstall(platform, SilentInstallPath(command, defaultPath)));
    if (command.uninstall) {
        forms::InstallPath() = MaintenanceInstallPath(platform);
        forms::ShowUninstallWindow();
    } else {
        forms::InstallPath() = command.folder.empty() ? defaultPath : SilentInstallPath(command, defaultPath);
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
