#include "launcher/stages.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "core/launcher_rules.h"
#include "core/sha256.h"
#include "core/text.h"
#include "core/trust_list.h"
#include "common/processes/processes.h"
#include "fakes.h"

namespace qor {
namespace {

using testing::FakeFileStore;
using testing::FakeManagement;

const char* const kApp = "C:\\QOR";
const char* const kSys = "C:\\QOR\\SYS\\";
const char* const kComp = "C:\\Windows\\SysWOW64\\";

class RecordingShell : public LauncherShell {
public:
    std::vector<std::string> events;
    bool AnotherInstanceRunning() override { return false; }
    void ReleaseInstanceLock() override {}
    bool ProcessElevated() override { return true; }
    bool RunElevatedAndWait(const std::string&) override { return false; }
    std::string ProgramFolder() override { return kApp; }
    std::string CommandArguments() override { return {}; }
    FileVersionParts ProgramVersion() override { return {}; }
    void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override {
        events.push_back("message " + title + (icon == MessageIcon::Critical ? " critical: " : " info: ") + text);
    }
    void ShowSecurityNotice(const std::string&) override { events.push_back("Fs"); }
    void ShowAssociationNotice(const std::string&) override { events.push_back("Ff"); }
    void ShowConfigurationNotice(const std::string&) override { events.push_back("Fu"); }
    void ShowSplash(const std::string&) override {}
    void ShowStage(const std::string&) override {}
    void MakeSplashTopmost() override { events.push_back("splash topmost"); }
    void PumpMessages() override {}
    void Distrusted(const std::string& path) override { events.push_back("distrusted " + path); }
};

class RecordingRunner : public ProgramRunner {
public:
    std::vector<std::string>* events = nullptr;
    std::vector<WindowStyle> styles;
    uint32_t Start(const std::string& commandLine, WindowStyle style) override {
        events->push_back("start " + commandLine);
        styles.push_back(style);
        return 1;
    }
    std::optional<uint32_t> StartAndWait(const std::string& commandLine, WindowStyle style) override {
        Start(commandLine, style);
        events->push_back("wait");
        return 0;
    }
};

// A scripted host: each creation may succeed or fail and may start processes.
class FakeHost : public SpreadsheetHost {
public:
    std::vector<std::string>* events = nullptr;
    FakeManagement* wmi = nullptr;
    bool creatable = true;
    int failsFrom = 0;  // when not 0, this and every later creation fails
    std::string startsImage = "excel.exe";  // the process each creation starts
    std::string version = "16.0";
    bool pathReadable = true;
    std::string path = "C:\\Program Files\\Microsoft Office\\Office16";
    bool held = false;
    int creations = 0;

    bool Create() override {
        held = false;
        events->push_back("create");
        if (!creatable || (failsFrom && creations + 1 >= failsFrom)) return false;
        ++creations;
        if (!startsImage.empty()) wmi->answers[ProcessQuery(startsImage)].values.push_back(startsImage);
        held = true;
        return true;
    }
    void Release() override {
        if (held) events->push_back("release");
        held = false;
    }
    bool Held() const override { return held; }
    std::string Version() override { return held ? version : ""; }
    bool ProgramPath(std::string& out) override {
        if (!held || !pathReadable) return false;
        out = path;
        return true;
    }
    bool OpenWorkbook(const std::string& fileName, const std::string& password) override {
        if (!held) return false;
        events->push_back("open " + fileName + " " + password + " in host " + std::to_string(creations));
        return true;
    }
    bool MakeVisible() override {
        events->push_back("visible");
        return held;
    }
};

class FakeDiskClasses : public DiskIdentityClasses {
public:
    std::map<std::string, std::string> answers;  // ProgID -> identity; absent: not registered
    std::vector<std::string> asked;
    bool Ask(const std::string& progId, const std::string& method, std::string& identity) override {
        asked.push_back(progId + "." + method);
        auto it = answers.find(progId);
        if (it == answers.end()) return false;
        if (it->second == "throw") throw std::runtime_error("library failure");
        identity = it->second;
        return true;
    }
};

// File versions that travel with the file: a file whose text is "v6" has version 6.0.0.0.
class ContentVersions : public testing::FakeSystem {
public:
    FakeFileStore* files = nullptr;
    bool FileVersion(const std::string& path, FileVersionParts& version) override {
        auto it = files->files.find(path);
        if (it == files->files.end() || it->second.rfind("v", 0) != 0) return false;
        version = {static_cast<uint16_t>(std::stoi(it->second.substr(1))), 0, 0, 0};
        return true;
    }
};

class FakeMachine : public MachineSettings {
public:
    std::vector<std::string>* events = nullptr;
    void NotifyAssociationChanged() override { events->push_back("association changed"); }
    bool SetShortDatePicture(const std::string& picture) override {
        events->push_back("short date " + picture);
        return true;
    }
};

class Stages : public ::testing::Test {
public:
    Stages() {
        runner.events = host.events = machine.events = &shell.events;
        host.wmi = &wmi;
        system.files = &files;
        files.AddFolder(kComp);
        files.AddFile(std::string(kSys) + "setinf.txt", "");
        for (const char* name : kRequiredFiles) files.AddFile(std::string(kSys) + name, name);
        files.AddFile(std::string(kApp) + "\\QOR_BIZACC_6.01", "workbook");
        wmi.instances["Win32_PhysicalMedia.SerialNumber"] = {"WINEHDISK"};
        state.appFolder = kApp;
        state.editionTag = "QOR_BIZACC_6.01";
        state.workbookPath = std::string(kApp) + "\\QOR_BIZACC_6.01";
        state.sysFolder = kSys;
        state.componentFolder = kComp;
        Vouch();
    }

