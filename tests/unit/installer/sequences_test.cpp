// The install and uninstall sequences against the fakes: what they write, start, show and
// remove, in which order, and what they leave alone.
#include <gtest/gtest.h>

#include <functional>

#include "common/trusted_files/trusted_files.h"
#include "installer/install_record.h"
#include "installer/package/package.h"
#include "installer/sequences.h"
#include "installer/setup_command.h"
#include "installer/silent.h"
#include "installer_fakes.h"

namespace qor {
namespace {

using installer::Answer;
using installer::InstallOutcome;
using installer::MessageKind;
using installer::UninstallOutcome;

const std::string I = "D:\\X\\";
const std::string kProduct = "QOR中小企业财务软件";
const std::string kDesktopLink = "C:\\Users\\user\\Desktop\\QOR中小企业财务软件.lnk";
const std::string kMenu = "C:\\ProgramData\\Programs\\QOR中小企业财务软件\\";

class SequenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        files.AddFolder("D:\\X");
        files.AddFolder("C:\\Users\\user\\Desktop");
        files.AddFolder("C:\\ProgramData\\Programs");
        files.AddFolder(system.tempFolder);
        files.AddFile("E:\\Downloads\\setup.exe",
                      "MZ" + std::string(8, '\0') + package::HeaderLine(2, 3) + "ext" + package::HeaderLine(3, 3) + "arc");
    }
    InstallOutcome Install(const std::string& path = I) { return installer::RunInstall(platform, views, path); }
    UninstallOutcome Uninstall(bool wholeFolder, const std::string& path = I) {
        return installer::RunUninstall(platform, views, path, wholeFolder);
    }

    testing::FakeFileStore files;
    testing::FakeSystem system;
    testing::FakeManagement wmi;
    testing::FakeExtractorRunner runner{files};
    testing::FakeShell shell{files};
    testing::FakeDesktopShell desktop;
    testing::FakeViews views;
    installer::InstallerPlatform platform{files, system, wmi, runner, shell, desktop, "E:\\Downloads", "setup"};
};

TEST_F(SequenceTest, InstallExtractsRecordsRegistersAndMakesTheShortcuts) {
    // The uninstaller, its record, the icon and the trust list are kept where only
    // administrators can write; the entry and the menu's uninstall shortcut name that copy.
    system.programFilesFolder = "C:\\Program Files (x86)";
    files.AddFolder(system.programFilesFolder);
    const std::string P = "C:\\Program Files (x86)\\QOR中小企业财务软件\\";
    runner.archive.push_back({"qor.ico", "ICO"});
    ASSERT_EQ(Install(), InstallOutcome::Installed);
    EXPECT_EQ(files.files[I + "QOR_SETUP.exe"], files.files["E:\\Downloads\\setup.exe"]);
    // The extractor and the archive came out of the running image into the work folder, which
    // is gone now; none of them was ever in the install folder.
    const std::string W = system.tempFolder + "\\QOR_SETUP_WORK\\";
    EXPECT_EQ(files.privateFolders, (std::vector<std::string>{W.substr(0, W.size() - 1)}));
    EXPECT_FALSE(files.FolderExists(W));
    EXPECT_FALSE(files.Held(W));
    EXPECT_FALSE(files.files.count(I + "UnRAR.exe"));
    EXPECT_FALSE(files.files.count(I + "QOR_SETUP.rar"));
    EXPECT_EQ(files.files[I + "a.txt"], "A");
    EXPECT_EQ(files.files[I + "SYS\\b.txt"], "B");
    EXPECT_FALSE(files.FolderExists(I + "QOR_SETUP_TEMP"));
    const std::string record =
        "D:\\X\\\r\nD:\\X\\a.txt\r\nD:\\X\\qor.ico\r\nD:\\X\\SYS\\\r\nD:\\X\\SYS\\b.txt\r\nD:\\X\\QOR_SETUP.rar\r\n"
        "D:\\X\\QOR_UPDATE.LOG\r\nD:\\X\\QOR_UPDATE.rar\r\nD:\\X\\QOR_UPDATE.exe\r\nD:\\X\\SYS\\pcinf.txt\r\n"
        "D:\\X\\SYS\\usrinf.txt\r\nD:\\X\\SYS\\setinf.txt\r\n";
    EXPECT_EQ(files.files[I + "uninstall.inf"], record);
    EXPECT_EQ(files.files[P + "uninstall.inf"], record);
    EXPECT_EQ(files.files[P + "QOR_SETUP.exe"], files.files["E:\\Downloads\\setup.exe"]);
    EXPECT_EQ(files.files[P + "qor.ico"], "ICO");
    EXPECT_EQ(files.files[P + "QOR_FILES.sha256"],
              // SHA-256 of "A", "ICO" and "B".
              "559aead08264d5795d3909718cdd05abd49572e84fe55590eef31a88a08fdffd  a.txt\r\n" +
                  TrustListLine(*FileDigest(files, P + "qor.ico"), "qor.ico") +
                  "df7e70e5021544f4834bbee64a9e3789febc4be81470df629cad6ddb03320a5c  SYS\\b.txt\r\n");

    const std::string k = "reg add HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + kProduct;
    EXPECT_EQ(runner.Commands(),
              (std::vector<std::string>{
                  "\"" + W + "\\UnRAR.exe\" x -o+ \"" + W + "\\QOR_SETUP.rar\" \"" + W + "QOR_SETUP_TEMP\\\\\"",
                  "\"" + W + "\\UnRAR.exe\" x -o+ \"" + W + "\\QOR_SETUP.rar\" \"D:\\X\\\\\"",
                  k + " /v DisplayIcon /t REG_SZ /d \"" + P + "qor.ico\" /f",
                  k + " /v DisplayName /t REG_SZ /d QOR中小企业财务软件 /f",
                  k + " /v DisplayVersion /t REG_SZ /d 6.01 /f",
                  k + " /v Publisher /t REG_SZ /d QORsoft /f",
                  k + " /v UninstallString /t REG_SZ /d \"\\\"" + P + "QOR_SETUP.exe\\\" /u\" /f",
                  k + " /v InstallLocation /t REG_SZ /d \"D:\\X\" /f",
                  k + " /v EstimatedSize /t REG_DWORD /d 1 /f",  // 5 bytes of files: 1 KB
                  k + " /v QuietUninstallString /t REG_SZ /d \"\\\"" + P + "QOR_SETUP.exe\\\" /u /S\" /f",
                  k + " /v URLInfoAbout /t REG_SZ /d http://www.qor-soft.cn /f",
                  k + " /v NoModify /t REG_DWORD /d 1 /f",
              }));
    for (const auto& s : runner.started) EXPECT_EQ(s.style, WindowStyle::Hidden);
    EXPECT_EQ(runner.waited, (std::vector<uint32_t>{101, 102}));  // only the extractor is awaited

    ASSERT_EQ(shell.links.size(), 3u);
    EXPECT_EQ(shell.links[kDesktopLink].target, I + "QOR.exe");
    EXPECT_EQ(shell.links[kMenu + kProduct + ".lnk"].target, I + "QOR.exe");
    EXPECT_EQ(shell.links[kMenu + "卸载 " + kProduct + ".lnk"].target, P + "QOR_SETUP.exe");
    EXPECT_EQ(shell.links[kMenu + "卸载 " + kProduct + ".lnk"].arguments, "/u");
    EXPECT_EQ(shell.links[kMenu + kProduct + ".lnk"].arguments, "");

    EXPECT_EQ(views.calls, (std::vector<std::string>{
                               "status 正在释放文件...", "progress 0/1", "disable start", "progress 1/2",
                               "status 正在安装(请不要关闭本窗口)...", "disable cancel", "status 安装完成！", "progress 1/1",
                               "finish QOR中小企业财务软件  已经成功的安装到您的计算机。|运行  QOR中小企业财务软件"}));
    EXPECT_EQ(wmi.queries, (std::vector<std::string>{"SELECT * FROM Win32_Process WHERE Name='excel.exe'"}));
}

