#include "core/text.h"

#include <cstdlib>

namespace qor {

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        char32_t cp = 0xFFFD;
        size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c >> 5) == 0x6) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c >> 4) == 0xE) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c >> 3) == 0x1E) {
            len = 4;
            cp = c & 0x07;
        } else {
            len = 0;  // stray continuation or invalid lead byte
        }
        if (len > 1) {
            bool ok = i + len <= text.size();
            for (size_t k = 1; ok && k < len; ++k) {
                unsigned char cc = static_cast<unsigned char>(text[i + k]);
                if ((cc >> 6) != 0x2) ok = false; else cp = (cp << 6) | (cc & 0x3F);
            }
            // Overlong forms, encoded surrogates and values beyond U+10FFFF are no characters.
            static const char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
            if (ok && (cp < kLeast[len] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)) ok = false;
            if (!ok) { cp = 0xFFFD; len = 1; }
        } else if (len == 0) {
            cp = 0xFFFD;
            len = 1;
        }
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;  // unpaired surrogate
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    std::string out;
    size_t pos = 0;
    for (;;) {
        size_t hit = text.find(from, pos);
        if (hit == std::string::npos) break;
        out.append(text, pos, hit - pos);
        out += to;
        pos = hit + from.size();
    }
    out.append(text, pos, std::string::npos);
    return out;
}

std::string RemoveChar(const std::string& text, char c) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text)
        if (ch != c) out.push_back(ch);
    return out;
}

std::string TrimSpaces(const std::string& text) {
    size_t b = text.find_first_not_of(' ');
    if (b == std::string::npos) return std::string();
    size_t e = text.find_last_not_of(' ');
    return text.substr(b, e - b + 1);
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0 && text.size() >= prefix.size();
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> pieces;
    if (separator.empty()) return {text};
    size_t pos = 0;
    for (;;) {
        size_t hit = text.find(separator, pos);
        if (hit == std::string::npos) break;
        pieces.push_back(text.substr(pos, hit - pos));
        pos = hit + separator.size();
    }
    pieces.push_back(text.substr(pos));
    return pieces;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string current;
    bool open = false;  // a line has started and not yet ended
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(current);
            current.clear();
            open = false;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            current.push_back(c);
            open = true;
        }
    }
    if (open) lines.push_back(current);
    return lines;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    bool folderEnds = !folder.empty() && folder.back() == '\\';
    bool nameBegins = !name.empty() && name.front() == '\\';
    if (folderEnds && nameBegins) return folder + name.substr(1);
    if (folderEnds || nameBegins || folder.empty()) return folder + name;
    return folder + "\\" + name;
}

std::string QuotedFolderArgument(const std::string& folder) {
    const size_t end = folder.find_last_not_of('\\');
    return "\"" + folder.substr(0, end == std::string::npos ? 0 : end + 1) + "\\\\\"";
}

std::string PadNumber(long value, int width) {
    std::string digits = std::to_string(std::labs(value));
    if (static_cast<int>(digits.size()) < width) digits.insert(0, width - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
}

}  // namespace qor
