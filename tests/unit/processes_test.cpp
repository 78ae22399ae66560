#include "common/processes/processes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes.h"
#include "launcher/machine_queries.h"

namespace qor {
namespace {

using Texts = std::vector<std::string>;
using testing::FakeManagement;

TEST(Processes, QueriesByImageNameAndCounts) {
    for (const char* name : {"excel.exe", "et.exe", "QOR.exe", "QOR_UPDATE.exe"})
        EXPECT_EQ(ProcessQuery(name), std::string("SELECT * FROM Win32_Process WHERE Name='") + name + "'");

    FakeManagement wmi;
    const std::string excel = "SELECT * FROM Win32_Process WHERE Name='excel.exe'";
    wmi.answers[excel] = {true, {"excel.exe", "EXCEL.EXE", "excel.exe"}};
    EXPECT_EQ(CountProcesses(wmi, "excel.exe"), 3);
    EXPECT_TRUE(IsProcessRunning(wmi, "excel.exe"));
    EXPECT_EQ(wmi.queries, (Texts{excel, excel}));
    EXPECT_EQ(wmi.properties, (Texts{"Name", "Name"}));

    // None running.
    EXPECT_EQ(CountProcesses(wmi, "et.exe"), 0);
    EXPECT_FALSE(IsProcessRunning(wmi, "et.exe"));
    EXPECT_TRUE(wmi.terminated.empty());
}

TEST(Processes, FailingServiceGivesNeutralResults) {
    FakeManagement wmi;
    wmi.answers["SELECT * FROM Win32_Process WHERE Name='excel.exe'"] = {false, {}};
    EXPECT_EQ(CountProcesses(wmi, "excel.exe"), 0);
    EXPECT_FALSE(IsProcessRunning(wmi, "excel.exe"));

    // A property that cannot be read part-way through the walk fails the whole answer.
    wmi.answers["SELECT * FROM Win32_Process WHERE Name='et.exe'"] = {false, {"et.exe"}};
    EXPECT_EQ(CountProcesses(wmi, "et.exe"), 0);
    EXPECT_FALSE(IsProcessRunning(wmi, "et.exe"));

    wmi.reachable = false;
    wmi.answers["SELECT * FROM Win32_Process WHERE Name='QOR.exe'"] = {true, {"QOR.exe"}};
    EXPECT_EQ(CountProcesses(wmi, "QOR.exe"), 0);
    EXPECT_FALSE(IsProcessRunning(wmi, "QOR.exe"));
    EXPECT_FALSE(IsSecuritySoftwareRunning(wmi));
}

TEST(Processes, TerminateAsksOnceForEveryProcessOfTheName) {
    FakeManagement wmi;
    TerminateProcesses(wmi, "QOR_UPDATE.exe");
    EXPECT_EQ(wmi.terminated, (Texts{"SELECT * FROM Win32_Process WHERE Name='QOR_UPDATE.exe'"}));
    EXPECT_TRUE(wmi.queries.empty());
}

TEST(Processes, SecuritySoftwareByPreFilterThenExactPattern) {
    const std::string query = "SELECT * FROM Win32_Process WHERE Name LIKE '%3%0%'";
    struct Case {
        Texts names;
        bool running;
    };
    const Case cases[] = {
        {{}, false},
        {{"3x0.exe"}, false},  // passes the coarse filter only
        {{"3060.exe", "30.exe", "36 0.exe"}, false},
        {{"explorer.exe", "360tray.exe"}, true},
        {{"360sd.exe"}, true},
        {{"ZhuDong360.EXE"}, true},
        {{"3600.exe"}, true},
    };
    for (const Case& c : cases) {
        FakeManagement wmi;
        wmi.answers[query] = {true, c.names};
        EXPECT_EQ(IsSecuritySoftwareRunning(wmi), c.running) << ::testing::PrintToString(c.names);
        EXPECT_EQ(wmi.queries, (Texts{query}));
        EXPECT_EQ(wmi.properties, (Texts{"Name"}));
    }
}

// The USB query chain over scripted disks, partitions and logical disks.
class UsbDrives : public ::testing::Test {
protected:
    FakeManagement wmi;
    int pumps = 0;

    static std::string Disks() { return "Select * From Win32_DiskDrive Where InterfaceType='USB'"; }
    static std::string PartitionsOf(const std::string& disk) {
        return "Associators of {Win32_DiskDrive.DeviceID='" + disk +
               "'} Where AssocClass = Win32_DiskDriveToDiskPartition";
    }
    static std::string LogicalDisksOf(const std::string& partition) {
        return "Associators of {Win32_DiskPartition.DeviceID='" + partition +
               "'} Where AssocClass = Win32_LogicalDiskToPartition";
    }
    std::string Letters() { return GetUsbDriveLetters(wmi, [this] { ++pumps; }); }

