#pragma once

#include <windows.h>
#include "platform/win32/lazy_imports.h"

#include <string>

#include "platform/http_session.h"
#include "platform/win32/scoped_inet.h"

namespace qor::win32 {

// Resolves the probe host with Windows Sockets 1.1: true when a host entry comes back.
bool IsInternetReachable(const char* probeHost);

// The response value of the information level, queried into a 1024-byte buffer; empty when the
// query fails.
std::string QueryHttpInfo(HINTERNET request, DWORD level);

// The transfer with WinINet: session (agent = the URL), connection to port 80, GET request with
// the reload flag, headers added one by one, 1024-byte reads. A receive time-out bounds every
// read, so a stalled server ends the transfer instead of hanging it.
class WinInetSession : public HttpSession {
public:
    WinInetSession(std::string probeHost, DWORD receiveTimeoutMs)
        : probeHost_(std::move(probeHost)), receiveTimeoutMs_(receiveTimeoutMs) {}
    ~WinInetSession() override { Close(); }

    bool IsConnected() override;
    bool IsInternetReachable() override;
    bool Open(const std::string& agent) override;
    bool Connect(const std::string& host) override;
    bool OpenRequest(const std::string& path) override;
    void AddHeader(const std::string& line) override;
    bool Send() override;
    std::string QueryInfo(HttpInfo level) override;
    bool Read(char* buffer, uint32_t size, uint32_t& got) override;
    void Close() override;

private:
    std::string probeHost_;
    DWORD receiveTimeoutMs_;
    InternetHandle internet_, connection_, request_;
};

}  // namespace qor::win32
