// Run by the i686 build's Wine environment before its first test: exits 0 when it runs as a
// 32-bit program on 64-bit Windows (WoW64, with a SysWOW64 folder), and says what it saw
// otherwise. With "--windows" it also needs working device contexts, without which a 32-bit
// program's windows show no text (Wine 8's WoW64 mode has none).
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemWow64DirectoryW(folder, MAX_PATH);
    HDC dc = CreateCompatibleDC(nullptr);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
    if (dc) DeleteDC(dc);
    std::printf("IsWow64Process=%d SysWOW64=%ls device contexts=%s\n", wow64 ? 1 : 0, length ? folder : L"(none)",
                dpi ? "yes" : "no");
    const bool windows = argc > 1 && std::strcmp(argv[1], "--windows") == 0;
    return wow64 && length && (!windows || dpi) ? 0 : 1;
}
