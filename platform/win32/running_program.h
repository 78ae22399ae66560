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

// True when another instance of this program file already runs in this logon session. A named
// mutex per program file (`tag` names the program) is taken and held until the process ends;
// one that exists but cannot be opened belongs to an instance running with higher rights,
// which runs too.
bool AnotherInstanceRunning(const std::wstring& tag);

}  // namespace qor::win32
