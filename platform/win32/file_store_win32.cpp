#include "platform/win32/file_store_win32.h"

#include <windows.h>
#include <sddl.h>

#include <vector>

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

namespace {

// A folder opened as it is (a link is not followed), for listing and, when asked, deleting,
// sharing neither delete nor rename with anyone: while the handle is open the folder keeps its
// name and its place.
HANDLE OpenFolderAsItIs(const std::wstring& path, bool forDelete) {
    return CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE | (forDelete ? DELETE : 0),
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// The attributes read on the handle itself; INVALID_FILE_ATTRIBUTES when they cannot be.
DWORD AttributesOf(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info)) return INVALID_FILE_ATTRIBUTES;
    return info.dwFileAttributes;
}

bool IsPlainFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// True when the folder opened as `h` from `path` is a plain folder, neither its handle nor its
// path saying "link". Windows tells on the handle; Wine opens a Unix link's target and tells
// only on the path, so both are asked.
bool IsPlainFolderAt(HANDLE h, const std::wstring& path) {
    const DWORD named = GetFileAttributesW(path.c_str());
    return IsPlainFolder(AttributesOf(h)) && named != INVALID_FILE_ATTRIBUTES &&
           !(named & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Marks the object of the handle for deletion; it goes when the handle is closed.
bool DeleteByHandle(HANDLE h) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// The path without the "\\?\" (or "\\?\UNC\") that GetFinalPathNameByHandleW puts in front.
std::wstring WithoutLongPrefix(std::wstring path) {
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + path.substr(8);
    if (path.compare(0, 4, L"\\\\?\\") == 0) return path.substr(4);
    return path;
}

std::wstring FinalPath(HANDLE h) {
    std::wstring buffer(1024, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, &buffer[0], static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
    if (n == 0 || n >= buffer.size()) return std::wstring();
    buffer.resize(n);
    return WithoutLongPrefix(buffer);
}

// The folders above `path`, outermost first ("C:\", "C:\Users", ...), without the path itself.
std::vector<std::wstring> FoldersAbove(const std::wstring& path) {
    std::vector<std::wstring> above;
    size_t start = 3;  // after "C:\"
    if (path.compare(0, 2, L"\\\\") == 0) {
        // \\server\share\ is the root of a network path.
        size_t share = path.find(L'\\', 2);
        start = share == std::wstring::npos ? path.size() : path.find(L'\\', share + 1);
        if (start == std::wstring::npos) return above;
        above.push_back(path.substr(0, start + 1));
        ++start;
    } else if (path.size() >= 3) {
        above.push_back(path.substr(0, 3));
    }
    for (size_t sep; (sep = path.find(L'\\', start)) != std::wstring::npos; start = sep + 1)
        above.push_back(path.substr(0, sep));
    return above;
}

class HeldFolderWin32 : public FileStore::HeldFolder {
public:
    ~HeldFolderWin32() override {
        for (HANDLE h : handles_) CloseHandle(h);
    }
    std::string Path() const override { return path_; }
    std::vector<HANDLE> handles_;
    std::string path_;
};

// The entries of the folder whose handle this is (names and attributes, "." and ".." left out),
// listed through that handle itself, so that the folder listed is the one held; false when it
// cannot be listed.
bool ListByHandle(HANDLE folder, std::vector<std::pair<std::wstring, DWORD>>& entries) {
    std::vector<unsigned char> buffer(64 * 1024);
    FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!GetFileInformationByHandleEx(folder, kind, buffer.data(), static_cast<DWORD>(buffer.size())))
            return GetLastError() == ERROR_NO_MORE_FILES;
        kind = FileIdBothDirectoryInfo;
        for (size_t at = 0;;) {
            const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data() + at);
            const std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..") entries.push_back({name, info->FileAttributes});
            if (info->NextEntryOffset == 0) break;
            at += info->NextEntryOffset;
        }
    }
}

bool RemoveBelow(HANDLE held, const std::wstring& folder);

