#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/launcher_rules.h"
#include "core/process_rules.h"
#include "core/sha256.h"
#include "core/trust_list.h"
#include "core/text.h"
#include "core/version_text.h"

namespace qor {
namespace {

using Lines = std::vector<std::string>;

TEST(Text, SplitLinesEndsALineAtCrLfLoneCrAndLoneLf) {
    EXPECT_EQ(SplitLines("A = 1\r\nB = 2\r\n"), (Lines{"A = 1", "B = 2"}));
    EXPECT_EQ(SplitLines("A = 1\r\nB = 2"), (Lines{"A = 1", "B = 2"}));  // no final line end
    EXPECT_EQ(SplitLines("A\rB\nC\r\n\r\nD"), (Lines{"A", "B", "C", "", "D"}));
    EXPECT_EQ(SplitLines("A\r\r\nB"), (Lines{"A", "", "B"}));  // CR then CR LF: two line ends
    EXPECT_EQ(SplitLines("A\n\rB"), (Lines{"A", "", "B"}));    // LF CR is not one line end
    EXPECT_EQ(SplitLines("\r\n"), (Lines{""}));
    EXPECT_TRUE(SplitLines("").empty());
}

TEST(Text, SplitReplaceAllAndJoinPath) {
    EXPECT_EQ(Split("E:,,F:", ","), (Lines{"E:", "", "F:"}));
    EXPECT_EQ(Split("", ","), (Lines{""}));
    EXPECT_EQ(Split("a\r\nb\r\n", "\r\n"), (Lines{"a", "b", ""}));

    // Left to right, without rescanning what was replaced.
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAll("/0//0/x", "/0/", ""), "x");
    EXPECT_EQ(ReplaceAll("ab", "a", "aa"), "aab");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");

    EXPECT_EQ(JoinPath("C:\\A", "\\SYS\\x"), "C:\\A\\SYS\\x");
    EXPECT_EQ(JoinPath("C:\\A\\", "SYS\\x"), "C:\\A\\SYS\\x");
    EXPECT_EQ(JoinPath("C:\\A\\", "\\SYS\\x"), "C:\\A\\SYS\\x");
    EXPECT_EQ(JoinPath("\\\\srv\\share", "\\SYS\\"), "\\\\srv\\share\\SYS\\");
    // The extractor's destination: one form for a folder with or without its separator, a
    // drive root and a folder named with several separators at its end.
    EXPECT_EQ(QuotedFolderArgument("C:\\A"), "\"C:\\A\\\\\"");
    EXPECT_EQ(QuotedFolderArgument("C:\\A\\"), "\"C:\\A\\\\\"");
    EXPECT_EQ(QuotedFolderArgument("D:\\\\"), "\"D:\\\\\"");
}

TEST(Text, PadNumberKeepsTheSignInFront) {
    EXPECT_EQ(PadNumber(1, 2), "01");
    EXPECT_EQ(PadNumber(123, 2), "123");  // never cut
    EXPECT_EQ(PadNumber(0, 4), "0000");
    EXPECT_EQ(PadNumber(-1, 4), "-0001");
    EXPECT_EQ(PadNumber(-32768, 4), "-32768");
}

TEST(Text, Utf8AndUtf16) {
    const std::string text = "A账套\\😀";  // the last one is outside the basic plane
    const std::u16string wide = Utf8ToUtf16(text);
    EXPECT_EQ(wide, (std::u16string{u'A', 0x8D26, 0x5957, u'\\', 0xD83D, 0xDE00}));
    EXPECT_EQ(Utf16ToUtf8(wide), text);

    // Bytes that are no UTF-8 become U+FFFD one byte at a time; what follows them survives.
    EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16("\x80"), u"\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("a\xE8" "b"), u"a\uFFFDb");         // cut-off sequence
    EXPECT_EQ(Utf8ToUtf16("\xE8\xB4"), u"\uFFFD\uFFFD");      // cut off by the end
    // Overlong forms, encoded surrogates and code points beyond U+10FFFF decode to nothing
    // that could pass for a real character (an overlong NUL must never become U+0000).
    for (const std::string bad : {"\xC0\x80", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                  "\xF7\xBF\xBF\xBF"}) {
        for (char16_t c : Utf8ToUtf16(bad)) EXPECT_EQ(c, u'\uFFFD') << bad.size();
    }

    // An unpaired surrogate becomes U+FFFD.
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00}), "\xEF\xBF\xBD");
}

