#include <gtest/gtest.h>

#include "hwinfo/disk_identity.h"
#include "unit/hwinfo/fake_drives.h"

namespace qor::hwinfo {
namespace {

using testing::ExpectedInput;
using testing::FakeDrives;
using testing::IdentifyBlock;

TEST(HwinfoPlatform, CodeFollowsThePlatformIdentifierAndMinorVersion) {
    EXPECT_EQ(PlatformCode(true, {0, 3, 10}), "32S");
    EXPECT_EQ(PlatformCode(true, {1, 4, 0}), "W95");
    EXPECT_EQ(PlatformCode(true, {1, 4, 10}), "W98");
    EXPECT_EQ(PlatformCode(true, {1, 4, 90}), "W98");
    EXPECT_EQ(PlatformCode(true, {2, 10, 0}), "WNT");
    EXPECT_EQ(PlatformCode(true, {3, 1, 0}), "Unk");
    EXPECT_EQ(PlatformCode(false, {2, 10, 0}), "Unk");
}

TEST(HwinfoPcinf1, NewObjectIsOnDriveZeroAndKeepsItsDriveOnAnIllegalNumber) {
    FakeDrives drives;
    Pcinf1 object(drives);
    EXPECT_EQ(object.CurrentDrive(), 0);
    EXPECT_EQ(object.Platform(), "WNT");
    EXPECT_EQ(object.SetCurrentDrive(3), kNoError);
    EXPECT_EQ(object.CurrentDrive(), 3);
    EXPECT_EQ(object.SetCurrentDrive(4), kErrIllegalDriveNumber);
    EXPECT_EQ(object.SetCurrentDrive(255), kErrIllegalDriveNumber);
    EXPECT_EQ(object.CurrentDrive(), 3);
    EXPECT_STREQ(ErrorText(kErrIllegalDriveNumber), "Illegal Drive Number");
}

// The exact request for each drive: the physical drive by number, the IDENTIFY DEVICE
// command with master/slave selected by the drive number's parity.
TEST(HwinfoPcinf1, SendsIdentifyDeviceToThePhysicalDriveOfCurrentDrive) {
    for (uint8_t drive : {0, 1, 2, 3}) {
        SCOPED_TRACE(static_cast<int>(drive));
        FakeDrives drives;
        drives.answers[kSmartRcvDriveData] = {true, IdentifyBlock().Serial("SN").Output()};
        Pcinf1 object(drives);
        ASSERT_EQ(object.SetCurrentDrive(drive), kNoError);

        const Outcome outcome = object.GetHdID1();
        EXPECT_EQ(outcome.error, kNoError);
        EXPECT_EQ(outcome.text, "SN");
        ASSERT_EQ(drives.opens.size(), 1u);
        EXPECT_EQ(drives.opens[0].path, "\\\\.\\PhysicalDrive" + std::to_string(drive));
        EXPECT_EQ(drives.opens[0].access, DeviceAccess::ReadWrite);
        EXPECT_EQ(drives.opens[0].share, DeviceShare::ReadWrite);
        EXPECT_EQ(drives.opens[0].disposition, DeviceDisposition::OpenExisting);
        ASSERT_EQ(drives.controls.size(), 1u);
        EXPECT_EQ(drives.controls[0].code, 0x7C088u);
        const uint8_t head = drive % 2 ? 0xB0 : 0xA0;
        EXPECT_EQ(drives.controls[0].input, ExpectedInput(32, 512, 0, 0, 0, head, 0xEC, drive));
        EXPECT_EQ(drives.controls[0].output_length, 528u);
        EXPECT_TRUE(drives.open_handles.empty()) << "device left open";
    }
}

TEST(HwinfoPcinf1, SerialDecodingFromRecordedIdentifyData) {
    struct Case {
        const char* name;
        IdentifyBlock block;
        const char* expected;
    };
    // "1234" word-swapped, then spaces.
    IdentifyBlock swapped;
    const uint8_t raw[] = {'2', '1', '4', '3'};
    for (size_t i = 0; i < 20; ++i) swapped.Byte(20 + i, i < 4 ? raw[i] : ' ');
    // A zero byte at the third character ends the text after two characters.
    IdentifyBlock zero_third = IdentifyBlock().Serial("ABCDEF");
    zero_third.Byte(23, 0);
    // A zero as the second character of a word ends it after the first.
    IdentifyBlock zero_second = IdentifyBlock().Serial("ABCDEF");
    zero_second.Byte(22, 0);
    const Case cases[] = {
        {"swapped", swapped, "1234"},
        {"zero third", zero_third, "AB"},
        {"zero second", zero_second, "ABC"},
        {"spaces only", IdentifyBlock().Serial(""), ""},
        {"right-aligned", IdentifyBlock().Serial("        WX12345678"), "WX12345678"},
        {"full width", IdentifyBlock().Serial("S1234567890123456789"), "S1234567890123456789"},
        {"no answer", IdentifyBlock(), ""},
        {"ANSI bytes", IdentifyBlock().Serial("\xB2\xE2\xCA\xD4 9"), "\xB2\xE2\xCA\xD4 9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDrives drives;
        // Fields around the serial number must not leak into it.
        IdentifyBlock block = c.block;
        block.Byte(19, 'x').Byte(40, 'y');
        drives.answers[kSmartRcvDriveData] = {true, block.Output()};
        Pcinf1 object(drives);
        const Outcome outcome = object.GetHdID1();
        EXPECT_EQ(outcome.error, kNoError);
        EXPECT_EQ(outcome.text, c.expected);
    }
}

TEST(HwinfoPcinf1, DriveThatDoesNotAnswerGivesEmptyTextAndClosesTheDevice) {
    FakeDrives drives;
    drives.answers[kSmartRcvDriveData] = {false, {}};
    Pcinf1 object(drives);
    const Outcome outcome = object.GetHdID1();
    EXPECT_EQ(outcome.error, kNoError);
    EXPECT_EQ(outcome.text, "");
    EXPECT_EQ(drives.closed.size(), 1u);
    EXPECT_TRUE(drives.open_handles.empty());
}

TEST(HwinfoPcinf1, Windows9xOpensTheSmartDriverWhateverTheDrive) {
    for (uint32_t minor : {0u, 10u}) {
        FakeDrives drives;
        drives.version = {1, 4, minor};
        drives.devices = {"\\\\.\\Smartvsd"};
        drives.answers[kSmartRcvDriveData] = {true, IdentifyBlock().Serial("OLD").Output()};
        Pcinf1 object(drives);
        EXPECT_EQ(object.Platform(), minor ? "W98" : "W95");
        ASSERT_EQ(object.SetCurrentDrive(3), kNoError);
        const Outcome outcome = object.GetHdID1();
        EXPECT_EQ(outcome.text, "OLD");
        ASSERT_EQ(drives.opens.size(), 1u);
        EXPECT_EQ(drives.opens[0].path, "\\\\.\\Smartvsd");
        EXPECT_EQ(drives.opens[0].access, DeviceAccess::None);
        EXPECT_EQ(drives.opens[0].share, DeviceShare::None);
        EXPECT_EQ(drives.opens[0].disposition, DeviceDisposition::CreateNew);
        EXPECT_EQ(drives.controls[0].input, ExpectedInput(32, 512, 0, 0, 0, 0xB0, 0xEC, 3));
    }
}

TEST(HwinfoPcinf1, ErrorsLeaveNoDeviceOpen) {
    {
        SCOPED_TRACE("Win32s and unknown platforms");
        for (bool known : {true, false}) {
            FakeDrives drives;
            drives.version = {0, 3, 10};
            drives.version_known = known;
            Pcinf1 object(drives);
            const Outcome outcome = object.GetHdID1();
            EXPECT_EQ(outcome.error, kErrIllegalPlatform);
            EXPECT_STREQ(ErrorText(outcome.error), "Illegal platform (only WNT, W98 or W95)");
            EXPECT_TRUE(drives.opens.empty());
        }
    }
    {
        SCOPED_TRACE("device cannot be opened");
        FakeDrives drives;
        drives.devices.clear();
        Pcinf1 object(drives);
        const Outcome outcome = object.GetHdID1();
        EXPECT_EQ(outcome.error, kErrCreateFile);
        EXPECT_STREQ(ErrorText(outcome.error), "Error on CreateFile");
        EXPECT_EQ(outcome.text, "");
        EXPECT_TRUE(drives.controls.empty());
        EXPECT_TRUE(drives.closed.empty());
    }
    {
        SCOPED_TRACE("illegal field selector");
        FakeDrives drives;
        Pcinf1 object(drives);
        for (int selector : {-1, 3}) {
            const Outcome outcome = object.ReadIdentifyText(selector);
            EXPECT_EQ(outcome.error, kErrIllegalDataType);
            EXPECT_STREQ(ErrorText(outcome.error), "Illegal HD Data type");
        }
        EXPECT_TRUE(drives.opens.empty());
    }
}

TEST(HwinfoPcinf1, ReadIdentifyTextSelectsModelSerialOrFirmware) {
    FakeDrives drives;
    const std::string model40 = "MODEL-0123456789-ABCDEFGHIJKLMNOPQRSTUVW";
    ASSERT_EQ(model40.size(), 40u);
    drives.answers[kSmartRcvDriveData] = {
        true, IdentifyBlock().Model(model40).Serial("  SER 01").Firmware("FW1.0").Output()};
    Pcinf1 object(drives);
    EXPECT_EQ(object.ReadIdentifyText(0).text, model40);
    EXPECT_EQ(object.ReadIdentifyText(1).text, "SER 01");
    EXPECT_EQ(object.ReadIdentifyText(2).text, "FW1.0");
    EXPECT_TRUE(drives.open_handles.empty());
}

}  // namespace
}  // namespace qor::hwinfo
