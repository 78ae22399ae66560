// Files of the application folder checked against the list the installer keeps where only
// administrators can write (core/trust_list.h).
#pragma once

#include <optional>
#include <string>

#include "core/trust_list.h"
#include "platform/file_store.h"
#include "platform/system_queries.h"

namespace qor {

// The folder where the installer keeps what no ordinary user may change, ending in "\":
// the program-files folder + "\QOR中小企业财务软件\". Empty when the program-files folder is
// unknown.
std::string ProtectedFolder(SystemQueries& system);

// The SHA-256 of the file's bytes, read in pieces; none when the file cannot be read whole.
std::optional<std::string> FileDigest(FileStore& files, const std::string& path);

// The trust list kept in the protected folder; empty when there is none or it is malformed.
TrustList ReadTrustList(FileStore& files, SystemQueries& system);

// The list's text for the plain files below `root` (ending in "\"), named relative to it.
// None when a file cannot be read.
std::optional<std::string> BuildTrustList(FileStore& files, const std::string& root);

// The digest of `path`, a file inside `root` (ending in "\"), when it is a plain file, not a
// link, whose bytes have the digest the list names for it; none otherwise.
std::optional<std::string> VouchedDigest(FileStore& files, const TrustList& list, const std::string& root,
                                         const std::string& path);

}  // namespace qor
