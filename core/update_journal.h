// The journal of a staged update: which files move from the staging folder into the application
// folder. It is written, and flushed to disk, before the first file moves, and removed after
// the last; a journal found at a start means that an update was cut off.
//
// Text (UTF-8, CR LF after every line):
//   QOR_UPDATE journal 1
//   <path relative to the application folder>   one line per staged file
//   END
// A journal without its END line was cut off while it was being written: no file has moved.
#pragma once

#include <string>
#include <vector>

namespace qor {

inline constexpr char kUpdateJournalHeader[] = "QOR_UPDATE journal 1";

std::string BuildUpdateJournal(const std::vector<std::string>& files);

enum class JournalState {
    Complete,    // every line there: the moves may have begun
    Incomplete,  // cut off while it was written (or empty): nothing has moved
    Unusable,    // not a journal of ours, or naming a path outside the application folder
};

// Reads a journal's text; `files` receives the listed paths of a complete one.
JournalState ParseUpdateJournal(const std::string& text, std::vector<std::string>& files);

// True for a path that stays inside the folder it is relative to: not empty, no drive or
// leading separator, no "." or ".." part, no empty part, none of the characters Windows
// refuses in names.
bool IsSafeRelativePath(const std::string& path);

}  // namespace qor
