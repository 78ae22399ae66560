// Rules of signed update packages that need nothing from the operating system: the vendor's
// public key as it is built into the updater, and the signature file that lies beside a package
// on the update server. The algorithm is ECDSA on the curve P-256 over the package's SHA-256.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qor {

// A P-256 public key as its two 32-byte coordinates X and Y (big-endian), the form Windows'
// CNG imports as an ECC public key blob.
using P256PublicKey = std::array<uint8_t, 64>;
// An ECDSA P-256 signature as r and s, 32 bytes each (big-endian), the form CNG verifies.
using P256Signature = std::array<uint8_t, 64>;
// A SHA-256 digest.
using Sha256Digest = std::array<uint8_t, 32>;

// The key from a PEM "PUBLIC KEY" block (SubjectPublicKeyInfo of an uncompressed P-256 point),
// as `openssl` and `qor_sign keygen` write it. Text around the block is ignored; any other key
// type, curve or encoding gives false.
bool ParsePublicKeyPem(const std::string& pem, P256PublicKey& key);
// The key's DER SubjectPublicKeyInfo, the bytes whose SHA-256 is the key's usual fingerprint.
std::string PublicKeyDer(const P256PublicKey& key);

// A signature file holds exactly 128 hexadecimal digits (r then s), optionally followed by one
// line end (CR LF or LF). Anything else gives false.
bool ParseSignatureText(const std::string& text, P256Signature& signature);
// The signature file's text: 128 lower-case hexadecimal digits and CR LF.
std::string FormatSignatureText(const P256Signature& signature);

// The name of a package's signature file or URL: the package's with ".sig" appended.
std::string SignatureName(const std::string& package);

}  // namespace qor
