// libFuzzer target: the signature file and the public-key PEM on arbitrary bytes, and the
// published log's composition from arbitrary notes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/release_rules.h"
#include "core/signature_rules.h"
#include "core/update_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    qor::P256Signature signature{};
    // A signature taken is written back to the same digits (letter case aside).
    if (qor::ParseSignatureText(text, signature)) {
        qor::P256Signature again{};
        if (!qor::ParseSignatureText(qor::FormatSignatureText(signature), again) || again != signature) abort();
        if (text.size() != 128 && text.size() != 129 && text.size() != 130) abort();
    }
    qor::P256PublicKey key{};
    qor::ParsePublicKeyPem(text, key);

    // Any notes make a log whose first and last lines are the version and the URL.
    const qor::UpdateLogLines log = qor::ParseUpdateLog(qor::ComposeUpdateLog("6.02", text, "http://h/p.rar"));
    if (log.version != "6.02" || log.lastLine != "http://h/p.rar" || !qor::IsValidServerLog(log)) abort();
    if (qor::IsVersionText(text) && text.find_first_not_of("0123456789.") != std::string::npos) abort();
    return 0;
}
