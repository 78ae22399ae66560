// The demo package's QOR.exe (not shipped): stands in for the launcher inside the demo archive.
// In test builds it appends its command line to the file named by QOR_DEMO_RUN_LOG when that is
// set (so tests can see it was started); otherwise it says what it is. Then it ends.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
#ifdef QOR_TEST_HOOKS
    wchar_t log[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"QOR_DEMO_RUN_LOG", log, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        HANDLE h = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            const wchar_t* line = GetCommandLineW();
            int bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
            if (bytes > 1) {
                char* text = new char[bytes + 1];
                WideCharToMultiByte(CP_UTF8, 0, line, -1, text, bytes, nullptr, nullptr);
                text[bytes - 1] = '\r';
                text[bytes] = '\n';
                DWORD written = 0;
                WriteFile(h, text, bytes + 1, &written, nullptr);
                delete[] text;
            }
            CloseHandle(h);
        }
        return 0;
    }
#endif
    MessageBoxW(nullptr, L"这是QOR安装包演示用的程序。", L"QOR", MB_OK | MB_ICONINFORMATION);
    return 0;
}
