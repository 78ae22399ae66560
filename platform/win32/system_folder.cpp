#include "platform/win32/system_folder.h"

#include <delayimp.h>

namespace qor::win32 {
namespace {

std::wstring FolderFrom(UINT (WINAPI *query)(LPWSTR, UINT)) {
    const UINT needed = query(nullptr, 0);
    if (needed == 0) return {};
    std::wstring folder(needed, L'\0');
    const UINT length = query(&folder[0], needed);
    if (length == 0 || length >= needed) return {};
    folder.resize(length);
    if (folder.back() == L'\\') folder.pop_back();
    return folder;
}

// Loads the DLLs that are imported lazily (linked against the delay-load import libraries of
// cmake/delayload): from the system folder, before the helper would search for them by name.
FARPROC WINAPI LoadDelayedImport(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary || !info || !info->szDll) return nullptr;
    std::wstring name;
    for (const char* c = info->szDll; *c; ++c) name.push_back(static_cast<unsigned char>(*c));
    return reinterpret_cast<FARPROC>(LoadSystemLibrary(name.c_str()));
}

}  // namespace

std::wstring SystemFolderPath() { return FolderFrom(GetSystemDirectoryW); }

std::wstring WindowsFolderPath() { return FolderFrom(GetWindowsDirectoryW); }

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
    HMODULE module = LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
    // Windows without the search flags: the full path, its imports looked for beside it first.
    const std::wstring folder = SystemFolderPath();
    if (folder.empty()) return nullptr;
    return LoadLibraryExW((folder + L"\\" + fileName).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void LoadDllsFromSystemFolderOnly() {
    // Looked up, not imported: a program that imports it does not start on Windows without it.
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto set = kernel ? reinterpret_cast<SetDirectories>(
                                  reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")))
                            : nullptr;
    if (set) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace qor::win32

// The delay-load helper asks this hook before it loads a DLL by name (declared with C linkage
// in delayimp.h).
PfnDliHook __pfnDliNotifyHook2 = qor::win32::LoadDelayedImport;
