#include "common/staged_update/staged_update.h"

#include "common/file_tree/file_tree.h"
#include "core/text.h"
#include "core/update_journal.h"

namespace qor {

std::string StagingFolder(const std::string& appFolder) { return JoinPath(appFolder, kStagingFolderName); }
std::string ReplacedFolder(const std::string& appFolder) { return JoinPath(appFolder, kReplacedFolderName); }
std::string JournalPath(const std::string& appFolder) { return JoinPath(appFolder, kJournalName); }

const std::vector<std::string>& CutPoints() {
    static const std::vector<std::string> points = {"journal-written", "moved-first", "moved-all-but-one",
                                                    "before-journal-removed"};
    return points;
}

namespace {

std::string Parent(const std::string& relative) {
    const size_t sep = relative.rfind('\\');
    return sep == std::string::npos ? std::string() : relative.substr(0, sep);
}

// Puts every replaced file back in its place.
void RestoreReplaced(FileStore& files, const std::string& appFolder, const std::vector<std::string>& listed) {
    for (const std::string& f : listed) {
        const std::string replaced = JoinPath(ReplacedFolder(appFolder), f);
        if (files.FileExists(replaced)) files.MoveReplacing(replaced, JoinPath(appFolder, f));
    }
}

// The moves, idempotent: a file no longer staged has moved already, and a replaced file
// already kept is not kept again (the target then holds the new file).
bool MoveStagedFiles(FileStore& files, const std::string& appFolder, const std::vector<std::string>& listed,
                     const CutHook& cut) {
    const std::string staging = StagingFolder(appFolder), replaced = ReplacedFolder(appFolder);
    size_t moved = 0;
    for (const std::string& f : listed) {
        const std::string staged = JoinPath(staging, f), target = JoinPath(appFolder, f), kept = JoinPath(replaced, f);
        if (files.FileExists(staged)) {
            if (!MakeFolders(files, appFolder, Parent(f))) return false;
            if (files.FileExists(target) && !files.FileExists(kept) &&
                (!MakeFolders(files, appFolder, JoinPath(kReplacedFolderName, Parent(f))) || !files.CopyFileTo(target, kept)))
                return false;
            if (!files.MoveReplacing(staged, target)) return false;
        }
        ++moved;
        if (cut && moved == 1) cut("moved-first");
        if (cut && listed.size() > 1 && moved == listed.size() - 1) cut("moved-all-but-one");
    }
    return true;
}

void RemoveLeftovers(FileStore& files, const std::string& appFolder) {
    RemoveTree(files, ReplacedFolder(appFolder));
    RemoveTree(files, StagingFolder(appFolder));
}

bool FinishOrRollBack(FileStore& files, const std::string& appFolder, const std::vector<std::string>& listed,
                      const CutHook& cut) {
    const bool moved = MoveStagedFiles(files, appFolder, listed, cut);
    if (!moved) RestoreReplaced(files, appFolder, listed);
    RemoveLeftovers(files, appFolder);
    if (cut) cut("before-journal-removed");
    files.RemoveFile(JournalPath(appFolder));
    return moved;
}

}  // namespace

bool CommitStagedUpdate(FileStore& files, const std::string& appFolder, const CutHook& cut) {
    const std::vector<std::string> listed = ListTreeFiles(files, StagingFolder(appFolder));
    for (const std::string& f : listed)
        if (!IsSafeRelativePath(f)) return false;
    RemoveTree(files, ReplacedFolder(appFolder));
    if (!files.WriteBytesDurably(JournalPath(appFolder), BuildUpdateJournal(listed))) {
        files.RemoveFile(JournalPath(appFolder));
        RemoveLeftovers(files, appFolder);
        return false;
    }
    if (cut) cut("journal-written");
    return FinishOrRollBack(files, appFolder, listed, cut);
}

void DiscardStaging(FileStore& files, const std::string& appFolder) {
    if (!files.FileExists(JournalPath(appFolder))) RemoveLeftovers(files, appFolder);
}

Recovery RecoverStagedUpdate(FileStore& files, const std::string& appFolder, const std::string& ownProgram) {
    const std::string journal = JournalPath(appFolder);
    if (!files.FileExists(journal)) {
        if (files.FolderExists(StagingFolder(appFolder)) || files.FolderExists(ReplacedFolder(appFolder))) {
            RemoveLeftovers(files, appFolder);
            return Recovery::Discarded;
        }
        return Recovery::None;
    }
    std::string text;
    std::vector<std::string> listed;
    bool read = false;
    if (std::unique_ptr<ByteReader> in = files.OpenForReading(journal)) {
        char buffer[16384];
        size_t got = 0;
        read = true;
        while (text.size() < (1u << 22) && (read = in->Read(buffer, sizeof buffer, got)) && got > 0) text.append(buffer, got);
    }
    if (read && ParseUpdateJournal(text, listed) == JournalState::Complete) {
        for (const std::string& f : listed)
            if (!ownProgram.empty() && f == ownProgram && files.FileExists(JoinPath(StagingFolder(appFolder), f)))
                return Recovery::Deferred;
        return FinishOrRollBack(files, appFolder, listed, {}) ? Recovery::Finished : Recovery::Failed;
    }
    // Nothing has moved under a journal that is not complete.
    RemoveLeftovers(files, appFolder);
    files.RemoveFile(journal);
    return Recovery::Discarded;
}

}  // namespace qor
