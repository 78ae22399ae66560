#include "core/version_text.h"

#include <cstdint>

#include "core/text.h"

namespace qor {

std::string ShortVersionText(int major, int minor) {
    return std::to_string(major) + "." + PadNumber(minor, 2);
}

std::string FullVersionText(int major, int minor, int revision) {
    std::string text = ShortVersionText(major, minor);
    if (revision != 0) text += "." + PadNumber(revision, 2);
    return text;
}

std::string ComponentVersionText(unsigned major, unsigned minor, unsigned build, unsigned revision) {
    auto part = [](unsigned v) { return PadNumber(static_cast<int16_t>(static_cast<uint16_t>(v)), 4); };
    return part(major) + "." + part(minor) + "." + part(build) + "." + part(revision);
}

}  // namespace qor
