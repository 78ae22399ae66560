// The everyday start under Wine against the spreadsheet host stand-in: the workbook opened with
// its password, the account set handed over, the refusals with their messages, the first-start
// configuration of the machine.
#include "e2e_support.h"

#include "core/process_rules.h"
#include "core/wildcard.h"
#include "platform/win32/scoped.h"

namespace qor {
namespace {

using namespace e2e;

const char* const kNoOffice =
    "Microsoft Excel调用失败！\r\n\r\n"
    "如果您看到这个错误提示，则说明本机没有安装Microsoft Office，或者安装的Microsoft Office是精简版或绿色版。\r\n\r\n"
    "QOR软件需要基于Microsoft Excel运行，请安装完整版的Microsoft Office2003/2007/2010(32位)/2013(32位)后重试。";
const char* const kIncompatible =
    "本软件与本机已安装的Excel版本不兼容！\r\n\r\n"
    "QOR软件需要基于Microsoft Excel运行，请安装完整版的Microsoft Office2003/2007/2010(32位)/2013(32位)后重试。";
const char* const kWps =
    "由于WPS设置了默认关联Microsoft Excel文档，QOR启动失败！\r\n\r\n"
    "请按照以下步骤修改WPS设置：\r\n\r\n"
    "依次点击 [开始菜单]→[所有程序]→[WPS Office××版]→\r\n"
    "[WPS Office工具]→[配置工具]→[高级]，\r\n"
    "取消勾选 [WPS Office兼容第三方系统和软件(C)]，\r\n"
    "取消勾选 [Microsoft Excel 文档(E)(*.xls,*.xlt文件)]，\r\n"
    "点击 [确定]。\r\n\r\n"
    "设置完成后QOR即可正常启动。";
const char* const kMissingFiles = "QOR启动失败！\r\n\r\n原因：QOR安装目录下部分文件丢失。\r\n\r\n丢失的文件：\r\n";

// The value of the key in the settings file's bytes (ANSI code page).
std::string Setting(const std::string& settings, const std::string& key) {
    for (const std::string& line : SplitLines(win32::AnsiToUtf8(settings)))
        if (StartsWith(line, key + " = ")) return line.substr(key.size() + 3);
    return "<absent>";
}

// Waits until regedit has imported the test's Excel2010_filechkfalse.reg (its key exists) and
// removes the key again; false when it never appeared.
bool RegistryFileImported() {
    const bool imported = test::PollUntil([] {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\QOR test import", 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }, std::chrono::seconds(30));
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QOR test import");
    return imported;
}

class EverydayStart : public AppFolderTest {
protected:
    void SetUp() override {
        AppFolderTest::SetUp();
        MarkConfigured(MachineDiskIdentity());
    }
};

TEST_F(EverydayStart, WorkbookOpensWithItsPasswordAndTheAccountSetIsHandedOver) {
    HostStandIn host;
    ASSERT_TRUE(host.registered());
    struct Case { std::string arguments, folder, file; };
    const Case cases[] = {
        {"D:\\Books\\a.qorb", "D:\\Books\\", "a.qorb"},
        {"/0/D:\\Books\\a.qorb", "D:\\Books\\", "a.qorb"},
        {"\"D:\\Books\\a b.qorb\"", "D:\\Books\\", "a b.qorb"},
        {"\"D:\\账套 2026\\二〇二六.qorb\"", "D:\\账套 2026\\", "二〇二六.qorb"},
        {"a.qorb", "", "a.qorb"},
        {"/0", "", "a.qorb"},  // "/0" hands nothing over: the last values stay
    };
    size_t opened = 0;
    for (const Case& c : cases) {
        auto state = Run(c.arguments);
        EXPECT_EQ(state["End"], "5") << c.arguments;
        auto opens = host.Calls("CALL", "Workbooks.Open");
        ASSERT_EQ(opens.size(), ++opened) << c.arguments;
        EXPECT_EQ(opens.back(), (std::vector<std::string>{opens.back()[0], "CALL", "Workbooks.Open",
                                                          "FileName=" + Workbook(), "Password=avk"}));
        const std::string settings = Settings();
        EXPECT_EQ(Setting(settings, "OPENZTPATH"), c.folder) << c.arguments;
        EXPECT_EQ(Setting(settings, "OPENZTNAME"), c.file) << c.arguments;
    }
    // Written in the ANSI code page with CR LF.
    Run("\"D:\\账套\\甲.qorb\"");
    EXPECT_NE(Settings().find("OPENZTPATH = D:\\\xd5\xcb\xcc\xd7\\\r\n"), std::string::npos);
    EXPECT_TRUE(host.Calls("PUT", "Visible").empty()) << "EXLSHOW is not set";
    // The launcher ended; the hosts it started keep running.
    EXPECT_EQ(host.RunningCount(), host.Calls("CREATE", "Excel.Application").size());
    EXPECT_GE(host.RunningCount(), 1u);

    WriteSettings("FSSHOW = False\r\nFFSHOW = False\r\nEXLSHOW = True\r\n");
    Run("/0");
    auto shows = host.Calls("PUT", "Visible");
    ASSERT_EQ(shows.size(), 1u);
    EXPECT_EQ(shows[0].at(3), "(value)=True");
    EXPECT_EQ(shows[0][0], host.Calls("CALL", "Workbooks.Open").back()[0]) << "the same host";
}

TEST_F(EverydayStart, HostsThatCannotServeShowTheirMessageAndEndTheLauncher) {
    {
        // No host registered at all.
        ExpectErrorMessage("/0", kNoOffice);
    }
    for (const char* version : {"13.0", "17.0", ""}) {
        HostStandIn host("excel.exe", version);
        ExpectErrorMessage("/0", kIncompatible);
        EXPECT_TRUE(host.Calls("CALL", "Workbooks.Open").empty()) << version;
        EXPECT_EQ(host.RunningCount(), 1u) << "released, still running";
    }
    {
        // The other suite answers; one of its processes was already running.
        test::ScratchFolder other("qor-other");
        test::ProcessSet processes;
        ASSERT_TRUE(CopyFileW(Wide(WinePath(QOR_TEST_SLEEPER_EXE)).c_str(), Wide(other / "et.exe").c_str(), FALSE));
        ASSERT_NE(processes.Start(other / "et.exe"), nullptr);
        HostStandIn wps("et.exe");
        ExpectErrorMessage("D:\\Books\\a.qorb", kWps);
        EXPECT_TRUE(wps.Calls("GET", "version").empty());
        EXPECT_EQ(Setting(Settings(), "OPENZTNAME"), "<absent>");
    }
    {
        HostStandIn host;
        DeleteFileW(Wide(Workbook()).c_str());
        ExpectErrorMessage("D:\\Books\\a.qorb", "未找到QOR主程序文件，QOR启动失败！");
        EXPECT_EQ(host.Calls("CREATE", "Excel.Application").size(), 1u) << "the host is created first";
        EXPECT_EQ(Setting(Settings(), "OPENZTNAME"), "<absent>");
    }
}

TEST_F(EverydayStart, AHostWhosePathFailsStillOpensTheWorkbook) {
    HostStandIn host("excel.exe", "16.0", "pathfails=1\r\n");
    EXPECT_EQ(Run("/0")["End"], "5");
    EXPECT_EQ(host.Calls("GET", "Path").size(), 1u);
    EXPECT_EQ(host.Calls("CALL", "Workbooks.Open").size(), 1u);
}

TEST_F(EverydayStart, ClickToRunExcelGetsTheShippedControlsInItsOwnFolder) {
    // The host's program folder lies under "root"; its VFS\SystemX86 folder holds an older
    // MSCOMCTL.OCX (one without a version) and a backup already.
    test::ScratchFolder office("qor-office");
    const std::string root = office / "Microsoft Office\\root";
    ASSERT_TRUE(test::MakeFolder(office / "Microsoft Office"));
    ASSERT_TRUE(test::MakeFolder(root));
    ASSERT_TRUE(test::MakeFolder(root + "\\Office16"));
    ASSERT_TRUE(test::MakeFolder(root + "\\VFS"));
    const std::string vfs = root + "\\VFS\\SystemX86";
    ASSERT_TRUE(test::MakeFolder(vfs));
    WriteBytes(vfs + "\\MSCOMCTL.OCX", "old control");
    WriteBytes(vfs + "\\MSCOMCTL.OCX.bak", "older backup");
    // The shipped control carries a version resource (any program file does).
    ASSERT_TRUE(CopyFileW(Wide(WinePath(QOR_TEST_LAUNCHER_EXE)).c_str(), Wide(Sys("MSCOMCTL.OCX")).c_str(), FALSE));
    Vouch();
    // The component folder keeps its own control: the test puts back what was there.
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::string component = win32::Narrow(system) + "\\MSCOMCTL.OCX";
    const bool hadControl = Exists(component);

    HostStandIn host("excel.exe", "16.0", "path=" + root + "\\Office16\r\n");
    EXPECT_EQ(Run("/0")["End"], "5");
    EXPECT_EQ(ReadBytes(vfs + "\\MSCOMCTL.OCX.bak1"), "old control");
    EXPECT_EQ(ReadBytes(vfs + "\\MSCOMCTL.OCX.bak"), "older backup");
    EXPECT_EQ(ReadBytes(vfs + "\\MSCOMCTL.OCX"), ReadBytes(Sys("MSCOMCTL.OCX")));
    for (const std::string& line : ProgramsStarted())
        EXPECT_EQ(line.find("SystemX86"), std::string::npos) << "the copy there is not registered: " << line;
    EXPECT_EQ(host.Calls("CALL", "Workbooks.Open").size(), 1u);

    // An equal version there: nothing changes on the next start.
    EXPECT_EQ(Run("/0")["End"], "5");
    EXPECT_FALSE(Exists(vfs + "\\MSCOMCTL.OCX.bak2"));

    if (!hadControl) {
        DeleteFileW(Wide(component).c_str());
        for (int i = 0; i < 5; ++i) DeleteFileW(Wide(component + ".bak" + (i ? std::to_string(i) : "")).c_str());
    }
}

TEST_F(EverydayStart, Excel2010ImportsItsRegistryFileAndOpensInASecondHost) {
    HostStandIn host("excel.exe", "14.0");
    EXPECT_EQ(Run("/0")["End"], "5");
    auto programs = ProgramsStarted();
    EXPECT_NE(std::find(programs.begin(), programs.end(),
                        "regedit /s \"" + app_ + "\\SYS\\Excel2010_filechkfalse.reg\""),
              programs.end());
    auto creations = host.Calls("CREATE", "Excel.Application");
    ASSERT_EQ(creations.size(), 2u);
    EXPECT_NE(creations[0][0], creations[1][0]) << "each creation starts its own host";
    auto opens = host.Calls("CALL", "Workbooks.Open");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0][0], creations[1][0]);
    EXPECT_TRUE(RegistryFileImported()) << "regedit did not import the file";
}

TEST_F(EverydayStart, MissingFilesAreListedAndNothingIsRegisteredOrStarted) {
    HostStandIn host;
    DeleteFileW(Wide(Sys("打印预览")).c_str());
    ExpectErrorMessage("/0", std::string(kMissingFiles) + "打印预览 ");
    for (const char* name : kRequiredFiles) DeleteFileW(Wide(Sys(name)).c_str());
    CreateDirectoryW(Wide(Sys("ZT")).c_str(), nullptr);  // a folder is no file
    ExpectErrorMessage("/0", std::string(kMissingFiles) +
        "qord.dll MSJINT40.DLL MSJTER40.DLL MSWSTR10.DLL msado15.dll msjro.dll msjetoledb40.dll cdosys.dll "
        "FM20.DLL DiskID32.dll Mscomct2.ocx MSCOMCTL.OCX MSFlxGrd.ocx Excel2010_filechkfalse.reg "
        "Excel2010_filechktrue.reg mymsg1.wav mymsg2.wav mymsg3.wav ZT usr myrpt myxls pzprt zbprt gzprt 打印预览 ");
    EXPECT_TRUE(ProgramsStarted().empty());
    EXPECT_TRUE(host.Calls().empty());
}

TEST_F(EverydayStart, SecondLauncherIsRefusedWhileTheFirstShowsTheMissingFiles) {
    DeleteFileW(Wide(Sys("ZT")).c_str());
    Launch first;
    Start(first, "/0");
    HWND box = uidriver::WaitForWindow("错误", first.pi.dwProcessId, 30000);
    ASSERT_NE(box, nullptr);
    const std::string settings = Settings();
    Launch second;
    Start(second, "D:\\Books\\a.qorb");
    HWND refusal = uidriver::WaitForWindow("提示", second.pi.dwProcessId, 30000);
    ASSERT_NE(refusal, nullptr);
    EXPECT_EQ(uidriver::MessageBoxText(refusal), "应用程序QOR.exe已经运行！");
    EXPECT_TRUE(uidriver::ClickButton(refusal, IDOK));
    EXPECT_TRUE(second.Wait(20000));
    EXPECT_EQ(Settings(), settings);
    EXPECT_TRUE(uidriver::ClickButton(box, IDOK));
    EXPECT_TRUE(first.Wait(20000));
}

// A first launcher running with higher rights owns the instance mutex so that a second one
// cannot open it: that counts as running too. The test holds such a mutex itself.
TEST_F(EverydayStart, AnInstanceMutexThatCannotBeOpenedCountsAsRunning) {
    std::wstring exe = Wide(Exe());
    CharLowerW(&exe[0]);
    const std::wstring name = Wide(InstanceLockName("launcher", win32::Narrow(exe)));
    SECURITY_DESCRIPTOR sd;
    ASSERT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
    ACL acl;
    ASSERT_TRUE(InitializeAcl(&acl, sizeof acl, ACL_REVISION));  // grants nobody anything
    ASSERT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, &acl, FALSE));
    SECURITY_ATTRIBUTES sa = {sizeof sa, &sd, FALSE};
    HANDLE held = CreateMutexW(&sa, FALSE, name.c_str());
    ASSERT_NE(held, nullptr);
    HANDLE probe = CreateMutexW(nullptr, FALSE, name.c_str());
    const DWORD probeError = GetLastError();
    if (probe) {
        CloseHandle(probe);
        CloseHandle(held);
        GTEST_SKIP() << "this runtime grants the mutex despite its empty access list (" << probeError << ")";
    }
    ASSERT_EQ(probeError, static_cast<DWORD>(ERROR_ACCESS_DENIED));

