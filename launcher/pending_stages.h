// The stages of the start-up that are not built yet. Each keeps the start-up going exactly as
// if its stage had nothing to do on this machine.
#pragma once

#include "launcher/startup.h"

namespace qor {

class PendingStages : public LauncherStages {
public:
    // No update is handed off yet.
    bool HandOffUpdate(const LauncherState&) override { return false; }
    // Every required file counts as present.
    bool CheckIntegrity(const LauncherState&) override { return true; }
    // The machine counts as configured, so no configuration runs.
    bool MarkerMatches(const LauncherState&) override { return true; }
    void ConfigureEnvironment(const LauncherState&) override {}
    void RegisterComponents(const LauncherState&) override {}
    void SetShortDateFormat() override {}
    // No spreadsheet host is started yet.
    bool LaunchSpreadsheet(const LauncherState&) override { return true; }
    void ReleaseSpreadsheet() override {}
};

}  // namespace qor
