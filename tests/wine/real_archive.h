// Real RAR archives for the tests under Wine: the entries are written into a folder, and the
// build machine's rar (a Linux program, which Wine starts as it is, given Unix paths) packs that
// folder's content as the archive's root, as a vendor makes a package. The tests then extract
// them with the real UnRAR.exe builds that scripts/setup.sh makes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/standins/extractor/archive_format.h"
#include "wine/wine_test_support.h"

namespace qor::test {

// Bytes that do not compress: a file of them stays large inside an archive, so that cutting the
// archive short cuts that file's data.
inline std::string IncompressibleBytes(size_t size) {
    std::string bytes(size, '\0');
    uint32_t x = 2463534242u;
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return bytes;
}

// The archive with 16 bytes in its middle inverted: inside a large file's data, a checksum
// error for that file alone (the extractor's exit code 3).
inline std::string WithDamagedMiddle(std::string archive) {
    for (size_t i = archive.size() / 2; i < archive.size() / 2 + 16 && i < archive.size(); ++i)
        archive[i] = static_cast<char>(~archive[i]);
    return archive;
}

// A RAR5 archive of the entries, made by `rar` (the Unix path of the build machine's
// compressor) through `script` (make_rar.sh); empty when it could not be made.
inline std::string MakeRarArchive(const std::vector<standin::ArchiveEntry>& entries, const char* rar = QOR_TEST_RAR,
                                  const char* script = QOR_TEST_MAKE_RAR) {
    ScratchFolder work("qor-rar");
    const std::string tree = work / "tree";
    if (work.path().empty() || !MakeFolder(tree)) return "";
    for (const standin::ArchiveEntry& e : entries) {
        const std::string path = tree + "\\" + e.path;
        // Every folder on the way first: entries may name a file before its folder.
        for (size_t at = e.path.find('\\'); at != std::string::npos; at = e.path.find('\\', at + 1))
            MakeFolder(tree + "\\" + e.path.substr(0, at));
        if (e.folder ? !IsFolder(path) && !MakeFolder(path) : !WriteBytes(path, e.data)) return "";
    }
    const std::string unixWork = UnixPath(work.path());
    if (unixWork.empty()) return "";
    const std::string code = RunUnixScript("/bin/sh \"" + std::string(script) + "\" \"" + rar + "\" \"" + unixWork +
                                               "/archive.rar\" \"" + unixWork + "/tree\" \"" + unixWork + "/done\"",
                                           work / "done", std::chrono::seconds(120));
    return code == "0\n" ? ReadBytes(work / "archive.rar") : "";
}

}  // namespace qor::test
