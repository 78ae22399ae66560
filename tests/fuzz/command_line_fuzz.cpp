// The launcher's command line: any text splits into an account-set folder and file without a
// crash, the folder ends in "\" (or is empty) and folder and file never hold a double quote.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/launcher_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string arguments(reinterpret_cast<const char*>(data), size);
    qor::LauncherCommand command = qor::ParseLauncherCommand(arguments);
    if (command.commandText.find('"') != std::string::npos) abort();
    if (!command.accountFolder.empty() && command.accountFolder.back() != '\\') abort();
    if (command.skipsUpdate != (command.commandText.compare(0, 2, "/0") == 0)) abort();
    return 0;
}
