// The package signature check through Windows' own cryptography (CNG) under Wine, against a
// signature that the vendor's tool made with OpenSSL.
#include <gtest/gtest.h>

#include <string>

#include "core/signature_rules.h"
#include "platform/win32/signature_verifier_win32.h"

namespace qor {
namespace {

const char kVendorKey[] =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEgnfGRr54G4j2GQBHDrcEzUJNgayz\n"
    "VEFHvOkrjX4oCDC+DlVIY4ndeGe/IgUdIpbvwdT3cv99a7PtrJ6AClCYEA==\n"
    "-----END PUBLIC KEY-----\n";
// qor_sign's signatures of the package below: by the vendor's key, and by another key.
const char kVendorSignature[] =
    "37358eba9b2a0b0a6cbd8c9791fca0048930adc9e03d6af02f45a805e5796b16"
    "51d0c331562a59773e85ea49d70d0e1281f66abdd3e8fb0175758a50557fe7db";
const char kOtherSignature[] =
    "7a98ccfe98ed4d40e530345bd7dd1d22bf4b7e776abe7613a6bb9a45501f0c17"
    "d98995d66c032e3c7bf10c843c23c366b53c77ed39a71e3dab33431eb9f71aa8";

// 150,000 bytes i % 251, handed out in reads of at most `piece` bytes.
class PatternReader : public ByteReader {
public:
    explicit PatternReader(size_t piece, long flip = -1) : piece_(piece), flip_(flip) {}
    bool Read(char* buffer, size_t size, size_t& got) override {
        got = 0;
        while (got < size && got < piece_ && at_ < 150000) {
            char b = static_cast<char>(at_ % 251);
            if (at_ == flip_) b ^= 1;
            buffer[got++] = b;
            ++at_;
        }
        ++reads;
        return true;
    }
    int reads = 0;

private:
    size_t piece_;
    long flip_;
    long at_ = 0;
};

TEST(SignatureVerifierWineTest, OnlyTheVendorsSignatureOverTheExactBytesPasses) {
    P256PublicKey key{};
    P256Signature vendor{}, other{};
    ASSERT_TRUE(ParsePublicKeyPem(kVendorKey, key));
    ASSERT_TRUE(ParseSignatureText(kVendorSignature, vendor));
    ASSERT_TRUE(ParseSignatureText(kOtherSignature, other));
    win32::Win32SignatureVerifier verifier;

    PatternReader whole(1 << 20);
    EXPECT_TRUE(verifier.Verify(whole, key, vendor));
    EXPECT_GT(whole.reads, 2);  // read in bounded pieces, not at once
    PatternReader small(1000);
    EXPECT_TRUE(verifier.Verify(small, key, vendor));

    PatternReader changed(1 << 20, 77777);
    EXPECT_FALSE(verifier.Verify(changed, key, vendor));
    PatternReader again(1 << 20);
    EXPECT_FALSE(verifier.Verify(again, key, other));
    P256Signature zero{};
    PatternReader third(1 << 20);
    EXPECT_FALSE(verifier.Verify(third, key, zero));
}

}  // namespace
}  // namespace qor