TEST(VersionText, ProgramVersions) {
    EXPECT_EQ(ShortVersionText(6, 1), "6.01");
    EXPECT_EQ(FullVersionText(6, 1, 0), "6.01");
    EXPECT_EQ(FullVersionText(6, 1, 3), "6.01.03");
    EXPECT_EQ(FullVersionText(6, 1, 12), "6.01.12");
}

TEST(VersionText, ComponentVersions) {
    EXPECT_EQ(ComponentVersionText(6, 1, 98, 34), "0006.0001.0098.0034");
    EXPECT_EQ(ComponentVersionText(0, 0, 0, 0), kNoComponentVersion);
    // Parts are signed 16-bit numbers.
    EXPECT_EQ(ComponentVersionText(1, 0, 65535, 0), "0001.0000.-0001.0000");
    EXPECT_EQ(ComponentVersionText(32768, 0, 0, 0), "-32768.0000.0000.0000");
    // A fifth digit breaks the plain-text order, as the users of these texts accept.
    const std::string big = ComponentVersionText(1, 0, 10000, 0);
    EXPECT_EQ(big, "0001.0000.10000.0000");
    EXPECT_LT(big, ComponentVersionText(1, 0, 9999, 0));
    // Within four digits the text order is the version order.
    EXPECT_LT(ComponentVersionText(6, 0, 9999, 9999), ComponentVersionText(6, 1, 0, 0));
    EXPECT_LT(std::string(kNoComponentVersion), ComponentVersionText(0, 0, 0, 1));
}

struct CommandCase {
    const char* arguments;
    const char* commandText;
    bool skipsUpdate;
    bool hasAccountSet;
    const char* folder;
    const char* file;
};

TEST(LauncherCommand, EveryFormOfTheCommandLine) {
    const CommandCase cases[] = {
        {"", "", false, false, "", ""},
        {"/0", "/0", true, false, "", ""},
        {"/0/D:\\Books\\a.qorb", "/0/D:\\Books\\a.qorb", true, true, "D:\\Books\\", "a.qorb"},
        {"D:\\Books\\a.qorb", "D:\\Books\\a.qorb", false, true, "D:\\Books\\", "a.qorb"},
        {"\"D:\\Books\\a b.qorb\"", "D:\\Books\\a b.qorb", false, true, "D:\\Books\\", "a b.qorb"},
        {"\"/0/D:\\账套\\甲 乙.qorb\"", "/0/D:\\账套\\甲 乙.qorb", true, true, "D:\\账套\\", "甲 乙.qorb"},
        {"a.qorb", "a.qorb", false, true, "", "a.qorb"},                 // bare name
        {"\"\"", "", false, false, "", ""},                               // only quotes
        {"/0/", "/0/", true, true, "", ""},                               // nothing after "/0/"
        {"/0/a.qorb", "/0/a.qorb", true, true, "", "a.qorb"},
        {"D:\\", "D:\\", false, true, "D:\\", ""},                        // a folder, no file
        {"/00", "/00", true, true, "", "/00"},                            // begins with "/0"
        {"\\\\srv\\Books\\a.qorb", "\\\\srv\\Books\\a.qorb", false, true, "\\\\srv\\Books\\", "a.qorb"},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.arguments);
        const LauncherCommand cmd = ParseLauncherCommand(c.arguments);
        EXPECT_EQ(cmd.commandText, c.commandText);
        EXPECT_EQ(cmd.skipsUpdate, c.skipsUpdate);
        EXPECT_EQ(cmd.hasAccountSet, c.hasAccountSet);
        EXPECT_EQ(cmd.accountFolder, c.folder);
        EXPECT_EQ(cmd.accountFile, c.file);
    }
}

