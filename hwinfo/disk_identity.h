// The disk-identity classes' own logic, written against the drive-access seam so that the
// bytes sent to the drive and the decoding of its answers can be checked without a drive.
// Texts returned here are the raw bytes of the ANSI code page; the COM layer converts them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/drive_access.h"

namespace qor::hwinfo {

// Automation errors raised by the classes. The positive ones are the numbers callers see
// (Err.Number), raised by the COM layer in the control facility; the negative ones are internal
// and mapped to system error codes there.
enum ErrorNumber : int {
    kNoError = 0,
    kErrIllegalDriveNumber = 10000,
    kErrIllegalDataType = 10001,
    kErrIllegalPlatform = 10002,
    kErrCreateFile = 10003,
    kErrDriveNumberOverflow = -1,  // a drive number that does not fit into a byte
    kErrLibraryMissing = -2,       // DiskID32.dll cannot be loaded
    kErrFunctionMissing = -3,      // DiskID32.dll has no function DiskID32
};
// The description raised with the error ("Illegal Drive Number", ...).
const char* ErrorText(int error);

// A member's answer: either an error, or the text.
struct Outcome {
    int error = kNoError;
    std::string text;
};

// SMART control codes and the sizes of their blocks.
constexpr uint32_t kSmartGetVersion = 0x74080;
constexpr uint32_t kSmartSendDriveCommand = 0x7C084;
constexpr uint32_t kSmartRcvDriveData = 0x7C088;
constexpr size_t kVersionOutputLength = 24;
constexpr size_t kEnableInputLength = 35;
constexpr size_t kEnableOutputLength = 19;
constexpr size_t kIdentifyInputLength = 32;
constexpr size_t kIdentifyOutputLength = 528;
constexpr size_t kOutputHeaderLength = 16;
constexpr size_t kIdentifyDataLength = 512;

// ATA commands and features.
constexpr uint8_t kCmdIdentifyDevice = 0xEC;
constexpr uint8_t kCmdIdentifyPacketDevice = 0xA1;
constexpr uint8_t kCmdSmart = 0xB0;
constexpr uint8_t kFeatureEnableSmart = 0xD8;

// The IDE registers of a SMART input block, in their order in the block.
struct IdeRegisters {
    uint8_t features = 0;
    uint8_t sector_count = 0;
    uint8_t sector_number = 0;
    uint8_t cylinder_low = 0;
    uint8_t cylinder_high = 0;
    uint8_t drive_head = 0;
    uint8_t command = 0;
};

// Drive/head register selecting master (even drive numbers) or slave (odd ones).
uint8_t DriveHeadFor(uint8_t drive);

// A SMART input block of `length` bytes: buffer size (32-bit little-endian), the IDE registers
// and a reserved byte, the drive number; every other byte zero.
std::vector<uint8_t> BuildSmartInput(size_t length, uint32_t buffer_size, const IdeRegisters& regs,
                                     uint8_t drive);

// Platform code from the version report: "32S", "W95", "W98", "WNT" or "Unk".
std::string PlatformCode(bool known, const OsVersionInfo& info);

// A text field of the IDENTIFY data: `start` is the data byte of the field's first character
// (the second byte of its first word), `length` its length in bytes.
struct IdentifyField {
    size_t start;
    size_t length;
};
// The field for a selector (0 model number, 1 serial number, 2 firmware revision); false for
// any other selector.
bool IdentifyFieldFor(int selector, IdentifyField& field);

// Reads a word-swapped field out of raw IDENTIFY data, two bytes per word in reading order,
// stopping at the first zero byte. `data` holds `size` bytes; bytes past it count as zero.
std::string DecodeIdentifyText(const uint8_t* data, size_t size, const IdentifyField& field);

// Exchanges the two bytes of every 16-bit word in the range (an odd last byte stays).
void SwapBytePairs(uint8_t* data, size_t length);

// The first disk-identity class: IDENTIFY data read over SMART from drive `CurrentDrive`.
class Pcinf1 {
public:
    explicit Pcinf1(DriveAccess& drives);

    uint8_t CurrentDrive() const { return current_drive_; }
    // Accepts 0 to 3; any other value gives kErrIllegalDriveNumber and keeps the old one.
    int SetCurrentDrive(uint8_t drive);
    const std::string& Platform() const { return platform_; }

    // The serial number of the current drive, spaces trimmed.
    Outcome GetHdID1();
    // One text field (selector as IdentifyFieldFor) of the current drive, spaces trimmed.
    Outcome ReadIdentifyText(int selector);

private:
    DriveAccess& drives_;
    uint8_t current_drive_ = 0;
    std::string platform_;
};

// The second disk-identity class: the fuller SMART protocol, keeping the data it read.
class Pcinf2 {
public:
    static constexpr size_t kKeptLength = 256;

    explicit Pcinf2(DriveAccess& drives);

    // 1: the drive's IDENTIFY data was read into IdentifyData; 0: the drive was opened but the
    // read failed; -1: the drive could not be opened. IdentifyData changes only on 1.
    int32_t GetDiskInfo(uint8_t drive);
    // The serial number of drive `disk`, spaces trimmed; empty text when it cannot be read.
    // `info_type` is accepted and has no effect. A drive number outside 0 to 255 is an error.
    Outcome GetHdID2(int32_t disk, int32_t info_type);

    const std::array<uint8_t, kKeptLength>& IdentifyData() const { return identify_data_; }

private:
    DriveAccess::Handle OpenSmartDevice(uint8_t drive);
    bool EnableSmart(DriveAccess::Handle handle, uint8_t drive);
    bool IdentifyDrive(DriveAccess::Handle handle, uint8_t command, uint8_t drive,
                       std::vector<uint8_t>& output);
    void FixIdentifyStrings();

    DriveAccess& drives_;
    std::array<uint8_t, kKeptLength> identify_data_{};
};

// The third disk-identity class: the outside library DiskID32.dll.
class Pcinf3 {
public:
    // Bytes of the second buffer that hold the identity.
    static constexpr size_t kIdentityLength = 32;
    // Size of each buffer handed to the library (see DiskIdLibrary::Call).
    static constexpr size_t kBufferLength = 256;

    explicit Pcinf3(DiskIdLibrary& library);

    // The library's identity text without zero bytes, spaces trimmed; empty text when the
    // library reports failure; an error when the library or its function cannot be loaded.
    Outcome GetHdID3();

private:
    DiskIdLibrary& library_;
};

}  // namespace qor::hwinfo
