#include "platform/win32/drive_access_win32.h"

#include <windows.h>

#include <string>

namespace qor {

bool Win32DriveAccess::QueryOsVersion(OsVersionInfo& info) {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&version)) return false;
#pragma GCC diagnostic pop
    info.platform_id = version.dwPlatformId;
    info.major = version.dwMajorVersion;
    info.minor = version.dwMinorVersion;
    return true;
}

DriveAccess::Handle Win32DriveAccess::Open(const std::string& path, DeviceAccess access,
                                           DeviceShare share, DeviceDisposition disposition) {
    // Device paths are plain ASCII, so the UTF-16 form is the bytes widened.
    const std::wstring wide(path.begin(), path.end());
    const DWORD desired = access == DeviceAccess::ReadWrite ? GENERIC_READ | GENERIC_WRITE : 0;
    const DWORD share_mode =
        share == DeviceShare::ReadWrite ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
    const DWORD creation = disposition == DeviceDisposition::CreateNew ? CREATE_NEW : OPEN_EXISTING;
    HANDLE handle = CreateFileW(wide.c_str(), desired, share_mode, nullptr, creation, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return kInvalidHandle;
    return reinterpret_cast<Handle>(handle);
}

bool Win32DriveAccess::Control(Handle handle, uint32_t code, const std::vector<uint8_t>& input,
                               std::vector<uint8_t>& output) {
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(
        reinterpret_cast<HANDLE>(handle), code,
        input.empty() ? nullptr : const_cast<uint8_t*>(input.data()),
        static_cast<DWORD>(input.size()), output.empty() ? nullptr : output.data(),
        static_cast<DWORD>(output.size()), &returned, nullptr);
    return ok != FALSE;
}

void Win32DriveAccess::Close(Handle handle) {
    if (handle != kInvalidHandle) CloseHandle(reinterpret_cast<HANDLE>(handle));
}

namespace {

// The folder of the module that holds this code (qord.dll), with its trailing backslash; empty
// when it cannot be found.
std::wstring OwnFolder() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&OwnFolder)),
                            &self)) {
        return {};
    }
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(self, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768) return {};  // longer than any Windows path
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// The system folder with its trailing backslash; empty when it cannot be found. A 32-bit
// process on 64-bit Windows gets its own system folder (SysWOW64), where the 32-bit launcher
// copies the library.
std::wstring SystemFolder() {
    const UINT needed = GetSystemDirectoryW(nullptr, 0);
    if (needed == 0) return {};
    std::wstring folder(needed, L'\0');
    const UINT length = GetSystemDirectoryW(&folder[0], needed);
    if (length == 0 || length >= needed) return {};
    folder.resize(length);
    if (folder.back() != L'\\') folder += L'\\';
    return folder;
}

// Loads the library by its full path in `folder`; its own imports are then looked for beside
// it first.
HMODULE LoadFrom(const std::wstring& folder) {
    if (folder.empty()) return nullptr;
    const std::wstring path = folder + L"DiskID32.dll";
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

DiskIdLibrary::Status Win32DiskIdLibrary::Call(uint8_t* first, uint8_t* second, int32_t& result) {
    // Only two places, each by full path, never the search order: the current folder, PATH or
    // a DLL directory set by the host program could otherwise hand us a planted library that
    // would run inside every caller. The system folder comes first: the launcher copies the
    // shipped library there during configuration, and only administrators can write to it.
    // This library's own folder (the application's SYS folder, which ships the same library)
    // serves when configuration has not copied it yet or could not.
    HMODULE library = LoadFrom(SystemFolder());
    if (!library) library = LoadFrom(OwnFolder());
    if (!library) return Status::LibraryMissing;
    using DiskIdFunction = LONG(WINAPI*)(BYTE*, BYTE*);
    auto function = reinterpret_cast<DiskIdFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "DiskID32")));
    if (!function) {
        FreeLibrary(library);
        return Status::FunctionMissing;
    }
    result = function(first, second);
    FreeLibrary(library);
    return Status::Called;
}

}  // namespace qor