TEST(LauncherCommand, FolderAndFileSplitAtTheLastSeparator) {
    // "/0/" is removed wherever it occurs once the text begins with it.
    LauncherCommand cmd = ParseLauncherCommand("/0/D:\\x/0/y\\a.qorb");
    EXPECT_EQ(cmd.accountFolder, "D:\\xy\\");
    EXPECT_EQ(cmd.accountFile, "a.qorb");
    // ... but not when the text does not begin with it.
    cmd = ParseLauncherCommand("D:\\x/0/y\\a.qorb");
    EXPECT_EQ(cmd.accountFolder, "D:\\x/0/y\\");
    EXPECT_FALSE(cmd.skipsUpdate);
    // A file name that repeats the folder text keeps its own name.
    cmd = ParseLauncherCommand("D:\\D\\D.qorb");
    EXPECT_EQ(cmd.accountFolder, "D:\\D\\");
    EXPECT_EQ(cmd.accountFile, "D.qorb");
}

TEST(LauncherRules, UsbDrive) {
    EXPECT_TRUE(IsOnUsbDrive("E:\\QOR", "E:"));
    EXPECT_TRUE(IsOnUsbDrive("F:\\Apps\\QOR", "E:,F:"));
    EXPECT_TRUE(IsOnUsbDrive("e:\\QOR", "E:"));   // the letter names the drive in either case
    EXPECT_TRUE(IsOnUsbDrive("E:", "E:,F:"));     // the root folder is all drive
    EXPECT_FALSE(IsOnUsbDrive("D:\\QOR", "E:,F:"));
    EXPECT_FALSE(IsOnUsbDrive("E:\\QOR", "NOUDISK"));
    EXPECT_FALSE(IsOnUsbDrive("E:\\QOR", ""));    // the query failed
    EXPECT_FALSE(IsOnUsbDrive("", "E:"));
    EXPECT_FALSE(IsOnUsbDrive("\\\\srv\\QOR", "E:"));
}

TEST(LauncherRules, WindowsAndComponentFolders) {
    EXPECT_EQ(LauncherWindowsFolder("C:\\Windows"), "C:\\Windows");
    EXPECT_EQ(LauncherWindowsFolder("D:\\Windows"), "C:\\Windows");
    EXPECT_EQ(LauncherWindowsFolder("c:\\windows"), "C:\\Windows");  // case-sensitive test
    EXPECT_EQ(LauncherWindowsFolder(""), "C:\\Windows");

    const std::string sys = "D:\\Win\\system32";
    EXPECT_EQ(ChooseComponentFolder("C:\\Windows", true, true, sys), "C:\\Windows\\SysWOW64\\");
    EXPECT_EQ(ChooseComponentFolder("C:\\Windows", false, true, sys), "C:\\Windows\\System32\\");
    EXPECT_EQ(ChooseComponentFolder("C:\\Windows", false, false, sys), "D:\\Win\\system32\\");
}

TEST(LauncherRules, OldAccountSetNames) {
    EXPECT_TRUE(IsOldAccountSetName("x.qor"));
    EXPECT_TRUE(IsOldAccountSetName("账套 1.qor"));
    EXPECT_FALSE(IsOldAccountSetName("Z.QOR"));
    EXPECT_FALSE(IsOldAccountSetName("x.qorb"));
    EXPECT_FALSE(IsOldAccountSetName("x.qor.bak"));
    EXPECT_EQ(NewAccountSetName("x.qor"), "x.qorb");
}

TEST(ProcessRules, BareProgramTokens) {
    const std::pair<std::string, std::string> rows[] = {
        {"reg add HKEY_CLASSES_ROOT\\.qorb /ve /t REG_SZ /d qorbfile /f", "reg.exe"},
        {"regsvr32 /s \"C:\\QOR\\SYS\\qord.dll\"", "regsvr32.exe"},
        {"regedit /s \"C:\\QOR\\SYS\\x.reg\"", "regedit.exe"},
        {"cmd /c timeout /t 3 & del \"C:\\QOR\\QOR_SETUP.exe\"", "cmd.exe"},
        {"cmd.exe /c start \"\" \"C:\\QOR\\QOR_UPDATE.exe\" /d", "cmd.exe"},
        {"timeout\t/t 4", "timeout.exe"},
        {"\"reg\" delete X /f", "reg.exe"},              // quoted, still a bare name
        {"reg", "reg.exe"},
        {"\"C:\\QOR\\UnRAR.exe\" x -o+ a b", ""},       // a path: started as it says
        {"\"C:\\Program Files\\QOR\\QOR.exe\" /0", ""},
        {"C:\\QOR\\QOR.exe", ""},
        {"sub/reg.exe add", ""},
        {"C:reg.exe add", ""},                          // drive-relative
        {"\\\\srv\\share\\reg.exe", ""},
        {"", ""},
        {" \t reg add", "reg.exe"},                     // leading blanks skipped
        {"  ", ""},
        {"\"\" reg", ""},
        {".. x", ""},
    };
    for (const auto& [line, file] : rows) EXPECT_EQ(BareProgramFile(line), file) << line;
}

