// Update packages signed by the vendor. In a build that carries the vendor's public key, a
// downloaded package counts as stored only together with its signature file
// (QOR_UPDATE.rar.sig, fetched from the package URL + ".sig"), and is extracted only while that
// signature matches its bytes. A build without a key never asks for a signature.
#pragma once

#include <string>

#include "updater/updater.h"

namespace qor {

// Shown in the visible modes when a package is refused.
extern const char* const kPackageSignatureRefused;

// QOR_UPDATE.rar.sig beside the package.
std::string PackageSignaturePath(const std::string& appFolder);

// Right after the package was stored: fetches its signature file and checks the package against
// it. True when that passes, or when the build has no key. Otherwise the package and its
// signature file are deleted and the result is false.
bool FetchPackageSignature(UpdaterPlatform& p, UpdaterState& s);

// Before the package is extracted: checks it against the stored signature file. True when that
// passes, or when the build has no key. Otherwise the package and its signature file are
// deleted and the result is false.
bool CheckStoredPackage(UpdaterPlatform& p, const UpdaterState& s);

}  // namespace qor
