#include "core/update_rules.h"

#include <cctype>

#include "core/text.h"
#include "core/wildcard.h"

namespace qor {
namespace {

// numerator ÷ denominator rounded to a whole number, halves to the even neighbour
// (denominator > 0).
int64_t DivideRoundHalfEven(int64_t numerator, int64_t denominator) {
    int64_t q = numerator / denominator;
    int64_t r = numerator % denominator;
    if (r < 0) {  // floor division, so that the remainder is never negative
        q -= 1;
        r += denominator;
    }
    if (2 * r > denominator || (2 * r == denominator && (q % 2 != 0))) ++q;
    return q;
}

std::u16string PaddedVersion(const std::string& version) {
    std::u16string text = Utf8ToUtf16(version);
    if (text.find(u'.') == 1) text.insert(text.begin(), u'0');
    return text;
}

}  // namespace

UpdateLogLines ParseUpdateLog(const std::string& text) {
    UpdateLogLines log;
    const std::vector<std::string> pieces = Split(text, "\r\n");
    log.lineCount = static_cast<int>(pieces.size());
    log.version = pieces.front();
    log.lastLine = pieces.back();
    if (pieces.size() >= 2) {
        log.notes = text.substr(log.version.size(), text.size() - log.version.size() - log.lastLine.size());
    }
    return log;
}

bool IsVersionText(const std::string& text) {
    const std::vector<std::string> runs = Split(text, ".");
    if (runs.size() < 2) return false;
    for (const std::string& run : runs) {
        if (run.empty()) return false;
        for (char c : run)
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

bool IsValidServerLog(const UpdateLogLines& log) {
    return log.lineCount >= 2 && IsVersionText(log.version) && !log.lastLine.empty();
}

bool IsCompletedDownloadLog(const UpdateLogLines& log) {
    return log.lineCount >= 2 && IsVersionText(log.version) && WildcardMatch(log.lastLine, "*DOWNLOAD COMPLETE*");
}

bool IsNewerVersion(const std::string& candidate, const std::string& reference) {
    return PaddedVersion(candidate) > PaddedVersion(reference);
}

std::string GetUrlHost(const std::string& url) {
    const std::string scheme = "http://";
    const size_t at = url.find(scheme);
    if (url.empty() || at == std::string::npos) return std::string();
    std::string rest = url.substr(at + scheme.size());
    // Only the piece up to a further "http://" belongs to the first one.
    const size_t next = rest.find(scheme);
    if (next != std::string::npos) rest.resize(next);
    return rest.substr(0, rest.find('/'));
}

std::string GetUrlPath(const std::string& url, const std::string& host) {
    if (host.empty()) return std::string();
    // The host is looked for after the scheme, so that a host text that also occurs in
    // "http://" itself (such as "h") is not found there.
    const size_t scheme = url.find("http://");
    const size_t at = url.find(host, scheme == std::string::npos ? 0 : scheme + 7);
    if (at == std::string::npos) return std::string();
    // A file name may repeat the host ("/files/dl.x.cn_6.02.rar"): the path runs to the end.
    return url.substr(at + host.size());
}

std::string FormatByteSize(int32_t count) {
    if (count < 1024) return std::to_string(count) + "B";
    if (count > 1048575) {
        const int64_t hundredths = DivideRoundHalfEven(static_cast<int64_t>(count) * 100, 1048576);
        return std::to_string(hundredths / 100) + "." + PadNumber(static_cast<long>(hundredths % 100), 2) + "M";
    }
    return std::to_string(DivideRoundHalfEven(count, 1024)) + "KB";
}

std::string DownloadProgressText(int32_t received, int32_t announced) {
    int64_t percent = 0;
    if (announced > 0) percent = DivideRoundHalfEven(static_cast<int64_t>(received) * 100, announced);
    return "正在下载升级包： " + FormatByteSize(received) + "/" + FormatByteSize(announced) + "    " +
           std::to_string(percent) + "%";
}

int ProgressBarWidth(int statusWidth, int32_t received, int32_t announced) {
    if (announced <= 0 || statusWidth <= 60) return 0;
    int64_t width = static_cast<int64_t>(statusWidth - 60) * received / announced;
    if (width < 0) width = 0;
    if (width > statusWidth - 60) width = statusWidth - 60;
    return static_cast<int>(width);
}

int32_t ParseContentLength(const std::string& value) {
    size_t i = 0;
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
    // Whole part and the fraction's first digits, as far as they decide the rounding.
    int64_t whole = 0;
    bool digits = false;
    for (; i < value.size() && std::isdigit(static_cast<unsigned char>(value[i])); ++i) {
        digits = true;
        whole = whole * 10 + (value[i] - '0');
        if (whole > 0x7FFFFFFFLL + 1) return 0;
    }
    if (i < value.size() && value[i] == '.') {
        ++i;
        std::string fraction;
        for (; i < value.size() && std::isdigit(static_cast<unsigned char>(value[i])); ++i) fraction += value[i];
        if (!fraction.empty()) {
            digits = true;
            const bool overHalf = fraction[0] > '5' || (fraction[0] == '5' && fraction.find_first_not_of('0', 1) != std::string::npos);
            const bool half = fraction[0] == '5' && !overHalf;
            if (overHalf || (half && whole % 2 != 0)) ++whole;
        }
    }
    if (!digits) return 0;
    if (negative) whole = -whole;
    if (whole > 0x7FFFFFFFLL || whole < -0x80000000LL) return 0;
    return static_cast<int32_t>(whole);
}

bool IsAcceptedStatus(const std::string& status) { return status == "200" || status == "206"; }

namespace {

const char* const kResumeRecordHeader = "QOR_UPDATE download 1";

bool HasControlCharacter(const std::string& text) {
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F) return true;
    return false;
}

// A run of decimal digits that fits a signed 32-bit number, read from `at` on.
bool ReadDecimal(const std::string& text, size_t& at, int32_t& value) {
    const size_t start = at;
    int64_t n = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        n = n * 10 + (text[at] - '0');
        if (n > INT32_MAX) return false;
    }
    value = static_cast<int32_t>(n);
    return at > start;
}

}  // namespace

std::string BuildResumeRecord(const ResumeRecord& record) {
    return std::string(kResumeRecordHeader) + "\r\n" + record.url + "\r\n" + record.validator + "\r\n" +
           std::to_string(record.total) + "\r\n";
}

bool ParseResumeRecord(const std::string& text, ResumeRecord& record) {
    const std::vector<std::string> lines = Split(text, "\r\n");
    if (lines.size() != 5 || lines[0] != kResumeRecordHeader || !lines[4].empty()) return false;
    if (lines[1].empty() || HasControlCharacter(lines[1])) return false;
    if (lines[2].empty() || HasControlCharacter(lines[2]) || StartsWith(lines[2], "W/")) return false;
    size_t at = 0;
    int32_t total = 0;
    if (!ReadDecimal(lines[3], at, total) || at != lines[3].size() || total <= 0) return false;
    record = ResumeRecord{lines[1], lines[2], total};
    return true;
}

std::string ResumeValidator(const std::string& etag, const std::string& lastModified) {
    const std::string tag = TrimSpaces(etag);
    if (tag.size() >= 2 && tag.front() == '"' && tag.back() == '"' && !HasControlCharacter(tag)) return tag;
    const std::string date = TrimSpaces(lastModified);
    if (!date.empty() && !HasControlCharacter(date)) return date;
    return std::string();
}

bool ParseContentRange(const std::string& value, ContentRange& range) {
    const std::string text = TrimSpaces(value);
    if (!StartsWith(text, "bytes ")) return false;
    size_t at = 6;
    ContentRange r;
    if (!ReadDecimal(text, at, r.first) || at >= text.size() || text[at++] != '-') return false;
    if (!ReadDecimal(text, at, r.last) || at >= text.size() || text[at++] != '/') return false;
    if (!ReadDecimal(text, at, r.total) || at != text.size()) return false;
    if (r.first > r.last || r.last >= r.total) return false;
    range = r;
    return true;
}

std::string EditionCodeFromNames(const std::vector<std::string>& fileNames) {
    std::string edition;
    for (const std::string& name : fileNames) {
        std::string upper = name;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (!WildcardMatch(upper, "QOR_*_*")) continue;
        edition = Split(name, "_")[1];
    }
    return edition;
}

std::string ServerUpdateLogUrl(const std::string& host, const std::string& edition) {
    return "http://" + host + "/QOR_" + edition + "_UPDATE_LOG.txt";
}

}  // namespace qor
