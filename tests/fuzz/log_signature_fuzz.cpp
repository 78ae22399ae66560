// libFuzzer target: the update log's signature file, its time text and the newest-log record on
// arbitrary bytes. What is taken is written back to a text that reads the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/log_signature.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    qor::LogSignature signature;
    if (qor::ParseLogSignature(text, signature)) {
        qor::LogSignature again;
        const std::string written = qor::FormatLogSignature(signature);
        if (!qor::ParseLogSignature(written, again) || qor::FormatLogSignature(again) != written) abort();
        if (qor::LogSignedBytes(text, signature).size() < text.size()) abort();
    }
    int64_t seconds = 0;
    if (qor::ParseUtcTime(text, seconds) && qor::FormatUtcTime(seconds) != text) abort();
    std::string version;
    if (qor::ParseNewestLogRecord(text, version)) {
        std::string back;
        if (!qor::ParseNewestLogRecord(qor::FormatNewestLogRecord(version), back) || back != version) abort();
    }
    return 0;
}
