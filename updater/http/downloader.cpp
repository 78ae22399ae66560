#include "updater/http/downloader.h"

#include <chrono>
#include <cstdint>

#include "core/log_signature.h"
#include "core/update_rules.h"

namespace qor {
namespace {

constexpr size_t kStoreRunSize = 64 * 1024;

// An earlier transfer of this URL to continue: its record, and the length its temporary file
// holds, which is more than nothing and less than the whole. False when there is none.
bool ResumableTransfer(FileStore& files, const std::string& url, const std::string& temporary,
                       const std::string& recordPath, ResumeRecord& record, int32_t& offset) {
    std::string text;
    if (!files.FileExists(recordPath) || !files.ReadTextAtMost(recordPath, kUpdateFileReadLimit, text)) return false;
    if (!ParseResumeRecord(text, record) || record.url != url || !files.FileExists(temporary)) return false;
    const uint64_t size = files.FileSize(temporary);
    if (size == 0 || size >= static_cast<uint64_t>(record.total)) return false;
    offset = static_cast<int32_t>(size);
    return true;
}

// True for a 206 head that carries exactly the rest: from `offset` to the end of the same whole
// length, with a Content-Length of that many bytes.
bool IsTheRest(HttpSession& http, int32_t announced, int32_t offset, int32_t total) {
    ContentRange range;
    return ParseContentRange(http.QueryInfo(HttpInfo::ContentRange), range) && range.first == offset &&
           range.last == total - 1 && range.total == total && announced == total - offset;
}

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

    // A transfer of this URL that broke off earlier and kept its validator asks for the rest.
    const std::string temporary = target + ".temp";
    const std::string recordPath = temporary + ".id";
    ResumeRecord resume;
    int32_t offset = 0;
    const bool resuming = ResumableTransfer(files, url, temporary, recordPath, resume, offset);

    if (http.Open(url)) {
        const std::string host = GetUrlHost(url);
        if (http.Connect(host) && http.OpenRequest(GetUrlPath(url, host))) {
            view.PumpMessages();
            http.AddHeader("Accept: */*");
            http.AddHeader("User-Agent: DownJet1.0");
            http.AddHeader("Host: " + host);
            http.AddHeader("Connection: close");
            if (resuming) {
                http.AddHeader("Range: bytes=" + std::to_string(offset) + "-");
                http.AddHeader("If-Range: " + resume.validator);
            }
            if (http.Send()) {
                view.PumpMessages();
                const std::string length = http.QueryInfo(HttpInfo::ContentLength);
                counters.announced = ParseContentLength(length);
                const std::string status = http.QueryInfo(HttpInfo::StatusCode);
                // The rest of the stored bytes: a 206 whose range starts where the temporary file
                // ends and runs to the end of the same whole length. Any other 206 to a range
                // request is a failed transfer; a 200 is the whole resource again (it changed, or
                // the server does not do ranges).
                const bool appending = resuming && status == "206" && IsTheRest(http, counters.announced, offset, resume.total);
                if (resuming && !appending && status != "200") {
                    // Asked for again from the first byte next time rather than refused forever.
                    files.RemoveFile(recordPath);
                } else if (IsAcceptedStatus(status)) {
                    if (files.FileExists(target)) files.RemoveFile(target);
                    bool stored = true;
                    if (appending) {
                        counters.received = offset;
                        counters.announced = resume.total;
                    } else {
                        if (files.FileExists(temporary)) files.RemoveFile(temporary);
                        if (files.FileExists(recordPath)) files.RemoveFile(recordPath);
                        stored = files.WriteBytes(temporary, std::string(), false);
                        // Only a whole 200 answer with a length and a validator can be continued.
                        const std::string validator =
                            ResumeValidator(http.QueryInfo(HttpInfo::ETag), http.QueryInfo(HttpInfo::LastModified));
                        if (stored && status == "200" && counters.announced > 0 && !validator.empty())
                            files.WriteText(recordPath, BuildResumeRecord({url, validator, counters.announced}), false);
                    }
                    const int32_t start = counters.received;
                    char buffer[kDownloadReadSize];
                    // Received chunks are stored in order at the offset they belong to; they are
                    // handed to the file in runs of up to 64 KB, and whatever is pending is
                    // stored before the loop is left, however it ends.
                    std::string pending;
                    // Window messages and the progress display follow the chunks at a distance
                    // (see kMessageIntervalMs); whatever is owed for the latest chunk is made up
                    // when the loop ends, however it ends.
                    bool messagesHandled = true, progressShown = true;
                    int64_t lastHandled = 0, lastShown = 0;
                    auto handleMessages = [&](int64_t now) {
                        view.PumpMessages();
                        messagesHandled = true;
                        lastHandled = now;
                    };
                    auto showProgress = [&](int64_t now) {
                        view.ShowStatus(DownloadProgressText(counters.received, counters.announced));
                        view.ShowProgressWidth(ProgressBarWidth(view.StatusWidth(), counters.received, counters.announced));
                        progressShown = true;
                        lastShown = now;
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
                        uint32_t got = 0;
                        if (!http.Read(buffer, kDownloadReadSize, got) || got > kDownloadReadSize) break;
                        if (got > 0) {
                            if (counters.received > INT32_MAX - static_cast<int32_t>(got)) break;
                            const bool first = counters.received == start;
                            const bool last = counters.received + static_cast<int32_t>(got) == counters.announced;
                            const int64_t now = view.NowMs();
                            messagesHandled = false;
                            if (first || last || now - lastHandled >= kMessageIntervalMs) handleMessages(now);
                            pending.append(buffer, got);
                            if (pending.size() >= kStoreRunSize && !flush()) break;
                            counters.received += static_cast<int32_t>(got);
                            progressShown = false;
                            if (first || last || now - lastShown >= kProgressIntervalMs) showProgress(now);
                        }
                        // An empty body is complete only when the head announced it; without a
                        // length, a body that ends at once is a transfer that broke off.
                        if (counters.received == counters.announced && (counters.received > 0 || !length.empty())) {
                            result = true;
                            break;
                        }
                        if (got == 0 || counters.received > counters.announced) break;
                    }
                    if (!messagesHandled) handleMessages(view.NowMs());
                    if (!progressShown) showProgress(view.NowMs());
                    result = flush() && result;
                    if (!stored) {
                        // A chunk could not be stored, the disk being full most likely: the part
                        // stored would only keep the disk full, and a later transfer could not
                        // store the rest either. It goes, with its record.
                        if (files.FileExists(temporary)) files.RemoveFile(temporary);
                        if (files.FileExists(recordPath)) files.RemoveFile(recordPath);
                    }
                    if (result) {
                        if (files.FileExists(recordPath)) files.RemoveFile(recordPath);
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
