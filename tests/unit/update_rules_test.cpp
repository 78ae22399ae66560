// The update cycle's portable rules: log lines, version order, URL splitting, size and progress
// texts, the announced length and the edition code.
#include <gtest/gtest.h>

#include "core/text.h"
#include "core/update_rules.h"

namespace qor {
namespace {

TEST(UpdateLog, ThreeLinesGiveVersionNotesAndPackageLine) {
    const UpdateLogLines log = ParseUpdateLog("6.02\r\nA\r\nhttp://h/p.rar");
    EXPECT_EQ(log.version, "6.02");
    EXPECT_EQ(log.notes, "\r\nA\r\n");
    EXPECT_EQ(log.lastLine, "http://h/p.rar");
    EXPECT_TRUE(IsValidServerLog(log));
    EXPECT_FALSE(IsCompletedDownloadLog(log));

    const UpdateLogLines marked = ParseUpdateLog(std::string("6.02\r\nA\r\nhttp://h/p.rar") + kDownloadCompleteMarker);
    EXPECT_EQ(marked.lastLine, "http://h/p.rar  ! DOWNLOAD COMPLETE");
    EXPECT_TRUE(IsCompletedDownloadLog(marked));
}

TEST(UpdateLog, EdgeCasesOfTheLines) {
    // Two lines: notes of exactly CR LF.
    EXPECT_EQ(ParseUpdateLog("6.02\r\nhttp://h/p").notes, "\r\n");
    // A final CR LF leaves an empty last line: neither valid nor complete.
    const UpdateLogLines trailing = ParseUpdateLog("6.02\r\nhttp://h/p  ! DOWNLOAD COMPLETE\r\n");
    EXPECT_EQ(trailing.lastLine, "");
    EXPECT_FALSE(IsValidServerLog(trailing));
    EXPECT_FALSE(IsCompletedDownloadLog(trailing));
    // Small letters, an empty first line, a marker on another line: not complete.
    EXPECT_FALSE(IsCompletedDownloadLog(ParseUpdateLog("6.02\r\nu  ! download complete")));
    EXPECT_FALSE(IsCompletedDownloadLog(ParseUpdateLog("\r\nu  ! DOWNLOAD COMPLETE")));
    EXPECT_FALSE(IsCompletedDownloadLog(ParseUpdateLog("6.02\r\nx  ! DOWNLOAD COMPLETE\r\nu")));
    // A lone CR or LF is part of a line.
    EXPECT_EQ(ParseUpdateLog("6.02\nx\r\nu").version, "6.02\nx");
    // Empty and one-line logs are never usable, whatever they hold.
    for (const char* text : {"", "6.02", "6.02  ! DOWNLOAD COMPLETE"}) {
        const UpdateLogLines log = ParseUpdateLog(text);
        EXPECT_FALSE(IsValidServerLog(log)) << text;
        EXPECT_FALSE(IsCompletedDownloadLog(log)) << text;
        EXPECT_EQ(log.notes, "") << text;
    }
    // Only a version text makes a usable first line: a proxy's HTML page is no update.
    for (const char* version : {"6.02", "06.02", "6.02.01", "10.00"}) {
        EXPECT_TRUE(IsValidServerLog(ParseUpdateLog(std::string(version) + "\r\nhttp://h/p"))) << version;
        EXPECT_TRUE(IsCompletedDownloadLog(ParseUpdateLog(std::string(version) + "\r\nu  ! DOWNLOAD COMPLETE"))) << version;
    }
    for (const char* version : {"<html>", "6", "6.", ".02", "6..02", "6.02 ", " 6.02", "6,02", "v6.02", "６.02"}) {
        EXPECT_FALSE(IsValidServerLog(ParseUpdateLog(std::string(version) + "\r\nhttp://h/p"))) << version;
        EXPECT_FALSE(IsCompletedDownloadLog(ParseUpdateLog(std::string(version) + "\r\nu  ! DOWNLOAD COMPLETE"))) << version;
    }
    // Chinese notes keep their text.
    EXPECT_EQ(ParseUpdateLog("6.02\r\n修正了报表\r\n\r\nu").notes, "\r\n修正了报表\r\n\r\n");
}

TEST(VersionOrder, OneDigitMajorIsPaddedThenTextIsCompared) {
    EXPECT_TRUE(IsNewerVersion("6.02", "6.01"));
    EXPECT_TRUE(IsNewerVersion("10.00", "9.05"));
    EXPECT_TRUE(IsNewerVersion("6.1", "6.09"));
    EXPECT_TRUE(IsNewerVersion("6.01.02", "6.01"));
    EXPECT_TRUE(IsNewerVersion("6.02", "6.01.06"));
    EXPECT_FALSE(IsNewerVersion("6.01", "6.01"));
    EXPECT_FALSE(IsNewerVersion("6.01", "6.01.03"));
    EXPECT_FALSE(IsNewerVersion("9.05", "10.00"));
    // Anything sorts after the missing version "0.00"; an empty text is never newer.
    EXPECT_TRUE(IsNewerVersion("6.01", "0.00"));
    EXPECT_FALSE(IsNewerVersion("", "0.00"));
    // A text without "." is not padded.
    EXPECT_TRUE(IsNewerVersion("7", "10.00"));
}

TEST(Url, HostAndPath) {
    EXPECT_EQ(GetUrlHost("http://update.example.cn/QOR_BIZACC_UPDATE_LOG.txt"), "update.example.cn");
    EXPECT_EQ(GetUrlPath("http://update.example.cn/QOR_BIZACC_UPDATE_LOG.txt", "update.example.cn"),
              "/QOR_BIZACC_UPDATE_LOG.txt");
    EXPECT_EQ(GetUrlHost("http://127.0.0.1:8080/a/b.rar"), "127.0.0.1:8080");
    EXPECT_EQ(GetUrlHost("http://host"), "host");
    EXPECT_EQ(GetUrlPath("http://host", "host"), "");
    EXPECT_EQ(GetUrlHost(""), "");
    EXPECT_EQ(GetUrlHost("https://host/a"), "");
    EXPECT_EQ(GetUrlHost("host/a"), "");
    EXPECT_EQ(GetUrlHost("HTTP://host/a"), "");
    EXPECT_EQ(GetUrlPath("http://host/a", ""), "");
    EXPECT_EQ(GetUrlPath("http://host/a", "other"), "");
    // Everything after the first occurrence, a host repeated in the file name included.
    EXPECT_EQ(GetUrlPath("http://h/a/h/b", "h"), "/a/h/b");
    EXPECT_EQ(GetUrlPath("http://dl.x.cn/files/dl.x.cn_6.02.rar", "dl.x.cn"), "/files/dl.x.cn_6.02.rar");
    EXPECT_EQ(GetUrlPath("http://tp/a", "tp"), "/a");
}

TEST(Sizes, ByteKilobyteAndMegabyteTexts) {
    EXPECT_EQ(FormatByteSize(0), "0B");
    EXPECT_EQ(FormatByteSize(1023), "1023B");
    EXPECT_EQ(FormatByteSize(1024), "1KB");
    EXPECT_EQ(FormatByteSize(1536), "2KB");
    EXPECT_EQ(FormatByteSize(2560), "2KB");  // half to even
    EXPECT_EQ(FormatByteSize(3584), "4KB");
    EXPECT_EQ(FormatByteSize(1048575), "1024KB");
    EXPECT_EQ(FormatByteSize(1048576), "1.00M");
    EXPECT_EQ(FormatByteSize(1572864), "1.50M");
    EXPECT_EQ(FormatByteSize(2147483647), "2048.00M");
    // 1.125 MiB lies halfway between 1.12 and 1.13: to the even neighbour.
    EXPECT_EQ(FormatByteSize(1179648), "1.12M");
    EXPECT_EQ(FormatByteSize(1200291), "1.14M");  // 1.1447 rounds down
    EXPECT_EQ(FormatByteSize(-5), "-5B");
}

TEST(Progress, TextAndBar) {
    EXPECT_EQ(DownloadProgressText(1536, 3145728), "正在下载升级包： 2KB/3.00M    0%");
    EXPECT_EQ(DownloadProgressText(2048, 2048), "正在下载升级包： 2KB/2KB    100%");
    EXPECT_EQ(DownloadProgressText(10, 0), "正在下载升级包： 10B/0B    0%");
    EXPECT_EQ(ProgressBarWidth(6765, 50, 100), 3352);
    EXPECT_EQ(ProgressBarWidth(6765, 100, 100), 6705);
    EXPECT_EQ(ProgressBarWidth(6765, 10, 0), 0);
    EXPECT_EQ(ProgressBarWidth(6765, 200, 100), 6705);
}

TEST(ContentLength, LeadingNumberRounded) {
    EXPECT_EQ(ParseContentLength(" 12abc"), 12);
    EXPECT_EQ(ParseContentLength(""), 0);
    EXPECT_EQ(ParseContentLength("abc"), 0);
    EXPECT_EQ(ParseContentLength("2.5"), 2);
    EXPECT_EQ(ParseContentLength("3.5"), 4);
    EXPECT_EQ(ParseContentLength("2.51"), 3);
    EXPECT_EQ(ParseContentLength("-7"), -7);
    EXPECT_EQ(ParseContentLength("2147483647"), 2147483647);
    EXPECT_EQ(ParseContentLength("2147483648"), 0);
    EXPECT_EQ(ParseContentLength("99999999999999999999999"), 0);
    EXPECT_TRUE(IsAcceptedStatus("200"));
    EXPECT_TRUE(IsAcceptedStatus("206"));
    EXPECT_FALSE(IsAcceptedStatus("404"));
    EXPECT_FALSE(IsAcceptedStatus(""));
}

TEST(Resume, RecordValidatorAndContentRange) {
    const ResumeRecord record{"http://h/pkg/QOR_UPDATE.rar", "\"5f-1400000\"", 20971520};
    ResumeRecord read;
    ASSERT_TRUE(ParseResumeRecord(BuildResumeRecord(record), read));
    EXPECT_EQ(read.url, record.url);
    EXPECT_EQ(read.validator, record.validator);
    EXPECT_EQ(read.total, record.total);
    const std::string good = BuildResumeRecord(record);
    for (const std::string& bad :
         {std::string(), good.substr(0, good.size() - 2), "QOR_UPDATE download 2" + good.substr(21),
          ReplaceAll(good, "20971520", "0"), ReplaceAll(good, "20971520", "2147483648"),
          ReplaceAll(good, "20971520", "12x"), ReplaceAll(good, "\"5f-1400000\"", "W/\"5f\""),
          ReplaceAll(good, "\"5f-1400000\"", ""), ReplaceAll(good, "\"5f-1400000\"", "\"a\"\nInjected: 1"),
          good + "more\r\n"})
        EXPECT_FALSE(ParseResumeRecord(bad, read)) << bad;

    EXPECT_EQ(ResumeValidator("\"abc\"", "Tue, 01 Dec 2026 08:00:00 GMT"), "\"abc\"");
    EXPECT_EQ(ResumeValidator("W/\"abc\"", "Tue, 01 Dec 2026 08:00:00 GMT"), "Tue, 01 Dec 2026 08:00:00 GMT");
    EXPECT_EQ(ResumeValidator("W/\"abc\"", ""), "");
    EXPECT_EQ(ResumeValidator("abc", ""), "");  // not a quoted tag
    EXPECT_EQ(ResumeValidator("", "x\r\nSet: 1"), "");

    ContentRange range;
    ASSERT_TRUE(ParseContentRange("bytes 12582912-20971519/20971520", range));
    EXPECT_EQ(range.first, 12582912);
    EXPECT_EQ(range.last, 20971519);
    EXPECT_EQ(range.total, 20971520);
    for (const char* bad : {"", "bytes */100", "bytes 5-4/100", "bytes 0-100/100", "bytes 0-9/*", "items 0-9/10",
                            "bytes 0-9/10 x", "bytes -1-9/10", "bytes 0-9/99999999999"})
        EXPECT_FALSE(ParseContentRange(bad, range)) << bad;
}

TEST(Edition, SecondFieldOfTheLastMatchingName) {
    EXPECT_EQ(EditionCodeFromNames({"QOR.exe", "QOR_BIZACC_6.01", "UnRAR.exe"}), "BIZACC");
    EXPECT_EQ(EditionCodeFromNames({"qor_home_6.01.xls"}), "home");
    EXPECT_EQ(EditionCodeFromNames({"QOR_A_1", "QOR_UPDATE.exe", "QOR_B_2"}), "B");
    EXPECT_EQ(EditionCodeFromNames({"QOR.exe", "QOR_UPDATE.exe", "QOR_UPDATE.LOG"}), "");
    EXPECT_EQ(EditionCodeFromNames({}), "");
    EXPECT_EQ(ServerUpdateLogUrl("127.0.0.1", "BIZACC"), "http://127.0.0.1/QOR_BIZACC_UPDATE_LOG.txt");
    EXPECT_EQ(ServerUpdateLogUrl("h", ""), "http://h/QOR__UPDATE_LOG.txt");
}

}  // namespace
}  // namespace qor
