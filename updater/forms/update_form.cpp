#include "updater/forms/update_form.h"

#include "platform/win32/unicode.h"
#include "platform/win32/window_class.h"

namespace qor::forms {
namespace {

const wchar_t kClassName[] = L"QOR.UpdateForm";

// Layout in twips, 15 twips to a pixel.
int Px(int twips) { return (twips + 7) / 15; }

constexpr int kClientWidth = 6960, kClientHeight = 4830;
constexpr int kNotesIdleHeight = 3690, kNotesBusyHeight = 3330;
constexpr int kStatusLeft = 120, kStatusTop = 3840, kStatusWidth = 6765, kStatusHeight = 345;
constexpr int kBarLeft = 150;

const COLORREF kBackground = RGB(245, 245, 245);
const COLORREF kGreen = RGB(0, 192, 0);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGreyText = RGB(96, 96, 96);
const COLORREF kLineGrey = RGB(160, 160, 160);

HFONT MakeFont(const wchar_t* face, double points, bool bold) {
    int height = -static_cast<int>(points * 96.0 / 72.0 + 0.5);
    return CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

HWND MakeControl(HWND parent, const wchar_t* cls, DWORD style, DWORD exStyle, const std::string& text, int left,
                 int top, int width, int height, int id, HFONT font) {
    HWND h = CreateWindowExW(exStyle, cls, win32::Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, Px(left), Px(top),
                             Px(width), Px(height), parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             GetModuleHandleW(nullptr), nullptr);
    if (h && font) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return h;
}

std::wstring TextOf(HWND h) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(h, &text[0], static_cast<int>(text.size()))));
    return text;
}

