// libFuzzer target: the update log's parsing and the version order on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/update_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const qor::UpdateLogLines log = qor::ParseUpdateLog(text);
    // The pieces put back together give the text again.
    if (log.lineCount >= 2 && log.version + log.notes + log.lastLine != text) abort();
    if (log.lineCount == 1 && log.version != text) abort();
    const bool complete = qor::IsCompletedDownloadLog(log);
    const bool valid = qor::IsValidServerLog(log);
    // A usable log starts with a version text: runs of digits joined by single dots.
    const auto versionLike = [](const std::string& v) {
        return !v.empty() && v.find_first_not_of("0123456789.") == std::string::npos && v.front() != '.' &&
               v.back() != '.' && v.find("..") == std::string::npos && v.find('.') != std::string::npos;
    };
    if ((complete || valid) && !versionLike(log.version)) abort();
    if (qor::IsVersionText(text) != versionLike(text)) abort();

    // Version order: never both ways, never an equal text newer.
    const std::string& a = log.version;
    const std::string& b = log.lastLine;
    if (qor::IsNewerVersion(a, b) && qor::IsNewerVersion(b, a)) abort();
    if (qor::IsNewerVersion(a, a)) abort();
    return 0;
}
