#include "platform/win32/running_program.h"

#include <windows.h>

#include "core/process_rules.h"
#include "platform/win32/unicode.h"

namespace qor::win32 {

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
    // The handle is kept open on purpose: the mutex lives as long as this process.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    return !mutex || GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace qor::win32
