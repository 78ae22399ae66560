#include "common/settings/settings.h"

#include <gtest/gtest.h>

#include <string>

#include "fakes.h"

namespace qor {
namespace {

const char kApp[] = "C:\\QOR";
const char kFile[] = "C:\\QOR\\SYS\\setinf.txt";

class Settings : public ::testing::Test {
protected:
    testing::FakeFileStore files;

    void SetUp() override { files.AddFolder("C:\\QOR\\SYS"); }
    std::string Read(const std::string& key) { return ReadSetting(files, kApp, key); }
    void Write(const std::string& key, const std::string& value) { WriteSetting(files, kApp, key, value); }
    // Writes `key` on a file holding `before` and gives the file's text afterwards.
    std::string After(const std::string& before, const std::string& key, const std::string& value) {
        files.files[kFile] = before;
        Write(key, value);
        return files.files[kFile];
    }
};

TEST_F(Settings, MissingFileIsCreatedEmptyButNeverTheSysFolder) {
    EXPECT_EQ(SettingsFilePath(kApp), kFile);
    EXPECT_EQ(Read("FSSHOW"), "");
    ASSERT_TRUE(files.FileExists(kFile));
    EXPECT_EQ(files.files[kFile], "");

    files.files.clear();
    Write("FFSHOW", "False");
    EXPECT_EQ(files.files[kFile], "FFSHOW = False\r\n");

    // No SYS folder: nothing to read, nothing created, nothing written.
    testing::FakeFileStore bare;
    bare.AddFolder("D:\\QOR");
    EXPECT_EQ(ReadSetting(bare, "D:\\QOR", "FSSHOW"), "");
    WriteSetting(bare, "D:\\QOR", "FSSHOW", "False");
    EXPECT_TRUE(bare.files.empty());
    EXPECT_FALSE(bare.FolderExists("D:\\QOR\\SYS"));
}

TEST_F(Settings, ReadFindsTheFirstLineThatBeginsWithTheKey) {
    files.files[kFile] =
        "XFSSHOW = 1\r\n"           // another key ending in the same letters
        "FFSHOW=False\r\n"          // not the exact separator
        "ZTCOMMAND = /0/OPENZTNAME = q\r\n"
        "FSSHOW = False\r\n"
        "FSSHOW = True\r\n"
        "ZTCOMMAND = \r\n"
        "OPENZTPATH = D:\\账套 二\\\r\n"
        "EXLSHOW = a EXLSHOW = b\r\n";
    EXPECT_EQ(Read("FSSHOW"), "False");
    EXPECT_EQ(Read("fsshow"), "");  // keys are case-sensitive
    EXPECT_EQ(Read("FFSHOW"), "");
    EXPECT_EQ(Read("OPENZTNAME"), "");  // only inside another line's value
    EXPECT_EQ(Read("ZTCOMMAND"), "/0/OPENZTNAME = q");
    EXPECT_EQ(Read("OPENZTPATH"), "D:\\账套 二\\");
    EXPECT_EQ(Read("EXLSHOW"), "a b");  // key + " = " is removed wherever it occurs in the line
    EXPECT_EQ(Read("ABSENT"), "");

    // A stray CR or LF ends a line: the key after it is not hidden.
    files.files[kFile] = "A = 1\rB = 2\nC = 3";
    EXPECT_EQ(Read("A"), "1");
    EXPECT_EQ(Read("B"), "2");
    EXPECT_EQ(Read("C"), "3");

    // Empty value; a very long line.
    files.files[kFile] = "ZTCOMMAND = \r\nFSSHOW = " + std::string(200000, 'x') + "\r\n";
    EXPECT_EQ(Read("ZTCOMMAND"), "");
    EXPECT_EQ(Read("FSSHOW").size(), 200000u);

    // A file that exists but cannot be read.
    files.files[kFile] = "FSSHOW = False\r\n";
    files.unreadable.insert(kFile);
    EXPECT_EQ(Read("FSSHOW"), "");
}

TEST_F(Settings, WriteReplacesOnlyTheFirstLineOfAPresentKey) {
    EXPECT_EQ(After("A = 1\r\n\r\nB = 2\r\n", "A", "3"), "A = 3\r\nB = 2\r\n");
    EXPECT_EQ(After("A = 1\r\nA = 2\r\n", "A", "9"), "A = 9\r\nA = 2\r\n");
    EXPECT_EQ(After("\r\n\r\nB = 2\r\nA = 1", "A", "3"), "B = 2\r\nA = 3\r\n");
    EXPECT_EQ(After("A = 1\r\nB = 2\r\n", "b", "3"), "A = 1\r\nB = 2\r\nb = 3\r\n");

    // Clearing a value keeps the line with its trailing space.
    EXPECT_EQ(After("ZTCOMMAND = /0/D:\\a.qorb\r\nFSSHOW = False\r\n", "ZTCOMMAND", ""),
              "ZTCOMMAND = \r\nFSSHOW = False\r\n");
    EXPECT_EQ(Read("ZTCOMMAND"), "");
    EXPECT_EQ(Read("FSSHOW"), "False");

    // The key only inside another line's value has no line of its own: its line is added at
    // the end (the write is not lost), the other line stays as it was, empty lines go.
    EXPECT_EQ(After("ZTCOMMAND = D:\\A = 1\r\n\r\n", "A", "2"), "ZTCOMMAND = D:\\A = 1\r\nA = 2\r\n");
    EXPECT_EQ(Read("A"), "2");
    EXPECT_EQ(Read("ZTCOMMAND"), "D:\\A = 1");

    // A line with a stray CR or LF is rewritten as separate lines, none lost.
    EXPECT_EQ(After("A = 1\rB = 2\nC = 3\r\n", "B", "9"), "A = 1\r\nB = 9\r\nC = 3\r\n");

    // A value holding " = " and the key itself is written as given over the whole line.
    EXPECT_EQ(After("A = 1\r\nB = 2\r\n", "A", "x A = y"), "A = x A = y\r\nB = 2\r\n");
    EXPECT_EQ(Read("A"), "x y");
}

TEST_F(Settings, WriteAppendsAnAbsentKeyOnItsOwnLine) {
    EXPECT_EQ(After("B = 2\r\n", "A", "1"), "B = 2\r\nA = 1\r\n");
    EXPECT_EQ(After("", "A", "1"), "A = 1\r\n");
    // Appending leaves what is there alone, empty lines included.
    EXPECT_EQ(After("B = 2\r\n\r\n", "A", "1"), "B = 2\r\n\r\nA = 1\r\n");
    // A last line without its line end is not merged with the appended one.
    EXPECT_EQ(After("FSSHOW = False", "OPENZTPATH", "D:\\账套\\"),
              "FSSHOW = False\r\nOPENZTPATH = D:\\账套\\\r\n");
    EXPECT_EQ(Read("FSSHOW"), "False");
    EXPECT_EQ(Read("OPENZTPATH"), "D:\\账套\\");
    Write("OPENZTPATH", "E:\\");
    EXPECT_EQ(Read("OPENZTPATH"), "E:\\");

    // Round trip of every kind of value, several keys in a row.
    files.files.erase(kFile);
    Write("OPENZTPATH", "D:\\财务 账套\\2024\\");
    Write("OPENZTNAME", "公司 甲.qorb");
    Write("ZTCOMMAND", "/0/D:\\Books\\a b.qorb");
    Write("OPENZTNAME", "b.qorb");
    EXPECT_EQ(files.files[kFile],
              "OPENZTPATH = D:\\财务 账套\\2024\\\r\n"
              "OPENZTNAME = b.qorb\r\n"
              "ZTCOMMAND = /0/D:\\Books\\a b.qorb\r\n");
    EXPECT_EQ(Read("OPENZTPATH"), "D:\\财务 账套\\2024\\");
}

TEST_F(Settings, AFileThatCannotBeReadOrWrittenIsLeftAsItWas) {
    const std::string text = "A = 1\r\n\r\nB = 2\r\n";
    files.files[kFile] = text;
    files.unreadable.insert(kFile);
    Write("A", "3");  // must not overwrite what it could not read
    Write("C", "3");
    EXPECT_EQ(files.files[kFile], text);

    files.unreadable.clear();
    files.unwritable.insert(kFile);
    Write("A", "3");
    Write("C", "3");
    EXPECT_EQ(files.files[kFile], text);
    EXPECT_EQ(Read("B"), "2");
    EXPECT_EQ(files.writeCount, 0);
}

}  // namespace
}  // namespace qor
