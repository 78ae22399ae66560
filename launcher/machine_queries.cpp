#include "launcher/machine_queries.h"

#include <vector>

#include "core/version_text.h"

namespace qor {

std::string GetComponentVersion(FileStore& files, SystemQueries& system, const std::string& path) {
    FileVersionParts v;
    if (!files.FileExists(path) || !system.FileVersion(path, v)) return kNoComponentVersion;
    return ComponentVersionText(v.major, v.minor, v.build, v.revision);
}

std::string GetUsbDriveLetters(ManagementService& wmi, const std::function<void()>& pump) {
    std::vector<std::string> disks;
    if (!wmi.Query("Select * From Win32_DiskDrive Where InterfaceType='USB'", "DeviceID", disks))
        return std::string();
    std::string letters;
    for (const std::string& disk : disks) {
        std::vector<std::string> partitions;
        if (!wmi.Query("Associators of {Win32_DiskDrive.DeviceID='" + disk +
                           "'} Where AssocClass = Win32_DiskDriveToDiskPartition",
                       "DeviceID", partitions))
            return std::string();
        for (const std::string& partition : partitions) {
            std::vector<std::string> logical;
            if (!wmi.Query("Associators of {Win32_DiskPartition.DeviceID='" + partition +
                               "'} Where AssocClass = Win32_LogicalDiskToPartition",
                           "DeviceID", logical))
                return std::string();
            for (const std::string& id : logical)
                if (!id.empty()) letters += id + ",";
        }
        if (pump) pump();
    }
    if (letters.empty()) return "NOUDISK";
    letters.pop_back();
    return letters;
}

bool FolderExists(FileStore& files, const std::string& path) {
    return !path.empty() && files.FolderExists(path);
}

std::string GetWindowsFolder(SystemQueries& system) { return system.WindowsFolder(); }

std::string GetSystemFolder(SystemQueries& system) { return system.SystemFolder(); }

}  // namespace qor
