// The listing, the record's text and the path rules of the uninstaller.
#include <gtest/gtest.h>

#include "installer/install_record.h"
#include "installer_fakes.h"

namespace qor {
namespace {

using namespace installer;

TEST(ListTreeTest, PreOrderWithPlainFilesOnly) {
    testing::FakeFileStore files;
    files.AddFile("D:\\T\\b.txt", "");
    files.AddFile("D:\\T\\a.txt", "");
    files.AddFile("D:\\T\\h.txt", "");
    files.hidden.insert("D:\\T\\h.txt");
    files.AddFile("D:\\T\\s.sys", "");
    files.systemFiles.insert("D:\\T\\s.sys");
    files.AddFile("D:\\T\\Z\\z.txt", "");
    files.AddFile("D:\\T\\A\\中文.txt", "");
    files.AddFolder("D:\\T\\A\\Empty");
    files.AddFile("D:\\T\\.git\\x", "");
    files.AddFile("D:\\T\\Hidden\\x", "");
    files.hidden.insert("D:\\T\\Hidden");
    files.AddFile("D:\\T\\Link\\x.txt", "");  // a junction or symbolic link: leads elsewhere
    files.links.insert("D:\\T\\Link");
    int pumps = 0;
    std::string list = "before\r\n";
    ListTree(files, [&] { ++pumps; }, "D:\\T", "*", list);
    EXPECT_EQ(list,
              "before\r\nD:\\T\\\r\nD:\\T\\a.txt\r\nD:\\T\\b.txt\r\nD:\\T\\A\\\r\nD:\\T\\A\\中文.txt\r\n"
              "D:\\T\\A\\Empty\\\r\nD:\\T\\Z\\\r\nD:\\T\\Z\\z.txt\r\n");
    EXPECT_EQ(pumps, 7);
    std::string txt;
    ListTree(files, nullptr, "D:\\T\\Z\\", "*.txt", txt);
    EXPECT_EQ(txt, "D:\\T\\Z\\\r\nD:\\T\\Z\\z.txt\r\n");
}

TEST(RecordTest, ScratchRootMadeTheInstallFolderAndFixedLinesAppended) {
    const std::string scratch = "C:\\Temp\\QOR_SETUP_WORK1\\QOR_SETUP_TEMP\\";
    const std::string listing = scratch + "\r\n" + scratch + "a.txt\r\n" + scratch + "SYS\\\r\n" + scratch + "SYS\\QOR_SETUP_TEMP\\b\r\n";
    EXPECT_EQ(BuildUninstallRecord(listing, scratch, "D:\\X\\"),
              "D:\\X\\\r\nD:\\X\\a.txt\r\nD:\\X\\SYS\\\r\nD:\\X\\SYS\\QOR_SETUP_TEMP\\b\r\nD:\\X\\QOR_SETUP.rar\r\n"
              "D:\\X\\QOR_UPDATE.LOG\r\nD:\\X\\QOR_UPDATE.rar\r\n"
              "D:\\X\\QOR_UPDATE.exe\r\nD:\\X\\SYS\\pcinf.txt\r\nD:\\X\\SYS\\usrinf.txt\r\nD:\\X\\SYS\\setinf.txt\r\n");
}

TEST(RecordTest, TheInstallFolderARecordNames) {
    const std::pair<const char*, const char*> rows[] = {
        {"D:\\X\\\r\nD:\\X\\a.txt\r\n", "D:\\X\\"},
        {"D:\\\\\r\n", "D:\\\\"},
        {"\\\\srv\\share\\QOR\\\r\n", "\\\\srv\\share\\QOR\\"},
        {"D:\\X\r\n", ""},             // not a folder line
        {"X\\\r\n", ""},               // not absolute
        {"D:\\X\\..\\Windows\\\r\n", ""},
        {"D:/X/\r\n", ""},
        {"", ""},
    };
    for (const auto& [record, folder] : rows) EXPECT_EQ(RecordedInstallFolder(record), folder) << record;
}

TEST(RecordTest, CommandTexts) {
    EXPECT_EQ(ExtractorCommand("C:\\T\\W\\", "C:\\T\\W\\QOR_SETUP_TEMP\\"),
              "\"C:\\T\\W\\\\UnRAR.exe\" x -o+ \"C:\\T\\W\\\\QOR_SETUP.rar\" \"C:\\T\\W\\QOR_SETUP_TEMP\\\\\"");
    EXPECT_EQ(SelfRemovalCommands("C:\\A B\\", "QOR_SETUP", "c:\\a b\\"),
              (std::vector<std::string>{"cmd /c timeout /t 3 & del \"C:\\A B\\QOR_SETUP.exe\"",
                                        "cmd /c timeout /t 4 & rd \"c:\\a b\\\""}));
    // The kept copy: it goes, then the install folder and the kept copy's folder once empty.
    EXPECT_EQ(SelfRemovalCommands("C:\\P\\Q\\", "QOR_SETUP", "D:\\X\\"),
              (std::vector<std::string>{"cmd /c timeout /t 3 & del \"C:\\P\\Q\\QOR_SETUP.exe\"",
                                        "cmd /c timeout /t 4 & rd \"D:\\X\\\"",
                                        "cmd /c timeout /t 4 & rd \"C:\\P\\Q\\\""}));
    EXPECT_EQ(PercentText(1, 12), "8%");
    EXPECT_EQ(PercentText(1, 8), "13%");
    EXPECT_EQ(PercentText(3, 8), "38%");
    EXPECT_EQ(PercentText(12, 12), "100%");
}

TEST(RecordTest, LinesLeadingThroughALink) {
    testing::FakeFileStore files;
    files.links = {"D:\\X\\SYS\\out", "D:\\X\\file link"};
    const std::string I = "D:\\X\\";
    EXPECT_TRUE(LeadsThroughLink(files, "D:\\X\\SYS\\out\\a.txt", I));
    EXPECT_TRUE(LeadsThroughLink(files, "D:\\X\\SYS\\out\\", I));
    EXPECT_TRUE(LeadsThroughLink(files, "D:\\X\\SYS/out/sub\\", I));
    EXPECT_FALSE(LeadsThroughLink(files, "D:\\X\\SYS\\outer\\a.txt", I));
    EXPECT_FALSE(LeadsThroughLink(files, "D:\\X\\SYS\\a.txt", I));
    EXPECT_FALSE(LeadsThroughLink(files, "D:\\X\\file link", I));  // a file is deleted as itself
    EXPECT_FALSE(LeadsThroughLink(files, I, I));
    // The install folder itself may be reached through a link: only what lies below it counts.
    files.links.insert("D:\\X");
    EXPECT_FALSE(LeadsThroughLink(files, "D:\\X\\a.txt", I));
}

TEST(RecordTest, SamePathAsTheFileSystemReadsIt) {
    EXPECT_TRUE(SamePath("D:\\QOR财务\\QOR_SETUP.exe", "d:\\qor财务\\qor_setup.EXE"));
    EXPECT_TRUE(SamePath("D:\\\\QOR_SETUP.exe", "D:\\QOR_SETUP.exe"));
    EXPECT_TRUE(SamePath("D:/X\\\\\\a", "D:\\X\\a"));
    EXPECT_TRUE(SamePath("\\\\srv\\share\\a", "\\\\srv\\share\\\\a"));
    EXPECT_FALSE(SamePath("\\\\srv\\share\\a", "\\srv\\share\\a"));
    EXPECT_FALSE(SamePath("E:\\Downloads\\setup.exe", "D:\\X\\QOR_SETUP.exe"));
}

TEST(RecordTest, InsideTheInstallFolder) {
    const std::string I = "D:\\QOR财务\\";
    EXPECT_TRUE(IsInsideInstallFolder("D:\\QOR财务\\a.txt", I));
    EXPECT_TRUE(IsInsideInstallFolder("d:\\qor财务\\SYS\\", I));
    EXPECT_TRUE(IsInsideInstallFolder(I, I));
    EXPECT_FALSE(IsInsideInstallFolder("D:\\QOR财务", I));
    EXPECT_FALSE(IsInsideInstallFolder("D:\\QOR财务2\\a.txt", I));
    EXPECT_FALSE(IsInsideInstallFolder("C:\\Windows\\win.ini", I));
    EXPECT_FALSE(IsInsideInstallFolder("D:\\QOR财务\\..\\x.txt", I));
    EXPECT_FALSE(IsInsideInstallFolder("D:\\QOR财务\\SYS/../../x.txt", I));
    EXPECT_FALSE(IsInsideInstallFolder("D:\\QOR财务\\.. \\x.txt", I));
    EXPECT_FALSE(IsInsideInstallFolder("\\\\?\\D:\\QOR财务\\a.txt", I));
    EXPECT_FALSE(IsInsideInstallFolder("a.txt", ""));
}

}  // namespace
}  // namespace qor
