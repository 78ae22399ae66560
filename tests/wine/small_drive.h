// A small disk for one test: a tmpfs mounted (tests/wine/small_drive.sh, as root) on an empty
// folder, so that whatever the programs write there runs out of space for real, with the
// errors Windows gives for a full disk. It is unmounted when the object goes, however the test
// ended.
#pragma once

#include <windows.h>

#include <string>

#include "wine/wine_test_support.h"

namespace qor::test {

class SmallDrive {
public:
    // Mounts `size` bytes in mount's notation ("16m") on the empty folder `folder`.
    SmallDrive(const char* script, std::string folder, const char* size) : script_(script), folder_(std::move(folder)) {
        unixFolder_ = UnixPath(folder_);
        if (unixFolder_.empty()) return;
        mounted_ = RunUnixScript(Command("mount") + " " + size + " \"" + unixFolder_ + ".mounted\"", folder_ + ".mounted",
                                 std::chrono::seconds(30)) == "0\n";
        DeleteFileW(win32::Wide(folder_ + ".mounted").c_str());
    }
    ~SmallDrive() {
        if (!mounted_) return;
        // What the test left there goes first, so that nothing holds the drive.
        RemoveTree(win32::Wide(folder_));
        CreateDirectoryW(win32::Wide(folder_).c_str(), nullptr);
        RunUnixScript(Command("unmount") + " \"" + unixFolder_ + ".unmounted\"", folder_ + ".unmounted",
                      std::chrono::seconds(30));
        DeleteFileW(win32::Wide(folder_ + ".unmounted").c_str());
    }
    SmallDrive(const SmallDrive&) = delete;
    SmallDrive& operator=(const SmallDrive&) = delete;

    bool mounted() const { return mounted_; }
    // Bytes still free on the drive.
    unsigned long long FreeBytes() const {
        ULARGE_INTEGER free{};
        return GetDiskFreeSpaceExW(win32::Wide(folder_ + "\\").c_str(), &free, nullptr, nullptr) ? free.QuadPart : 0;
    }
    // Fills the drive with a file of its own (`name`, beside the test's files) until about
    // `bytes` stay free; true when that many or fewer are free afterwards.
    bool LeaveFree(unsigned long long bytes, const std::string& name = "ballast.bin") const {
        const unsigned long long free = FreeBytes();
        if (free > bytes && !WriteBytes(folder_ + "\\" + name, std::string(free - bytes, '\0'))) return false;
        return FreeBytes() <= bytes + 4096;
    }

private:
    std::string Command(const char* verb) const {
        return "/bin/sh \"" + std::string(script_) + "\" " + verb + " \"" + unixFolder_ + "\"";
    }

    const char* script_;
    std::string folder_, unixFolder_;
    bool mounted_ = false;
};

}  // namespace qor::test
