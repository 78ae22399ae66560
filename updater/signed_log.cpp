#include "updater/signed_log.h"

#include <algorithm>
#include <cstring>

#include "core/log_signature.h"
#include "core/text.h"
#include "core/update_rules.h"
#include "updater/update_log.h"

namespace qor {
namespace {

bool Keyed(const UpdaterState& s) { return !s.updateKeyPem.empty(); }

class StringReader : public ByteReader {
public:
    explicit StringReader(const std::string& data) : data_(data) {}
    bool Read(char* buffer, size_t size, size_t& got) override {
        got = std::min(size, data_.size() - at_);
        std::memcpy(buffer, data_.data() + at_, got);
        at_ += got;
        return true;
    }

private:
    const std::string& data_;
    size_t at_ = 0;
};

void RemoveIfPresent(FileStore& files, const std::string& path) {
    if (files.FileExists(path)) files.RemoveFile(path);
}

bool Refuse(UpdaterPlatform& p, UpdaterState& s) {
    RemoveIfPresent(p.files, UpdateLogPath(s.appFolder));
    RemoveIfPresent(p.files, LogSignaturePath(s.appFolder));
    s.logSigned = false;
    return false;
}

// The version of the newest accepted log; empty when none was recorded (or the record is
// unreadable: the folder's own files are trusted, only the network is not).
std::string NewestAccepted(UpdaterPlatform& p, const UpdaterState& s) {
    std::string text, version;
    if (!p.files.ReadTextAtMost(NewestLogPath(s.appFolder), kUpdateFileReadLimit, text) ||
        !ParseNewestLogRecord(text, version))
        return {};
    return version;
}

// The log's bytes against the stored signature file with the built-in key, then its edition,
// expiry and version. On success the signature's fields are kept in the state.
bool Trusted(UpdaterPlatform& p, UpdaterState& s, const std::string& edition, const std::string& logBytes,
             bool checkExpiry) {
    P256PublicKey key{};
    LogSignature signature;
    std::string sigText;
    if (!p.verifier || !ParsePublicKeyPem(s.updateKeyPem, key) ||
        !p.files.ReadBytesAtMost(LogSignaturePath(s.appFolder), kUpdateFileReadLimit, sigText) ||
        !ParseLogSignature(sigText, signature))
        return false;
    const std::string signedBytes = LogSignedBytes(logBytes, signature);
    StringReader reader(signedBytes);
    if (!p.verifier->Verify(reader, key, signature.signature)) return false;
    int64_t now = 0;
    if (checkExpiry && !p.system.UtcNow(now)) return false;
    const std::string version = ParseUpdateLog(p.files.AnsiToText(logBytes)).version;
    if (JudgeSignedLog(signature, edition, now, version, NewestAccepted(p, s), checkExpiry) != LogVerdict::Accepted)
        return false;
    s.signedLog = signature;
    s.logSigned = true;
    return true;
}

}  // namespace

std::string LogSignaturePath(const std::string& appFolder) { return SignatureName(UpdateLogPath(appFolder)); }

std::string NewestLogPath(const std::string& appFolder) { return JoinPath(appFolder, "\\QOR_UPDATE.seen"); }

bool ReadServerLog(UpdaterPlatform& p, UpdaterState& s, const std::string& edition, const std::string& logUrl,
                   std::string& text) {
    text.clear();
    std::string bytes;
    if (!Keyed(s)) {
        if (!p.files.ReadBytesAtMost(UpdateLogPath(s.appFolder), kUpdateFileReadLimit, bytes)) return false;
        text = p.files.AnsiToText(bytes);
        return true;
    }
    const std::string sigPath = LogSignaturePath(s.appFolder);
    RemoveIfPresent(p.files, sigPath);
    if (!p.files.ReadBytesAtMost(UpdateLogPath(s.appFolder), kUpdateFileReadLimit, bytes) ||
        !DownloadFile(p.http, p.files, p.window, SignatureName(logUrl), sigPath, s.counters) ||
        !Trusted(p, s, edition, bytes, true))
        return Refuse(p, s);
    // The newest accepted log is recorded before anything of it is used; a log that cannot be
    // recorded is not used either.
    const std::string version = ParseUpdateLog(p.files.AnsiToText(bytes)).version;
    const std::string newest = NewestAccepted(p, s);
    if (!IsVersionText(version)) return Refuse(p, s);
    if ((newest.empty() || IsNewerVersion(version, newest)) &&
        !p.files.WriteText(NewestLogPath(s.appFolder), FormatNewestLogRecord(version), false))
        return Refuse(p, s);
    text = p.files.AnsiToText(bytes);
    return true;
}

bool CheckStoredLog(UpdaterPlatform& p, UpdaterState& s, const std::string& edition) {
    if (!Keyed(s)) return true;
    std::string bytes;
    const std::string marker = kDownloadCompleteMarker;
    if (!p.files.ReadBytesAtMost(UpdateLogPath(s.appFolder), kUpdateFileReadLimit, bytes) ||
        !EndsWith(bytes, marker) || !Trusted(p, s, edition, bytes.substr(0, bytes.size() - marker.size()), false))
        return Refuse(p, s);
    const UpdateLogLines log = ParseUpdateLog(p.files.AnsiToText(bytes));
    s.newVersion = log.version;
    s.notes = log.notes;
    return true;
}

bool PackageMatchesSignedLog(UpdaterPlatform& p, const UpdaterState& s) {
    if (!Keyed(s)) return true;
    const std::string package = UpdatePackagePath(s.appFolder);
    if (!s.logSigned || !p.verifier || p.files.FileSize(package) != s.signedLog.packageSize) return false;
    std::unique_ptr<ByteReader> reader = p.files.OpenForReading(package);
    Sha256Digest digest{};
    return reader && p.verifier->Sha256(*reader, digest) && digest == s.signedLog.packageSha256;
}

}  // namespace qor
