// Benchmark helper (not shipped, not a test): downloads one URL through the updater's
// DownloadFile with the real WinINet session, into a target file, while the updater's window is
// shown and its status label and progress bar follow the transfer. Writes "ok <ms>" or
// "failed <ms>" to the file named as the third argument.
//
//   qor_download_bench.exe URL TARGET RESULT_FILE [clicks]
//
// With "clicks", a second thread clicks the window's 取消 button three times while the body
// arrives, as a person would, and the window answers as the updater's does during an online
// upgrade: it asks "确定要放弃升级吗？", and the answer 取消 lets the transfer go on. The result
// line then also holds, for each click, the milliseconds until the window handled it and until
// the question was on the screen ("clicks 3/21 4/19 2/20").
#include <windows.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>

#include "platform/win32/file_store_win32.h"
#include "platform/win32/http_session_win32.h"
#include "platform/win32/unicode.h"
#include "updater/forms/update_form.h"
#include "updater/http/downloader.h"

namespace {

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::atomic<double> g_handledAt{0};

// Keeps the visible give-up question of this process in *lp, then stops the enumeration.
BOOL CALLBACK KeepQuestion(HWND hwnd, LPARAM lp) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[16] = {}, title[16] = {};
    GetClassNameW(hwnd, cls, 16);
    GetWindowTextW(hwnd, title, 16);
    if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd) && std::wstring(cls) == L"#32770" &&
        std::wstring(title) == L"提示") {
        *reinterpret_cast<HWND*>(lp) = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The visible give-up question of this process, or null.
HWND FindQuestion() {
    HWND found = nullptr;
    EnumWindows(KeepQuestion, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Once the body arrives (the temporary file has grown), three clicks on 取消 100 ms apart, each
// answered with 取消 once the question shows: a transfer of the default 50 MB lasts little more
// than a second.
std::string ProbeClicks(HWND giveUp, const std::wstring& temporary, const std::atomic<bool>& transferDone) {
    std::string result = "clicks";
    for (;;) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (transferDone) return result;
        if (GetFileAttributesExW(temporary.c_str(), GetFileExInfoStandard, &data) && data.nFileSizeLow > 0) break;
        Sleep(5);
    }
    for (int i = 0; i < 3 && !transferDone; ++i) {
        Sleep(100);
        if (transferDone) break;
        g_handledAt = 0;
        const double clicked = NowMs();
        PostMessageW(giveUp, BM_CLICK, 0, 0);
        HWND question = nullptr;
        while (!question && NowMs() - clicked < 10000) {
            question = FindQuestion();
            if (!question) Sleep(1);
        }
        if (!question) break;
        const double shown = NowMs();
        result += " " + std::to_string(static_cast<long long>(g_handledAt - clicked + 0.5)) + "/" +
                  std::to_string(static_cast<long long>(shown - clicked + 0.5));
        PostMessageW(GetDlgItem(question, IDCANCEL), BM_CLICK, 0, 0);
        while (IsWindow(question) && NowMs() - shown < 10000) Sleep(1);
    }
    return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    const bool clicks = argc > 4 && std::wstring(argv[4]) == L"clicks";
    HWND window = nullptr;
    qor::forms::UpdateForm form([&window](qor::UpdaterButton button) {
        if (button != qor::UpdaterButton::GiveUp) return;
        g_handledAt = NowMs();
        MessageBoxW(window, L"确定要放弃升级吗？", L"提示", MB_OKCANCEL | MB_SETFOREGROUND);
    });
    window = form.hwnd();
    form.SetBusy(true);
    form.Show();
    qor::win32::Win32FileStore files;
    qor::win32::WinInetSession http("localhost", 30000);
    qor::TransferCounters counters;

    std::atomic<bool> done{false}, probed{false};
    std::string probe;
    std::thread prober;
    if (clicks) {
        HWND giveUp = GetDlgItem(window, qor::forms::UpdateForm::kGiveUp);
        prober = std::thread([&, giveUp] {
            probe = ProbeClicks(giveUp, std::wstring(argv[2]) + L".temp", done);
            probed = true;
        });
    }
    const double start = NowMs();
    const bool ok = qor::DownloadFile(http, files, form, qor::win32::Narrow(argv[1]), qor::win32::Narrow(argv[2]), counters);
    const double end = NowMs();
    done = true;
    // A click still on its way is handled here, so that the prober always gets its answer.
    while (prober.joinable() &&
           MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT) != WAIT_FAILED) {
        form.PumpMessages();
        if (probed) prober.join();
    }
    std::ofstream(argv[3]) << (ok ? "ok " : "failed ") << static_cast<long long>(end - start)
                           << (probe.empty() ? "" : " " + probe) << "\n";
    return ok ? 0 : 1;
}
