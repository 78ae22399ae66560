#include <gtest/gtest.h>

#include "hwinfo/disk_identity.h"
#include "unit/hwinfo/fake_drives.h"

namespace qor::hwinfo {
namespace {

using testing::ExpectedInput;
using testing::FakeDrives;
using testing::IdentifyBlock;

// A version answer whose fourth byte is the IDE device map.
FakeDrives::Answer VersionAnswer(uint8_t device_map) {
    std::vector<uint8_t> bytes(24, 0);
    bytes[0] = 1;
    bytes[3] = device_map;
    return {true, bytes};
}

TEST(HwinfoPcinf2, AtaDriveIsEnabledThenIdentifiedWithTheExactBlocks) {
    for (uint8_t drive : {0, 1, 2, 3}) {
        SCOPED_TRACE(static_cast<int>(drive));
        FakeDrives drives;
        // Drive 0's ATAPI bit must not affect the other drives, and the reverse.
        drives.answers[kSmartGetVersion] = VersionAnswer(drive == 0 ? 0x20 : 0x10);
        drives.answers[kSmartRcvDriveData] = {true, IdentifyBlock().Serial("SN").Output()};
        Pcinf2 object(drives);

        EXPECT_EQ(object.GetDiskInfo(drive), 1);
        ASSERT_EQ(drives.opens.size(), 1u);
        EXPECT_EQ(drives.opens[0].path, "\\\\.\\PhysicalDrive" + std::to_string(drive));
        EXPECT_EQ(drives.opens[0].access, DeviceAccess::ReadWrite);
        EXPECT_EQ(drives.opens[0].share, DeviceShare::ReadWrite);
        EXPECT_EQ(drives.opens[0].disposition, DeviceDisposition::OpenExisting);
        ASSERT_EQ(drives.Codes(), (std::vector<uint32_t>{0x74080, 0x7C084, 0x7C088}));
        const uint8_t head = drive % 2 ? 0xB0 : 0xA0;
        EXPECT_TRUE(drives.controls[0].input.empty());
        EXPECT_EQ(drives.controls[0].output_length, 24u);
        EXPECT_EQ(drives.controls[1].input, ExpectedInput(35, 0, 0xD8, 0x4F, 0xC2, head, 0xB0, drive));
        EXPECT_EQ(drives.controls[1].output_length, 19u);
        EXPECT_EQ(drives.controls[2].input, ExpectedInput(32, 512, 0, 0, 0, head, 0xEC, drive));
        EXPECT_EQ(drives.controls[2].output_length, 528u);
        EXPECT_TRUE(drives.open_handles.empty());
    }
}

TEST(HwinfoPcinf2, AtapiDriveGetsNoEnableAndIdentifyPacketDevice) {
    for (uint8_t drive : {0, 1, 2, 3}) {
        SCOPED_TRACE(static_cast<int>(drive));
        FakeDrives drives;
        drives.answers[kSmartGetVersion] = VersionAnswer(static_cast<uint8_t>(0x10 << drive));
        drives.answers[kSmartRcvDriveData] = {true, IdentifyBlock().Serial("CDROM").Output()};
        Pcinf2 object(drives);
        EXPECT_EQ(object.GetDiskInfo(drive), 1);
        ASSERT_EQ(drives.Codes(), (std::vector<uint32_t>{0x74080, 0x7C088}));
        const uint8_t head = drive % 2 ? 0xB0 : 0xA0;
        EXPECT_EQ(drives.controls[1].input, ExpectedInput(32, 512, 0, 0, 0, head, 0xA1, drive));
    }
}

TEST(HwinfoPcinf2, FailedEnableOrVersionQueryDoesNotStopTheRead) {
    FakeDrives drives;
    drives.answers[kSmartGetVersion] = {false, {}};
    drives.answers[kSmartSendDriveCommand] = {false, {}};
    drives.answers[kSmartRcvDriveData] = {true, IdentifyBlock().Serial("SN9").Output()};
    Pcinf2 object(drives);
    EXPECT_EQ(object.GetDiskInfo(0), 1);
    EXPECT_EQ(drives.Codes(), (std::vector<uint32_t>{0x74080, 0x7C084, 0x7C088}));
    EXPECT_EQ(drives.controls[2].input[10], 0xEC);
}

// IdentifyData keeps the first 256 bytes of the data with the three text fields swapped into
// reading order; every other byte stays as the drive sent it.
TEST(HwinfoPcinf2, IdentifyDataHoldsTheTextFieldsInReadingOrder) {
    IdentifyBlock block = IdentifyBlock().Serial("SERIAL-1").Firmware("FW02").Model("MODEL X");
    for (size_t i : {2u, 3u, 19u, 40u, 45u, 94u, 95u, 255u}) block.Byte(i, static_cast<uint8_t>(i));
    block.Byte(256, 0xEE);
    FakeDrives drives;
    drives.answers[kSmartRcvDriveData] = {true, block.Output()};
    Pcinf2 object(drives);
    ASSERT_EQ(object.GetDiskInfo(0), 1);

    const auto& data = object.IdentifyData();
    std::string serial(data.begin() + 20, data.begin() + 40);
    std::string firmware(data.begin() + 46, data.begin() + 54);
    std::string model(data.begin() + 54, data.begin() + 94);
    EXPECT_EQ(serial, "SERIAL-1            ");
    EXPECT_EQ(firmware, "FW02    ");
    EXPECT_EQ(model, "MODEL X" + std::string(33, ' '));
    for (size_t i : {0u, 1u, 2u, 3u, 19u, 40u, 45u, 94u, 95u, 255u}) {
        EXPECT_EQ(data[i], block.Data()[i]) << "byte " << i;
    }
}

TEST(HwinfoPcinf2, FailuresKeepThePreviouslyReadData) {
    FakeDrives drives;
    drives.answers[kSmartRcvDriveData] = {true, IdentifyBlock().Serial("FIRST").Output()};
    Pcinf2 object(drives);
    ASSERT_EQ(object.GetDiskInfo(0), 1);
    const auto before = object.IdentifyData();

    {
        SCOPED_TRACE("read fails");
        drives.answers[kSmartRcvDriveData] = {false, IdentifyBlock().Serial("GARBAGE").Output()};
        EXPECT_EQ(object.GetDiskInfo(1), 0);
        EXPECT_EQ(object.IdentifyData(), before);
        EXPECT_TRUE(drives.open_handles.empty());
    }
    {
        SCOPED_TRACE("drive cannot be opened");
        drives.devices.erase("\\\\.\\PhysicalDrive2");
        EXPECT_EQ(object.GetDiskInfo(2), -1);
        EXPECT_EQ(object.IdentifyData(), before);
    }
    {
        SCOPED_TRACE("drive numbers above 3 are not opened on the NT family");
        const size_t opens = drives.opens.size();
        EXPECT_EQ(object.GetDiskInfo(4), -1);
        EXPECT_EQ(object.GetDiskInfo(255), -1);
        EXPECT_EQ(drives.opens.size(), opens);
    }
    {
        SCOPED_TRACE("version unknown");
        drives.version_known = false;
        EXPECT_EQ(object.GetDiskInfo(0), -1);
        drives.version_known = true;
    }
    {
        SCOPED_TRACE("a later read of another drive is unaffected");
        drives.answers[kSmartRcvDriveData] = {true, IdentifyBlock().Serial("THIRD").Output()};
        EXPECT_EQ(object.GetHdID2(3, 2).text, "THIRD");
    }
}

TEST(HwinfoPcinf2, Windows9xOpensTheSmartDriverForAnyDriveNumber) {
    for (uint8_t drive : {0, 5, 8, 31, 32, 35, 64, 200, 255}) {
        SCOPED_TRACE(static_cast<int>(drive));
        FakeDrives drives;
        drives.version = {1, 4, 10};
        drives.devices = {"\\\\.\\SMARTVSD"};
        // Every bit of the map set: only drives 0 to 3 have an ATAPI bit (bits 4 to 7).
        drives.answers[kSmartGetVersion] = VersionAnswer(0xFF);
        drives.answers[kSmartRcvDriveData] = {true, IdentifyBlock().Serial("9X").Output()};
        Pcinf2 object(drives);
        EXPECT_EQ(object.GetDiskInfo(drive), 1);
        EXPECT_EQ(drives.opens[0].path, "\\\\.\\SMARTVSD");
        EXPECT_EQ(drives.opens[0].access, DeviceAccess::None);
        EXPECT_EQ(drives.opens[0].share, DeviceShare::None);
        EXPECT_EQ(drives.opens[0].disposition, DeviceDisposition::CreateNew);
        const bool atapi = drive <= 3;
        EXPECT_EQ(drives.controls.back().input[10], atapi ? 0xA1 : 0xEC);
        EXPECT_EQ(drives.controls.size(), atapi ? 2u : 3u);
        EXPECT_EQ(drives.controls.back().input[12], drive);
    }
}

TEST(HwinfoPcinf2, GetHdID2ReturnsTheSerialWhateverTheInfoType) {
    FakeDrives drives;
    drives.answers[kSmartRcvDriveData] = {
        true, IdentifyBlock().Serial("    ZX-0042").Model("SOME MODEL").Output()};
    Pcinf2 object(drives);
    for (int32_t type : {0, 1, 2, 77}) {
        const Outcome outcome = object.GetHdID2(0, type);
        EXPECT_EQ(outcome.error, kNoError);
        EXPECT_EQ(outcome.text, "ZX-0042");
    }
    EXPECT_EQ(drives.opens.back().path, "\\\\.\\PhysicalDrive0");
}

TEST(HwinfoPcinf2, GetHdID2KeepsZeroBytesOfTheSerialField) {
    IdentifyBlock block = IdentifyBlock().Serial("AB");
    block.Byte(22, 0).Byte(23, 0);  // third and fourth characters zero, spaces after
    FakeDrives drives;
    drives.answers[kSmartRcvDriveData] = {true, block.Output()};
    Pcinf2 object(drives);
    EXPECT_EQ(object.GetHdID2(0, 2).text, std::string("AB\0\0", 4));
}

TEST(HwinfoPcinf2, GetHdID2FailuresGiveEmptyTextOrAnOverflowError) {
    FakeDrives drives;
    drives.devices.clear();
    Pcinf2 object(drives);
    EXPECT_EQ(object.GetHdID2(0, 2).error, kNoError);
    EXPECT_EQ(object.GetHdID2(0, 2).text, "");
    EXPECT_EQ(object.GetHdID2(4, 2).text, "");
    EXPECT_EQ(object.GetHdID2(255, 2).error, kNoError);
    const size_t opens = drives.opens.size();
    EXPECT_EQ(object.GetHdID2(256, 2).error, kErrDriveNumberOverflow);
    EXPECT_EQ(object.GetHdID2(-1, 2).error, kErrDriveNumberOverflow);
    EXPECT_EQ(drives.opens.size(), opens);

    drives.devices.insert("\\\\.\\PhysicalDrive0");
    drives.answers[kSmartRcvDriveData] = {false, IdentifyBlock().Serial("NOPE").Output()};
    EXPECT_EQ(object.GetHdID2(0, 2).text, "");
}

// The data kept from an earlier good read never answers for a drive that failed afterwards.
TEST(HwinfoPcinf2, GetHdID2GivesEmptyTextWhenTheReadAfterAGoodOneFails) {
    FakeDrives drives;
    drives.answers[kSmartRcvDriveData] = {true, IdentifyBlock().Serial("GOOD-1").Output()};
    Pcinf2 object(drives);
    ASSERT_EQ(object.GetHdID2(0, 2).text, "GOOD-1");

    {
        SCOPED_TRACE("the identify call fails on an opened drive");
        drives.answers[kSmartRcvDriveData] = {false, IdentifyBlock().Serial("STALE").Output()};
        const Outcome outcome = object.GetHdID2(1, 2);
        EXPECT_EQ(outcome.error, kNoError);
        EXPECT_EQ(outcome.text, "");
        EXPECT_EQ(object.GetHdID2(0, 2).text, "") << "the same drive, read again, fails too";
    }
    {
        SCOPED_TRACE("the drive cannot be opened");
        drives.devices.erase("\\\\.\\PhysicalDrive2");
        EXPECT_EQ(object.GetHdID2(2, 2).text, "");
        EXPECT_EQ(object.GetHdID2(4, 0).text, "");
    }
    std::string kept(object.IdentifyData().begin() + 20, object.IdentifyData().begin() + 40);
    EXPECT_EQ(kept, "GOOD-1" + std::string(14, ' ')) << "kept, but not answered";
}

}  // namespace
}  // namespace qor::hwinfo
