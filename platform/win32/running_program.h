// Facts about the running program itself: its file, its folder, its command-line arguments and
// whether another instance of it runs.
#pragma once

#include <string>

namespace qor::win32 {

// Full path of the running program's file.
std::wstring ModulePath();
// Folder of the running program's file, without a trailing separator.
std::string ModuleFolder();

// The command line after the program name. The program name may be quoted, or unquoted with
// blanks in it (a shortcut or an Uninstall entry may start it so): a line that begins with the
// program's own path is cut after that path. `skipAllBlanks` drops every blank that follows
// the name; otherwise only the one blank that separates it from the arguments.
std::string CommandArguments(bool skipAllBlanks);

// Which copies of a program share one single-instance lock.
enum class InstanceScope {
    ThisProgramFile,  // copies started from the same file
    EveryCopy,        // every copy in the logon session, wherever its file lies
};

// True when another instance of this program already runs in this logon session. A named
// mutex (`tag` names the program; its name stays short however deep the folder is) is taken
// and held until the process ends or lets it go. One that exists but cannot be opened belongs to an instance
// running with higher rights, which runs too. A lock that cannot be taken at all (its name
// held by another kind of object, no resources) also answers true: a failing lock must never
// let a second copy run.
bool AnotherInstanceRunning(const std::wstring& tag, InstanceScope scope = InstanceScope::ThisProgramFile);
// Lets go of the mutex that AnotherInstanceRunning took, if any.
void ReleaseInstanceLock();

// True when the process token is elevated (full administrator rights). A system that cannot
// tell (one without user account control) counts as elevated: nothing would be gained there by
// asking again.
bool ProcessElevated();
// Runs the program with administrator rights: the shell's "runas" verb, which shows the consent
// prompt. `arguments` is passed as the command-line text after the program name; the current
// folder stays the same. Returns once the program has ended, handling this thread's window
// messages meanwhile; false when it did not start (declined, or failed).
bool RunElevatedAndWait(const std::wstring& program, const std::string& arguments);

}  // namespace qor::win32
