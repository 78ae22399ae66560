#include "installer/forms/forms.h"

#include <commctrl.h>
#include "platform/win32/lazy_imports.h"

#include <vector>

#include "installer/agreement.h"
#include "installer/product.h"
#include "platform/win32/automation.h"
#include "platform/win32/unicode.h"
#include "platform/win32/window_class.h"

namespace qor::installer::forms {
namespace {

using win32::Narrow;
using win32::Wide;

// Both windows set themselves to 7,590 x 6,000 twips, 15 twips to the pixel.
constexpr int kWindowWidth = 7590 / 15;
constexpr int kWindowHeight = 6000 / 15;
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGreen = RGB(0, 192, 0);

// Control ids. Fd: agreement page 1xx, folder page 2xx, finish page 3xx; Fu 4xx.
enum : int {
    kFrame1 = 100, kLabel1, kTxy, kLabel2, kCk, kCcontinue,
    kFrame2 = 200, kLt, kLpath, kTpath, kCfolder, kLine1, kLb, kLw, kCyes, kCno,
    kFrame3 = 300, kLabel4, kLfinish, kLabel5, kCrun, kLine2, kCend,
    kUFrame1 = 400, kULabel1, kULabel3, kULabel2, kUCk, kULwarning, kULine1, kULb, kULw, kUCsetup,
    kUCuninstall, kUCno,
};

struct Fonts {
    HFONT normal, bold, title;
};

const Fonts& TheFonts() {
    static Fonts fonts = [] {
        auto make = [](double points, bool bold) {
            return CreateFontW(-static_cast<int>(points * 96.0 / 72.0 + 0.5), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL,
                               FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                               DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"宋体");
        };
        return Fonts{make(10.5, false), make(10.5, true), make(14, true)};
    }();
    return fonts;
}

HBRUSH FaceBrush() { return GetSysColorBrush(COLOR_BTNFACE); }
HBRUSH GreenBrush() {
    static HBRUSH brush = CreateSolidBrush(kGreen);
    return brush;
}

HWND Make(HWND parent, const wchar_t* cls, DWORD style, const std::string& text, int x, int y, int w, int h,
          int id, HFONT font, DWORD exStyle = 0) {
    HWND hwnd = CreateWindowExW(exStyle, cls, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (hwnd && font) SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return hwnd;
}
HWND Label(HWND parent, const std::string& text, int x, int y, int w, int h, int id, HFONT font = nullptr) {
    return Make(parent, L"STATIC", SS_LEFT | SS_NOPREFIX, text, x, y, w, h, id, font ? font : TheFonts().normal);
}
HWND Button(HWND parent, const std::string& text, int x, int y, int w, int h, int id) {
    return Make(parent, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, text, x, y, w, h, id, TheFonts().normal);
}
HWND CheckBox(HWND parent, const std::string& text, int x, int y, int w, int h, int id, bool red) {
    HWND box = Make(parent, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, text, x, y, w, h, id, TheFonts().normal);
    // A themed check box ignores the text colour; this one keeps the classic look to show red.
    if (red) SetWindowTheme(box, L"", L"");
    return box;
}
HWND Line(HWND parent, int x, int y, int w, int id) {
    return Make(parent, L"STATIC", SS_ETCHEDHORZ, "", x, y, w, 2, id, nullptr);
}

void SetText(HWND hwnd, const std::string& text) { SetWindowTextW(hwnd, Wide(text).c_str()); }

// An edit box keeps its text in a buffer of its own; the window's own text, which other
// programs read, is set to the same text so that the box answers with what it shows.
void SetEditText(HWND edit, const std::string& text) {
    const std::wstring wide = Wide(text);
    SetWindowTextW(edit, wide.c_str());
    DefWindowProcW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}
bool IsTicked(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) != BST_UNCHECKED; }

void Repaint(HWND hwnd) {
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateWindow(hwnd);
}

void PumpPending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) EndProgram();
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// The colours of the labels and check boxes that a window marks red or green.
struct Colours {
    std::vector<HWND> red;
    HWND green = nullptr;
};

LRESULT ColourControl(const Colours& colours, WPARAM wp, LPARAM lp) {
    HDC dc = reinterpret_cast<HDC>(wp);
    HWND control = reinterpret_cast<HWND>(lp);
    if (control == colours.green) return reinterpret_cast<LRESULT>(GreenBrush());
    SetBkMode(dc, TRANSPARENT);
    for (HWND red : colours.red)
        if (red == control) SetTextColor(dc, kRed);
    return reinterpret_cast<LRESULT>(FaceBrush());
}

// A page: a plain child window that hands its controls' notifications and colour questions to
// the window it lies on.
LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
            return SendMessageW(GetParent(hwnd), msg, wp, lp);
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}


