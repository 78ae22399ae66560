#include "common/file_tree/file_tree.h"

#include "core/text.h"

namespace qor {

void RemoveTree(FileStore& files, const std::string& folder) {
    for (const FileStore::Entry& e : files.ListEntries(folder)) {
        if (e.name == "." || e.name == "..") continue;
        const std::string path = JoinPath(folder, e.name);
        if (e.folder && !e.link) RemoveTree(files, path);
        else if (!e.folder) files.RemoveFile(path);
    }
    files.RemoveFolder(folder);
}

namespace {

void ListInto(FileStore& files, const std::string& folder, const std::string& prefix, std::vector<std::string>& out) {
    std::vector<std::string> subfolders;
    for (const FileStore::Entry& e : files.ListEntries(folder)) {
        if (e.name == "." || e.name == "..") continue;
        if (!e.folder) out.push_back(prefix + e.name);
        else if (!e.link) subfolders.push_back(e.name);
    }
    for (const std::string& name : subfolders) ListInto(files, JoinPath(folder, name), prefix + name + "\\", out);
}

}  // namespace

std::vector<std::string> ListTreeFiles(FileStore& files, const std::string& folder) {
    std::vector<std::string> out;
    ListInto(files, folder, "", out);
    return out;
}

bool MakeFolders(FileStore& files, const std::string& root, const std::string& relative) {
    std::string path = root;
    for (const std::string& part : Split(relative, "\\")) {
        if (part.empty()) continue;
        path = JoinPath(path, part);
        if (!files.FolderExists(path) && !files.CreateFolder(path)) return false;
    }
    return true;
}

}  // namespace qor
