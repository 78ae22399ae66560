// The stages of the start-up that are not built yet. Each keeps the start-up going exactly as
// if its stage had nothing to do on this machine.
#pragma once

#include "launcher/startup.h"
#include "launcher/update_handoff.h"

namespace qor {

class PendingStages : public LauncherStages {
public:
    explicit PendingStages(UpdateHandOffPlatform& update) : update_(update) {}
    bool HandOffUpdate(const LauncherState& state) override { return qor::HandOffUpdate(update_, state); }
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

private:
    UpdateHandOffPlatform& update_;
};

}  // namespace qor
