#include "platform/win32/system_queries_win32.h"

#include <windows.h>

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

}  // namespace qor::win32
