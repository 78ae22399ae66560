// Run by the i686 build's Wine environment before its first test: exits 0 when it runs as a
// 32-bit program on 64-bit Windows (WoW64, with a SysWOW64 folder), and says what it saw
// otherwise.
#include <windows.h>

#include <cstdio>

int main() {
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemWow64DirectoryW(folder, MAX_PATH);
    std::printf("IsWow64Process=%d SysWOW64=%ls\n", wow64 ? 1 : 0, length ? folder : L"(none)");
    return wow64 && length ? 0 : 1;
}
