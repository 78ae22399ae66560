// The update log's signature file, the time texts it carries and the newest-log record.
#include <gtest/gtest.h>

#include "core/log_signature.h"

namespace qor {
namespace {

LogSignature Sample() {
    LogSignature s;
    s.edition = "BIZACC";
    for (size_t i = 0; i < s.packageSha256.size(); ++i) s.packageSha256[i] = static_cast<uint8_t>(i);
    s.packageSize = 1234567;
    ParseUtcTime("2025-12-31T23:59:59Z", s.expires);
    for (size_t i = 0; i < s.signature.size(); ++i) s.signature[i] = static_cast<uint8_t>(0xa0 + i);
    return s;
}

TEST(LogSignature, FileIsWrittenAndReadBack) {
    const std::string text = FormatLogSignature(Sample());
    EXPECT_EQ(text.substr(0, text.find("signature: ")),
              "QOR update log signature 1\r\nedition: BIZACC\r\n"
              "package-sha256: 000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f\r\n"
              "package-size: 1234567\r\nexpires: 2025-12-31T23:59:59Z\r\n");
    LogSignature back;
    ASSERT_TRUE(ParseLogSignature(text, back));
    EXPECT_EQ(FormatLogSignature(back), text);
    // LF line ends and no final line end read the same.
    std::string lf = text;
    for (size_t at; (at = lf.find('\r')) != std::string::npos;) lf.erase(at, 1);
    lf.pop_back();
    ASSERT_TRUE(ParseLogSignature(lf, back));
    EXPECT_EQ(FormatLogSignature(back), text);
}

TEST(LogSignature, AnythingOutOfFormIsRefused) {
    const std::string good = FormatLogSignature(Sample());
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    const std::string rows[] = {
        "",
        replaced("signature 1", "signature 2"),
        replaced("edition: BIZACC", "edition: "),
        replaced("edition: BIZACC", "edition: BIZ ACC"),
        replaced("edition: BIZACC", "edition: 财务"),
        replaced("package-sha256: 00", "package-sha256: 0"),
        replaced("package-sha256: 00", "package-sha256: 0g"),
        replaced("1234567", "-1"),
        replaced("1234567", "01234567"),
        replaced("1234567", "99999999999999999999"),
        replaced("2025-12-31T23:59:59Z", "2025-12-31 23:59:59"),
        replaced("2025-12-31", "2025-02-29"),
        replaced("signature: a0", "signature: a"),
        replaced("edition: BIZACC\r\n", ""),
        good + "extra\r\n",
        good + "\r\n",
        replaced("expires:", "expires :"),
    };
    LogSignature s;
    for (const std::string& text : rows) EXPECT_FALSE(ParseLogSignature(text, s)) << text;
}

// Every field and every byte of the log changes what is signed; the fields cannot run into the log.
TEST(LogSignature, SignedBytesCoverEveryFieldAndTheLog) {
    const LogSignature s = Sample();
    const std::string base = LogSignedBytes("6.02\r\nA\r\nhttp://h/p", s);
    EXPECT_EQ(base.substr(base.find("log-size")), "log-size: 19\n6.02\r\nA\r\nhttp://h/p");
    std::vector<LogSignature> changed(5, s);
    changed[0].edition = "PROACC";
    changed[1].packageSha256[31] ^= 1;
    changed[2].packageSize += 1;
    changed[3].expires += 1;
    changed[4].signature[0] ^= 1;  // the signature itself is not part of what it signs
    for (size_t i = 0; i < 4; ++i) EXPECT_NE(LogSignedBytes("6.02\r\nA\r\nhttp://h/p", changed[i]), base) << i;
    EXPECT_EQ(LogSignedBytes("6.02\r\nA\r\nhttp://h/p", changed[4]), base);
    EXPECT_NE(LogSignedBytes("6.03\r\nA\r\nhttp://h/p", s), base);
}

TEST(LogSignature, UtcTimes) {
    const std::pair<const char*, int64_t> rows[] = {
        {"1970-01-01T00:00:00Z", 0},
        {"2000-02-29T12:00:00Z", 951825600},
        {"2025-06-15T08:26:40Z", 1749976000},
        {"2038-01-19T03:14:08Z", 2147483648LL},
    };
    for (const auto& [text, seconds] : rows) {
        int64_t got = -1;
        EXPECT_TRUE(ParseUtcTime(text, got)) << text;
        EXPECT_EQ(got, seconds) << text;
        EXPECT_EQ(FormatUtcTime(seconds), text);
    }
    int64_t t;
    for (const char* bad : {"1969-12-31T23:59:59Z", "2023-02-29T00:00:00Z", "2025-13-01T00:00:00Z",
                            "2025-06-15T24:00:00Z", "2025-06-15T08:26:40", "2025-06-15T08:26:40+08"})
        EXPECT_FALSE(ParseUtcTime(bad, t)) << bad;
}

TEST(LogSignature, Judgement) {
    const LogSignature s = Sample();
    const int64_t before = s.expires - 1;
    EXPECT_EQ(JudgeSignedLog(s, "BIZACC", before, "6.02", "", true), LogVerdict::Accepted);
    EXPECT_EQ(JudgeSignedLog(s, "BIZACC", before, "6.02", "6.02", true), LogVerdict::Accepted);
    EXPECT_EQ(JudgeSignedLog(s, "PROACC", before, "6.02", "", true), LogVerdict::OtherEdition);
    EXPECT_EQ(JudgeSignedLog(s, "BIZACC", s.expires, "6.02", "", true), LogVerdict::Expired);
    EXPECT_EQ(JudgeSignedLog(s, "BIZACC", s.expires, "6.02", "", false), LogVerdict::Accepted);
    EXPECT_EQ(JudgeSignedLog(s, "BIZACC", before, "6.02", "6.1", true), LogVerdict::Older);
}

TEST(LogSignature, NewestLogRecord) {
    std::string v;
    ASSERT_TRUE(ParseNewestLogRecord(FormatNewestLogRecord("6.02"), v));
    EXPECT_EQ(v, "6.02");
    for (const char* bad : {"", "QOR_UPDATE newest log 1\r\n", "QOR_UPDATE newest log 1\r\n<html>\r\n",
                            "QOR_UPDATE newest log 2\r\n6.02\r\n", "QOR_UPDATE newest log 1\r\n6.02\r\nx\r\n"})
        EXPECT_FALSE(ParseNewestLogRecord(bad, v)) << bad;
}

}  // namespace
}  // namespace qor
