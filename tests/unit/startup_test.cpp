#include "launcher/startup.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fakes.h"

namespace qor {
namespace {

using testing::FakeFileStore;
using testing::FakeManagement;
using testing::FakeSystem;

const char* const kApp = "C:\\QOR";
const char* const kUsbQuery = "Select * From Win32_DiskDrive Where InterfaceType='USB'";
const char* const kSecurityQuery = "SELECT * FROM Win32_Process WHERE Name LIKE '%3%0%'";

// Records what the start-up shows, in order.
class FakeShell : public LauncherShell {
public:
    bool otherInstance = false;
    bool startedMeanwhile = false;  // the answer when the lock is taken again
    bool elevated = true;
    bool restartStarts = true;
    int lockTakes = 0;
    std::string folder = kApp;
    std::string arguments;
    FileVersionParts version{6, 1, 0, 6};
    std::vector<std::string> events;

    bool AnotherInstanceRunning() override { return ++lockTakes == 1 ? otherInstance : startedMeanwhile; }
    void ReleaseInstanceLock() override { events.push_back("release lock"); }
    bool ProcessElevated() override { return elevated; }
    bool RunElevatedAndWait(const std::string& arguments) override {
        events.push_back("run elevated " + arguments);
        return restartStarts;
    }
    std::string ProgramFolder() override { return folder; }
    std::string CommandArguments() override { return arguments; }
    FileVersionParts ProgramVersion() override { return version; }
    void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override {
        events.push_back("message " + title + (icon == MessageIcon::Information ? " info: " : " error: ") + text);
    }
    void ShowSecurityNotice(const std::string& appFolder) override { events.push_back("Fs " + appFolder); }
    void ShowAssociationNotice(const std::string& appFolder) override { events.push_back("Ff " + appFolder); }
    void ShowConfigurationNotice(const std::string& appFolder) override { events.push_back("Fu " + appFolder); }
    void ShowSplash(const std::string& versionText) override { events.push_back("splash " + versionText); }
    void MakeSplashTopmost() override { events.push_back("splash topmost"); }
    void ShowStage(const std::string& stageText) override { events.push_back("stage " + stageText); }
    void PumpMessages() override {}
};

// Stages that record their calls and answer as scripted.
class FakeStages : public LauncherStages {
public:
    bool handOff = false, filesComplete = true, markerMatches = true, spreadsheetOpened = true;
    std::vector<std::string>* events = nullptr;

    bool HandOffUpdate(const LauncherState&) override { return Log("update", handOff); }
    bool CheckIntegrity(const LauncherState&) override { return Log("integrity", filesComplete); }
    bool MarkerMatches(const LauncherState&) override { return Log("marker", markerMatches); }
    void ConfigureEnvironment(const LauncherState&) override { Log("configure", true); }
    void RegisterComponents(const LauncherState&) override { Log("register", true); }
    void SetShortDateFormat() override { Log("short-date", true); }
    bool LaunchSpreadsheet(const LauncherState&) override { return Log("spreadsheet", spreadsheetOpened); }
    void ReleaseSpreadsheet() override { Log("release", true); }

private:
    bool Log(const std::string& what, bool answer) {
        events->push_back(what);
        return answer;
    }
};

class Startup : public ::testing::Test {
protected:
    Startup() {
        stages.events = &shell.events;
        files.AddFolder("C:\\Windows\\SysWOW64");
        files.AddFolder("C:\\Windows\\System32");
        files.AddFile("C:\\QOR\\SYS\\setinf.txt", "FSSHOW = False\r\nFFSHOW = False\r\n");
        wmi.answers[kUsbQuery] = {true, {}};
    }

    LauncherEnd Run() {
        LauncherPlatform platform{shell, files, wmi, system, stages};
        return RunLauncher(platform, "QOR_BIZACC_6.01", state);
    }

    bool Shown(const std::string& prefix) const {
        for (const std::string& e : shell.events)
            if (e.compare(0, prefix.size(), prefix) == 0) return true;
        return false;
    }

