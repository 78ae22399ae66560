#include "updater/update_log.h"

#include "core/log_signature.h"
#include "core/text.h"
#include "core/update_rules.h"

namespace qor {

std::string UpdateLogPath(const std::string& appFolder) { return JoinPath(appFolder, "\\QOR_UPDATE.LOG"); }

std::string UpdatePackagePath(const std::string& appFolder) { return JoinPath(appFolder, "\\QOR_UPDATE.rar"); }

bool ReadUpdateLog(FileStore& files, const std::string& appFolder, std::string& version,
                   std::string& notes, std::string& lastLine) {
    std::string text;
    const std::string path = UpdateLogPath(appFolder);
    if (!files.FileExists(path) || !files.ReadTextAtMost(path, kUpdateFileReadLimit, text)) {
        version.clear();
        lastLine.clear();
        return false;
    }
    const UpdateLogLines log = ParseUpdateLog(text);
    version = log.version;
    notes = log.notes;
    lastLine = log.lastLine;
    return IsCompletedDownloadLog(log);
}

void MarkDownloadComplete(FileStore& files, const std::string& appFolder) {
    const std::string path = UpdateLogPath(appFolder);
    if (files.FileExists(path)) files.WriteBytes(path, kDownloadCompleteMarker, true);
}

}  // namespace qor
