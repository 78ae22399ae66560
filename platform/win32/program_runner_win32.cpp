#include "platform/win32/program_runner_win32.h"

#include <windows.h>

#include "core/process_rules.h"
#include "platform/win32/scoped.h"
#include "platform/win32/system_folder.h"
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

// The program to start and the folder to start it in. A bare program name is looked for in the
// system folder, then in the Windows folder (regedit lives there on 32-bit Windows), and the
// program gets the system folder as its current folder, so that what it looks up by name itself
// (cmd's timeout) resolves there too. Empty `program` when a bare name is found in neither: the
// command is then not started at all. A line that names its program by a path keeps
// CreateProcess's own reading and the current folder of this process.
struct ProgramToStart {
    std::wstring program;
    std::wstring folder;
    bool bare = false;
};

ProgramToStart Resolve(const std::string& commandLine) {
    ProgramToStart target;
    const std::string file = BareProgramFile(commandLine);
    if (file.empty()) return target;
    target.bare = true;
    target.folder = SystemFolderPath();
    for (const std::wstring& folder : {target.folder, WindowsFolderPath()}) {
        if (folder.empty()) continue;
        const std::wstring path = folder + L"\\" + Wide(file);
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            target.program = path;
            break;
        }
    }
    return target;
}

// Starts the command line; the process's handle and id, or false when it did not start.
bool Create(const std::string& commandLine, WindowStyle style, PROCESS_INFORMATION& process) {
#ifdef QOR_TEST_HOOKS
    LogStart(commandLine);
#endif
    std::wstring command = Wide(commandLine);
    if (command.empty()) return false;
    const ProgramToStart launch = Resolve(commandLine);
    if (launch.bare && launch.program.empty()) return false;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = ShowCommand(style);
    // A hidden console program gets the null device as its input and output: nobody could answer
    // a question it asked in a console nobody sees (the extractor asks whether to retry when
    // the disk is full), so the question ends the program instead of waiting for ever.
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    KernelHandle nul;
    if (style == WindowStyle::Hidden) {
        nul.Reset(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                              OPEN_EXISTING, 0, nullptr));
        if (nul.valid()) {
            startup.dwFlags |= STARTF_USESTDHANDLES;
            startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.get();
        }
    }
    process = {};
    if (!CreateProcessW(launch.bare ? launch.program.c_str() : nullptr, &command[0], nullptr, nullptr, nul.valid(), 0,
                        nullptr, launch.folder.empty() ? nullptr : launch.folder.c_str(), &startup, &process))
        return false;
    CloseHandle(process.hThread);
    return true;
}

}  // namespace

uint32_t Win32ProgramRunner::Start(const std::string& commandLine, WindowStyle style) {
    PROCESS_INFORMATION process;
    if (!Create(commandLine, style, process)) return 0;
    CloseHandle(process.hProcess);
    return process.dwProcessId;
}

std::optional<uint32_t> Win32ProgramRunner::StartAndWait(const std::string& commandLine, WindowStyle style) {
    PROCESS_INFORMATION process;
    if (!Create(commandLine, style, process)) return std::nullopt;
    KernelHandle handle(process.hProcess);
    WaitForSingleObject(handle.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(handle.get(), &code);
    return code;
}

}  // namespace qor::win32
