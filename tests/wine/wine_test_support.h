// Helpers for the tests of the Win32 adapters: build-tree paths as Windows sees them, scratch
// folders under the temporary folder, raw file bytes, test processes and polling.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <winioctl.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/management_win32.h"
#include "platform/win32/unicode.h"

namespace qor::test {

// A Unix path of the build tree ("/a/b") as Wine shows it on drive Z: ("Z:\a\b"), in UTF-8.
inline std::string WinePath(const char* unixPath) {
    std::string path = "Z:";
    for (const char* p = unixPath; *p; ++p) path += *p == '/' ? '\\' : *p;
    return path;
}

inline bool IsFile(const std::string& path) {
    DWORD a = GetFileAttributesW(win32::Wide(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool IsFolder(const std::string& path) {
    DWORD a = GetFileAttributesW(win32::Wide(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool MakeFolder(const std::string& path) {
    return CreateDirectoryW(win32::Wide(path).c_str(), nullptr) != 0;
}

// Removes a folder with everything in it (read-only files included).
inline void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(h, &data));
        FindClose(h);
    }
    RemoveDirectoryW(folder.c_str());
}

// Wine 8's WoW64 mode runs 32-bit programs without device contexts: its wow64win.dll does not
// pass the calls that make and use one (CreateCompatibleDC, GetDeviceCaps, GetTextMetricsW,
// ExtTextOutW, ...) on to the 64-bit side. Such a process draws no text and measures none, and
// Wine's own edit control dereferences the missing font data as soon as it holds any text (a page
// fault in ScriptString_pSize). True in such a process; false on Windows, in a 64-bit process and
// under a Wine whose WoW64 passes these calls on.
inline bool DeviceContextsAreMissing() {
    HDC dc = CreateCompatibleDC(nullptr);
    const bool missing = !dc || GetDeviceCaps(dc, LOGPIXELSY) == 0;
    if (dc) DeleteDC(dc);
    return missing;
}

// Skips a test that drives a window with an edit control (the installer's wizard and uninstall
// window, the updater's window) where such a window cannot exist, saying why.
#define QOR_SKIP_WHERE_EDIT_CONTROLS_CRASH()                                                                \
    do {                                                                                                   \
        if (::qor::test::DeviceContextsAreMissing())                                                       \
            GTEST_SKIP() << "this Wine runs 32-bit programs without device contexts (WoW64 of Wine 8): "   \
                            "its edit control crashes as soon as it holds text";                          \
    } while (false)

// A new, empty folder under the temporary folder, removed with everything in it at the end.
// `stem` may hold Chinese text and blanks.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& stem) {
        wchar_t temp[MAX_PATH + 1] = {};
        DWORD n = GetTempPathW(MAX_PATH + 1, temp);
        std::string base = win32::Narrow(temp, n);
        if (!base.empty() && base.back() == '\\') base.pop_back();
        static unsigned counter = 0;
        for (unsigned attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            std::string candidate = base + "\\" + stem + " " + std::to_string(GetCurrentProcessId()) +
                                    "-" + std::to_string(++counter);
            if (MakeFolder(candidate)) path_ = candidate;
        }
    }
    ~ScratchFolder() {
        if (!path_.empty()) RemoveTree(win32::Wide(path_));
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder, without a trailing separator; empty when it could not be made.
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// The file's bytes exactly as stored; `ok` false when it cannot be read.
inline std::string ReadBytes(const std::string& path, bool* ok = nullptr) {
    std::string bytes;
    HANDLE h = CreateFileW(win32::Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ok) *ok = h != INVALID_HANDLE_VALUE;
    if (h == INVALID_HANDLE_VALUE) return bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(h);
    return bytes;
}

// Replaces the file's content with exactly these bytes.
inline bool WriteBytes(const std::string& path, const std::string& bytes) {
    HANDLE h = CreateFileW(win32::Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = bytes.empty() ||
              (WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size());
    CloseHandle(h);
    return ok;
}

// Calls `done` until it answers true or the time is up; the last answer.
template <typename Done>
bool PollUntil(Done done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= end) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// COM on this (the test program's main) thread, set up once as the programs set it up.
inline void UseComOnThisThread() {
    static const bool ready = [] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        win32::InitializeComSecurity();
        return true;
    }();
    (void)ready;
}

// Processes started by a test; whatever still runs at the end is ended and waited for, so that
// the scratch folder holding the images can be removed.
class ProcessSet {
public:
    ProcessSet() = default;
    ProcessSet(const ProcessSet&) = delete;
    ProcessSet& operator=(const ProcessSet&) = delete;
    ~ProcessSet() {
        for (HANDLE h : handles_) {
            if (WaitForSingleObject(h, 0) == WAIT_TIMEOUT) {
                TerminateProcess(h, 1);
                WaitForSingleObject(h, 10000);
            }
            CloseHandle(h);
        }
    }

    // Starts the program with no arguments; its process handle, or null when it did not start.
    HANDLE Start(const std::string& image) {
        std::wstring command = L"\"" + win32::Wide(image) + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process))
            return nullptr;
        CloseHandle(process.hThread);
        handles_.push_back(process.hProcess);
        return process.hProcess;
    }

private:
    std::vector<HANDLE> handles_;
};

// The system programs that the programs start by bare name.
inline const std::vector<std::string>& SystemProgramNames() {
    static const std::vector<std::string> names = {"reg.exe", "cmd.exe", "regsvr32.exe", "regedit.exe",
                                                   "timeout.exe"};
    return names;
}

// Plants copies of the stand-in `planted` (which records that it ran in "<its file>.ran")
// under the system programs' names into the folder, as someone who can write there would.
inline bool PlantSystemPrograms(const std::string& planted, const std::string& folder) {
    for (const std::string& name : SystemProgramNames())
        if (!CopyFileW(win32::Wide(planted).c_str(), win32::Wide(folder + "\\" + name).c_str(), FALSE)) return false;
    return true;
}

// The planted programs of the folder that ran, each with the command line it got.
inline std::vector<std::string> PlantedProgramsThatRan(const std::string& folder) {
    std::vector<std::string> ran;
    for (const std::string& name : SystemProgramNames()) {
        const std::string marker = folder + "\\" + name + ".ran";
        if (IsFile(marker)) ran.push_back(name + ": " + ReadBytes(marker));
    }
    return ran;
}

inline bool HasEnded(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

// The Unix path of a Windows path, through Wine's own export; empty when there is none.
inline std::string UnixPath(const std::string& path) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return "";
    char* unix = toUnix(win32::Wide(path).c_str());
    if (!unix) return "";
    std::string out = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

// Starts a Linux command line (Unix paths), without waiting for it; false when it did not start.
inline bool StartLinuxProgram(const std::string& commandLine) {
    std::wstring command = win32::Wide(commandLine);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return true;
}

// Starts a Linux command line (Unix paths) and gives the content of `doneFile` (a Windows path)
// once the command has written it; empty when it could not start or wrote nothing in time. Wine
// starts the Linux program but gives no handle that waits for it: the scripts it starts write
// that file when they are done.
inline std::string RunUnixScript(const std::string& commandLine, const std::string& doneFile,
                                 std::chrono::seconds deadline) {
    if (!StartLinuxProgram(commandLine)) return "";
    if (!PollUntil([&] { return IsFile(doneFile); }, deadline)) return "";
    return ReadBytes(doneFile);
}

// Makes `link` (a new folder) a junction to `target`. Wine refuses to set a reparse point but
// shows a Unix symbolic link to a folder as a folder link: that is made instead, through the
// Linux program ln. False when neither can be made.
inline bool MakeJunction(const std::string& link, const std::string& target) {
    auto isLink = [&] {
        const DWORD a = GetFileAttributesW(win32::Wide(link).c_str());
        return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
    };
    if (!CreateDirectoryW(win32::Wide(link).c_str(), nullptr)) return false;
    HANDLE h = CreateFileW(win32::Wide(link).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const std::wstring substitute = L"\\??\\" + win32::Wide(target), print = win32::Wide(target);
    std::vector<unsigned char> buffer(8 + 8 + (substitute.size() + print.size() + 2) * 2);
    auto u16 = [&](size_t at, size_t v) { buffer[at] = v & 0xFF; buffer[at + 1] = (v >> 8) & 0xFF; };
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    memcpy(buffer.data(), &tag, 4);
    u16(4, buffer.size() - 8);
    u16(8, 0);
    u16(10, substitute.size() * 2);
    u16(12, (substitute.size() + 1) * 2);
    u16(14, print.size() * 2);
    memcpy(buffer.data() + 16, substitute.c_str(), (substitute.size() + 1) * 2);
    memcpy(buffer.data() + 16 + (substitute.size() + 1) * 2, print.c_str(), (print.size() + 1) * 2);
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()),
                                    nullptr, 0, &returned, nullptr);
    CloseHandle(h);
    if (ok && isLink()) return true;
    RemoveDirectoryW(win32::Wide(link).c_str());
    const std::string unixTarget = UnixPath(target), unixLink = UnixPath(link);
    if (unixTarget.empty() || unixLink.empty()) return false;
    return StartLinuxProgram("/bin/ln -s \"" + unixTarget + "\" \"" + unixLink + "\"") &&
           PollUntil(isLink, std::chrono::seconds(20));
}

// Removes a link that MakeJunction made, as a link (what it leads to stays); true when it is gone.
// Under Wine the link is a Unix one, which Wine's own removal would treat as its target: it goes
// through the Linux program rm.
inline bool RemoveJunction(const std::string& link) {
    const std::wstring w = win32::Wide(link);
    auto gone = [&] {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(w.c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return true;
        FindClose(find);
        return false;
    };
    const std::string unixLink = UnixPath(link);
    if (unixLink.empty()) return RemoveDirectoryW(w.c_str()) && gone();
    return StartLinuxProgram("/bin/rm -f \"" + unixLink + "\"") && PollUntil(gone, std::chrono::seconds(20));
}

}  // namespace qor::test
