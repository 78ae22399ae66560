// How the programs read the console extractor's exit code.
#pragma once

#include <cstdint>

namespace qor {

// The extractor ends with 0 when everything was extracted and with 1 when it only warned;
// 2 and above mean that entries are missing or damaged (a broken or cut archive, a file that
// could not be written), so the extraction did not do its job.
inline bool ExtractionFailed(uint32_t exitCode) { return exitCode >= 2; }

}  // namespace qor
