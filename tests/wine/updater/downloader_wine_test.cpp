// The real WinINet downloader against the update-server stand-in on a loopback address, port 80.
#include <gtest/gtest.h>

#include "platform/win32/file_store_win32.h"
#include "platform/win32/http_session_win32.h"
#include "updater/http/downloader.h"
#include "wine/http_standin_support.h"
#include "wine/wine_test_support.h"

namespace qor {
namespace {

using test::ReadBytes;
using test::IsFile;

// Records what the transfer shows.
class RecordingView : public DownloadView {
public:
    std::string status;
    int bar = -1;
    void ShowStatus(const std::string& text) override { status = text; }
    int StatusWidth() override { return 6765; }
    void ShowProgressWidth(int twips) override { bar = twips; }
    void PumpMessages() override {}
};

class WinInetDownloader : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.ready()) << "the server stand-in did not start listening on port 80";
        ASSERT_FALSE(folder.path().empty());
    }
    bool Get(const std::string& url) {
        win32::WinInetSession http("localhost", 3000);
        return DownloadFile(http, files, view, url, target, counters);
    }
    static std::string Bytes(size_t n) {
        std::string bytes;
        for (size_t i = 0; i < n; ++i) bytes.push_back(static_cast<char>((i * 131 + i / 7) & 0xFF));
        return bytes;
    }

    test::HttpStandin server{QOR_TEST_HTTP_SERVER_EXE};
    test::ScratchFolder folder{"qor-download"};
    win32::Win32FileStore files;
    RecordingView view;
    TransferCounters counters;
    const std::string target = folder / "QOR_UPDATE.rar";
    const std::string temp = folder / "QOR_UPDATE.rar.temp";
};

TEST_F(WinInetDownloader, FetchesByteForByteWithTheRequestAsSpecified) {
    const std::string body = Bytes(300 * 1024 + 17);
    server.Serve("/pkg/QOR_UPDATE.rar", body);
    ASSERT_TRUE(Get(server.Url("/pkg/QOR_UPDATE.rar")));
    EXPECT_TRUE(ReadBytes(target) == body);
    EXPECT_FALSE(IsFile(temp));
    EXPECT_EQ(counters.received, static_cast<int32_t>(body.size()));
    EXPECT_EQ(view.status, "正在下载升级包： 300KB/300KB    100%");
    EXPECT_EQ(view.bar, 6705);
    EXPECT_EQ(server.Requests(),
              "GET /pkg/QOR_UPDATE.rar HTTP/1.1\r\n"
              "Accept: */*\r\n"
              "User-Agent: DownJet1.0\r\n"
              "Host: " + server.address() + "\r\n"
              "Connection: close\r\n"
              "\r\n");
}

TEST_F(WinInetDownloader, RefusedStatusKeepsTheOldTarget) {
    test::WriteBytes(target, "old package");
    server.Serve("/a.rar", "new", "404");
    EXPECT_FALSE(Get(server.Url("/a.rar")));
    server.Serve("/a.rar", "new", "500");
    EXPECT_FALSE(Get(server.Url("/a.rar")));
    EXPECT_FALSE(Get(server.Url("/missing.rar")));
    EXPECT_EQ(ReadBytes(target), "old package");
    EXPECT_FALSE(IsFile(temp));
}

TEST_F(WinInetDownloader, PartialContentEmptyBodyLeftoverTemporaryFileAndSchemelessUrl) {
    test::WriteBytes(temp, std::string(5000, 'z'));  // a leftover is replaced from the first byte
    server.Serve("/a.rar", "whole body", "206");
    EXPECT_TRUE(Get(server.Url("/a.rar")));
    EXPECT_EQ(ReadBytes(target), "whole body");
    EXPECT_FALSE(IsFile(temp));

    server.Serve("/empty.rar", "");
    EXPECT_TRUE(Get(server.Url("/empty.rar")));
    bool ok = false;
    EXPECT_EQ(ReadBytes(target, &ok), "");
    EXPECT_TRUE(ok);
    // The same empty body without a Content-Length is a transfer that broke off.
    server.Serve("/empty.rar", "", "nolength");
    EXPECT_FALSE(Get(server.Url("/empty.rar")));
    EXPECT_FALSE(IsFile(target));

    DeleteFileW(win32::Wide(target).c_str());
    const std::string before = server.Requests();
    EXPECT_FALSE(Get(server.address() + "/a.rar"));
    EXPECT_FALSE(IsFile(target));
    EXPECT_EQ(server.Requests(), before);
}

TEST_F(WinInetDownloader, MisbehavingServerNeverHangsNorLeavesAPartialPackage) {
    const std::string body = Bytes(20000);
    for (const char* mode : {"short", "nolength", "stall"}) {
        test::WriteBytes(target, "old package");
        server.Serve("/a.rar", body, mode);
        EXPECT_FALSE(Get(server.Url("/a.rar"))) << mode;
        EXPECT_FALSE(IsFile(target)) << mode;
        EXPECT_TRUE(IsFile(temp)) << mode;
        EXPECT_LE(ReadBytes(temp).size(), body.size()) << mode;
    }
}

TEST(ReachabilityProbe, ResolvesLoopbackButNoUnknownName) {
    EXPECT_TRUE(win32::IsInternetReachable("localhost"));
    EXPECT_FALSE(win32::IsInternetReachable("no-such-host.invalid"));
}

}  // namespace
}  // namespace qor
