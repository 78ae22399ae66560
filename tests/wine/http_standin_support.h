// Starts the update-server stand-in (tests/standins/httpserver) on port 80 of a loopback address
// of its own (127.x.y.1, all of 127.0.0.0/8 being loopback) over a scratch folder for one test,
// and ends it when the test ends. Test runs side by side (other worktrees, other prefixes) then
// never meet on the machine-wide port 80.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/text.h"
#include "wine/wine_test_support.h"

namespace qor::test {

class HttpStandin {
public:
    explicit HttpStandin(const char* serverExe) {
        if (root_.path().empty()) return;
        std::wstring command = L"\"" + win32::Wide(WinePath(serverExe)) + L"\" \"" + win32::Wide(root_.path()) + L"\" " +
                               std::to_wstring(GetCurrentProcessId()) + L" " + win32::Wide(address_);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                            &process_))
            return;
        // Listening, or ended (the port stayed taken): whichever comes first.
        ready_ = PollUntil([&] { return IsFile(root_ / "ready") || HasEnded(process_.hProcess); },
                           std::chrono::seconds(100)) &&
                 IsFile(root_ / "ready");
    }
    ~HttpStandin() {
        if (process_.hProcess) {
            TerminateProcess(process_.hProcess, 0);
            WaitForSingleObject(process_.hProcess, 10000);
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
    }
    HttpStandin(const HttpStandin&) = delete;
    HttpStandin& operator=(const HttpStandin&) = delete;

    bool ready() const { return ready_; }
    // The address the server listens on, and the URL of an object path there.
    const std::string& address() const { return address_; }
    std::string Url(const std::string& path) const { return "http://" + address_ + path; }
    // Puts a file to be served under the object path ("/a/b.txt"), with an optional misbehaviour.
    void Serve(const std::string& path, const std::string& bytes, const std::string& mode = "") {
        const std::vector<std::string> parts = Split(path.substr(1), "/");
        std::string local = root_.path();
        for (size_t i = 0; i + 1 < parts.size(); ++i) MakeFolder(local += "\\" + parts[i]);
        local += "\\" + parts.back();
        WriteBytes(local, bytes);
        if (mode.empty()) DeleteFileW(win32::Wide(local + ".mode").c_str());
        else WriteBytes(local + ".mode", mode);
    }
    // Every request head received so far, as sent.
    std::string Requests() const { return ReadBytes(root_ / "requests.log"); }
    void ClearRequests() const { DeleteFileW(win32::Wide(root_ / "requests.log").c_str()); }

private:
    static std::string PickAddress() {
        const unsigned mix = GetCurrentProcessId() * 2654435761u ^ GetTickCount();
        return "127." + std::to_string(1 + mix % 250) + "." + std::to_string(1 + (mix / 250) % 250) + ".1";
    }

    std::string address_ = PickAddress();
    ScratchFolder root_{"qor-http"};
    PROCESS_INFORMATION process_{};
    bool ready_ = false;
};

}  // namespace qor::test
