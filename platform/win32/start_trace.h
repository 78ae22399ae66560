// For test builds and benchmark helpers only (never included by a shipping build): with
// QOR_TEST_TRACE naming a file, the milliseconds from the creation of this process to each
// point a program marks, kept in memory and written as "point<TAB>milliseconds" lines by
// Write (bench/everyday_start.sh reads them). Without the variable nothing is recorded.
#pragma once

#include <windows.h>

#include <fstream>
#include <string>

namespace qor::win32 {

class StartTrace {
public:
    StartTrace() {
        const DWORD n = GetEnvironmentVariableW(L"QOR_TEST_TRACE", target_, MAX_PATH);
        enabled_ = n > 0 && n < MAX_PATH;
        FILETIME exit, kernel, user;
        if (enabled_) GetProcessTimes(GetCurrentProcess(), &created_, &exit, &kernel, &user);
    }
    void Mark(const char* point) {
        if (!enabled_) return;
        FILETIME now;
        GetSystemTimePreciseAsFileTime(&now);
        const unsigned long long ticks = Ticks(now) - Ticks(created_);  // 100 ns each
        lines_ += std::string(point) + "\t" + std::to_string(ticks / 10000) + "." +
                  std::to_string(ticks / 1000 % 10) + "\n";
    }
    void Write() const {
        if (enabled_) std::ofstream(target_, std::ios::binary) << lines_;
    }

private:
    static unsigned long long Ticks(const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    }
    wchar_t target_[MAX_PATH] = {};
    bool enabled_ = false;
    FILETIME created_ = {};
    std::string lines_;
};

}  // namespace qor::win32
