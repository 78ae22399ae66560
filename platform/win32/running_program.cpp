#include "platform/win32/running_program.h"

#include <windows.h>
#include <shellapi.h>

#include "core/process_rules.h"
#include "platform/win32/scoped.h"
#include "platform/win32/unicode.h"

namespace qor::win32 {
namespace {

KernelHandle instanceLock;  // the mutex of AnotherInstanceRunning, held on purpose

}  // namespace

std::wstring ModulePath() {
    std::wstring path(32768, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    path.resize(n);
    return path;
}

std::string ModuleFolder() {
    const std::wstring path = ModulePath();
    const size_t sep = path.find_last_of(L'\\');
    return Narrow(sep == std::wstring::npos ? path : path.substr(0, sep));
}

std::string CommandArguments(bool skipAllBlanks) {
    const wchar_t* p = GetCommandLineW();
    const std::wstring module = ModulePath();
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p) ++p;
    } else if (!module.empty() && _wcsnicmp(p, module.c_str(), module.size()) == 0 &&
               (p[module.size()] == L'\0' || p[module.size()] == L' ' || p[module.size()] == L'\t')) {
        p += module.size();
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    if (skipAllBlanks) {
        while (*p == L' ' || *p == L'\t') ++p;
    } else if (*p == L' ' || *p == L'\t') {
        ++p;
    }
    return Narrow(std::wstring(p));
}

bool AnotherInstanceRunning(const std::wstring& tag, InstanceScope scope) {
    std::wstring path;
    if (scope == InstanceScope::ThisProgramFile) {
        path = ModulePath();
        if (!path.empty()) CharLowerBuffW(&path[0], static_cast<DWORD>(path.size()));
    }
    const std::wstring name = Wide(InstanceLockName(Narrow(tag), Narrow(path)));
    // The handle is kept: the mutex lives as long as this process, or until it is let go.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (!mutex) return true;
    const bool running = GetLastError() == ERROR_ALREADY_EXISTS;
    instanceLock.Reset(mutex);
    return running;
}

void ReleaseInstanceLock() { instanceLock.Reset(); }

bool ProcessElevated() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return true;
    KernelHandle token(raw);
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) return true;
    return elevation.TokenIsElevated != 0;
}

bool RunElevatedAndWait(const std::wstring& program, const std::string& arguments) {
    const std::wstring parameters = Wide(arguments);
    std::wstring folder(32768, L'\0');
    folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), &folder[0]));
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    // No error box of the shell's own: a declined prompt is an answer, not a fault.
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"runas";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info)) return false;
    if (!info.hProcess) return true;
    // Messages sent to this thread's windows and COM apartment are answered while it waits.
    while (MsgWaitForMultipleObjects(1, &info.hProcess, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    CloseHandle(info.hProcess);
    return true;
}

}  // namespace qor::win32