TEST_F(SequenceTest, ExcelRunningOrAMissingDriveStopsBeforeAnythingIsTouched) {
    wmi.answers["SELECT * FROM Win32_Process WHERE Name='excel.exe'"] = {true, {"EXCEL.EXE"}};
    auto before = files.files;
    EXPECT_EQ(Install(), InstallOutcome::ExcelRunning);
    ASSERT_EQ(views.messages.size(), 1u);
    EXPECT_EQ(views.messages[0].text, "QOR安装程序检测到Excel正在运行！\r\n\r\n如果您已经打开Excel表格，请关闭后再尝试安装...");
    EXPECT_EQ(views.messages[0].title, "提示");
    EXPECT_EQ(views.messages[0].kind, MessageKind::Information);

    wmi.answers.clear();
    EXPECT_EQ(Install("E:\\Y\\"), InstallOutcome::DriveMissing);
    EXPECT_EQ(views.messages[1].text, "磁盘E:不存在！\r\n请重新选择安装路径。");
    EXPECT_EQ(views.messages[1].title, "错误");
    EXPECT_EQ(views.messages[1].kind, MessageKind::Critical);

    // A folder that the ANSI code page cannot hold would be recorded as "?".
    files.notInAnsi = {"한"};
    EXPECT_EQ(Install("D:\\한글\\"), InstallOutcome::FolderRefused);
    EXPECT_EQ(views.messages[2].text, "安装路径中含有当前系统语言不支持的字符！\r\n请重新选择安装路径。");
    EXPECT_EQ(views.messages[2].title, "错误");
    EXPECT_EQ(views.messages[2].kind, MessageKind::Critical);
    EXPECT_EQ(files.files, before);
    EXPECT_FALSE(files.FolderExists("D:\\한글"));
    EXPECT_TRUE(runner.started.empty());
    EXPECT_EQ(views.calls, (std::vector<std::string>{"message 提示", "message 错误", "message 错误"}));
}

