// Scripted stand-ins for the platform interfaces, for the host unit tests.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/file_store.h"
#include "platform/management.h"
#include "platform/system_queries.h"

namespace qor::testing {

// Files and folders in memory. Paths are compared exactly (no case folding); a folder is named
// without its trailing "\" but may be asked about with one. As on Windows, a file can only be
// written inside an existing folder.
class FakeFileStore : public FileStore {
public:
    std::map<std::string, std::string> files;  // path -> text
    std::set<std::string> folders;
    std::set<std::string> unwritable;  // files that exist or not, but cannot be written
    std::set<std::string> unreadable;  // files that exist but cannot be read
    std::set<std::string> hidden;      // files with the hidden or system attribute
    std::vector<std::string> copies;   // "from -> to" of every successful copy
    int writeCount = 0;                // successful writes

    static std::string Bare(const std::string& path) {
        return !path.empty() && path.back() == '\\' ? path.substr(0, path.size() - 1) : path;
    }
    static std::string Parent(const std::string& path) {
        const std::string bare = Bare(path);
        const size_t sep = bare.rfind('\\');
        return sep == std::string::npos ? std::string() : bare.substr(0, sep);
    }

    // The folder and every folder above it.
    void AddFolder(const std::string& path) {
        for (std::string f = Bare(path); !f.empty(); f = Parent(f)) folders.insert(f);
    }
    // The file, and the folders it lies in.
    void AddFile(const std::string& path, const std::string& text) {
        AddFolder(Parent(path));
        files[path] = text;
    }

    bool FileExists(const std::string& path) override { return files.count(path) != 0; }
    bool FolderExists(const std::string& path) override { return folders.count(Bare(path)) != 0; }
    bool ReadText(const std::string& path, std::string& text) override {
        auto it = files.find(path);
        if (it == files.end() || unreadable.count(path)) return false;
        text = it->second;
        return true;
    }
    bool WriteText(const std::string& path, const std::string& text, bool append) override {
        if (unwritable.count(path) || folders.count(Bare(path)) || !folders.count(Parent(path)))
            return false;
        if (append) files[path] += text; else files[path] = text;
        ++writeCount;
        return true;
    }
    std::vector<std::string> ListFiles(const std::string& folder) override {
        std::vector<std::string> names;
        for (const auto& [path, text] : files)
            if (Parent(path) == Bare(folder)) names.push_back(path.substr(path.rfind('\\') + 1));
        return names;
    }
    bool RenameFile(const std::string& from, const std::string& to) override {
        auto it = files.find(from);
        if (it == files.end() || files.count(to) || unwritable.count(from) ||
            !folders.count(Parent(to)))
            return false;
        std::string text = it->second;
        files.erase(it);
        files[to] = text;
        return true;
    }
    bool CopyFileTo(const std::string& from, const std::string& to) override {
        auto it = files.find(from);
        if (it == files.end() || unreadable.count(from) || unwritable.count(to) || folders.count(Bare(to)) ||
            !folders.count(Parent(to)))
            return false;
        files[to] = it->second;
        copies.push_back(from + " -> " + to);
        return true;
    }
    bool NormalFileExists(const std::string& path) override {
        return FileExists(path) && !hidden.count(path);
    }
    bool RemoveFile(const std::string& path) override {
        if (unwritable.count(path)) return false;
        return files.erase(path) != 0;
    }
    bool WriteBytes(const std::string& path, const std::string& bytes, bool append) override {
        return WriteText(path, bytes, append);
    }
};

// The management service answering from a script keyed by the exact query text. A query with
// no script succeeds with no objects; when the service is unreachable every query fails.
class FakeManagement : public ManagementService {
public:
    struct Answer {
        bool ok = true;
        std::vector<std::string> values;
    };
    std::map<std::string, Answer> answers;
    bool reachable = true;
    // InstancesOf: the readable property texts of each class's instances.
    std::map<std::string, std::vector<std::string>> instances;
    std::vector<std::string> instanceQueries;  // every class asked for

    std::vector<std::string> queries;     // every query text, in the order sent
    std::vector<std::string> properties;  // the property asked with each query
    std::vector<std::string> terminated;  // the query text of every TerminateEach

    bool Query(const std::string& wql, const std::string& property,
               std::vector<std::string>& values) override {
        queries.push_back(wql);
        properties.push_back(property);
        if (!reachable) return false;
        auto it = answers.find(wql);
        if (it == answers.end()) return true;
        values.insert(values.end(), it->second.values.begin(), it->second.values.end());
        return it->second.ok;
    }
    std::vector<std::string> InstancesOf(const std::string& className, const std::string& property) override {
        instanceQueries.push_back(className + "." + property);
        if (!reachable) return {};
        auto it = instances.find(className + "." + property);
        return it == instances.end() ? std::vector<std::string>() : it->second;
    }
    void TerminateEach(const std::string& wql) override { terminated.push_back(wql); }
};

// Folders and file versions of the machine; a path without a scripted version has none.
class FakeSystem : public SystemQueries {
public:
    std::string windowsFolder = "C:\\Windows";
    std::string systemFolder = "C:\\Windows\\system32";
    std::map<std::string, FileVersionParts> versions;
    std::vector<std::string> versionQueries;  // every path asked about

    std::string WindowsFolder() override { return windowsFolder; }
    std::string SystemFolder() override { return systemFolder; }
    bool FileVersion(const std::string& path, FileVersionParts& version) override {
        versionQueries.push_back(path);
        auto it = versions.find(path);
        if (it == versions.end()) return false;
        version = it->second;
        return true;
    }
};

}  // namespace qor::testing
