// The build machine's nginx as a vendor's update host, for one test: it serves a scratch folder
// on port 80 of a loopback address of its own (as the update-server stand-in does), sends at a
// bounded rate so that a test can cut a transfer where it wants, and logs what it sent for each
// request. Started and ended through tests/wine/nginx.sh.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/text.h"
#include "wine/wine_test_support.h"

namespace qor::test {

class NginxServer {
public:
    // One line of the server's log.
    struct Request {
        std::string uri, status;
        long long bodyBytesSent = 0;
        std::string range, ifRange;  // "-" when the request had none
    };

    // `rate`: bytes a second for each answer, in nginx's notation ("4m"), "0" for no limit.
    NginxServer(const char* script, const char* rate) : script_(script) {
        unixRoot_ = UnixPath(root_.path());
        if (unixRoot_.empty()) return;
        const std::string code = RunUnixScript(
            Command("start") + " " + address_ + " " + rate + " \"" + unixRoot_ + "/started\"", root_ / "started",
            std::chrono::seconds(60));
        ready_ = code == "0\n";
        if (!ready_) failure_ = "exit code " + code + ": " + ReadBytes(root_ / "start.log") + ReadBytes(root_ / "error.log");
    }
    ~NginxServer() {
        if (!unixRoot_.empty())
            RunUnixScript(Command("stop") + " \"" + unixRoot_ + "/stopped\"", root_ / "stopped", std::chrono::seconds(30));
    }
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    bool ready() const { return ready_; }
    // Why it is not ready: nginx's exit code and what it said.
    const std::string& failure() const { return failure_; }
    std::string Url(const std::string& path) const { return "http://" + address_ + path; }
    // The file served under the object path ("/pkg/a.rar").
    std::string LocalPath(const std::string& path) const {
        return root_.path() + "\\www" + ReplaceAll(path, "/", "\\");
    }
    void Serve(const std::string& path, const std::string& bytes) const {
        const std::vector<std::string> parts = Split(path.substr(1), "/");
        std::string local = root_.path() + "\\www";
        for (size_t i = 0; i + 1 < parts.size(); ++i) MakeFolder(local += "\\" + parts[i]);
        WriteBytes(LocalPath(path), bytes);
    }
    // The requests logged so far (nginx logs one when its answer has ended, however it ended).
    std::vector<Request> Requests() const {
        std::vector<Request> requests;
        for (const std::string& line : SplitLines(ReadBytes(root_ / "access.log"))) {
            const std::vector<std::string> f = Split(line, " ");
            if (f.size() < 5) continue;
            requests.push_back({f[0], f[1], std::atoll(f[2].c_str()), Unquoted(f[3]), Unquoted(f[4])});
        }
        return requests;
    }

private:
    std::string Command(const char* verb) const {
        return "/bin/sh \"" + std::string(script_) + "\" " + verb + " \"" + unixRoot_ + "\"";
    }
    static std::string Unquoted(const std::string& field) {
        return field.size() >= 2 && field.front() == '"' ? field.substr(1, field.size() - 2) : field;
    }
    static std::string PickAddress() {
        const unsigned mix = GetCurrentProcessId() * 2246822519u ^ GetTickCount();
        return "127." + std::to_string(1 + mix % 250) + "." + std::to_string(1 + (mix / 250) % 250) + ".2";
    }

    const char* script_;
    std::string address_ = PickAddress();
    ScratchFolder root_{"qor-nginx"};
    std::string unixRoot_;
    bool ready_ = false;
    std::string failure_ = "no Unix path for the scratch folder";
};

}  // namespace qor::test