TEST_F(SequenceTest, FailuresUpToTheSecondExtractionEndInTheInstallError) {
    // A package without the extractor's record: no extractor is started at all, not even one
    // that someone planted in the install folder.
    files.AddFile(I + "UnRAR.exe", "planted");
    files.AddFile(I + "QOR_SETUP.rar", "planted");
    files.files["E:\\Downloads\\setup.exe"] = "MZ" + std::string(4, '\0') + package::HeaderLine(3, 3) + "arc";
    EXPECT_EQ(Install(), InstallOutcome::BadPackage);
    ASSERT_EQ(views.messages.size(), 1u);
    EXPECT_EQ(views.messages[0].text, "安装过程发生错误！\r\n请重试！");
    EXPECT_EQ(views.messages[0].title, "错误");
    EXPECT_EQ(std::vector<std::string>(views.calls.end() - 4, views.calls.end()),
              (std::vector<std::string>{"message 错误", "hide progress", "enable start", "enable cancel"}));
    EXPECT_FALSE(files.files.count(I + "uninstall.inf"));
    EXPECT_TRUE(shell.links.empty());
    EXPECT_TRUE(runner.started.empty());
    // The work folder of the failed attempt is gone. A folder of that name that someone else
    // made is never taken: the work folder is always made new.
    const std::string W = system.tempFolder + "\\QOR_SETUP_WORK";
    EXPECT_FALSE(files.FolderExists(W));
    files.AddFile(W + "\\UnRAR.exe", "planted");
    files.files["E:\\Downloads\\setup.exe"] =
        "MZ" + std::string(4, '\0') + package::HeaderLine(2, 3) + "ext" + package::HeaderLine(3, 3) + "arc";
    ASSERT_EQ(Install(), InstallOutcome::Installed);
    EXPECT_EQ(runner.started[0].command,
              "\"" + W + "1\\\\UnRAR.exe\" x -o+ \"" + W + "1\\\\QOR_SETUP.rar\" \"" + W + "1\\QOR_SETUP_TEMP\\\\\"");
    EXPECT_EQ(files.files[W + "\\UnRAR.exe"], "planted");
    EXPECT_FALSE(files.FolderExists(W + "1"));
    EXPECT_EQ(files.files[I + "uninstall.inf"].find("QOR_SETUP_TEMP"), std::string::npos);

    // A folder whose parent is missing.
    EXPECT_EQ(Install("D:\\No\\Such\\"), InstallOutcome::FolderNotWritable);
    EXPECT_EQ(views.messages.back().text, "安装过程发生错误！\r\n请重试！");
}

TEST_F(SequenceTest, LinksInTheInstallFolderOrInTheWorkFolderAreNeverFollowed) {
    struct Row {
        const char* what;
        std::function<void()> arrange;
        InstallOutcome outcome;
        size_t extractorRuns;
    };
    const std::string W = system.tempFolder + "\\QOR_SETUP_WORK";
    const Row rows[] = {
        {"the install folder is a link", [&] { files.links.insert("D:\\X"); }, InstallOutcome::FolderIsLink, 0},
        {"a folder inside it is a link", [&] { files.AddFolder(I + "SYS"); files.links.insert(I + "SYS"); },
         InstallOutcome::FolderIsLink, 0},
        {"a link appears in it during the first extraction",
         [&] { runner.during = [&](size_t run) { if (run == 0) { files.AddFolder(I + "SYS"); files.links.insert(I + "SYS"); } }; },
         InstallOutcome::FolderIsLink, 1},
        // The scratch folder swapped for a link during the second extraction (it cannot be in
        // a folder only administrators can write, but the removal must not depend on that): the
        // link is neither walked into nor removed, and what it leads to stays.
        {"the scratch root swapped for a link",
         [&] {
             runner.during = [&](size_t run) {
                 if (run != 1) return;
                 files.links.insert(W + "\\QOR_SETUP_TEMP");
                 files.AddFile(W + "\\QOR_SETUP_TEMP\\target.txt", "not ours");
             };
         },
         InstallOutcome::Installed, 2},
    };
    for (const Row& row : rows) {
        files = testing::FakeFileStore();
        runner.started.clear();
        runner.waited.clear();
        runner.during = nullptr;
        views = testing::FakeViews();
        SetUp();
        row.arrange();
        EXPECT_EQ(Install(), row.outcome) << row.what;
        EXPECT_EQ(runner.waited.size(), row.extractorRuns) << row.what;
        EXPECT_FALSE(files.Held(W)) << row.what;
        if (row.outcome == InstallOutcome::FolderIsLink) {
            EXPECT_EQ(views.messages.back().text, "安装过程发生错误！\r\n请重试！") << row.what;
            EXPECT_FALSE(files.files.count(I + "a.txt")) << row.what;
            EXPECT_FALSE(files.FolderExists(W)) << row.what;
            continue;
        }
        EXPECT_TRUE(files.links.count(W + "\\QOR_SETUP_TEMP")) << row.what;
        EXPECT_EQ(files.files[W + "\\QOR_SETUP_TEMP\\target.txt"], "not ours") << row.what;
        for (const std::string& d : files.deleted) EXPECT_EQ(d.find("QOR_SETUP_TEMP"), std::string::npos) << d;
    }
}

TEST_F(SequenceTest, FoldersOfTheSystemOrTheUserAreRefusedWhenChosen) {
    system.aliases = {{"C:\\PROGRA~2", "C:\\Program Files (x86)"}, {"C:\\Docs", "C:\\Users\\user\\Documents"}};
    system.ownedFolders.push_back("C:\\Program Files (x86)");
    system.ownedFolders.push_back("C:\\Windows\\SysWOW64");
    system.environment["ProgramData"] = "C:\\ProgramData";
    files.AddFolder("C:\\Program Files (x86)");
    files.AddFolder("C:\\Users\\user\\Documents");
    const std::pair<std::string, bool> rows[] = {
        {"D:\\\\", true},                                  // a drive root
        {"C:\\PROGRA~2\\", true},                          // the program-files folder, short form
        {"C:\\PROGRA~2\\QOR\\", false},                    // a folder made inside it
        {"C:\\Windows\\SysWOW64\\", true},
        {"C:\\Windows\\Temp\\QOR\\", true},                // anything inside the Windows folder
        {"C:\\Users\\user\\Documents\\", true},
        {"C:\\Docs\\", true},                              // the same through another name
        {"C:\\Users\\user\\Documents\\QOR\\", false},
        {"C:\\Users\\", true},                             // holds the profiles
        {"C:\\ProgramData\\", true},
        {"D:\\X\\", false},
    };
    for (const auto& [path, refused] : rows) {
        views = testing::FakeViews();
        runner.started.clear();
        const InstallOutcome outcome = Install(path);
        EXPECT_EQ(outcome == InstallOutcome::FolderRefused, refused) << path;
        EXPECT_EQ(installer::RefuseProtectedInstallFolder(platform, views, path), refused) << path;
        if (!refused) continue;
        EXPECT_EQ(views.messages[0].text, "安装文件夹 " + path + " 是磁盘根目录或系统、用户文件夹，不能安装到这里！\r\n请重新选择安装路径。");
        EXPECT_EQ(views.messages[0].title, "错误");
        EXPECT_TRUE(runner.started.empty()) << path;
    }
    // A silent install names its folder with /D=: the same refusal, exit code 9.
    EXPECT_EQ(installer::RunSilentInstall(platform, "C:\\Windows\\SysWOW64\\QOR\\"), 9);
}

