// The updater's start-up decision and its buttons, against scripted fakes.
#include <gtest/gtest.h>

#include "core/log_signature.h"
#include "core/text.h"
#include "core/update_rules.h"
#include "tests/unit/fakes.h"
#include "tests/unit/update_fakes.h"
#include "updater/package_signature.h"
#include "updater/signed_log.h"
#include "updater/update_log.h"
#include "updater/updater.h"

namespace qor {
namespace {

using namespace qor::testing;

const std::string kApp = "C:\\QOR";
const std::string kLog = "C:\\QOR\\QOR_UPDATE.LOG";
const std::string kPackage = "C:\\QOR\\QOR_UPDATE.rar";
const std::string kLauncher = "C:\\QOR\\QOR.exe";
const std::string kServerLog = "6.02\r\n修正报表\r\nhttp://127.0.0.1/pkg/QOR_UPDATE.rar";
const std::string kStaging = "C:\\QOR\\QOR_UPDATE.new";
const std::string kExtract = "\"C:\\QOR\\UnRAR.exe\" x -o+ \"C:\\QOR\\QOR_UPDATE.rar\" \"C:\\QOR\\QOR_UPDATE.new\\\\\"";

class Updater : public ::testing::Test {
protected:
    void SetUp() override {
        files.AddFolder(kApp + "\\SYS");
        files.AddFile(kLauncher, "launcher");
        files.AddFile(kApp + "\\QOR_BIZACC_6.01", "workbook");
        files.AddFile(kApp + "\\UnRAR.exe", "extractor");
        system.versions[kLauncher] = {6, 1, 0, 6};
        http.Serve("/QOR_BIZACC_UPDATE_LOG.txt", kServerLog);
        http.Serve("/pkg/QOR_UPDATE.rar", "PACKAGE");
    }
    UpdaterNext Run(const std::string& arguments) {
        shell.arguments = arguments;
        return RunUpdater(p, "127.0.0.1", s);
    }
    void WaitingPackage(const std::string& version) {
        files.AddFile(kLog, version + "\r\nnotes\r\nhttp://127.0.0.1/pkg/QOR_UPDATE.rar  ! DOWNLOAD COMPLETE");
        files.AddFile(kPackage, "PACKAGE");
    }

