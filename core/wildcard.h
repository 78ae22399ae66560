// The system's wildcard match: "*" any run of characters (none too, line breaks included),
// "?" any one character, "#" one digit 0-9, "[set]" one character of the set ("[a-z]" ranges,
// "[!set]" one character outside it). Every other character matches only itself, case-sensitive.
// The pattern must cover the whole text. Characters are UTF-16 code units.
#pragma once

#include <string>

namespace qor {

// True when the pattern covers the whole text. A pattern with an unclosed "[" matches nothing.
bool WildcardMatch(const std::string& text, const std::string& pattern);

}  // namespace qor
