// The system folder, and DLLs of the system loaded from there only: a DLL that is not on
// Windows' list of known DLLs is otherwise looked for in the program's own folder first, where
// a planted copy would run inside a program that may hold administrator rights.
#pragma once

#include <windows.h>

#include <string>

namespace qor::win32 {

// The system folder without a trailing separator; empty when it cannot be found. A 32-bit
// program on 64-bit Windows gets "...\System32" too, which Windows shows it as SysWOW64.
std::wstring SystemFolderPath();
// The Windows folder without a trailing separator; empty when it cannot be found.
std::wstring WindowsFolderPath();

// Loads the system DLL `fileName` from the system folder, its own imports from there too;
// null when that fails.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

// Called first thing in every program: every DLL the process loads by name from now on is
// looked for in the system folder only (where Windows offers that; Windows 7 without its
// update KB2533623 does not). The DLLs that the programs import lazily (WinINet, the version
// resources, the theme and profile functions) are loaded by LoadSystemLibrary in any case.
void LoadDllsFromSystemFolderOnly();

}  // namespace qor::win32
