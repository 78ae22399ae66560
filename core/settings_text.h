// Text rules of the settings file: lines "KEY = value", CR LF line ends, first line of a key wins.
#pragma once

#include <string>

namespace qor {

// The value of `key` in the settings text: the first line that begins with key + " = ", with
// every occurrence of key + " = " removed from that line. Empty when no line has the key.
std::string SettingValue(const std::string& settingsText, const std::string& key);

// The settings text after setting `key` to `value`. When the text of key + " = " occurs, the
// whole text is rewritten: the key's first line is replaced (or, when the text stood only inside
// another line, the key's line is added at the end), every other non-empty line is kept in
// order, empty lines are dropped and every line ends with CR LF; `appendOnly` is then false. When the key is absent, the result is the single
// line to append (key + " = " + value + CR LF, preceded by CR LF when the text's last line has
// no line end) and `appendOnly` is true.
std::string SettingsTextWith(const std::string& settingsText, const std::string& key,
                             const std::string& value, bool& appendOnly);

}  // namespace qor
