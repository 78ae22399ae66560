// Test stand-in for the outside disk-identification library DiskID32.dll: one stdcall function
// filling two 32-byte buffers. Its answer is chosen by the test through the environment of the
// calling process, read afresh on every call:
//   QOR_DISKID32_RESULT  the return value (decimal; 1 when unset)
//   QOR_DISKID32_TEXT    the bytes written to the second buffer (at most 32; "\0" stands for a
//                        zero byte and "\\" for a backslash); "  STANDIN-ID" when unset
//   QOR_DISKID32_LOG     when set, a file to which every call appends the full path of this
//                        library and CR LF, so that a test sees which copy was loaded
// The first buffer always receives a marker text, which callers must ignore. Both buffers are
// written whatever the return value.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::string Environment(const char* name, const char* fallback) {
    char value[512];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
    if (length == 0 || length >= sizeof(value)) return fallback;
    return std::string(value, length);
}

std::string Unescape(const std::string& text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            if (text[i + 1] == '0') {
                bytes += '\0';
                ++i;
                continue;
            }
            if (text[i + 1] == '\\') {
                bytes += '\\';
                ++i;
                continue;
            }
        }
        bytes += text[i];
    }
    return bytes;
}

void LogOwnPath() {
    const std::string log = Environment("QOR_DISKID32_LOG", "");
    if (log.empty()) return;
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(reinterpret_cast<void*>(&LogOwnPath)),
                            &self)) {
        return;
    }
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string line = std::string(path, length) + "\r\n";
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" LONG WINAPI DiskID32(BYTE* first, BYTE* second) {
    LogOwnPath();
    const std::string marker = "FIRST-BUFFER-NOT-USED";
    CopyMemory(first, marker.data(), marker.size());
    std::string bytes = Unescape(Environment("QOR_DISKID32_TEXT", "  STANDIN-ID"));
    if (bytes.size() > 32) bytes.resize(32);
    CopyMemory(second, bytes.data(), bytes.size());
    return std::strtol(Environment("QOR_DISKID32_RESULT", "1").c_str(), nullptr, 10);
}
