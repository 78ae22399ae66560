// Machine-wide settings the launcher changes: the shell's view of file associations and the
// system short-date format.
#pragma once

#include <string>

namespace qor {

class MachineSettings {
public:
    virtual ~MachineSettings() = default;

    // Tells the shell that file associations changed.
    virtual void NotifyAssociationChanged() = 0;
    // Sets the short-date picture of the system default locale; false when that fails.
    virtual bool SetShortDatePicture(const std::string& picture) = 0;
};

}  // namespace qor
