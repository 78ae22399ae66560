// The wildcard matcher on any text and pattern: no crash, no runaway time, and a pattern
// without special characters matches exactly its own text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/wildcard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t split = input.find('\0');
    if (split == std::string::npos) return 0;
    const std::string text = input.substr(0, split), pattern = input.substr(split + 1);
    (void)qor::WildcardMatch(text, pattern);
    if (pattern.find_first_of("*?#[") == std::string::npos && !pattern.empty() &&
        qor::WildcardMatch(pattern, pattern) != true)
        abort();
    if (!qor::WildcardMatch(text, "*")) abort();
    return 0;
}