// Removes one entry of a folder being removed: a folder with its content, a file as it is
// (read-only ones are not forced). A link is left alone, neither followed nor removed: whether
// removing it could reach what it leads to depends on the file system, so the folder that holds
// it stays (and the removal answers false).
bool RemoveEntry(const std::wstring& path, DWORD listedAttributes) {
    if (listedAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return false;
    if (!(listedAttributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(path.c_str()) != 0;
    HANDLE h = OpenFolderAsItIs(path, true);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = IsPlainFolderAt(h, path) && RemoveBelow(h, path) && DeleteByHandle(h);
    CloseHandle(h);
    return ok;
}

// Removes everything inside the folder, whose handle (held by the caller) keeps it in place.
bool RemoveBelow(HANDLE held, const std::wstring& folder) {
    std::vector<std::pair<std::wstring, DWORD>> entries;
    if (!ListByHandle(held, entries)) return false;
    bool ok = true;
    for (const auto& [name, attributes] : entries) ok = RemoveEntry(folder + L"\\" + name, attributes) && ok;
    return ok;
}

// True when a folder below `folder` (held by the caller) is a link or cannot be looked at.
bool LinkBelow(HANDLE held, const std::wstring& folder) {
    std::vector<std::pair<std::wstring, DWORD>> entries;
    if (!ListByHandle(held, entries)) return true;
    for (const auto& [name, attributes] : entries) {
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        const std::wstring path = folder + L"\\" + name;
        HANDLE h = OpenFolderAsItIs(path, false);
        if (h == INVALID_HANDLE_VALUE) return true;
        const bool link = !IsPlainFolderAt(h, path) || LinkBelow(h, path);
        CloseHandle(h);
        if (link) return true;
    }
    return false;
}

std::wstring Trimmed(const std::string& folder) {
    std::wstring w = Wide(folder);
    while (w.size() > 3 && w.back() == L'\\') w.pop_back();
    return w;
}

}  // namespace

std::unique_ptr<FileStore::HeldFolder> Win32FileStore::CreatePrivateFolder(const std::string& path) {
    const std::wstring wpath = Trimmed(path);
    // Full access for the administrators and the system, nobody else; nothing inherited from the
    // folder above, everything made inside inherits the same.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)",
                                                              SDDL_REVISION_1, &descriptor, nullptr))
        return nullptr;
    SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};
    const bool made = CreateDirectoryW(wpath.c_str(), &security) != 0;
    LocalFree(descriptor);
    if (!made) return nullptr;
    auto held = std::make_unique<HeldFolderWin32>();
    HANDLE self = OpenFolderAsItIs(wpath, false);
    if (self == INVALID_HANDLE_VALUE) return nullptr;
    held->handles_.push_back(self);
    const std::wstring final = FinalPath(self);
    if (final.empty() || !IsPlainFolderAt(self, wpath)) return nullptr;
    // The final path reaches no link; holding each folder on it keeps it so.
    for (const std::wstring& above : FoldersAbove(final)) {
        HANDLE h = OpenFolderAsItIs(above, false);
        if (h == INVALID_HANDLE_VALUE) return nullptr;
        held->handles_.push_back(h);
        const DWORD attributes = AttributesOf(h);
        // A drive root may carry a reparse point of its own (a mounted volume); below it none.
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (above.size() > 3 && !IsPlainFolderAt(h, above)))
            return nullptr;
    }
    held->path_ = Narrow(final);
    return held;
}

bool Win32FileStore::RemoveTreeSafely(const std::string& folder) {
    const std::wstring root = Trimmed(folder);
    std::vector<HANDLE> chain;
    for (const std::wstring& above : FoldersAbove(root)) {
        HANDLE h = OpenFolderAsItIs(above, false);
        if (h != INVALID_HANDLE_VALUE) chain.push_back(h);
    }
    HANDLE h = OpenFolderAsItIs(root, true);
    bool ok = false;
    if (h != INVALID_HANDLE_VALUE) {
        // The root itself a link: left alone, whatever it leads to.
        if (IsPlainFolderAt(h, root)) ok = RemoveBelow(h, root) && DeleteByHandle(h);
        CloseHandle(h);
    }
    for (HANDLE c : chain) CloseHandle(c);
    return ok;
}

bool Win32FileStore::TreeHasLink(const std::string& folder) {
    const std::wstring root = Trimmed(folder);
    HANDLE h = OpenFolderAsItIs(root, false);
    if (h == INVALID_HANDLE_VALUE) return true;
    const bool link = !IsPlainFolderAt(h, root) || LinkBelow(h, root);
    CloseHandle(h);
    return link;
}

}  // namespace qor::win32
