// Rules for the programs the system starts and for its single-instance locks; they need nothing
// from the operating system.
#pragma once

#include <string>

namespace qor {

// The file name of the program that a command line starts by bare name, such as "reg.exe" for
// "reg add ..." and "cmd.exe" for "cmd.exe /c ..." (".exe" is added to a name without an
// extension, as the operating system does). The program token is read as the operating system
// reads it: after any leading blanks, up to the closing double quote when it starts with one,
// else up to the next blank or tab. Empty when the token names its program by a path (it holds "\", "/" or ":") or is
// empty: such a program is started as the line says.
std::string BareProgramFile(const std::string& commandLine);

// The name of the named lock that keeps a program to one instance in the logon session:
// "Local\QOR." + `tag`, then, when `programPath` is not empty, "." and 16 hexadecimal digits of
// the 64-bit FNV-1a hash of the path with its ASCII letters in lower case. The name stays short
// however deep the folder is. An empty `programPath` gives one lock for every copy of the
// program, wherever it lies.
std::string InstanceLockName(const std::string& tag, const std::string& programPath);

}  // namespace qor
