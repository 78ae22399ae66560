#include "tests/standins/uidriver/uidriver.h"

#include <fstream>

#include "platform/win32/unicode.h"

namespace qor::uidriver {
namespace {

struct Search {
    std::wstring title;
    DWORD pid;
    HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    if (!IsWindowVisible(hwnd)) return TRUE;
    if (s->pid) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner != s->pid) return TRUE;
    }
    wchar_t text[512];
    int n = GetWindowTextW(hwnd, text, 512);
    if (s->title == std::wstring(text, n)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> Children(HWND window) {
    std::vector<HWND> children;
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

}  // namespace

HWND WaitForWindow(const std::string& title, DWORD pid, int timeoutMs) {
    Search s{win32::Wide(title), pid, nullptr};
    DWORD start = GetTickCount();
    for (;;) {
        EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&s));
        if (s.found) return s.found;
        if (static_cast<int>(GetTickCount() - start) > timeoutMs) return nullptr;
        Sleep(50);
    }
}

bool WaitUntilClosed(HWND window, int timeoutMs) {
    DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (static_cast<int>(GetTickCount() - start) > timeoutMs) return false;
        Sleep(50);
    }
    return true;
}

std::string WindowText(HWND window) {
    int n = GetWindowTextLengthW(window);
    std::wstring text(n + 1, L'\0');
    n = GetWindowTextW(window, &text[0], n + 1);
    return win32::Narrow(text.substr(0, n));
}

std::string ClassName(HWND window) {
    wchar_t name[256];
    int n = GetClassNameW(window, name, 256);
    return win32::Narrow(std::wstring(name, n));
}

std::string MessageBoxText(HWND box) {
    HWND label = GetDlgItem(box, 0xFFFF);
    return label ? WindowText(label) : std::string();
}

std::vector<std::string> ChildTexts(HWND window) {
    std::vector<std::string> texts;
    for (HWND child : Children(window)) texts.push_back(WindowText(child));
    return texts;
}

bool ClickButton(HWND window, int id) {
    HWND button = GetDlgItem(window, id);
    if (!button) return false;
    // Posted, not sent: the click may end a modal loop whose owner is waiting on us.
    PostMessageW(button, BM_CLICK, 0, 0);
    return true;
}

namespace {
struct Description {
    DWORD pid;
    std::string text;
};
BOOL CALLBACK DescribeTopLevel(HWND hwnd, LPARAM lp) {
    auto* d = reinterpret_cast<Description*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != d->pid || !IsWindowVisible(hwnd)) return TRUE;
    d->text += "[" + WindowText(hwnd) + "]";
    for (const std::string& child : ChildTexts(hwnd)) d->text += " \"" + child + "\"";
    d->text += "\n";
    return TRUE;
}
}  // namespace

std::string DescribeWindows(DWORD pid) {
    Description d{pid, std::string()};
    EnumWindows(DescribeTopLevel, reinterpret_cast<LPARAM>(&d));
    return d.text.empty() ? "no visible window" : d.text;
}

bool ClickButtonByText(HWND window, const std::string& text) {
    for (HWND child : Children(window)) {
        // Buttons, and labels that answer BM_CLICK like a click (the launcher's notices).
        if (WindowText(child) == text) {
            PostMessageW(child, BM_CLICK, 0, 0);
            return true;
        }
    }
    return false;
}

bool ClickControl(HWND window, int id) {
    HWND control = GetDlgItem(window, id);
    RECT r;
    if (!control || !GetClientRect(control, &r)) return false;
    LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(control, WM_LBUTTONUP, 0, at);
    return true;
}

bool SetChecked(HWND window, int id, bool checked) {
    HWND box = GetDlgItem(window, id);
    if (!box) return false;
    SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    return true;
}

HWND FindChild(HWND window, const std::string& text) {
    for (HWND child : Children(window))
        if (WindowText(child) == text) return child;
    return nullptr;
}

HWND FindChildOfClass(HWND window, const std::string& className) {
    for (HWND child : Children(window))
        if (ClassName(child) == className) return child;
    return nullptr;
}

namespace {

struct ChildSearch {
    std::string text;
    DWORD pid;
    HWND found;
};

BOOL CALLBACK MatchByChild(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<ChildSearch*>(lp);
    if (!IsWindowVisible(hwnd)) return TRUE;
    if (s->pid) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner != s->pid) return TRUE;
    }
    if (FindChild(hwnd, s->text)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND WaitForWindowWithChild(const std::string& childText, DWORD pid, int timeoutMs) {
    ChildSearch s{childText, pid, nullptr};
    DWORD start = GetTickCount();
    for (;;) {
        EnumWindows(MatchByChild, reinterpret_cast<LPARAM>(&s));
        if (s.found) return s.found;
        if (static_cast<int>(GetTickCount() - start) > timeoutMs) return nullptr;
        Sleep(50);
    }
}

bool IsChecked(HWND box) { return box && SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

bool TypeText(HWND edit, const std::string& text) {
    if (!edit) return false;
    std::wstring wide = win32::Wide(text);
    return SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str())) != 0;
}

std::string ControlText(HWND control) {
    wchar_t buffer[8192];
    LRESULT n = SendMessageW(control, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(buffer));
    return win32::Narrow(std::wstring(buffer, n > 0 ? static_cast<size_t>(n) : 0));
}

namespace {

// The window's screen area as 24-bit bottom-up rows; false when the window is gone.
bool Capture(HWND window, BITMAPINFOHEADER& info, std::string& pixels) {
    RECT r;
    if (!GetWindowRect(window, &r)) return false;
    int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);

    info = {};
    info.biSize = sizeof info;
    info.biWidth = w;
    info.biHeight = h;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    int stride = ((w * 3 + 3) / 4) * 4;
    pixels.assign(static_cast<size_t>(stride) * h, '\0');
    GetDIBits(mem, bmp, 0, h, &pixels[0], reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return true;
}

bool WriteBitmap(const std::string& path, const BITMAPINFOHEADER& info, const std::string& pixels) {
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(win32::Wide(path).c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), pixels.size());
    return static_cast<bool>(out);
}

}  // namespace

bool SaveWindowBitmap(HWND window, const std::string& path) {
    BITMAPINFOHEADER info;
    std::string pixels;
    return Capture(window, info, pixels) && WriteBitmap(path, info, pixels);
}

bool SaveSettledWindowBitmap(HWND window, const std::string& path, int timeoutMs) {
    BITMAPINFOHEADER info, before;
    std::string pixels, previous;
    if (!Capture(window, info, pixels)) return false;
    const DWORD start = GetTickCount();
    do {
        previous.swap(pixels);
        before = info;
        Sleep(150);
        if (!Capture(window, info, pixels)) return false;
    } while ((pixels != previous || info.biWidth != before.biWidth || info.biHeight != before.biHeight) &&
             static_cast<int>(GetTickCount() - start) < timeoutMs);
    return WriteBitmap(path, info, pixels);
}

}  // namespace qor::uidriver
