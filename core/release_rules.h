// Rules for publishing an update: the update log as the vendor's server offers it.
#pragma once

#include <string>

namespace qor {

// The published update log (UTF-8): the version line, the release notes' lines, the package URL,
// joined by CR LF with none after the last line. The notes come from a text file: a UTF-8
// byte-order mark is dropped, CR LF, lone LF and lone CR all end a line, and one line end at the
// very end of the file closes its last line rather than adding an empty one. Empty notes give a
// two-line log.
std::string ComposeUpdateLog(const std::string& version, const std::string& notes, const std::string& url);

}  // namespace qor