TEST(ProcessRules, InstanceLockNames) {
    // FNV-1a 64 of "a" is af63dc4c8601ec8c; ASCII capitals fold, "\" is hashed like any byte.
    EXPECT_EQ(InstanceLockName("launcher", "a"), "Local\\QOR.launcher.af63dc4c8601ec8c");
    EXPECT_EQ(InstanceLockName("launcher", "A"), InstanceLockName("launcher", "a"));
    const std::string path = "C:\\Program Files\\QOR\\QOR.exe";
    EXPECT_EQ(InstanceLockName("launcher", path), InstanceLockName("launcher", "c:\\program files\\qor\\qor.EXE"));
    EXPECT_NE(InstanceLockName("launcher", path), InstanceLockName("launcher", "D:\\QOR\\QOR.exe"));
    EXPECT_NE(InstanceLockName("launcher", path), InstanceLockName("updater", path));
    // Bounded whatever the depth of the folder.
    std::string deep = "C:";
    for (int i = 0; i < 2000; ++i) deep += "\\账套文件夹";
    EXPECT_EQ(InstanceLockName("launcher", deep).size(), std::string("Local\\QOR.launcher.").size() + 16);
    // No path: one lock for every copy.
    EXPECT_EQ(InstanceLockName("setup", ""), "Local\\QOR.setup");
}

}  // namespace
}  // namespace qor

namespace qor {
namespace {

TEST(Sha256, KnownDigestsAcrossBlockBoundariesAndPieces) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the length no longer fits the first block.
    EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    // A million 'a', fed in uneven pieces, gives the digest of the whole.
    const std::string million(1000000, 'a');
    Sha256 sha;
    for (size_t at = 0, step = 1; at < million.size(); at += step, step = step * 7 % 1000 + 1)
        sha.Update(million.data() + at, std::min(step, million.size() - at));
    EXPECT_EQ(HexDigest(sha.Finish()), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(TrustList, ParsesOnlyWellFormedListsAndMatchesPathsWithoutRegardToCase) {
    const std::string a(64, 'a'), b(64, 'b');
    TrustList list;
    ASSERT_TRUE(ParseTrustList(TrustListLine(a, "SYS\\qord.dll") + TrustListLine(b, "QOR.exe"), list));
    EXPECT_TRUE(Vouches(list, "sys\\QORD.DLL", a));
    EXPECT_FALSE(Vouches(list, "SYS\\qord.dll", b));   // another file's bytes
    EXPECT_FALSE(Vouches(list, "SYS\\cdosys.dll", a));  // not on the list
    EXPECT_TRUE(ParseTrustList("", list) && list.empty());
    for (const std::string& bad : {
             TrustListLine(a, "SYS\\qord.dll").substr(0, 78),        // no line end after the last line
             std::string(64, 'A') + "  x.dll\r\n",                    // upper-case digits
             a.substr(1) + "  x.dll\r\n",                            // a digit short
             a + " x.dll\r\n",                                       // one blank
             a + "  ..\\x.dll\r\n", a + "  C:\\x.dll\r\n", a + "  \\x.dll\r\n",  // outside the folder
             TrustListLine(a, "x.dll") + "\r\n",                     // an empty line
         }) {
        EXPECT_FALSE(ParseTrustList(bad, list)) << bad;
        EXPECT_TRUE(list.empty());
    }
}

}  // namespace
}  // namespace qor
