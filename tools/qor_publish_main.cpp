// qor_publish VERSION NOTES URL OUTPUT: writes the update log that the vendor's server publishes
// for an edition (build machine only): the version line, the release notes taken from a UTF-8
// text file, and the package URL, in GBK (the target machines' ANSI code page), lines joined by
// CR LF with none after the last. The updater reads exactly this form.
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "core/release_rules.h"
#include "core/update_rules.h"
#include "core/text.h"

namespace {

const char kUsage[] =
    "usage: qor_publish VERSION NOTES URL OUTPUT\n"
    "  VERSION  the update's version, digits and dots (for example 6.02)\n"
    "  NOTES    a UTF-8 text file with the release notes shown to the user (may be empty)\n"
    "  URL      the package's address, http://host/path\n"
    "  OUTPUT   the update log to write (GBK, CR LF)\n";

int Fail(const std::string& message) {
    std::cerr << "qor_publish: " << message << "\n";
    return 1;
}

// UTF-8 to the ANSI code page 936; false at the first character it cannot hold (its byte
// offset in `failedAt`).
bool ToCodePage936(const std::string& text, std::string& out, size_t& failedAt) {
    iconv_t cd = iconv_open("CP936", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("GBK", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        failedAt = 0;
        return false;
    }
    std::string in = text;
    char* src = in.data();
    size_t srcLeft = in.size();
    out.assign(in.size() * 2 + 16, '\0');
    char* dst = out.data();
    size_t dstLeft = out.size();
    const size_t result = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (result == static_cast<size_t>(-1) || srcLeft != 0) {
        failedAt = in.size() - srcLeft;
        return false;
    }
    out.resize(out.size() - dstLeft);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << kUsage;
        return 1;
    }
    const std::string version = argv[1], notesPath = argv[2], url = argv[3], output = argv[4];
    if (!qor::IsVersionText(version))
        return Fail("the version must be digits and dots, such as 6.02: \"" + version + "\"");
    if (url.empty()) return Fail("the package URL is empty");
    if (!qor::StartsWith(url, "http://") || url.size() == 7 ||
        url.find_first_of(" \t\r\n") != std::string::npos)
        return Fail("the package URL must be an address http://host/path without blanks: \"" + url + "\"");
    std::ifstream notesFile(notesPath, std::ios::binary);
    if (!notesFile) return Fail("release notes cannot be read: " + notesPath);
    const std::string notes((std::istreambuf_iterator<char>(notesFile)), std::istreambuf_iterator<char>());

    const std::string log = qor::ComposeUpdateLog(version, notes, url);
    std::string bytes;
    size_t failedAt = 0;
    if (!ToCodePage936(log, bytes, failedAt)) {
        // Name the line of the notes file that holds the character.
        const std::string before = log.substr(0, failedAt);
        size_t line = 0;
        for (size_t at = 0; (at = before.find("\r\n", at)) != std::string::npos; at += 2) ++line;
        return Fail("the release notes hold a character that GBK cannot hold (or text that is not UTF-8), in line " +
                    std::to_string(line) + " of " + notesPath);
    }
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out.flush()) {
        out.close();
        std::remove(output.c_str());
        return Fail("the update log cannot be written: " + output);
    }
    return 0;
}
