// Small questions the launcher asks about the machine: component versions, USB drives,
// folders. Each gives a neutral value instead of failing.
#pragma once

#include <functional>
#include <string>

#include "platform/file_store.h"
#include "platform/management.h"
#include "platform/system_queries.h"

namespace qor {

// Comparable version text of the file ("0006.0001.0098.0034"); "0000.0000.0000.0000" for a
// missing file or one without a version resource.
std::string GetComponentVersion(FileStore& files, SystemQueries& system, const std::string& path);

// Drive names of the logical disks on USB disks joined by "," ("E:,F:"), "NOUDISK" when there
// is none, empty text when a query failed. `pump` lets window messages through after each disk.
std::string GetUsbDriveLetters(ManagementService& wmi, const std::function<void()>& pump);

bool FolderExists(FileStore& files, const std::string& path);
std::string GetWindowsFolder(SystemQueries& system);
std::string GetSystemFolder(SystemQueries& system);

}  // namespace qor
