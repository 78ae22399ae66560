// The settings file SYS\setinf.txt on real files: what reaches the disk (GBK bytes, CR LF, no
// byte-order mark, truncation on rewrite, appending), file creation, and damaged files.
#include <gtest/gtest.h>

#include <string>

#include "common/settings/settings.h"
#include "platform/win32/file_store_win32.h"
#include "wine_test_support.h"

namespace qor {
namespace {

using test::IsFile;
using test::IsFolder;
using test::ReadBytes;
using test::WriteBytes;

// An application folder (Chinese name with a blank, as users' folders have) with a SYS folder.
class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(app_.path().empty());
        ASSERT_TRUE(test::MakeFolder(app_ / "SYS"));
    }

    std::string Read(const std::string& key) { return ReadSetting(files_, app_.path(), key); }
    void Write(const std::string& key, const std::string& value) {
        WriteSetting(files_, app_.path(), key, value);
    }
    std::string FilePath() const { return app_ / "SYS\\setinf.txt"; }

    test::ScratchFolder app_{"qor 设置"};
    win32::Win32FileStore files_;
};

// 账套数据 in GBK.
const std::string kGbkAccountFolder = "\xD5\xCB\xCC\xD7\xCA\xFD\xBE\xDD";

TEST_F(SettingsFileTest, ChineseValuesReachTheDiskAsGbkLinesWithCrLf) {
    // A missing file is created empty by the first read.
    EXPECT_EQ(Read("FSSHOW"), "");
    bool exists = false;
    EXPECT_EQ(ReadBytes(FilePath(), &exists), "");
    EXPECT_TRUE(exists);

    Write("OPENZTPATH", "D:\\账套数据\\");
    EXPECT_EQ(ReadBytes(FilePath()), "OPENZTPATH = D:\\" + kGbkAccountFolder + "\\\r\n");

    // A new key is appended after the existing line.
    Write("OPENZTNAME", "测试.qorb");
    EXPECT_EQ(ReadBytes(FilePath()), "OPENZTPATH = D:\\" + kGbkAccountFolder +
                                         "\\\r\nOPENZTNAME = \xB2\xE2\xCA\xD4.qorb\r\n");

    // Replacing a value by a shorter one rewrites the file from scratch: no stale bytes of
    // the longer content remain at its end.
    Write("OPENZTPATH", "E:\\新\\");
    EXPECT_EQ(ReadBytes(FilePath()), "OPENZTPATH = E:\\\xD0\xC2\\\r\nOPENZTNAME = \xB2\xE2\xCA\xD4.qorb\r\n");

    EXPECT_EQ(Read("OPENZTPATH"), "E:\\新\\");
    EXPECT_EQ(Read("OPENZTNAME"), "测试.qorb");
    EXPECT_EQ(Read("openztname"), "");

    // GBK written by another program reads as Chinese.
    ASSERT_TRUE(WriteBytes(FilePath(), "FSSHOW = False\r\nOPENZTPATH = C:\\" + kGbkAccountFolder + "\\\r\n"));
    EXPECT_EQ(Read("OPENZTPATH"), "C:\\账套数据\\");
    EXPECT_EQ(Read("FSSHOW"), "False");
}

TEST_F(SettingsFileTest, EmptyValueKeepsItsLineAndTrailingBlank) {
    Write("FSSHOW", "False");
    Write("ZTCOMMAND", "/0/D:\\账套\\a b.qorb");
    Write("ZTCOMMAND", "");
    EXPECT_EQ(ReadBytes(FilePath()), "FSSHOW = False\r\nZTCOMMAND = \r\n");
    EXPECT_EQ(Read("ZTCOMMAND"), "");
    EXPECT_EQ(Read("FSSHOW"), "False");
}

TEST_F(SettingsFileTest, WithoutSysFolderNothingIsReadOrCreated) {
    test::ScratchFolder bare("qor 无SYS");
    ASSERT_FALSE(bare.path().empty());
    EXPECT_EQ(ReadSetting(files_, bare.path(), "FSSHOW"), "");
    WriteSetting(files_, bare.path(), "FSSHOW", "False");
    EXPECT_EQ(ReadSetting(files_, bare.path(), "FSSHOW"), "");
    EXPECT_FALSE(IsFolder(bare / "SYS"));
    EXPECT_FALSE(IsFile(bare / "SYS\\setinf.txt"));
}

