// Signed updates and published logs: the built-in public key, the signature file and the log
// that the publishing tool composes.
#include <gtest/gtest.h>

#include "core/release_rules.h"
#include "core/signature_rules.h"
#include "core/update_rules.h"

namespace qor {
namespace {

const char kP256Pem[] =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEnUy/dwuOP9r5Pde7IljxAFuTWuwD\n"
    "LrZUChzXyVaMk7AzvhOxaXmwElIMyZdghEruAcppVgRFXKNfLE5JxgmqcQ==\n"
    "-----END PUBLIC KEY-----\n";

TEST(PublicKeyPem, OnlyAnUncompressedP256KeyIsTaken) {
    P256PublicKey key{};
    ASSERT_TRUE(ParsePublicKeyPem(kP256Pem, key));
    EXPECT_EQ(key[0], 0x9d);
    EXPECT_EQ(key[31], 0xb0);   // last byte of X
    EXPECT_EQ(key[63], 0x71);   // last byte of Y
    // CR LF line ends and text around the block (as a cache variable may carry it) are fine.
    std::string crlf = std::string("key:\r\n") + kP256Pem;
    for (size_t at = 0; (at = crlf.find('\n', at)) != std::string::npos; at += 2)
        if (crlf[at - 1] != '\r') crlf.insert(at, "\r");
    EXPECT_TRUE(ParsePublicKeyPem(crlf, key));

    const char* refused[] = {
        "",
        // P-384
        "-----BEGIN PUBLIC KEY-----\nMHYwEAYHKoZIzj0CAQYFK4EEACIDYgAER12uItWr5s4wS7CXLOoUfSrwZDS3zLVH\n"
        "iKxpyCVGaaIOvH/7e36j6M/pAZawG4ItklL2kggq1oQI1itO4GLW6XvX2UyiBpLJ\nOTDzy3fouGGrclFoesdVT6jKJr8qaeuG\n"
        "-----END PUBLIC KEY-----\n",
        // P-256, compressed point
        "-----BEGIN PUBLIC KEY-----\nMDkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDIgADnUy/dwuOP9r5Pde7IljxAFuTWuwD\nLrZUChzXyVaMk7A=\n"
        "-----END PUBLIC KEY-----\n",
        // cut short, bad character, padding inside, no end line
        "-----BEGIN PUBLIC KEY-----\nMFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEnUy/dwuOP9r5Pde7IljxAFuTWuwD\n-----END PUBLIC KEY-----\n",
        "-----BEGIN PUBLIC KEY-----\nMFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEnUy/dwuOP9r5Pde7IljxAFuTWuwD\n"
        "LrZUChzXyVaMk7AzvhOxaXmwElIMyZdghEruAcppVgRFXKNfLE5JxgmqcQ=*\n-----END PUBLIC KEY-----\n",
        "-----BEGIN PUBLIC KEY-----\nMFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEnUy/dwuOP9r5Pde7IljxAFuTWuwD=\n"
        "LrZUChzXyVaMk7AzvhOxaXmwElIMyZdghEruAcppVgRFXKNfLE5JxgmqcQ==\n-----END PUBLIC KEY-----\n",
        "-----BEGIN PUBLIC KEY-----\nMFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEnUy/dwuOP9r5Pde7IljxAFuTWuwD\n",
    };
    for (const char* pem : refused) EXPECT_FALSE(ParsePublicKeyPem(pem, key)) << pem;
}

TEST(SignatureText, ExactlyOneHundredTwentyEightHexDigits) {
    P256Signature sig{};
    for (size_t i = 0; i < sig.size(); ++i) sig[i] = static_cast<uint8_t>(i * 7 + 1);
    const std::string text = FormatSignatureText(sig);
    EXPECT_EQ(text.size(), 130u);
    EXPECT_EQ(text.substr(0, 6), "01080f");
    P256Signature back{};
    ASSERT_TRUE(ParseSignatureText(text, back));
    EXPECT_EQ(back, sig);
    const std::string digits = text.substr(0, 128);
    std::string upper = digits;
    for (char& c : upper) c = static_cast<char>(toupper(c));
    EXPECT_TRUE(ParseSignatureText(digits, back));
    EXPECT_TRUE(ParseSignatureText(digits + "\n", back));
    EXPECT_TRUE(ParseSignatureText(upper, back));
    EXPECT_EQ(back, sig);
    for (const std::string& bad : {std::string(), digits.substr(1), digits + "0", digits + "\r\n\r\n",
                                   digits + " ", "g" + digits.substr(1), " " + digits.substr(1)})
        EXPECT_FALSE(ParseSignatureText(bad, back)) << bad;
    EXPECT_EQ(SignatureName("http://h/QOR_6.02.rar"), "http://h/QOR_6.02.rar.sig");
}

TEST(PublishedLog, Composition) {
    struct Row {
        const char* notes;
        const char* log;
    } rows[] = {
        {"", "6.02\r\nhttp://h/p.rar"},
        {"\n", "6.02\r\n\r\nhttp://h/p.rar"},
        {"一、修正\n二、新增\n", "6.02\r\n一、修正\r\n二、新增\r\nhttp://h/p.rar"},
        {"\xEF\xBB\xBF" "a\r\nb", "6.02\r\na\r\nb\r\nhttp://h/p.rar"},
        {"a\rb\n\nc", "6.02\r\na\r\nb\r\n\r\nc\r\nhttp://h/p.rar"},
    };
    for (const Row& row : rows) {
        const std::string log = ComposeUpdateLog("6.02", row.notes, "http://h/p.rar");
        EXPECT_EQ(log, row.log) << row.notes;
        // The updater's own reader takes it as a valid server log with that version and URL.
        const UpdateLogLines lines = ParseUpdateLog(log);
        EXPECT_TRUE(IsValidServerLog(lines));
        EXPECT_EQ(lines.version, "6.02");
        EXPECT_EQ(lines.lastLine, "http://h/p.rar");
    }
}

}  // namespace
}  // namespace qor
