// qor_sign: the vendor's signing tool for update packages (build machine only).
//   qor_sign keygen PRIVATE PUBLIC   makes an ECDSA P-256 key pair (PEM files)
//   qor_sign sign PRIVATE PACKAGE    writes PACKAGE.sig
//   qor_sign verify PUBLIC PACKAGE   checks PACKAGE against PACKAGE.sig
// The signature covers the package's SHA-256; the .sig file holds r and s as 128 hexadecimal
// digits, the form the updater reads (core/signature_rules.h). All cryptography is OpenSSL's.
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/signature_rules.h"

namespace {

// Exit codes.
constexpr int kOk = 0;
constexpr int kFileError = 1;       // usage, or a file missing, unreadable or unwritable
constexpr int kBadKey = 2;          // not a PEM ECDSA P-256 key of the kind asked for
constexpr int kBadSignature = 3;    // the .sig is malformed or does not match the package

const char kUsage[] =
    "usage: qor_sign keygen PRIVATE PUBLIC\n"
    "       qor_sign sign PRIVATE PACKAGE      (writes PACKAGE.sig)\n"
    "       qor_sign verify PUBLIC PACKAGE     (reads PACKAGE.sig)\n"
    "Keys are ECDSA P-256 in PEM; signatures cover the package's SHA-256.\n"
    "Exit codes: 0 done, 1 usage or file error, 2 bad key, 3 bad or non-matching signature.\n";

int Fail(int code, const std::string& message) {
    std::cerr << "qor_sign: " << message << "\n";
    return code;
}

struct FileCloser {
    void operator()(FILE* f) const { if (f) std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;
struct KeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
struct MdFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, MdFree>;
struct SigFree {
    void operator()(ECDSA_SIG* s) const { ECDSA_SIG_free(s); }
};
using EcdsaSig = std::unique_ptr<ECDSA_SIG, SigFree>;

bool IsP256(EVP_PKEY* key) {
    if (EVP_PKEY_get_base_id(key) != EVP_PKEY_EC) return false;
    char curve[64] = {};
    size_t length = 0;
    return EVP_PKEY_get_utf8_string_param(key, "group", curve, sizeof curve, &length) == 1 &&
           std::string(curve) == "prime256v1";
}

// Reads a PEM key: private (sign) or public (verify). Null with the exit code set on failure.
Key ReadKey(const std::string& path, bool isPrivate, int& code) {
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) {
        code = Fail(kFileError, "key file cannot be read: " + path);
        return nullptr;
    }
    Key key(isPrivate ? PEM_read_PrivateKey(f.get(), nullptr, nullptr, nullptr)
                      : PEM_read_PUBKEY(f.get(), nullptr, nullptr, nullptr));
    if (!key || !IsP256(key.get())) {
        code = Fail(kBadKey, std::string("not an ECDSA P-256 ") + (isPrivate ? "private" : "public") +
                                 " key in PEM: " + path);
        return nullptr;
    }
    return key;
}

// Feeds the package to the digest in bounded pieces, so that a large package is never read whole.
bool DigestFile(const std::string& path, EVP_MD_CTX* context, bool signing) {
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) return false;
    std::vector<unsigned char> buffer(1 << 16);
    size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), f.get())) > 0) {
        const int ok = signing ? EVP_DigestSignUpdate(context, buffer.data(), got)
                               : EVP_DigestVerifyUpdate(context, buffer.data(), got);
        if (ok != 1) return false;
    }
    return !std::ferror(f.get());
}

bool Exists(const std::string& path) { return std::ifstream(path, std::ios::binary).good(); }