    Launch launch;
    Start(launch, "/0");
    HWND box = uidriver::WaitForWindow("提示", launch.pi.dwProcessId, 30000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(uidriver::MessageBoxText(box), "应用程序QOR.exe已经运行！");
    EXPECT_TRUE(uidriver::ClickButton(box, IDOK));
    EXPECT_TRUE(launch.Wait(20000));
    EXPECT_EQ(ReadReport()["End"], "0");
    CloseHandle(held);
}

// The file-association command is sent as Windows needs it; Wine's reg cannot split it when the
// launcher's path holds a blank, so this folder has none.
class FirstStart : public AppFolderTest {
protected:
    FirstStart() : AppFolderTest(false) {}
};

TEST_F(FirstStart, ConfiguresTheMachineOnce) {
    HostStandIn host;
    DeleteFileW(Wide(Sys("pcinf.txt")).c_str());
    Launch launch;
    Start(launch, "/0");
    HWND notice = uidriver::WaitForWindow("配置QOR运行环境>>", launch.pi.dwProcessId, 30000);
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(uidriver::ClassName(notice), "Fu");
    auto texts = uidriver::ChildTexts(notice);
    ASSERT_GE(texts.size(), 5u);
    EXPECT_EQ(texts[0], "配置QOR运行环境>>");
    EXPECT_EQ(texts[1], "尊敬的用户：");
    EXPECT_EQ(texts[2], "为了保证QOR软件能够在您的计算机上正常运行，\r\nQOR软件需要注册一些控件并进行一些必要的设置...");
    EXPECT_EQ(texts[3], "* 请您先关闭其它正在运行的程序...");
    EXPECT_EQ(texts[4], "我知道了");
    HWND splash = uidriver::WaitForWindow("QOR", launch.pi.dwProcessId, 5000);
    ASSERT_NE(splash, nullptr) << "Fu shows over the splash";
    EXPECT_TRUE(GetWindowLongW(notice, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(GetWindowLongW(notice, GWL_EXSTYLE) & WS_EX_LAYERED);
    if (const char* shots = getenv("QOR_SCREENSHOTS")) {
        Sleep(500);
        uidriver::SaveWindowBitmap(notice, std::string(shots) + "\\Fu.bmp");
    }
    EXPECT_FALSE(launch.Wait(0));
    EXPECT_TRUE(uidriver::ClickButtonByText(notice, "我知道了"));
    ASSERT_TRUE(launch.Wait(60000));

    const std::string identity = MachineDiskIdentity();
    EXPECT_EQ(ReadBytes(Sys("pcinf.txt")), app_ + "\\" + identity + "\r\n");
    auto programs = ProgramsStarted();
    auto started = [&](const std::string& line) {
        return std::find(programs.begin(), programs.end(), line) != programs.end();
    };
    EXPECT_TRUE(started("regsvr32 /s \"" + app_ + "\\SYS\\qord.dll\""));
    EXPECT_TRUE(started("regsvr32 /s \"C:\\Program Files\\Common Files\\System\\ado\\msado15.dll\""));
    EXPECT_TRUE(started("reg add HKEY_CLASSES_ROOT\\.qorb /ve /t REG_SZ /d qorbfile /f"));
    EXPECT_TRUE(started("reg add HKEY_CLASSES_ROOT\\qorbfile /ve /t REG_SZ /d QOR中小企业账套 /f"));
    EXPECT_TRUE(started("reg add HKEY_CLASSES_ROOT\\qorbfile\\shell\\open\\command /ve /t REG_SZ /d \"\"\"\"" + app_ +
                        "\\QOR.exe\"\"\" \"\"\"\"%1\"\"\" /f"));
    // reg really stored the association (Wine's reg splits the quotes its own way).
    std::wstring command;
    EXPECT_TRUE(test::PollUntil([&] {
        wchar_t value[1024] = {};
        DWORD size = sizeof value;
        if (RegGetValueW(HKEY_CLASSES_ROOT, L"qorbfile\\shell\\open\\command", nullptr, RRF_RT_REG_SZ, nullptr, value,
                         &size) != ERROR_SUCCESS)
            return false;
        command = value;
        return true;
    }, std::chrono::seconds(30)));
    const std::string stored = win32::Narrow(command);
    EXPECT_TRUE(stored == "\"" + Exe() + "\" \"%1\"" || stored == "\"" + Exe() + "\" \"\"%1\"") << stored;
    // The 64-bit shell (Explorer) reads the same command, which starts this build's launcher:
    // the class keys are shared between the two registry views.
    HKEY open = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"qorbfile\\shell\\open\\command", 0, KEY_READ | KEY_WOW64_64KEY, &open),
              ERROR_SUCCESS);
    wchar_t shells[1024] = {};
    DWORD shellsSize = sizeof shells;
    EXPECT_EQ(RegGetValueW(open, nullptr, nullptr, RRF_RT_REG_SZ, nullptr, shells, &shellsSize), ERROR_SUCCESS);
    RegCloseKey(open);
    EXPECT_EQ(win32::Narrow(shells), stored);
    wchar_t type[64] = {};
    DWORD size = sizeof type;
    EXPECT_EQ(RegGetValueW(HKEY_CLASSES_ROOT, L".qorb", nullptr, RRF_RT_REG_SZ, nullptr, type, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(type), L"qorbfile");

    // The short date now reads year-month-day.
    SYSTEMTIME day = {};
    day.wYear = 2024, day.wMonth = 5, day.wDay = 9;
    wchar_t date[64] = {};
    GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, &day, nullptr, date, 64);
    EXPECT_EQ(std::wstring(date), L"2024-05-09");

    // The second start finds the marker: no notice, straight to the workbook.
    DeleteFileW(Wide(ProgramLog()).c_str());
    EXPECT_EQ(Run("/0")["End"], "5");
    EXPECT_EQ(host.Calls("CALL", "Workbooks.Open").size(), 2u);
    for (const std::string& line : ProgramsStarted()) EXPECT_FALSE(StartsWith(line, "reg add")) << line;
}

// Copies of the system programs in the application folder and in the launcher's current folder
// never run on a first start that uses them all; the real ones do their work.
TEST_F(FirstStart, PlantedSystemProgramsNeverRun) {
    HostStandIn host("excel.exe", "14.0");  // Excel 2010: regedit imports its file
    test::ScratchFolder current("qor-current");
    const std::string planted = WinePath(QOR_TEST_PLANTED_EXE);
    for (const std::string& folder : {app_, current.path()})
        ASSERT_TRUE(test::PlantSystemPrograms(planted, folder));
    // cmd and regedit only in the current folder, which a search would try after the launcher's.
    for (const char* name : {"\\cmd.exe", "\\regedit.exe"}) ASSERT_TRUE(DeleteFileW(Wide(app_ + name).c_str()));
    // The updater, which cmd starts in the background, records that it ran too.
    ASSERT_TRUE(CopyFileW(Wide(planted).c_str(), Wide(app_ + "\\QOR_UPDATE.exe").c_str(), FALSE));
    // What the real programs write, removed first so that it shows they ran.
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QOR test import");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".qorb");
    currentFolder_ = current.path();
    Launch launch;
    Start(launch, "");
    HWND notice = uidriver::WaitForWindow("配置QOR运行环境>>", launch.pi.dwProcessId, 30000);
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(uidriver::ClickButtonByText(notice, "我知道了"));
    ASSERT_TRUE(launch.Wait(60000));

    // Each of them was started, and the real ones did their work.
    const auto programs = ProgramsStarted();
    for (const char* program : {"regsvr32 ", "reg add ", "regedit ", "cmd.exe "})
        EXPECT_TRUE(std::any_of(programs.begin(), programs.end(),
                                [&](const std::string& line) { return StartsWith(line, program); }))
            << program;
    EXPECT_TRUE(test::PollUntil([&] { return Exists(app_ + "\\QOR_UPDATE.exe.ran"); }, std::chrono::seconds(30)))
        << "cmd did not start the updater";
    EXPECT_TRUE(RegistryFileImported()) << "regedit did not import the file";
    EXPECT_TRUE(test::PollUntil([] {
        wchar_t type[64] = {};
        DWORD size = sizeof type;
        return RegGetValueW(HKEY_CLASSES_ROOT, L".qorb", nullptr, RRF_RT_REG_SZ, nullptr, type, &size) ==
                   ERROR_SUCCESS &&
               std::wstring(type) == L"qorbfile";
    }, std::chrono::seconds(30))) << "reg did not write the association";
    EXPECT_EQ(test::PlantedProgramsThatRan(app_), std::vector<std::string>());
    EXPECT_EQ(test::PlantedProgramsThatRan(current.path()), std::vector<std::string>());
}

// Test builds started with QOR_TEST_NOT_ELEVATED count as starts without administrator rights,
// as on Windows without user account control, where "runas" elevates nothing. Finding the folder
// unconfigured, the launcher has a copy of itself started through "runas" with "/configure" do
// the configuration, waits for it, and then opens the account set itself; the copy opens nothing.
TEST_F(FirstStart, WithoutRightsACopyConfiguresAndTheStartGoesOnWhenItHasEnded) {
    HostStandIn host;
    DeleteFileW(Wide(Sys("pcinf.txt")).c_str());
    SetEnvironmentVariableW(L"QOR_TEST_NOT_ELEVATED", L"1");
    Launch first;
    Start(first, "\"D:\\账套 2026\\二〇二六.qorb\"");
    SetEnvironmentVariableW(L"QOR_TEST_NOT_ELEVATED", nullptr);

    HWND notice = uidriver::WaitForWindow("配置QOR运行环境>>", 0, 30000);
    ASSERT_NE(notice, nullptr) << "the copy did not reach the configuration";
    DWORD copyId = 0;
    GetWindowThreadProcessId(notice, &copyId);
    win32::KernelHandle copy(OpenProcess(SYNCHRONIZE, FALSE, copyId));
    EXPECT_NE(copyId, first.pi.dwProcessId);
    EXPECT_FALSE(first.Wait(0)) << "the start waits for the copy";
    EXPECT_TRUE(uidriver::ClickButtonByText(notice, "我知道了"));
    ASSERT_EQ(WaitForSingleObject(copy.get(), 60000), WAIT_OBJECT_0);
    ASSERT_TRUE(first.Wait(60000));
    auto state = ReadReport();
    EXPECT_EQ(state["End"], "5");
    EXPECT_EQ(state["CommandText"], "D:\\账套 2026\\二〇二六.qorb");
    EXPECT_EQ(state["AccountFile"], "二〇二六.qorb");
    EXPECT_EQ(ReadBytes(Sys("pcinf.txt")), app_ + "\\" + MachineDiskIdentity() + "\r\n");
    // One workbook opened, by the start itself; no notice a second time.
    EXPECT_EQ(host.Calls("CALL", "Workbooks.Open").size(), 1u);
    EXPECT_EQ(uidriver::WaitForWindow("配置QOR运行环境>>", 0, 0), nullptr);
}

// Files of SYS that a user changed after the install are neither registered, copied into the
// system folder nor imported, on a first start with the rights or without them; the files the
// installer vouched for still are.
TEST_F(FirstStart, PlantedFilesAreNeitherRegisteredCopiedNorImported) {
    for (bool elevated : {true, false}) {
        SCOPED_TRACE(elevated ? "elevated" : "without rights");
        HostStandIn host("excel.exe", "14.0");  // Excel 2010: the .reg file would be imported
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QOR test import");
        DeleteFileW(Wide(Sys("pcinf.txt")).c_str());
        DeleteFileW(Wide(ProgramLog()).c_str());
        DeleteFileW(Wide(DistrustLog()).c_str());
        const std::vector<std::string> planted = {"qord.dll", "cdosys.dll", "DiskID32.dll", "MSJINT40.DLL",
                                                  "Excel2010_filechkfalse.reg"};
        for (const std::string& name : planted) WriteBytes(Sys(name), "planted " + name);
        // A library with a version of its own, which the shipped one would replace.
        ASSERT_TRUE(CopyFileW(Wide(WinePath(QOR_TEST_LAUNCHER_EXE)).c_str(), Wide(Sys("DiskID32.dll")).c_str(), FALSE));
        win32::Win32SystemQueries system;
        const std::string component = system.ComponentSystemFolder() + "\\";
        const std::string keptDiskId = ReadBytes(component + "DiskID32.dll");
        DeleteFileW(Wide(component + "MSJINT40.DLL").c_str());

        if (!elevated) SetEnvironmentVariableW(L"QOR_TEST_NOT_ELEVATED", L"1");
        Launch launch;
        Start(launch, "");
        SetEnvironmentVariableW(L"QOR_TEST_NOT_ELEVATED", nullptr);
        HWND notice = uidriver::WaitForWindow("配置QOR运行环境>>", 0, 30000);
        ASSERT_NE(notice, nullptr);
        EXPECT_TRUE(uidriver::ClickButtonByText(notice, "我知道了"));
        ASSERT_TRUE(launch.Wait(60000));
        EXPECT_EQ(host.Calls("CALL", "Workbooks.Open").size(), 1u);

        const auto programs = ProgramsStarted();
        for (const std::string& name : planted)
            for (const std::string& line : programs) EXPECT_EQ(line.find(Sys(name)), std::string::npos) << line;
        EXPECT_NE(std::find(programs.begin(), programs.end(), "regsvr32 /s \"" + Sys("msjro.dll") + "\""),
                  programs.end()) << "a vouched-for file is still registered";
        EXPECT_EQ(ReadBytes(component + "DiskID32.dll"), keptDiskId);
        EXPECT_FALSE(Exists(component + "MSJINT40.DLL"));
        const auto distrusted = SplitLines(ReadBytes(DistrustLog()));
        for (const std::string& name : planted)
            EXPECT_NE(std::find(distrusted.begin(), distrusted.end(), Sys(name)), distrusted.end()) << name;
    }
}

}  // namespace
}  // namespace qor
