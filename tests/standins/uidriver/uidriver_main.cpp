// uidriver.exe: the UI driver from a command line, for scripts and for looking at windows.
//   uidriver wait  "<title>" [timeout ms]          prints the window's class and child texts
//   uidriver click "<title>" "<button text>"        clicks that button
//   uidriver shot  "<title>" <file.bmp>             saves the window's picture
// Exit code 0 on success, 1 when the window or button was not found, 2 for bad usage.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/unicode.h"
#include "tests/standins/uidriver/uidriver.h"

using namespace qor;

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fputs("usage: uidriver wait|click|shot <title> [...]\n", stderr);
        return 2;
    }
    std::string verb = win32::Narrow(argv[1]);
    std::string title = win32::Narrow(argv[2]);
    int timeout = (verb == "wait" && argc > 3) ? _wtoi(argv[3]) : 10000;
    HWND window = uidriver::WaitForWindow(title, 0, timeout);
    if (!window) return 1;
    if (verb == "wait") {
        std::printf("class=%s\n", uidriver::ClassName(window).c_str());
        for (const std::string& text : uidriver::ChildTexts(window)) std::printf("text=%s\n", text.c_str());
        return 0;
    }
    if (verb == "click" && argc > 3) return uidriver::ClickButtonByText(window, win32::Narrow(argv[3])) ? 0 : 1;
    if (verb == "shot" && argc > 3) return uidriver::SaveWindowBitmap(window, win32::Narrow(argv[3])) ? 0 : 1;
    return 2;
}
