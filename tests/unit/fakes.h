// Scripted stand-ins for the platform interfaces, for the host unit tests.
#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
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
    size_t bytesFree = SIZE_MAX;       // the disk's space; a write that does not fit fails
    std::set<std::string> unreadable;  // files that exist but cannot be read
    std::set<std::string> hidden;      // files (and folders) with the hidden attribute
    std::set<std::string> systemFiles; // files and folders with the system attribute
    std::set<std::string> undeletable; // files that cannot be deleted (in use, read-only)
    std::set<std::string> links;       // folders that are links (what lies under one is its target's)
    std::vector<std::string> notInAnsi;  // characters the ANSI code page lacks
    std::vector<std::string> copies;   // "from -> to" of every successful copy
    std::string copyCorrupts;          // a copy to this path lands with other bytes (swapped meanwhile)
    int writeCount = 0;                // successful writes
    std::vector<std::string> deleted;  // every file deleted, in order
    std::vector<std::string> removedFolders;  // every folder removed, in order

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
    bool ReadBytesAtMost(const std::string& path, uint64_t maxBytes, std::string& bytes) override {
        bytes.clear();
        auto it = files.find(path);
        if (it == files.end() || unreadable.count(path) || it->second.size() > maxBytes) return false;
        bytes = it->second;
        return true;
    }
    // Text is stored as it is read: the code page is the identity here.
    std::string AnsiToText(const std::string& bytes) override { return bytes; }
    bool WriteText(const std::string& path, const std::string& text, bool append) override {
        if (unwritable.count(path) || folders.count(Bare(path)) || !folders.count(Parent(path)))
            return false;
        if (text.size() > bytesFree) return false;
        bytesFree -= text.size();
        // As on Windows: a hidden or system file is not replaced by a normal one.
        if (!append && (hidden.count(path) || systemFiles.count(path))) return false;
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
        if (it == files.end() || from == to || unreadable.count(from) || unwritable.count(to) ||
            folders.count(Bare(to)) || !folders.count(Parent(to)))
            return false;
        files[to] = to == copyCorrupts ? "swapped while copied" : it->second;
        copies.push_back(from + " -> " + to);
        return true;
    }
    bool NormalFileExists(const std::string& path) override {
        return FileExists(path) && !hidden.count(path) && !systemFiles.count(path);
    }
    bool RemoveFile(const std::string& path) override {
        if (unwritable.count(path) || undeletable.count(path) || !files.erase(path)) return false;
        hidden.erase(path);
        systemFiles.erase(path);
        deleted.push_back(path);
        return true;
    }
    uint64_t FileSize(const std::string& path) override {
        auto it = files.find(path);
        return it == files.end() ? 0 : it->second.size();
    }
    bool WriteBytes(const std::string& path, const std::string& bytes, bool append) override {
        return WriteText(path, bytes, append);
    }

    // Listing order: files and folders together, by name.
    std::vector<Entry> ListEntries(const std::string& folder) override {
        std::vector<Entry> entries;
        const std::string parent = Bare(folder);
        if (!folders.count(parent)) return entries;
        auto add = [&](const std::string& path, bool isFolder) {
            if (Parent(path) != parent || path == parent) return;
            Entry e;
            e.name = path.substr(path.rfind('\\') + 1);
            e.folder = isFolder;
            e.hidden = hidden.count(path) != 0;
            e.system = systemFiles.count(path) != 0;
            e.link = links.count(path) != 0;
            entries.push_back(e);
        };
        for (const auto& [path, text] : files) add(path, false);
        for (const std::string& f : folders) add(f, true);
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
        return entries;
    }
    // A file in `undeletable` (in use) cannot be replaced.
    bool MoveReplacing(const std::string& from, const std::string& to) override {
        auto it = files.find(from);
        if (it == files.end() || unwritable.count(from) || unwritable.count(to) || undeletable.count(to) ||
            folders.count(Bare(to)) || !folders.count(Parent(to)))
            return false;
        std::string text = it->second;
        files.erase(it);
        files[to] = text;
        moves.push_back(from + " -> " + to);
        return true;
    }
    std::vector<std::string> moves;  // "from -> to" of every replacing move
    bool WriteBytesDurably(const std::string& path, const std::string& bytes) override {
        return WriteBytes(path, bytes, false);
    }
    bool IsLink(const std::string& path) override { return links.count(Bare(path)) != 0; }
    bool AnsiCanHold(const std::string& text) override {
        for (const std::string& c : notInAnsi)
            if (text.find(c) != std::string::npos) return false;
        return true;
    }
    bool CreateFolder(const std::string& path) override {
        const std::string bare = Bare(path);
        if (folders.count(bare) || files.count(bare) || !folders.count(Parent(bare))) return false;
        folders.insert(bare);
        return true;
    }
    bool RemoveFolder(const std::string& path) override {
        const std::string bare = Bare(path);
        if (!folders.count(bare)) return false;
        for (const auto& [p, text] : files) if (Parent(p) == bare) return false;
        for (const std::string& f : folders) if (Parent(f) == bare) return false;
        folders.erase(bare);
        removedFolders.push_back(bare);
        return true;
    }

    // Private folders: made new like CreateFolder, refused below a link; `privateFolders` lists
    // them, `Held` says whether a hold on one is still alive.
    std::vector<std::string> privateFolders;
    std::shared_ptr<std::set<std::string>> held = std::make_shared<std::set<std::string>>();
    bool Held(const std::string& path) const { return held->count(Bare(path)) != 0; }
    std::unique_ptr<HeldFolder> CreatePrivateFolder(const std::string& path) override {
        const std::string bare = Bare(path);
        for (std::string f = Parent(bare); !f.empty(); f = Parent(f))
            if (links.count(f)) return nullptr;
        if (!CreateFolder(bare)) return nullptr;
        privateFolders.push_back(bare);
        struct Hold : HeldFolder {
            std::string path;
            std::shared_ptr<std::set<std::string>> held;
            ~Hold() override { held->erase(path); }
            std::string Path() const override { return path; }
        };
        auto hold = std::make_unique<Hold>();
        hold->path = bare;
        hold->held = held;
        held->insert(bare);
        return hold;
    }
    // A link is removed as a link: what lies under its path (its target's content) stays.
    bool RemoveTreeSafely(const std::string& folder) override {
        const std::string bare = Bare(folder);
        if (links.count(bare) || !folders.count(bare)) return false;
        std::vector<std::string> childFiles, childFolders;
        for (const auto& [p, text] : files) if (Parent(p) == bare) childFiles.push_back(p);
        for (const std::string& f : folders) if (Parent(f) == bare) childFolders.push_back(f);
        bool ok = true;
        for (const std::string& f : childFiles) ok = RemoveFile(f) && ok;
        // A link is left alone: neither walked into nor removed.
        for (const std::string& f : childFolders) ok = !links.count(f) && RemoveTreeSafely(f) && ok;
        return ok && RemoveFolder(bare);
    }
    bool TreeHasLink(const std::string& folder) override {
        const std::string bare = Bare(folder);
        for (const std::string& l : links)
            if (l == bare || l.rfind(bare + "\\", 0) == 0) return true;
        return false;
    }

    // Reads the file's content as it was when opened, `chunk` bytes at most per read.
    struct Reader : ByteReader {
        std::string data;
        size_t at = 0, chunk = 0;
        bool failAt = false;
        size_t failOffset = 0;
        bool Read(char* buffer, size_t size, size_t& got) override {
            got = 0;
            if (failAt && at >= failOffset) return false;
            size_t n = std::min(size, data.size() - at);
            if (chunk) n = std::min(n, chunk);
            std::copy(data.begin() + at, data.begin() + at + n, buffer);
            at += n;
            got = n;
            return true;
        }
    };
    size_t readChunk = 0;                 // 0: reads give what is asked
    std::map<std::string, size_t> readFailsAt;  // a read at or past this offset fails
    size_t largestRead = 0;               // the largest buffer any reader was asked to fill
    size_t largestWrite = 0;              // the largest piece any writer was given
    std::unique_ptr<ByteReader> OpenForReading(const std::string& path) override {
        auto it = files.find(path);
        if (it == files.end() || unreadable.count(path)) return nullptr;
        struct Tracked : Reader {
            FakeFileStore* store;
            bool Read(char* buffer, size_t size, size_t& got) override {
                store->largestRead = std::max(store->largestRead, size);
                return Reader::Read(buffer, size, got);
            }
        };
        auto r = std::make_unique<Tracked>();
        r->store = this;
        r->data = it->second;
        r->chunk = readChunk;
        auto fail = readFailsAt.find(path);
        if (fail != readFailsAt.end()) {
            r->failAt = true;
            r->failOffset = fail->second;
        }
        return r;
    }
    // Writes go straight into the file; a path in `unwritable` cannot be created, one in
    // `writeFailsAfter` accepts that many bytes and then fails.
    std::map<std::string, size_t> writeFailsAfter;
    std::unique_ptr<ByteWriter> CreateForWriting(const std::string& path) override {
        if (unwritable.count(path) || folders.count(Bare(path)) || !folders.count(Parent(path))) return nullptr;
        files[path].clear();
        struct Writer : ByteWriter {
            FakeFileStore* store;
            std::string path;
            bool closed = false;
            bool Write(const char* data, size_t size) override {
                if (closed) return false;
                store->largestWrite = std::max(store->largestWrite, size);
                std::string& content = store->files[path];
                auto limit = store->writeFailsAfter.find(path);
                if (limit != store->writeFailsAfter.end() && content.size() + size > limit->second) return false;
                content.append(data, size);
                return true;
            }
            bool Close() override {
                if (closed) return false;
                closed = true;
                return true;
            }
        };
        auto w = std::make_unique<Writer>();
        w->store = this;
        w->path = path;
        return w;
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
    std::set<std::string> drives = {"C:", "D:"};
    std::vector<std::string> ownedFolders = {"C:\\Windows", "C:\\Program Files", "C:\\Users",
                                             "C:\\Users\\user", "C:\\Users\\user\\Desktop",
                                             "C:\\Users\\user\\Documents"};

    std::string componentFolder;  // the answer for 32-bit components; empty: no answer

    std::string WindowsFolder() override { return windowsFolder; }
    std::string SystemFolder() override { return systemFolder; }
    std::string ComponentSystemFolder() override { return componentFolder; }
    bool FileVersion(const std::string& path, FileVersionParts& version) override {
        versionQueries.push_back(path);
        auto it = versions.find(path);
        if (it == versions.end()) return false;
        version = it->second;
        return true;
    }
    bool DriveExists(const std::string& drive) override { return drives.count(drive) != 0; }
    std::vector<std::string> OwnedFolders() override { return ownedFolders; }
    // The machine's UTC clock in seconds; unset, the clock cannot be read.
    std::optional<int64_t> utcNow;
    bool UtcNow(int64_t& seconds) override {
        if (!utcNow) return false;
        seconds = *utcNow;
        return true;
    }
    std::string tempFolder = "C:\\Users\\user\\AppData\\Local\\Temp";
    std::string TempFolder() override { return tempFolder; }
    std::string programFilesFolder;  // none unless a test gives one
    std::string ProgramFilesFolder() override { return programFilesFolder; }
    // Alias prefix -> the final form it names (C:\PROGRA~2 -> C:\Program Files (x86)).
    std::map<std::string, std::string> aliases;
    std::string CanonicalPath(const std::string& path) override {
        for (const auto& [alias, final] : aliases)
            if (path.rfind(alias, 0) == 0) return final + path.substr(alias.size());
        return path;
    }
    std::map<std::string, std::string> environment;
    std::string EnvironmentValue(const std::string& name) override {
        auto it = environment.find(name);
        return it == environment.end() ? std::string() : it->second;
    }
};

}  // namespace qor::testing
