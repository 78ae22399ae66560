// The downloader's sequence against a scripted HTTP server and in-memory files.
#include <gtest/gtest.h>

#include "tests/unit/fakes.h"
#include "tests/unit/update_fakes.h"
#include "updater/http/downloader.h"

namespace qor {
namespace {

using testing::FakeFileStore;
using testing::FakeHttp;
using testing::FakeWindow;

class Downloader : public ::testing::Test {
protected:
    void SetUp() override { files.AddFolder("C:\\QOR"); }
    bool Get(const std::string& url) { return DownloadFile(http, files, view, url, target, counters); }

    FakeHttp http;
    FakeFileStore files;
    FakeWindow view;
    TransferCounters counters;
    const std::string target = "C:\\QOR\\QOR_UPDATE.rar";
    const std::string temp = "C:\\QOR\\QOR_UPDATE.rar.temp";
};

TEST_F(Downloader, StoresTheWholeBodyAndSendsTheRequestAsSpecified) {
    std::string body;
    for (int i = 0; i < 3000; ++i) body.push_back(static_cast<char>(i * 7));
    http.Serve("/pkg/QOR_UPDATE.rar", body);
    files.AddFile(target, "old");
    ASSERT_TRUE(Get("http://127.0.0.1/pkg/QOR_UPDATE.rar"));
    EXPECT_EQ(files.files[target], body);
    EXPECT_FALSE(files.FileExists(temp));
    EXPECT_EQ(counters.received, 3000);
    EXPECT_EQ(counters.announced, 3000);
    EXPECT_EQ(http.calls, (std::vector<std::string>{"connected", "probe", "open http://127.0.0.1/pkg/QOR_UPDATE.rar",
                                                    "connect 127.0.0.1", "request /pkg/QOR_UPDATE.rar", "send", "close"}));
    EXPECT_EQ(http.headers, (std::vector<std::string>{"Accept: */*", "User-Agent: DownJet1.0", "Host: 127.0.0.1",
                                                      "Connection: close"}));
    EXPECT_EQ(http.reads, 3);  // 1024 + 1024 + 952, then the length is reached
    EXPECT_EQ(view.statuses.front(), "正在连接QOR服务器...");
    EXPECT_EQ(view.status, "正在下载升级包： 3KB/3KB    100%");
    EXPECT_EQ(view.barWidth, 6705);
}

TEST_F(Downloader, ProgressIsShownForFirstAndLastChunkAndAtMostEvery50Ms) {
    http.Serve("/x", std::string(20 * 1024, 'b'));
    ASSERT_TRUE(Get("http://h/x"));  // a clock that stands still: first and last chunk only
    EXPECT_EQ(view.statuses, (std::vector<std::string>{"正在连接QOR服务器...", "正在下载升级包： 1KB/20KB    5%",
                                                       "正在下载升级包： 20KB/20KB    100%"}));
    view = FakeWindow();
    view.clockStep = 50;  // every chunk comes 50 ms after the one before: each is shown
    ASSERT_TRUE(Get("http://h/x"));
    EXPECT_EQ(view.statuses.size(), 21u);

    // A body that breaks off still shows how far it came.
    view = FakeWindow();
    http.responses["/x"] = {"200", "30000", std::string(3000, 'x')};
    EXPECT_FALSE(Get("http://h/x"));
    EXPECT_EQ(view.status, "正在下载升级包： 3KB/29KB    10%");
}

TEST_F(Downloader, WindowMessagesAreHandledForFirstAndLastChunkAndAtMostEvery10Ms) {
    struct Case {
        const char* name;
        FakeHttp::Response response;
        int64_t clockStep;
        int pumps;  // while the body arrives
    } cases[] = {
        {"all chunks at one instant", {"200", "20480", std::string(20 * 1024, 'b')}, 0, 2},
        {"chunks 3 ms apart", {"200", "20480", std::string(20 * 1024, 'b')}, 3, 6},  // 3, 15, 27, 39, 51, 60 ms
        {"chunks 10 ms apart", {"200", "20480", std::string(20 * 1024, 'b')}, 10, 20},
        {"a single chunk", {"200", "700", std::string(700, 'b')}, 0, 1},
        {"a body that breaks off", {"200", "30000", std::string(3000, 'b')}, 0, 2},  // first, and after the end
    };
    for (const Case& c : cases) {
        http.responses["/x"] = c.response;
        view = FakeWindow();
        view.clockStep = c.clockStep;
        Get("http://h/x");
        // Three more come before the body: at the start, with the request and with its answer.
        EXPECT_EQ(view.pumps - 3, c.pumps) << c.name;
    }
}

TEST_F(Downloader, RefusedStatusLeavesEveryFileAsItWas) {
    files.AddFile(target, "old");
    files.AddFile(temp, "partial");
    http.responses["/x"] = {"404", "9", "not found"};
    EXPECT_FALSE(Get("http://h/x"));
    http.responses["/x"] = {"500", "", ""};
    EXPECT_FALSE(Get("http://h/x"));
    EXPECT_EQ(files.files[target], "old");
    EXPECT_EQ(files.files[temp], "partial");
    EXPECT_EQ(http.reads, 0);
    EXPECT_EQ(http.calls.back(), "close");
}

TEST_F(Downloader, CompleteTransfersReplaceTargetAndLeftoverTemporaryFile) {
    struct Case {
        const char* name;
        FakeHttp::Response response;
    } cases[] = {
        {"partial content status", {"206", "3", "abc"}},
        {"empty body of length 0", {"200", "0", ""}},
        {"fresh bytes", {"200", "5", "fresh"}},
    };
    for (const Case& c : cases) {
        files.AddFile(target, "old");
        files.AddFile(temp, "stale bytes of an earlier transfer");
        http.responses["/x"] = c.response;
        EXPECT_TRUE(Get("http://h/x")) << c.name;
        EXPECT_EQ(files.files.at(target), c.response.body) << c.name;
        EXPECT_FALSE(files.FileExists(temp)) << c.name;
    }
}

TEST_F(Downloader, BrokenTransfersEndFalseAndNeverTakeTheTargetName) {
    struct Case {
        const char* name;
        FakeHttp::Response response;
    } cases[] = {
        {"short body", {"200", "5000", std::string(3000, 'x')}},
        {"no Content-Length", {"200", "", std::string(3000, 'x')}},
        {"empty body without Content-Length", {"200", "", ""}},
        {"length 0 but a body", {"200", "0", "abc"}},
        {"longer than announced", {"200", "1000", std::string(3000, 'x')}},
        {"failed read", {"200", "3000", std::string(3000, 'x'), 2048}},
        {"negative length", {"200", "-1", "abc"}},
    };
    for (const Case& c : cases) {
        files.files.clear();
        files.AddFile(target, "old");
        http.responses["/x"] = c.response;
        http.reads = 0;
        EXPECT_FALSE(Get("http://h/x")) << c.name;
        EXPECT_FALSE(files.FileExists(target)) << c.name;  // the old target went when the body began
        EXPECT_TRUE(files.FileExists(temp)) << c.name;
        EXPECT_LE(http.reads, 5) << c.name;               // no endless reading of an exhausted body
    }
}

// A first transfer that breaks off after 3072 of 10000 bytes, then a second one after the
// server's side has been changed by the row.
TEST_F(Downloader, ABrokenOffTransferAsksForTheRestAndStartsAgainWhenThatIsNotWhatComes) {
    const std::string record = temp + ".id";
    std::string body, changed(8000, 'n');
    for (int i = 0; i < 10000; ++i) body.push_back(static_cast<char>(i * 13));
    struct Case {
        const char* name;
        std::string etag, lastModified;  // of the first answer
        std::function<void(FakeHttp&)> change;  // before the second transfer
        bool rangeAsked, completes;
        size_t bytesSent;  // by the second answer
        bool changedBody;  // the second answer carries `changed`
        bool recordLeft;   // after the second transfer
    } cases[] = {
        {"same file: only the rest", "\"e1\"", "", [](FakeHttp&) {}, true, true, 10000 - 3072, false, false},
        {"a date alone is the validator", "", "Tue, 01 Dec 2026 08:00:00 GMT", [](FakeHttp&) {}, true, true,
         10000 - 3072, false, false},
        {"a strong ETag before the date", "\"e1\"", "Tue, 01 Dec 2026 08:00:00 GMT", [](FakeHttp&) {}, true, true,
         10000 - 3072, false, false},
        {"changed file: from the first byte", "\"e1\"", "",
         [&](FakeHttp& h) { h.Serve("/x", changed, "\"e2\""); }, true, true, 8000, true, false},
        {"server without ranges: from the first byte", "\"e1\"", "", [](FakeHttp& h) { h.ranges = false; }, true,
         true, 10000, false, false},
        {"weak ETag, no date: no record, from the first byte", "W/\"e1\"", "", [](FakeHttp&) {}, false, true, 10000,
         false, false},
        {"no validator: no record, from the first byte", "", "", [](FakeHttp&) {}, false, true, 10000, false,
         false},
        {"206 of another range fails and drops the record", "\"e1\"", "",
         [](FakeHttp& h) {
             h.ranges = false;
             h.responses["/x"].status = "206";
             h.responses["/x"].contentRange = "bytes 0-9999/10000";
         },
         true, false, 0, false, false},
        {"206 of another whole length fails", "\"e1\"", "",
         [](FakeHttp& h) {
             h.ranges = false;
             h.responses["/x"] = {"206", "6928", std::string(6928, 'r'), std::string::npos, "\"e1\"", "",
                                  "bytes 3072-9999/12000"};
         },
         true, false, 0, false, false},
        {"another status fails, drops the record, keeps the bytes", "\"e1\"", "",
         [](FakeHttp& h) { h.responses["/x"].status = "500"; }, true, false, 0, false, false},
    };
    for (const Case& c : cases) {
        files.files.clear();
        http = FakeHttp();
        http.ranges = true;
        http.Serve("/x", body, c.etag);
        http.responses["/x"].lastModified = c.lastModified;
        http.responses["/x"].failReadAt = 3072;
        ASSERT_FALSE(Get("http://h/x")) << c.name;
        ASSERT_EQ(files.files[temp], body.substr(0, 3072)) << c.name;
        EXPECT_EQ(files.FileExists(record), c.rangeAsked) << c.name;

        http.responses["/x"].failReadAt = std::string::npos;
        c.change(http);
        http.headers.clear();
        http.bodyBytesSent = 0;
        EXPECT_EQ(Get("http://h/x"), c.completes) << c.name;
        const bool asked = std::find(http.headers.begin(), http.headers.end(), "Range: bytes=3072-") != http.headers.end();
        EXPECT_EQ(asked, c.rangeAsked) << c.name;
        EXPECT_EQ(http.bodyBytesSent, c.bytesSent) << c.name;
        EXPECT_EQ(files.FileExists(record), c.recordLeft) << c.name;
        if (c.completes) {
            EXPECT_EQ(files.files[target], c.changedBody ? changed : body) << c.name;
            EXPECT_FALSE(files.FileExists(temp)) << c.name;
        } else {
            EXPECT_EQ(files.files[temp], body.substr(0, 3072)) << c.name;  // for a fresh start next time
        }
    }
}

TEST_F(Downloader, TheRestIsAskedForWithTheValidatorAndShownAsPartOfTheWhole) {
    http.ranges = true;
    http.Serve("/x", std::string(10000, 'a'), "\"v7\"");
    http.responses["/x"].failReadAt = 4096;
    ASSERT_FALSE(Get("http://h/x"));
    EXPECT_EQ(files.files[temp + ".id"], "QOR_UPDATE download 1\r\nhttp://h/x\r\n\"v7\"\r\n10000\r\n");
    http.responses["/x"].failReadAt = std::string::npos;
    http.headers.clear();
    view = FakeWindow();
    ASSERT_TRUE(Get("http://h/x"));
    EXPECT_EQ(http.headers, (std::vector<std::string>{"Accept: */*", "User-Agent: DownJet1.0", "Host: h",
                                                      "Connection: close", "Range: bytes=4096-", "If-Range: \"v7\""}));
    EXPECT_EQ(counters.received, 10000);
    EXPECT_EQ(counters.announced, 10000);
    EXPECT_EQ(view.statuses[1], "正在下载升级包： 5KB/10KB    51%");  // 4096 + the first 1024
    EXPECT_EQ(view.status, "正在下载升级包： 10KB/10KB    100%");

    // A record of another URL, or one beside an empty temporary file, asks for nothing.
    for (const std::string& url : {std::string("http://h/other"), std::string("http://h/x")}) {
        files.files.clear();
        files.AddFile(temp, url == "http://h/x" ? "" : "abc");
        files.AddFile(temp + ".id", "QOR_UPDATE download 1\r\nhttp://h/x\r\n\"v7\"\r\n10000\r\n");
        http.Serve("/other", "abc");
        http.headers.clear();
        EXPECT_TRUE(Get(url)) << url;
        EXPECT_EQ(http.headers.size(), 4u) << url;
    }
}

TEST_F(Downloader, ADiskThatRunsFullEndsTheTransferAndFreesWhatItTook) {
    http.ranges = true;
    http.Serve("/x", std::string(300000, 'a'), "\"v1\"");
    files.AddFile(target, "old");
    files.bytesFree = 200000;
    EXPECT_FALSE(Get("http://h/x"));
    EXPECT_LT(http.reads, 300);  // ended at the first chunk that did not fit
    for (const std::string& left : {target, temp, temp + ".id"}) EXPECT_FALSE(files.FileExists(left)) << left;

    // Cut off by the network instead, the part stays for the next transfer to continue.
    files.bytesFree = SIZE_MAX;
    http.responses["/x"].failReadAt = 100 * 1024;
    EXPECT_FALSE(Get("http://h/x"));
    EXPECT_EQ(files.files[temp].size(), 100u * 1024);
    EXPECT_TRUE(files.FileExists(temp + ".id"));
}

TEST_F(Downloader, NothingIsOpenedWithoutUrlConnectionOrReachableNetwork) {
    EXPECT_FALSE(Get(""));
    EXPECT_TRUE(http.calls.empty());
    EXPECT_FALSE(DownloadFile(http, files, view, "http://h/x", "", counters));
    EXPECT_TRUE(http.calls.empty());

    http.connected = false;
    EXPECT_FALSE(Get("http://h/x"));
    EXPECT_EQ(http.calls, (std::vector<std::string>{"connected"}));
    http.connected = true;
    http.reachable = false;
    http.calls.clear();
    EXPECT_FALSE(Get("http://h/x"));
    EXPECT_EQ(http.calls, (std::vector<std::string>{"connected", "probe"}));

    // A URL without the scheme connects to no host.
    http.reachable = true;
    http.calls.clear();
    http.Serve("", "abc");
    EXPECT_FALSE(Get("h/x"));
    EXPECT_EQ(http.calls[3], "connect ");
    EXPECT_FALSE(files.FileExists(target));
}

TEST_F(Downloader, FailedStepsStillCloseTheHandles) {
    http.Serve("/x", "abc");
    for (bool* flag : {&http.opens, &http.connects, &http.sends}) {
        *flag = false;
        http.calls.clear();
        EXPECT_FALSE(Get("http://h/x"));
        EXPECT_EQ(http.calls.back(), "close");
        *flag = true;
    }
    EXPECT_FALSE(files.FileExists(target));
}

}  // namespace
}  // namespace qor
