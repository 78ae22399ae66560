// Looks at the running processes through the management service (Win32_Process) by image name.
#pragma once

#include <cstdint>
#include <string>

#include "platform/management.h"

namespace qor {

// "SELECT * FROM Win32_Process WHERE Name='<imageName>'": the service compares names without
// regard to letter case.
std::string ProcessQuery(const std::string& imageName);

bool IsProcessRunning(ManagementService& wmi, const std::string& imageName);
int32_t CountProcesses(ManagementService& wmi, const std::string& imageName);
void TerminateProcesses(ManagementService& wmi, const std::string& imageName);

// True when a process of the security-software family that the launcher's trust notice names
// is running.
bool IsSecuritySoftwareRunning(ManagementService& wmi);

}  // namespace qor
