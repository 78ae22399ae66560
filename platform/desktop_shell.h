// Starting a program through the signed-in user's desktop shell, so that it runs with that
// user's own rights rather than those of the (elevated) program that asks.
#pragma once

#include <string>

namespace qor {

class DesktopShell {
public:
    virtual ~DesktopShell() = default;

    // Asks the desktop shell to start the program (full path, no arguments) with the folder as
    // its current folder, in a normal window. False when no desktop shell answers or it refuses.
    virtual bool StartAsSignedInUser(const std::string& program, const std::string& folder) = 0;
};

}  // namespace qor
