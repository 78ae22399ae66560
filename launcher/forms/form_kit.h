// Small pieces shared by the launcher's plain Win32 windows: fonts by point size, labels,
// centring, a modal loop.
#pragma once

#include <windows.h>

#include "platform/win32/window_class.h"

#include <string>

namespace qor::forms {

struct Box { int left, top, width, height; };

// A font of the given face and size in points (at 96 dpi), with the Chinese character set.
HFONT MakeFont(const wchar_t* face, double points, bool bold = false, bool underline = false);

// A child control of the given class, style and text at the box, using the font.
HWND MakeControl(HWND parent, const wchar_t* cls, DWORD style, const std::string& text, Box box,
                 int id, HFONT font);

// Makes the label taller than its box when its wrapped text needs more lines' height than the
// box gives (a substitute for the designed font may have taller lines); never smaller.
void GrowToFitText(HWND label, Box box);

// Resizes the window so that its client area has the given size, centred on the screen.
void CentreWithClientSize(HWND hwnd, int clientWidth, int clientHeight);

// Handles window messages until the window is destroyed (a modal window without an owner).
void RunUntilClosed(HWND hwnd);

// The background colour of every launcher window; SetWindowTransparency makes it see-through.
constexpr COLORREF kKeyColour = RGB(255, 192, 192);

// Places the window in the topmost band without moving, resizing or activating it.
void MakeTopmost(HWND hwnd);
// Makes the window layered: with a key colour (not 0) every pixel of exactly that colour is
// fully transparent; otherwise the whole window gets the opacity. An opacity above 255 leaves
// the window untouched. Failures are ignored.
void SetWindowTransparency(HWND hwnd, COLORREF keyColour, int opacity);

// The pointing-hand pointer of the link-like labels.
HCURSOR HandCursor();

// Child messages the launcher's windows need from their labels: a label with this hook reports
// pointer movement to its parent as kLabelHoverMessage (wParam: the label's id), and answers
// BM_CLICK like a mouse click (WM_COMMAND with STN_CLICKED), so that it can be operated by
// automation as well as by the mouse.
constexpr UINT kLabelHoverMessage = WM_APP + 1;
void HookLabel(HWND label);

using win32::RegisterFormClass;

}  // namespace qor::forms
