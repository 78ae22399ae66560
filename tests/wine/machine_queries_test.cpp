// The launcher's small machine queries against the real system: version resources, folders,
// the Windows folders and the USB drive query over the management service.
#include <gtest/gtest.h>

#include <string>

#include "launcher/machine_queries.h"
#include "platform/win32/file_store_win32.h"
#include "platform/win32/management_win32.h"
#include "platform/win32/system_queries_win32.h"
#include "wine_test_support.h"

namespace qor {
namespace {

class MachineQueriesTest : public ::testing::Test {
protected:
    win32::Win32FileStore files_;
    win32::Win32SystemQueries system_;
};

TEST_F(MachineQueriesTest, ComponentVersionComesFromTheVersionResource) {
    const std::string launcher = test::WinePath(QOR_TEST_LAUNCHER_EXE);
    EXPECT_EQ(GetComponentVersion(files_, system_, launcher), "0006.0001.0000.0006");

    test::ScratchFolder folder("qor 版本");
    ASSERT_FALSE(folder.path().empty());
    // The same program in a folder with a Chinese name.
    const std::string copy = folder / "组件.exe";
    ASSERT_TRUE(CopyFileW(win32::Wide(launcher).c_str(), win32::Wide(copy).c_str(), FALSE));
    EXPECT_EQ(GetComponentVersion(files_, system_, copy), "0006.0001.0000.0006");

    // No version resource, no file, a folder.
    const std::string text = folder / "说明.txt";
    ASSERT_TRUE(test::WriteBytes(text, "6.1.0.6\r\n"));
    EXPECT_EQ(GetComponentVersion(files_, system_, text), "0000.0000.0000.0000");
    EXPECT_EQ(GetComponentVersion(files_, system_, folder / "missing.dll"), "0000.0000.0000.0000");
    EXPECT_EQ(GetComponentVersion(files_, system_, folder.path()), "0000.0000.0000.0000");
    EXPECT_EQ(GetComponentVersion(files_, system_, ""), "0000.0000.0000.0000");
}

TEST_F(MachineQueriesTest, FolderExistsOnlyForFolders) {
    test::ScratchFolder folder("qor 文件夹");
    ASSERT_FALSE(folder.path().empty());
    const std::string sub = folder / "子目录";
    ASSERT_TRUE(test::MakeFolder(sub));
    ASSERT_TRUE(test::WriteBytes(folder / "a.txt", "x"));

    EXPECT_TRUE(FolderExists(files_, sub));
    EXPECT_TRUE(FolderExists(files_, sub + "\\"));
    EXPECT_FALSE(FolderExists(files_, folder / "a.txt"));
    EXPECT_FALSE(FolderExists(files_, folder / "missing"));
    EXPECT_FALSE(FolderExists(files_, ""));
}

TEST_F(MachineQueriesTest, WindowsAndSystemFoldersAreExistingFoldersWithoutTrailingSeparator) {
    const std::string windows = GetWindowsFolder(system_);
    const std::string system = GetSystemFolder(system_);
    ASSERT_GE(windows.size(), 3u);
    ASSERT_GT(system.size(), windows.size());
    EXPECT_NE(windows.back(), '\\');
    EXPECT_NE(system.back(), '\\');
    EXPECT_EQ(CompareStringOrdinal(win32::Wide(windows).c_str(), -1, L"C:\\windows", -1, TRUE), CSTR_EQUAL)
        << windows;
    EXPECT_EQ(system.compare(0, windows.size() + 1, windows + "\\"), 0) << system;
    EXPECT_TRUE(FolderExists(files_, windows));
    EXPECT_TRUE(FolderExists(files_, system));
    EXPECT_TRUE(test::IsFile(system + "\\kernel32.dll")) << system;
}

TEST_F(MachineQueriesTest, UsbDriveQueryOverTheServiceFindsNoUsbDisk) {
    test::UseComOnThisThread();
    win32::Win32ManagementService wmi;
    int pumped = 0;
    EXPECT_EQ(GetUsbDriveLetters(wmi, [&] { ++pumped; }), "NOUDISK");
    EXPECT_EQ(pumped, 0);
}

}  // namespace
}  // namespace qor
