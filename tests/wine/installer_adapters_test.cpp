// The adapters the installer adds, against the real system under Wine: attributes in listings,
// raw byte streams, folder removal, drives, owned folders and environment values, what the ANSI
// code page holds, and the scripting shell object's special folders.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "installer/install_record.h"
#include "platform/win32/file_store_win32.h"
#include "platform/win32/shell_links_win32.h"
#include "platform/win32/system_queries_win32.h"
#include "wine/wine_test_support.h"

namespace qor {
namespace {

using win32::Wide;

TEST(InstallerAdaptersTest, ListingsStreamsAndFolders) {
    test::ScratchFolder folder("qor-adapters 安装");
    win32::Win32FileStore files;
    const std::string f = folder.path();
    ASSERT_TRUE(files.CreateFolder(f + "\\子"));
    EXPECT_FALSE(files.CreateFolder(f + "\\no\\such"));
    test::WriteBytes(f + "\\a.txt", "a");
    test::WriteBytes(f + "\\h.txt", "h");
    SetFileAttributesW(Wide(f + "\\h.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    test::WriteBytes(f + "\\r.txt", "r");
    SetFileAttributesW(Wide(f + "\\r.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    std::vector<FileStore::Entry> entries = files.ListEntries(f);
    auto find = [&](const std::string& name) {
        return std::find_if(entries.begin(), entries.end(), [&](const FileStore::Entry& e) { return e.name == name; });
    };
    ASSERT_NE(find("子"), entries.end());
    EXPECT_TRUE(find("子")->folder);
    ASSERT_NE(find("h.txt"), entries.end());
    EXPECT_TRUE(find("h.txt")->hidden);
    EXPECT_FALSE(find("a.txt")->hidden || find("a.txt")->folder);
    EXPECT_TRUE(files.NormalFileExists(f + "\\r.txt"));
    EXPECT_FALSE(files.RemoveFile(f + "\\r.txt"));  // read-only is not forced
    SetFileAttributesW(Wide(f + "\\r.txt").c_str(), FILE_ATTRIBUTE_NORMAL);

    // Raw bytes in pieces, zero bytes and CR LF kept; a new file replaces an old one.
    std::string bytes(300000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31);
    test::WriteBytes(f + "\\子\\out.bin", std::string(500000, 'o'));
    auto out = files.CreateForWriting(f + "\\子\\out.bin");
    ASSERT_TRUE(out);
    EXPECT_TRUE(out->Write(bytes.data(), 100000));
    EXPECT_TRUE(out->Write(bytes.data() + 100000, 200000));
    EXPECT_TRUE(out->Close());
    EXPECT_FALSE(out->Write("x", 1));
    EXPECT_EQ(test::ReadBytes(f + "\\子\\out.bin"), bytes);
    auto in = files.OpenForReading(f + "\\子\\out.bin");
    ASSERT_TRUE(in);
    std::string back;
    char buffer[65536];
    size_t got = 0;
    while (in->Read(buffer, sizeof buffer, got) && got > 0) back.append(buffer, got);
    EXPECT_EQ(back, bytes);
    EXPECT_FALSE(files.OpenForReading(f + "\\missing"));

    EXPECT_TRUE(files.CopyFileTo(f + "\\a.txt", f + "\\子\\out.bin"));
    EXPECT_EQ(test::ReadBytes(f + "\\子\\out.bin"), "a");
    EXPECT_FALSE(files.RemoveFolder(f + "\\子"));  // not empty
    in.reset();
    EXPECT_TRUE(files.RemoveFile(f + "\\子\\out.bin"));
    EXPECT_TRUE(files.RemoveFolder(f + "\\子"));
}

std::string SpecialFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
    return win32::Narrow(path, wcslen(path));
}

// The work folder: made new, held, removed by handle; a junction inside a folder being removed
// goes as a link, and its target keeps its content.
TEST(InstallerAdaptersTest, PrivateFoldersAndRemovalThatNeverFollowsALink) {
    test::ScratchFolder folder("qor-adapters 链接");
    win32::Win32FileStore files;
    const std::string f = folder.path();
    test::WriteBytes(f + "\\target.txt", "");
    ASSERT_TRUE(files.CreateFolder(f + "\\target"));
    test::WriteBytes(f + "\\target\\keep.txt", "keep");

    {
        std::unique_ptr<FileStore::HeldFolder> held = files.CreatePrivateFolder(f + "\\work");
        ASSERT_TRUE(held);
        EXPECT_TRUE(installer::SamePath(held->Path(), f + "\\work")) << held->Path();
        EXPECT_FALSE(files.CreatePrivateFolder(f + "\\work"));  // never one that exists
        // Held: neither it nor a folder above it can be renamed.
        EXPECT_FALSE(MoveFileW(Wide(f + "\\work").c_str(), Wide(f + "\\moved").c_str()));
    }
    EXPECT_TRUE(MoveFileW(Wide(f + "\\work").c_str(), Wide(f + "\\moved").c_str()));
    ASSERT_TRUE(files.CreateFolder(f + "\\moved\\sub"));
    test::WriteBytes(f + "\\moved\\sub\\a.txt", "a");
    EXPECT_FALSE(files.TreeHasLink(f + "\\moved"));
    // A plain tree goes whole, read-only files aside.
    ASSERT_TRUE(files.CreateFolder(f + "\\plain"));
    ASSERT_TRUE(files.CreateFolder(f + "\\plain\\sub"));
    test::WriteBytes(f + "\\plain\\sub\\b.txt", "b");
    test::WriteBytes(f + "\\plain\\c.txt", "c");
    EXPECT_TRUE(files.RemoveTreeSafely(f + "\\plain"));
    EXPECT_EQ(GetFileAttributesW(Wide(f + "\\plain").c_str()), INVALID_FILE_ATTRIBUTES);
    if (!test::MakeJunction(f + "\\moved\\sub\\link", f + "\\target")) GTEST_SKIP() << "no junctions on this file system";
    EXPECT_TRUE(files.TreeHasLink(f + "\\moved"));
    EXPECT_TRUE(files.TreeHasLink(f + "\\moved\\sub\\link"));
    // The link is neither walked into nor removed: what it leads to keeps its content, and the
    // folders holding the link stay, their other content gone.
    EXPECT_FALSE(files.RemoveTreeSafely(f + "\\moved"));
    EXPECT_EQ(test::ReadBytes(f + "\\target\\keep.txt"), "keep");
    EXPECT_FALSE(test::IsFile(f + "\\moved\\sub\\a.txt"));
    EXPECT_TRUE(files.TreeHasLink(f + "\\moved"));
    // A root that is a link itself is left alone.
    ASSERT_TRUE(test::MakeJunction(f + "\\root link", f + "\\target"));
    EXPECT_FALSE(files.RemoveTreeSafely(f + "\\root link"));
    EXPECT_EQ(test::ReadBytes(f + "\\target\\keep.txt"), "keep");
    EXPECT_TRUE(test::RemoveJunction(f + "\\root link"));
    EXPECT_TRUE(test::RemoveJunction(f + "\\moved\\sub\\link"));
    EXPECT_EQ(test::ReadBytes(f + "\\target\\keep.txt"), "keep");
}

TEST(InstallerAdaptersTest, DrivesOwnedFoldersAndSpecialFolders) {
    test::UseComOnThisThread();
    win32::Win32SystemQueries system;
    EXPECT_TRUE(system.DriveExists("C:"));
    EXPECT_FALSE(system.DriveExists("C"));
    std::vector<std::string> owned = system.OwnedFolders();
    EXPECT_NE(std::find(owned.begin(), owned.end(), system.WindowsFolder()), owned.end());
    // Both program folders and both system folders of 64-bit Windows, as a program of either
    // bitness sees them, are never removed whole.
    const std::vector<installer::OwnedFolder> protectedFolders = installer::ProtectedFolders(system);
    for (const char* folder : {"C:\\Program Files", "C:\\Program Files (x86)\\", "c:\\windows\\syswow64",
                               "C:\\Windows\\System32", "C:\\Program Files\\Common Files"})
        EXPECT_TRUE(installer::IsProtectedFolder(folder, protectedFolders)) << folder;
    EXPECT_FALSE(installer::IsProtectedFolder("C:\\Program Files (x86)\\QOR", protectedFolders));
    // The same folders by their short names and other aliases; what lies inside the Windows
    // folder is protected as a whole, the user's own documents and desktop themselves.
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_TRUE(GetShortPathNameW(L"C:\\Program Files", shortName, MAX_PATH));
    const std::string programFilesShort = win32::Narrow(shortName, wcslen(shortName));
    for (const std::string& folder :
         {programFilesShort, programFilesShort + "\\", system.WindowsFolder() + "\\System32\\drivers\\",
          system.WindowsFolder() + "\\Sysnative", system.WindowsFolder() + "\\Temp\\QOR\\",
          system.WindowsFolder() + "\\SysWOW64\\QOR\\", SpecialFolder(CSIDL_PERSONAL), SpecialFolder(CSIDL_DESKTOPDIRECTORY)})
        EXPECT_TRUE(installer::IsProtectedInstallFolder(system, folder)) << folder;
    for (const std::string& folder : {programFilesShort + "\\QOR\\", SpecialFolder(CSIDL_PERSONAL) + "\\QOR\\"})
        EXPECT_FALSE(installer::IsProtectedInstallFolder(system, folder)) << folder;
    SetEnvironmentVariableW(L"QOR_TEST_FOLDER", L"C:\\程序 文件");
    EXPECT_EQ(system.EnvironmentValue("QOR_TEST_FOLDER"), "C:\\程序 文件");
    SetEnvironmentVariableW(L"QOR_TEST_FOLDER", nullptr);
    EXPECT_EQ(system.EnvironmentValue("QOR_TEST_FOLDER"), "");

    // The code page of the test machines (936) holds Chinese, not Korean or emoji.
    win32::Win32FileStore files;
    EXPECT_TRUE(files.AnsiCanHold("D:\\QOR中小企业财务软件\\"));
    EXPECT_FALSE(files.AnsiCanHold("D:\\한국\\"));
    EXPECT_FALSE(files.AnsiCanHold("D:\\\xF0\x9F\x98\x80\\"));

    win32::Win32ShellLinks shell;
    wchar_t desktop[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE);
    EXPECT_EQ(Wide(shell.SpecialFolder("Desktop")), desktop);
    EXPECT_FALSE(shell.SpecialFolder("AllUsersPrograms").empty());

    // The shortcuts themselves (blank and Chinese in path and name) are read back by the
    // installer's end-to-end test.
}

}  // namespace
}  // namespace qor
