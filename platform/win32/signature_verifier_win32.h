// SignatureVerifier through CNG (bcrypt.dll, loaded from the system folder only).
#pragma once

#include "platform/signature_verifier.h"

namespace qor::win32 {

class Win32SignatureVerifier : public SignatureVerifier {
public:
    bool Verify(ByteReader& data, const P256PublicKey& key, const P256Signature& signature) override;
    bool Sha256(ByteReader& data, Sha256Digest& digest) override;
};

}  // namespace qor::win32
