#pragma once

#include "platform/desktop_shell.h"

namespace qor::win32 {

// The desktop's own shell window (found through the shell windows collection) is asked for its
// view's Shell.Application object, whose ShellExecute runs inside the desktop process and
// therefore with the signed-in user's unelevated rights.
class Win32DesktopShell : public DesktopShell {
public:
    bool StartAsSignedInUser(const std::string& program, const std::string& folder) override;
};

}  // namespace qor::win32