// A file edited by hand often lacks the final line end. Appending a key must not glue the new
// line onto the last one, or both keys are lost.
TEST_F(SettingsFileTest, AppendingAfterALastLineWithoutLineEndKeepsBothKeys) {
    ASSERT_TRUE(WriteBytes(FilePath(), "EXLSHOW = True"));
    Write("OPENZTPATH", "D:\\账套数据\\");
    EXPECT_EQ(Read("EXLSHOW"), "True");
    EXPECT_EQ(Read("OPENZTPATH"), "D:\\账套数据\\");
    Write("OPENZTPATH", "E:\\");
    EXPECT_EQ(Read("OPENZTPATH"), "E:\\");
    EXPECT_EQ(ReadBytes(FilePath()), "EXLSHOW = True\r\nOPENZTPATH = E:\\\r\n");
}

TEST_F(SettingsFileTest, InvalidGbkBytesGiveNeutralResultsAndKeepOtherLines) {
    // A lone lead byte before CR LF, a line of two 0xFF bytes, and a lone lead byte at the very
    // end of the file.
    ASSERT_TRUE(WriteBytes(FilePath(), "A = 1\r\nB = x\x81\r\n\xFF\xFF\r\nC = 3\r\nD = \x81"));
    EXPECT_EQ(Read("A"), "1");
    EXPECT_EQ(Read("C"), "3");
    EXPECT_EQ(Read("E"), "");

    Write("C", "三");
    EXPECT_EQ(Read("A"), "1");
    EXPECT_EQ(Read("C"), "三");
    const std::string bytes = ReadBytes(FilePath());
    EXPECT_EQ(bytes.compare(0, 7, "A = 1\r\n"), 0) << bytes;
    EXPECT_NE(bytes.find("\r\nC = \xC8\xFD\r\nD = "), std::string::npos) << bytes;
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");

    Write("E", "5");
    EXPECT_EQ(Read("E"), "5");
}

TEST_F(SettingsFileTest, LoneCrOrLfEndsALineAndIsRewrittenAsCrLf) {
    ASSERT_TRUE(WriteBytes(FilePath(), "A = 1\rB = 2\r"));
    EXPECT_EQ(Read("B"), "2");
    Write("A", "3");
    EXPECT_EQ(ReadBytes(FilePath()), "A = 3\r\nB = 2\r\n");

    ASSERT_TRUE(WriteBytes(FilePath(), "A = 1\nB = 2\n\nC = 3"));
    EXPECT_EQ(Read("A"), "1");
    EXPECT_EQ(Read("B"), "2");
    Write("B", "二");
    EXPECT_EQ(ReadBytes(FilePath()), "A = 1\r\nB = \xB6\xFE\r\nC = 3\r\n");
}

TEST_F(SettingsFileTest, MegabyteLinesAreReadAndWrittenWhole) {
    const std::string longAscii(1 << 20, 'x');
    ASSERT_TRUE(WriteBytes(FilePath(), "LONG = " + longAscii + "\r\nA = 1\r\n"));
    EXPECT_EQ(Read("A"), "1");
    EXPECT_EQ(Read("LONG"), longAscii);

    // Half a million Chinese characters: a megabyte of GBK, one and a half of UTF-8.
    std::string longChinese;
    for (int i = 0; i < (1 << 19); ++i) longChinese += "账";
    Write("A", longChinese);
    EXPECT_EQ(Read("A"), longChinese);
    EXPECT_EQ(Read("LONG"), longAscii);
    const std::string bytes = ReadBytes(FilePath());
    EXPECT_EQ(bytes.size(), (7 + longAscii.size() + 2) + (4 + (1u << 20) + 2));
    EXPECT_EQ(bytes.substr(bytes.size() - 6), "\xD5\xCB\xD5\xCB\r\n");
}

}  // namespace
}  // namespace qor
