#include "launcher/forms/notices.h"

#include "launcher/forms/form_kit.h"
#include "launcher/settings/settings.h"
#include "platform/win32/file_store_win32.h"
#include "platform/win32/unicode.h"

namespace qor::forms {
namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);

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
    NoticeText labels[4];  // Label0 (title on the strip) to Label3
    Box check;
    Box button;
    const char* settingKey;
};

const NoticeLayout kSecurityNotice = {
    L"Fs", 425, 255,
    {{{16, 10, 367, 24}, 12, true, kRed, " ３ ６ ０ 系列安全软件信任提醒>>"},
     {{40, 56, 353, 25}, 11.25, true, kRed, "尊敬的用户："},
     {{40, 88, 369, 73}, 11.25, false, kRed,
      "QOR软件绝不包含病毒或其它任何恶意代码...\r\n\r\n"
      "* 如果接下来 ３ ６ ０ 系列安全软件提示风险，\r\n"
      "* 烦请您手动选择允许或信任QOR软件进行的操作..."},
     {{40, 168, 369, 25}, 11.25, true, kRed, "否则，QOR软件可能无法正常运行..."}},
    {40, 205, 81, 30}, {156, 204, 107, 29}, "FSSHOW"};

const NoticeLayout kAssociationNotice = {
    L"Ff", 425, 327,
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
    {40, 277, 81, 30}, {156, 276, 107, 29}, "FFSHOW"};

struct NoticeWindow {
    const NoticeLayout* layout;
    std::string appFolder;
};

LRESULT CALLBACK NoticeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<NoticeWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
        case WM_CTLCOLORSTATIC: {
            int id = GetDlgCtrlID(reinterpret_cast<HWND>(lp));
            HDC dc = reinterpret_cast<HDC>(wp);
            SetBkMode(dc, TRANSPARENT);
            if (self && id >= 200 && id < 204) SetTextColor(dc, self->layout->labels[id - 200].colour);
            if (id == kNoticeCheck) SetTextColor(dc, RGB(64, 64, 64));
            return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        }
        case WM_COMMAND:
            if (LOWORD(wp) == kNoticeButton && self) {
                if (IsDlgButtonChecked(hwnd, kNoticeCheck) == BST_CHECKED) {
                    win32::Win32FileStore files;
                    WriteSetting(files, self->appFolder, self->layout->settingKey, "False");
                }
                DestroyWindow(hwnd);
            }
            return 0;
        case WM_CLOSE:
            return 0;  // a notice closes only through its button
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void ShowNotice(const NoticeLayout& layout, const std::string& appFolder) {
    RegisterFormClass(layout.className, NoticeProc);
    NoticeWindow self{&layout, appFolder};
    // The title text doubles as the window caption so the notice can be found by its title.
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, layout.className, win32::Wide(layout.labels[0].text).c_str(),
                                WS_POPUP | WS_BORDER, 0, 0, layout.clientWidth, layout.clientHeight,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) return;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&self));
    CentreWithClientSize(hwnd, layout.clientWidth, layout.clientHeight);
    for (int i = 0; i < 4; ++i) {
        const NoticeText& t = layout.labels[i];
        MakeControl(hwnd, L"STATIC", SS_LEFT, t.text, t.box, 200 + i, MakeFont(L"宋体", t.points, t.bold));
    }
    MakeControl(hwnd, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, "不再提示", layout.check, kNoticeCheck,
                MakeFont(L"宋体", 9.75));
    MakeControl(hwnd, L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, "我知道了", layout.button, kNoticeButton,
                MakeFont(L"宋体", 9.75));
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    RunUntilClosed(hwnd);
}

}  // namespace

void ShowSecurityNotice(const std::string& appFolder) { ShowNotice(kSecurityNotice, appFolder); }
void ShowAssociationNotice(const std::string& appFolder) { ShowNotice(kAssociationNotice, appFolder); }

}  // namespace qor::forms
