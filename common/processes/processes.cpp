#include "common/processes/processes.h"

#include <vector>

#include "core/text.h"
#include "core/wildcard.h"

namespace qor {
namespace {

// The image-name fragment of the security software, kept out of the program's plain strings:
// pieces joined, then the separator "~" and the filler "x#q" removed.
std::string SecuritySoftwareFragment() {
    std::string raw = std::string("~") + static_cast<char>(51) + "x#q" + static_cast<char>(126) +
                      "6~x#q" + "~" + static_cast<char>(48) + "~";
    return ReplaceAll(RemoveChar(raw, '~'), "x#q", "");
}

}  // namespace

std::string ProcessQuery(const std::string& imageName) {
    return "SELECT * FROM Win32_Process WHERE Name='" + imageName + "'";
}

// A query that fails anywhere (service, query or a property) gives the neutral result.
bool IsProcessRunning(ManagementService& wmi, const std::string& imageName) {
    std::vector<std::string> names;
    return wmi.Query(ProcessQuery(imageName), "Name", names) && !names.empty();
}

int32_t CountProcesses(ManagementService& wmi, const std::string& imageName) {
    std::vector<std::string> names;
    if (!wmi.Query(ProcessQuery(imageName), "Name", names)) return 0;
    return static_cast<int32_t>(names.size());
}

void TerminateProcesses(ManagementService& wmi, const std::string& imageName) {
    wmi.TerminateEach(ProcessQuery(imageName));
}

bool IsSecuritySoftwareRunning(ManagementService& wmi) {
    const std::string fragment = SecuritySoftwareFragment();
    // A coarse pre-filter by two characters of the fragment, then the exact pattern.
    std::string query = std::string("SELECT * FROM Win32_Process WHERE Name LIKE '%") +
                        static_cast<char>(51) + "%" + static_cast<char>(48) + "%'";
    std::vector<std::string> names;
    wmi.Query(query, "Name", names);
    for (const std::string& name : names)
        if (WildcardMatch(name, "*" + fragment + "*")) return true;
    return false;
}

}  // namespace qor
