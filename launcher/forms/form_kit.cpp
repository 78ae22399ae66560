#include "launcher/forms/form_kit.h"

#include <windows.h>
#include <commctrl.h>

#include "platform/win32/unicode.h"

namespace qor::forms {

HFONT MakeFont(const wchar_t* face, double points, bool bold, bool underline) {
    int height = -static_cast<int>(points * 96.0 / 72.0 + 0.5);
    return CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, underline, FALSE,
                       GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face);
}

HWND MakeControl(HWND parent, const wchar_t* cls, DWORD style, const std::string& text, Box box,
                 int id, HFONT font) {
    HWND hwnd = CreateWindowExW(0, cls, win32::Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style,
                                box.left, box.top, box.width, box.height, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleW(nullptr), nullptr);
    if (hwnd && font) SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return hwnd;
}

void GrowToFitText(HWND label, Box box) {
    if (!label) return;
    int n = GetWindowTextLengthW(label);
    std::wstring text(n + 1, L'\0');
    n = GetWindowTextW(label, &text[0], n + 1);
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    RECT r = {0, 0, box.width, 0};
    DrawTextW(dc, text.c_str(), n, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    if (r.bottom > box.height)
        SetWindowPos(label, nullptr, 0, 0, box.width, r.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CentreWithClientSize(HWND hwnd, int clientWidth, int clientHeight) {
    RECT r = {0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)));
    int w = r.right - r.left, h = r.bottom - r.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    SetWindowPos(hwnd, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

void RunUntilClosed(HWND hwnd) {
    MSG msg;
    while (IsWindow(hwnd) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(hwnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

void MakeTopmost(HWND hwnd) {
    if (hwnd) SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void SetWindowTransparency(HWND hwnd, COLORREF keyColour, int opacity) {
    if (!hwnd || opacity > 255 || opacity < 0) return;
    LONG_PTR styles = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, styles | WS_EX_LAYERED);
    if (keyColour != 0)
        SetLayeredWindowAttributes(hwnd, keyColour, static_cast<BYTE>(opacity), LWA_COLORKEY);
    else
        SetLayeredWindowAttributes(hwnd, 0, static_cast<BYTE>(opacity), LWA_ALPHA);
}

HCURSOR HandCursor() {
    static HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    return hand;
}

namespace {

LRESULT CALLBACK LabelHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    const int id = GetDlgCtrlID(hwnd);
    switch (msg) {
        case WM_MOUSEMOVE:
            SendMessageW(GetParent(hwnd), kLabelHoverMessage, static_cast<WPARAM>(id), 0);
            break;
        case BM_CLICK:
            PostMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(id, STN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
            return 0;
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, LabelHook, 1);
            break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

void HookLabel(HWND label) {
    if (label) SetWindowSubclass(label, LabelHook, 1, 0);
}


}  // namespace qor::forms
