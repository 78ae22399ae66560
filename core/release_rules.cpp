#include "core/release_rules.h"

#include "core/text.h"

namespace qor {

std::string ComposeUpdateLog(const std::string& version, const std::string& notes, const std::string& url) {
    std::string body = StartsWith(notes, "\xEF\xBB\xBF") ? notes.substr(3) : notes;
    std::string log = version;
    for (const std::string& line : SplitLines(body)) log += "\r\n" + line;
    return log + "\r\n" + url;
}

}  // namespace qor
