#include "core/settings_text.h"

#include "core/text.h"
#include "core/wildcard.h"

namespace qor {
namespace {

bool LineHasKey(const std::string& line, const std::string& key) {
    return WildcardMatch(line, key + " = *");
}

}  // namespace

std::string SettingValue(const std::string& settingsText, const std::string& key) {
    // A lone CR or LF ends a line as CR LF does, so a damaged file never hides a key behind
    // another key's line.
    for (const std::string& line : SplitLines(settingsText)) {
        if (LineHasKey(line, key)) return ReplaceAll(line, key + " = ", "");
    }
    return std::string();
}

std::string SettingsTextWith(const std::string& settingsText, const std::string& key,
                             const std::string& value, bool& appendOnly) {
    const std::string entry = key + " = " + value;
    appendOnly = settingsText.find(key + " = ") == std::string::npos;
    if (appendOnly) {
        // A last line without its line end would otherwise run into the appended one and
        // damage both keys.
        const bool lineOpen = !settingsText.empty() && settingsText.back() != '\n' &&
                              settingsText.back() != '\r';
        return (lineOpen ? "\r\n" : "") + entry + "\r\n";
    }

    // Lines are split at every kind of line end, so a line with a stray CR or LF inside is
    // rewritten as two lines instead of being swallowed by the replaced line.
    std::string rewritten;
    bool replaced = false;
    for (const std::string& line : SplitLines(settingsText)) {
        if (line.empty()) continue;
        if (!replaced && LineHasKey(line, key)) {
            rewritten += entry + "\r\n";
            replaced = true;
        } else {
            rewritten += line + "\r\n";
        }
    }
    // The key's text stood only inside another line's value: the key has no line of its own
    // yet, so it gets one at the end rather than the write being lost.
    if (!replaced) rewritten += entry + "\r\n";
    return rewritten;
}

}  // namespace qor
