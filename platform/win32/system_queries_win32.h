#pragma once

#include "platform/system_queries.h"

namespace qor::win32 {

class Win32SystemQueries : public SystemQueries {
public:
    std::string WindowsFolder() override;
    std::string SystemFolder() override;
    bool FileVersion(const std::string& path, FileVersionParts& version) override;
    bool DriveExists(const std::string& drive) override;
    std::vector<std::string> OwnedFolders() override;
    std::string EnvironmentValue(const std::string& name) override;
    std::string ProgramFilesFolder() override;
    std::string ComponentSystemFolder() override;
    bool UtcNow(int64_t& seconds) override;
    std::string TempFolder() override;
    std::string CanonicalPath(const std::string& path) override;
};

}  // namespace qor::win32
