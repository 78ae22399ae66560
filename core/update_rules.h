// Rules of the update cycle that need nothing from the operating system: the update log's
// lines, the order of version texts, URL splitting, byte-size and progress texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qor {

// The completion marker appended to the update log once the package is stored in full.
inline const char* const kDownloadCompleteMarker = "  ! DOWNLOAD COMPLETE";

// The update log split at CR LF: the first line (the update's version), the release notes
// (everything between the first and the last line, beginning and ending with CR LF) and the
// last line (the package URL, with the completion marker once the download completed).
struct UpdateLogLines {
    std::string version;
    std::string notes;
    std::string lastLine;
    int lineCount = 0;  // pieces between CR LF pairs; an empty text counts 1
};

UpdateLogLines ParseUpdateLog(const std::string& text);

// True for a version line: runs of digits joined by single dots, at least two runs (6.02,
// 06.02, 6.02.01). Anything else (an HTML page a proxy answered with, a blank, a trailing space)
// would sort as a version of its own and be offered as newer on every start.
bool IsVersionText(const std::string& text);

// A server log usable for an update: at least two lines, a version line that is a version text
// and a non-empty last line. An empty or one-line log is never valid.
bool IsValidServerLog(const UpdateLogLines& log);
// A log that marks a completed download: at least two lines, a version line that is a version
// text and a last line holding "DOWNLOAD COMPLETE" (case-sensitive).
bool IsCompletedDownloadLog(const UpdateLogLines& log);

// True when the candidate version text sorts strictly after the reference once a one-digit
// major part is padded with "0" (6.1 is newer than 6.09; 10.00 is newer than 9.05).
bool IsNewerVersion(const std::string& candidate, const std::string& reference);

// The host of an "http://" URL (up to the first "/" after the scheme; a port stays part of it);
// empty without "http://".
std::string GetUrlHost(const std::string& url);
// Everything after the first occurrence of the host (after the scheme), further occurrences of
// the host text included; empty when the host is not in it.
std::string GetUrlPath(const std::string& url, const std::string& host);

// 512 gives "512B", 2048 "2KB", 1.5 MiB "1.50M"; halves round to the even neighbour.
std::string FormatByteSize(int32_t count);
// "正在下载升级包： 2KB/3.00M    0%" for the bytes received of the announced length.
std::string DownloadProgressText(int32_t received, int32_t announced);
// Width of the progress bar (twips) inside a status label of `statusWidth` twips: 30 twips stay
// free at each end. 0 while the announced length is not positive.
int ProgressBarWidth(int statusWidth, int32_t received, int32_t announced);

// The announced length from a Content-Length value: its leading decimal number, rounded to a
// whole number (halves to even); 0 when there is none or it does not fit a signed 32-bit number.
int32_t ParseContentLength(const std::string& value);
// True for the status codes whose body is stored: "200" and "206".
bool IsAcceptedStatus(const std::string& status);

// What a transfer that broke off keeps beside its temporary file (target + ".temp.id"), so
// that a later transfer of the same URL can ask for the rest: the URL, the validator that the
// first response carried and the resource's whole length.
struct ResumeRecord {
    std::string url;
    std::string validator;  // a strong ETag, or else the Last-Modified date
    int32_t total = 0;
};
// "QOR_UPDATE download 1", the URL, the validator and the length in decimal, each line ending in
// CR LF.
std::string BuildResumeRecord(const ResumeRecord& record);
// True for a text that BuildResumeRecord could have written: the header line, a URL, a usable
// validator and a length above 0; anything else (cut short, edited, a stray file) is no record.
bool ParseResumeRecord(const std::string& text, ResumeRecord& record);
// The validator an If-Range line can carry, from a response's ETag and Last-Modified values: a
// strong ETag (a quoted tag) first, else the date. A weak ETag ("W/...") never matches in a range
// request. Empty when neither is usable, a control character included, since the value goes
// into a header line of its own.
std::string ResumeValidator(const std::string& etag, const std::string& lastModified);

// A Content-Range value "bytes FIRST-LAST/TOTAL" (a known total, FIRST <= LAST < TOTAL, every
// number fitting a signed 32-bit length); false for anything else, "bytes */TOTAL" included.
struct ContentRange {
    int32_t first = 0, last = 0, total = 0;
};
bool ParseContentRange(const std::string& value, ContentRange& range);

// The edition code from the names of the application folder's files: the second "_"-separated
// field of each name matching QOR_*_* (letter case ignored), the last match winning.
std::string EditionCodeFromNames(const std::vector<std::string>& fileNames);
// "http://" + host + "/QOR_" + edition + "_UPDATE_LOG.txt".
std::string ServerUpdateLogUrl(const std::string& host, const std::string& edition);

}  // namespace qor
