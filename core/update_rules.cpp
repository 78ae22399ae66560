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