TEST_F(SequenceTest, AnInstallThatDidNotHappenIsNotReportedAsDone) {
    struct Row {
        const char* what;
        std::function<void()> arrange;
        InstallOutcome outcome;
        size_t extractorRuns;  // extractor starts
    };
    const Row rows[] = {
        {"the copy of the installer cannot be written", [&] { files.unwritable.insert(I + "QOR_SETUP.exe"); },
         InstallOutcome::FolderNotWritable, 0},
        {"a fatal error of the first extraction", [&] { runner.exitCodes = {2}; }, InstallOutcome::ExtractionFailed, 1},
        {"a fatal error of the first extraction", [&] { runner.exitCodes = {255}; }, InstallOutcome::ExtractionFailed, 1},
        {"an empty scratch folder", [&] { runner.archive.clear(); }, InstallOutcome::ExtractionFailed, 1},
        {"uninstall.inf cannot be written", [&] { files.unwritable.insert(I + "uninstall.inf"); },
         InstallOutcome::RecordNotWritten, 2},
        {"a warning of the first extraction", [&] { runner.exitCodes = {1}; }, InstallOutcome::Installed, 2},
        {"a damaged archive in the second extraction", [&] { runner.exitCodes = {0, 3}; },
         InstallOutcome::ExtractionFailed, 2},
        {"a file of the second extraction held open", [&] { runner.exitCodes = {0, 9}; files.unwritable.insert(I + "SYS\\b.txt"); },
         InstallOutcome::ExtractionFailed, 2},
        {"the archive's extractor cannot replace its running image: the scratch copy does",
         [&] { runner.exitCodes = {0, 9}; runner.archive.push_back({"UnRAR.exe", "new extractor"}); },
         InstallOutcome::Installed, 2},
        {"an archive without QOR.exe", [&] { runner.archive = {{"x.txt", "X"}}; }, InstallOutcome::Installed, 2},
        {"a repair: the copy in the install folder copies onto itself",
         [&] {
             files.AddFile(I + "QOR_SETUP.exe", files.files["E:\\Downloads\\setup.exe"]);
             platform.programFolder = "D:\\X";
             platform.programBaseName = "QOR_SETUP";
         },
         InstallOutcome::Installed, 2},
    };
    for (const Row& row : rows) {
        files = testing::FakeFileStore();
        runner.started.clear();
        runner.waited.clear();
        runner.exitCodes.clear();
        runner.archive = {{"a.txt", "A"}, {"SYS\\", ""}, {"SYS\\b.txt", "B"}};
        shell.links.clear();
        views = testing::FakeViews();
        platform.programFolder = "E:\\Downloads";
        platform.programBaseName = "setup";
        SetUp();
        row.arrange();
        EXPECT_EQ(Install(), row.outcome) << row.what;
        EXPECT_EQ(runner.started.size(), row.extractorRuns + (row.outcome == InstallOutcome::Installed ? 10 : 0))
            << row.what;
        if (row.outcome == InstallOutcome::Installed) {
            EXPECT_TRUE(views.messages.empty()) << row.what;
            EXPECT_TRUE(files.files.count(I + "uninstall.inf")) << row.what;
            continue;
        }
        ASSERT_EQ(views.messages.size(), 1u) << row.what;
        EXPECT_EQ(views.messages[0].text, "安装过程发生错误！\r\n请重试！") << row.what;
        EXPECT_EQ(views.calls.back(), "enable cancel") << row.what;
        EXPECT_TRUE(shell.links.empty()) << row.what;
        // Nothing was extracted into the install folder unless the extraction itself went well.
        EXPECT_EQ(files.files.count(I + "a.txt"), row.extractorRuns < 2 ? 0u : 1u) << row.what;
    }
}

TEST_F(SequenceTest, TheFinishPageStartsTheProgramOnlyThroughTheDesktopShell) {
    installer::StartInstalledProgram(platform, I);  // no QOR.exe: nothing to start
    EXPECT_TRUE(desktop.started.empty() && runner.started.empty());
    files.AddFile(I + "QOR.exe", "MZ");
    desktop.answers = true;
    installer::StartInstalledProgram(platform, I);
    EXPECT_EQ(desktop.started, (std::vector<std::string>{"D:\\X\\QOR.exe|D:\\X\\"}));
    EXPECT_TRUE(runner.started.empty());
    // No desktop shell: nothing starts, never the program directly with the installer's rights.
    desktop.answers = false;
    installer::StartInstalledProgram(platform, I);
    EXPECT_EQ(desktop.started.size(), 2u);
    EXPECT_TRUE(runner.started.empty());
}

// Repair (the package copying onto itself) runs end to end under Wine.

