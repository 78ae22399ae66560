// The drive-access seam implemented with the real system calls: GetVersionExA, CreateFileW,
// DeviceIoControl, CloseHandle, and DiskID32.dll loaded by full path from the system folder or,
// failing that, from the folder of the module holding this code (qord.dll), never by the search
// order.
#pragma once

#include "platform/drive_access.h"

namespace qor {

class Win32DriveAccess final : public DriveAccess {
public:
    bool QueryOsVersion(OsVersionInfo& info) override;
    Handle Open(const std::string& path, DeviceAccess access, DeviceShare share,
                DeviceDisposition disposition) override;
    bool Control(Handle handle, uint32_t code, const std::vector<uint8_t>& input,
                 std::vector<uint8_t>& output) override;
    void Close(Handle handle) override;
};

class Win32DiskIdLibrary final : public DiskIdLibrary {
public:
    Status Call(uint8_t* first, uint8_t* second, int32_t& result) override;
};

}  // namespace qor
