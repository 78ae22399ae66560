// Test-only stand-in for the vendor's update server: a plain HTTP server on port 80 of a loopback
// address that serves the files of a folder and can misbehave on request.
//
//   qor_http_standin.exe ROOT [PARENT_PID [ADDRESS]]
//
// ADDRESS is the loopback address to listen on (127.0.0.1 unless given; PARENT_PID 0 for none).
// The object path /a/b.txt is the file ROOT\a\b.txt. A file ROOT\a\b.txt.mode holding one word
// makes that path misbehave:
//   404, 500   that status with a short body
//   206        status 206 with the whole file
//   short      a Content-Length 1000 bytes more than the file, the file, then the end
//   nolength   no Content-Length, the file, then the end
//   stall      the Content-Length of the file, half of it, then nothing more until the client
//              goes away (at most 120 s)
// Every request head (request line and header lines, each ending in CR LF, then an empty line)
// is appended to ROOT\requests.log before the answer goes out. ROOT\ready appears once the
// server listens (it waits up to two minutes for the port to be free). The server ends by itself after 15 minutes, or when the test ends it.
#include <winsock2.h>
#include <windows.h>

#include <string>

namespace {

HANDLE parent = nullptr;

bool ParentGone() { return parent && WaitForSingleObject(parent, 0) == WAIT_OBJECT_0; }

std::wstring Wide(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &w[0], n);
    return w;
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bytes.clear();
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(h);
    return true;
}

void AppendFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
}

bool SendAll(SOCKET s, const std::string& data) {
    size_t at = 0;
    while (at < data.size()) {
        int n = send(s, data.data() + at, static_cast<int>(std::min<size_t>(data.size() - at, 65536)), 0);
        if (n <= 0) return false;
        at += static_cast<size_t>(n);
    }
    return true;
}

std::string Head(int status, const char* reason, long long length) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
    if (length >= 0) head += "Content-Length: " + std::to_string(length) + "\r\n";
    head += "Content-Type: application/octet-stream\r\nConnection: close\r\n\r\n";
    return head;
}

// Waits until the client closes its side (or the time is up).
void WaitForClientToGo(SOCKET s, int seconds) {
    for (int i = 0; i < seconds * 10 && !ParentGone(); ++i) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval tv{0, 100000};
        int r = select(0, &set, nullptr, nullptr, &tv);
        if (r < 0) return;
        if (r > 0) {
            char c[256];
            if (recv(s, c, sizeof c, 0) <= 0) return;
        }
    }
}

void Serve(SOCKET client, const std::wstring& root) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        int n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        request.append(buffer, static_cast<size_t>(n));
    }
    const std::string head = request.substr(0, request.find("\r\n\r\n") + 4);
    AppendFileBytes(root + L"\\requests.log", head);

    // "GET /path HTTP/1.1"
    const size_t sp1 = head.find(' ');
    const size_t sp2 = head.find(' ', sp1 + 1);
    std::string path = sp1 == std::string::npos || sp2 == std::string::npos ? "" : head.substr(sp1 + 1, sp2 - sp1 - 1);
    std::string relative;
    for (char c : path) relative.push_back(c == '/' ? '\\' : c);
    const bool climbs = relative.find("..") != std::string::npos;
    const std::wstring file = root + Wide(relative);

    std::string mode;
    if (!climbs) ReadFileBytes(file + L".mode", mode);
    while (!mode.empty() && (mode.back() == '\r' || mode.back() == '\n' || mode.back() == ' ')) mode.pop_back();

    std::string body;
    const bool found = !climbs && !relative.empty() && ReadFileBytes(file, body);
    const long long size = static_cast<long long>(body.size());
    if (!found || mode == "404") {
        SendAll(client, Head(404, "Not Found", 9) + "not found");
    } else if (mode == "500") {
        SendAll(client, Head(500, "Internal Server Error", 5) + "error");
    } else if (mode == "206") {
        SendAll(client, Head(206, "Partial Content", size) + body);
    } else if (mode == "short") {
        SendAll(client, Head(200, "OK", size + 1000) + body);
    } else if (mode == "nolength") {
        SendAll(client, Head(200, "OK", -1) + body);
    } else if (mode == "stall") {
        if (SendAll(client, Head(200, "OK", size) + body.substr(0, body.size() / 2))) WaitForClientToGo(client, 120);
    } else {
        SendAll(client, Head(200, "OK", size) + body);
    }
    shutdown(client, SD_SEND);
    WaitForClientToGo(client, 2);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const std::wstring root = argv[1];
    if (argc >= 3) parent = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(_wtoi(argv[2])));
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 3;
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    BOOL yes = TRUE;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(80);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (argc >= 4) {
        char text[64] = {};
        WideCharToMultiByte(CP_ACP, 0, argv[3], -1, text, sizeof text - 1, nullptr, nullptr);
        const unsigned long a = inet_addr(text);
        // Loopback addresses only (127.0.0.0/8).
        if (a == INADDR_NONE || (ntohl(a) >> 24) != 127) return 5;
        address.sin_addr.s_addr = a;
    }
    // Port 80 is one for the whole machine: while another test run's server holds it, wait for it
    // (at most two minutes) instead of failing at once.
    bool bound = false;
    for (int attempt = 0; attempt < 1200 && !bound && !ParentGone(); ++attempt) {
        bound = bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (!bound) Sleep(100);
    }
    if (!bound || listen(listener, 16) != 0) return 4;
    AppendFileBytes(root + L"\\ready", "ready");

    const DWORD end = GetTickCount() + 15 * 60 * 1000;
    while (static_cast<LONG>(end - GetTickCount()) > 0 && !ParentGone()) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(listener, &set);
        timeval tv{1, 0};
        if (select(0, &set, nullptr, nullptr, &tv) <= 0) continue;
        SOCKET client = accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) continue;
        Serve(client, root);
        closesocket(client);
    }
    closesocket(listener);
    WSACleanup();
    return 0;
}