// An installed tree as the install leaves it.
class UninstallTest : public SequenceTest {
protected:
    void SetUp() override {
        SequenceTest::SetUp();
        ASSERT_EQ(Install(), InstallOutcome::Installed);
        files.AddFile(I + "SYS\\setinf.txt", "settings");
        files.AddFile(I + "用户账套.qorb", "user");
        runner.started.clear();
        runner.waited.clear();
        views.calls.clear();
        views.messages.clear();
        files.deleted.clear();
    }
    // The three shortcut files of the install.
    bool AnyShortcutLeft() {
        return files.files.count(kDesktopLink) || files.files.count(kMenu + kProduct + ".lnk") ||
               files.files.count(kMenu + "卸载 " + kProduct + ".lnk");
    }
    bool AllShortcutsLeft() {
        return files.files.count(kDesktopLink) && files.files.count(kMenu + kProduct + ".lnk") &&
               files.files.count(kMenu + "卸载 " + kProduct + ".lnk");
    }
};

TEST_F(UninstallTest, RemovesWhatTheRecordListsBackwardsAndKeepsEverythingElse) {
    EXPECT_EQ(Uninstall(false), UninstallOutcome::Removed);
    for (const char* name : {"a.txt", "SYS\\b.txt", "SYS\\setinf.txt", "uninstall.inf"})
        EXPECT_FALSE(files.files.count(I + name)) << name;
    EXPECT_FALSE(files.FolderExists(I + "SYS"));
    EXPECT_EQ(files.files[I + "用户账套.qorb"], "user");
    EXPECT_TRUE(files.files.count(I + "QOR_SETUP.exe"));
    EXPECT_TRUE(files.FolderExists(I));
    // Backwards: the fixed lines first, the folder's files before the folder; the record last.
    EXPECT_EQ(files.deleted, (std::vector<std::string>{I + "SYS\\setinf.txt", I + "SYS\\b.txt",
                                                       I + "a.txt", kDesktopLink, kMenu + kProduct + ".lnk",
                                                       kMenu + "卸载 " + kProduct + ".lnk", I + "uninstall.inf"}));
    EXPECT_FALSE(AnyShortcutLeft());
    EXPECT_FALSE(files.FolderExists(kMenu));

    EXPECT_EQ(runner.Commands(),
              (std::vector<std::string>{
                  "reg delete HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + kProduct + " /f",
                  "reg delete HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
                      kProduct + " /f",
                  "cmd /c timeout /t 3 & del \"D:\\X\\setup.exe\"",
                  "cmd /c timeout /t 4 & rd \"D:\\X\\\"",
              }));
    for (const auto& s : runner.started) EXPECT_EQ(s.style, WindowStyle::Hidden);
    EXPECT_TRUE(runner.waited.empty());  // nothing awaited here

    // 12 items: 11 lines and the empty one after the last CR LF, each counted.
    ASSERT_EQ(views.messages.size(), 2u);
    EXPECT_EQ(views.messages[0].text, "是否确定要卸载\r\nQOR中小企业财务软件？");
    EXPECT_EQ(views.messages[0].title, "询问");
    EXPECT_EQ(views.messages[0].kind, MessageKind::OkCancel);
    EXPECT_EQ(views.messages[1].text, "QOR中小企业财务软件 已经成功的从您的计算机中移除。");
    EXPECT_EQ(views.messages[1].kind, MessageKind::Information);
    EXPECT_EQ(views.calls[1], "disable repair and cancel");
    EXPECT_EQ(views.calls[2], "status 正在卸载，请稍等...");
    EXPECT_EQ(views.calls[4], "status 正在卸载，请稍等...8%");
    EXPECT_EQ(views.calls[5], "progress 1/12");
    EXPECT_EQ(views.calls[26], "status 正在卸载，请稍等...100%");
    EXPECT_EQ(views.calls[27], "progress 12/12");
    EXPECT_EQ(views.calls[28], "status 卸载完成！");
    EXPECT_EQ(std::count(views.calls.begin(), views.calls.end(), "enable repair and cancel"), 0);
}

TEST_F(UninstallTest, LinesOutsideTheInstallFolderAreNeverActedOn) {
    files.AddFile("C:\\Windows\\win.ini", "system");
    files.AddFile("D:\\Other\\keep.txt", "other");
    files.AddFile(I + "a.txt", "A");
    // Links inside the install folder, and what lies behind them: never removed.
    files.AddFile(I + "SYS\\out\\keep.txt", "behind a link");
    files.AddFolder(I + "SYS\\out\\sub");
    files.AddFile(I + "linked\\keep.txt", "behind a link");
    files.links = {I + "SYS\\out", I + "linked"};
    files.files[I + "uninstall.inf"] = "C:\\Windows\\win.ini\r\nD:\\X\\..\\Other\\keep.txt\r\nD:\\Other\\\r\n"
                                       "D:\\X\\a.txt\r\nD:\\X\\a.txt\r\nno separator\r\nD:\\X\\uninstall.inf\r\n"
                                       "D:\\X\\SYS\\out\\\r\nD:\\X\\SYS\\out\\sub\\\r\nD:\\X\\SYS\\out\\keep.txt\r\n"
                                       "D:\\X\\linked\\keep.txt\r\n";
    EXPECT_EQ(Uninstall(false), UninstallOutcome::Removed);
    EXPECT_EQ(files.files["C:\\Windows\\win.ini"], "system");
    EXPECT_EQ(files.files["D:\\Other\\keep.txt"], "other");
    EXPECT_TRUE(files.FolderExists("D:\\Other"));
    EXPECT_EQ(files.files[I + "SYS\\out\\keep.txt"], "behind a link");
    EXPECT_EQ(files.files[I + "linked\\keep.txt"], "behind a link");
    EXPECT_TRUE(files.FolderExists(I + "SYS\\out\\sub"));
    EXPECT_TRUE(files.FolderExists(I + "SYS\\out"));
    EXPECT_FALSE(files.files.count(I + "a.txt"));
    EXPECT_EQ(views.messages.size(), 2u);  // the second mention is simply gone, without a question
}

