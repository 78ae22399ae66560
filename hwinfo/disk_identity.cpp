#include "hwinfo/disk_identity.h"

#include "core/text.h"

#include <algorithm>

namespace qor::hwinfo {

const char* ErrorText(int error) {
    switch (error) {
    case kErrIllegalDriveNumber: return "Illegal Drive Number";
    case kErrIllegalDataType: return "Illegal HD Data type";
    case kErrIllegalPlatform: return "Illegal platform (only WNT, W98 or W95)";
    case kErrCreateFile: return "Error on CreateFile";
    case kErrDriveNumberOverflow: return "Overflow";
    case kErrLibraryMissing: return "DiskID32.dll cannot be loaded";
    case kErrFunctionMissing: return "DiskID32.dll has no function DiskID32";
    default: return "";
    }
}

uint8_t DriveHeadFor(uint8_t drive) {
    return static_cast<uint8_t>(0xA0 + 16 * (drive % 2));
}

std::vector<uint8_t> BuildSmartInput(size_t length, uint32_t buffer_size, const IdeRegisters& regs,
                                     uint8_t drive) {
    // Layout: buffer size (4 bytes), IDE registers (7 bytes and a reserved one), drive number,
    // then reserved bytes and the start of the data buffer, all zero.
    std::vector<uint8_t> block(std::max<size_t>(length, 13), 0);
    for (int i = 0; i < 4; ++i) block[i] = static_cast<uint8_t>(buffer_size >> (8 * i));
    block[4] = regs.features;
    block[5] = regs.sector_count;
    block[6] = regs.sector_number;
    block[7] = regs.cylinder_low;
    block[8] = regs.cylinder_high;
    block[9] = regs.drive_head;
    block[10] = regs.command;
    block[12] = drive;
    block.resize(length);
    return block;
}

std::string PlatformCode(bool known, const OsVersionInfo& info) {
    if (!known) return "Unk";
    switch (info.platform_id) {
    case 0: return "32S";
    case 1: return info.minor != 0 ? "W98" : "W95";
    case 2: return "WNT";
    default: return "Unk";
    }
}

bool IdentifyFieldFor(int selector, IdentifyField& field) {
    switch (selector) {
    case 0: field = {55, 40}; return true;  // model number, bytes 54 to 93
    case 1: field = {21, 20}; return true;  // serial number, bytes 20 to 39
    case 2: field = {47, 8}; return true;   // firmware revision, bytes 46 to 53
    default: return false;
    }
}

std::string DecodeIdentifyText(const uint8_t* data, size_t size, const IdentifyField& field) {
    auto at = [&](size_t i) -> uint8_t { return i < size ? data[i] : 0; };
    std::string text;
    for (size_t i = field.start; i <= field.start + field.length - 1; i += 2) {
        if (at(i) == 0) break;
        text += static_cast<char>(at(i));
        if (at(i - 1) == 0) break;
        text += static_cast<char>(at(i - 1));
    }
    return text;
}

void SwapBytePairs(uint8_t* data, size_t length) {
    for (size_t i = 0; i + 1 < length; i += 2) std::swap(data[i], data[i + 1]);
}

// ---------------------------------------------------------------------------------------------

namespace {

std::string PlatformOf(DriveAccess& drives) {
    OsVersionInfo info;
    const bool known = drives.QueryOsVersion(info);
    return PlatformCode(known, info);
}

IdeRegisters IdentifyRegisters(uint8_t command, uint8_t drive) {
    IdeRegisters regs;
    regs.sector_count = 1;
    regs.sector_number = 1;
    regs.drive_head = DriveHeadFor(drive);
    regs.command = command;
    return regs;
}

const char kPhysicalDrivePrefix[] = "\\\\.\\PhysicalDrive";

}  // namespace

Pcinf1::Pcinf1(DriveAccess& drives) : drives_(drives), platform_(PlatformOf(drives)) {}

int Pcinf1::SetCurrentDrive(uint8_t drive) {
    if (drive > 3) return kErrIllegalDriveNumber;
    current_drive_ = drive;
    return kNoError;
}

Outcome Pcinf1::GetHdID1() {
    return ReadIdentifyText(1);
}

Outcome Pcinf1::ReadIdentifyText(int selector) {
    Outcome outcome;
    IdentifyField field;
    if (!IdentifyFieldFor(selector, field)) {
        outcome.error = kErrIllegalDataType;
        return outcome;
    }

    DriveAccess::Handle handle;
    if (platform_ == "WNT") {
        handle = drives_.Open(kPhysicalDrivePrefix + std::to_string(current_drive_),
                              DeviceAccess::ReadWrite, DeviceShare::ReadWrite,
                              DeviceDisposition::OpenExisting);
    } else if (platform_ == "W95" || platform_ == "W98") {
        handle = drives_.Open("\\\\.\\Smartvsd", DeviceAccess::None, DeviceShare::None,
                              DeviceDisposition::CreateNew);
    } else {
        outcome.error = kErrIllegalPlatform;
        return outcome;
    }
    if (handle == DriveAccess::kInvalidHandle) {
        outcome.error = kErrCreateFile;
        return outcome;
    }

    const std::vector<uint8_t> input =
        BuildSmartInput(kIdentifyInputLength, kIdentifyDataLength,
                        IdentifyRegisters(kCmdIdentifyDevice, current_drive_), current_drive_);
    // A drive that does not answer leaves the zero-filled block, which decodes to empty text.
    std::vector<uint8_t> output(kIdentifyOutputLength, 0);
    drives_.Control(handle, kSmartRcvDriveData, input, output);
    const uint8_t* data = output.size() > kOutputHeaderLength ? output.data() + kOutputHeaderLength
                                                              : nullptr;
    const size_t size = data ? output.size() - kOutputHeaderLength : 0;
    outcome.text = TrimSpaces(DecodeIdentifyText(data, size, field));
    drives_.Close(handle);
    return outcome;
}

// ---------------------------------------------------------------------------------------------

Pcinf2::Pcinf2(DriveAccess& drives) : drives_(drives) {}

DriveAccess::Handle Pcinf2::OpenSmartDevice(uint8_t drive) {
    OsVersionInfo info;
    if (!drives_.QueryOsVersion(info)) return DriveAccess::kInvalidHandle;
    if (info.platform_id == 1) {
        return drives_.Open("\\\\.\\SMARTVSD", DeviceAccess::None, DeviceShare::None,
                            DeviceDisposition::CreateNew);
    }
    if (info.platform_id == 2 && drive <= 3) {
        return drives_.Open(kPhysicalDrivePrefix + std::to_string(drive), DeviceAccess::ReadWrite,
                            DeviceShare::ReadWrite, DeviceDisposition::OpenExisting);
    }
    return DriveAccess::kInvalidHandle;
}

bool Pcinf2::EnableSmart(DriveAccess::Handle handle, uint8_t drive) {
    IdeRegisters regs;
    regs.features = kFeatureEnableSmart;
    regs.sector_count = 1;
    regs.sector_number = 1;
    regs.cylinder_low = 0x4F;
    regs.cylinder_high = 0xC2;
    regs.drive_head = DriveHeadFor(drive);
    regs.command = kCmdSmart;
    const std::vector<uint8_t> input = BuildSmartInput(kEnableInputLength, 0, regs, drive);
    std::vector<uint8_t> output(kEnableOutputLength, 0);
    return drives_.Control(handle, kSmartSendDriveCommand, input, output);
}

bool Pcinf2::IdentifyDrive(DriveAccess::Handle handle, uint8_t command, uint8_t drive,
                           std::vector<uint8_t>& output) {
    const std::vector<uint8_t> input = BuildSmartInput(
        kIdentifyInputLength, kIdentifyDataLength, IdentifyRegisters(command, drive), drive);
    output.assign(kIdentifyOutputLength, 0);
    return drives_.Control(handle, kSmartRcvDriveData, input, output);
}

void Pcinf2::FixIdentifyStrings() {
    SwapBytePairs(identify_data_.data() + 54, 40);  // model number
    SwapBytePairs(identify_data_.data() + 46, 8);   // firmware revision
    SwapBytePairs(identify_data_.data() + 20, 20);  // serial number
}

int32_t Pcinf2::GetDiskInfo(uint8_t drive) {
    const DriveAccess::Handle handle = OpenSmartDevice(drive);
    if (handle == DriveAccess::kInvalidHandle) return -1;

    // The fourth byte of the version answer is the IDE device map; bit 4 + n marks drive n as
    // an ATAPI device. A failed query leaves the map zero.
    std::vector<uint8_t> version(kVersionOutputLength, 0);
    drives_.Control(handle, kSmartGetVersion, {}, version);
    const uint8_t device_map = version.size() > 3 ? version[3] : 0;
    const bool atapi = drive < 8 && ((device_map >> drive) & 0x10) != 0;

    if (!atapi) EnableSmart(handle, drive);
    const uint8_t command = atapi ? kCmdIdentifyPacketDevice : kCmdIdentifyDevice;

    std::vector<uint8_t> output;
    const bool read = IdentifyDrive(handle, command, drive, output);
    if (read) {
        output.resize(kIdentifyOutputLength, 0);
        std::copy_n(output.begin() + kOutputHeaderLength, kKeptLength, identify_data_.begin());
        FixIdentifyStrings();
    }
    drives_.Close(handle);
    return read ? 1 : 0;
}

Outcome Pcinf2::GetHdID2(int32_t disk, int32_t /*info_type: the serial number is always given*/) {
    Outcome outcome;
    if (disk < 0 || disk > 255) {
        outcome.error = kErrDriveNumberOverflow;
        return outcome;
    }
    if (GetDiskInfo(static_cast<uint8_t>(disk)) == 1) {
        // Byte for byte: zero bytes stay in the text as zero characters.
        const std::string serial(reinterpret_cast<const char*>(identify_data_.data() + 20), 20);
        outcome.text = TrimSpaces(serial);
    }
    return outcome;
}

// ---------------------------------------------------------------------------------------------

Pcinf3::Pcinf3(DiskIdLibrary& library) : library_(library) {}

Outcome Pcinf3::GetHdID3() {
    Outcome outcome;
    std::vector<uint8_t> first(kBufferLength, 0);
    std::vector<uint8_t> second(kBufferLength, 0);
    int32_t result = 0;
    switch (library_.Call(first.data(), second.data(), result)) {
    case DiskIdLibrary::Status::LibraryMissing: outcome.error = kErrLibraryMissing; return outcome;
    case DiskIdLibrary::Status::FunctionMissing: outcome.error = kErrFunctionMissing; return outcome;
    case DiskIdLibrary::Status::Called: break;
    }
    if (result != 1) return outcome;
    std::string text;
    for (size_t i = 0; i < kIdentityLength; ++i) {
        if (second[i] != 0) text += static_cast<char>(second[i]);  // zero bytes are skipped
    }
    outcome.text = TrimSpaces(text);
    return outcome;
}

}  // namespace qor::hwinfo
