#include "core/release_rules.h"

#include "core/text.h"

namespace qor {

bool IsVersionText(const std::string& text) {
    int groups = 0;
    bool inGroup = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            if (!inGroup) ++groups;
            inGroup = true;
        } else if (c == '.' && inGroup) {
            inGroup = false;
        } else {
            return false;
        }
    }
    return inGroup && groups >= 2;
}

std::string ComposeUpdateLog(const std::string& version, const std::string& notes, const std::string& url) {
    std::string body = StartsWith(notes, "\xEF\xBB\xBF") ? notes.substr(3) : notes;
    std::string log = version;
    for (const std::string& line : SplitLines(body)) log += "\r\n" + line;
    return log + "\r\n" + url;
}

}  // namespace qor