// Sizes a label to its one-line text in its font.
void SizeToText(HWND label, HFONT font) {
    std::wstring text = TextOf(label);
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    SetWindowPos(label, nullptr, 0, 0, size.cx + 2, size.cy + 2, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Repaint(HWND h) {
    InvalidateRect(h, nullptr, TRUE);
    UpdateWindow(h);
}

}  // namespace

UpdateForm::UpdateForm(Handler handler) : handler_(std::move(handler)) {
    formFont_ = MakeFont(L"宋体", 9, false);
    headlineFont_ = MakeFont(L"宋体", 10.5, true);
    statusFont_ = MakeFont(L"微软雅黑", 9, false);
    background_ = CreateSolidBrush(kBackground);
    white_ = CreateSolidBrush(RGB(255, 255, 255));
    green_ = CreateSolidBrush(kGreen);
    grey_ = CreateSolidBrush(kLineGrey);

    win32::RegisterFormClass(kClassName, Proc, background_);
    hwnd_ = CreateWindowExW(0, kClassName, win32::Wide(kUpdaterCaption).c_str(),
                            WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, CW_USEDEFAULT,
                            CW_USEDEFAULT, 100, 100, nullptr, nullptr, GetModuleHandleW(nullptr), this);

    // Client size and centring.
    RECT r = {0, 0, Px(kClientWidth), Px(kClientHeight)};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
    const int w = r.right - r.left, h = r.bottom - r.top;
    SetWindowPos(hwnd_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    MakeControl(hwnd_, L"STATIC", SS_LEFT | SS_NOPREFIX, 0, "", 120, 120, 300, 240, kHeadline, headlineFont_);
    MakeControl(hwnd_, L"EDIT", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE,
                "", 120, 480, 6765, kNotesIdleHeight, kNotes, formFont_);
    // The bar lies over the status label and draws the label's text and frame where it covers
    // them, so that the status stays readable over the growing bar.
    MakeControl(hwnd_, L"STATIC", SS_OWNERDRAW | WS_CLIPSIBLINGS, 0, "", kBarLeft, kStatusTop, 15, kStatusHeight, kBar, statusFont_);
    MakeControl(hwnd_, L"STATIC", SS_OWNERDRAW | WS_CLIPSIBLINGS, 0, "", kStatusLeft, kStatusTop, kStatusWidth, kStatusHeight, kStatus,
                statusFont_);
    SetWindowPos(Control(kBar), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    MakeControl(hwnd_, L"STATIC", SS_OWNERDRAW, 0, "", 120, 4320, 6750, 15, kLine, nullptr);
    SetWindowPos(Control(kLine), nullptr, Px(120), Px(4320), Px(6870 - 120), 1, SWP_NOZORDER | SWP_NOACTIVATE);
    MakeControl(hwnd_, L"STATIC", SS_LEFT | SS_NOPREFIX, 0, kUpdaterHint, 120, 4470, 3000, 240, kHint, formFont_);
    SizeToText(Control(kHint), formFont_);
    MakeControl(hwnd_, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, kInstallButtonText, 4080, 4395, 1365, 360, kInstall,
                formFont_);
    MakeControl(hwnd_, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, kOnlineButtonText, 4080, 4395, 1365, 360, kOnline,
                formFont_);
    MakeControl(hwnd_, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, kGiveUpButtonText, 5520, 4395, 1365, 360, kGiveUp,
                formFont_);
    SetBusy(false);
}

UpdateForm::~UpdateForm() {
    if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
    for (HGDIOBJ o : {static_cast<HGDIOBJ>(formFont_), static_cast<HGDIOBJ>(headlineFont_),
                      static_cast<HGDIOBJ>(statusFont_), static_cast<HGDIOBJ>(white_), static_cast<HGDIOBJ>(green_),
                      static_cast<HGDIOBJ>(grey_)})
        if (o) DeleteObject(o);
    // The class brush stays while the class is registered.
}

void UpdateForm::SetHeadline(const std::string& text) {
    SetWindowTextW(Control(kHeadline), win32::Wide(text).c_str());
    SizeToText(Control(kHeadline), headlineFont_);
    Repaint(Control(kHeadline));
}

void UpdateForm::SetNotes(const std::string& text) {
    const std::wstring wide = win32::Wide(text);
    SetWindowTextW(Control(kNotes), wide.c_str());
    // The edit control keeps its text to itself; the window's own text is set as well, so that
    // readers in other processes (screen readers, UI automation) get it without a message.
    DefWindowProcW(Control(kNotes), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    Repaint(Control(kNotes));
}

void UpdateForm::ShowInstallButton(bool install) {
    ShowWindow(Control(kInstall), install ? SW_SHOW : SW_HIDE);
    ShowWindow(Control(kOnline), install ? SW_HIDE : SW_SHOW);
}

void UpdateForm::SetBusy(bool busy) {
    SetWindowPos(Control(kNotes), nullptr, 0, 0, Px(6765), Px(busy ? kNotesBusyHeight : kNotesIdleHeight),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (busy) ShowProgressWidth(0);
    ShowWindow(Control(kStatus), busy ? SW_SHOW : SW_HIDE);
    ShowWindow(Control(kBar), busy ? SW_SHOW : SW_HIDE);
    Repaint(Control(kNotes));
    Repaint(hwnd_);
}

void UpdateForm::EnableButton(UpdaterButton button, bool enabled) {
    const int id = button == UpdaterButton::Install ? kInstall : button == UpdaterButton::Online ? kOnline : kGiveUp;
    EnableWindow(Control(id), enabled);
    Repaint(Control(id));
}

void UpdateForm::Show() {
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
    UpdateWindow(hwnd_);
}

void UpdateForm::ShowStatus(const std::string& text) {
    SetWindowTextW(Control(kStatus), win32::Wide(text).c_str());
    Repaint(Control(kStatus));
    Repaint(Control(kBar));
}

int UpdateForm::StatusWidth() { return kStatusWidth; }

void UpdateForm::ShowProgressWidth(int twips) {
    barTwips_ = twips < 0 ? 0 : twips;
    // A width of 0 twips still leaves a window of no width: the bar is simply not seen.
    SetWindowPos(Control(kBar), nullptr, 0, 0, Px(barTwips_), Px(kStatusHeight), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Repaint(Control(kBar));
}

void UpdateForm::PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageW(hwnd_, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

void UpdateForm::RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(hwnd_, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

// The status label: the form's background, a one-pixel frame and the centred text. The bar
// paints the same text and frame over its green, in the label's coordinates.
void UpdateForm::DrawStatus(const DRAWITEMSTRUCT& item, bool bar) {
    HDC dc = item.hDC;
    RECT own = item.rcItem;
    FillRect(dc, &own, bar ? green_ : background_);
    HWND status = Control(kStatus);
    RECT label;
    GetClientRect(status, &label);
    if (bar) OffsetRect(&label, Px(kStatusLeft) - Px(kBarLeft), 0);
    FrameRect(dc, &label, grey_);
    std::wstring text = TextOf(status);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    HGDIOBJ old = SelectObject(dc, statusFont_);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &label, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
}

LRESULT CALLBACK UpdateForm::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<UpdateForm*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<UpdateForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self ? self->Handle(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT UpdateForm::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wp);
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lp));
            if (id == kNotes) {
                SetTextColor(dc, kGreyText);
                SetBkColor(dc, RGB(255, 255, 255));
                return reinterpret_cast<LRESULT>(white_);
            }
            SetTextColor(dc, id == kHeadline || id == kHint ? kRed : RGB(0, 0, 0));
            SetBkColor(dc, kBackground);
            return reinterpret_cast<LRESULT>(background_);
        }
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
            if (item.CtlID == kStatus || item.CtlID == kBar) {
                DrawStatus(item, item.CtlID == kBar);
                return TRUE;
            }
            if (item.CtlID == kLine) {
                FillRect(item.hDC, &item.rcItem, grey_);
                return TRUE;
            }
            break;
        }
        case WM_COMMAND:
            if (HIWORD(wp) == BN_CLICKED) {
                switch (LOWORD(wp)) {
                    case kInstall: handler_(UpdaterButton::Install); return 0;
                    case kOnline: handler_(UpdaterButton::Online); return 0;
                    case kGiveUp: handler_(UpdaterButton::GiveUp); return 0;
                }
            }
            break;
        case WM_CLOSE:
            // Closing the window is giving up; the handler ends the program or keeps the window.
            handler_(UpdaterButton::GiveUp);
            return 0;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace qor::forms