TEST_F(UninstallTest, LockedFileAnsweredNoAbandonsWithTheEntryAndShortcutsInPlace) {
    files.undeletable.insert(I + "a.txt");
    views.answers = {Answer::Ok, Answer::No};
    EXPECT_EQ(Uninstall(false), UninstallOutcome::Abandoned);
    ASSERT_EQ(views.messages.size(), 2u);
    EXPECT_EQ(views.messages[1].text,
              "不能删除文件：\r\nD:\\X\\a.txt\r\n该文件可能正被某些应用程序占用。\r\n\r\n是否忽略并继续卸载？");
    EXPECT_EQ(views.messages[1].title, "提示");
    EXPECT_EQ(views.messages[1].kind, MessageKind::YesNo);
    EXPECT_EQ(std::vector<std::string>(views.calls.end() - 2, views.calls.end()),
              (std::vector<std::string>{"hide progress", "enable repair and cancel"}));
    EXPECT_TRUE(runner.started.empty());
    EXPECT_TRUE(files.files.count(I + "uninstall.inf"));
    EXPECT_TRUE(files.files.count(kDesktopLink));
    EXPECT_TRUE(files.files.count(I + "SYS\\b.txt") == 0 && files.files.count(I + "a.txt"));

    // "Yes" goes on.
    views.messages.clear();
    views.answers = {Answer::Ok, Answer::Yes};
    EXPECT_EQ(Uninstall(false), UninstallOutcome::Removed);
    EXPECT_TRUE(files.files.count(I + "a.txt"));
    EXPECT_FALSE(files.files.count(I + "uninstall.inf"));
}

TEST_F(UninstallTest, CancelOrAMissingRecordRemovesNothing) {
    auto before = files.files;
    views.answers = {Answer::Cancel};
    EXPECT_EQ(Uninstall(true), UninstallOutcome::Cancelled);
    EXPECT_EQ(files.files, before);
    // Missing, unreadable, or naming nothing inside the install folder: all the same, with the
    // tick and without.
    const std::string record = files.files[I + "uninstall.inf"];
    const std::function<void()> faults[] = {
        [&] { files.files.erase(I + "uninstall.inf"); },
        [&] { files.unreadable.insert(I + "uninstall.inf"); },
        [&] { files.files[I + "uninstall.inf"] = ""; },
        [&] { files.files[I + "uninstall.inf"] = "\r\nC:\\Windows\\win.ini\r\nD:\\X\r\nD:\\X\\..\\Y\\\r\n"; },
        [&] { files.files[I + "uninstall.inf"] = "????\\????\\a.txt\r\n"; },  // a path the code page could not hold
    };
    for (const auto& fault : faults) {
        for (bool wholeFolder : {false, true}) {
            files.files[I + "uninstall.inf"] = record;
            files.unreadable.clear();
            fault();
            before = files.files;
            views.messages.clear();
            views.calls.clear();
            EXPECT_EQ(Uninstall(wholeFolder), UninstallOutcome::RecordMissing);
            ASSERT_EQ(views.messages.size(), 2u);
            EXPECT_EQ(views.messages[1].text, "未找到卸载信息文件uninstall.inf！\r\nQOR中小企业财务软件 可能已经被删除。");
            EXPECT_EQ(views.messages[1].title, "错误");
            EXPECT_EQ(views.messages[1].kind, MessageKind::Critical);
            EXPECT_EQ(views.calls, (std::vector<std::string>{"message 询问", "message 错误"}));
            EXPECT_EQ(files.files, before);
            EXPECT_TRUE(AllShortcutsLeft());
            EXPECT_TRUE(runner.started.empty());  // the entry stays too
        }
    }
}

TEST_F(UninstallTest, WholeFolderRemovesEverythingVisibleButTheRecordAndTheUninstaller) {
    files.AddFile(I + "导出\\表.xls", "x");
    files.AddFile(I + "secret.dat", "h");
    files.hidden.insert(I + "secret.dat");
    // A link to a folder outside: neither walked into nor removed.
    files.AddFile(I + "外部\\账套.qorb", "elsewhere");
    files.AddFolder(I + "外部\\空");
    files.links.insert(I + "外部");
    EXPECT_EQ(Uninstall(true), UninstallOutcome::Removed);
    EXPECT_EQ(files.files[I + "外部\\账套.qorb"], "elsewhere");
    EXPECT_TRUE(files.FolderExists(I + "外部\\空"));
    EXPECT_FALSE(files.files.count(I + "用户账套.qorb"));
    EXPECT_FALSE(files.FolderExists(I + "导出"));
    EXPECT_TRUE(files.files.count(I + "secret.dat"));
    EXPECT_TRUE(files.files.count(I + "QOR_SETUP.exe"));
    EXPECT_FALSE(files.files.count(I + "uninstall.inf"));  // removed after the loop
}

