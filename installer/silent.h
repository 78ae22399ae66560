// The deployment runs (/S): the install and uninstall sequences with no window and no message.
// The agreement and the uninstall confirmation count as answered by the switch; every other
// question takes the answer that changes nothing (a locked file is not skipped). Each message
// goes to the run's log with that answer, and the outcome becomes the process's exit code.
#pragma once

#include <string>

#include "installer/sequences.h"

namespace qor::installer {

// The answer a silent run gives to a message of this kind.
Answer SilentAnswer(MessageKind kind);

int InstallExitCode(InstallOutcome outcome);
int UninstallExitCode(UninstallOutcome outcome);

// The install into `installPath` (ending in "\"); its exit code.
int RunSilentInstall(InstallerPlatform& platform, const std::string& installPath);
// The uninstall of `installPath` (ending in "\"), keeping what the record does not list; its
// exit code.
int RunSilentUninstall(InstallerPlatform& platform, const std::string& installPath);

}  // namespace qor::installer
