// The launcher's window procedures on a real window: topmost, colour-key transparency, and
// labels that answer BM_CLICK and report the pointer to their window.
#include <windows.h>

#include <gtest/gtest.h>

#include "launcher/forms/form_kit.h"

namespace qor {
namespace {

UINT g_lastCommand = 0;
WPARAM g_lastHover = 0;

LRESULT CALLBACK TestProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND) g_lastCommand = static_cast<UINT>(wp);
    if (msg == forms::kLabelHoverMessage) g_lastHover = wp;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

struct TestWindow {
    HWND hwnd;
    TestWindow() {
        forms::RegisterFormClass(L"QorFormKitTest", TestProc);
        hwnd = CreateWindowExW(0, L"QorFormKitTest", L"test", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    }
    ~TestWindow() { DestroyWindow(hwnd); }
    LONG_PTR ExStyle() const { return GetWindowLongPtrW(hwnd, GWL_EXSTYLE); }
};

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

TEST(FormKit, TransparencyAndTopmost) {
    TestWindow w;
    ASSERT_NE(w.hwnd, nullptr);
    forms::SetWindowTransparency(w.hwnd, forms::kKeyColour, 256);
    EXPECT_FALSE(w.ExStyle() & WS_EX_LAYERED) << "an opacity above 255 leaves the window untouched";

    forms::SetWindowTransparency(w.hwnd, forms::kKeyColour, 0);
    EXPECT_TRUE(w.ExStyle() & WS_EX_LAYERED);
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(w.hwnd, &key, &alpha, &flags));
    EXPECT_EQ(key, RGB(255, 192, 192));
    EXPECT_EQ(flags & LWA_COLORKEY, static_cast<DWORD>(LWA_COLORKEY));

    TestWindow plain;
    forms::SetWindowTransparency(plain.hwnd, 0, 128);
    ASSERT_TRUE(GetLayeredWindowAttributes(plain.hwnd, &key, &alpha, &flags));
    EXPECT_EQ(flags & LWA_ALPHA, static_cast<DWORD>(LWA_ALPHA));
    EXPECT_EQ(alpha, 128);

    RECT before, after;
    GetWindowRect(w.hwnd, &before);
    forms::MakeTopmost(w.hwnd);
    GetWindowRect(w.hwnd, &after);
    EXPECT_TRUE(w.ExStyle() & WS_EX_TOPMOST);
    EXPECT_TRUE(EqualRect(&before, &after)) << "not moved or resized";
    forms::MakeTopmost(nullptr);  // ignored
}

TEST(FormKit, HookedLabelsClickAndReportThePointer) {
    TestWindow w;
    HWND label = forms::MakeControl(w.hwnd, L"STATIC", SS_NOTIFY, "我知道了", {0, 0, 50, 20}, 7, nullptr);
    forms::HookLabel(label);
    g_lastCommand = 0;
    SendMessageW(label, BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(g_lastCommand, static_cast<UINT>(MAKEWPARAM(7, STN_CLICKED)));
    g_lastHover = 0;
    SendMessageW(label, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(g_lastHover, 7u);
}

}  // namespace
}  // namespace qor
