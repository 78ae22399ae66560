// Update logs signed by the vendor. A build that carries the vendor's public key takes the
// server's log only together with its signature file (the log's URL + ".sig", stored beside the
// log as QOR_UPDATE.LOG.sig, format in core/log_signature.h): signed with that key over the
// log's exact bytes, for the edition the log was asked for, not expired by the machine's UTC
// clock, and not older than the newest log accepted before, whose version is kept in
// QOR_UPDATE.seen. The package must then have the SHA-256 and the size the signature names.
// A build without a key reads the log as it is, with only the size limit.
#pragma once

#include <string>

#include "updater/updater.h"

namespace qor {

// QOR_UPDATE.LOG.sig and QOR_UPDATE.seen in the application folder.
std::string LogSignaturePath(const std::string& appFolder);
std::string NewestLogPath(const std::string& appFolder);

// The server's log just stored under QOR_UPDATE.LOG from `logUrl`: its text, read whole up to
// kUpdateFileReadLimit bytes. A keyed updater first fetches and checks the signature and records
// the log's version as the newest accepted one; a refused log is deleted with its signature
// file. False when the log cannot be read or is refused.
bool ReadServerLog(UpdaterPlatform& p, UpdaterState& s, const std::string& edition, const std::string& logUrl,
                   std::string& text);

// The local log marked complete, before its package is offered: true without a key; with one,
// true when the log without its marker still holds against its stored signature (the expiry
// aside: the package was fetched while the log was valid) and is not older than the newest
// accepted log. Then the version and notes are taken again from the checked bytes. Otherwise the
// log and its signature file are deleted and the result is false.
bool CheckStoredLog(UpdaterPlatform& p, UpdaterState& s, const std::string& edition);

// True without a key; with one, true when the package file has the size and the SHA-256 that
// the accepted log's signature names.
bool PackageMatchesSignedLog(UpdaterPlatform& p, const UpdaterState& s);

}  // namespace qor
