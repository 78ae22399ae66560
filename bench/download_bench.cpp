// Benchmark helper (not shipped, not a test): downloads one URL through the updater's
// DownloadFile with the real WinINet session, into a target file, while the updater's window is
// shown and its status label and progress bar follow the transfer. Prints "ok <ms>" or
// "failed <ms>" to the file named as the third argument.
//
//   qor_download_bench.exe URL TARGET RESULT_FILE
#include <windows.h>

#include <fstream>

#include "platform/win32/file_store_win32.h"
#include "platform/win32/http_session_win32.h"
#include "platform/win32/unicode.h"
#include "updater/forms/update_form.h"
#include "updater/http/downloader.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    qor::forms::UpdateForm form([](qor::UpdaterButton) {});
    form.SetBusy(true);
    form.Show();
    qor::win32::Win32FileStore files;
    qor::win32::WinInetSession http("localhost", 30000);
    qor::TransferCounters counters;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const bool ok = qor::DownloadFile(http, files, form, qor::win32::Narrow(argv[1]), qor::win32::Narrow(argv[2]), counters);
    QueryPerformanceCounter(&end);
    const long long ms = (end.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart;
    std::ofstream(argv[3]) << (ok ? "ok " : "failed ") << ms << "\n";
    return ok ? 0 : 1;
}
