#include "launcher/forms/notices.h"

#include <windows.h>
#include "platform/win32/lazy_imports.h"

#include "launcher/forms/form_kit.h"
#include "launcher/forms/splash.h"
#include "common/settings/settings.h"
#include "platform/win32/unicode.h"

namespace qor::forms {
namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreyText = RGB(64, 64, 64);
constexpr COLORREF kStrip = RGB(245, 245, 245);
constexpr COLORREF kBorder = RGB(0, 0, 0);
constexpr COLORREF kHoverText = RGB(0, 192, 192);

struct NoticeText {
    Box box;
    double points;
    bool bold;
    COLORREF colour;
    const char* text;
};

struct NoticeLayout {
    const wchar_t* className;
    int clientWidth, clientHeight;
    Box panel;             // LabelB
    NoticeText labels[4];  // Label0 (title on the strip) to Label3
    bool hasCheck;
    Box check;             // Check1
    Box face;              // Lk0
    Box text;              // Lk1
    const char* settingKey;
};

const NoticeLayout kSecurityNotice = {
    L"Fs", 425, 255, {0, 0, 418, 248},
    {{{16, 10, 367, 24}, 12, true, kRed, " ３ ６ ０ 系列安全软件信任提醒>>"},
     {{40, 56, 353, 25}, 11.25, true, kRed, "尊敬的用户："},
     {{40, 88, 369, 73}, 11.25, false, kRed,
      "QOR软件绝不包含病毒或其它任何恶意代码...\r\n\r\n"
      "* 如果接下来 ３ ６ ０ 系列安全软件提示风险，\r\n"
      "* 烦请您手动选择允许或信任QOR软件进行的操作..."},
     {{40, 168, 369, 25}, 11.25, true, kRed, "否则，QOR软件可能无法正常运行..."}},
    true, {40, 205, 81, 30}, {156, 204, 107, 29}, {156, 212, 107, 21}, "FSSHOW"};

const NoticeLayout kAssociationNotice = {
    L"Ff", 425, 327, {0, 0, 418, 320},
    {{{16, 10, 137, 24}, 12, true, kRed, "您知道吗？"},
     {{40, 56, 369, 25}, 11.25, false, kRed, "QOR新增了账套文件关联功能，今后您可以："},
     {{40, 96, 369, 41}, 11.25, true, kRed,
      "* 使用鼠标左键双击一个账套文件直接打开，\r\n"
      "* 在任意位置使用鼠标右键菜单快速新建账套..."},
     {{40, 152, 369, 117}, 11.25, false, kRed,
      "该功能仅适用于后缀名为“.qorb”的账套文件，\r\n"
      "如果要使用鼠标左键双击直接打开以前版本创建\r\n"
      "的后缀名为“.qor”的账套文件，请将账套文件\r\n"
      "后缀名改为“.qorb”。\r\n\r\n"
      "例如：\r\n"
      "将账套文件“001.qor”重命名为“001.qorb”。"}},
    true, {40, 277, 81, 30}, {156, 276, 107, 29}, {156, 284, 107, 21}, "FFSHOW"};

const NoticeLayout kConfigurationNotice = {
    L"Fu", 425, 256, {0, 0, 418, 248},
    {{{16, 10, 203, 24}, 12, true, kRed, "配置QOR运行环境>>"},
     {{40, 56, 369, 25}, 11.25, true, kGreyText, "尊敬的用户："},
     {{40, 96, 369, 41}, 11.25, false, kGreyText,
      "为了保证QOR软件能够在您的计算机上正常运行，\r\n"
      "QOR软件需要注册一些控件并进行一些必要的设置..."},
     {{40, 152, 369, 25}, 11.25, true, kRed, "* 请您先关闭其它正在运行的程序..."}},
    false, {}, {156, 204, 107, 29}, {156, 212, 107, 21}, nullptr};

constexpr Box kStripBox = {0, 0, 418, 33};  // Lb

struct NoticeWindow {
    const NoticeLayout* layout;
    FileStore* files;
    std::string appFolder;
    bool hover = false;
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    HBRUSH strip = CreateSolidBrush(kStrip);
    HBITMAP background = nullptr;  // the key colour, the panel LabelB and the strip Lb
    HBRUSH see_through = nullptr;  // the background as a brush, for the transparent labels
    ~NoticeWindow() {
        DeleteObject(white);
        DeleteObject(strip);
        if (see_through) DeleteObject(see_through);
        if (background) DeleteObject(background);
    }
};

bool Inside(const Box& b, POINT pt) {
    return pt.x >= b.left && pt.x < b.left + b.width && pt.y >= b.top && pt.y < b.top + b.height;
}

void FillBox(HDC dc, const Box& b, COLORREF fill) {
    RECT r = {b.left, b.top, b.left + b.width, b.top + b.height};
    HBRUSH brush = CreateSolidBrush(fill);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    HBRUSH frame = CreateSolidBrush(kBorder);
    FrameRect(dc, &r, frame);
    DeleteObject(frame);
}

// The button's rest or hover look: face Lk0 and text Lk1 repaint together.
void SetHover(HWND hwnd, NoticeWindow* self, bool hover) {
    if (self->hover == hover) return;
    self->hover = hover;
    InvalidateRect(GetDlgItem(hwnd, kNoticeButtonFace), nullptr, TRUE);
    InvalidateRect(GetDlgItem(hwnd, kNoticeButton), nullptr, TRUE);
}

// Lk1 lies on the lower part of Lk0: it paints the face colour, the face's border along its
// left, right and bottom edges, and its centred text.
void DrawButtonText(const DRAWITEMSTRUCT& item, const NoticeWindow& self) {
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    HBRUSH face = CreateSolidBrush(self.hover ? kStrip : RGB(255, 255, 255));
    FillRect(dc, &r, face);
    DeleteObject(face);
    HPEN pen = CreatePen(PS_SOLID, 1, kBorder);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    MoveToEx(dc, r.left, r.top, nullptr);
    LineTo(dc, r.left, r.bottom - 1);
    LineTo(dc, r.right - 1, r.bottom - 1);
    LineTo(dc, r.right - 1, r.top - 1);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    wchar_t text[64] = {};
    GetWindowTextW(item.hwndItem, text, 64);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, self.hover ? kHoverText : RGB(0, 0, 0));
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
    DrawTextW(dc, text, -1, &r, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
}

// The window's background: key colour outside the panel, the panel, the title strip on it.
HBITMAP MakeBackground(const NoticeLayout& layout) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, layout.clientWidth, layout.clientHeight);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, layout.clientWidth, layout.clientHeight};
    HBRUSH key = CreateSolidBrush(kKeyColour);
    FillRect(dc, &all, key);
    DeleteObject(key);
    FillBox(dc, layout.panel, GetSysColor(COLOR_WINDOW));
    FillBox(dc, kStripBox, kStrip);
    SelectObject(dc, old);
    DeleteDC(dc);
    return bitmap;
}

