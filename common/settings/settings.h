// The settings file SYS\setinf.txt of the application folder: the only way the programs read
// and write their persistent switches and hand-over values.
#pragma once

#include <string>

#include "platform/file_store.h"

namespace qor {

// The settings file of the application folder (which has no trailing separator).
std::string SettingsFilePath(const std::string& appFolder);

// The value of the key, or empty text when the key is absent or the file cannot be read.
// A missing file is created empty (the SYS folder is never created).
std::string ReadSetting(FileStore& files, const std::string& appFolder, const std::string& key);

// Sets the key to the value, adding the key when it is absent. Nothing is reported. A value
// holding CR or LF is refused: the file is left as it was.
void WriteSetting(FileStore& files, const std::string& appFolder, const std::string& key,
                  const std::string& value);

}  // namespace qor