// The copy kept in the protected folder, as the entry starts it: it uninstalls the install
// folder its record names and removes what the protected folder keeps.
TEST_F(SequenceTest, TheKeptCopyUninstallsTheFolderItsRecordNames) {
    system.programFilesFolder = "C:\\Program Files (x86)";
    files.AddFolder(system.programFilesFolder);
    const std::string P = "C:\\Program Files (x86)\\QOR中小企业财务软件\\";
    ASSERT_EQ(Install(), InstallOutcome::Installed);
    files.AddFile(I + "用户账套.qorb", "user");
    platform.programFolder = P.substr(0, P.size() - 1);
    platform.programBaseName = "QOR_SETUP";
    ASSERT_EQ(installer::MaintenanceInstallPath(platform), I);
    // A repair from there repairs the install folder, the payload read from the kept copy.
    runner.started.clear();
    ASSERT_EQ(Install(installer::MaintenanceInstallPath(platform)), InstallOutcome::Installed);
    EXPECT_EQ(files.files[P + "QOR_SETUP.exe"], files.files["E:\\Downloads\\setup.exe"]);

    runner.started.clear();
    EXPECT_EQ(installer::RunSilentUninstall(platform, installer::MaintenanceInstallPath(platform)), 0);
    for (const char* name : {"a.txt", "SYS\\b.txt", "uninstall.inf", "QOR_SETUP.exe"})
        EXPECT_FALSE(files.files.count(I + name)) << name;
    EXPECT_EQ(files.files[I + "用户账套.qorb"], "user");
    for (const char* name : {"uninstall.inf", "QOR_FILES.sha256"}) EXPECT_FALSE(files.files.count(P + name)) << name;
    EXPECT_TRUE(files.files.count(P + "QOR_SETUP.exe"));  // running: it goes after the end
    const std::vector<std::string> commands = runner.Commands();
    ASSERT_EQ(commands.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(commands.begin() + 2, commands.end()),
              (std::vector<std::string>{"cmd /c timeout /t 3 & del \"" + P + "QOR_SETUP.exe\"",
                                        "cmd /c timeout /t 4 & rd \"D:\\X\\\"",
                                        "cmd /c timeout /t 4 & rd \"" + P + "\""}));
    // Without a record beside it, the kept copy maintains its own folder (and finds no record).
    EXPECT_EQ(installer::MaintenanceInstallPath(platform), P);

    // The copy in the install folder uninstalls as before, and the protected folder's copy for
    // that folder goes with it.
    platform.programFolder = "E:\\Downloads";
    platform.programBaseName = "setup";
    ASSERT_EQ(Install(), InstallOutcome::Installed);
    runner.started.clear();
    EXPECT_EQ(installer::RunSilentUninstall(platform, I), 0);
    EXPECT_FALSE(files.FolderExists(P));
    EXPECT_EQ(runner.Commands().back(), "cmd /c timeout /t 4 & rd \"D:\\X\\\"");
}

TEST_F(UninstallTest, WholeFolderRemovalIsRefusedForRootsAndOwnedFolders) {
    // As a 32-bit program on 64-bit Windows sees the machine: the program-files folders it is
    // told about are the 32-bit ones; the environment names the rest.
    system.ownedFolders = {"C:\\Program Files (x86)", "C:\\Program Files (x86)\\Common Files", "C:\\Users",
                           "C:\\Users\\user", "C:\\Users\\user\\Documents"};
    system.windowsFolder = "C:\\WINDOWS";
    system.environment = {{"ProgramW6432", "C:\\Program Files"},
                          {"CommonProgramW6432", "C:\\Program Files\\Common Files"},
                          {"ProgramData", "C:\\ProgramData"},
                          {"SystemRoot", "C:\\Windows"}};
    for (const std::string path : {"D:\\\\", "D:\\", "C:\\Users\\user\\Documents\\", "c:\\program files\\",
                                   "C:\\Program Files\\Common Files\\", "C:\\Program Files (x86)\\", "C:\\programdata\\",
                                   "C:\\Windows\\", "C:\\Users\\", "C:\\", "\\\\server\\share\\", "C:\\Users\\user\\"}) {
        files.AddFile(path + "uninstall.inf", "");
        views.messages.clear();
        auto before = files.files;
        EXPECT_EQ(Uninstall(true, path), UninstallOutcome::Refused) << path;
        ASSERT_EQ(views.messages.size(), 1u);
        EXPECT_EQ(views.messages[0].title, "错误");
        EXPECT_EQ(files.files, before);
    }
    EXPECT_TRUE(runner.started.empty());
    // A folder inside an owned folder is the program's own.
    views.messages.clear();
    files.AddFile("C:\\Program Files\\QOR\\uninstall.inf", "C:\\Program Files\\QOR\\x.txt\r\n");
    EXPECT_EQ(Uninstall(true, "C:\\Program Files\\QOR\\"), UninstallOutcome::Removed);
    for (const std::string path : {"C:\\Program Files\\Common Files\\QOR\\", "C:\\ProgramData\\QOR\\"}) {
        files.AddFile(path + "uninstall.inf", path + "x.txt\r\n");
        EXPECT_EQ(Uninstall(true, path), UninstallOutcome::Removed) << path;
    }
    // Without the tick the record alone decides, also at a drive root (whose paths carry the
    // doubled backslash).
    files.AddFile("D:\\\\uninstall.inf", "D:\\\\a.txt\r\n");
    files.AddFile("D:\\\\a.txt", "a");
    views.messages.clear();
    EXPECT_EQ(Uninstall(false, "D:\\\\"), UninstallOutcome::Removed);
    EXPECT_EQ(views.messages.back().text, "QOR中小企业财务软件 已经成功的从您的计算机中移除。");
    EXPECT_FALSE(files.files.count("D:\\\\a.txt"));
}

