// Raw bytes of a file, read and written in pieces: the installer's payloads are moved through a
// fixed-size buffer rather than held whole in memory.
#pragma once

#include <cstddef>

namespace qor {

class ByteReader {
public:
    virtual ~ByteReader() = default;
    // Reads up to `size` bytes into `buffer`; the number read, 0 at the end of the data.
    // False when the read itself failed.
    virtual bool Read(char* buffer, size_t size, size_t& got) = 0;
};

class ByteWriter {
public:
    virtual ~ByteWriter() = default;
    // Writes all `size` bytes; false when that failed.
    virtual bool Write(const char* data, size_t size) = 0;
    // Flushes and closes; false when the data could not all be stored. Writing after Close fails.
    virtual bool Close() = 0;
};

}  // namespace qor
