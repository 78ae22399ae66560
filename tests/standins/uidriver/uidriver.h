// Test-only UI driver: finds top-level windows and message boxes, reads their texts and clicks
// their buttons from outside the program that shows them, as a person would.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qor::uidriver {

// Waits up to `timeoutMs` for a visible top-level window with exactly this title; when `pid`
// is not 0 the window must belong to that process. Null when none appeared.
HWND WaitForWindow(const std::string& title, DWORD pid, int timeoutMs);
// Waits until the window is gone (true) or the time is up (false).
bool WaitUntilClosed(HWND window, int timeoutMs);

std::string WindowText(HWND window);
std::string ClassName(HWND window);
// The message of a message box (the static control with id 0xFFFF).
std::string MessageBoxText(HWND box);
// Texts of all child controls, in creation order.
std::vector<std::string> ChildTexts(HWND window);
// Every visible top-level window of the process with its title and its children's texts, one
// window a line: what a test prints when the program did not end.
std::string DescribeWindows(DWORD pid);

// Clicks the child button with this id (BM_CLICK); false when there is none.
bool ClickButton(HWND window, int id);
// Clicks (BM_CLICK) the first child control whose text is exactly `text`: a button, or a label
// that answers BM_CLICK like a click.
bool ClickButtonByText(HWND window, const std::string& text);
// Clicks a child control with the mouse (button down and up at its centre), as on a label link.
bool ClickControl(HWND window, int id);
// Ticks or clears the check box with this id.
bool SetChecked(HWND window, int id, bool checked);

// The first child control (at any depth) whose text is exactly `text`; null when none.
HWND FindChild(HWND window, const std::string& text);
// The first child control (at any depth) of this window class; null when none.
HWND FindChildOfClass(HWND window, const std::string& className);
// Waits up to `timeoutMs` for a visible top-level window of the process (any, when `pid` is 0)
// that has a child control with exactly this text (a dialog known by its prompt).
HWND WaitForWindowWithChild(const std::string& childText, DWORD pid, int timeoutMs);
// BM_GETCHECK of a check box: true when it is ticked.
bool IsChecked(HWND box);
// Replaces an edit box's text, as typing it would (WM_SETTEXT).
bool TypeText(HWND edit, const std::string& text);
// The control's text as the control itself answers WM_GETTEXT (edit boxes keep theirs apart
// from the window text that GetWindowText reads across processes).
std::string ControlText(HWND control);

// Captures the window's screen area as a 24-bit BMP file (for looking at what was shown).
bool SaveWindowBitmap(HWND window, const std::string& path);
// The same once the picture has settled: captures until two captures 150 ms apart are equal (the
// window has painted and stopped changing) or `timeoutMs` has passed, then saves the last one.
bool SaveSettledWindowBitmap(HWND window, const std::string& path, int timeoutMs);

}  // namespace qor::uidriver
