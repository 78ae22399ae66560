#pragma once

#include "platform/program_runner.h"

namespace qor::win32 {

// CreateProcess with the window style in STARTUPINFO. Test builds also append every command
// line they start, one UTF-8 line each, to the file named by QOR_PROGRAM_LOG, so that
// end-to-end tests can see exactly what a program started.
class Win32ProgramRunner : public ProgramRunner {
public:
    uint32_t Start(const std::string& commandLine, WindowStyle style) override;
    bool WaitForExit(uint32_t processId, uint32_t* exitCode) override;
};

}  // namespace qor::win32
