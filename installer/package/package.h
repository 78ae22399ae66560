// The installer package: the installer's executable image followed by two payload records,
//   "FILE2 START LOG:LENGTH=" + decimal length + CR LF + the console extractor's bytes,
//   "FILE3 START LOG:LENGTH=" + decimal length + CR LF + the application archive's bytes.
//
// Where the first header starts: the image is read as lines like the rest of the file, and a
// zero byte ends a line just as CR (or CR LF) does. An executable image ends in zero padding, so
// the record-2 header begins a line of its own right after it; the packer makes sure of that by
// appending one zero byte to an image whose last byte is not zero (more padding, the layout stays
// the same). The program itself never holds a header marker as one piece of text, so no line of
// its own image can be taken for a header.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/byte_stream.h"
#include "platform/file_store.h"

namespace qor::package {

inline constexpr int64_t kMaxPayloadLength = 2147483647;
// Bytes moved per read and write when a payload is copied.
inline constexpr size_t kCopyChunk = 1024 * 1024;

// The header line of a record (2 or 3) with its CR LF.
std::string HeaderLine(int record, int64_t length);

// A payload length as a header carries it: decimal digits only, 1 to 2,147,483,647.
bool ParseLength(const std::string& text, int32_t& length);

// What a line says: 0 when it is no header, else the record number, with its length when valid.
struct HeaderMatch {
    int record = 0;
    bool lengthValid = false;
    int32_t length = 0;
};
HeaderMatch MatchHeader(const std::string& line);

// Where the payloads go while the package is read.
class PayloadTargets {
public:
    virtual ~PayloadTargets() = default;
    // A new, empty target for the record's payload; null when it cannot be created.
    virtual std::unique_ptr<ByteWriter> Create(int record) = 0;
    // Removes what was written for the record (its copy failed part way).
    virtual void Discard(int record) = 0;
};

enum class ExtractResult {
    Done,              // both payloads written completely
    ExtractorMissing,  // no record-2 header before record 3 or the end
    ArchiveMissing,    // no record-3 header
    BadLength,         // a length that is not a number from 1 to 2,147,483,647
    CutShort,          // fewer payload bytes than the header announces
    ReadFailed,
    WriteFailed,       // a target could not be created or written
};

// Reads the package line by line from its first byte; copies record 2's payload, then record
// 3's, each through a buffer of kCopyChunk bytes, and stops after record 3. A payload whose copy
// fails is discarded, so no partial file is left to pass for a good one.
ExtractResult ExtractPayloadStream(ByteReader& source, PayloadTargets& targets);

// The installer's ExtractPayload: `installPath` (ending in "\") followed by each bare name. An
// existing extractor or archive file is deleted first; then the source is read. True only when
// both payloads were written completely.
bool ExtractPayload(FileStore& files, const std::string& installPath, const std::string& sourceName,
                    const std::string& extractorName, const std::string& archiveName,
                    ExtractResult* result = nullptr);
// The same from the package at `source` (a full path) into `folder` (ending in "\").
bool ExtractPayloadFrom(FileStore& files, const std::string& source, const std::string& folder,
                        const std::string& extractorName, const std::string& archiveName,
                        ExtractResult* result = nullptr);

}  // namespace qor::package
