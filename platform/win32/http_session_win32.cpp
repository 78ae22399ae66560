#include <winsock2.h>

#include "platform/win32/http_session_win32.h"

#include "platform/win32/unicode.h"

namespace qor::win32 {

bool IsInternetReachable(const char* probeHost) {
    WSADATA startup;
    ZeroMemory(&startup, sizeof startup);
    WSAStartup(MAKEWORD(1, 1), &startup);
    const bool resolved = gethostbyname(probeHost) != nullptr;
    WSACleanup();
    return resolved;
}

std::string QueryHttpInfo(HINTERNET request, DWORD level) {
    char buffer[1024] = {};
    DWORD length = sizeof buffer;
    DWORD index = 0;
    if (!HttpQueryInfoA(request, level, buffer, &length, &index)) return std::string();
    if (length > sizeof buffer) length = sizeof buffer;
    return AnsiToUtf8(std::string(buffer, length));
}

bool WinInetSession::IsConnected() {
    DWORD flags = 0;
    return InternetGetConnectedState(&flags, 0) != 0;
}

bool WinInetSession::IsInternetReachable() {
    return win32::IsInternetReachable(Utf8ToAnsi(probeHost_).c_str());
}

bool WinInetSession::Open(const std::string& agent) {
    internet_.Reset(InternetOpenA(Utf8ToAnsi(agent).c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet_.valid()) return false;
    // Bounds each wait for response data; handles made from this session inherit it.
    DWORD timeout = receiveTimeoutMs_;
    InternetSetOptionA(internet_.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionA(internet_.get(), INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    return true;
}

bool WinInetSession::Connect(const std::string& host) {
    connection_.Reset(InternetConnectA(internet_.get(), Utf8ToAnsi(host).c_str(), 80, nullptr, nullptr,
                                       INTERNET_SERVICE_HTTP, 0, 0));
    return connection_.valid();
}

bool WinInetSession::OpenRequest(const std::string& path) {
    request_.Reset(HttpOpenRequestA(connection_.get(), "GET", Utf8ToAnsi(path).c_str(), "HTTP/1.1", nullptr,
                                    nullptr, INTERNET_FLAG_RELOAD, 0));
    if (!request_.valid()) return false;
    DWORD timeout = receiveTimeoutMs_;
    InternetSetOptionA(request_.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    return true;
}

void WinInetSession::AddHeader(const std::string& line) {
    const std::string bytes = Utf8ToAnsi(line);
    HttpAddRequestHeadersA(request_.get(), bytes.c_str(), static_cast<DWORD>(bytes.size()), HTTP_ADDREQ_FLAG_ADD);
}

bool WinInetSession::Send() { return HttpSendRequestA(request_.get(), nullptr, 0, nullptr, 0) != 0; }

std::string WinInetSession::QueryInfo(HttpInfo level) {
    return QueryHttpInfo(request_.get(), static_cast<DWORD>(level));
}

bool WinInetSession::Read(char* buffer, uint32_t size, uint32_t& got) {
    // Asking what is available first lets WinINet take in as much of the body as its own buffer
    // holds in one receive when that buffer has run empty; the reads that follow are served from
    // it. Reading straight away would receive from the connection once for every read. The
    // amount is not needed: the read below takes what there is, or meets the end of the body.
    // When the question fails (the wait for data timed out, the connection broke) the read
    // fails with it rather than waiting a second time.
    DWORD available = 0;
    got = 0;
    if (!InternetQueryDataAvailable(request_.get(), &available, 0, 0)) return false;
    DWORD n = 0;
    const bool ok = InternetReadFile(request_.get(), buffer, size, &n) != 0;
    got = ok ? n : 0;
    return ok;
}

void WinInetSession::Close() {
    internet_.Reset();
    connection_.Reset();
    request_.Reset();
}

}  // namespace qor::win32
