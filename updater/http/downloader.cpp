#include "updater/http/downloader.h"

#include <chrono>
#include <cstdint>

#include "core/update_rules.h"

namespace qor {
namespace {

constexpr size_t kStoreRunSize = 64 * 1024;

}  // namespace

int64_t DownloadView::NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool DownloadFile(HttpSession& http, FileStore& files, DownloadView& view, const std::string& url,
                  const std::string& target, TransferCounters& counters) {
    bool result = false;
    counters = TransferCounters{};
    view.PumpMessages();
    if (url.empty() || target.empty()) return false;

    view.ShowStatus(kConnectingStatus);
    if (!http.IsConnected()) return false;
    if (!http.IsInternetReachable()) return false;

    if (http.Open(url)) {
        const std::string host = GetUrlHost(url);
        if (http.Connect(host) && http.OpenRequest(GetUrlPath(url, host))) {
            view.PumpMessages();
            http.AddHeader("Accept: */*");
            http.AddHeader("User-Agent: DownJet1.0");
            http.AddHeader("Host: " + host);
            http.AddHeader("Connection: close");
            if (http.Send()) {
                view.PumpMessages();
                const std::string length = http.QueryInfo(HttpInfo::ContentLength);
                counters.announced = ParseContentLength(length);
                if (IsAcceptedStatus(http.QueryInfo(HttpInfo::StatusCode))) {
                    const std::string temporary = target + ".temp";
                    if (files.FileExists(target)) files.RemoveFile(target);
                    if (files.FileExists(temporary)) files.RemoveFile(temporary);
                    bool stored = files.WriteBytes(temporary, std::string(), false);
                    char buffer[kDownloadReadSize];
                    // Received chunks are stored in order at the offset they belong to; they are
                    // handed to the file in runs of up to 64 KB, and whatever is pending is
                    // stored before the loop is left, however it ends.
                    std::string pending;
                    bool progressShown = true;
                    int64_t lastShown = 0;
                    auto showProgress = [&] {
                        view.ShowStatus(DownloadProgressText(counters.received, counters.announced));
                        view.ShowProgressWidth(ProgressBarWidth(view.StatusWidth(), counters.received, counters.announced));
                        progressShown = true;
                        lastShown = view.NowMs();
                    };
                    auto flush = [&] {
                        if (!pending.empty() && stored) stored = files.WriteBytes(temporary, pending, true);
                        pending.clear();
                        return stored;
                    };
                    // Reads until the announced length has arrived. The loop also ends when a read
                    // fails, when the body ends (a read of 0 bytes) short of that length, when more
                    // than announced arrives, or when a chunk cannot be stored: the result then
                    // stays false and the partial temporary file remains.
                    while (stored) {
                        view.PumpMessages();
                        uint32_t got = 0;
                        if (!http.Read(buffer, kDownloadReadSize, got) || got > kDownloadReadSize) break;
                        if (got > 0) {
                            view.PumpMessages();
                            if (counters.received > INT32_MAX - static_cast<int32_t>(got)) break;
                            pending.append(buffer, got);
                            if (pending.size() >= kStoreRunSize && !flush()) break;
                            const bool first = counters.received == 0;
                            counters.received += static_cast<int32_t>(got);
                            progressShown = false;
                            if (first || counters.received == counters.announced ||
                                view.NowMs() - lastShown >= kProgressIntervalMs)
                                showProgress();
                        }
                        // An empty body is complete only when the head announced it; without a
                        // length, a body that ends at once is a transfer that broke off.
                        if (counters.received == counters.announced && (counters.received > 0 || !length.empty())) {
                            result = true;
                            break;
                        }
                        if (got == 0 || counters.received > counters.announced) break;
                    }
                    if (!progressShown) showProgress();
                    result = flush() && result;
                    if (result) {
                        if (files.FileExists(target)) files.RemoveFile(target);
                        result = files.RenameFile(temporary, target);
                    }
                }
            }
        }
    }
    http.Close();
    return result;
}

}  // namespace qor
