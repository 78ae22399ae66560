#include "launcher/forms/splash.h"

#include "launcher/forms/form_kit.h"

#include <shellapi.h>
#include "platform/win32/unicode.h"
#include "qor/build_config.h"

namespace qor::forms {
namespace {

enum { kLv = 101, kLw = 102, kLweb = 103, kLcancel = 104 };

HWND g_splash = nullptr;

LRESULT CALLBACK SplashProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wp);
            int id = GetDlgCtrlID(reinterpret_cast<HWND>(lp));
            COLORREF colour = RGB(0, 0, 0);
            if (id == kLv) colour = RGB(64, 64, 64);
            if (id == kLweb) colour = RGB(255, 128, 0);
            if (id == kLcancel) colour = RGB(128, 128, 128);
            SetTextColor(dc, colour);
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        }
        case WM_COMMAND:
            if (HIWORD(wp) == STN_CLICKED && LOWORD(wp) == kLcancel) ExitProcess(0);
            if (HIWORD(wp) == STN_CLICKED && LOWORD(wp) == kLweb)
                ShellExecuteW(nullptr, L"open", win32::Wide(std::string("http://") + QOR_VENDOR_WEB + "/").c_str(),
                              nullptr, nullptr, SW_SHOWNORMAL);
            return 0;
        case WM_CLOSE:
            return 0;  // only the cancel link ends the launcher
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

void ShowSplash(const std::string& versionText) {
    if (g_splash) return;
    RegisterFormClass(L"QORstart", SplashProc);
    g_splash = CreateWindowExW(WS_EX_TOOLWINDOW, L"QORstart", L"QOR", WS_POPUP | WS_BORDER, 0, 0,
                               419, 251, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!g_splash) return;
    CentreWithClientSize(g_splash, 419, 251);
    const DWORD notify = SS_NOTIFY;
    MakeControl(g_splash, L"STATIC", SS_RIGHT, versionText, {252, 53, 151, 54}, kLv,
                MakeFont(L"微软雅黑", 26.25));
    MakeControl(g_splash, L"STATIC", SS_LEFT, "正在启动...", {32, 120, 369, 36}, kLw,
                MakeFont(L"宋体", 9.75));
    MakeControl(g_splash, L"STATIC", SS_LEFT | notify, std::string("官方网站： ") + QOR_VENDOR_WEB,
                {32, 176, 286, 28}, kLweb, MakeFont(L"微软雅黑", 11.25, false, true));
    MakeControl(g_splash, L"STATIC", SS_LEFT | notify, "取消", {376, 216, 40, 25}, kLcancel,
                reinterpret_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    ShowWindow(g_splash, SW_SHOW);
    UpdateWindow(g_splash);
}

void ShowSplashStage(const std::string& stageText) {
    if (!g_splash) return;
    HWND label = GetDlgItem(g_splash, kLw);
    SetWindowTextW(label, win32::Wide(stageText).c_str());
    InvalidateRect(g_splash, nullptr, TRUE);
    UpdateWindow(g_splash);
}

}  // namespace qor::forms
