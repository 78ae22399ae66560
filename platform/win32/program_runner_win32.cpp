#include "platform/win32/program_runner_win32.h"

#include <windows.h>

#include "platform/win32/scoped.h"
#include "platform/win32/unicode.h"

namespace qor::win32 {
namespace {

WORD ShowCommand(WindowStyle style) {
    switch (style) {
        case WindowStyle::Hidden: return SW_HIDE;
        case WindowStyle::NormalFocus: return SW_SHOWNORMAL;
        case WindowStyle::MinimizedFocus: return SW_SHOWMINIMIZED;
        case WindowStyle::MinimizedNoFocus: return SW_SHOWMINNOACTIVE;
    }
    return SW_SHOWNORMAL;
}

#ifdef QOR_TEST_HOOKS
void LogStart(const std::string& commandLine) {
    wchar_t target[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"QOR_PROGRAM_LOG", target, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    KernelHandle log(CreateFileW(target, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log.valid()) return;
    std::string line = commandLine + "\r\n";
    DWORD written = 0;
    WriteFile(log.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}
#endif

}  // namespace

uint32_t Win32ProgramRunner::Start(const std::string& commandLine, WindowStyle style) {
#ifdef QOR_TEST_HOOKS
    LogStart(commandLine);
#endif
    std::wstring command = Wide(commandLine);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = ShowCommand(style);
    PROCESS_INFORMATION process = {};
    if (command.empty() || !CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                           &startup, &process))
        return 0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return process.dwProcessId;
}

bool Win32ProgramRunner::WaitForExit(uint32_t processId, uint32_t* exitCode) {
    if (processId == 0) return false;
    KernelHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process.valid()) return false;
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    if (exitCode && GetExitCodeProcess(process.get(), &code)) *exitCode = code;
    return true;
}

}  // namespace qor::win32