    // The installer's list, vouching for every file of the application folder as it is now.
    void Vouch() {
        std::string list;
        const std::string root = std::string(kApp) + "\\";
        for (const auto& [path, bytes] : files.files)
            if (path.rfind(root, 0) == 0) list += TrustListLine(Sha256Hex(bytes), path.substr(root.size()));
        ASSERT_TRUE(ParseTrustList(list, state.trustedFiles));
    }
    void SetVersion(const std::string& path, int major) {
        files.AddFile(path, "v" + std::to_string(major));
        Vouch();
    }
    std::vector<std::string> Starts() const {
        std::vector<std::string> starts;
        for (const std::string& e : shell.events)
            if (e.rfind("start ", 0) == 0) starts.push_back(e.substr(6));
        return starts;
    }
    bool Has(const std::string& event) const {
        return std::find(shell.events.begin(), shell.events.end(), event) != shell.events.end();
    }
    std::string Setting(const std::string& key) {
        std::string text = files.files[std::string(kSys) + "setinf.txt"];
        for (const std::string& line : SplitLines(text))
            if (line.rfind(key + " = ", 0) == 0) return line.substr(key.size() + 3);
        return "<absent>";
    }

    RecordingShell shell;
    FakeFileStore files;
    FakeManagement wmi;
    ContentVersions system;
    RecordingRunner runner;
    FakeHost host;
    FakeDiskClasses classes;
    FakeMachine machine;
    StagePlatform platform{shell, files, wmi, system, runner, host, classes, machine};
    LauncherState state;
};

TEST_F(Stages, DiskIdentityFallsBackThroughTheLibraryClasses) {
    wmi.instances["Win32_PhysicalMedia.SerialNumber"] = {"", "   ", "  SN 42  ", "OTHER"};
    EXPECT_EQ(GetDiskIdentity(wmi, classes), "SN 42");
    EXPECT_TRUE(classes.asked.empty());

    // A two-character serial asks the library; empty and failing answers go on to the next class.
    wmi.instances["Win32_PhysicalMedia.SerialNumber"] = {"AB"};
    classes.answers = {{"QORd.PCINF1", ""}, {"QORd.PCINF3", ""}};
    EXPECT_EQ(GetDiskIdentity(wmi, classes), "");
    EXPECT_EQ(classes.asked, (std::vector<std::string>{"QORd.PCINF1.GetHdID1", "QORd.PCINF2.GetHdID2",
                                                       "QORd.PCINF3.GetHdID3"}));
    classes.answers = {{"QORd.PCINF2", "磁盘X"}};  // 3 characters, 7 bytes
    EXPECT_EQ(GetDiskIdentity(wmi, classes), "磁盘X");
    classes.answers.clear();
    EXPECT_EQ(GetDiskIdentity(wmi, classes), "AB");  // nothing answered: the short serial stays
    wmi.reachable = false;
    EXPECT_EQ(GetDiskIdentity(wmi, classes), "");
}

TEST_F(Stages, MarkerIsWrittenAndFoundOnlyForTheSameFolderAndDisk) {
    const std::string marker = std::string(kSys) + "pcinf.txt";
    EXPECT_FALSE(MarkerMatches(files, wmi, classes, kApp));
    EXPECT_TRUE(wmi.instanceQueries.empty()) << "no marker: the identity is not asked";

    WriteMarker(files, wmi, classes, kApp);
    EXPECT_EQ(files.files[marker], "C:\\QOR\\WINEHDISK\r\n");
    EXPECT_TRUE(MarkerMatches(files, wmi, classes, kApp));

    // A hidden or system marker counts as absent and is written anew as a normal file.
    for (std::set<std::string>* attribute : {&files.hidden, &files.systemFiles}) {
        attribute->insert(marker);
        EXPECT_FALSE(MarkerMatches(files, wmi, classes, kApp));
        WriteMarker(files, wmi, classes, kApp);
        EXPECT_TRUE(MarkerMatches(files, wmi, classes, kApp));
    }
    files.files[marker] = "garbage\x01\r\nC:\\QOR\\WINEHDISK\r\n";
    EXPECT_FALSE(MarkerMatches(files, wmi, classes, kApp));
    files.files[marker] = "C:\\QOR\\winehdisk\r\n";  // case counts
    EXPECT_FALSE(MarkerMatches(files, wmi, classes, kApp));

    // No identity at all: the marker is the folder and "\" alone, and it still matches.
    wmi.reachable = false;
    WriteMarker(files, wmi, classes, kApp);
    EXPECT_EQ(files.files[marker], "C:\\QOR\\\r\n");
    EXPECT_TRUE(MarkerMatches(files, wmi, classes, kApp));
}

TEST_F(Stages, ConfigurationCopiesRegistersMarksAndAssociatesInOrder) {
    SetVersion(std::string(kSys) + "DiskID32.dll", 2);
    SetVersion(std::string(kComp) + "DiskID32.dll", 3);  // newer, still replaced
    SetVersion(std::string(kSys) + "MSCOMCTL.OCX", 6);
    SetVersion(std::string(kComp) + "MSCOMCTL.OCX", 5);
    files.AddFile(std::string(kComp) + "MSCOMCTL.OCX.bak", "older backup");
    RunConfiguration(platform, state);

    EXPECT_EQ(shell.events.front(), "Fu");
    EXPECT_EQ(files.files[std::string(kComp) + "DiskID32.dll"], "v2");
    EXPECT_EQ(files.files[std::string(kComp) + "MSCOMCTL.OCX.bak1"], "v5");
    EXPECT_EQ(files.files[std::string(kComp) + "MSCOMCTL.OCX.bak"], "older backup");
    EXPECT_EQ(files.files[std::string(kComp) + "MSCOMCTL.OCX"], "v6");
    EXPECT_EQ(files.files[std::string(kSys) + "pcinf.txt"], "C:\\QOR\\WINEHDISK\r\n");
    EXPECT_EQ(Starts(), (std::vector<std::string>{
        "regsvr32 /s \"C:\\Windows\\SysWOW64\\MSCOMCTL.OCX\"",
        "regsvr32 /s \"C:\\QOR\\SYS\\qord.dll\"",
        "regsvr32 /s \"C:\\Windows\\SysWOW64\\scrrun.dll\"",
        "regsvr32 /s \"C:\\Program Files\\Common Files\\System\\ado\\msado15.dll\"",
        "reg add HKEY_CLASSES_ROOT\\.qorb /ve /t REG_SZ /d qorbfile /f",
        "reg add HKEY_CLASSES_ROOT\\.qorb\\ShellNew /v FileName /t REG_SZ /d \"C:\\QOR\\SYS\\ZT\" /f",
        "reg add HKEY_CLASSES_ROOT\\qorbfile /ve /t REG_SZ /d QOR中小企业账套 /f",
        "reg add HKEY_CLASSES_ROOT\\qorbfile\\DefaultIcon /ve /t REG_SZ /d \"C:\\QOR\\qorb.ico\" /f",
        "reg add HKEY_CLASSES_ROOT\\qorbfile\\shell\\open\\command /ve /t REG_SZ /d "
        "\"\"\"\"C:\\QOR\\QOR.exe\"\"\" \"\"\"\"%1\"\"\" /f"}));
    EXPECT_EQ(shell.events.back(), "association changed");
    for (WindowStyle style : runner.styles) EXPECT_EQ(style, WindowStyle::MinimizedFocus);
    EXPECT_FALSE(Has("wait"));
}

TEST_F(Stages, ControlThatCannotBeReplacedShowsTheFailureAndLeavesNoMarker) {
    SetVersion(std::string(kSys) + "MSCOMCTL.OCX", 6);
    SetVersion(std::string(kComp) + "MSCOMCTL.OCX", 5);
    files.unwritable.insert(std::string(kComp) + "MSCOMCTL.OCX");  // held by a running program
    state.editionTag = "QOR_COOPA_6.01";
    RunConfiguration(platform, state);
    EXPECT_TRUE(Has(std::string("message 错误 critical: ") + kControlUpdateFailedMessage));
    EXPECT_TRUE(Has("splash topmost"));
    EXPECT_FALSE(files.FileExists(std::string(kSys) + "pcinf.txt"));
    auto starts = Starts();
    EXPECT_EQ(starts.front(), "regsvr32 /s \"C:\\Windows\\SysWOW64\\scrrun.dll\"");
    EXPECT_EQ(starts[2], "reg add HKEY_CLASSES_ROOT\\.qora /ve /t REG_SZ /d qorafile /f");
    EXPECT_EQ(starts[4], "reg add HKEY_CLASSES_ROOT\\qorafile /ve /t REG_SZ /d QOR农民专业合作社账套 /f");
    EXPECT_TRUE(FileTypeCommands("QOR_OTHER_6.01", kApp).empty());
}

TEST_F(Stages, RegistrationRunsEveryStartWithoutTouchingPresentFiles) {
    files.AddFile(std::string(kComp) + "MSJTER40.DLL", "present");
    RunRegistration(platform, state);
    EXPECT_EQ(files.files[std::string(kComp) + "MSJINT40.DLL"], "MSJINT40.DLL");
    EXPECT_EQ(files.files[std::string(kComp) + "MSJTER40.DLL"], "present");
    EXPECT_EQ(files.files[std::string(kComp) + "MSCOMCTL.OCX"], "") << "equal versions: nothing copied";
    EXPECT_EQ(Starts(), (std::vector<std::string>{
        "regsvr32 /s \"C:\\Windows\\SysWOW64\\MSCOMCTL.OCX\"", "regsvr32 /s \"C:\\QOR\\SYS\\qord.dll\"",
        "regsvr32 /s \"C:\\QOR\\SYS\\msado15.dll\"", "regsvr32 /s \"C:\\QOR\\SYS\\msjro.dll\"",
        "regsvr32 /s \"C:\\QOR\\SYS\\msjetoledb40.dll\"", "regsvr32 /s \"C:\\QOR\\SYS\\cdosys.dll\"",
        "regsvr32 /s \"C:\\QOR\\SYS\\Mscomct2.ocx\"", "regsvr32 /s \"C:\\QOR\\SYS\\MSFlxGrd.ocx\""}));
    EXPECT_FALSE(Has("short date yyyy-MM-dd")) << "the start-up sets the date format once itself";
}

TEST_F(Stages, SpreadsheetOpensTheWorkbookAndHandsTheAccountSetOver) {
    state.command = ParseLauncherCommand("/0/D:\\Books\\a.qorb");
    files.files[std::string(kSys) + "setinf.txt"] = "EXLSHOW = True\r\n";
    EXPECT_TRUE(LaunchSpreadsheet(platform, state));
    EXPECT_TRUE(Has("open C:\\QOR\\QOR_BIZACC_6.01 avk in host 1"));
    EXPECT_TRUE(Has("visible"));
    EXPECT_EQ(Setting("OPENZTPATH"), "D:\\Books\\");
    EXPECT_EQ(Setting("OPENZTNAME"), "a.qorb");
    EXPECT_TRUE(host.Held()) << "released by the start-up's last step";

    // "/0", "/0/" alone and "/0x" leave the keys alone; "true" in lower case shows nothing.
    for (const char* command : {"/0", "/0/", "/0x"}) {
        shell.events.clear();
        files.files[std::string(kSys) + "setinf.txt"] = "EXLSHOW = true\r\nOPENZTNAME = old\r\n";
        state.command = ParseLauncherCommand(command);
        EXPECT_TRUE(LaunchSpreadsheet(platform, state));
        EXPECT_EQ(Setting("OPENZTNAME"), "old") << command;
        EXPECT_EQ(Setting("OPENZTPATH"), "<absent>") << command;
        EXPECT_FALSE(Has("visible"));
    }
}

TEST_F(Stages, SpreadsheetRefusalsShowTheirMessageAndReleaseTheHost) {
    struct Case { std::string version; bool creatable; std::string image; bool workbook; const char* message; };
    const Case cases[] = {
        {"16.0", false, "", true, kNoOfficeMessage},
        {"16.0", true, "et.exe", true, kWpsMessage},
        {"13.0", true, "excel.exe", true, kIncompatibleVersionMessage},
        {"17.0", true, "excel.exe", true, kIncompatibleVersionMessage},
        {"", true, "excel.exe", true, kIncompatibleVersionMessage},
        {"16.0", true, "excel.exe", false, kWorkbookMissingMessage},
    };
    for (const Case& c : cases) {
        shell.events.clear();
        wmi.answers.clear();
        wmi.answers[ProcessQuery("et.exe")].values = {"et.exe"};  // one already running
        host.version = c.version, host.creatable = c.creatable, host.startsImage = c.image;
        if (!c.workbook) files.files.erase(state.workbookPath);
        EXPECT_FALSE(LaunchSpreadsheet(platform, state)) << c.message;
        EXPECT_TRUE(Has(std::string("message 错误 critical: ") + c.message)) << c.message;
        EXPECT_FALSE(host.Held());
        if (c.creatable) {
            // The other suite's object is let go before its message; the host's after the message.
            auto at = [&](const std::string& e) { return std::find(shell.events.begin(), shell.events.end(), e); };
            const bool releasedFirst = at("release") < at(std::string("message 错误 critical: ") + c.message);
            EXPECT_EQ(releasedFirst, c.message == kWpsMessage) << c.message;
            EXPECT_NE(at("release"), shell.events.end()) << c.message;
        }
    }
}

// The Excel 2010 path itself runs end to end; here the second creation failing is not reported:
// the account set is still handed over and nothing is opened.
TEST_F(Stages, Excel2010SecondCreationFailingIsNotReported) {
    host.version = "14.0";
    host.failsFrom = 2;
    state.command = ParseLauncherCommand("a.qorb");
    EXPECT_TRUE(LaunchSpreadsheet(platform, state));
    EXPECT_EQ(Setting("OPENZTPATH"), "");
    EXPECT_EQ(Setting("OPENZTNAME"), "a.qorb");
    for (const std::string& e : shell.events) EXPECT_EQ(e.find("open"), std::string::npos) << e;
    for (const std::string& e : shell.events) EXPECT_EQ(e.find("message"), std::string::npos) << e;
}

// MSI installs, an unreadable Path and other versions are left alone; click-to-run Excel 2016
// gets the newer shipped control in its own folder, the old one kept as a backup.
TEST_F(Stages, ControlsAreCopiedOnlyForClickToRunExcel) {
    const std::string c2r = "c:\\program files\\microsoft office\\root\\VFS\\SystemX86\\";
    files.AddFolder(c2r);
    SetVersion(std::string(kSys) + "MSCOMCTL.OCX", 6);
    SetVersion(c2r + "MSCOMCTL.OCX", 5);
    EXPECT_TRUE(LaunchSpreadsheet(platform, state));
    host.path = "C:\\Program Files\\Microsoft Office\\root\\Office16";
    host.pathReadable = false;
    EXPECT_TRUE(LaunchSpreadsheet(platform, state));
    host.pathReadable = true;
    host.version = "15.0";
    EXPECT_TRUE(LaunchSpreadsheet(platform, state));
    EXPECT_TRUE(files.copies.empty());

    host.version = "16.0";
    EXPECT_TRUE(LaunchSpreadsheet(platform, state));
    EXPECT_EQ(files.files[c2r + "MSCOMCTL.OCX"], "v6");
    EXPECT_EQ(files.files[c2r + "MSCOMCTL.OCX.bak"], "v5");
}

// What runs code with the rights of whoever starts the launcher next, or is copied where every
// program loads it, must be what the installer vouched for: a file that is not (planted, swapped,
// or without any list) is neither registered, copied nor imported, and a copy that no longer
// matches once it has landed is removed.
TEST_F(Stages, FilesTheInstallerDoesNotVouchForAreNeitherRegisteredCopiedNorImported) {
    const std::string sys = kSys, comp = kComp;
    struct Row {
        const char* what;
        std::function<void(Stages&)> plant;  // what a user did to the folder
        std::vector<std::string> distrusted;
    };
    const Row rows[] = {
        {"planted DLLs and settings", [&](Stages& t) {
             for (const char* name : {"qord.dll", "cdosys.dll", "DiskID32.dll", "MSJINT40.DLL", "MSCOMCTL.OCX",
                                      "Excel2010_filechkfalse.reg"})
                 t.files.files[sys + name] += " planted";  // the same version, other bytes
         }, {"qord.dll", "cdosys.dll", "DiskID32.dll", "MSJINT40.DLL", "MSCOMCTL.OCX", "Excel2010_filechkfalse.reg"}},
        {"no list at all", [](Stages& t) { t.state.trustedFiles.clear(); },
         {"qord.dll", "msado15.dll", "msjro.dll", "msjetoledb40.dll", "cdosys.dll", "Mscomct2.ocx", "MSFlxGrd.ocx",
          "DiskID32.dll", "MSJINT40.DLL", "MSCOMCTL.OCX", "Excel2010_filechkfalse.reg"}},
        {"the copy changes on its way", [&](Stages& t) { t.files.copyCorrupts = comp + "MSJINT40.DLL"; },
         {"MSJINT40.DLL"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        struct Rig : Stages {
            void TestBody() override {}
        } t;
        t.SetVersion(sys + "DiskID32.dll", 2);
        t.SetVersion(sys + "MSCOMCTL.OCX", 6);
        t.SetVersion(comp + "MSCOMCTL.OCX", 5);
        t.host.version = "14.0";
        row.plant(t);
        RunConfiguration(t.platform, t.state);
        RunRegistration(t.platform, t.state);
        EXPECT_TRUE(LaunchSpreadsheet(t.platform, t.state));
        for (const std::string& name : row.distrusted) {
            EXPECT_TRUE(t.Has("distrusted " + sys + name)) << name;
            for (const std::string& start : t.Starts()) EXPECT_EQ(start.find(sys + name), std::string::npos) << start;
        }
        for (const char* name : {"DiskID32.dll", "MSJINT40.DLL"})
            if (std::count(row.distrusted.begin(), row.distrusted.end(), name))
                EXPECT_FALSE(t.files.FileExists(comp + name)) << name;
        if (std::count(row.distrusted.begin(), row.distrusted.end(), "MSCOMCTL.OCX")) {
            // The installed control stays where it was, and the machine does not count as configured.
            EXPECT_EQ(t.files.files[comp + "MSCOMCTL.OCX"], "v5");
            EXPECT_FALSE(t.files.FileExists(comp + "MSCOMCTL.OCX.bak"));
            EXPECT_TRUE(t.Has(std::string("message 错误 critical: ") + kControlUpdateFailedMessage));
        }
        // What the list vouches for is still used.
        if (!std::count(row.distrusted.begin(), row.distrusted.end(), "MSFlxGrd.ocx"))
            EXPECT_TRUE(t.Has("start regsvr32 /s \"" + sys + "MSFlxGrd.ocx\""));
    }
}

TEST_F(Stages, UnforeseenFailureCountsAsTheStepFailing) {
    wmi.instances["Win32_PhysicalMedia.SerialNumber"] = {"AB"};
    classes.answers = {{"QORd.PCINF1", "throw"}};
    files.AddFile(std::string(kSys) + "pcinf.txt", "C:\\QOR\\AB\r\n");
    MachineStages stages(platform);
    EXPECT_FALSE(stages.MarkerMatches(state));
    stages.SetShortDateFormat();
    EXPECT_TRUE(Has("short date yyyy-MM-dd"));

    // A hand-off that fails in an unforeseen way counts as no hand-off, and so does none wired;
    // a wired one decides.
    int asked = 0;
    MachineStages failing(platform, [&](const LauncherState&) -> bool {
        ++asked;
        throw std::runtime_error("library failure");
    });
    EXPECT_FALSE(failing.HandOffUpdate(state));
    EXPECT_FALSE(stages.HandOffUpdate(state));
    MachineStages wired(platform, [&](const LauncherState&) { ++asked; return true; });
    EXPECT_TRUE(wired.HandOffUpdate(state));
    EXPECT_EQ(asked, 2);
}

}  // namespace
}  // namespace qor
