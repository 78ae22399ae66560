#include "platform/win32/signature_verifier_win32.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>
#include <vector>

#include "platform/win32/system_folder.h"

namespace qor::win32 {
namespace {

// bcrypt.dll is not one of the DLLs Windows always takes from the system folder, so it is never
// imported: it is loaded on first use from the system folder only.
struct Cng {
    decltype(&BCryptOpenAlgorithmProvider) openAlgorithm = nullptr;
    decltype(&BCryptCloseAlgorithmProvider) closeAlgorithm = nullptr;
    decltype(&BCryptCreateHash) createHash = nullptr;
    decltype(&BCryptHashData) hashData = nullptr;
    decltype(&BCryptFinishHash) finishHash = nullptr;
    decltype(&BCryptDestroyHash) destroyHash = nullptr;
    decltype(&BCryptImportKeyPair) importKeyPair = nullptr;
    decltype(&BCryptVerifySignature) verifySignature = nullptr;
    decltype(&BCryptDestroyKey) destroyKey = nullptr;

    bool Load() {
        HMODULE dll = LoadSystemLibrary(L"bcrypt.dll");
        if (!dll) return false;
        return Get(dll, "BCryptOpenAlgorithmProvider", openAlgorithm) &&
               Get(dll, "BCryptCloseAlgorithmProvider", closeAlgorithm) && Get(dll, "BCryptCreateHash", createHash) &&
               Get(dll, "BCryptHashData", hashData) && Get(dll, "BCryptFinishHash", finishHash) &&
               Get(dll, "BCryptDestroyHash", destroyHash) && Get(dll, "BCryptImportKeyPair", importKeyPair) &&
               Get(dll, "BCryptVerifySignature", verifySignature) && Get(dll, "BCryptDestroyKey", destroyKey);
    }
    template <typename F>
    static bool Get(HMODULE dll, const char* name, F& f) {
        f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
        return f != nullptr;
    }
};

// An algorithm provider, closed at the end.
class Algorithm {
public:
    Algorithm(const Cng& cng, const wchar_t* id) : cng_(cng) {
        if (!BCRYPT_SUCCESS(cng_.openAlgorithm(&h_, id, nullptr, 0))) h_ = nullptr;
    }
    ~Algorithm() {
        if (h_) cng_.closeAlgorithm(h_, 0);
    }
    BCRYPT_ALG_HANDLE get() const { return h_; }

private:
    const Cng& cng_;
    BCRYPT_ALG_HANDLE h_ = nullptr;
};

// SHA-256 of everything the reader gives, in 64 KiB pieces.
bool HashAll(const Cng& cng, ByteReader& data, UCHAR (&digest)[32]) {
    Algorithm sha(cng, BCRYPT_SHA256_ALGORITHM);
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!sha.get() || !BCRYPT_SUCCESS(cng.createHash(sha.get(), &hash, nullptr, 0, nullptr, 0, 0))) return false;
    std::vector<char> buffer(64 * 1024);
    bool ok = true;
    for (;;) {
        size_t got = 0;
        if (!data.Read(buffer.data(), buffer.size(), got)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        if (!BCRYPT_SUCCESS(cng.hashData(hash, reinterpret_cast<PUCHAR>(buffer.data()), static_cast<ULONG>(got), 0))) {
            ok = false;
            break;
        }
    }
    ok = ok && BCRYPT_SUCCESS(cng.finishHash(hash, digest, sizeof digest, 0));
    cng.destroyHash(hash);
    return ok;
}

}  // namespace

bool Win32SignatureVerifier::Verify(ByteReader& data, const P256PublicKey& key, const P256Signature& signature) {
    Cng cng;
    if (!cng.Load()) return false;
    UCHAR digest[32];
    if (!HashAll(cng, data, digest)) return false;

    Algorithm ecdsa(cng, BCRYPT_ECDSA_P256_ALGORITHM);
    if (!ecdsa.get()) return false;
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + key.size());
    BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, key.data(), key.size());
    BCRYPT_KEY_HANDLE publicKey = nullptr;
    if (!BCRYPT_SUCCESS(cng.importKeyPair(ecdsa.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &publicKey, blob.data(),
                                          static_cast<ULONG>(blob.size()), 0)))
        return false;
    P256Signature copy = signature;
    const NTSTATUS status =
        cng.verifySignature(publicKey, nullptr, digest, sizeof digest, copy.data(), static_cast<ULONG>(copy.size()), 0);
    cng.destroyKey(publicKey);
    return BCRYPT_SUCCESS(status);
}

bool Win32SignatureVerifier::Sha256(ByteReader& data, Sha256Digest& digest) {
    Cng cng;
    UCHAR bytes[32];
    if (!cng.Load() || !HashAll(cng, data, bytes)) return false;
    std::memcpy(digest.data(), bytes, sizeof bytes);
    return true;
}

}  // namespace qor::win32
