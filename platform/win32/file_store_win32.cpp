#include "platform/win32/file_store_win32.h"

#include <windows.h>

#include "core/text.h"
#include "platform/win32/unicode.h"

namespace qor::win32 {

bool Win32FileStore::FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileStore::FolderExists(const std::string& path) {
    DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileStore::ReadText(const std::string& path, std::string& text) {
    text.clear();
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::string bytes;
    char buffer[16384];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(h, buffer, sizeof buffer, &got, nullptr)) && got > 0) bytes.append(buffer, got);
    CloseHandle(h);
    if (!ok) return false;
    text = AnsiToUtf8(bytes);
    return true;
}

bool Win32FileStore::WriteText(const std::string& path, const std::string& text, bool append) {
    return WriteBytes(path, Utf8ToAnsi(text), append);
}

bool Win32FileStore::WriteBytes(const std::string& path, const std::string& bytes, bool append) {
    HANDLE h = CreateFileW(Wide(path).c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                           FILE_SHARE_READ, nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = bytes.empty() ||
              (WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size());
    CloseHandle(h);
    return ok;
}

std::vector<std::string> Win32FileStore::ListFiles(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(Wide(JoinPath(folder, "*")).c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(Narrow(data.cFileName, wcslen(data.cFileName)));
    } while (FindNextFileW(h, &data));
    FindClose(h);
    return names;
}

bool Win32FileStore::RenameFile(const std::string& from, const std::string& to) {
    return MoveFileW(Wide(from).c_str(), Wide(to).c_str()) != 0;
}

bool Win32FileStore::CopyFileTo(const std::string& from, const std::string& to) {
    return CopyFileW(Wide(from).c_str(), Wide(to).c_str(), FALSE) != 0;
}

bool Win32FileStore::NormalFileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

bool Win32FileStore::RemoveFile(const std::string& path) {
    return DeleteFileW(Wide(path).c_str()) != 0;
}

}  // namespace qor::win32
