// Benchmark program (not a test): ExtractPayload on an installer package in a folder, timed;
// prints the elapsed milliseconds and the process's peak memory.
//   qor_bench_extract.exe FOLDER   (FOLDER holds QOR_SETUP.exe, the package)
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "installer/package/package.h"
#include "platform/win32/file_store_win32.h"
#include "platform/win32/unicode.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: qor_bench_extract FOLDER\n", stderr);
        return 2;
    }
    std::string folder = qor::win32::Narrow(argv[1]);
    if (folder.empty() || folder.back() != '\\') folder += "\\";
    qor::win32::Win32FileStore files;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    bool ok = qor::package::ExtractPayload(files, folder, "QOR_SETUP.exe", "UnRAR.exe", "QOR_SETUP.rar");
    QueryPerformanceCounter(&end);
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("ok=%d ms=%.1f peak_working_set_mb=%.1f peak_private_mb=%.1f\n", ok ? 1 : 0,
                1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart, memory.PeakWorkingSetSize / 1048576.0,
                memory.PeakPagefileUsage / 1048576.0);
    return ok ? 0 : 1;
}
