#pragma once

#include "platform/management.h"

namespace qor::win32 {

// WMI in the local root\cimv2 namespace. The caller has initialised COM on its thread.
class Win32ManagementService : public ManagementService {
public:
    bool Query(const std::string& wql, const std::string& property,
               std::vector<std::string>& values) override;
    std::vector<std::string> InstancesOf(const std::string& className, const std::string& property) override;
    void TerminateEach(const std::string& wql) override;
};

// Process-wide COM security as WMI clients need it; call once after CoInitializeEx.
void InitializeComSecurity();

}  // namespace qor::win32
