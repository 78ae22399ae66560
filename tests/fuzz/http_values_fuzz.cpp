// libFuzzer target: what the downloader takes from outside: the URL split into host and path,
// the response's Content-Length, status and Content-Range values, the record a broken-off
// transfer keeps, and whole transfers (fresh and continued) over scripted responses built from
// the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/update_rules.h"
#include "tests/unit/fakes.h"
#include "tests/unit/update_fakes.h"
#include "updater/http/downloader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    // Fields separated by NUL: URL, Content-Length value, status value, body.
    std::string fields[4];
    size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        const size_t end = i < 3 ? input.find('\0', at) : std::string::npos;
        fields[i] = input.substr(std::min(at, input.size()), end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? input.size() : end + 1;
    }
    const std::string& url = fields[0];

    const std::string host = qor::GetUrlHost(url);
    const std::string path = qor::GetUrlPath(url, host);
    if (host.size() > url.size() || path.size() > url.size()) abort();
    if (!host.empty() && url.find("http://" + host) == std::string::npos) abort();
    // The path is the whole rest of the URL after the host.
    if (url.compare(url.size() - path.size(), path.size(), path) != 0) abort();

    const int32_t announced = qor::ParseContentLength(fields[1]);
    const std::string progress = qor::DownloadProgressText(static_cast<int32_t>(fields[3].size()), announced);
    const int width = qor::ProgressBarWidth(6765, static_cast<int32_t>(fields[3].size()), announced);
    if (width < 0 || width > 6705 || progress.empty()) abort();

    qor::testing::FakeHttp http;
    http.responses[path] = {fields[2], fields[1], fields[3]};
    qor::testing::FakeFileStore files;
    files.AddFolder("C:\\QOR");
    qor::testing::FakeWindow view;
    qor::TransferCounters counters;
    const bool ok = qor::DownloadFile(http, files, view, url, "C:\\QOR\\x.rar", counters);
    if (ok && files.files["C:\\QOR\\x.rar"] != fields[3].substr(0, static_cast<size_t>(announced))) abort();
    // An empty body completes only when a Content-Length announced it.
    if (ok && fields[3].empty() && fields[1].empty()) abort();
    if (http.reads > static_cast<int>(fields[3].size() / 1024 + 2)) abort();

    // The record of a broken-off transfer: what parses is what would have been written.
    qor::ResumeRecord record;
    if (qor::ParseResumeRecord(input, record) && qor::BuildResumeRecord(record) != input) abort();
    qor::ContentRange range;
    if (qor::ParseContentRange(fields[1], range) && (range.first > range.last || range.last >= range.total)) abort();

    // A continued transfer: 3 of 10 bytes kept, the answer's Content-Range from the input.
    files.files.clear();
    files.AddFolder("C:\\QOR");
    files.AddFile("C:\\QOR\\x.rar.temp", "abc");
    files.AddFile("C:\\QOR\\x.rar.temp.id", qor::BuildResumeRecord({url, "\"v\"", 10}));
    http.responses[path] = {fields[2], std::to_string(fields[3].size()), fields[3], std::string::npos, "\"v\"", "",
                            fields[1]};
    // A URL that no record can hold (a control character in it) makes it a fresh transfer.
    const bool continued = fields[2] == "206" && qor::ParseResumeRecord(files.files["C:\\QOR\\x.rar.temp.id"], record);
    if (qor::DownloadFile(http, files, view, url, "C:\\QOR\\x.rar", counters)) {
        const std::string& joined = files.files["C:\\QOR\\x.rar"];
        if (continued ? joined != "abc" + fields[3] || joined.size() != 10 : joined != fields[3]) abort();
    }
    return 0;
}
