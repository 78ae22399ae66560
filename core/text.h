// Text helpers shared by every program. Text is UTF-8 in std::string; where the system counts
// characters it counts UTF-16 code units, so conversions to UTF-16 live here too.
#pragma once

#include <string>
#include <vector>

namespace qor {

// Bytes that are no UTF-8 (also overlong forms and encoded surrogates) become U+FFFD, one per byte.
std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);

// Every occurrence of `from` replaced by `to`, scanning left to right (an empty `from` changes nothing).
std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to);
// The text without any occurrence of the character.
std::string RemoveChar(const std::string& text, char c);
// Leading and trailing blanks (U+0020 only) removed.
std::string TrimSpaces(const std::string& text);
bool StartsWith(const std::string& text, const std::string& prefix);
bool EndsWith(const std::string& text, const std::string& suffix);

// Pieces between every occurrence of the separator; "a,,b" gives "a", "", "b"; "" gives one "".
std::vector<std::string> Split(const std::string& text, const std::string& separator);
// Lines of a text file: a line ends at CR LF, at a lone CR or at a lone LF. A final line end
// yields no empty piece after it.
std::vector<std::string> SplitLines(const std::string& text);

// `folder` + `name`, with exactly one "\" between them ("C:\A" + "\SYS\x" and "C:\A\" + "SYS\x"
// both give "C:\A\SYS\x").
std::string JoinPath(const std::string& folder, const std::string& name);

// A folder as the extractor's destination argument, in quotes, ending in "\\" before the closing
// quote: "C:\A\" and "C:\A" both give "C:\A\\" with the quotes. A program that splits its command
// line by the C runtime's rules reads "\\" before a quote as one "\" (a single one would escape
// the quote); one that splits it itself keeps both, and Windows reads a doubled separator as
// one. Either way the argument names the folder with its trailing separator, which the
// extractor needs to take a folder that does not exist yet as a folder, not as a file mask.
std::string QuotedFolderArgument(const std::string& folder);

// The number in decimal, zero-padded on the left to at least `width` digits; a negative number
// keeps its sign in front of the padded digits (-1 with width 4 gives "-0001").
std::string PadNumber(long value, int width);

}  // namespace qor