HWND Frame(HWND parent, int id, bool visible) {
    win32::RegisterFormClass(L"QORFrame", FrameProc, FaceBrush());
    RECT client;
    GetClientRect(parent, &client);
    HWND frame = CreateWindowExW(WS_EX_CONTROLPARENT, L"QORFrame", L"", WS_CHILD | (visible ? WS_VISIBLE : 0), 0, 0,
                                 client.right, client.bottom, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    return frame;
}

HWND CreateForm(const wchar_t* cls, WNDPROC proc, const std::string& caption) {
    win32::RegisterFormClass(cls, proc, FaceBrush());
    HWND hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, cls, Wide(caption).c_str(),
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                                CW_USEDEFAULT, CW_USEDEFAULT, kWindowWidth, kWindowHeight, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    // Centred on the screen.
    SetWindowPos(hwnd, nullptr, (GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - kWindowHeight) / 2, kWindowWidth, kWindowHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    return hwnd;
}

// ---------------------------------------------------------------------------------------------
// Fd, the install wizard.

struct Wizard {
    HWND hwnd = nullptr;
    HWND Frame1 = nullptr, Frame2 = nullptr, Frame3 = nullptr;
    HWND Txy = nullptr, Ck = nullptr, Ccontinue = nullptr;
    HWND Lt = nullptr, Tpath = nullptr, Cfolder = nullptr, Lb = nullptr, Lw = nullptr, Cyes = nullptr, Cno = nullptr;
    HWND Lfinish = nullptr, Crun = nullptr;
    Colours colours;
    WNDPROC editProc = nullptr;
    bool installing = false;
};
Wizard Fd;

enum class Page { Agreement, Folder, Finished };
Page CurrentPage() {
    if (IsWindowVisible(Fd.Frame3)) return Page::Finished;
    if (IsWindowVisible(Fd.Frame1)) return Page::Agreement;
    return Page::Folder;
}

// The status label and the green bar under it, on the frame that holds them.
void ShowStatusOn(HWND lb, const std::string& text) {
    SetText(lb, text);
    ShowWindow(lb, SW_SHOW);
    Repaint(lb);
}

void ShowProgressOn(HWND lb, HWND lw, HWND frame, long done, long total) {
    RECT r;
    GetWindowRect(lb, &r);
    const int width = total > 0 ? static_cast<int>((r.right - r.left) * done / total) : 0;
    SetWindowPos(lw, nullptr, 0, 0, width, 6, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(lw, SW_SHOW);
    Repaint(lw);
    Repaint(frame);
}

void HideProgressOn(HWND lb, HWND lw, HWND frame) {
    ShowWindow(lb, SW_HIDE);
    ShowWindow(lw, SW_HIDE);
    Repaint(frame);
}

class WizardPageView : public WizardView {
public:
    Answer ShowMessage(const std::string& text, const std::string& title, MessageKind kind) override {
        return ShowMessageBox(Fd.hwnd, text, title, kind);
    }
    void ShowStatus(const std::string& text) override { ShowStatusOn(Fd.Lb, text); }
    void ShowProgress(long done, long total) override { ShowProgressOn(Fd.Lb, Fd.Lw, Fd.Frame2, done, total); }
    void HideProgress() override { HideProgressOn(Fd.Lb, Fd.Lw, Fd.Frame2); }
    void EnableFolderAndStart(bool enabled) override {
        EnableWindow(Fd.Cfolder, enabled);
        EnableWindow(Fd.Cyes, enabled);
    }
    void EnableCancel(bool enabled) override { EnableWindow(Fd.Cno, enabled); }
    void ShowFinishPage(const std::string& finishText, const std::string& runText) override {
        SetText(Fd.Lfinish, finishText);
        SetText(Fd.Crun, runText);
        ShowWindow(Fd.Frame2, SW_HIDE);
        ShowWindow(Fd.Frame3, SW_SHOW);
    }
    void PumpEvents() override { PumpPending(); }
};

void ShowFolderPage() {
    SetText(Fd.Lt, InstallIntroText());
    ShowWindow(Fd.Frame1, SW_HIDE);
    ShowWindow(Fd.Frame2, SW_SHOW);
}

// The shell's folder picker: no owner, an edit box to type a path (16), the drive list as root (17).
void ChooseFolder() {
    win32::AutomationObject shell = win32::AutomationObject::Create("Shell.Application");
    if (!shell) return;
    win32::Variant picked;
    if (!shell.Call("BrowseForFolder", {win32::AutomationArg(0), win32::AutomationArg("请选择安装路径："),
                                        win32::AutomationArg(16), win32::AutomationArg(17)},
                    &picked) ||
        picked.v.vt != VT_DISPATCH || !picked.v.pdispVal)
        return;
    picked.v.pdispVal->AddRef();
    win32::AutomationObject folder{win32::ComPtr<IDispatch>(picked.v.pdispVal)};
    win32::AutomationObject self = folder.GetObject("Self");
    const std::string path = self ? self.GetText("Path") : std::string();
    if (path.empty()) return;
    // A folder that may not hold an install is refused when it is picked; the path stays.
    WizardPageView view;
    if (RefuseProtectedInstallFolder(*TheProgram().platform, view, path + "\\")) return;
    InstallPath() = path + "\\";
    SetEditText(Fd.Tpath, InstallPath());
}

[[noreturn]] void FinishAndEnd() {
    if (IsTicked(Fd.Crun)) StartInstalledProgram(*TheProgram().platform, InstallPath());
    EndProgram();
}

void AskToAbandon() {
    if (ShowMessageBox(Fd.hwnd, kCancelInstallQuestion, kInfoTitle, MessageKind::OkCancel) == Answer::Ok)
        EndProgram();
}

LRESULT CALLBACK TpathProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_LBUTTONDBLCLK) {
        if (IsWindowEnabled(Fd.Cfolder)) ChooseFolder();
        return 0;
    }
    return CallWindowProcW(Fd.editProc, hwnd, msg, wp, lp);
}

LRESULT CALLBACK WizardProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
            if (HIWORD(wp) != BN_CLICKED) break;
            switch (LOWORD(wp)) {
                case kCk: EnableWindow(Fd.Ccontinue, IsTicked(Fd.Ck)); return 0;
                case kCcontinue: ShowFolderPage(); return 0;
                case kCfolder: ChooseFolder(); return 0;
                case kCyes: Fd_Cyes_Click(); return 0;
                case kCno: AskToAbandon(); return 0;
                case kCend: FinishAndEnd();
            }
            break;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return ColourControl(Fd.colours, wp, lp);
        case WM_CLOSE:
            switch (CurrentPage()) {
                case Page::Finished: FinishAndEnd();
                case Page::Agreement: EndProgram();
                case Page::Folder: AskToAbandon(); return 0;
            }
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// ---------------------------------------------------------------------------------------------
// Fu, the uninstall window.

struct UninstallWindow {
    HWND hwnd = nullptr, Frame1 = nullptr, Ck = nullptr, Lwarning = nullptr, Lb = nullptr, Lw = nullptr;
    HWND Csetup = nullptr, Cno = nullptr;
    Colours colours;
    bool busy = false;
};
UninstallWindow Fu;

class UninstallWindowView : public UninstallView {
public:
    Answer ShowMessage(const std::string& text, const std::string& title, MessageKind kind) override {
        return ShowMessageBox(Fu.hwnd, text, title, kind);
    }
    void ShowStatus(const std::string& text) override { ShowStatusOn(Fu.Lb, text); }
    void ShowProgress(long done, long total) override { ShowProgressOn(Fu.Lb, Fu.Lw, Fu.Frame1, done, total); }
    void HideProgress() override { HideProgressOn(Fu.Lb, Fu.Lw, Fu.Frame1); }
    void EnableRepairAndCancel(bool enabled) override {
        EnableWindow(Fu.Csetup, enabled);
        EnableWindow(Fu.Cno, enabled);
    }
    void PumpEvents() override { PumpPending(); }
};

void Uninstall() {
    if (Fu.busy) return;
    Fu.busy = true;
    UninstallWindowView view;
    UninstallOutcome outcome =
        RunUninstall(*TheProgram().platform, view, InstallPath(), IsTicked(Fu.Ck));
    Fu.busy = false;
    if (outcome == UninstallOutcome::RecordMissing || outcome == UninstallOutcome::Removed) EndProgram();
}

LRESULT CALLBACK UninstallProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
            if (HIWORD(wp) != BN_CLICKED) break;
            switch (LOWORD(wp)) {
                case kUCk: ShowWindow(Fu.Lwarning, IsTicked(Fu.Ck) ? SW_SHOW : SW_HIDE); return 0;
                case kUCno: EndProgram();
                case kUCsetup: RepairFromUninstallWindow(); return 0;
                case kUCuninstall: Uninstall(); return 0;
            }
            break;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return ColourControl(Fu.colours, wp, lp);
        case WM_CLOSE:
            // Closing ends nothing halfway through a removal, as 取消 cannot then either.
            if (Fu.busy) return 0;
            // No other window is loaded: closing it ends the program (the wizard, once loaded,
            // governs the program instead).
            if (Fd.hwnd) {
                ShowWindow(hwnd, SW_HIDE);
                return 0;
            }
            EndProgram();
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

Program& TheProgram() {
    static Program program;
    return program;
}

std::string& InstallPath() { return TheProgram().installPath; }

void EndProgram() { ExitProcess(0); }

Answer ShowMessageBox(HWND owner, const std::string& text, const std::string& title, MessageKind kind) {
    UINT flags = MB_OK;
    switch (kind) {
        case MessageKind::Information: flags = MB_OK | MB_ICONINFORMATION; break;
        case MessageKind::Critical: flags = MB_OK | MB_ICONERROR; break;
        case MessageKind::OkCancel: flags = MB_OKCANCEL; break;
        case MessageKind::YesNo: flags = MB_YESNO; break;
    }
    Answer answer = Answer::Ok;
    switch (MessageBoxW(owner, Wide(text).c_str(), Wide(title).c_str(), flags)) {
        case IDCANCEL: answer = Answer::Cancel; break;
        case IDYES: answer = Answer::Yes; break;
        case IDNO: answer = Answer::No; break;
        default: break;
    }
    if (TheProgram().platform) LogAction(*TheProgram().platform, MessageLogLine(text, title, answer));
    return answer;
}

HWND LoadWizard() {
    if (Fd.hwnd) return Fd.hwnd;
    Wizard& w = Fd;
    const Fonts& f = TheFonts();
    w.hwnd = CreateForm(L"QORSetupFd", WizardProc, "QOR安装");
    RECT client;
    GetClientRect(w.hwnd, &client);
    const int cw = client.right, ch = client.bottom;
    const int right = cw - 16, bottomButtons = ch - 40, lineY = ch - 54;

    w.Frame1 = Frame(w.hwnd, kFrame1, true);
    Label(w.Frame1, "请阅读QORsoft软件产品许可协议", 16, 12, cw - 32, 20, kLabel1, f.bold);
    w.Txy = Make(w.Frame1, L"EDIT", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP,
                 AgreementText(), 16, 38, cw - 32, ch - 150, kTxy, f.normal, WS_EX_CLIENTEDGE);
    SetEditText(w.Txy, AgreementText());
    Label(w.Frame1, "若要继续，您必须接受此协议的所有条款，否则，请关闭本窗口。", 16, ch - 104, cw - 32, 20, kLabel2);
    w.Ck = CheckBox(w.Frame1, "我接受此协议的所有条款", 16, ch - 78, 260, 22, kCk, false);
    w.Ccontinue = Button(w.Frame1, "继续(&C)..", right - 100, bottomButtons, 100, 28, kCcontinue);
    EnableWindow(w.Ccontinue, FALSE);

    w.Frame2 = Frame(w.hwnd, kFrame2, false);
    w.Lt = Label(w.Frame2, "", 24, 20, cw - 48, 80, kLt, f.bold);
    Label(w.Frame2, "安装路径：", 24, 124, 120, 20, kLpath);
    w.Tpath = Make(w.Frame2, L"EDIT", ES_AUTOHSCROLL | ES_READONLY | WS_TABSTOP, InstallPath(), 24, 148,
                   cw - 48 - 104, 24, kTpath, f.normal, WS_EX_CLIENTEDGE);
    SetEditText(w.Tpath, InstallPath());
    w.editProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(w.Tpath, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TpathProc)));
    w.Cfolder = Button(w.Frame2, "更改(&B)..", right - 96, 147, 96, 26, kCfolder);
    Line(w.Frame2, 8, lineY, cw - 16, kLine1);
    w.Lb = Make(w.Frame2, L"STATIC", SS_LEFT | SS_NOPREFIX, "", 24, 200, cw - 48, 20, kLb, f.normal);
    w.Lw = Make(w.Frame2, L"STATIC", SS_LEFT, "", 24, 224, 0, 6, kLw, nullptr);
    ShowWindow(w.Lb, SW_HIDE);
    ShowWindow(w.Lw, SW_HIDE);
    w.colours.green = w.Lw;
    w.Cyes = Button(w.Frame2, "开始安装(&S)..", right - 100 - 8 - 116, bottomButtons, 116, 28, kCyes);
    w.Cno = Button(w.Frame2, "取消(&C)", right - 100, bottomButtons, 100, 28, kCno);

    w.Frame3 = Frame(w.hwnd, kFrame3, false);
    Label(w.Frame3, "安装完成", 24, 20, cw - 48, 30, kLabel4, f.title);
    w.Lfinish = Label(w.Frame3, "", 24, 70, cw - 48, 40, kLfinish);
    Label(w.Frame3, "您可以通过QOR桌面快捷方式图标打开软件。", 24, 116, cw - 48, 20, kLabel5);
    w.Crun = CheckBox(w.Frame3, "", 24, 156, cw - 48, 22, kCrun, false);
    SendMessageW(w.Crun, BM_SETCHECK, BST_CHECKED, 0);
    Line(w.Frame3, 8, lineY, cw - 16, kLine2);
    Button(w.Frame3, "完成(&D)", right - 100, bottomButtons, 100, 28, kCend);
    return w.hwnd;
}

