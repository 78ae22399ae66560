#pragma once

#include "platform/program_runner.h"

namespace qor::win32 {

// CreateProcess with the window style in STARTUPINFO. A program named by a bare name (reg,
// cmd, regsvr32, regedit, ...) is a system program: it is started by its full path in the
// system folder, or else in the Windows folder, with the system folder as its current folder,
// and never from anywhere else (the program's own folder and the current folder come first in
// Windows' own search and may hold planted copies). The command-line text stays as given.
// Test builds also append every command line they start, one UTF-8 line each, to the file
// named by QOR_PROGRAM_LOG, so that end-to-end tests can see exactly what a program started.
class Win32ProgramRunner : public ProgramRunner {
public:
    uint32_t Start(const std::string& commandLine, WindowStyle style) override;
    std::optional<uint32_t> StartAndWait(const std::string& commandLine, WindowStyle style) override;
};

}  // namespace qor::win32
