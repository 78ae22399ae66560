// A staged update: the package is extracted into a staging folder inside the application
// folder (the same volume, so that every move is a rename), checked there, and only then moved
// into place file by file, each move replacing the old file in one step. A journal written and
// flushed before the first move lets the next start finish a cut-off update or discard it, so
// that the folder never lacks a launcher and never holds a half-written file.
//
// In the application folder A:
//   A\QOR_UPDATE.new       the staging folder (the extractor's destination)
//   A\QOR_UPDATE.old       the files the moves replaced, kept until every move is done
//   A\QOR_UPDATE.journal   the journal (core/update_journal.h)
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/file_store.h"

namespace qor {

inline constexpr char kStagingFolderName[] = "QOR_UPDATE.new";
inline constexpr char kReplacedFolderName[] = "QOR_UPDATE.old";
inline constexpr char kJournalName[] = "QOR_UPDATE.journal";

std::string StagingFolder(const std::string& appFolder);
std::string ReplacedFolder(const std::string& appFolder);
std::string JournalPath(const std::string& appFolder);

// Test builds end the process abruptly at these points of CommitStagedUpdate (see
// `CutPoints`); other builds pass nothing.
using CutHook = std::function<void(const std::string& point)>;
// "journal-written", "moved-first", "moved-all-but-one", "before-journal-removed".
const std::vector<std::string>& CutPoints();

// Moves the staged files into place under a journal, then removes the replaced files, the
// staging folder and the journal. False when a file could not be replaced: the replaced files
// are then put back and the staging folder and the journal removed, so that the installed
// program is as it was.
bool CommitStagedUpdate(FileStore& files, const std::string& appFolder, const CutHook& cut = {});

// Removes a staging folder and replaced-files folder left behind, when no journal is there.
void DiscardStaging(FileStore& files, const std::string& appFolder);

enum class Recovery {
    None,       // no journal: nothing was cut off while files moved
    Discarded,  // cut off before the journal was complete: the staged files were thrown away
    Finished,   // the moves of a cut-off update are complete now
    Failed,     // a file in the way could not be replaced: the old files are back
    Deferred,   // the moves wait for the caller's own program file, which only another can replace
};

// What a start does first: finish the moves of a complete journal, or discard an incomplete
// one (or one that is no journal of ours) with its staging folder. `ownProgram` (relative to
// the application folder) is the caller's running program file, which Windows does not let its
// own process replace: while it is still staged, nothing is done (Deferred).
Recovery RecoverStagedUpdate(FileStore& files, const std::string& appFolder, const std::string& ownProgram = "");

}  // namespace qor