    // Two sticks: the first with a data partition (F:) and a partition without a drive name,
    // the second with E:; a card reader without media.
    void ScriptTwoSticksAndAReader() {
        wmi.answers[Disks()] = {true, {"\\\\.\\PHYSICALDRIVE2", "\\\\.\\PHYSICALDRIVE1", "\\\\.\\PHYSICALDRIVE3"}};
        wmi.answers[PartitionsOf("\\\\.\\PHYSICALDRIVE2")] = {true, {"Disk #2, Partition #0", "Disk #2, Partition #1"}};
        wmi.answers[LogicalDisksOf("Disk #2, Partition #0")] = {true, {"F:"}};
        wmi.answers[LogicalDisksOf("Disk #2, Partition #1")] = {true, {""}};
        wmi.answers[PartitionsOf("\\\\.\\PHYSICALDRIVE1")] = {true, {"Disk #1, Partition #0"}};
        wmi.answers[LogicalDisksOf("Disk #1, Partition #0")] = {true, {"E:"}};
    }
};

TEST_F(UsbDrives, DriveNamesInDeliveryOrder) {
    ScriptTwoSticksAndAReader();
    EXPECT_EQ(Letters(), "F:,E:");
    EXPECT_EQ(wmi.queries, (Texts{Disks(),
                                  PartitionsOf("\\\\.\\PHYSICALDRIVE2"),
                                  LogicalDisksOf("Disk #2, Partition #0"),
                                  LogicalDisksOf("Disk #2, Partition #1"),
                                  PartitionsOf("\\\\.\\PHYSICALDRIVE1"),
                                  LogicalDisksOf("Disk #1, Partition #0"),
                                  PartitionsOf("\\\\.\\PHYSICALDRIVE3")}));
    for (const std::string& property : wmi.properties) EXPECT_EQ(property, "DeviceID");
    EXPECT_EQ(pumps, 3);  // once per disk

    wmi = FakeManagement();
    wmi.answers[Disks()] = {true, {"\\\\.\\PHYSICALDRIVE1"}};
    wmi.answers[PartitionsOf("\\\\.\\PHYSICALDRIVE1")] = {true, {"Disk #1, Partition #0"}};
    wmi.answers[LogicalDisksOf("Disk #1, Partition #0")] = {true, {"E:"}};
    EXPECT_EQ(Letters(), "E:");
}

TEST_F(UsbDrives, NoUsbDriveAndFailedQueries) {
    EXPECT_EQ(Letters(), "NOUDISK");  // no USB disk at all
    wmi.answers[Disks()] = {true, {"\\\\.\\PHYSICALDRIVE3"}};
    EXPECT_EQ(Letters(), "NOUDISK");  // a reader without media
    wmi.answers[PartitionsOf("\\\\.\\PHYSICALDRIVE3")] = {true, {"Disk #3, Partition #0"}};
    wmi.answers[LogicalDisksOf("Disk #3, Partition #0")] = {true, {""}};
    EXPECT_EQ(Letters(), "NOUDISK");  // only nameless logical disks

    // Any failing query, at any level, gives empty text, even after drives were found.
    const std::string failing[] = {Disks(), PartitionsOf("\\\\.\\PHYSICALDRIVE1"),
                                   LogicalDisksOf("Disk #1, Partition #0")};
    for (const std::string& query : failing) {
        wmi = FakeManagement();
        ScriptTwoSticksAndAReader();
        wmi.answers[query].ok = false;
        EXPECT_EQ(Letters(), "") << query;
    }
    wmi = FakeManagement();
    wmi.reachable = false;
    EXPECT_EQ(Letters(), "");

    // Without a message pump.
    wmi = FakeManagement();
    ScriptTwoSticksAndAReader();
    EXPECT_EQ(GetUsbDriveLetters(wmi, nullptr), "F:,E:");
}

TEST(MachineQueries, ComponentVersionAndFolders) {
    testing::FakeFileStore files;
    testing::FakeSystem system;
    const std::string ocx = "C:\\Windows\\SysWOW64\\grid.ocx";
    const std::string wav = "C:\\QOR\\SYS\\start.wav";
    files.AddFile(ocx, "");
    files.AddFile(wav, "");
    system.versions[ocx] = {6, 1, 98, 34};
    system.versions["C:\\missing.ocx"] = {9, 9, 9, 9};

    EXPECT_EQ(GetComponentVersion(files, system, ocx), "0006.0001.0098.0034");
    EXPECT_EQ(GetComponentVersion(files, system, wav), "0000.0000.0000.0000");
    EXPECT_EQ(system.versionQueries, (Texts{ocx, wav}));
    // A missing file, or a folder, is not asked about.
    EXPECT_EQ(GetComponentVersion(files, system, "C:\\missing.ocx"), "0000.0000.0000.0000");
    EXPECT_EQ(GetComponentVersion(files, system, "C:\\Windows\\SysWOW64"), "0000.0000.0000.0000");
    EXPECT_EQ(system.versionQueries.size(), 2u);

    EXPECT_TRUE(FolderExists(files, "C:\\Windows\\SysWOW64"));
    EXPECT_TRUE(FolderExists(files, "C:\\Windows\\SysWOW64\\"));
    EXPECT_FALSE(FolderExists(files, ocx));  // a file is no folder
    EXPECT_FALSE(FolderExists(files, "C:\\Windows\\System32"));
    EXPECT_FALSE(FolderExists(files, ""));
}

}  // namespace
}  // namespace qor
