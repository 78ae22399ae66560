// The launcher's real adapters against the real system: the disk identity over the management
// service, the file store's copy and attribute tests, the spreadsheet host when none is there.
#include <windows.h>

#include <gtest/gtest.h>

#include "launcher/stages.h"
#include "platform/win32/file_store_win32.h"
#include "platform/win32/launcher_adapters_win32.h"
#include "platform/win32/management_win32.h"
#include "wine_test_support.h"

namespace qor {
namespace {

TEST(LauncherAdapters, DiskIdentityComesFromThePhysicalMediaSerial) {
    test::UseComOnThisThread();
    win32::Win32ManagementService wmi;
    std::vector<std::string> serials = wmi.InstancesOf("Win32_PhysicalMedia", "SerialNumber");
    ASSERT_FALSE(serials.empty());
    win32::AutomationDiskIdentityClasses classes;
    const std::string identity = GetDiskIdentity(wmi, classes);
    EXPECT_EQ(identity, "WINEHDISK");  // what this runtime's service reports
    EXPECT_TRUE(wmi.InstancesOf("Win32_NoSuchClass", "SerialNumber").empty());

    // An unregistered library class is a failed question, not a crash.
    std::string answer = "unchanged";
    EXPECT_FALSE(classes.Ask("QORd.NoSuchClass", "GetHdID1", answer));
    EXPECT_EQ(answer, "unchanged");
}

TEST(LauncherAdapters, FileStoreCopiesAndSeesHiddenFilesAsAbsentMarkers) {
    test::ScratchFolder folder("qor-adapters 文件");
    win32::Win32FileStore files;
    const std::string a = folder / "a.txt", b = folder / "标记.txt";
    ASSERT_TRUE(test::WriteBytes(a, "one"));
    EXPECT_TRUE(files.CopyFileTo(a, b));
    ASSERT_TRUE(test::WriteBytes(a, "two"));
    EXPECT_TRUE(files.CopyFileTo(a, b)) << "an existing target is replaced";
    EXPECT_EQ(test::ReadBytes(b), "two");
    EXPECT_FALSE(files.CopyFileTo(folder / "missing", b));
    EXPECT_FALSE(files.CopyFileTo(a, folder / "no folder\\x.txt"));

    EXPECT_TRUE(files.NormalFileExists(b));
    SetFileAttributesW(win32::Wide(b).c_str(), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(files.NormalFileExists(b));
    EXPECT_TRUE(files.FileExists(b));
    SetFileAttributesW(win32::Wide(b).c_str(), FILE_ATTRIBUTE_SYSTEM);
    EXPECT_FALSE(files.NormalFileExists(b));
    SetFileAttributesW(win32::Wide(b).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(files.NormalFileExists(b));
    EXPECT_FALSE(files.NormalFileExists(folder.path()));
}

TEST(LauncherAdapters, NoRegisteredHostFailsTheCreationAndEveryLaterCall) {
    test::UseComOnThisThread();
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"Excel.Application", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        GTEST_SKIP() << "a spreadsheet host is registered here";
    }
    win32::AutomationSpreadsheetHost host;
    EXPECT_FALSE(host.Create());
    EXPECT_FALSE(host.Held());
    EXPECT_EQ(host.Version(), "");
    std::string path;
    EXPECT_FALSE(host.ProgramPath(path));
    EXPECT_FALSE(host.OpenWorkbook("C:\\x", "avk"));
    EXPECT_FALSE(host.MakeVisible());
    host.Release();
}

}  // namespace
}  // namespace qor