int Keygen(const std::string& privatePath, const std::string& publicPath) {
    Key key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    if (!key) return Fail(kFileError, "key generation failed");
    // The private key is readable by its owner only.
    const mode_t previous = umask(077);
    {
        File f(std::fopen(privatePath.c_str(), "wb"));
        if (!f || PEM_write_PrivateKey(f.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1)
            return umask(previous), Fail(kFileError, "private key cannot be written: " + privatePath);
    }
    umask(previous);
    File f(std::fopen(publicPath.c_str(), "wb"));
    if (!f || PEM_write_PUBKEY(f.get(), key.get()) != 1) {
        std::remove(privatePath.c_str());
        return Fail(kFileError, "public key cannot be written: " + publicPath);
    }
    return kOk;
}

int Sign(const std::string& privatePath, const std::string& package) {
    if (!Exists(package)) return Fail(kFileError, "package cannot be read: " + package);
    int code = kOk;
    Key key = ReadKey(privatePath, true, code);
    if (!key) return code;
    DigestContext context(EVP_MD_CTX_new());
    std::vector<unsigned char> der(EVP_PKEY_get_size(key.get()));
    size_t length = der.size();
    if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1 ||
        !DigestFile(package, context.get(), true) || EVP_DigestSignFinal(context.get(), der.data(), &length) != 1)
        return Fail(kFileError, "package cannot be signed: " + package);
    const unsigned char* p = der.data();
    EcdsaSig sig(d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(length)));
    qor::P256Signature raw{};
    if (!sig || BN_bn2binpad(ECDSA_SIG_get0_r(sig.get()), raw.data(), 32) != 32 ||
        BN_bn2binpad(ECDSA_SIG_get0_s(sig.get()), raw.data() + 32, 32) != 32)
        return Fail(kFileError, "signature cannot be encoded");
    const std::string sigPath = qor::SignatureName(package);
    std::ofstream out(sigPath, std::ios::binary | std::ios::trunc);
    out << qor::FormatSignatureText(raw);
    if (!out.flush()) {
        out.close();
        std::remove(sigPath.c_str());
        return Fail(kFileError, "signature cannot be written: " + sigPath);
    }
    return kOk;
}

int Verify(const std::string& publicPath, const std::string& package) {
    if (!Exists(package)) return Fail(kFileError, "package cannot be read: " + package);
    const std::string sigPath = qor::SignatureName(package);
    std::ifstream sigFile(sigPath, std::ios::binary);
    if (!sigFile) return Fail(kFileError, "signature file cannot be read: " + sigPath);
    const std::string text((std::istreambuf_iterator<char>(sigFile)), std::istreambuf_iterator<char>());
    int code = kOk;
    Key key = ReadKey(publicPath, false, code);
    if (!key) return code;
    qor::P256Signature raw{};
    if (!qor::ParseSignatureText(text, raw)) return Fail(kBadSignature, "malformed signature file: " + sigPath);
    EcdsaSig sig(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(raw.data(), 32, nullptr);
    BIGNUM* s = BN_bin2bn(raw.data() + 32, 32, nullptr);
    if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
        BN_free(r);
        BN_free(s);
        return Fail(kBadSignature, "malformed signature file: " + sigPath);
    }
    unsigned char* der = nullptr;
    const int length = i2d_ECDSA_SIG(sig.get(), &der);
    DigestContext context(EVP_MD_CTX_new());
    int verdict = -1;
    if (length > 0 && context &&
        EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) == 1) {
        if (!DigestFile(package, context.get(), false)) {
            OPENSSL_free(der);
            return Fail(kFileError, "package cannot be read: " + package);
        }
        verdict = EVP_DigestVerifyFinal(context.get(), der, static_cast<size_t>(length));
    }
    OPENSSL_free(der);
    if (verdict != 1) return Fail(kBadSignature, "signature does not match the package: " + package);
    std::cout << "qor_sign: signature good: " << package << "\n";
    return kOk;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << kUsage;
        return kFileError;
    }
    const std::string command = argv[1];
    if (command == "keygen") return Keygen(argv[2], argv[3]);
    if (command == "sign") return Sign(argv[2], argv[3]);
    if (command == "verify") return Verify(argv[2], argv[3]);
    std::cerr << kUsage;
    return kFileError;
}
