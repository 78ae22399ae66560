// The installer's two windows: the install wizard Fd and the uninstall window Fu. Plain Win32
// windows; every text they show is a child control whose window text is that text. The pages of
// Fd and the frame of Fu are child windows of their own holding the page's controls.
#pragma once

#include <windows.h>

#include <string>

#include "installer/sequences.h"

namespace qor::installer::forms {

// The program-wide state the windows share.
struct Program {
    InstallerPlatform* platform = nullptr;
    std::string installPath;  // InstallPath: the install folder, ending in "\"
};
Program& TheProgram();
// InstallPath: the install folder, ending in "\"; set by Main, replaced by the folder choice.
std::string& InstallPath();

// Ends the program at once.
[[noreturn]] void EndProgram();

// Creates Fd (if it is not there yet) on its agreement page; its handle.
HWND LoadWizard();
// Shows Fd without modality.
void ShowWizard();
// The repair path: Fd on its folder page with the intro text, shown, and its start-install
// handler run at once.
void RepairFromUninstallWindow();
// Fd's start-install handler (Fd_Cyes_Click).
void Fd_Cyes_Click();

// Creates and shows Fu.
HWND ShowUninstallWindow();

// Modal message box of the installer's kinds.
Answer ShowMessageBox(HWND owner, const std::string& text, const std::string& title, MessageKind kind);

}  // namespace qor::installer::forms
