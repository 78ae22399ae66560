#include "platform/win32/drive_access_win32.h"

#include <windows.h>

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

DiskIdLibrary::Status Win32DiskIdLibrary::Call(uint8_t* first, uint8_t* second, int32_t& result) {
    // Found by the normal search order: the system folder, where the launcher puts it, or the
    // folder of the program that created the object.
    HMODULE library = LoadLibraryW(L"DiskID32.dll");
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
