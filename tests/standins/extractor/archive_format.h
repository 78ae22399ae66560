// The test archive format that the console-extractor stand-in reads, and a writer for tests and
// for the demo package. Portable (no operating-system headers).
//
// Layout: the 16 bytes "QOR-TEST-ARC-01\n", then entries, then the single byte 'E'.
//   folder entry: 'D', path length (4 bytes, little endian), path
//   file entry:   'F', path length, path, data length (4 bytes, little endian), data
// Paths are UTF-8, relative to the destination folder, with "\" between their parts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qor::standin {

inline constexpr char kArchiveMagic[] = "QOR-TEST-ARC-01\n";
inline constexpr size_t kArchiveMagicSize = 16;

struct ArchiveEntry {
    bool folder = false;
    std::string path;  // relative, "\" separated
    std::string data;  // file content
};

inline void PutLength(std::string& out, size_t n) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
}

inline std::string MakeArchive(const std::vector<ArchiveEntry>& entries) {
    std::string out(kArchiveMagic, kArchiveMagicSize);
    for (const ArchiveEntry& e : entries) {
        out.push_back(e.folder ? 'D' : 'F');
        PutLength(out, e.path.size());
        out += e.path;
        if (!e.folder) {
            PutLength(out, e.data.size());
            out += e.data;
        }
    }
    out.push_back('E');
    return out;
}

// Reads an archive entry by entry, calling `visit(entry)` for each as soon as it is read (so
// that a damaged archive is extracted up to the damage). False when the archive is damaged:
// wrong magic, cut short, an unknown entry kind, or a path that is empty, absolute or climbs
// out of the destination with "..". `visit` returning false also ends the walk with false.
template <typename Visit>
bool ReadArchive(const std::string& bytes, Visit visit) {
    if (bytes.size() < kArchiveMagicSize || bytes.compare(0, kArchiveMagicSize, kArchiveMagic) != 0) return false;
    size_t at = kArchiveMagicSize;
    auto length = [&](size_t& n) {
        if (bytes.size() - at < 4) return false;
        n = 0;
        for (int i = 0; i < 4; ++i) n |= static_cast<size_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
        at += 4;
        return true;
    };
    while (at < bytes.size()) {
        const char kind = bytes[at++];
        if (kind == 'E') return true;
        if (kind != 'D' && kind != 'F') return false;
        ArchiveEntry entry;
        entry.folder = kind == 'D';
        size_t n = 0;
        if (!length(n) || bytes.size() - at < n || n == 0) return false;
        entry.path = bytes.substr(at, n);
        at += n;
        if (entry.path[0] == '\\' || entry.path.find(':') != std::string::npos) return false;
        for (size_t start = 0;;) {
            size_t end = entry.path.find('\\', start);
            if (entry.path.substr(start, end - start) == "..") return false;
            if (end == std::string::npos) break;
            start = end + 1;
        }
        if (!entry.folder) {
            if (!length(n) || bytes.size() - at < n) return false;
            entry.data = bytes.substr(at, n);
            at += n;
        }
        if (!visit(entry)) return false;
    }
    return false;  // no end marker
}

}  // namespace qor::standin
