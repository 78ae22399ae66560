// QOR_SETUP.exe: the installer and, started with "/u" from the install folder, the uninstaller.
#include <windows.h>
#include <objbase.h>

#include <cwctype>

#include "installer/forms/forms.h"
#include "installer/product.h"
#include "platform/win32/file_store_win32.h"
#include "platform/win32/management_win32.h"
#include "platform/win32/program_runner_win32.h"
#include "platform/win32/shell_links_win32.h"
#include "platform/win32/system_queries_win32.h"
#include "platform/win32/unicode.h"

namespace {

using namespace qor;
using namespace qor::installer;

std::wstring ModulePath() {
    std::wstring path(32768, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    path.resize(n);
    return path;
}

// A named lock per program file: a second start of the same file finds it taken.
bool AnotherInstanceRunning() {
    std::wstring name = L"Local\\QOR.setup:";
    for (wchar_t c : ModulePath()) name.push_back(c == L'\\' ? L'/' : static_cast<wchar_t>(std::towlower(c)));
    HANDLE lock = CreateMutexW(nullptr, FALSE, name.c_str());
    return lock && GetLastError() == ERROR_ALREADY_EXISTS;  // the lock is held until the process ends
}

// The command line after the program name and the one blank that separates them. The program
// name may be quoted, or unquoted with blanks in it (the Uninstall entry's UninstallString is
// the unquoted path followed by " /u"): a line that begins with the program's own path is cut
// after that path.
std::wstring CommandArguments() {
    const wchar_t* p = GetCommandLineW();
    const std::wstring module = ModulePath();
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p) ++p;
    } else if (!module.empty() && _wcsnicmp(p, module.c_str(), module.size()) == 0) {
        p += module.size();
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    if (*p == L' ' || *p == L'\t') ++p;
    return p;
}

// Refuses a second instance, chooses the mode by the command line, sets InstallPath and shows
// the mode's window; the windows then drive the program.
void Main() {
    if (AnotherInstanceRunning()) {
        forms::ShowMessageBox(nullptr, kAlreadyRunningText, kInfoTitle, MessageKind::Information);
        ExitProcess(0);
    }

    const std::wstring module = ModulePath();
    const size_t sep = module.find_last_of(L'\\');
    std::string folder = win32::Narrow(module.substr(0, sep));
    std::wstring file = module.substr(sep + 1);
    if (file.size() > 4 && _wcsicmp(file.c_str() + file.size() - 4, L".exe") == 0) file.resize(file.size() - 4);

    static win32::Win32FileStore files;
    static win32::Win32SystemQueries system;
    static win32::Win32ManagementService wmi;
    static win32::Win32ProgramRunner runner;
    static win32::Win32ShellLinks shell;
    static InstallerPlatform platform{files, system, wmi, runner, shell, folder, win32::Narrow(file)};
    forms::TheProgram().platform = &platform;

    if (CommandArguments() == L"/u") {
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
