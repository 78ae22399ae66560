// libFuzzer target: the staged update's journal on arbitrary bytes. A journal lies in the
// application folder, which any user can write.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/update_journal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> files;
    const qor::JournalState state = qor::ParseUpdateJournal(text, files);
    if (state != qor::JournalState::Complete && !files.empty()) abort();
    if (state == qor::JournalState::Complete) {
        // Only paths inside the application folder, and the journal is exactly what the writer
        // makes of them.
        for (const std::string& f : files)
            if (!qor::IsSafeRelativePath(f)) abort();
        if (qor::BuildUpdateJournal(files) != text) abort();
    }
    return 0;
}
