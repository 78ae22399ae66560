// Shortcut files and the special folders they go into, as the scripting shell object offers them.
#pragma once

#include <string>

namespace qor {

class ShellLinks {
public:
    virtual ~ShellLinks() = default;

    // The scripting shell's special folder of that name ("Desktop", "AllUsersPrograms"), without
    // a trailing separator; empty when it cannot be asked.
    virtual std::string SpecialFolder(const std::string& name) = 0;
    // Creates (or overwrites) the shortcut file with only its target and arguments set; false
    // when the shell object cannot be created or the shortcut not saved.
    virtual bool CreateShortcut(const std::string& linkPath, const std::string& target,
                                const std::string& arguments) = 0;
};

}  // namespace qor
