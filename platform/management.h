// The management service (WMI) as the system asks it: WQL queries that yield one property of each
// returned object, and ending the processes a query returns.
#pragma once

#include <string>
#include <vector>

namespace qor {

class ManagementService {
public:
    virtual ~ManagementService() = default;

    // Runs the WQL query in the local default namespace and appends the text of `property` of
    // each returned object, in the order the service delivers them. Returns false when the
    // service cannot be reached, the query fails or a property cannot be read; `values` then
    // holds what was read before the failure.
    virtual bool Query(const std::string& wql, const std::string& property,
                       std::vector<std::string>& values) = 0;

    // Takes all instances of the class (the service's InstancesOf) and gives the text of
    // `property` of each, in delivery order; an instance whose property cannot be read is
    // skipped. Empty when the service cannot be reached.
    virtual std::vector<std::string> InstancesOf(const std::string& className,
                                                 const std::string& property) = 0;

    // Runs the process query and asks each returned process to end. Return codes are not
    // examined and nothing waits for the processes to disappear.
    virtual void TerminateEach(const std::string& wql) = 0;
};

}  // namespace qor