    FakeUpdaterShell shell;
    FakeWindow window;
    FakeFileStore files;
    FakeManagement wmi;
    FakeSystem system;
    FakeRunner runner;
    FakeHttp http;
    UpdaterPlatform p{shell, window, files, wmi, system, runner, http};
    UpdaterState s;
};

TEST_F(Updater, SecondInstanceEndsSilentlyOnlyForTheLaunchersSwitches) {
    shell.anotherInstance = true;
    EXPECT_EQ(Run("/d"), UpdaterNext::EndProgram);
    EXPECT_EQ(Run("/s"), UpdaterNext::EndProgram);
    EXPECT_TRUE(shell.messages.empty());
    EXPECT_EQ(Run(""), UpdaterNext::EndProgram);
    EXPECT_EQ(Run("/D"), UpdaterNext::EndProgram);
    EXPECT_EQ(shell.messages, (std::vector<std::string>{"I:QOR自动升级程序已经运行！", "I:QOR自动升级程序已经运行！"}));
    EXPECT_TRUE(http.calls.empty());

    // Alone, other arguments end without asking anything.
    shell.anotherInstance = false;
    shell.messages.clear();
    for (const char* arg : {"/s", "/D", "x"}) EXPECT_EQ(Run(arg), UpdaterNext::EndProgram) << arg;
    EXPECT_TRUE(http.calls.empty());
    EXPECT_TRUE(shell.messages.empty());
}

// The moves the launcher left to the updater (its own program was still staged) are finished at
// the updater's start; "/s" then ends as after any finished update, starting the launcher.
TEST_F(Updater, CutOffMovesAreFinishedAtTheStart) {
    WaitingPackage("6.02");
    files.AddFile(kStaging + "\\QOR.exe", "new launcher");
    files.AddFile(kApp + "\\QOR_UPDATE.journal", "QOR_UPDATE journal 1\r\nQOR.exe\r\nEND\r\n");
    EXPECT_EQ(Run("/s"), UpdaterNext::EndProgram);
    EXPECT_EQ(files.files[kLauncher], "new launcher");
    EXPECT_FALSE(files.FileExists(kLog));
    EXPECT_FALSE(files.FileExists(kApp + "\\QOR_UPDATE.journal"));
    EXPECT_FALSE(files.FolderExists(kStaging));
    EXPECT_EQ(runner.Commands(), (std::vector<std::string>{"\"C:\\QOR\\QOR.exe\" /0"}));
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(Updater, WaitingNewerPackageOpensDownloadedModeForEveryArgument) {
    WaitingPackage("6.02");
    for (const char* arg : {"", "/d", "/s", "/x"}) {
        window = FakeWindow();
        EXPECT_EQ(Run(arg), UpdaterNext::KeepWindow) << arg;
        EXPECT_TRUE(window.shown);
        EXPECT_TRUE(window.installShown);
        EXPECT_EQ(window.headline, "检测到已下载完成的新版本:6.02 [当前版本:6.01.06]");
        EXPECT_EQ(window.notes, std::string(66, '-') + "\r\n6.02 更新：\r\n" + std::string(66, '-') + "\r\nnotes\r\n");
    }
    EXPECT_TRUE(http.calls.empty());
}

TEST_F(Updater, WaitingPackageNotNewerAsksTheServerOrEnds) {
    WaitingPackage("6.01");
    EXPECT_EQ(Run("/s"), UpdaterNext::EndProgram);
    EXPECT_TRUE(http.calls.empty());
    EXPECT_EQ(Run(""), UpdaterNext::KeepWindow);  // the server has 6.02
    EXPECT_FALSE(window.installShown);
    EXPECT_EQ(window.headline, "检测到QOR服务器上有新版本:6.02 [当前版本:6.01.06]");
    EXPECT_EQ(http.paths, (std::vector<std::string>{"/QOR_BIZACC_UPDATE_LOG.txt"}));
}

TEST_F(Updater, InteractiveCheckReportsCurrentVersionOrUnreachableServer) {
    system.versions[kLauncher] = {6, 2, 0, 0};
    EXPECT_EQ(Run("/r"), UpdaterNext::EndProgram);
    EXPECT_EQ(shell.messages.back(), "I:当前版本6.02已经是最新版！");
    // The server's copy replaced the local log.
    EXPECT_EQ(files.files[kLog], kServerLog);

    http.responses.clear();
    EXPECT_EQ(Run(""), UpdaterNext::EndProgram);
    EXPECT_EQ(shell.messages.back(), "E:无法连接到服务器！");
    EXPECT_EQ(s.newVersion, "");
    EXPECT_EQ(s.packageUrl, "");

    // A log ending in CR LF is no valid server log.
    http.Serve("/QOR_BIZACC_UPDATE_LOG.txt", kServerLog + "\r\n");
    EXPECT_EQ(Run(""), UpdaterNext::EndProgram);
    EXPECT_EQ(shell.messages.back(), "E:无法连接到服务器！");
}

TEST_F(Updater, MissingLauncherCountsAsVersionZeroAndMissingEditionFileAsksTheEmptyEdition) {
    files.files.erase(kLauncher);
    files.files.erase(kApp + "\\QOR_BIZACC_6.01");
    // Hidden or system files and folders of that name form do not name the edition.
    files.AddFile(kApp + "\\QOR_HIDDEN_1", "");
    files.hidden.insert(kApp + "\\QOR_HIDDEN_1");
    files.AddFile(kApp + "\\QOR_SYSTEM_1", "");
    files.systemFiles.insert(kApp + "\\QOR_SYSTEM_1");
    files.AddFolder(kApp + "\\QOR_FOLDER_1");
    http.Serve("/QOR__UPDATE_LOG.txt", kServerLog);
    EXPECT_EQ(Run(""), UpdaterNext::KeepWindow);
    EXPECT_EQ(window.headline, "检测到QOR服务器上有新版本:6.02 [当前版本:0.00]");
    EXPECT_EQ(http.paths, (std::vector<std::string>{"/QOR__UPDATE_LOG.txt"}));
}

TEST_F(Updater, BackgroundModeDownloadsAndMarksTheLogWithoutAnyWindowOrMessage) {
    EXPECT_EQ(Run("/d"), UpdaterNext::EndProgram);
    EXPECT_EQ(files.files[kPackage], "PACKAGE");
    EXPECT_EQ(files.files[kLog], kServerLog + "  ! DOWNLOAD COMPLETE");
    EXPECT_FALSE(window.shown);
    EXPECT_TRUE(shell.messages.empty());

    // Not newer: nothing downloaded.
    files.files.erase(kPackage);
    files.files.erase(kLog);
    system.versions[kLauncher] = {6, 2, 0, 0};
    Run("/d");
    EXPECT_FALSE(files.FileExists(kPackage));
    EXPECT_EQ(files.files[kLog], kServerLog);

    // Package broken off: the log stays unmarked.
    system.versions[kLauncher] = {6, 1, 0, 0};
    http.responses["/pkg/QOR_UPDATE.rar"] = {"200", "99", "short"};
    Run("/d");
    EXPECT_FALSE(files.FileExists(kPackage));
    EXPECT_EQ(files.files[kLog], kServerLog);
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(Updater, UpdateLogReadAndMark) {
    std::string version = "x", notes = "kept", last = "y";
    EXPECT_FALSE(ReadUpdateLog(files, kApp, version, notes, last));
    EXPECT_EQ(version, "");
    EXPECT_EQ(last, "");
    EXPECT_EQ(notes, "kept");
    MarkDownloadComplete(files, kApp);
    EXPECT_FALSE(files.FileExists(kLog));  // nothing is created

    files.AddFile(kLog, "6.02\r\nA\r\nhttp://h/p");
    EXPECT_FALSE(ReadUpdateLog(files, kApp, version, notes, last));
    MarkDownloadComplete(files, kApp);
    EXPECT_EQ(files.files[kLog], "6.02\r\nA\r\nhttp://h/p  ! DOWNLOAD COMPLETE");
    EXPECT_TRUE(ReadUpdateLog(files, kApp, version, notes, last));
    EXPECT_EQ(version, "6.02");
    EXPECT_EQ(notes, "\r\nA\r\n");
    EXPECT_EQ(last, "http://h/p  ! DOWNLOAD COMPLETE");
}

class Installation : public Updater {
protected:
    void SetUp() override {
        Updater::SetUp();
        WaitingPackage("6.02");
        // The extractor stages a new launcher of version 6.02 and a new updater.
        runner.onStart = [this](const std::string& command) {
            if (command == kExtract && extractorWrites) {
                files.AddFile(kStaging + "\\QOR.exe", "new launcher");
                system.versions[kStaging + "\\QOR.exe"] = stagedVersion;
                files.AddFile(kStaging + "\\NEW_QOR_UPDATE.exe", "new updater");
            }
        };
    }
    bool extractorWrites = true;
    FileVersionParts stagedVersion{6, 2, 0, 0};
};

// The whole installation with its restart runs end to end; here what the e2e test cannot see:
// an older backup replaced, the waiting, the ending of running launchers, the bar.
TEST_F(Installation, InstallsRestartsTheLauncherWithItsCommandAndEmptiesIt) {
    files.AddFile(kApp + "\\SYS\\setinf.txt", "ZTCOMMAND = D:\\Books\\a.qorb\r\n");
    files.AddFile(kLauncher + ".6.01.06", "old backup");
    ASSERT_EQ(Run("/s"), UpdaterNext::KeepWindow);
    EXPECT_EQ(InstallPackage(p, s), UpdaterNext::EndProgram);
    EXPECT_EQ(runner.Commands(), (std::vector<std::string>{kExtract, "\"C:\\QOR\\QOR.exe\" /0/D:\\Books\\a.qorb"}));
    EXPECT_EQ(runner.waited, (std::vector<uint32_t>{100}));
    EXPECT_FALSE(files.FileExists(kLauncher + ".6.01.06"));
    EXPECT_EQ(files.files[kApp + "\\SYS\\setinf.txt"], "ZTCOMMAND = \r\n");
    EXPECT_EQ(window.barWidth, 6705);
    EXPECT_EQ(wmi.terminated, (std::vector<std::string>{"SELECT * FROM Win32_Process WHERE Name='QOR.exe'"}));
    EXPECT_TRUE(window.statuses.back() == "升级包安装完成！");
}

TEST_F(Installation, RestartWithoutCommandAndTheManualModes) {
    Run("/s");
    InstallPackage(p, s);
    EXPECT_EQ(runner.Commands().back(), "\"C:\\QOR\\QOR.exe\" /0");

    SetUp();
    runner.started.clear();
    shell.messages.clear();
    Run("/r");
    EXPECT_EQ(InstallPackage(p, s), UpdaterNext::EndProgram);
    EXPECT_EQ(runner.Commands(), (std::vector<std::string>{kExtract}));
    EXPECT_EQ(shell.messages, (std::vector<std::string>{"I:QOR自动升级成功！", "I:新的版本将在重新启动QOR软件后生效！"}));
}

// An extraction that leaves no new launcher, or ends with the extractor's error, has failed:
// the error, the old launcher back, the package and the log kept for another try, the window
// idle.
TEST_F(Installation, ExtractionWithoutNewLauncherIsAnError) {
    struct Case {
        const char* name;
        uint32_t pid;        // 0: the extractor does not start
        bool launcherBefore;
        bool writes;         // the extractor stages the new launcher
        uint32_t exitCode;
        FileVersionParts staged = {6, 2, 0, 0};
    } cases[] = {
        {"extractor does not start", 0, true, false, 0},
        {"package without a launcher, or empty", 100, true, false, 0},
        {"no launcher before and none after", 100, false, false, 0},
        {"damaged package after the launcher", 100, true, true, 3},
        {"a file held open", 100, true, true, 9},
        {"nothing to extract", 100, true, false, 10},
        // An older package offered under the log's higher number, or one the log misnames.
        {"staged launcher not newer than the running one", 100, true, true, 0, {6, 1, 0, 6}},
        {"staged launcher of another version than the log", 100, true, true, 0, {6, 3, 0, 0}},
    };
    for (const Case& c : cases) {
        if (c.launcherBefore) files.files[kLauncher] = "launcher";
        else files.files.erase(kLauncher);
        extractorWrites = c.writes;
        stagedVersion = c.staged;
        runner.exitCode = c.exitCode;
        runner.nextPid = c.pid;
        runner.started.clear();
        shell.messages.clear();
        Run("/s");
        EXPECT_EQ(InstallPackage(p, s), UpdaterNext::KeepWindow) << c.name;
        EXPECT_EQ(shell.messages, (std::vector<std::string>{"E:自动升级过程发生错误！\r\n请重试！"})) << c.name;
        EXPECT_EQ(files.FileExists(kLauncher), c.launcherBefore) << c.name;
        if (c.launcherBefore) {
            EXPECT_EQ(files.files[kLauncher], "launcher") << c.name;
        }
        EXPECT_FALSE(files.FileExists(kLauncher + ".6.01.06")) << c.name;
        EXPECT_FALSE(files.FolderExists(kStaging)) << c.name;
        EXPECT_FALSE(files.FileExists(kApp + "\\NEW_QOR_UPDATE.exe")) << c.name;
        EXPECT_TRUE(files.FileExists(kLog)) << c.name;
        EXPECT_TRUE(files.FileExists(kPackage)) << c.name;
        EXPECT_FALSE(window.busy) << c.name;
        EXPECT_TRUE(window.installEnabled) << c.name;
        EXPECT_TRUE(window.giveUpEnabled) << c.name;
        EXPECT_EQ(runner.Commands(), (std::vector<std::string>{kExtract})) << c.name;  // no restart
    }
}

// Closing the window while the extractor runs does nothing; once the installation has failed,
// closing gives up again.
TEST_F(Installation, ClosingDuringTheInstallationDoesNothing) {
    Run("/s");
    extractorWrites = false;
    UpdaterNext closed = UpdaterNext::EndProgram;
    runner.onStart = [&](const std::string& command) {
        if (command == kExtract) closed = GiveUp(p, s);
    };
    EXPECT_EQ(InstallPackage(p, s), UpdaterNext::KeepWindow);
    EXPECT_EQ(closed, UpdaterNext::KeepWindow);
    EXPECT_EQ(shell.messages, (std::vector<std::string>{"E:自动升级过程发生错误！\r\n请重试！"}));
    EXPECT_EQ(runner.Commands(), (std::vector<std::string>{kExtract}));
    EXPECT_EQ(GiveUp(p, s), UpdaterNext::EndProgram);
    EXPECT_EQ(shell.messages.back(), "Q:确定要放弃升级吗？");
}

// Started with "/s", every way out starts the launcher again with the account set it handed over.
TEST_F(Installation, EveryWayOutOfTheInstallModeRestartsTheLauncher) {
    struct Case {
        const char* name;
        std::function<UpdaterNext()> run;
    } cases[] = {
        {"second instance", [&] { shell.anotherInstance = true; return Run("/s"); }},
        {"package gone", [&] { files.files.erase(kPackage); return Run("/s"); }},
        {"package not newer", [&] { WaitingPackage("6.01.06"); return Run("/s"); }},
        {"package gone at install", [&] { Run("/s"); files.files.erase(kPackage); return InstallPackage(p, s); }},
        {"extractor missing", [&] { Run("/s"); files.files.erase(kApp + "\\UnRAR.exe"); return InstallPackage(p, s); }},
        {"failed installation given up", [&] { extractorWrites = false; Run("/s"); InstallPackage(p, s); return GiveUp(p, s); }},
    };
    for (const Case& c : cases) {
        shell = FakeUpdaterShell();
        files = FakeFileStore();
        s = UpdaterState();
        extractorWrites = true;
        SetUp();
        files.AddFile(kApp + "\\SYS\\setinf.txt", "ZTCOMMAND = D:\\Books\\a.qorb\r\n");
        runner.started.clear();
        EXPECT_EQ(c.run(), UpdaterNext::EndProgram) << c.name;
        ASSERT_FALSE(runner.started.empty()) << c.name;
        EXPECT_EQ(runner.Commands().back(), "\"C:\\QOR\\QOR.exe\" /0/D:\\Books\\a.qorb") << c.name;
        EXPECT_EQ(files.files[kApp + "\\SYS\\setinf.txt"], "ZTCOMMAND = \r\n") << c.name;
    }
}

TEST_F(Installation, RunningLauncherOrSpreadsheetBlocksEverything) {
    Run("/s");
    wmi.answers["SELECT * FROM Win32_Process WHERE Name='QOR.exe'"] = {true, {"x"}};
    EXPECT_EQ(InstallPackage(p, s), UpdaterNext::KeepWindow);
    EXPECT_EQ(shell.messages.back(),
              "I:QOR自动升级程序检测到进程QOR.exe正在运行！\r\n\r\n请在任务管理器中结束该进程后再尝试升级...");
    wmi.answers.clear();
    wmi.answers["SELECT * FROM Win32_Process WHERE Name='excel.exe'"] = {true, {"x"}};
    EXPECT_EQ(InstallPackage(p, s), UpdaterNext::KeepWindow);
    EXPECT_EQ(shell.messages.back(),
              "I:QOR自动升级程序检测到Excel正在运行！\r\n\r\n如果您已经打开QOR软件或其它Excel表格，请关闭后再尝试升级...");
    EXPECT_TRUE(runner.started.empty());
    EXPECT_FALSE(window.busy);
    EXPECT_TRUE(files.FileExists(kLauncher));
}

TEST_F(Installation, MissingPackageOrExtractor) {
    Run("");
    files.files.erase(kApp + "\\UnRAR.exe");
    EXPECT_EQ(InstallPackage(p, s), UpdaterNext::EndProgram);
    EXPECT_EQ(shell.messages.back(),
              "I:缺少解压缩程序文件【UnRAR.exe】！\r\n请手动将升级包文件【QOR_UPDATE.rar】解压缩到当前文件夹以完成升级。");
    EXPECT_TRUE(files.FileExists(kLog));

    files.files.erase(kPackage);
    EXPECT_EQ(InstallPackage(p, s), UpdaterNext::EndProgram);
    EXPECT_EQ(shell.messages.back(), "E:未找到升级包文件【QOR_UPDATE.rar】！");
    EXPECT_FALSE(files.FileExists(kLog));
    EXPECT_TRUE(runner.started.empty());
    EXPECT_EQ(files.files[kLauncher], "launcher");
}

TEST_F(Installation, GivingUp) {
    Run("/s");
    shell.answerOk = false;
    EXPECT_EQ(GiveUp(p, s), UpdaterNext::KeepWindow);
    EXPECT_TRUE(runner.started.empty());
    shell.answerOk = true;
    EXPECT_EQ(GiveUp(p, s), UpdaterNext::EndProgram);
    EXPECT_EQ(runner.Commands(), (std::vector<std::string>{"\"C:\\QOR\\QOR.exe\" /0"}));
    EXPECT_EQ(shell.messages, (std::vector<std::string>{"Q:确定要放弃升级吗？", "Q:确定要放弃升级吗？"}));
    EXPECT_TRUE(files.FileExists(kPackage));

    runner.started.clear();
    Run("");
    EXPECT_EQ(GiveUp(p, s), UpdaterNext::EndProgram);
    EXPECT_TRUE(runner.started.empty());
}

TEST_F(Updater, OnlineUpgradeDownloadsThenOffersTheInstallation) {
    ASSERT_EQ(Run(""), UpdaterNext::KeepWindow);
    shell.answerYes = false;
    EXPECT_EQ(OnlineUpgrade(p, s), UpdaterNext::KeepWindow);
    EXPECT_EQ(files.files[kLog], kServerLog + "  ! DOWNLOAD COMPLETE");
    EXPECT_TRUE(window.installShown);
    EXPECT_FALSE(window.onlineEnabled);
    EXPECT_EQ(shell.messages, (std::vector<std::string>{"Q:新版本升级包已下载完成！\r\n是否立即安装？"}));

    // A failed download: the message, idle layout, buttons back.
    http.responses.erase("/pkg/QOR_UPDATE.rar");
    EXPECT_EQ(OnlineUpgrade(p, s), UpdaterNext::KeepWindow);
    EXPECT_EQ(shell.messages.back(), "E:无法连接到服务器！");
    EXPECT_FALSE(window.busy);
    EXPECT_TRUE(window.onlineEnabled);
    EXPECT_TRUE(window.giveUpEnabled);

    // Yes installs at once.
    http.Serve("/pkg/QOR_UPDATE.rar", "PACKAGE");
    runner.onStart = [&](const std::string&) {
        files.AddFile(kStaging + "\\QOR.exe", "new launcher");
        system.versions[kStaging + "\\QOR.exe"] = {6, 2, 0, 0};
    };
    shell.answerYes = true;
    EXPECT_EQ(OnlineUpgrade(p, s), UpdaterNext::EndProgram);
    EXPECT_EQ(runner.Commands(), (std::vector<std::string>{kExtract}));
    EXPECT_FALSE(files.FileExists(kLog));
}

// A build with the vendor's key: the signature file is fetched beside the package and checked
// before the log is marked and again before anything is extracted.
class SignedUpdates : public Installation {
protected:
    void SetUp() override {
        Installation::SetUp();
        files.files.erase(kLog);
        files.files.erase(kPackage);
        s.updateKeyPem =
            "-----BEGIN PUBLIC KEY-----\n"
            "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEnUy/dwuOP9r5Pde7IljxAFuTWuwD\n"
            "LrZUChzXyVaMk7AzvhOxaXmwElIMyZdghEruAcppVgRFXKNfLE5JxgmqcQ==\n"
            "-----END PUBLIC KEY-----\n";
        p.verifier = &verifier;
        system.utcNow = kNow;
        http.Serve("/pkg/QOR_UPDATE.rar.sig", kGood);
        http.Serve("/QOR_BIZACC_UPDATE_LOG.txt.sig", SignLog(kServerLog));
    }
    // The signature file of a log as the vendor's tool writes it, for this package, edition and
    // expiry; the fake verifier takes it as the vendor's.
    std::string SignLog(const std::string& log, const std::string& package = "PACKAGE",
                        const std::string& edition = "BIZACC", int64_t expires = kNow + 3600,
                        uint64_t size = 7) {
        LogSignature sig;
        sig.edition = edition;
        sig.packageSha256 = FakeVerifier::FakeDigest(package);
        sig.packageSize = size;
        sig.expires = expires;
        sig.signature[0] = 0x5a;
        verifier.alsoSigned.push_back(LogSignedBytes(log, sig));
        return FormatLogSignature(sig);
    }
    // A waiting package whose log carries the vendor's signature.
    void SignedWaitingPackage(const std::string& version, int64_t expires = kNow + 3600) {
        WaitingPackage(version);
        files.AddFile(kLogSig, SignLog(version + "\r\nnotes\r\nhttp://127.0.0.1/pkg/QOR_UPDATE.rar", "PACKAGE",
                                       "BIZACC", expires));
    }
    // Every fake as new, then set up again.
    void Fresh() {
        files = FakeFileStore();
        http = FakeHttp();
        shell = FakeUpdaterShell();
        window = FakeWindow();
        runner = FakeRunner();
        system = FakeSystem();
        verifier = FakeVerifier();
        s = UpdaterState();
        SetUp();
    }
    static constexpr int64_t kNow = 1750000000;
    const std::string kSig = kPackage + ".sig";
    const std::string kLogSig = kLog + ".sig";
    const std::string kSeen = kApp + "\\QOR_UPDATE.seen";
    const std::string kGood = "5a" + std::string(126, '0') + "\r\n";
    FakeVerifier verifier;
};

TEST_F(SignedUpdates, BackgroundDownloadMarksTheLogOnlyForAMatchingSignature) {
    EXPECT_EQ(Run("/d"), UpdaterNext::EndProgram);
    EXPECT_EQ(http.paths, (std::vector<std::string>{"/QOR_BIZACC_UPDATE_LOG.txt", "/QOR_BIZACC_UPDATE_LOG.txt.sig",
                                                    "/pkg/QOR_UPDATE.rar", "/pkg/QOR_UPDATE.rar.sig"}));
    EXPECT_EQ(files.files[kSig], kGood);
    EXPECT_EQ(verifier.checked, (std::vector<std::string>{verifier.alsoSigned.back(), "PACKAGE"}));
    EXPECT_EQ(verifier.hashed, (std::vector<std::string>{"PACKAGE"}));
    EXPECT_TRUE(EndsWith(files.files[kLog], "  ! DOWNLOAD COMPLETE"));
    EXPECT_EQ(files.files[kSeen], "QOR_UPDATE newest log 1\r\n6.02\r\n");

    // Missing, malformed or not matching, or a key that does not parse; a package that is not
    // the one the signed log names (an older one with a valid signature of its own, or one of
    // another size): package and signature deleted, the log not marked, nothing shown.
    const std::function<void()> faults[] = {
        [&] { http.responses.erase("/pkg/QOR_UPDATE.rar.sig"); },
        [&] { http.Serve("/pkg/QOR_UPDATE.rar.sig", "5a00"); },
        [&] { http.Serve("/pkg/QOR_UPDATE.rar.sig", "00" + std::string(126, '0')); },
        [&] { http.Serve("/pkg/QOR_UPDATE.rar", "PACKAGE changed"); },
        [&] { s.updateKeyPem = "-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n"; },
        [&] {
            http.Serve("/pkg/QOR_UPDATE.rar", "OLD PACKAGE");
            verifier.signedData = "OLD PACKAGE";
        },
        [&] { http.Serve("/QOR_BIZACC_UPDATE_LOG.txt.sig", SignLog(kServerLog, "PACKAGE", "BIZACC", kNow + 3600, 8)); },
    };
    for (size_t i = 0; i < std::size(faults); ++i) {
        SetUp();
        faults[i]();
        EXPECT_EQ(Run("/d"), UpdaterNext::EndProgram) << i;
        EXPECT_FALSE(files.FileExists(kPackage)) << i;
        EXPECT_FALSE(files.FileExists(kSig)) << i;
        EXPECT_FALSE(EndsWith(files.files[kLog], "DOWNLOAD COMPLETE")) << i;
        EXPECT_TRUE(shell.messages.empty()) << i;
    }
}

TEST_F(SignedUpdates, OnlineUpgradeRefusesAForgedPackageWithAMessage) {
    http.Serve("/pkg/QOR_UPDATE.rar", "FORGED");
    ASSERT_EQ(Run(""), UpdaterNext::KeepWindow);
    EXPECT_EQ(OnlineUpgrade(p, s), UpdaterNext::KeepWindow);
    EXPECT_EQ(shell.messages, (std::vector<std::string>{
                                  "E:升级包【QOR_UPDATE.rar】未通过数字签名校验，已被删除！\r\n请稍后重新升级。"}));
    EXPECT_FALSE(files.FileExists(kPackage));
    EXPECT_FALSE(files.FileExists(kSig));
    EXPECT_FALSE(EndsWith(files.files[kLog], "DOWNLOAD COMPLETE"));
    EXPECT_FALSE(window.busy);
    EXPECT_TRUE(window.onlineEnabled);
    EXPECT_TRUE(runner.started.empty());
}

TEST_F(SignedUpdates, InstallationChecksAgainBeforeExtracting) {
    files.AddFile(kApp + "\\SYS\\setinf.txt", "ZTCOMMAND = D:\\Books\\a.qorb\r\n");
    SignedWaitingPackage("6.02");
    files.AddFile(kSig, kGood);
    ASSERT_EQ(Run("/s"), UpdaterNext::KeepWindow);
    EXPECT_EQ(InstallPackage(p, s), UpdaterNext::EndProgram);
    EXPECT_EQ(runner.Commands().front(), kExtract);

    // Changed after it was marked complete: refused, deleted with the log, nothing extracted,
    // and the launcher gets its account set back.
    SetUp();
    runner.started.clear();
    files.AddFile(kApp + "\\SYS\\setinf.txt", "ZTCOMMAND = D:\\Books\\a.qorb\r\n");
    SignedWaitingPackage("6.02");
    files.AddFile(kPackage, "PACKAGE changed");
    files.AddFile(kSig, kGood);
    ASSERT_EQ(Run("/s"), UpdaterNext::KeepWindow);
    EXPECT_EQ(InstallPackage(p, s), UpdaterNext::EndProgram);
    EXPECT_EQ(shell.messages.back(), "E:" + std::string(kPackageSignatureRefused));
    EXPECT_EQ(runner.Commands(), (std::vector<std::string>{"\"C:\\QOR\\QOR.exe\" /0/D:\\Books\\a.qorb"}));
    for (const std::string& gone : {kPackage, kSig, kLog}) EXPECT_FALSE(files.FileExists(gone)) << gone;
    EXPECT_EQ(files.files[kLauncher], "launcher");
}

// A log that is unsigned, badly signed, changed after signing, expired (or read while the clock
// cannot be), another edition's, older than the newest accepted before, or too large to read:
// nothing is offered or fetched beyond it, the refusal looks like a server that cannot be
// reached, and the log goes with its signature file.
TEST_F(SignedUpdates, RefusedLogsOfferNothing) {
    const std::string logSig = "/QOR_BIZACC_UPDATE_LOG.txt.sig";
    const std::string big = "6.02\r\n" + std::string(kUpdateFileReadLimit, 'n') + "\r\nhttp://127.0.0.1/pkg/QOR_UPDATE.rar";
    const std::pair<const char*, std::function<void()>> rows[] = {
        {"unsigned", [&] { http.responses.erase(logSig); }},
        {"not the vendor's", [&] { http.Serve(logSig, "x" + SignLog(kServerLog).substr(1)); }},
        {"forged version", [&] { http.Serve("/QOR_BIZACC_UPDATE_LOG.txt", "99.99" + kServerLog.substr(4)); }},
        {"signature malformed", [&] { http.Serve(logSig, SignLog(kServerLog) + "extra\r\n"); }},
        {"expired", [&] { http.Serve(logSig, SignLog(kServerLog, "PACKAGE", "BIZACC", kNow)); }},
        {"clock unreadable", [&] { system.utcNow.reset(); }},
        {"other edition", [&] { http.Serve(logSig, SignLog(kServerLog, "PACKAGE", "PROACC")); }},
        {"older than seen", [&] { files.AddFile(kSeen, FormatNewestLogRecord("6.03")); }},
        {"too large", [&] {
             http.Serve("/QOR_BIZACC_UPDATE_LOG.txt", big);
             http.Serve(logSig, SignLog(big));
         }},
    };
    for (const auto& [name, fault] : rows) {
        for (const char* argument : {"", "/d"}) {
            Fresh();
            fault();
            const std::string seen = files.FileExists(kSeen) ? files.files[kSeen] : "";
            EXPECT_EQ(Run(argument), UpdaterNext::EndProgram) << name << argument;
            EXPECT_FALSE(window.shown) << name;
            EXPECT_EQ(shell.messages, *argument ? std::vector<std::string>{} : std::vector<std::string>{"E:无法连接到服务器！"})
                << name << argument;
            EXPECT_EQ(std::count(http.paths.begin(), http.paths.end(), "/pkg/QOR_UPDATE.rar"), 0) << name << argument;
            EXPECT_FALSE(files.FileExists(kLog)) << name << argument;
            EXPECT_FALSE(files.FileExists(kLogSig)) << name << argument;
            EXPECT_EQ(files.FileExists(kSeen) ? files.files[kSeen] : "", seen) << name << argument;
            EXPECT_EQ(files.files[kLauncher], "launcher") << name << argument;
            EXPECT_TRUE(runner.started.empty()) << name << argument;
        }
    }
}

// The newest accepted version only rises: the same log again is taken, an older one is not
// recorded over a newer record.
TEST_F(SignedUpdates, NewestAcceptedLogOnlyRises) {
    files.AddFile(kSeen, FormatNewestLogRecord("6.02"));
    EXPECT_EQ(Run(""), UpdaterNext::KeepWindow);
    EXPECT_EQ(files.files[kSeen], FormatNewestLogRecord("6.02"));
    const std::string log603 = "6.03\r\nA\r\nhttp://127.0.0.1/pkg/QOR_UPDATE.rar";
    http.Serve("/QOR_BIZACC_UPDATE_LOG.txt", log603);
    http.Serve("/QOR_BIZACC_UPDATE_LOG.txt.sig", SignLog(log603));
    EXPECT_EQ(Run(""), UpdaterNext::KeepWindow);
    EXPECT_EQ(files.files[kSeen], FormatNewestLogRecord("6.03"));
    EXPECT_EQ(s.newVersion, "6.03");
}

// A waiting package is offered only while its marked log still holds against the stored
// signature; the expiry no longer matters once the package is here.
TEST_F(SignedUpdates, WaitingPackageNeedsItsSignedLog) {
    SignedWaitingPackage("6.02", kNow - 10);
    files.AddFile(kSig, kGood);
    ASSERT_EQ(Run("/s"), UpdaterNext::KeepWindow);
    EXPECT_EQ(window.headline, "检测到已下载完成的新版本:6.02 [当前版本:6.01.06]");

    const std::pair<const char*, std::function<void()>> rows[] = {
        {"no signature", [&] { files.files.erase(kLogSig); }},
        {"version edited", [&] { files.files[kLog] = "6.09" + files.files[kLog].substr(4); }},
        {"older than seen", [&] { files.AddFile(kSeen, FormatNewestLogRecord("6.03")); }},
        {"other edition",
         [&] { files.files[kLogSig] = SignLog("6.02\r\nnotes\r\nhttp://127.0.0.1/pkg/QOR_UPDATE.rar", "PACKAGE", "PROACC"); }},
    };
    for (const auto& [name, fault] : rows) {
        Fresh();
        SignedWaitingPackage("6.02");
        files.AddFile(kSig, kGood);
        fault();
        EXPECT_EQ(Run("/s"), UpdaterNext::EndProgram) << name;
        EXPECT_FALSE(window.shown) << name;
        EXPECT_EQ(runner.Commands(), (std::vector<std::string>{"\"C:\\QOR\\QOR.exe\" /0"})) << name;
        EXPECT_EQ(files.files[kLauncher], "launcher") << name;
    }
}

TEST_F(Updater, BuildWithoutKeyNeverAsksForASignature) {
    EXPECT_EQ(Run("/d"), UpdaterNext::EndProgram);
    EXPECT_EQ(http.paths, (std::vector<std::string>{"/QOR_BIZACC_UPDATE_LOG.txt", "/pkg/QOR_UPDATE.rar"}));
    EXPECT_TRUE(EndsWith(files.files[kLog], "  ! DOWNLOAD COMPLETE"));
    EXPECT_FALSE(files.FileExists(kApp + "\\QOR_UPDATE.seen"));
}

// Without a key too, a log above the read limit is never read: the server cannot be checked.
TEST_F(Updater, LogAboveTheReadLimitIsNotRead) {
    http.Serve("/QOR_BIZACC_UPDATE_LOG.txt", "6.02\r\n" + std::string(kUpdateFileReadLimit, 'n') + "\r\nhttp://h/p");
    EXPECT_EQ(Run(""), UpdaterNext::EndProgram);
    EXPECT_EQ(shell.messages, (std::vector<std::string>{"E:无法连接到服务器！"}));
    http.Serve("/QOR_BIZACC_UPDATE_LOG.txt", "6.02\r\n" + std::string(kUpdateFileReadLimit - 20, 'n') + "\r\nhttp://h/p");
    EXPECT_EQ(Run(""), UpdaterNext::KeepWindow);
}

}  // namespace
}  // namespace qor
