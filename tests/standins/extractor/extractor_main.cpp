// UnRAR.exe stand-in for the tests: the console extractor's command line
//   UnRAR.exe x -o+ ARCHIVE DEST
// extracts a test archive (archive_format.h) into DEST with its folder structure, overwriting
// existing files. Entries are written as they are read, so a damaged archive leaves what came
// before the damage. Exit codes: 0 done, 2 bad command line, 3 archive unreadable or damaged,
// 4 a file or folder could not be written.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/standins/extractor/archive_format.h"

namespace {

std::wstring Wide(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

bool ReadWhole(const std::wstring& path, std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    char buffer[65536];
    DWORD got = 0;
    bool ok;
    while ((ok = ReadFile(h, buffer, sizeof buffer, &got, nullptr)) && got > 0) bytes.append(buffer, got);
    CloseHandle(h);
    return ok;
}

// Creates every folder on the way to `path` (which names a folder).
void MakeFolders(const std::wstring& path) {
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryW(path.c_str(), nullptr);
}

bool WriteWhole(const std::wstring& path, const std::string& data) {
    size_t sep = path.find_last_of(L'\\');
    if (sep != std::wstring::npos) MakeFolders(path.substr(0, sep));
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = data.empty() || (WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
                               written == data.size());
    CloseHandle(h);
    return ok;
}

// The command line split as the console extractor splits it: blanks separate arguments, double
// quotes group, and a backslash is always a plain character, so a quoted destination ending in
// "\" ("C:\QOR\") keeps its backslash and ends at the quote (the C runtime's rules would read
// \" as an escaped quote instead).
std::vector<std::wstring> Arguments(const wchar_t* line) {
    std::vector<std::wstring> args;
    const wchar_t* p = line;
    while (*p) {
        while (*p == L' ' || *p == L'\t') ++p;
        if (!*p) break;
        std::wstring arg;
        bool quoted = false;
        for (; *p && (quoted || (*p != L' ' && *p != L'\t')); ++p) {
            if (*p == L'"') quoted = !quoted;
            else arg.push_back(*p);
        }
        args.push_back(arg);
    }
    return args;
}

}  // namespace

int wmain(int, wchar_t**) {
    const std::vector<std::wstring> argv = Arguments(GetCommandLineW());
    const size_t argc = argv.size();
    if (argc != 5 || argv[1] != L"x" || argv[2] != L"-o+") return 2;
    std::string bytes;
    if (!ReadWhole(argv[3], bytes)) return 3;
    std::wstring dest = argv[4];
    while (!dest.empty() && dest.back() == L'\\') dest.pop_back();
    MakeFolders(dest);
    bool writeFailed = false;
    bool ok = qor::standin::ReadArchive(bytes, [&](const qor::standin::ArchiveEntry& e) {
        std::wstring path = dest + L"\\" + Wide(e.path);
        if (e.folder) MakeFolders(path);
        else if (!WriteWhole(path, e.data)) writeFailed = true;
        return true;
    });
    if (!ok) return 3;
    return writeFailed ? 4 : 0;
}
