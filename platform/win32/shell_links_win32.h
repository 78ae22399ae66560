#pragma once

#include "platform/shell_links.h"

namespace qor::win32 {

// The scripting shell object "WScript.Shell", late bound: SpecialFolders(name), CreateShortcut,
// TargetPath, Arguments and Save. The caller has initialised COM on its thread.
class Win32ShellLinks : public ShellLinks {
public:
    std::string SpecialFolder(const std::string& name) override;
    bool CreateShortcut(const std::string& linkPath, const std::string& target,
                        const std::string& arguments) override;
};

}  // namespace qor::win32
