// The launcher's update hand-off against scripted fakes, and the settings file's refusal of
// line breaks in a value.
#include <gtest/gtest.h>

#include "common/settings/settings.h"
#include "launcher/update_handoff.h"
#include "tests/unit/fakes.h"
#include "tests/unit/update_fakes.h"

namespace qor {
namespace {

using namespace qor::testing;

const std::string kApp = "C:\\QOR";
const std::string kUpdater = "C:\\QOR\\QOR_UPDATE.exe";
const std::string kNewUpdater = "C:\\QOR\\NEW_QOR_UPDATE.exe";
const std::string kBackground = "cmd.exe /c start \"\" \"C:\\QOR\\QOR_UPDATE.exe\" /d";
const std::string kInstall = "\"C:\\QOR\\QOR_UPDATE.exe\" /s";

class HandOff : public ::testing::Test {
protected:
    void SetUp() override {
        files.AddFolder(kApp + "\\SYS");
        files.AddFile(kUpdater, "updater");
        state.appFolder = kApp;
        state.fullVersion = "6.01";
    }
    void CompleteDownload(const std::string& version) {
        files.AddFile(kApp + "\\QOR_UPDATE.LOG", version + "\r\nnotes\r\nhttp://h/p.rar  ! DOWNLOAD COMPLETE");
        files.AddFile(kApp + "\\QOR_UPDATE.rar", "package");
    }

