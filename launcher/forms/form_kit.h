// Small pieces shared by the launcher's plain Win32 windows: fonts by point size, labels,
// centring, a modal loop.
#pragma once

#include <windows.h>

#include <string>

namespace qor::forms {

struct Box { int left, top, width, height; };

// A font of the given face and size in points (at 96 dpi), with the Chinese character set.
HFONT MakeFont(const wchar_t* face, double points, bool bold = false, bool underline = false);

// A child control of the given class, style and text at the box, using the font.
HWND MakeControl(HWND parent, const wchar_t* cls, DWORD style, const std::string& text, Box box,
                 int id, HFONT font);

// Resizes the window so that its client area has the given size, centred on the screen.
void CentreWithClientSize(HWND hwnd, int clientWidth, int clientHeight);

// Handles window messages until the window is destroyed (a modal window without an owner).
void RunUntilClosed(HWND hwnd);

// Registers a window class once (the same name again is a no-op).
void RegisterFormClass(const wchar_t* name, WNDPROC proc);

}  // namespace qor::forms
