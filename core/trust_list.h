// The list of files that an installer package vouches for. The installer writes it from the
// files it has just extracted out of its own package, into a folder where only administrators
// can write; the launcher then uses a file of the application folder (which every user can
// write) in a way that runs its code with another account's rights only while the file still
// has the bytes the list names.
//
// The list is text, one line per file, each followed by CR LF: 64 lower-case hexadecimal digits
// (the file's SHA-256), two blanks, and the file's path relative to the install folder
// ("SYS\qord.dll").
#pragma once

#include <map>
#include <string>

namespace qor {

// The folder below the program-files folder that only administrators can write, and the names
// of what the installer keeps there.
inline constexpr char kProtectedFolderName[] = "QOR中小企业财务软件";
inline constexpr char kTrustListName[] = "QOR_FILES.sha256";

// Relative path, with ASCII letters in lower case (Windows names ignore case), to the digest.
using TrustList = std::map<std::string, std::string>;

// False, with `list` empty, when any line is not a digest and a safe relative path.
bool ParseTrustList(const std::string& text, TrustList& list);
// One line of the list, CR LF included.
std::string TrustListLine(const std::string& digest, const std::string& relativePath);
// True when the list names the path with exactly this digest.
bool Vouches(const TrustList& list, const std::string& relativePath, const std::string& digest);

}  // namespace qor