TEST(SetupCommand, DeploymentSwitchesAndTheOldForms) {
    struct Row {
        const char* arguments;
        bool uninstall, silent, valid;
        const char* log;
        const char* folder;
    } rows[] = {
        {"", false, false, true, "", ""},
        {"/u", true, false, true, "", ""},
        {"/U", false, false, true, "", ""},        // not "/u": an install, as always
        {"/u x", false, false, true, "", ""},      // nor this
        {"/S", false, true, true, "", ""},
        {"/S /D=D:\\Some Folder\\QOR", false, true, true, "", "D:\\Some Folder\\QOR"},
        {"/S /D=\"D:\\Some Folder\\QOR\"", false, true, true, "", "D:\\Some Folder\\QOR"},
        {"/S \"/D=D:\\Some Folder\\QOR\"", false, true, true, "", "D:\\Some Folder\\QOR"},
        {"\"/D=D:\\Q\" ", false, false, true, "", "D:\\Q"},
        {"/S \"/D=D:\\Some Folder", false, true, false, "", ""},  // no closing quote
        {"/S /LOG=\"C:\\a b\\s.log\" /D=E:\\Q ", false, true, true, "C:\\a b\\s.log", "E:\\Q"},
        {"/u /S", true, true, true, "", ""},
        {"/u /LOG=C:\\u.log", true, false, true, "C:\\u.log", ""},
        {"/D=D:\\Q", false, false, true, "", "D:\\Q"},  // the wizard, on that folder
        {"/S /X", false, true, false, "", ""},
        {"/S /D=", false, true, false, "", ""},
        {"/u /S /D=D:\\Q", true, true, false, "", "D:\\Q"},
    };
    for (const Row& row : rows) {
        const installer::SetupCommand c = installer::ParseSetupCommand(row.arguments);
        EXPECT_EQ(c.uninstall, row.uninstall) << row.arguments;
        EXPECT_EQ(c.silent, row.silent) << row.arguments;
        EXPECT_EQ(c.valid, row.valid) << row.arguments;
        EXPECT_EQ(c.logFile, row.log) << row.arguments;
        EXPECT_EQ(c.folder, row.folder) << row.arguments;
    }
    EXPECT_EQ(installer::SilentInstallPath(installer::ParseSetupCommand("/S /D=D:/Q\\\\"), "D:\\X\\"), "D:\\Q\\");
    EXPECT_EQ(installer::SilentInstallPath(installer::ParseSetupCommand("/S"), "D:\\X\\"), "D:\\X\\");
}

// Silent runs: no view, questions answered so that nothing changes, a log line per action and
// a distinct exit code per outcome.
TEST_F(SequenceTest, SilentRunsLogEveryActionAndEndInTheirCodes) {
    installer::ActionLog log(files, "C:\\setup.log");
    platform.log = &log;
    EXPECT_EQ(installer::RunSilentInstall(platform, I), 0);
    const std::string lines = files.files["C:\\setup.log"];
    for (const std::string& expected : std::vector<std::string>{
             "install: D:\\X\\\r\n", "extracted: D:\\X\\a.txt\r\n", "extracted: D:\\X\\SYS\\b.txt\r\n",
          "run: reg add HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QOR中小企业财务软件 /v NoModify",
          "shortcut: " + kDesktopLink + "\r\n", "exit code: 0\r\n"})
        EXPECT_NE(lines.find(expected), std::string::npos) << expected << " in\n" << lines;
    EXPECT_TRUE(views.calls.empty());

    // A locked file is not skipped: the uninstall stops there, the entry stays.
    files.undeletable.insert(I + "a.txt");
    EXPECT_EQ(installer::RunSilentUninstall(platform, I), installer::kExitLockedFile);
    EXPECT_NE(files.files["C:\\setup.log"].find("该文件可能正被某些应用程序占用。 /  / 是否忽略并继续卸载？ -> No"),
              std::string::npos);
    EXPECT_TRUE(files.files.count(I + "uninstall.inf"));
    files.undeletable.clear();
    files.AddFile(I + "user.qorb", "account set");
    EXPECT_EQ(installer::RunSilentUninstall(platform, I), 0);
    EXPECT_FALSE(files.files.count(I + "a.txt"));
    EXPECT_TRUE(files.files.count(I + "user.qorb"));  // the whole-folder box is unticked
    EXPECT_NE(files.files["C:\\setup.log"].find("removed: D:\\X\\a.txt\r\n"), std::string::npos);
    EXPECT_EQ(installer::RunSilentUninstall(platform, I), installer::kExitRecordMissing);

    wmi.answers["SELECT * FROM Win32_Process WHERE Name='excel.exe'"] = {true, {"EXCEL.EXE"}};
    EXPECT_EQ(installer::RunSilentInstall(platform, I), installer::kExitSpreadsheetRunning);
    wmi.answers.clear();
    EXPECT_EQ(installer::RunSilentInstall(platform, "E:\\Y\\"), installer::kExitFolderRefused);
    // The parents of a deployment's folder are made.
    EXPECT_EQ(installer::RunSilentInstall(platform, "D:\\Deep\\Er\\Q\\"), 0);
    EXPECT_TRUE(files.files.count("D:\\Deep\\Er\\Q\\a.txt"));
    files.files["E:\\Downloads\\setup.exe"] = "MZ" + std::string(4, '\0') + package::HeaderLine(3, 3) + "arc";
    EXPECT_EQ(installer::RunSilentInstall(platform, I), installer::kExitBadPackage);
    EXPECT_TRUE(views.calls.empty());
    // Every outcome has a code of its own class.
    EXPECT_EQ(installer::InstallExitCode(InstallOutcome::ExtractionFailed), installer::kExitExtractionFailed);
    EXPECT_EQ(installer::InstallExitCode(InstallOutcome::RecordNotWritten), installer::kExitRecordNotWritten);
}

}  // namespace
}  // namespace qor
