// uidriver.exe: the UI driver from a command line, for scripts and for looking at windows.
//   uidriver wait   "<title>" [timeout ms]             prints the window's class and child texts
//   uidriver click  "<title>" "<button text>"          clicks that button
//   uidriver shot   "<title>" <file.bmp>               saves the window's picture once it has settled
//   uidriver answer "<title>" <button id>              prints a message box's text, clicks the button
//                                                      with that id (1 OK, 2 Cancel, 6 Yes, 7 No) and
//                                                      waits until the box has closed
//   uidriver child  "<title>" "<text>" [timeout ms]    waits until the window shows an enabled child
//                                                      control with exactly that text
//   uidriver tick   "<title>" "<check box text>" 0|1   clears or ticks that check box by clicking it
//   uidriver ended  <image name> [timeout ms]          waits until no process of that image runs
// Windows are found by their exact title among the visible top-level windows; each verb first
// waits for its window (10 s unless a timeout is given). Exit code 0 on success, 1 when the
// window, control or state did not come in time, 2 for bad usage.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/unicode.h"
#include "tests/standins/uidriver/uidriver.h"

using namespace qor;

namespace {

// Asks `done` every 50 ms until it answers true or the time is up; its last answer.
template <typename Done>
bool PollUntil(Done done, int timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (static_cast<int>(GetTickCount() - start) >= timeoutMs) return done();
        Sleep(50);
    }
}

bool ProcessRuns(const std::wstring& image) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Process32FirstW(snap, &entry); more && !found; more = Process32NextW(snap, &entry))
        found = _wcsicmp(entry.szExeFile, image.c_str()) == 0;
    CloseHandle(snap);
    return found;
}

bool ShownEnabled(HWND control) { return control && IsWindowVisible(control) && IsWindowEnabled(control); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fputs("usage: uidriver wait|click|shot|answer|child|tick|ended <title> [...]\n", stderr);
        return 2;
    }
    const std::string verb = win32::Narrow(argv[1]);
    const std::string title = win32::Narrow(argv[2]);
    auto number = [&](int index, int fallback) { return argc > index ? _wtoi(argv[index]) : fallback; };

    if (verb == "ended") return PollUntil([&] { return !ProcessRuns(argv[2]); }, number(3, 10000)) ? 0 : 1;

    const int timeout = verb == "wait" ? number(3, 10000) : verb == "child" ? number(4, 10000) : 10000;
    HWND window = uidriver::WaitForWindow(title, 0, timeout);
    if (!window) return 1;
    if (verb == "wait") {
        std::printf("class=%s\n", uidriver::ClassName(window).c_str());
        for (const std::string& text : uidriver::ChildTexts(window)) std::printf("text=%s\n", text.c_str());
        return 0;
    }
    if (argc < 4) return 2;
    const std::string text = win32::Narrow(argv[3]);
    if (verb == "click") return uidriver::ClickButtonByText(window, text) ? 0 : 1;
    if (verb == "shot") return uidriver::SaveSettledWindowBitmap(window, text, 3000) ? 0 : 1;
    if (verb == "answer") {
        std::printf("%s\n", uidriver::MessageBoxText(window).c_str());
        return uidriver::ClickButton(window, _wtoi(argv[3])) && uidriver::WaitUntilClosed(window, 10000) ? 0 : 1;
    }
    if (verb == "child") {
        return PollUntil([&] { return ShownEnabled(uidriver::FindChild(window, text)); }, timeout) ? 0 : 1;
    }
    if (verb == "tick" && argc > 4) {
        const bool ticked = _wtoi(argv[4]) != 0;
        HWND box = uidriver::FindChild(window, text);
        if (!box) return 1;
        if (uidriver::IsChecked(box) != ticked) PostMessageW(box, BM_CLICK, 0, 0);
        return PollUntil([&] { return uidriver::IsChecked(box) == ticked; }, 10000) ? 0 : 1;
    }
    return 2;
}
