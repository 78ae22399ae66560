// Scripted stand-ins for the updater's interfaces (HTTP transfer, window, program shell, program
// starts), for the host unit tests.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "launcher/startup.h"
#include "platform/http_session.h"
#include "platform/program_runner.h"
#include "platform/signature_verifier.h"
#include "updater/updater.h"

namespace qor::testing {

// An HTTP server answering by object path; every call is recorded in `calls`.
class FakeHttp : public HttpSession {
public:
    struct Response {
        std::string status = "200";
        std::string contentLength;  // empty: no Content-Length in the head
        std::string body;
        size_t failReadAt = std::string::npos;  // a read starting at this offset fails
        std::string etag = std::string(), lastModified = std::string(), contentRange = std::string();
    };
    std::map<std::string, Response> responses;  // by path; other paths get 404
    bool connected = true, reachable = true, opens = true, connects = true, sends = true;
    // Answers "Range: bytes=N-" with 206 and the rest when "If-Range" names the response's
    // ETag or its date, as a server that does ranges does; with 200 and all of it otherwise.
    bool ranges = false;
    std::vector<std::string> calls;
    std::vector<std::string> headers;
    std::vector<std::string> paths;
    int reads = 0;
    size_t bodyBytesSent = 0;  // of all answers so far

    // A complete 200 answer with the right Content-Length.
    void Serve(const std::string& path, const std::string& body, const std::string& etag = "") {
        responses[path] = Response{"200", std::to_string(body.size()), body};
        responses[path].etag = etag;
    }

    bool IsConnected() override { calls.push_back("connected"); return connected; }
    bool IsInternetReachable() override { calls.push_back("probe"); return reachable; }
    bool Open(const std::string& agent) override { calls.push_back("open " + agent); return opens; }
    // As with the real functions, an empty server name gives no connection.
    bool Connect(const std::string& host) override {
        calls.push_back("connect " + host);
        return connects && !host.empty();
    }
    bool OpenRequest(const std::string& path) override {
        calls.push_back("request " + path);
        paths.push_back(path);
        current_ = path;
        requestHeaders_.clear();
        offset_ = 0;
        return true;
    }
    void AddHeader(const std::string& line) override {
        headers.push_back(line);
        requestHeaders_.push_back(line);
    }
    bool Send() override {
        calls.push_back("send");
        answer_ = Answer();
        return sends;
    }
    std::string QueryInfo(HttpInfo level) override {
        switch (level) {
            case HttpInfo::StatusCode: return answer_.status;
            case HttpInfo::ContentLength: return answer_.contentLength;
            case HttpInfo::ETag: return answer_.etag;
            case HttpInfo::LastModified: return answer_.lastModified;
            case HttpInfo::ContentRange: return answer_.contentRange;
        }
        return "";
    }
    bool Read(char* buffer, uint32_t size, uint32_t& got) override {
        ++reads;
        const Response& r = answer_;
        got = 0;
        if (offset_ == r.failReadAt) return false;
        const size_t n = std::min<size_t>(size, r.body.size() - std::min(offset_, r.body.size()));
        r.body.copy(buffer, n, offset_);
        offset_ += n;
        bodyBytesSent += n;
        got = static_cast<uint32_t>(n);
        return true;
    }
    void Close() override { calls.push_back("close"); }

private:
    std::string RequestHeader(const std::string& name) const {
        for (const std::string& line : requestHeaders_)
            if (line.rfind(name + ": ", 0) == 0) return line.substr(name.size() + 2);
        return "";
    }
    // The answer to the current request, a range included.
    Response Answer() const {
        auto it = responses.find(current_);
        if (it == responses.end()) return Response{"404", "0", "", std::string::npos};
        Response r = it->second;
        const std::string range = RequestHeader("Range"), ifRange = RequestHeader("If-Range");
        if (!ranges || r.status != "200" || range.rfind("bytes=", 0) != 0) return r;
        if (ifRange != r.etag && ifRange != r.lastModified) return r;
        const size_t from = std::stoul(range.substr(6));
        if (from >= r.body.size()) return Response{"416", "0", "", std::string::npos};
        r.contentRange = "bytes " + std::to_string(from) + "-" + std::to_string(r.body.size() - 1) + "/" +
                         std::to_string(r.body.size());
        r.status = "206";
        r.body = r.body.substr(from);
        r.contentLength = std::to_string(r.body.size());
        if (r.failReadAt != std::string::npos) r.failReadAt = r.failReadAt > from ? r.failReadAt - from : 0;
        return r;
    }
    std::string current_;
    std::vector<std::string> requestHeaders_;
    Response answer_;
    size_t offset_ = 0;
};

// The updater's window, remembered as plain values.
class FakeWindow : public UpdaterWindow {
public:
    std::string headline, notes, status;
    std::vector<std::string> statuses;
    int barWidth = -1;
    bool installShown = false, busy = false, shown = false;
    bool installEnabled = true, onlineEnabled = true, giveUpEnabled = true;
    int pumps = 0;
    int64_t now = 0, clockStep = 0;  // the clock advances by clockStep at every reading

