// qor_make_test_archive SOURCE_FOLDER ARCHIVE: packs a folder tree into the test archive format
// that the extractor stand-in reads (build-machine tool for the demo package).
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "tests/standins/extractor/archive_format.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: qor_make_test_archive SOURCE_FOLDER ARCHIVE\n";
        return 2;
    }
    const fs::path root = argv[1];
    std::error_code ec;
    if (!fs::is_directory(root, ec)) {
        std::cerr << "qor_make_test_archive: not a folder: " << root << "\n";
        return 1;
    }
    std::vector<fs::path> paths;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        paths.push_back(it->path());
    std::sort(paths.begin(), paths.end());
    std::vector<qor::standin::ArchiveEntry> entries;
    for (const fs::path& p : paths) {
        qor::standin::ArchiveEntry e;
        e.folder = fs::is_directory(p);
        std::string rel = fs::relative(p, root).generic_string();
        std::replace(rel.begin(), rel.end(), '/', '\\');
        e.path = rel;
        if (!e.folder) {
            std::ifstream in(p, std::ios::binary);
            e.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        entries.push_back(e);
    }
    std::ofstream out(argv[2], std::ios::binary);
    const std::string bytes = qor::standin::MakeArchive(entries);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::cerr << "qor_make_test_archive: cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
