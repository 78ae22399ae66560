// QOR.exe end to end under Wine: the real program in a folder of its own, its dialogs found and
// answered through the UI driver, its state read from the report that test builds write.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>

#include "e2e_support.h"

namespace qor {
namespace {

using namespace e2e;

// A configured folder with a spreadsheet host: a plain start runs straight through.
class LauncherEndToEnd : public AppFolderTest {
protected:
    void SetUp() override {
        AppFolderTest::SetUp();
        ASSERT_TRUE(host_.registered());
        MarkConfigured(MachineDiskIdentity());
    }
    HostStandIn host_;
};

std::string ToLower(std::string text) {
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

TEST_F(LauncherEndToEnd, CommandLinesGiveTheAccountSetToOpen) {
    auto plain = Run("");
    EXPECT_EQ(plain["End"], "5");  // ran to the end
    EXPECT_EQ(plain["AppFolder"], app_);
    EXPECT_EQ(plain["WorkbookPath"], app_ + "\\QOR_BIZACC_6.01");
    EXPECT_EQ(plain["SysFolder"], app_ + "\\SYS\\");
    EXPECT_EQ(plain["ShortVersion"], "6.01");
    EXPECT_EQ(plain["FullVersion"], "6.01.06");
    EXPECT_EQ(plain["SkipsUpdate"], "0");
    EXPECT_EQ(plain["CommandText"], "");
    // The real management service finds no USB disk here.
    EXPECT_EQ(plain["UsbDrives"], "NOUDISK");
    // A prefix without 32-bit support has no SysWOW64: the components then go to System32.
    const std::string windows = plain["WinFolder"];
    EXPECT_TRUE(StartsWith(windows, "C:\\"));
    const bool wow64 = Exists(windows + "\\SysWOW64");
    EXPECT_EQ(ToLower(plain["ComponentFolder"]), ToLower(windows + (wow64 ? "\\SysWOW64\\" : "\\System32\\")));

    auto restart = Run("/0");
    EXPECT_EQ(restart["SkipsUpdate"], "1");
    EXPECT_EQ(restart["AccountFolder"], "");
    EXPECT_EQ(restart["AccountFile"], "");

    auto handedBack = Run("/0/D:\\Books\\a.qorb");
    EXPECT_EQ(handedBack["SkipsUpdate"], "1");
    EXPECT_EQ(handedBack["AccountFolder"], "D:\\Books\\");
    EXPECT_EQ(handedBack["AccountFile"], "a.qorb");

    auto quoted = Run("\"D:\\Books\\a b.qorb\"");
    EXPECT_EQ(quoted["CommandText"], "D:\\Books\\a b.qorb");
    EXPECT_EQ(quoted["SkipsUpdate"], "0");
    EXPECT_EQ(quoted["AccountFolder"], "D:\\Books\\");
    EXPECT_EQ(quoted["AccountFile"], "a b.qorb");

    auto chinese = Run("\"D:\\账套\\二〇二六.qorb\"");
    EXPECT_EQ(chinese["AccountFolder"], "D:\\账套\\");
    EXPECT_EQ(chinese["AccountFile"], "二〇二六.qorb");

    auto bare = Run("a.qorb");
    EXPECT_EQ(bare["AccountFolder"], "");
    EXPECT_EQ(bare["AccountFile"], "a.qorb");
}

TEST_F(LauncherEndToEnd, UsbPermissionMarkerSkipsTheDriveQuery) {
    WriteBytes(app_ + "\\SYS\\u.run", "");
    auto state = Run("/0");
    EXPECT_EQ(state["End"], "5");
    EXPECT_EQ(state["UsbDrives"], "");  // never asked
}

TEST_F(LauncherEndToEnd, SecondInstanceIsRefusedWhileTheFirstShowsItsTip) {
    // The first launcher stops at the file-association tip (a plain start with the tip on).
    WriteSettings("FSSHOW = False\r\n");
    CreateDirectoryW(Wide(app_ + "\\Db").c_str(), nullptr);
    for (const char* name : {"x.qor", "y.qor", "y.qorb", "Z.QOR"}) WriteBytes(app_ + "\\Db\\" + name, name);

    Launch first;
    Start(first, "");
    HWND tip = uidriver::WaitForWindow("您知道吗？", first.pi.dwProcessId, 20000);
    ASSERT_NE(tip, nullptr);
    auto texts = uidriver::ChildTexts(tip);
    EXPECT_EQ(texts.at(1), "QOR新增了账套文件关联功能，今后您可以：");
    EXPECT_EQ(texts.at(5), "我知道了");
    if (const char* shots = getenv("QOR_SCREENSHOTS")) {
        Sleep(500);
        uidriver::SaveWindowBitmap(tip, std::string(shots) + "\\Ff.bmp");
    }

    // A second start shows the message and ends, changing nothing.
    DeleteFileW(Wide(Report()).c_str());
    std::string settingsBefore = Settings();
    Launch second;
    Start(second, "/0/D:\\Books\\a.qorb");
    HWND box = uidriver::WaitForWindow("提示", second.pi.dwProcessId, 20000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(uidriver::MessageBoxText(box), "应用程序QOR.exe已经运行！");
    EXPECT_TRUE(uidriver::ClickButton(box, IDOK));
    EXPECT_TRUE(second.Wait(10000));
    auto refused = ReadReport();
    EXPECT_EQ(refused["End"], "0");
    EXPECT_EQ(refused["AppFolder"], "") << "the second launcher went on past the single-instance test";
    EXPECT_EQ(Settings(), settingsBefore);
    EXPECT_FALSE(first.Wait(0)) << "the first launcher must still be waiting at its tip";

    // Ticking "不再提示" and closing the tip switches it off and migrates the old account sets.
    EXPECT_TRUE(uidriver::SetChecked(tip, 1001, true));
    EXPECT_TRUE(uidriver::ClickButtonByText(tip, "我知道了"));
    ASSERT_TRUE(first.Wait(20000));
    EXPECT_EQ(Settings(), "FSSHOW = False\r\nFFSHOW = False\r\n");
    EXPECT_TRUE(Exists(app_ + "\\Db\\x.qorb"));
    EXPECT_FALSE(Exists(app_ + "\\Db\\x.qor"));
    EXPECT_TRUE(Exists(app_ + "\\Db\\y.qor"));  // its new name was taken
    EXPECT_EQ(ReadBytes(app_ + "\\Db\\y.qorb"), "y.qorb");
    EXPECT_TRUE(Exists(app_ + "\\Db\\Z.QOR"));  // capitals are not the old type
    EXPECT_EQ(ReadReport()["End"], "5");
}

TEST_F(LauncherEndToEnd, TrustNoticeShowsWhileSecuritySoftwareRunsUntilSwitchedOff) {
    test::ScratchFolder other("qor-security");
    test::ProcessSet processes;
    ASSERT_TRUE(CopyFileW(Wide(WinePath(QOR_TEST_SLEEPER_EXE)).c_str(), Wide(other / "360tray.exe").c_str(), FALSE));
    ASSERT_NE(processes.Start(other / "360tray.exe"), nullptr);
    WriteSettings("FFSHOW = False\r\n");
    // Wine's management service cannot match LIKE after a leading '%': the test build filters
    // the process list itself.
    SetEnvironmentVariableW(L"QOR_TEST_LOCAL_LIKE", L"1");
    struct Reset { ~Reset() { SetEnvironmentVariableW(L"QOR_TEST_LOCAL_LIKE", nullptr); } } reset;
    for (bool tick : {false, true}) {
        Launch launch;
        Start(launch, "/0");
        HWND notice = uidriver::WaitForWindow(" ３ ６ ０ 系列安全软件信任提醒>>", launch.pi.dwProcessId, 30000);
        ASSERT_NE(notice, nullptr);
        EXPECT_EQ(uidriver::ClassName(notice), "Fs");
        auto texts = uidriver::ChildTexts(notice);
        ASSERT_EQ(texts.size(), 7u);
        EXPECT_EQ(texts[0], " ３ ６ ０ 系列安全软件信任提醒>>");
        EXPECT_EQ(texts[1], "尊敬的用户：");
        EXPECT_EQ(texts[2], "QOR软件绝不包含病毒或其它任何恶意代码...\r\n\r\n"
                            "* 如果接下来 ３ ６ ０ 系列安全软件提示风险，\r\n"
                            "* 烦请您手动选择允许或信任QOR软件进行的操作...");
        EXPECT_EQ(texts[3], "否则，QOR软件可能无法正常运行...");
        EXPECT_EQ(texts[4], "不再提示");
        EXPECT_EQ(texts[5], "我知道了");
        EXPECT_EQ(texts[6], "");  // the button's face
        EXPECT_EQ(SendMessageW(GetDlgItem(notice, 1001), BM_GETCHECK, 0, 0), BST_UNCHECKED);
        if (const char* shots = getenv("QOR_SCREENSHOTS")) {
            Sleep(500);
            uidriver::SaveWindowBitmap(notice, std::string(shots) + "\\Fs.bmp");
        }
        // The pointer over the button's text colours its face; over the panel the face is white again.
        auto facePixel = [&] {
            RECT face;
            GetWindowRect(GetDlgItem(notice, 2), &face);
            HDC screen = GetDC(nullptr);
            COLORREF pixel = GetPixel(screen, face.left + 4, face.top + 3);
            ReleaseDC(nullptr, screen);
            return pixel;
        };
        // (Where 32-bit programs have no device contexts nothing is drawn, nor can it be read.)
        if (!test::DeviceContextsAreMissing()) {
            EXPECT_TRUE(test::PollUntil([&] { return facePixel() == RGB(255, 255, 255); }));
            PostMessageW(GetDlgItem(notice, 1), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
            EXPECT_TRUE(test::PollUntil([&] { return facePixel() == RGB(245, 245, 245); }));
            PostMessageW(notice, WM_MOUSEMOVE, 0, MAKELPARAM(5, 40));
            EXPECT_TRUE(test::PollUntil([&] { return facePixel() == RGB(255, 255, 255); }));
        }

        // A person ticks the box and clicks the button's face, outside its text.
        if (tick) PostMessageW(GetDlgItem(notice, 1001), BM_CLICK, 0, 0);
        Sleep(200);
        EXPECT_TRUE(uidriver::ClickControl(notice, 2));
        ASSERT_TRUE(launch.Wait(30000));
        EXPECT_EQ(Settings(), tick ? "FFSHOW = False\r\nFSSHOW = False\r\n" : "FFSHOW = False\r\n");
    }
    // Switched off: no notice, straight through.
    EXPECT_EQ(Run("/0")["End"], "5");
}

TEST_F(LauncherEndToEnd, TipWithoutTheTickShowsAgainNextTime) {
    WriteSettings("FSSHOW = False\r\n");
    for (int round = 0; round < 2; ++round) {
        Launch launch;
        Start(launch, "");
        HWND tip = uidriver::WaitForWindow("您知道吗？", launch.pi.dwProcessId, 20000);
        ASSERT_NE(tip, nullptr) << "round " << round;
        EXPECT_TRUE(uidriver::ClickButtonByText(tip, "我知道了"));
        ASSERT_TRUE(launch.Wait(20000)) << "round " << round << ": " << uidriver::DescribeWindows(launch.pi.dwProcessId);
        EXPECT_EQ(Settings(), "FSSHOW = False\r\n");
    }
}

// A host that registered its object and ended before anyone took it (its launcher was ended
// meanwhile) leaves nothing behind that makes the next start fail.
TEST_F(LauncherEndToEnd, AHostEndedBeforeItServedLeavesTheNextStartUnharmed) {
    Launch unused;
    std::wstring cmd = L"\"" + Wide(host_.folder() + "\\excel.exe") + L"\" -Embedding";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    ASSERT_TRUE(CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &unused.pi));
    ASSERT_TRUE(test::PollUntil([&] { return !host_.Calls("SERVING", "Excel.Application").empty(); }));
    host_.EndHosts();
    Launch launch;
    Start(launch, "/0");
    ASSERT_TRUE(launch.Wait(30000)) << uidriver::DescribeWindows(launch.pi.dwProcessId);
    EXPECT_EQ(ReadReport()["End"], "5");
}

TEST_F(LauncherEndToEnd, SplashShowsVersionAndStageAndItsCancelLinkEndsTheLauncher) {
    SetEnvironmentVariableW(L"QOR_TEST_LINGER_MS", L"20000");
    Launch launch;
    Start(launch, "/0");
    SetEnvironmentVariableW(L"QOR_TEST_LINGER_MS", nullptr);
    HWND splash = uidriver::WaitForWindow("QOR", launch.pi.dwProcessId, 20000);
    ASSERT_NE(splash, nullptr);
    EXPECT_EQ(uidriver::ClassName(splash), "QORstart");
    // The stages run behind the splash; the last stage text stays while the launcher lingers.
    std::vector<std::string> texts;
    for (int i = 0; i < 100; ++i, Sleep(50)) {
        texts = uidriver::ChildTexts(splash);
        if (texts.size() == 4 && texts[1] == "正在调用 Microsoft Excel...") break;
    }
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0], "6.01");
    EXPECT_EQ(texts[1], "正在调用 Microsoft Excel...");
    EXPECT_TRUE(StartsWith(texts[2], "官方网站： "));
    EXPECT_EQ(texts[3], "取消");
    if (const char* shots = getenv("QOR_SCREENSHOTS")) {
        Sleep(500);
        uidriver::SaveWindowBitmap(splash, std::string(shots) + "\\QORstart.bmp");
    }
    EXPECT_TRUE(uidriver::ClickControl(splash, 104));  // Lcancel
    EXPECT_TRUE(launch.Wait(5000)) << "the cancel link did not end the launcher";
}

}  // namespace
}  // namespace qor
