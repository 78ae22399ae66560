// A program planted under the name of a system program (reg.exe, cmd.exe, ...) or of one of
// ours, as someone who can write to the folder would plant it: it only records that it ran,
// writing its command line (UTF-8) to "<its own file>.ran" beside itself, and ends.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t path[MAX_PATH + 8];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    lstrcatW(path, L".ran");
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    char line[4096];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, line, sizeof line, nullptr, nullptr);
    DWORD written = 0;
    if (bytes > 1) WriteFile(file, line, static_cast<DWORD>(bytes - 1), &written, nullptr);
    CloseHandle(file);
    return 0;
}
