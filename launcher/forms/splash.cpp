#include "launcher/forms/splash.h"

#include <shellapi.h>

#include <utility>

#include "launcher/forms/form_kit.h"
#include "platform/win32/unicode.h"
#include "qor/build_config.h"

namespace qor::forms {
namespace {

constexpr int kPictureWidth = 418, kPictureHeight = 251;
constexpr COLORREF kWebColour = RGB(255, 128, 0);
constexpr COLORREF kCancelColour = RGB(128, 128, 128);
constexpr COLORREF kHoverColour = RGB(255, 0, 0);

HWND g_splash = nullptr;
HBITMAP g_picture = nullptr;
int g_hovered = 0;  // the link under the pointer (kSplashWeb, kSplashCancel) or 0
std::function<void()> g_beforeEnd;

// The splash picture: white with a grey frame and a thin orange rule under the version.
HBITMAP MakePicture() {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, kPictureWidth, kPictureHeight);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, picture);
    RECT all = {0, 0, kPictureWidth, kPictureHeight};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HBRUSH grey = CreateSolidBrush(RGB(160, 160, 160));
    FrameRect(dc, &all, grey);
    RECT inner = {3, 3, kPictureWidth - 3, kPictureHeight - 3};
    HBRUSH light = CreateSolidBrush(RGB(220, 220, 220));
    FrameRect(dc, &inner, light);
    RECT rule = {32, 110, kPictureWidth - 16, 112};
    HBRUSH orange = CreateSolidBrush(kWebColour);
    FillRect(dc, &rule, orange);
    DeleteObject(grey);
    DeleteObject(light);
    DeleteObject(orange);
    SelectObject(dc, old);
    DeleteDC(dc);
    return picture;
}

void SetHovered(int link) {
    if (g_hovered == link) return;
    g_hovered = link;
    InvalidateRect(GetDlgItem(g_splash, kSplashWeb), nullptr, TRUE);
    InvalidateRect(GetDlgItem(g_splash, kSplashCancel), nullptr, TRUE);
}

LRESULT CALLBACK SplashProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ERASEBKGND: {
            // The picture stretched over the whole window area.
            HDC dc = reinterpret_cast<HDC>(wp);
            RECT r;
            GetClientRect(hwnd, &r);
            HDC mem = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(mem, g_picture);
            StretchBlt(dc, 0, 0, r.right, r.bottom, mem, 0, 0, kPictureWidth, kPictureHeight, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
            return 1;
        }
        case WM_CTLCOLORSTATIC: {
            // The labels lie on the white of the picture.
            HDC dc = reinterpret_cast<HDC>(wp);
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lp));
            COLORREF colour = RGB(0, 0, 0);
            if (id == kSplashVersion) colour = RGB(64, 64, 64);
            if (id == kSplashWeb) colour = g_hovered == kSplashWeb ? kHoverColour : kWebColour;
            if (id == kSplashCancel) colour = g_hovered == kSplashCancel ? kHoverColour : kCancelColour;
            SetTextColor(dc, colour);
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        }
        case WM_SETCURSOR: {
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(wp));
            if (reinterpret_cast<HWND>(wp) != hwnd && (id == kSplashWeb || id == kSplashCancel)) {
                SetCursor(HandCursor());
                return TRUE;
            }
            break;
        }
        case kLabelHoverMessage:
            if (wp == kSplashWeb || wp == kSplashCancel) SetHovered(static_cast<int>(wp));
            return 0;
        case WM_MOUSEMOVE:
            SetHovered(0);
            return 0;
        case WM_COMMAND:
            if (HIWORD(wp) == STN_CLICKED && LOWORD(wp) == kSplashCancel) {
                if (g_beforeEnd) g_beforeEnd();
                ExitProcess(0);
            }
            if (HIWORD(wp) == STN_CLICKED && LOWORD(wp) == kSplashWeb)
                ShellExecuteW(nullptr, L"open", win32::Wide(std::string("http://") + QOR_VENDOR_WEB + "/").c_str(),
                              nullptr, nullptr, SW_SHOWNORMAL);
            return 0;
        case WM_CLOSE:
            return 0;  // only the cancel link ends the launcher
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

void ShowSplash(const std::string& versionText, std::function<void()> beforeEnd) {
    if (g_splash) return;
    g_beforeEnd = std::move(beforeEnd);
    static HBRUSH keyBrush = CreateSolidBrush(kKeyColour);
    RegisterFormClass(L"QORstart", SplashProc, keyBrush);
    g_picture = MakePicture();
    g_splash = CreateWindowExW(WS_EX_TOOLWINDOW, L"QORstart", L"QOR", WS_POPUP, 0, 0, 419, 251, nullptr,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!g_splash) return;
    CentreWithClientSize(g_splash, 419, 251);
    SetWindowTransparency(g_splash, kKeyColour, 0);
    MakeControl(g_splash, L"STATIC", SS_RIGHT | SS_NOPREFIX, versionText, {252, 53, 151, 54}, kSplashVersion,
                MakeFont(L"微软雅黑", 26.25));
    MakeControl(g_splash, L"STATIC", SS_LEFT | SS_NOPREFIX, "正在启动...", {32, 120, 369, 36}, kSplashStage,
                MakeFont(L"宋体", 9.75));
    HWND web = MakeControl(g_splash, L"STATIC", SS_LEFT | SS_NOTIFY | SS_NOPREFIX,
                           std::string("官方网站： ") + QOR_VENDOR_WEB, {32, 176, 286, 28}, kSplashWeb,
                           MakeFont(L"微软雅黑", 11.25, false, true));
    HWND cancel = MakeControl(g_splash, L"STATIC", SS_LEFT | SS_NOTIFY | SS_NOPREFIX, "取消", {376, 216, 40, 25},
                              kSplashCancel, reinterpret_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    HookLabel(web);
    HookLabel(cancel);
    ShowWindow(g_splash, SW_SHOW);
    UpdateWindow(g_splash);
}

void ShowSplashStage(const std::string& stageText) {
    if (!g_splash) return;
    HWND label = GetDlgItem(g_splash, kSplashStage);
    SetWindowTextW(label, win32::Wide(stageText).c_str());
    RedrawWindow(label, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void MakeSplashTopmost() { MakeTopmost(g_splash); }

HWND SplashWindow() { return g_splash; }

}  // namespace qor::forms
