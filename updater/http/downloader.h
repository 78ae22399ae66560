// Fetching one resource over plain HTTP into a file, with progress shown in the updater's
// status label and progress bar. The data goes to the target path + ".temp", which takes the
// target's name only once the announced length has arrived in full. A transfer that breaks off
// is continued by the next one of the same URL when the server gave it a validator.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_store.h"
#include "platform/http_session.h"

namespace qor {

// Where a transfer shows its progress: the status label and the progress bar of the updater's
// window (written whether or not the window is shown). Widths are in twips.
class DownloadView {
public:
    virtual ~DownloadView() = default;
    // Sets the status label's text and repaints it.
    virtual void ShowStatus(const std::string& text) = 0;
    virtual int StatusWidth() = 0;
    // Sets the progress bar's width and repaints it.
    virtual void ShowProgressWidth(int twips) = 0;
    // Lets pending window messages be handled.
    virtual void PumpMessages() = 0;
    // A millisecond clock for spacing out the message handling and the progress display.
    virtual int64_t NowMs();
};

// While the body arrives, pending window messages are handed to the window at most this
// often, and always for the first and the last chunk: a round trip to the window system for
// each 1024-byte read would cost more time than the transfer itself, while this still answers
// a click within a frame or two.
inline constexpr int64_t kMessageIntervalMs = 10;
// The progress display is refreshed at most this often while a transfer runs (and always for
// its first and its last chunk), for the same reason.
inline constexpr int64_t kProgressIntervalMs = 50;

// The counters of the transfer running (or last run): bytes received and the announced length.
struct TransferCounters {
    int32_t received = 0;
    int32_t announced = 0;
};

inline constexpr uint32_t kDownloadReadSize = 1024;
inline const char* const kConnectingStatus = "正在连接QOR服务器...";

// True when the resource was received completely and stands under the target name. A status
// other than 200 or 206 leaves the target and any temporary file untouched; a transfer that
// breaks off (failed read, body ending short of the announced length or without one, an empty
// body without a Content-Length) has deleted the old target and leaves the partial temporary file,
// unless the file could not take a chunk (a full disk): then the partial file goes as well.
//
// When a 200 answer carries a length and a validator (a strong ETag, else a Last-Modified date),
// its record (a ResumeRecord) stands beside the temporary file as target + ".temp.id" until the
// transfer completes. A later transfer of the same URL that finds the record and a temporary
// file holding part of the resource adds "Range: bytes=<size>-" and "If-Range: <validator>" to
// the request: a 206 with exactly the rest appends to the temporary file, a 200 starts again
// from the first byte, and any other answer fails and drops the record (the next transfer then
// starts afresh). A temporary file without a record is replaced by a fresh transfer.
bool DownloadFile(HttpSession& http, FileStore& files, DownloadView& view, const std::string& url,
                  const std::string& target, TransferCounters& counters);

}  // namespace qor
