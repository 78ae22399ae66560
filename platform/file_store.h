// Files as the system uses them: whole text files in the ANSI code page, existence tests,
// folder listings and renames. Paths are UTF-8 text with "\" separators.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/byte_stream.h"

namespace qor {

class FileStore {
public:
    virtual ~FileStore() = default;

    // True when a plain file (not a folder) exists at the path.
    virtual bool FileExists(const std::string& path) = 0;
    // True when the path's attributes can be read and say "directory".
    virtual bool FolderExists(const std::string& path) = 0;
    // Reads the whole file and decodes it from the ANSI code page. False when it cannot be read.
    virtual bool ReadText(const std::string& path, std::string& text) = 0;
    // The file's raw bytes, when it holds at most maxBytes of them. False when it cannot be read
    // and for a larger file, of which no more than maxBytes (and a small buffer) are ever held.
    virtual bool ReadBytesAtMost(const std::string& path, uint64_t maxBytes, std::string& bytes) = 0;
    // Text from bytes in the ANSI code page, decoded as ReadText decodes a file.
    virtual std::string AnsiToText(const std::string& bytes) = 0;
    // ReadText of a file that holds at most maxBytes bytes; false (and the text empty) for a
    // larger one or one that cannot be read.
    bool ReadTextAtMost(const std::string& path, uint64_t maxBytes, std::string& text) {
        std::string bytes;
        text.clear();
        if (!ReadBytesAtMost(path, maxBytes, bytes)) return false;
        text = AnsiToText(bytes);
        return true;
    }
    // Encodes the text to the ANSI code page and writes it, replacing the file's content or
    // appending to it; the file is created when missing. False when it cannot be written.
    virtual bool WriteText(const std::string& path, const std::string& text, bool append) = 0;
    // Names (without folder) of the plain files directly inside the folder, in listing order.
    virtual std::vector<std::string> ListFiles(const std::string& folder) = 0;
    // Renames a file within the file system; false when that fails.
    virtual bool RenameFile(const std::string& from, const std::string& to) = 0;
    // Copies a file, replacing the target when it exists; false when that fails.
    virtual bool CopyFileTo(const std::string& from, const std::string& to) = 0;
    // True when a plain file exists at the path and is neither hidden nor a system file.
    virtual bool NormalFileExists(const std::string& path) = 0;
    // Deletes a plain file; false when it could not be deleted (a missing file included).
    virtual bool RemoveFile(const std::string& path) = 0;
    // Writes the bytes as they are (no code page), replacing the file's content or appending to
    // it; the file is created when missing. False when it cannot be written.
    virtual bool WriteBytes(const std::string& path, const std::string& bytes, bool append) = 0;
    // The size of a plain file in bytes; 0 when it cannot be read.
    virtual uint64_t FileSize(const std::string& path) {
        (void)path;
        return 0;
    }

    // One entry of a folder listing.
    struct Entry {
        std::string name;  // without folder
        bool folder = false;
        bool hidden = false;
        bool system = false;
        // A reparse point: a junction, a symbolic link or a mount point. A folder of this kind
        // leads somewhere else and is never walked into.
        bool link = false;
    };
    // Every entry directly inside the folder ("." and ".." included when the platform lists
    // them), in listing order; empty when the folder cannot be listed.
    virtual std::vector<Entry> ListEntries(const std::string& folder) = 0;
    // Creates one folder (its parent must exist); false when that fails.
    virtual bool CreateFolder(const std::string& path) = 0;
    // Removes an empty folder; false when that fails (not empty, missing, in use).
    virtual bool RemoveFolder(const std::string& path) = 0;
    // The file's raw bytes for reading; null when it cannot be opened.
    virtual std::unique_ptr<ByteReader> OpenForReading(const std::string& path) = 0;
    // A new, empty file (an existing one is replaced) for writing raw bytes; null when it
    // cannot be created.
    virtual std::unique_ptr<ByteWriter> CreateForWriting(const std::string& path) = 0;
    // Moves a file onto `to` in one step, replacing a file there, and returns once the move is
    // on disk: at every moment the name `to` holds either the whole old file or the whole new
    // one. False when that fails (`to` in use, a folder, or on another volume).
    virtual bool MoveReplacing(const std::string& from, const std::string& to) = 0;
    // Writes the bytes as they are into a new file (an existing one is replaced) and flushes
    // them to disk before answering true.
    virtual bool WriteBytesDurably(const std::string& path, const std::string& bytes) = 0;
    // True when the path itself is a link (a reparse point: junction, symbolic link, mount point).
    virtual bool IsLink(const std::string& path) = 0;
    // True when the text survives the ANSI code page that text files are written in, character
    // for character (no "?" and no look-alike put in place of a character it lacks).
    virtual bool AnsiCanHold(const std::string& text) = 0;

    // A folder made new for the program's own work. While it lives, the folder and every folder
    // above it stay open without delete sharing, so that none of them can be renamed, removed or
    // put back as a link.
    class HeldFolder {
    public:
        virtual ~HeldFolder() = default;
        // The folder's final path (no link on the way), without a trailing "\".
        virtual std::string Path() const = 0;
    };
    // Creates the folder new (null when anything exists at the path, a folder above it is a
    // link, or it cannot be made) with access for administrators and the system only.
    virtual std::unique_ptr<HeldFolder> CreatePrivateFolder(const std::string& path) {
        (void)path;
        return nullptr;
    }
    // Removes the folder with everything below it, deciding by handle: the folder and each folder
    // below it is opened as it is (a link is not followed) and its attributes read on that handle,
    // and the chain of open folders cannot be renamed or swapped while the walk runs. A link is
    // left alone, neither walked into nor removed (the folders holding it stay); when the folder
    // itself is a link, nothing is done.
    // Read-only content is not forced and stays. True when the folder is gone.
    virtual bool RemoveTreeSafely(const std::string& folder) {
        (void)folder;
        return false;
    }
    // True when the folder itself or any folder below it is a link (a junction, a symbolic link
    // or a mount point), or when a folder below it cannot be looked at.
    virtual bool TreeHasLink(const std::string& folder) {
        (void)folder;
        return true;
    }
};

}  // namespace qor
