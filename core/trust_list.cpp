#include "core/trust_list.h"

#include "core/text.h"
#include "core/update_journal.h"

namespace qor {
namespace {

std::string Key(const std::string& path) {
    std::string key = path;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

bool IsDigest(const std::string& text) {
    if (text.size() != 64) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

}  // namespace

bool ParseTrustList(const std::string& text, TrustList& list) {
    list.clear();
    if (text.empty()) return true;
    if (!EndsWith(text, "\r\n")) return false;
    for (const std::string& line : Split(text.substr(0, text.size() - 2), "\r\n")) {
        if (line.size() < 67 || line.compare(64, 2, "  ") != 0) return list.clear(), false;
        const std::string digest = line.substr(0, 64), path = line.substr(66);
        if (!IsDigest(digest) || !IsSafeRelativePath(path)) return list.clear(), false;
        list[Key(path)] = digest;
    }
    return true;
}

std::string TrustListLine(const std::string& digest, const std::string& relativePath) {
    return digest + "  " + relativePath + "\r\n";
}

bool Vouches(const TrustList& list, const std::string& relativePath, const std::string& digest) {
    const auto found = list.find(Key(relativePath));
    return found != list.end() && found->second == digest;
}

}  // namespace qor
