#include "platform/win32/file_store_win32.h"

#include <windows.h>

#include "core/text.h"
#include "platform/win32/scoped.h"
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

// The size is asked of the open handle first, so that a file that is too large is never read;
// the reads then stop one byte past the limit, in case the file grows while it is read.
bool Win32FileStore::ReadBytesAtMost(const std::string& path, uint64_t maxBytes, std::string& bytes) {
    bytes.clear();
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    KernelHandle file(h);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size) || size.QuadPart < 0 || static_cast<uint64_t>(size.QuadPart) > maxBytes) return false;
    bytes.reserve(static_cast<size_t>(size.QuadPart));
    char buffer[16384];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(h, buffer, sizeof buffer, &got, nullptr)) {
            bytes.clear();
            return false;
        }
        if (got == 0) return true;
        if (got > maxBytes - bytes.size()) {
            bytes.clear();
            return false;
        }
        bytes.append(buffer, got);
    }
}

std::string Win32FileStore::AnsiToText(const std::string& bytes) { return AnsiToUtf8(bytes); }

bool Win32FileStore::WriteText(const std::string& path, const std::string& text, bool append) {
    return WriteBytes(path, Utf8ToAnsi(text), append);
}

uint64_t Win32FileStore::FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
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

bool Win32FileStore::MoveReplacing(const std::string& from, const std::string& to) {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool Win32FileStore::WriteBytesDurably(const std::string& path, const std::string& bytes) {
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = bytes.empty() ||
              (WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size());
    ok = FlushFileBuffers(h) && ok;
    return CloseHandle(h) && ok;
}

std::vector<FileStore::Entry> Win32FileStore::ListEntries(const std::string& folder) {
    std::vector<Entry> entries;
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(Wide(JoinPath(folder, "*")).c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return entries;
    do {
        Entry e;
        e.name = Narrow(data.cFileName, wcslen(data.cFileName));
        e.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        e.hidden = (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
        e.system = (data.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM) != 0;
        e.link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entries.push_back(e);
    } while (FindNextFileW(h, &data));
    FindClose(h);
    return entries;
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

bool Win32FileStore::IsLink(const std::string& path) {
    DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Encoded and decoded again: a character the code page lacks comes back as "?" or as a
// best-fit look-alike, so the same text comes back only when the code page has every character.
bool Win32FileStore::AnsiCanHold(const std::string& text) {
    return AnsiToUtf8(Utf8ToAnsi(text)) == text;
}

bool Win32FileStore::CreateFolder(const std::string& path) {
    return CreateDirectoryW(Wide(path).c_str(), nullptr) != 0;
}

bool Win32FileStore::RemoveFolder(const std::string& path) {
    return RemoveDirectoryW(Wide(path).c_str()) != 0;
}

namespace {

class FileReader : public ByteReader {
public:
    explicit FileReader(HANDLE h) : h_(h) {}
    bool Read(char* buffer, size_t size, size_t& got) override {
        got = 0;
        DWORD n = 0;
        DWORD ask = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        if (!ReadFile(h_.get(), buffer, ask, &n, nullptr)) return false;
        got = n;
        return true;
    }

private:
    KernelHandle h_;
};

class FileWriter : public ByteWriter {
public:
    explicit FileWriter(HANDLE h) : h_(h) {}
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;
    ~FileWriter() override {
        if (h_) CloseHandle(h_);
    }
    bool Write(const char* data, size_t size) override {
        if (!h_) return false;
        while (size > 0) {
            DWORD ask = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size), n = 0;
            if (!WriteFile(h_, data, ask, &n, nullptr) || n == 0) return false;
            data += n;
            size -= n;
        }
        return true;
    }
    bool Close() override {
        if (!h_) return false;
        bool ok = CloseHandle(h_) != 0;
        h_ = nullptr;
        return ok;
    }

private:
    HANDLE h_;
};

}  // namespace

std::unique_ptr<ByteReader> Win32FileStore::OpenForReading(const std::string& path) {
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<FileReader>(h);
}

std::unique_ptr<ByteWriter> Win32FileStore::CreateForWriting(const std::string& path) {
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<FileWriter>(h);
}

}  // namespace qor::win32
