#include "core/update_journal.h"

#include "core/text.h"

namespace qor {

std::string BuildUpdateJournal(const std::vector<std::string>& files) {
    std::string text = std::string(kUpdateJournalHeader) + "\r\n";
    for (const std::string& f : files) text += f + "\r\n";
    return text + "END\r\n";
}

bool IsSafeRelativePath(const std::string& path) {
    if (path.empty() || path.size() > 1024) return false;
    for (const std::string& part : Split(path, "\\")) {
        if (part.empty() || part == "." || part == "..") return false;
        for (unsigned char c : part)
            if (c < 0x20 || std::string("/:*?\"<>|").find(static_cast<char>(c)) != std::string::npos) return false;
    }
    return true;
}

JournalState ParseUpdateJournal(const std::string& text, std::vector<std::string>& files) {
    files.clear();
    // Only whole lines count: a cut may end the text anywhere.
    const size_t end = text.rfind("\r\n");
    if (end == std::string::npos) {
        // Not one whole line yet: a cut while the header was written, or something else.
        const std::string header = kUpdateJournalHeader;
        const bool begun = text.size() <= header.size() + 1 && StartsWith(header + "\r", text);
        return begun ? JournalState::Incomplete : JournalState::Unusable;
    }
    const std::vector<std::string> lines = Split(text.substr(0, end), "\r\n");
    if (lines.front() != kUpdateJournalHeader) return JournalState::Unusable;
    std::vector<std::string> listed;
    for (size_t i = 1; i < lines.size(); ++i) {
        if (lines[i] == "END") {
            if (i + 1 != lines.size() || end + 2 != text.size()) return JournalState::Unusable;
            files = listed;
            return JournalState::Complete;
        }
        if (!IsSafeRelativePath(lines[i])) return JournalState::Unusable;
        listed.push_back(lines[i]);
    }
    return JournalState::Incomplete;
}

}  // namespace qor