    FakeLauncherShell shell;
    FakeFileStore files;
    FakeManagement wmi;
    FakeRunner runner;
    UpdateHandOffPlatform p{shell, files, wmi, runner};
    LauncherState state;
};

TEST_F(HandOff, NewerCompleteDownloadHandsOverWithTheCommand) {
    CompleteDownload("6.02");
    state.command.commandText = "D:\\Books\\a.qorb";
    EXPECT_TRUE(HandOffUpdate(p, state));
    EXPECT_EQ(runner.Commands(), (std::vector<std::string>{kInstall}));
    EXPECT_EQ(runner.started[0].style, WindowStyle::NormalFocus);
    EXPECT_EQ(files.files[kApp + "\\SYS\\setinf.txt"], "ZTCOMMAND = D:\\Books\\a.qorb\r\n");

    // Two-digit majors order correctly. A start without an account set, or with a command the
    // file cannot hold, empties a value an earlier hand-off left behind.
    CompleteDownload("10.00");
    state.fullVersion = "9.05";
    for (const char* command : {"", "D:\\a.qorb\r\nFSSHOW = True"}) {
        files.AddFile(kApp + "\\SYS\\setinf.txt", "ZTCOMMAND = D:\\Old\\stale.qorb\r\n");
        state.command.commandText = command;
        EXPECT_TRUE(HandOffUpdate(p, state));
        EXPECT_EQ(files.files[kApp + "\\SYS\\setinf.txt"], "ZTCOMMAND = \r\n");
    }
}

TEST_F(HandOff, OtherwiseTheBackgroundCheckStarts) {
    struct Case {
        const char* name;
        std::string log;
        bool package;
        std::string running;
    } cases[] = {
        {"no log", "", true, "6.01"},
        {"same version", "6.02\r\nu  ! DOWNLOAD COMPLETE", true, "6.02"},
        {"older than running", "6.01\r\nu  ! DOWNLOAD COMPLETE", true, "6.01.03"},
        {"not complete", "6.02\r\nu", true, "6.01"},
        {"no package", "6.02\r\nu  ! DOWNLOAD COMPLETE", false, "6.01"},
        {"one line", "6.02  ! DOWNLOAD COMPLETE", true, "6.01"},
        {"page instead of a version", "<html>\r\nu  ! DOWNLOAD COMPLETE", true, "6.01"},
    };
    for (const Case& c : cases) {
        files.files.erase(kApp + "\\QOR_UPDATE.LOG");
        files.files.erase(kApp + "\\QOR_UPDATE.rar");
        if (!c.log.empty()) files.AddFile(kApp + "\\QOR_UPDATE.LOG", c.log);
        if (c.package) files.AddFile(kApp + "\\QOR_UPDATE.rar", "p");
        state.fullVersion = c.running;
        runner.started.clear();
        EXPECT_FALSE(HandOffUpdate(p, state)) << c.name;
        EXPECT_EQ(runner.Commands(), (std::vector<std::string>{kBackground})) << c.name;
        EXPECT_EQ(runner.started[0].style, WindowStyle::MinimizedNoFocus);
    }
}

TEST_F(HandOff, NewUpdaterReplacesTheOldOne) {
    files.AddFile(kNewUpdater, "new");
    EXPECT_FALSE(HandOffUpdate(p, state));
    EXPECT_EQ(files.files[kUpdater], "new");
    EXPECT_FALSE(files.FileExists(kNewUpdater));
    EXPECT_TRUE(files.deleted.empty());  // replaced in one move: there is always an updater
    EXPECT_EQ(wmi.terminated, (std::vector<std::string>{"SELECT * FROM Win32_Process WHERE Name='QOR_UPDATE.exe'"}));
    EXPECT_EQ(runner.Commands(), (std::vector<std::string>{kBackground}));

    // Without an old updater the new one just takes the name.
    files.files.erase(kUpdater);
    files.AddFile(kNewUpdater, "newer");
    wmi.terminated.clear();
    HandOffUpdate(p, state);
    EXPECT_EQ(files.files[kUpdater], "newer");
    EXPECT_TRUE(wmi.terminated.empty());

    // An old updater that cannot be deleted keeps the new one waiting.
    files.AddFile(kNewUpdater, "new");
    files.unwritable.insert(kUpdater);
    HandOffUpdate(p, state);
    EXPECT_EQ(files.files[kUpdater], "newer");
    EXPECT_EQ(files.files[kNewUpdater], "new");
}

// An update cut off while its files moved is finished before anything else: the log goes as
// after any finished update. One that cannot be finished is undone and offered again; one
// whose launcher is still to move is left to the updater, which can replace the launcher.
TEST_F(HandOff, ACutOffUpdateIsFinishedUndoneOrLeftToTheUpdater) {
    const std::string data = kApp + "\\SYS\\ZT";
    const std::string launcher = kApp + "\\QOR.exe";
    auto cutOff = [&](const std::string& staged) {
        CompleteDownload("6.02");
        files.AddFile(data, "old");
        files.AddFile(launcher, "old");
        files.AddFile(kApp + "\\QOR_UPDATE.new\\" + staged, "new");
        files.AddFile(kApp + "\\QOR_UPDATE.journal", "QOR_UPDATE journal 1\r\nQOR.exe\r\nSYS\\ZT\r\nEND\r\n");
        runner.started.clear();
    };
    cutOff("SYS\\ZT");  // the launcher moved already
    EXPECT_FALSE(HandOffUpdate(p, state));
    EXPECT_EQ(files.files[data], "new");
    EXPECT_FALSE(files.FileExists(kApp + "\\QOR_UPDATE.LOG"));
    EXPECT_FALSE(files.FileExists(kApp + "\\QOR_UPDATE.journal"));
    EXPECT_EQ(runner.Commands(), (std::vector<std::string>{kBackground}));
    EXPECT_TRUE(shell.messages.empty());

    cutOff("SYS\\ZT");
    files.undeletable.insert(data);
    EXPECT_TRUE(HandOffUpdate(p, state));
    EXPECT_EQ(shell.messages, (std::vector<std::string>{"错误:自动升级过程发生错误！\r\n请重试！"}));
    EXPECT_EQ(files.files[data], "old");
    EXPECT_FALSE(files.FolderExists(kApp + "\\QOR_UPDATE.new"));
    EXPECT_EQ(runner.Commands(), (std::vector<std::string>{kInstall}));

    files.undeletable.clear();
    shell.messages.clear();
    state.fullVersion = "6.02";  // even where the log offers nothing newer
    cutOff("QOR.exe");
    EXPECT_TRUE(HandOffUpdate(p, state));
    EXPECT_EQ(runner.Commands(), (std::vector<std::string>{kInstall}));
    EXPECT_EQ(files.files[launcher], "old");
    EXPECT_TRUE(files.FileExists(kApp + "\\QOR_UPDATE.journal"));
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(HandOff, NoUpdaterStartsNothing) {
    files.files.erase(kUpdater);
    CompleteDownload("6.02");
    EXPECT_FALSE(HandOffUpdate(p, state));
    EXPECT_TRUE(runner.started.empty());
}

TEST_F(HandOff, LauncherReadsFirstAndLastLine) {
    std::string version = "x", status = "y";
    EXPECT_FALSE(ReadUpdateLog(files, kApp, version, status));
    EXPECT_EQ(version, "");
    EXPECT_EQ(status, "");
    files.AddFile(kApp + "\\QOR_UPDATE.LOG", "6.02\r\na\r\nu  ! DOWNLOAD COMPLETE");
    EXPECT_TRUE(ReadUpdateLog(files, kApp, version, status));
    EXPECT_EQ(version, "6.02");
    EXPECT_EQ(status, "u  ! DOWNLOAD COMPLETE");
    files.AddFile(kApp + "\\QOR_UPDATE.LOG", "");
    EXPECT_FALSE(ReadUpdateLog(files, kApp, version, status));
}

TEST(SettingsValue, LineBreaksAreRefused) {
    FakeFileStore files;
    files.AddFile("C:\\QOR\\SYS\\setinf.txt", "A = 1\r\n");
    WriteSetting(files, "C:\\QOR", "ZTCOMMAND", "D:\\a.qorb\r\nFSSHOW = False");
    WriteSetting(files, "C:\\QOR", "A", "2\nB = 3");
    WriteSetting(files, "C:\\QOR", "A", "x\ry");
    EXPECT_EQ(files.files["C:\\QOR\\SYS\\setinf.txt"], "A = 1\r\n");
    WriteSetting(files, "C:\\QOR", "A", "2");
    EXPECT_EQ(files.files["C:\\QOR\\SYS\\setinf.txt"], "A = 2\r\n");
}

}  // namespace
}  // namespace qor
