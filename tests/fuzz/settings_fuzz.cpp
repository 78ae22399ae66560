// Settings-file text: reading any key from any text, and rewriting a key, never crashes, and a
// rewrite keeps every non-empty line of every other key in its order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/settings_text.h"
#include "core/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Input: key, NUL, value, NUL, settings text.
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t a = input.find('\0');
    if (a == std::string::npos) return 0;
    size_t b = input.find('\0', a + 1);
    if (b == std::string::npos) return 0;
    const std::string key = input.substr(0, a), value = input.substr(a + 1, b - a - 1), text = input.substr(b + 1);
    // Keys are the programs' own constants: capital letters.
    if (key.empty() || key.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos ||
        value.find_first_of("\r\n") != std::string::npos)
        return 0;

    (void)qor::SettingValue(text, key);
    bool appendOnly = false;
    const std::string rewritten = qor::SettingsTextWith(text, key, value, appendOnly);
    const std::string result = appendOnly ? text + rewritten : rewritten;

    // The key now reads as the value, unless the value holds the key's own prefix.
    const std::string prefix = key + " = ";
    if (value.find(prefix) == std::string::npos && qor::SettingValue(result, key) != value) abort();

    // Every non-empty line that is not the key's first line survives, in order.
    std::vector<std::string> before, after;
    bool seenKey = false;
    for (const std::string& line : qor::SplitLines(text)) {
        if (line.empty()) continue;
        if (!seenKey && qor::StartsWith(line, prefix)) { seenKey = true; continue; }
        before.push_back(line);
    }
    seenKey = false;
    for (const std::string& line : qor::SplitLines(result)) {
        if (line.empty()) continue;
        if (!seenKey && qor::StartsWith(line, prefix)) { seenKey = true; continue; }
        after.push_back(line);
    }
    if (before != after) abort();
    return 0;
}
