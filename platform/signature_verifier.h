// Checking an update package's or log's signature, and hashing a package, with the operating system's own cryptography.
#pragma once

#include "core/signature_rules.h"
#include "platform/byte_stream.h"

namespace qor {

class SignatureVerifier {
public:
    virtual ~SignatureVerifier() = default;
    // True when `signature` is a valid ECDSA P-256 signature by `key` over the SHA-256 of all the
    // bytes the reader gives (read in bounded pieces). False on a mismatch and on any failure.
    virtual bool Verify(ByteReader& data, const P256PublicKey& key, const P256Signature& signature) = 0;
    // The SHA-256 of all the bytes the reader gives (read in bounded pieces); false on a failure.
    virtual bool Sha256(ByteReader& data, Sha256Digest& digest) = 0;
};

}  // namespace qor
