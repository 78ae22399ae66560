#include "core/process_rules.h"

#include <cstdint>

namespace qor {

std::string BareProgramFile(const std::string& commandLine) {
    const size_t start = commandLine.find_first_not_of(" \t");
    if (start == std::string::npos) return std::string();
    std::string token;
    if (commandLine[start] == '"') {
        const size_t close = commandLine.find('"', start + 1);
        token = commandLine.substr(start + 1, close == std::string::npos ? std::string::npos : close - start - 1);
    } else {
        token = commandLine.substr(start, commandLine.find_first_of(" \t", start) - start);
    }
    if (token.empty() || token == "." || token == ".." || token.find_first_of("\\/:") != std::string::npos)
        return std::string();
    if (token.find('.') == std::string::npos) token += ".exe";
    return token;
}

std::string InstanceLockName(const std::string& tag, const std::string& programPath) {
    std::string name = "Local\\QOR." + tag;
    if (programPath.empty()) return name;
    uint64_t hash = 14695981039346656037ull;  // FNV-1a, 64 bits
    for (char c : programPath) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    static const char kDigits[] = "0123456789abcdef";
    name += '.';
    for (int shift = 60; shift >= 0; shift -= 4) name += kDigits[(hash >> shift) & 0xF];
    return name;
}

}  // namespace qor
