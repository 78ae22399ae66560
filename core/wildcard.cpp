#include "core/wildcard.h"

#include <vector>

#include "core/text.h"

namespace qor {
namespace {

enum class Kind { Literal, Any, Star, Digit, Set };

struct Token {
    Kind kind = Kind::Literal;
    char16_t ch = 0;
    bool negated = false;
    std::vector<std::pair<char16_t, char16_t>> ranges;

    bool Matches(char16_t c) const {
        switch (kind) {
            case Kind::Literal: return c == ch;
            case Kind::Any: return true;
            case Kind::Digit: return c >= u'0' && c <= u'9';
            case Kind::Set: {
                bool in = false;
                for (auto& r : ranges)
                    if (c >= r.first && c <= r.second) in = true;
                return in != negated;
            }
            case Kind::Star: return false;
        }
        return false;
    }
};

bool Tokenize(const std::u16string& p, std::vector<Token>& out) {
    for (size_t i = 0; i < p.size(); ++i) {
        Token t;
        char16_t c = p[i];
        if (c == u'*') {
            if (!out.empty() && out.back().kind == Kind::Star) continue;
            t.kind = Kind::Star;
        } else if (c == u'?') {
            t.kind = Kind::Any;
        } else if (c == u'#') {
            t.kind = Kind::Digit;
        } else if (c == u'[') {
            size_t close = p.find(u']', i + 1);
            if (close == std::u16string::npos) return false;
            t.kind = Kind::Set;
            size_t j = i + 1;
            if (j < close && p[j] == u'!') { t.negated = true; ++j; }
            while (j < close) {
                char16_t lo = p[j];
                if (j + 2 < close && p[j + 1] == u'-') {
                    char16_t hi = p[j + 2];
                    if (lo <= hi) t.ranges.emplace_back(lo, hi);
                    j += 3;
                } else {
                    t.ranges.emplace_back(lo, lo);
                    ++j;
                }
            }
            i = close;
        } else {
            t.kind = Kind::Literal;
            t.ch = c;
        }
        out.push_back(std::move(t));
    }
    return true;
}

}  // namespace

bool WildcardMatch(const std::string& text, const std::string& pattern) {
    std::vector<Token> tokens;
    if (!Tokenize(Utf8ToUtf16(pattern), tokens)) return false;
    std::u16string s = Utf8ToUtf16(text);

    // Greedy matching with one backtrack point per star: linear in practice, never exponential.
    size_t ti = 0, si = 0;
    size_t starToken = std::string::npos, starText = 0;
    while (si < s.size()) {
        if (ti < tokens.size() && tokens[ti].kind == Kind::Star) {
            starToken = ti++;
            starText = si;
        } else if (ti < tokens.size() && tokens[ti].Matches(s[si])) {
            ++ti;
            ++si;
        } else if (starToken != std::string::npos) {
            ti = starToken + 1;
            si = ++starText;
        } else {
            return false;
        }
    }
    while (ti < tokens.size() && tokens[ti].kind == Kind::Star) ++ti;
    return ti == tokens.size();
}

}  // namespace qor
