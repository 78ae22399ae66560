#include "core/log_signature.h"

#include <cstdio>
#include <vector>

#include "core/update_rules.h"

namespace qor {

const char* const kLogSignatureHeader = "QOR update log signature 1";

namespace {

const char* const kNewestLogHeader = "QOR_UPDATE newest log 1";

// The text split into lines at LF, a CR before the LF dropped; a final line end adds no line.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// The value after "name: " on the line; false when the line has another name.
bool Field(const std::string& line, const std::string& name, std::string& value) {
    const std::string prefix = name + ": ";
    if (line.compare(0, prefix.size(), prefix) != 0) return false;
    value = line.substr(prefix.size());
    return true;
}

bool ParseDecimal(const std::string& text, uint64_t& value) {
    // Up to 19 digits always fit; no sign, no leading zero (but "0" itself).
    if (text.empty() || text.size() > 19 || (text.size() > 1 && text[0] == '0')) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = y / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool IsLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

std::string FieldLines(const LogSignature& s, const char* end) {
    return std::string(kLogSignatureHeader) + end + "edition: " + s.edition + end +
           "package-sha256: " + HexText(s.packageSha256.data(), s.packageSha256.size()) + end +
           "package-size: " + std::to_string(s.packageSize) + end + "expires: " + FormatUtcTime(s.expires) + end;
}

}  // namespace

bool IsSignableEdition(const std::string& edition) {
    if (edition.empty() || edition.size() > 64) return false;
    for (char c : edition)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'))
            return false;
    return true;
}

std::string HexText(const uint8_t* bytes, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        text.push_back(digits[bytes[i] >> 4]);
        text.push_back(digits[bytes[i] & 15]);
    }
    return text;
}

bool ParseHexBytes(const std::string& text, uint8_t* bytes, size_t size) {
    if (text.size() != size * 2) return false;
    auto value = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < size; ++i) {
        const int high = value(text[2 * i]), low = value(text[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        bytes[i] = static_cast<uint8_t>(high * 16 + low);
    }
    return true;
}

bool ParseUtcTime(const std::string& text, int64_t& seconds) {
    // YYYY-MM-DDTHH:MM:SSZ
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z')
        return false;
    auto number = [&](size_t at, size_t count, int64_t& out) {
        out = 0;
        for (size_t i = at; i < at + count; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            out = out * 10 + (text[i] - '0');
        }
        return true;
    };
    int64_t y, mo, d, h, mi, s;
    if (!number(0, 4, y) || !number(5, 2, mo) || !number(8, 2, d) || !number(11, 2, h) || !number(14, 2, mi) ||
        !number(17, 2, s))
        return false;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1970 || mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59 || s > 59) return false;
    if (d > kDays[mo - 1] + (mo == 2 && IsLeap(y) ? 1 : 0)) return false;
    seconds = DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
    return true;
}

std::string FormatUtcTime(int64_t seconds) {
    if (seconds < 0) seconds = 0;
    int64_t days = seconds / 86400, rest = seconds % 86400;
    // Civil date from days since 1970-01-01.
    days += 719468;
    const int64_t era = days / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp + (mp < 10 ? 3 : -9);
    const int64_t y = yoe + era * 400 + (m <= 2);
    char text[96];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(y),
                  static_cast<long long>(m), static_cast<long long>(d), static_cast<long long>(rest / 3600),
                  static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
    return text;
}

bool ParseLogSignature(const std::string& text, LogSignature& signature) {
    const std::vector<std::string> lines = Lines(text);
    if (lines.size() != 6 || lines[0] != kLogSignatureHeader) return false;
    LogSignature s;
    std::string hash, size, expires, sig;
    if (!Field(lines[1], "edition", s.edition) || !IsSignableEdition(s.edition)) return false;
    if (!Field(lines[2], "package-sha256", hash) || !ParseHexBytes(hash, s.packageSha256.data(), s.packageSha256.size()))
        return false;
    if (!Field(lines[3], "package-size", size) || !ParseDecimal(size, s.packageSize)) return false;
    if (!Field(lines[4], "expires", expires) || !ParseUtcTime(expires, s.expires)) return false;
    if (!Field(lines[5], "signature", sig) || !ParseHexBytes(sig, s.signature.data(), s.signature.size())) return false;
    signature = s;
    return true;
}

std::string FormatLogSignature(const LogSignature& s) {
    return FieldLines(s, "\r\n") + "signature: " + HexText(s.signature.data(), s.signature.size()) + "\r\n";
}

std::string LogSignedBytes(const std::string& logBytes, const LogSignature& s) {
    return FieldLines(s, "\n") + "log-size: " + std::to_string(logBytes.size()) + "\n" + logBytes;
}

LogVerdict JudgeSignedLog(const LogSignature& signature, const std::string& edition, int64_t now,
                          const std::string& version, const std::string& newest, bool checkExpiry) {
    if (signature.edition != edition) return LogVerdict::OtherEdition;
    if (checkExpiry && now >= signature.expires) return LogVerdict::Expired;
    if (!newest.empty() && IsNewerVersion(newest, version)) return LogVerdict::Older;
    return LogVerdict::Accepted;
}

std::string FormatNewestLogRecord(const std::string& version) {
    return std::string(kNewestLogHeader) + "\r\n" + version + "\r\n";
}

bool ParseNewestLogRecord(const std::string& text, std::string& version) {
    const std::vector<std::string> lines = Lines(text);
    if (lines.size() != 2 || lines[0] != kNewestLogHeader || !IsVersionText(lines[1])) return false;
    version = lines[1];
    return true;
}

}  // namespace qor
