// qor_pack INSTALLER EXTRACTOR ARCHIVE OUTPUT: builds the installer package, the bare installer
// image followed by the extractor's record and the archive's record (layout and the rule for
// where the first header starts: installer/package/package.h). Build-machine tool.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "installer/package/package.h"

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: qor_pack INSTALLER EXTRACTOR ARCHIVE OUTPUT\n"
    "  INSTALLER  the bare installer program (QOR_SETUP.exe as built)\n"
    "  EXTRACTOR  the console RAR extractor (UnRAR.exe)\n"
    "  ARCHIVE    the application archive, its root being the install folder's content\n"
    "  OUTPUT     the installer package to write\n";

struct Input {
    const char* role;
    fs::path path;
    uintmax_t size = 0;
};

bool g_outputOpened = false;  // the output was created (or truncated) by this run

bool Fail(const std::string& message) {
    std::cerr << "qor_pack: " << message << "\n";
    return false;
}

bool Check(Input& in, bool payload) {
    std::error_code ec;
    if (!fs::exists(in.path, ec)) return Fail(std::string(in.role) + " not found: " + in.path.string());
    if (!fs::is_regular_file(in.path, ec)) return Fail(std::string(in.role) + " is not a file: " + in.path.string());
    in.size = fs::file_size(in.path, ec);
    if (ec) return Fail(std::string(in.role) + " cannot be read: " + in.path.string());
    std::ifstream probe(in.path, std::ios::binary);
    if (!probe) return Fail(std::string(in.role) + " cannot be read: " + in.path.string());
    if (in.size == 0) return Fail(std::string(in.role) + " is empty: " + in.path.string());
    if (payload && in.size > static_cast<uintmax_t>(qor::package::kMaxPayloadLength))
        return Fail(std::string(in.role) + " is larger than 2147483647 bytes: " + in.path.string());
    return true;
}

// Copies the file in pieces; the last byte copied goes to `last`.
bool Append(std::ofstream& out, const Input& in, char& last) {
    std::ifstream src(in.path, std::ios::binary);
    std::vector<char> buffer(qor::package::kCopyChunk);
    uintmax_t copied = 0;
    while (src) {
        src.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        std::streamsize got = src.gcount();
        if (got <= 0) break;
        out.write(buffer.data(), got);
        last = buffer[static_cast<size_t>(got) - 1];
        copied += static_cast<uintmax_t>(got);
    }
    if (src.bad() || copied != in.size) return Fail(std::string(in.role) + " changed or could not be read while packing");
    return static_cast<bool>(out) || Fail("cannot write the output");
}

bool Pack(Input& image, Input& extractor, Input& archive, const fs::path& output) {
    if (!Check(image, false) || !Check(extractor, true) || !Check(archive, true)) return false;
    std::error_code ec;
    for (const Input* in : {&image, &extractor, &archive})
        if (fs::equivalent(in->path, output, ec)) return Fail("the output would overwrite the " + std::string(in->role));
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    if (!out) return Fail("cannot create the output: " + output.string());
    g_outputOpened = true;
    char last = 0;
    if (!Append(out, image, last)) return false;
    // The header must start a line of its own: an image not ending in zero padding gets one
    // more zero byte.
    if (last != '\0') out.put('\0');
    const std::string header2 = qor::package::HeaderLine(2, static_cast<int64_t>(extractor.size));
    out.write(header2.data(), static_cast<std::streamsize>(header2.size()));
    if (!Append(out, extractor, last)) return false;
    const std::string header3 = qor::package::HeaderLine(3, static_cast<int64_t>(archive.size));
    out.write(header3.data(), static_cast<std::streamsize>(header3.size()));
    if (!Append(out, archive, last)) return false;
    out.close();
    return !out.fail() || Fail("cannot write the output: " + output.string());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << kUsage;
        return 2;
    }
    Input image{"installer", argv[1]}, extractor{"extractor", argv[2]}, archive{"archive", argv[3]};
    const fs::path output = argv[4];
    if (Pack(image, extractor, archive, output)) return 0;
    // Nothing half written is left behind.
    std::error_code ec;
    if (g_outputOpened) fs::remove(output, ec);
    return 1;
}
