// Configure-time check of the update key (build machine only): parses the PEM file with the
// updater's own parser and writes the key's DER form, whose SHA-256 is its fingerprint.
//   update_key_check KEY.pem OUT.der
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "core/signature_rules.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: update_key_check KEY.pem OUT.der\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string pem((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    qor::P256PublicKey key{};
    if (!qor::ParsePublicKeyPem(pem, key)) return 1;
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << qor::PublicKeyDer(key);
    return out.flush() ? 0 : 2;
}
