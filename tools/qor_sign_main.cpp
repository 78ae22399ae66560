// qor_sign: the vendor's signing tool for update packages (build machine only).
//   qor_sign keygen PRIVATE PUBLIC   makes an ECDSA P-256 key pair (PEM files)
//   qor_sign sign PRIVATE PACKAGE    writes PACKAGE.sig
//   qor_sign verify PUBLIC PACKAGE   checks PACKAGE against PACKAGE.sig
//   qor_sign sign-log PRIVATE LOG EDITION PACKAGE EXPIRES
//                                    writes LOG.sig over the update log, the edition code, the
//                                    package's SHA-256 and size, and the expiry (UTC time or +days)
//   qor_sign verify-log PUBLIC LOG EDITION PACKAGE
//                                    checks LOG against LOG.sig, the edition and the package
// A package signature covers the package's SHA-256; the .sig file holds r and s as 128
// hexadecimal digits, the form the updater reads (core/signature_rules.h). A log signature file
// is the text of core/log_signature.h. All cryptography is OpenSSL's.
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/log_signature.h"
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
    "       qor_sign sign-log PRIVATE LOG EDITION PACKAGE EXPIRES   (writes LOG.sig)\n"
    "       qor_sign verify-log PUBLIC LOG EDITION PACKAGE          (reads LOG.sig)\n"
    "Keys are ECDSA P-256 in PEM; signatures cover the package's SHA-256. A log signature covers\n"
    "the log's bytes, the edition code (BIZACC), the package's SHA-256 and size and the expiry:\n"
    "EXPIRES is a UTC time YYYY-MM-DDTHH:MM:SSZ or +N (N days from now).\n"
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

// The DER encoding OpenSSL verifies, from a signature's r and s; false when they do not encode.
bool DerFromRaw(const qor::P256Signature& raw, std::vector<unsigned char>& der) {
    EcdsaSig sig(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(raw.data(), 32, nullptr);
    BIGNUM* s = BN_bin2bn(raw.data() + 32, 32, nullptr);
    if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
        BN_free(r);
        BN_free(s);
        return false;
    }
    unsigned char* encoded = nullptr;
    const int length = i2d_ECDSA_SIG(sig.get(), &encoded);
    if (length <= 0) return false;
    der.assign(encoded, encoded + length);
    OPENSSL_free(encoded);
    return true;
}

// Writes a signature file whole; a file that could not be written whole is removed.
int WriteSignatureFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) {
        out.close();
        std::remove(path.c_str());
        return Fail(kFileError, "signature cannot be written: " + path);
    }
    return kOk;
}

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
    return WriteSignatureFile(qor::SignatureName(package), qor::FormatSignatureText(raw));
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
    std::vector<unsigned char> der;
    if (!DerFromRaw(raw, der)) return Fail(kBadSignature, "malformed signature file: " + sigPath);
    DigestContext context(EVP_MD_CTX_new());
    int verdict = -1;
    if (context && EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) == 1) {
        if (!DigestFile(package, context.get(), false)) return Fail(kFileError, "package cannot be read: " + package);
        verdict = EVP_DigestVerifyFinal(context.get(), der.data(), der.size());
    }
    if (verdict != 1) return Fail(kBadSignature, "signature does not match the package: " + package);
    std::cout << "qor_sign: signature good: " << package << "\n";
    return kOk;
}

bool ReadWhole(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return !in.bad();
}

// The package's SHA-256 and size, read in bounded pieces.
bool HashPackage(const std::string& path, qor::Sha256Digest& digest, uint64_t& size) {
    File f(std::fopen(path.c_str(), "rb"));
    DigestContext context(EVP_MD_CTX_new());
    if (!f || !context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return false;
    std::vector<unsigned char> buffer(1 << 16);
    size = 0;
    size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), f.get())) > 0) {
        if (EVP_DigestUpdate(context.get(), buffer.data(), got) != 1) return false;
        size += got;
    }
    unsigned int length = 0;
    return !std::ferror(f.get()) && EVP_DigestFinal_ex(context.get(), digest.data(), &length) == 1 && length == 32;
}

// r and s of an ECDSA P-256 signature over the SHA-256 of the bytes.
bool SignBytes(EVP_PKEY* key, const std::string& bytes, qor::P256Signature& raw) {
    DigestContext context(EVP_MD_CTX_new());
    std::vector<unsigned char> der(EVP_PKEY_get_size(key));
    size_t length = der.size();
    if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key) != 1 ||
        EVP_DigestSign(context.get(), der.data(), &length, reinterpret_cast<const unsigned char*>(bytes.data()),
                       bytes.size()) != 1)
        return false;
    const unsigned char* p = der.data();
    EcdsaSig sig(d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(length)));
    return sig && BN_bn2binpad(ECDSA_SIG_get0_r(sig.get()), raw.data(), 32) == 32 &&
           BN_bn2binpad(ECDSA_SIG_get0_s(sig.get()), raw.data() + 32, 32) == 32;
}

