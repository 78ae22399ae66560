#include "updater/http/downloader.h"

#include <cstdint>

#include "core/update_rules.h"

namespace qor {

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
                counters.announced = ParseContentLength(http.QueryInfo(HttpInfo::ContentLength));
                if (IsAcceptedStatus(http.QueryInfo(HttpInfo::StatusCode))) {
                    const std::string temporary = target + ".temp";
                    if (files.FileExists(target)) files.RemoveFile(target);
                    if (files.FileExists(temporary)) files.RemoveFile(temporary);
                    bool stored = files.WriteBytes(temporary, std::string(), false);
                    char buffer[kDownloadReadSize];
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
                            stored = files.WriteBytes(temporary, std::string(buffer, got), true);
                            if (!stored) break;
                            counters.received += static_cast<int32_t>(got);
                            view.ShowStatus(DownloadProgressText(counters.received, counters.announced));
                            view.ShowProgressWidth(
                                ProgressBarWidth(view.StatusWidth(), counters.received, counters.announced));
                        }
                        if (counters.received == counters.announced) {
                            result = true;
                            break;
                        }
                        if (got == 0 || counters.received > counters.announced) break;
                    }
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
