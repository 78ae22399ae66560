#include "core/wildcard.h"

#include <gtest/gtest.h>

namespace qor {

TEST(WildcardMatch, StarQuestionAndDigit) {
    EXPECT_TRUE(WildcardMatch("FSSHOW = False", "FSSHOW = *"));
    EXPECT_TRUE(WildcardMatch("FSSHOW = ", "FSSHOW = *"));
    EXPECT_FALSE(WildcardMatch("FSSHOW =False", "FSSHOW = *"));
    EXPECT_FALSE(WildcardMatch("XFSSHOW = 1", "FSSHOW = *"));
    EXPECT_TRUE(WildcardMatch("a\r\nb", "a*b"));  // star spans line breaks
    EXPECT_TRUE(WildcardMatch("x.qor", "*.qor"));
    EXPECT_FALSE(WildcardMatch("x.qorb", "*.qor"));  // the pattern covers the whole text
    EXPECT_TRUE(WildcardMatch("a1c", "a#c"));
    EXPECT_FALSE(WildcardMatch("abc", "a#c"));
    EXPECT_TRUE(WildcardMatch("abc", "a?c"));
    EXPECT_FALSE(WildcardMatch("ac", "a?c"));
    EXPECT_TRUE(WildcardMatch("", "*"));
    EXPECT_FALSE(WildcardMatch("", "?"));
}

TEST(WildcardMatch, CaseSensitive) {
    EXPECT_FALSE(WildcardMatch("fsshow = False", "FSSHOW = *"));
    EXPECT_FALSE(WildcardMatch("Z.QOR", "*.qor"));
    EXPECT_TRUE(WildcardMatch("C:\\Windows", "C:\\*"));
    EXPECT_FALSE(WildcardMatch("c:\\Windows", "C:\\*"));
}

TEST(WildcardMatch, BracketSets) {
    EXPECT_TRUE(WildcardMatch("b", "[abc]"));
    EXPECT_FALSE(WildcardMatch("d", "[abc]"));
    EXPECT_TRUE(WildcardMatch("m", "[a-z]"));
    EXPECT_FALSE(WildcardMatch("M", "[a-z]"));
    EXPECT_TRUE(WildcardMatch("M", "[!a-z]"));
    EXPECT_TRUE(WildcardMatch("*", "[*]"));  // a set makes a special character literal
    EXPECT_FALSE(WildcardMatch("a", "[a"));  // an unclosed set matches nothing
}

TEST(WildcardMatch, ChineseCharactersCountAsOne) {
    EXPECT_TRUE(WildcardMatch("账套", "??"));
    EXPECT_TRUE(WildcardMatch("D:\\账套\\a.qorb", "*\\?.qorb"));
    EXPECT_TRUE(WildcardMatch("360tray.exe", "*360*"));
}

TEST(WildcardMatch, LongTextsStayFast) {
    // Backtracking over many stars must not explode.
    std::string text(20000, 'a');
    EXPECT_FALSE(WildcardMatch(text, "*a*a*a*a*a*a*a*b"));
    EXPECT_TRUE(WildcardMatch(text + "KEY = 1", "*KEY = *"));
}

}  // namespace qor