    FakeShell shell;
    FakeFileStore files;
    FakeManagement wmi;
    FakeSystem system;
    FakeStages stages;
    LauncherState state;
};

TEST_F(Startup, PlainStartRunsEveryStageInOrderAndSettlesThePaths) {
    EXPECT_EQ(Run(), LauncherEnd::Finished);
    EXPECT_EQ(shell.events, (std::vector<std::string>{
        "splash 6.01", "stage 正在检查更新...", "update", "stage 正在检查文件完整性...", "integrity",
        "stage 正在检查系统环境...", "marker", "stage 正在注册必要控件...", "register", "short-date",
        "stage 正在调用 Microsoft Excel...", "spreadsheet", "release"}));
    EXPECT_EQ(state.appFolder, "C:\\QOR");
    EXPECT_EQ(state.workbookPath, "C:\\QOR\\QOR_BIZACC_6.01");
    EXPECT_EQ(state.sysFolder, "C:\\QOR\\SYS\\");
    EXPECT_EQ(state.componentFolder, "C:\\Windows\\SysWOW64\\");
    EXPECT_EQ(state.usbDrives, "NOUDISK");
    EXPECT_EQ(state.fullVersion, "6.01.06");
    EXPECT_EQ(state.shortVersion, "6.01");
}

TEST_F(Startup, SecondInstanceOnlyShowsTheMessage) {
    shell.otherInstance = true;
    EXPECT_EQ(Run(), LauncherEnd::AlreadyRunning);
    EXPECT_EQ(shell.events, (std::vector<std::string>{"message 提示 info: 应用程序QOR.exe已经运行！"}));
    EXPECT_TRUE(wmi.queries.empty());
    EXPECT_EQ(files.writeCount, 0);
}

TEST_F(Startup, RefusedOnAUsbDriveUnlessAllowed) {
    shell.folder = "E:\\QOR";
    files.AddFile("E:\\QOR\\SYS\\setinf.txt", "FSSHOW = False\r\n");
    wmi.answers[kUsbQuery] = {true, {"\\\\.\\PHYSICALDRIVE1"}};
    wmi.answers["Associators of {Win32_DiskDrive.DeviceID='\\\\.\\PHYSICALDRIVE1'} Where AssocClass = "
                "Win32_DiskDriveToDiskPartition"] = {true, {"Disk #1, Partition #0"}};
    wmi.answers["Associators of {Win32_DiskPartition.DeviceID='Disk #1, Partition #0'} Where AssocClass = "
                "Win32_LogicalDiskToPartition"] = {true, {"E:"}};
    EXPECT_EQ(Run(), LauncherEnd::RefusedOnUsbDrive);
    ASSERT_EQ(shell.events.size(), 1u);
    EXPECT_EQ(shell.events[0],
              "message 提示 info: 尊敬的用户：\r\n\r\n"
              "USB接口接触不良、强制拔出U盘、使用劣质芯片的U盘或扩容U盘，\r\n"
              "都有可能导致QOR软件不能正常运行甚至数据丢失！\r\n"
              "为了您的数据安全，QOR软件不再允许在USB移动设备上运行！\r\n\r\n"
              "请您将QOR软件安装文件夹复制粘贴到电脑硬盘上使用。");

    // The permission marker lets it run without asking for the drives at all.
    files.AddFile("E:\\QOR\\SYS\\u.run", "");
    shell.events.clear();
    wmi.queries.clear();
    EXPECT_EQ(Run(), LauncherEnd::Finished);
    EXPECT_TRUE(wmi.queries.empty() || wmi.queries[0] != kUsbQuery);
}

TEST_F(Startup, UsbTestIsSkippedOnNetworkPathsAndPassesWhenTheQueryFails) {
    shell.folder = "\\\\server\\share\\QOR";
    EXPECT_EQ(Run(), LauncherEnd::Finished);
    EXPECT_TRUE(std::find(wmi.queries.begin(), wmi.queries.end(), kUsbQuery) == wmi.queries.end());

    shell.folder = "E:\\QOR";
    wmi.answers[kUsbQuery] = {false, {}};
    EXPECT_EQ(Run(), LauncherEnd::Finished);
    EXPECT_EQ(state.usbDrives, "");
}

TEST_F(Startup, SecurityNoticeFollowsTheSwitchAndTheProcessTest) {
    wmi.answers[kSecurityQuery] = {true, {"360tray.exe"}};
    Run();  // switched off: not even asked
    EXPECT_FALSE(Shown("Fs"));
    EXPECT_TRUE(std::find(wmi.queries.begin(), wmi.queries.end(), kSecurityQuery) == wmi.queries.end());

    files.files["C:\\QOR\\SYS\\setinf.txt"] = "FFSHOW = False\r\nFSSHOW = \r\n";
    shell.events.clear();
    Run();
    EXPECT_EQ(shell.events.at(0), "Fs C:\\QOR");

    wmi.answers[kSecurityQuery] = {true, {"notepad.exe"}};  // passes the pre-filter only
    shell.events.clear();
    Run();
    EXPECT_FALSE(Shown("Fs"));
}

TEST_F(Startup, WindowsFolderAndComponentFolder) {
    system.windowsFolder = "D:\\WINNT";
    Run();
    EXPECT_EQ(state.winFolder, "C:\\Windows");
    EXPECT_EQ(state.componentFolder, "C:\\Windows\\SysWOW64\\");

    files.folders.erase("C:\\Windows\\SysWOW64");  // 32-bit Windows
    Run();
    EXPECT_EQ(state.componentFolder, "C:\\Windows\\System32\\");

    files.folders.erase("C:\\Windows\\System32");
    system.systemFolder = "C:\\Windows\\system";
    Run();
    EXPECT_EQ(state.componentFolder, "C:\\Windows\\system\\");
}

TEST_F(Startup, AssociationTipAndMigrationOnlyOnAPlainStart) {
    files.files["C:\\QOR\\SYS\\setinf.txt"] = "FSSHOW = False\r\n";
    for (const char* name : {"x.qor", "y.qor", "y.qorb", "Z.QOR"}) files.AddFile(std::string("C:\\QOR\\Db\\") + name, name);

    shell.arguments = "D:\\Books\\a.qorb";
    Run();
    EXPECT_FALSE(Shown("Ff"));
    EXPECT_TRUE(files.FileExists("C:\\QOR\\Db\\x.qor"));

    shell.arguments = "";
    Run();
    EXPECT_TRUE(Shown("Ff C:\\QOR"));
    EXPECT_FALSE(files.FileExists("C:\\QOR\\Db\\x.qor"));
    EXPECT_EQ(files.files["C:\\QOR\\Db\\x.qorb"], "x.qor");
    EXPECT_EQ(files.files["C:\\QOR\\Db\\y.qor"], "y.qor");  // its new name is taken
    EXPECT_EQ(files.files["C:\\QOR\\Db\\y.qorb"], "y.qorb");
    EXPECT_TRUE(files.FileExists("C:\\QOR\\Db\\Z.QOR"));
}

TEST_F(Startup, VersionTexts) {
    shell.version = {6, 1, 0, 0};
    Run();
    EXPECT_EQ(state.fullVersion, "6.01");
    EXPECT_TRUE(Shown("splash 6.01"));
    shell.version = {6, 1, 0, 12};
    Run();
    EXPECT_EQ(state.fullVersion, "6.01.12");
    EXPECT_EQ(state.shortVersion, "6.01");
}

TEST_F(Startup, StageOutcomesEndOrBranchTheSequence) {
    shell.arguments = "/0/D:\\Books\\a.qorb";
    Run();
    EXPECT_FALSE(Shown("update"));
    EXPECT_TRUE(Shown("stage 正在检查更新..."));
    EXPECT_EQ(state.command.accountFolder, "D:\\Books\\");

    shell.arguments = "";
    stages.handOff = true;
    shell.events.clear();
    EXPECT_EQ(Run(), LauncherEnd::HandedOffToUpdater);
    EXPECT_EQ(shell.events.back(), "update");

    stages.handOff = false;
    stages.filesComplete = false;
    shell.events.clear();
    EXPECT_EQ(Run(), LauncherEnd::FilesMissing);
    EXPECT_EQ(shell.events.back(), "integrity");

    stages.filesComplete = true;
    stages.markerMatches = false;
    stages.spreadsheetOpened = false;
    shell.events.clear();
    EXPECT_EQ(Run(), LauncherEnd::SpreadsheetRefused);
    EXPECT_TRUE(Shown("configure"));
    EXPECT_FALSE(Shown("release"));
}

// A start without administrator rights asks for them only when the machine is to be configured,
// and then before any window; a copy with the rights configures and registers, then ends, and this
// start goes on without repeating the configuration. The elevated start (every start under Wine)
// never asks.
TEST_F(Startup, ConfigurationWithoutRightsIsDoneByAnElevatedCopyThatOpensNothing) {
    struct Case {
        bool elevated, markerMatches, restartStarts, startedMeanwhile;
        LauncherEnd end;
        std::vector<std::string> firstEvents;  // up to the splash, or all when it ends earlier
        bool configures;
    };
    const std::string restart = "run elevated /configure";
    const std::string refused = std::string("message 提示 info: ") + kAlreadyRunningMessage;
    const Case cases[] = {
        {true, false, true, false, LauncherEnd::Finished, {"splash 6.01"}, true},
        {false, true, true, false, LauncherEnd::Finished, {"marker", "splash 6.01"}, false},
        {false, false, true, false, LauncherEnd::Finished, {"marker", "release lock", restart, "splash 6.01"}, false},
        // Declined: the marker is not asked again and the configuration runs without the rights.
        {false, false, false, false, LauncherEnd::Finished, {"marker", "release lock", restart, "splash 6.01"}, true},
        {false, false, false, true, LauncherEnd::AlreadyRunning, {"marker", "release lock", restart, refused}, false},
        {false, false, true, true, LauncherEnd::AlreadyRunning, {"marker", "release lock", restart, refused}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.elevated << c.markerMatches << c.restartStarts << c.startedMeanwhile);
        shell.events.clear();
        shell.lockTakes = 0;
        shell.arguments = "\"D:\\Books\\a b.qorb\"";
        shell.elevated = c.elevated, shell.restartStarts = c.restartStarts, shell.startedMeanwhile = c.startedMeanwhile;
        stages.markerMatches = c.markerMatches;
        EXPECT_EQ(Run(), c.end);
        auto splash = std::find(shell.events.begin(), shell.events.end(), "splash 6.01");
        EXPECT_EQ(std::vector<std::string>(shell.events.begin(), splash + (splash != shell.events.end())), c.firstEvents);
        EXPECT_EQ(std::count(shell.events.begin(), shell.events.end(), "marker"), 1) << "asked once";
        EXPECT_EQ(Shown("configure"), c.configures);
        EXPECT_EQ(shell.lockTakes, c.markerMatches || c.elevated ? 1 : 2);
        if (c.end == LauncherEnd::Finished) EXPECT_EQ(state.command.accountFile, "a b.qorb");
    }

    // The copy itself, elevated or not: the configuration and registration behind the splash,
    // no notice but the configuration's own, no update, no workbook.
    for (bool elevated : {true, false}) {
        shell.events.clear();
        shell.lockTakes = 0;
        shell.arguments = "/configure";
        shell.elevated = elevated;
        stages.markerMatches = false;
        stages.handOff = true;
        files.files["C:\\QOR\\SYS\\setinf.txt"] = "";
        EXPECT_EQ(Run(), LauncherEnd::ConfiguredOnly);
        EXPECT_EQ(shell.events, (std::vector<std::string>{
            "splash 6.01", "stage 正在检查系统环境...", "marker", "configure", "stage 正在注册必要控件...",
            "register", "short-date"}));
        EXPECT_FALSE(state.componentFolder.empty());
    }
}

// The folder for 32-bit components is the one the system names, wherever Windows lives; the
// folder tests decide only when the system does not answer.
TEST_F(Startup, ComponentFolderIsTheSystemsOwnAnswer) {
    system.windowsFolder = "E:\\WINNT";
    system.componentFolder = "E:\\WINNT\\SysWOW64";
    Run();
    EXPECT_EQ(state.componentFolder, "E:\\WINNT\\SysWOW64\\");
    system.componentFolder.clear();
    Run();
    EXPECT_EQ(state.componentFolder, "C:\\Windows\\SysWOW64\\");
}

}  // namespace
}  // namespace qor
