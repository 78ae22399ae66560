// The update log QOR_UPDATE.LOG of the application folder: a copy of the server's update log,
// marked complete once the package has been stored in full.
#pragma once

#include <string>

#include "platform/file_store.h"

namespace qor {

std::string UpdateLogPath(const std::string& appFolder);
// The downloaded update package, application folder + "\QOR_UPDATE.rar".
std::string UpdatePackagePath(const std::string& appFolder);

// Reads the log in place. True when it marks a completed download. A missing (or unreadable)
// log empties the version and the last line, leaves the notes as they were and gives false.
bool ReadUpdateLog(FileStore& files, const std::string& appFolder, std::string& version,
                   std::string& notes, std::string& lastLine);

// Appends the completion marker right after the log's last byte (no line end). A missing log
// stays missing.
void MarkDownloadComplete(FileStore& files, const std::string& appFolder);

}  // namespace qor
