#include "platform/win32/system_queries_win32.h"

#include <windows.h>
#include <shlobj.h>
#include "platform/win32/lazy_imports.h"

#include <vector>

#include "platform/win32/unicode.h"

namespace qor::win32 {
namespace {

// The folder queries fill a 200-character buffer; a longer answer counts as a failed query.
constexpr UINT kFolderBuffer = 200;

std::string FolderFrom(UINT (WINAPI *query)(LPWSTR, UINT)) {
    wchar_t buffer[kFolderBuffer];
    UINT n = query(buffer, kFolderBuffer);
    if (n == 0 || n >= kFolderBuffer) return std::string();
    return Narrow(buffer, n);
}

}  // namespace

std::string Win32SystemQueries::WindowsFolder() { return FolderFrom(GetWindowsDirectoryW); }

std::string Win32SystemQueries::SystemFolder() { return FolderFrom(GetSystemDirectoryW); }

bool Win32SystemQueries::FileVersion(const std::string& path, FileVersionParts& version) {
    std::wstring wpath = Wide(path);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(wpath.c_str(), &handle);
    if (size == 0) return false;
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(wpath.c_str(), 0, size, block.data())) return false;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof(VS_FIXEDFILEINFO))
        return false;
    version.major = HIWORD(info->dwFileVersionMS);
    version.minor = LOWORD(info->dwFileVersionMS);
    version.build = HIWORD(info->dwFileVersionLS);
    version.revision = LOWORD(info->dwFileVersionLS);
    return true;
}

// A drive answers when its root has a drive type other than "no root directory".
bool Win32SystemQueries::DriveExists(const std::string& drive) {
    if (drive.size() != 2 || drive[1] != ':') return false;
    std::wstring root = Wide(drive) + L"\\";
    return GetDriveTypeW(root.c_str()) > DRIVE_NO_ROOT_DIR;
}

std::vector<std::string> Win32SystemQueries::OwnedFolders() {
    std::vector<std::string> folders;
    // CSIDL_SYSTEMX86 is SysWOW64 on 64-bit Windows, whichever the program's bitness.
    const int ids[] = {CSIDL_WINDOWS,          CSIDL_SYSTEM,           CSIDL_SYSTEMX86,  CSIDL_PROGRAM_FILES,
                       CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROFILE,
                       CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL,         CSIDL_COMMON_DESKTOPDIRECTORY,
                       CSIDL_COMMON_DOCUMENTS, CSIDL_APPDATA,          CSIDL_LOCAL_APPDATA,
                       CSIDL_COMMON_APPDATA};
    for (int id : ids) {
        wchar_t path[MAX_PATH] = {};
        if (SHGetSpecialFolderPathW(nullptr, path, id, FALSE) && path[0]) folders.push_back(Narrow(path, wcslen(path)));
    }
    // The folder that holds every user's profile.
    wchar_t profiles[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (GetProfilesDirectoryW(profiles, &size) && profiles[0]) folders.push_back(Narrow(profiles, wcslen(profiles)));
    // The driver folder, and the name under which a 32-bit program on 64-bit Windows reaches the
    // 64-bit system folder (it exists only for such a program, so it is named, not looked up).
    const std::string windows = WindowsFolder();
    if (!windows.empty()) {
        folders.push_back(windows + "\\System32\\drivers");
        folders.push_back(windows + "\\Sysnative");
    }
    return folders;
}

std::string Win32SystemQueries::ComponentSystemFolder() {
    // A 64-bit Windows names its folder of 32-bit system files; a 32-bit one has no such folder
    // (the call fails) and keeps them in its system directory.
    const std::string wow64 = FolderFrom(GetSystemWow64DirectoryW);
    const DWORD attributes = wow64.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(Wide(wow64).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return wow64;
    return SystemFolder();
}

std::string Win32SystemQueries::ProgramFilesFolder() {
    wchar_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, path, CSIDL_PROGRAM_FILES, FALSE) || !path[0]) return std::string();
    return Narrow(path, wcslen(path));
}

std::string Win32SystemQueries::TempFolder() {
    wchar_t path[MAX_PATH + 2] = {};
    DWORD n = GetTempPathW(MAX_PATH + 1, path);
    if (n == 0 || n > MAX_PATH) return std::string();
    while (n > 3 && path[n - 1] == L'\\') --n;
    return Narrow(path, n);
}

std::string Win32SystemQueries::CanonicalPath(const std::string& path) {
    std::wstring w = Wide(path);
    for (wchar_t& c : w)
        if (c == L'/') c = L'\\';
    // The longest leading part that exists is opened and named as the file system names it;
    // what follows it (not made yet) is kept as given.
    std::wstring rest;
    while (!w.empty()) {
        while (w.size() > 3 && w.back() == L'\\') w.pop_back();
        HANDLE h = CreateFileW(w.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            std::wstring buffer(1024, L'\0');
            DWORD n = GetFinalPathNameByHandleW(h, &buffer[0], static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
            CloseHandle(h);
            if (n == 0 || n >= buffer.size()) {
                // No final name: at least the short names made long.
                n = GetLongPathNameW(w.c_str(), &buffer[0], static_cast<DWORD>(buffer.size()));
                if (n == 0 || n >= buffer.size()) return path;
            }
            buffer.resize(n);
            if (buffer.compare(0, 8, L"\\\\?\\UNC\\") == 0) buffer = L"\\\\" + buffer.substr(8);
            else if (buffer.compare(0, 4, L"\\\\?\\") == 0) buffer = buffer.substr(4);
            while (buffer.size() > 3 && buffer.back() == L'\\') buffer.pop_back();
            std::wstring whole = buffer + rest;
            while (whole.size() > 3 && whole.back() == L'\\') whole.pop_back();
            return Narrow(whole);
        }
        const size_t sep = w.find_last_of(L'\\');
        if (sep == std::wstring::npos || sep < 2) break;
        rest = w.substr(sep) + rest;
        w.resize(sep);
    }
    return path;
}

std::string Win32SystemQueries::EnvironmentValue(const std::string& name) {
    const std::wstring wname = Wide(name);
    DWORD n = GetEnvironmentVariableW(wname.c_str(), nullptr, 0);
    if (n == 0) return std::string();
    std::wstring value(n, L'\0');
    n = GetEnvironmentVariableW(wname.c_str(), &value[0], n);
    value.resize(n < value.size() ? n : 0);
    return Narrow(value);
}

// The system clock is UTC; FILETIME counts 100 ns from 1601-01-01.
bool Win32SystemQueries::UtcNow(int64_t& seconds) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const uint64_t kEpochTicks = 116444736000000000ULL;
    if (ticks < kEpochTicks) return false;
    seconds = static_cast<int64_t>((ticks - kEpochTicks) / 10000000ULL);
    return true;
}

}  // namespace qor::win32
