// The updater's window Fd: headline, release notes, status label with its progress bar, the
// hint and the three buttons. Every text it shows is the window text of a child control.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "updater/updater.h"

namespace qor::forms {

class UpdateForm : public UpdaterWindow {
public:
    // Control ids, for the buttons' WM_COMMAND and for tests that find the controls.
    enum Id { kHeadline = 101, kNotes, kStatus, kBar, kLine, kHint, kInstall, kOnline, kGiveUp };

    // Called with the button that was clicked, or with GiveUp when the window is being closed.
    using Handler = std::function<void(UpdaterButton)>;

    // Creates the window hidden, centred, with every control in its idle layout.
    explicit UpdateForm(Handler handler);
    ~UpdateForm() override;

    void SetHeadline(const std::string& text) override;
    void SetNotes(const std::string& text) override;
    void ShowInstallButton(bool install) override;
    void SetBusy(bool busy) override;
    void EnableButton(UpdaterButton button, bool enabled) override;
    void Show() override;

    void ShowStatus(const std::string& text) override;
    int StatusWidth() override;
    void ShowProgressWidth(int twips) override;
    void PumpMessages() override;

    HWND hwnd() const { return hwnd_; }
    // Handles window messages until the program ends.
    void RunMessageLoop();

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    void DrawStatus(const DRAWITEMSTRUCT& item, bool bar);
    HWND Control(int id) const { return GetDlgItem(hwnd_, id); }

    Handler handler_;
    HWND hwnd_ = nullptr;
    HFONT formFont_ = nullptr, headlineFont_ = nullptr, statusFont_ = nullptr;
    HBRUSH background_ = nullptr, white_ = nullptr, green_ = nullptr, grey_ = nullptr;
    int barTwips_ = 0;
};

}  // namespace qor::forms
