// Whole folder trees through the file store. A folder link (junction, symbolic link, mount
// point) is never walked into: what lies behind it is somewhere else.
#pragma once

#include <string>
#include <vector>

#include "platform/file_store.h"

namespace qor {

// Removes a folder with everything in it; read-only content is not forced and stays, and a
// folder link is left alone (neither walked into nor removed), so the walk never leaves the
// folder.
void RemoveTree(FileStore& files, const std::string& folder);

// The plain files below the folder, as paths relative to it ("a.txt", "SYS\b.txt"), a folder's
// files before its sub-folders'; folder links are skipped.
std::vector<std::string> ListTreeFiles(FileStore& files, const std::string& folder);

// Creates the folder and every missing folder above it, below `root` (which exists); false
// when one cannot be made.
bool MakeFolders(FileStore& files, const std::string& root, const std::string& relative);

}  // namespace qor