bool VerifyBytes(EVP_PKEY* key, const std::string& bytes, const qor::P256Signature& raw) {
    std::vector<unsigned char> der;
    DigestContext context(EVP_MD_CTX_new());
    return DerFromRaw(raw, der) && context &&
           EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key) == 1 &&
           EVP_DigestVerify(context.get(), der.data(), der.size(), reinterpret_cast<const unsigned char*>(bytes.data()),
                            bytes.size()) == 1;
}

int SignLog(const std::string& privatePath, const std::string& log, const std::string& edition,
            const std::string& package, const std::string& expires) {
    qor::LogSignature fields;
    fields.edition = edition;
    if (!qor::IsSignableEdition(edition))
        return Fail(kFileError, "the edition code must be 1 to 64 letters, digits, '-' or '.': \"" + edition + "\"");
    if (expires.size() > 1 && expires[0] == '+' && expires.find_first_not_of("0123456789", 1) == std::string::npos &&
        expires.size() < 7) {
        fields.expires = static_cast<int64_t>(std::time(nullptr)) + std::stoll(expires.substr(1)) * 86400;
    } else if (!qor::ParseUtcTime(expires, fields.expires)) {
        return Fail(kFileError, "the expiry must be a UTC time YYYY-MM-DDTHH:MM:SSZ or +days: \"" + expires + "\"");
    }
    if (fields.expires <= static_cast<int64_t>(std::time(nullptr)))
        return Fail(kFileError, "the expiry has passed already: " + qor::FormatUtcTime(fields.expires));
    std::string bytes;
    if (!ReadWhole(log, bytes)) return Fail(kFileError, "update log cannot be read: " + log);
    if (bytes.size() > qor::kUpdateFileReadLimit)
        return Fail(kFileError, "the update log is larger than the updater reads (" +
                                    std::to_string(qor::kUpdateFileReadLimit) + " bytes): " + log);
    if (!HashPackage(package, fields.packageSha256, fields.packageSize))
        return Fail(kFileError, "package cannot be read: " + package);
    int code = kOk;
    Key key = ReadKey(privatePath, true, code);
    if (!key) return code;
    if (!SignBytes(key.get(), qor::LogSignedBytes(bytes, fields), fields.signature))
        return Fail(kFileError, "the update log cannot be signed: " + log);
    const std::string sigPath = qor::SignatureName(log);
    if (const int written = WriteSignatureFile(sigPath, qor::FormatLogSignature(fields)); written != kOk) return written;
    std::cout << "qor_sign: " << sigPath << " for " << edition << ", package " << fields.packageSize
              << " bytes, expires " << qor::FormatUtcTime(fields.expires) << "\n";
    return kOk;
}

int VerifyLog(const std::string& publicPath, const std::string& log, const std::string& edition,
              const std::string& package) {
    std::string bytes, sigText;
    if (!ReadWhole(log, bytes)) return Fail(kFileError, "update log cannot be read: " + log);
    const std::string sigPath = qor::SignatureName(log);
    if (!ReadWhole(sigPath, sigText)) return Fail(kFileError, "signature file cannot be read: " + sigPath);
    qor::Sha256Digest digest{};
    uint64_t size = 0;
    if (!HashPackage(package, digest, size)) return Fail(kFileError, "package cannot be read: " + package);
    int code = kOk;
    Key key = ReadKey(publicPath, false, code);
    if (!key) return code;
    qor::LogSignature fields;
    if (!qor::ParseLogSignature(sigText, fields)) return Fail(kBadSignature, "malformed signature file: " + sigPath);
    if (!VerifyBytes(key.get(), qor::LogSignedBytes(bytes, fields), fields.signature))
        return Fail(kBadSignature, "signature does not match the update log: " + log);
    if (fields.edition != edition) return Fail(kBadSignature, "the log is signed for edition " + fields.edition);
    if (fields.packageSha256 != digest || fields.packageSize != size)
        return Fail(kBadSignature, "the log is signed for another package than " + package);
    if (fields.expires <= static_cast<int64_t>(std::time(nullptr)))
        return Fail(kBadSignature, "the log's signature expired at " + qor::FormatUtcTime(fields.expires));
    std::cout << "qor_sign: log signature good: " << log << ", expires " << qor::FormatUtcTime(fields.expires) << "\n";
    return kOk;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "sign-log" && argc == 7) return SignLog(argv[2], argv[3], argv[4], argv[5], argv[6]);
    if (command == "verify-log" && argc == 6) return VerifyLog(argv[2], argv[3], argv[4], argv[5]);
    if (argc != 4) {
        std::cerr << kUsage;
        return kFileError;
    }
    if (command == "keygen") return Keygen(argv[2], argv[3]);
    if (command == "sign") return Sign(argv[2], argv[3]);
    if (command == "verify") return Verify(argv[2], argv[3]);
    std::cerr << kUsage;
    return kFileError;
}