    int64_t NowMs() override { return now += clockStep; }
    void SetHeadline(const std::string& t) override { headline = t; }
    void SetNotes(const std::string& t) override { notes = t; }
    void ShowInstallButton(bool install) override { installShown = install; }
    void SetBusy(bool b) override {
        busy = b;
        if (b) barWidth = 0;
    }
    void EnableButton(UpdaterButton b, bool e) override {
        (b == UpdaterButton::Install ? installEnabled : b == UpdaterButton::Online ? onlineEnabled : giveUpEnabled) = e;
    }
    void Show() override { shown = true; }
    void ShowStatus(const std::string& t) override {
        status = t;
        statuses.push_back(t);
    }
    int StatusWidth() override { return 6765; }
    void ShowProgressWidth(int twips) override { barWidth = twips; }
    void PumpMessages() override { ++pumps; }
};

// The updater's shell: scripted arguments and answers, recorded messages.
class FakeUpdaterShell : public UpdaterShell {
public:
    std::string folder = "C:\\QOR", arguments;
    bool anotherInstance = false;
    bool answerYes = true, answerOk = true;
    std::vector<std::string> messages;  // "I:" or "E:" + text, and "Q:" + text for questions

    bool AnotherInstanceRunning() override { return anotherInstance; }
    std::string ProgramFolder() override { return folder; }
    std::string CommandArguments() override { return arguments; }
    void ShowMessage(const std::string& text, UpdaterIcon icon) override {
        messages.push_back((icon == UpdaterIcon::Critical ? "E:" : "I:") + text);
    }
    bool AskYesNo(const std::string& text) override {
        messages.push_back("Q:" + text);
        return answerYes;
    }
    bool AskOkCancel(const std::string& text) override {
        messages.push_back("Q:" + text);
        return answerOk;
    }
};

// Program starts recorded; `onStart` lets a test play the started program (the extractor).
class FakeRunner : public ProgramRunner {
public:
    struct Started {
        std::string commandLine;
        WindowStyle style;
    };
    std::vector<Started> started;
    std::vector<uint32_t> waited;
    uint32_t nextPid = 100;
    uint32_t exitCode = 0;  // of every awaited program
    std::function<void(const std::string&)> onStart;

    uint32_t Start(const std::string& commandLine, WindowStyle style) override {
        started.push_back({commandLine, style});
        if (onStart) onStart(commandLine);
        return nextPid == 0 ? 0 : nextPid++;
    }
    std::optional<uint32_t> StartAndWait(const std::string& commandLine, WindowStyle style) override {
        const uint32_t pid = Start(commandLine, style);
        if (pid == 0) return std::nullopt;
        waited.push_back(pid);
        return exitCode;
    }
    std::vector<std::string> Commands() const {
        std::vector<std::string> lines;
        for (const Started& s : started) lines.push_back(s.commandLine);
        return lines;
    }
};

// The launcher's shell for the hand-off: only message pumping matters there.
class FakeLauncherShell : public LauncherShell {
public:
    int pumps = 0;
    bool AnotherInstanceRunning() override { return false; }
    void ReleaseInstanceLock() override {}
    bool ProcessElevated() override { return true; }
    bool RunElevatedAndWait(const std::string&) override { return false; }
    std::string ProgramFolder() override { return "C:\\QOR"; }
    std::string CommandArguments() override { return ""; }
    FileVersionParts ProgramVersion() override { return {}; }
    std::vector<std::string> messages;  // title + ":" + text
    void ShowMessage(const std::string& text, const std::string& title, MessageIcon) override {
        messages.push_back(title + ":" + text);
    }
    void ShowSecurityNotice(const std::string&) override {}
    void ShowAssociationNotice(const std::string&) override {}
    void ShowConfigurationNotice(const std::string&) override {}
    void ShowSplash(const std::string&) override {}
    void MakeSplashTopmost() override {}
    void ShowStage(const std::string&) override {}
    void PumpMessages() override { ++pumps; }
};

// Takes a signature as good when its first byte is 0x5a and the data read whole is `signedData`
// or one of `alsoSigned`. Its "SHA-256" is FakeDigest of the data: enough to tell packages apart.
class FakeVerifier : public SignatureVerifier {
public:
    std::string signedData = "PACKAGE";
    std::vector<std::string> alsoSigned;
    std::vector<std::string> checked;  // the data of every call
    std::vector<std::string> hashed;   // the data of every hash

    // The data's first 31 bytes and its length, zero-padded.
    static Sha256Digest FakeDigest(const std::string& data) {
        Sha256Digest d{};
        for (size_t i = 0; i < data.size() && i < 31; ++i) d[i] = static_cast<uint8_t>(data[i]);
        d[31] = static_cast<uint8_t>(data.size());
        return d;
    }
    bool Verify(ByteReader& data, const P256PublicKey&, const P256Signature& signature) override {
        const std::string all = ReadAll(data);
        checked.push_back(all);
        return signature[0] == 0x5a &&
               (all == signedData || std::find(alsoSigned.begin(), alsoSigned.end(), all) != alsoSigned.end());
    }
    bool Sha256(ByteReader& data, Sha256Digest& digest) override {
        const std::string all = ReadAll(data);
        hashed.push_back(all);
        digest = FakeDigest(all);
        return true;
    }

private:
    static std::string ReadAll(ByteReader& data) {
        std::string all;
        char buffer[3];
        size_t got = 0;
        while (data.Read(buffer, sizeof buffer, got) && got > 0) all.append(buffer, got);
        return all;
    }
};

}  // namespace qor::testing
