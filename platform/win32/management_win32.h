#pragma once

#include "platform/management.h"
#include "platform/win32/scoped.h"

struct IWbemServices;

namespace qor::win32 {

// WMI in the local root\cimv2 namespace. The caller has initialised COM on its thread and uses
// the object on that thread only.
class Win32ManagementService : public ManagementService {
public:
    Win32ManagementService();
    ~Win32ManagementService() override;
    Win32ManagementService(const Win32ManagementService&) = delete;
    Win32ManagementService& operator=(const Win32ManagementService&) = delete;

    bool Query(const std::string& wql, const std::string& property,
               std::vector<std::string>& values) override;
    std::vector<std::string> InstancesOf(const std::string& className, const std::string& property) override;
    void TerminateEach(const std::string& wql) override;

private:
    // The connection to the service: made at the first question that finds the service and
    // kept for the object's life, since connecting costs more than most queries. Null while
    // the service cannot be reached.
    IWbemServices* Services();
    ComPtr<IWbemServices> services_;
};

// Process-wide COM security as WMI clients need it; call once after CoInitializeEx.
void InitializeComSecurity();

}  // namespace qor::win32
