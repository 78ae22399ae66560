#include "updater/package_signature.h"

#include "core/signature_rules.h"
#include "core/text.h"
#include "updater/signed_log.h"
#include "updater/update_log.h"

namespace qor {

const char* const kPackageSignatureRefused =
    "升级包【QOR_UPDATE.rar】未通过数字签名校验，已被删除！\r\n请稍后重新升级。";

std::string PackageSignaturePath(const std::string& appFolder) {
    return SignatureName(UpdatePackagePath(appFolder));
}

namespace {

bool Required(const UpdaterState& s) { return !s.updateKeyPem.empty(); }

// The package against its stored signature with the built-in key, and against the size and
// SHA-256 of the signed log. A key that does not parse refuses every package rather than
// letting any through.
bool Matches(UpdaterPlatform& p, const UpdaterState& s) {
    P256PublicKey key{};
    P256Signature signature{};
    std::string text;
    if (!p.verifier || !ParsePublicKeyPem(s.updateKeyPem, key) ||
        !p.files.ReadTextAtMost(PackageSignaturePath(s.appFolder), kUpdateFileReadLimit, text) ||
        !ParseSignatureText(text, signature) || !PackageMatchesSignedLog(p, s))
        return false;
    std::unique_ptr<ByteReader> package = p.files.OpenForReading(UpdatePackagePath(s.appFolder));
    return package && p.verifier->Verify(*package, key, signature);
}

bool Refuse(UpdaterPlatform& p, const UpdaterState& s) {
    for (const std::string& path : {UpdatePackagePath(s.appFolder), PackageSignaturePath(s.appFolder)})
        if (p.files.FileExists(path)) p.files.RemoveFile(path);
    return false;
}

}  // namespace

bool FetchPackageSignature(UpdaterPlatform& p, UpdaterState& s) {
    if (!Required(s)) return true;
    const std::string sig = PackageSignaturePath(s.appFolder);
    if (p.files.FileExists(sig)) p.files.RemoveFile(sig);
    if (!DownloadFile(p.http, p.files, p.window, SignatureName(s.packageUrl), sig, s.counters)) return Refuse(p, s);
    return Matches(p, s) || Refuse(p, s);
}

bool CheckStoredPackage(UpdaterPlatform& p, const UpdaterState& s) {
    if (!Required(s)) return true;
    return Matches(p, s) || Refuse(p, s);
}

}  // namespace qor
