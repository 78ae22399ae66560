// SHA-256 (FIPS 180-4), fed in pieces, so that files of any size are hashed in bounded memory.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace qor {

using Sha256Digest = std::array<uint8_t, 32>;

class Sha256 {
public:
    Sha256();
    void Update(const void* data, size_t size);
    // The digest of everything fed so far; the object is then spent.
    Sha256Digest Finish();

private:
    void Block(const uint8_t* block);

    std::array<uint32_t, 8> state_;
    std::array<uint8_t, 64> buffer_{};
    size_t buffered_ = 0;
    uint64_t length_ = 0;
};

// The digest as 64 lower-case hexadecimal digits.
std::string HexDigest(const Sha256Digest& digest);
// The SHA-256 of the bytes, as HexDigest gives it.
std::string Sha256Hex(const std::string& bytes);

}  // namespace qor
