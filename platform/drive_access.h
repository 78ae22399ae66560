// Drive access as the disk-identity classes need it: the operating-system version, a device
// opened by path, the SMART control calls on it, and the outside disk-identification library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qor {

// The operating system's own version report.
struct OsVersionInfo {
    uint32_t platform_id = 0;  // 0 Win32s, 1 Windows 95/98/Me, 2 NT family
    uint32_t major = 0;
    uint32_t minor = 0;
};

enum class DeviceAccess { None, ReadWrite };
enum class DeviceShare { None, ReadWrite };
enum class DeviceDisposition { CreateNew, OpenExisting };

class DriveAccess {
public:
    using Handle = intptr_t;
    static constexpr Handle kInvalidHandle = -1;

    virtual ~DriveAccess() = default;

    // False when the version cannot be read.
    virtual bool QueryOsVersion(OsVersionInfo& info) = 0;
    // Opens a device ("\\.\PhysicalDrive0", "\\.\SMARTVSD"); kInvalidHandle when that fails.
    virtual Handle Open(const std::string& path, DeviceAccess access, DeviceShare share,
                        DeviceDisposition disposition) = 0;
    // One device control call. `input` is sent as it is (its size is the input length);
    // `output` arrives sized to the output length and is overwritten with what the device
    // returns. The result says whether the call succeeded.
    virtual bool Control(Handle handle, uint32_t code, const std::vector<uint8_t>& input,
                         std::vector<uint8_t>& output) = 0;
    virtual void Close(Handle handle) = 0;
};

// The outside library "DiskID32.dll" and its one function
//   int32_t __stdcall DiskID32(uint8_t* first, uint8_t* second).
class DiskIdLibrary {
public:
    enum class Status { Called, LibraryMissing, FunctionMissing };

    virtual ~DiskIdLibrary() = default;

    // Loads the library, calls the function with the two buffers and unloads it again.
    // `result` holds the function's return value when the status is Called. The function is
    // documented to fill 32 bytes of each buffer; callers pass larger zero-filled buffers so
    // that a library writing a terminator past the 32 bytes does no harm.
    virtual Status Call(uint8_t* first, uint8_t* second, int32_t& result) = 0;
};

}  // namespace qor
