#include "launcher/update_handoff.h"

#include "core/log_signature.h"
#include "core/text.h"
#include "core/update_rules.h"
#include "common/processes/processes.h"
#include "common/settings/settings.h"
#include "common/staged_update/staged_update.h"

namespace qor {

bool ReadUpdateLog(FileStore& files, const std::string& appFolder, std::string& updateVersion,
                   std::string& updateStatus) {
    updateVersion.clear();
    updateStatus.clear();
    const std::string path = JoinPath(appFolder, "\\QOR_UPDATE.LOG");
    std::string text;
    if (!files.FileExists(path) || !files.ReadTextAtMost(path, kUpdateFileReadLimit, text)) return false;
    const UpdateLogLines log = ParseUpdateLog(text);
    updateVersion = log.version;
    updateStatus = log.lastLine;
    return IsCompletedDownloadLog(log);
}

bool HandOffUpdate(UpdateHandOffPlatform& p, const LauncherState& state) {
    const std::string updater = JoinPath(state.appFolder, "\\QOR_UPDATE.exe");
    const std::string newUpdater = JoinPath(state.appFolder, "\\NEW_QOR_UPDATE.exe");

    // An update cut off (a power loss, an ended task) while its files moved is finished first,
    // or one cut off before its journal was complete is discarded; the package and the log of
    // that one are still there, and the hand-off below offers it again.
    // The launcher cannot replace its own running program: when that is still to move, the
    // updater finishes the moves once the launcher has ended.
    const Recovery recovery = RecoverStagedUpdate(p.files, state.appFolder, "QOR.exe");
    switch (recovery) {
    case Recovery::Finished:
        // As after an update that ended by itself: the log goes, so nothing offers it again.
        if (p.files.FileExists(JoinPath(state.appFolder, "\\QOR_UPDATE.LOG")))
            p.files.RemoveFile(JoinPath(state.appFolder, "\\QOR_UPDATE.LOG"));
        break;
    case Recovery::Failed:
        p.shell.ShowMessage("自动升级过程发生错误！\r\n请重试！", "错误", MessageIcon::Critical);
        break;
    default:
        break;
    }

    // A new updater delivered by an update takes the place of the old one in one step, so that
    // the folder always has an updater. When the old one cannot be replaced (it still runs), the
    // swap is tried again at the next start.
    if (p.files.FileExists(newUpdater)) {
        if (p.files.FileExists(updater)) TerminateProcesses(p.wmi, "QOR_UPDATE.exe");
        p.files.MoveReplacing(newUpdater, updater);
    }
    p.shell.PumpMessages();
    if (!p.files.FileExists(updater)) return false;

    std::string updateVersion, updateStatus;
    const bool complete = ReadUpdateLog(p.files, state.appFolder, updateVersion, updateStatus);
    p.shell.PumpMessages();
    if (recovery == Recovery::Deferred || (complete && p.files.FileExists(JoinPath(state.appFolder, "\\QOR_UPDATE.rar")) &&
                                           IsNewerVersion(updateVersion, state.fullVersion))) {
        // Written on every hand-off, empty when this start named no account set: a value left by
        // an earlier hand-off that broke off (power loss, a killed process) must never be handed
        // back. A command the settings file cannot hold (a line break) empties the key as well.
        const std::string& command = state.command.commandText;
        WriteSetting(p.files, state.appFolder, "ZTCOMMAND",
                     command.find_first_of("\r\n") == std::string::npos ? command : std::string());
        p.runner.StartAndForget("\"" + updater + "\" /s", WindowStyle::NormalFocus);
        return true;
    }
    p.runner.StartAndForget("cmd.exe /c start \"\" \"" + updater + "\" /d", WindowStyle::MinimizedNoFocus);
    return false;
}

}  // namespace qor
