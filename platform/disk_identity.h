// The disk-identity classes of the hardware information library, asked by ProgID and method
// name (late bound), each object created for one question and released at once.
#pragma once

#include <string>

namespace qor {

class DiskIdentityClasses {
public:
    virtual ~DiskIdentityClasses() = default;

    // Creates the object registered under the ProgID, calls the method without arguments and
    // gives its text result. False when the class cannot be created or the call fails.
    virtual bool Ask(const std::string& progId, const std::string& method, std::string& identity) = 0;
};

}  // namespace qor
