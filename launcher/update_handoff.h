// The launcher's part of the update cycle: it swaps in a new updater program that an update
// delivered, hands a completely downloaded newer update to the updater ("/s") and ends, or
// otherwise starts the updater in the background ("/d") to look for the next update.
#pragma once

#include <string>

#include "launcher/startup.h"
#include "platform/file_store.h"
#include "platform/management.h"
#include "platform/program_runner.h"

namespace qor {

struct UpdateHandOffPlatform {
    LauncherShell& shell;
    FileStore& files;
    ManagementService& wmi;
    ProgramRunner& runner;
};

// The launcher's reading of the update log: its first line (the update's version) and its last
// line (the status). True when the log marks a completed download.
bool ReadUpdateLog(FileStore& files, const std::string& appFolder, std::string& updateVersion,
                   std::string& updateStatus);

// The hand-off; true when the updater was started to install and the launcher must end now.
bool HandOffUpdate(UpdateHandOffPlatform& p, const LauncherState& state);

}  // namespace qor
