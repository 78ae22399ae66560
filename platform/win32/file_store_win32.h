#pragma once

#include "platform/file_store.h"

namespace qor::win32 {

class Win32FileStore : public FileStore {
public:
    bool FileExists(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    bool ReadText(const std::string& path, std::string& text) override;
    bool ReadBytesAtMost(const std::string& path, uint64_t maxBytes, std::string& bytes) override;
    std::string AnsiToText(const std::string& bytes) override;
    bool WriteText(const std::string& path, const std::string& text, bool append) override;
    std::vector<std::string> ListFiles(const std::string& folder) override;
    bool RenameFile(const std::string& from, const std::string& to) override;
    bool CopyFileTo(const std::string& from, const std::string& to) override;
    bool NormalFileExists(const std::string& path) override;
    bool RemoveFile(const std::string& path) override;
    bool WriteBytes(const std::string& path, const std::string& bytes, bool append) override;
    uint64_t FileSize(const std::string& path) override;
    std::vector<Entry> ListEntries(const std::string& folder) override;
    bool CreateFolder(const std::string& path) override;
    bool RemoveFolder(const std::string& path) override;
    std::unique_ptr<ByteReader> OpenForReading(const std::string& path) override;
    std::unique_ptr<ByteWriter> CreateForWriting(const std::string& path) override;
    bool MoveReplacing(const std::string& from, const std::string& to) override;
    bool WriteBytesDurably(const std::string& path, const std::string& bytes) override;
    bool IsLink(const std::string& path) override;
    bool AnsiCanHold(const std::string& text) override;
    std::unique_ptr<HeldFolder> CreatePrivateFolder(const std::string& path) override;
    bool RemoveTreeSafely(const std::string& folder) override;
    bool TreeHasLink(const std::string& folder) override;
};

}  // namespace qor::win32
