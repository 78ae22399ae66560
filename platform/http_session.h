// One plain-HTTP transfer as the updater's downloader performs it, step by step with the
// platform's Internet functions: connection state, reachability probe, session, connection to
// port 80, a GET request with header lines added one at a time, the response's values and its
// body in reads of a chosen size. Handles live inside the session; Close releases them.
#pragma once

#include <cstdint>
#include <string>

namespace qor {

// Information levels of a response, as the platform numbers them.
enum class HttpInfo : uint32_t {
    ContentLength = 5,
    LastModified = 11,
    StatusCode = 19,
    ContentRange = 53,
    ETag = 54,
};

class HttpSession {
public:
    virtual ~HttpSession() = default;

    // True when the machine has some network connection.
    virtual bool IsConnected() = 0;
    // True when the probe host's name resolves (the wider network is usable).
    virtual bool IsInternetReachable() = 0;
    // Opens the Internet session with the agent name; false when it cannot be opened.
    virtual bool Open(const std::string& agent) = 0;
    // Connects to the host on port 80; false when that fails.
    virtual bool Connect(const std::string& host) = 0;
    // Opens a GET request for the object path (HTTP/1.1, always from the server); false on failure.
    virtual bool OpenRequest(const std::string& path) = 0;
    // Adds one header line to the request (its result is not looked at).
    virtual void AddHeader(const std::string& line) = 0;
    // Sends the request without body; true when the response head arrived.
    virtual bool Send() = 0;
    // A value of the response head as text; empty when it is not there.
    virtual std::string QueryInfo(HttpInfo level) = 0;
    // Reads at most `size` bytes of the body; false on failure. `got` 0 with true: the body ended.
    virtual bool Read(char* buffer, uint32_t size, uint32_t& got) = 0;
    // Closes the session, the connection and the request, in that order.
    virtual void Close() = 0;
};

}  // namespace qor
