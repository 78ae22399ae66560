// Starting outside programs from a command line, as the programs start regsvr32, reg, regedit,
// cmd, the extractor, the updater and the launcher. Only the extractor is ever waited for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qor {

// The window the started program gets.
enum class WindowStyle {
    Hidden,           // no window shown
    NormalFocus,      // a normal window that takes the focus
    MinimizedFocus,   // minimized, with the focus
    MinimizedNoFocus, // minimized, without the focus
};

class ProgramRunner {
public:
    virtual ~ProgramRunner() = default;

    // Starts the command line (program and arguments as the command line of a new process);
    // the new process's id, or 0 when it could not be started.
    virtual uint32_t Start(const std::string& commandLine, WindowStyle style) = 0;

    // Starts the command line like Start and waits without a time limit until that process
    // ends, on the process handle the start gave (never on a process looked up again by its id,
    // which another process may have taken by then). The program's exit code; nothing when it
    // could not be started, and the caller then goes on at once.
    virtual std::optional<uint32_t> StartAndWait(const std::string& commandLine, WindowStyle style) = 0;

    // Starts the command line for a caller that never reads the outcome (neither the process
    // id nor whether it started). A runner may make such starts after the call returns, but
    // always in the order they were asked for. By default this is Start.
    virtual void StartAndForget(const std::string& commandLine, WindowStyle style) { Start(commandLine, style); }
};

}  // namespace qor
