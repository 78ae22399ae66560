// Small questions the programs ask the operating system about itself and its files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qor {

struct FileVersionParts {
    uint16_t major = 0, minor = 0, build = 0, revision = 0;
};

class SystemQueries {
public:
    virtual ~SystemQueries() = default;

    // Windows directory, without a trailing separator; empty when the query fails.
    virtual std::string WindowsFolder() = 0;
    // Windows system directory, without a trailing separator; empty when the query fails.
    virtual std::string SystemFolder() = 0;
    // The file version from the file's version resource (fixed file information).
    // False when the file has no version resource or it cannot be read.
    virtual bool FileVersion(const std::string& path, FileVersionParts& version) = 0;
    // True when a drive answers to the name ("D:"). (The installer's queries have neutral
    // answers here, so that stand-ins made for other programs need not provide them.)
    virtual bool DriveExists(const std::string& drive) {
        (void)drive;
        return false;
    }
    // Folders that the system or the user owns and that a program must never empty or install
    // into: the Windows folder and the system folders (System32, SysWOW64, System32\drivers),
    // the program-files folders, the profiles folder, the user's profile, desktop and documents
    // (the shared ones too). Without trailing separators; those that cannot be found
    // are left out.
    virtual std::vector<std::string> OwnedFolders() { return {}; }
    // The system folder for shared 32-bit components: SysWOW64 on 64-bit Windows, the system
    // directory on 32-bit Windows. Without a trailing separator; empty when the query fails.
    virtual std::string ComponentSystemFolder() { return {}; }
    // The program-files folder as this program sees it (on 64-bit Windows a 32-bit program's is
    // "Program Files (x86)"), without a trailing separator; empty when the query fails.
    virtual std::string ProgramFilesFolder() { return {}; }
    // The machine's current time, UTC, in seconds since 1970-01-01 00:00:00; false when it cannot
    // be read (and then nothing that expires counts as valid).
    virtual bool UtcNow(int64_t& seconds) {
        (void)seconds;
        return false;
    }
    // The running account's temporary folder, without a trailing separator; empty when unknown.
    virtual std::string TempFolder() { return {}; }
    // The path as the file system finally names it: short (8.3) names made long, links and
    // other aliases of the longest existing leading part resolved, the rest kept as given.
    // Without a trailing separator. The path itself when it cannot be resolved.
    virtual std::string CanonicalPath(const std::string& path) { return path; }
    // The value of the process's environment variable; empty when it is not set.
    virtual std::string EnvironmentValue(const std::string& name) {
        (void)name;
        return {};
    }
};

}  // namespace qor
