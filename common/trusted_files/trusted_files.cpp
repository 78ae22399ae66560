#include "common/trusted_files/trusted_files.h"

#include <memory>
#include <vector>

#include "common/file_tree/file_tree.h"
#include "core/sha256.h"
#include "core/text.h"

namespace qor {

std::string ProtectedFolder(SystemQueries& system) {
    const std::string programFiles = system.ProgramFilesFolder();
    if (programFiles.empty()) return {};
    return programFiles + "\\" + kProtectedFolderName + "\\";
}

std::optional<std::string> FileDigest(FileStore& files, const std::string& path) {
    std::unique_ptr<ByteReader> reader = files.OpenForReading(path);
    if (!reader) return std::nullopt;
    Sha256 sha;
    std::vector<char> buffer(65536);
    for (;;) {
        size_t got = 0;
        if (!reader->Read(buffer.data(), buffer.size(), got)) return std::nullopt;
        if (got == 0) return HexDigest(sha.Finish());
        sha.Update(buffer.data(), got);
    }
}

TrustList ReadTrustList(FileStore& files, SystemQueries& system) {
    TrustList list;
    const std::string folder = ProtectedFolder(system);
    std::string text;
    if (folder.empty() || !files.NormalFileExists(folder + kTrustListName) ||
        !files.ReadText(folder + kTrustListName, text) || !ParseTrustList(text, list))
        list.clear();
    return list;
}

std::optional<std::string> BuildTrustList(FileStore& files, const std::string& root) {
    std::string text;
    for (const std::string& relative : ListTreeFiles(files, root)) {
        const std::optional<std::string> digest = FileDigest(files, root + relative);
        if (!digest) return std::nullopt;
        text += TrustListLine(*digest, relative);
    }
    return text;
}

std::optional<std::string> VouchedDigest(FileStore& files, const TrustList& list, const std::string& root,
                                         const std::string& path) {
    if (list.empty() || path.size() <= root.size() || !StartsWith(path, root)) return std::nullopt;
    if (!files.FileExists(path) || files.IsLink(path)) return std::nullopt;
    const std::optional<std::string> digest = FileDigest(files, path);
    if (!digest || !Vouches(list, path.substr(root.size()), *digest)) return std::nullopt;
    return digest;
}

}  // namespace qor