void ShowWizard() {
    ShowWindow(Fd.hwnd, SW_SHOW);
    SetForegroundWindow(Fd.hwnd);
}

void Fd_Cyes_Click() {
    if (Fd.installing) return;
    Fd.installing = true;
    WizardPageView view;
    RunInstall(*TheProgram().platform, view, InstallPath());
    Fd.installing = false;
}

void RepairFromUninstallWindow() {
    LoadWizard();
    ShowFolderPage();
    ShowWizard();
    ShowWindow(Fu.hwnd, SW_HIDE);
    Fd_Cyes_Click();
}

HWND ShowUninstallWindow() {
    UninstallWindow& u = Fu;
    const Fonts& f = TheFonts();
    u.hwnd = CreateForm(L"QORSetupFu", UninstallProc, "QOR卸载");
    RECT client;
    GetClientRect(u.hwnd, &client);
    const int cw = client.right, ch = client.bottom;
    const int right = cw - 16, bottomButtons = ch - 40, lineY = ch - 54;
    u.Frame1 = Frame(u.hwnd, kUFrame1, true);
    Label(u.Frame1, "亲爱的用户：", 24, 20, cw - 48, 20, kULabel1, f.bold);
    Label(u.Frame1, "您真的决定要卸载了吗？", 48, 52, cw - 72, 20, kULabel3);
    Label(u.Frame1, "如果QOR软件不能正常运行，您可以尝试点击【修复安装】以解决问题。", 48, 80, cw - 72, 40, kULabel2);
    u.Ck = CheckBox(u.Frame1, "同时删除整个安装文件夹", 48, 136, 260, 22, kUCk, true);
    u.Lwarning = Label(u.Frame1, "勾选后安装文件夹中的所有账套文件和导出的Excel表格都会被删除（不推荐）", 48, 162, cw - 72,
                       36, kULwarning);
    ShowWindow(u.Lwarning, SW_HIDE);
    u.colours.red = {u.Ck, u.Lwarning};
    Line(u.Frame1, 8, lineY, cw - 16, kULine1);
    u.Lb = Make(u.Frame1, L"STATIC", SS_LEFT | SS_NOPREFIX, "", 24, 214, cw - 48, 20, kULb, f.normal);
    u.Lw = Make(u.Frame1, L"STATIC", SS_LEFT, "", 24, 238, 0, 6, kULw, nullptr);
    ShowWindow(u.Lb, SW_HIDE);
    ShowWindow(u.Lw, SW_HIDE);
    u.colours.green = u.Lw;
    u.Csetup = Button(u.Frame1, "修复安装(&S)..", right - 100 - 8 - 100 - 8 - 116, bottomButtons, 116, 28, kUCsetup);
    Button(u.Frame1, "卸载(&U)", right - 100 - 8 - 100, bottomButtons, 100, 28, kUCuninstall);
    u.Cno = Button(u.Frame1, "取消(&C)", right - 100, bottomButtons, 100, 28, kUCno);
    ShowWindow(u.hwnd, SW_SHOW);
    SetForegroundWindow(u.hwnd);
    return u.hwnd;
}

}  // namespace qor::installer::forms
