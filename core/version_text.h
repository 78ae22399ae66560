// Version texts: the short and full program version texts, and the comparable text of a
// component file's version.
#pragma once

#include <string>

namespace qor {

// major "." minor (at least two digits): 6.1 gives "6.01".
std::string ShortVersionText(int major, int minor);
// The short text, followed by "." and the revision (at least two digits) when the revision is
// not 0: 6.1 rev 0 gives "6.01", rev 6 gives "6.01.06", rev 12 gives "6.01.12".
std::string FullVersionText(int major, int minor, int revision);
// Four parts joined by ".", each read as a signed 16-bit number and written with at least four
// digits: 6.1.98.34 gives "0006.0001.0098.0034", a part of 65535 gives "-0001".
std::string ComponentVersionText(unsigned major, unsigned minor, unsigned build, unsigned revision);
// The text for a file that has no version.
inline const char* const kNoComponentVersion = "0000.0000.0000.0000";

}  // namespace qor
