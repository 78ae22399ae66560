// libFuzzer target: the installer's list of trusted files on arbitrary bytes, and the digest
// over them. The list's folder is written by administrators only, but a damaged or foreign list
// must still never vouch for a path outside the application folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/sha256.h"
#include "core/trust_list.h"
#include "core/update_journal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    qor::TrustList list;
    if (qor::ParseTrustList(text, list)) {
        for (const auto& [path, digest] : list) {
            if (!qor::IsSafeRelativePath(path) || digest.size() != 64) abort();
            if (!qor::Vouches(list, path, digest)) abort();
        }
    } else if (!list.empty()) {
        abort();
    }
    if (qor::Sha256Hex(text).size() != 64) abort();
    return 0;
}
