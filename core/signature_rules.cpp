#include "core/signature_rules.h"

#include <vector>

namespace qor {
namespace {

// DER of SubjectPublicKeyInfo { id-ecPublicKey, prime256v1 } up to the BIT STRING's content,
// which then holds 0x04 (uncompressed) and the two coordinates.
const uint8_t kP256SpkiPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48, 0xce, 0x3d,
                                   0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01,
                                   0x07, 0x03, 0x42, 0x00, 0x04};

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// Standard base64 with line breaks and blanks allowed between groups; padding only at the end.
bool DecodeBase64(const std::string& text, std::vector<uint8_t>& out) {
    uint32_t bits = 0;
    int count = 0, padding = 0;
    for (char c : text) {
        if (c == '\r' || c == '\n' || c == ' ' || c == '\t') continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const int v = Base64Value(c);
        if (v < 0 || padding > 0) return false;
        bits = (bits << 6) | static_cast<uint32_t>(v);
        if (++count == 4) {
            out.push_back(static_cast<uint8_t>(bits >> 16));
            out.push_back(static_cast<uint8_t>(bits >> 8));
            out.push_back(static_cast<uint8_t>(bits));
            bits = 0;
            count = 0;
        }
    }
    if (count == 0) return padding == 0;
    if (count == 2 && padding == 2) {
        out.push_back(static_cast<uint8_t>(bits >> 4));
        return true;
    }
    if (count == 3 && padding == 1) {
        out.push_back(static_cast<uint8_t>(bits >> 10));
        out.push_back(static_cast<uint8_t>(bits >> 2));
        return true;
    }
    return false;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool ParsePublicKeyPem(const std::string& pem, P256PublicKey& key) {
    static const std::string begin = "-----BEGIN PUBLIC KEY-----";
    static const std::string end = "-----END PUBLIC KEY-----";
    const size_t start = pem.find(begin);
    if (start == std::string::npos) return false;
    const size_t body = start + begin.size();
    const size_t stop = pem.find(end, body);
    if (stop == std::string::npos) return false;
    std::vector<uint8_t> der;
    if (!DecodeBase64(pem.substr(body, stop - body), der)) return false;
    if (der.size() != sizeof kP256SpkiPrefix + key.size()) return false;
    for (size_t i = 0; i < sizeof kP256SpkiPrefix; ++i)
        if (der[i] != kP256SpkiPrefix[i]) return false;
    for (size_t i = 0; i < key.size(); ++i) key[i] = der[sizeof kP256SpkiPrefix + i];
    return true;
}

std::string PublicKeyDer(const P256PublicKey& key) {
    std::string der(reinterpret_cast<const char*>(kP256SpkiPrefix), sizeof kP256SpkiPrefix);
    der.append(reinterpret_cast<const char*>(key.data()), key.size());
    return der;
}

bool ParseSignatureText(const std::string& text, P256Signature& signature) {
    const size_t digits = signature.size() * 2;
    if (text.size() < digits) return false;
    const std::string rest = text.substr(digits);
    if (!rest.empty() && rest != "\r\n" && rest != "\n") return false;
    for (size_t i = 0; i < signature.size(); ++i) {
        const int high = HexValue(text[2 * i]), low = HexValue(text[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        signature[i] = static_cast<uint8_t>(high * 16 + low);
    }
    return true;
}

std::string FormatSignatureText(const P256Signature& signature) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : signature) {
        text.push_back(digits[b >> 4]);
        text.push_back(digits[b & 15]);
    }
    return text + "\r\n";
}

std::string SignatureName(const std::string& package) { return package + ".sig"; }

}  // namespace qor