LRESULT CALLBACK NoticeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<NoticeWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    const NoticeLayout& layout = *self->layout;
    switch (msg) {
        case WM_PAINT: {
            // The panel LabelB and the title strip Lb; outside the panel the key colour shows.
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            HDC mem = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(mem, self->background);
            BitBlt(dc, 0, 0, layout.clientWidth, layout.clientHeight, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_CTLCOLORSTATIC: {
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lp));
            HDC dc = reinterpret_cast<HDC>(wp);
            SetBkMode(dc, TRANSPARENT);
            if (id >= kNoticeLabel0 && id < kNoticeLabel0 + 4) {
                // Transparent: the label paints the window's own background beneath its text.
                SetTextColor(dc, layout.labels[id - kNoticeLabel0].colour);
                const Box& b = layout.labels[id - kNoticeLabel0].box;
                SetBrushOrgEx(dc, -b.left, -b.top, nullptr);
                return reinterpret_cast<LRESULT>(self->see_through);
            }
            if (id == kNoticeCheck) {
                SetTextColor(dc, kGreyText);
                SetBkColor(dc, RGB(255, 255, 255));
                return reinterpret_cast<LRESULT>(self->white);
            }
            if (id == kNoticeButtonFace) {
                SetBkColor(dc, self->hover ? kStrip : RGB(255, 255, 255));
                return reinterpret_cast<LRESULT>(self->hover ? self->strip : self->white);
            }
            return reinterpret_cast<LRESULT>(self->white);
        }
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
            if (item.CtlID == kNoticeButton) DrawButtonText(item, *self);
            return TRUE;
        }
        case WM_SETCURSOR: {
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(wp));
            if (reinterpret_cast<HWND>(wp) != hwnd && (id == kNoticeButton || id == kNoticeButtonFace)) {
                SetCursor(HandCursor());
                return TRUE;
            }
            break;
        }
        case kLabelHoverMessage:
            if (wp == kNoticeButton || wp == kNoticeButtonFace) SetHover(hwnd, self, true);
            return 0;
        case WM_MOUSEMOVE: {
            // The background and the panel restore the rest look; the text labels (which let
            // the pointer through to the window) leave it as it is.
            POINT pt = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
            for (const NoticeText& t : layout.labels)
                if (Inside(t.box, pt)) return 0;
            SetHover(hwnd, self, false);
            return 0;
        }
        case WM_COMMAND:
            if ((LOWORD(wp) == kNoticeButton || LOWORD(wp) == kNoticeButtonFace) &&
                (HIWORD(wp) == STN_CLICKED || HIWORD(wp) == BN_CLICKED)) {
                if (layout.settingKey && self->files && IsDlgButtonChecked(hwnd, kNoticeCheck) == BST_CHECKED)
                    WriteSetting(*self->files, self->appFolder, layout.settingKey, "False");
                DestroyWindow(hwnd);
            }
            return 0;
        case WM_CLOSE:
            return 0;  // a notice closes only through its button
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void ShowNotice(const NoticeLayout& layout, FileStore* files, const std::string& appFolder) {
    static HBRUSH keyBrush = CreateSolidBrush(kKeyColour);
    RegisterFormClass(layout.className, NoticeProc, keyBrush);
    NoticeWindow self{&layout, files, appFolder};
    self.background = MakeBackground(layout);
    self.see_through = CreatePatternBrush(self.background);
    // The title text doubles as the window caption so the notice can be found by its title.
    HWND hwnd = CreateWindowExW(0, layout.className, win32::Wide(layout.labels[0].text).c_str(),
                                WS_POPUP | WS_CLIPCHILDREN, 0, 0, layout.clientWidth, layout.clientHeight,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) return;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&self));
    CentreWithClientSize(hwnd, layout.clientWidth, layout.clientHeight);
    MakeTopmost(hwnd);
    SetWindowTransparency(hwnd, kKeyColour, 0);

    for (int i = 0; i < 4; ++i) {
        const NoticeText& t = layout.labels[i];
        HWND label = MakeControl(hwnd, L"STATIC", SS_LEFT | SS_NOPREFIX, t.text, t.box, kNoticeLabel0 + i,
                                 MakeFont(L"宋体", t.points, t.bold));
        GrowToFitText(label, t.box);
    }
    if (layout.hasCheck) {
        HWND check = MakeControl(hwnd, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, "不再提示", layout.check,
                                 kNoticeCheck, MakeFont(L"宋体", 9.75));
        // Without the visual theme the check box takes its text colour from the window.
        SetWindowTheme(check, L"", L"");
    }
    // Lk1 (the text) is made before Lk0 (the face) so that it lies above it.
    HFONT buttonFont = MakeFont(L"宋体", 9.75);
    HWND text = MakeControl(hwnd, L"STATIC", SS_OWNERDRAW | SS_NOTIFY | WS_CLIPSIBLINGS, "我知道了", layout.text,
                            kNoticeButton, buttonFont);
    HWND face = MakeControl(hwnd, L"STATIC", SS_NOTIFY | WS_BORDER | WS_CLIPSIBLINGS, "", layout.face,
                            kNoticeButtonFace, buttonFont);
    HookLabel(text);
    HookLabel(face);

    // Modal over the splash: the splash takes no input while a notice is up.
    HWND splash = SplashWindow();
    const bool splashEnabled = splash && IsWindowEnabled(splash);
    if (splashEnabled) EnableWindow(splash, FALSE);
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    RunUntilClosed(hwnd);
    if (splashEnabled) EnableWindow(splash, TRUE);
}

}  // namespace

void ShowSecurityNotice(FileStore& files, const std::string& appFolder) {
    ShowNotice(kSecurityNotice, &files, appFolder);
}
void ShowAssociationNotice(FileStore& files, const std::string& appFolder) {
    ShowNotice(kAssociationNotice, &files, appFolder);
}
void ShowConfigurationNotice() { ShowNotice(kConfigurationNotice, nullptr, std::string()); }

}  // namespace qor::forms
