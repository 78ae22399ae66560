#include "installer/install_record.h"

#include <algorithm>

#include <cmath>

#include "core/text.h"
#include "core/wildcard.h"
#include "installer/product.h"
#include "qor/build_config.h"

namespace qor::installer {
namespace {

const char* const kUninstallKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char* const kUninstallKeyWow = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The path with "/" read as "\" and without trailing separators.
std::string Normalised(const std::string& path) {
    std::string p = path;
    for (char& c : p)
        if (c == '/') c = '\\';
    while (!p.empty() && p.back() == '\\') p.pop_back();
    return Lower(p);
}

}  // namespace

void ListTree(FileStore& files, const std::function<void()>& pump, std::string folder,
              const std::string& pattern, std::string& list) {
    if (!EndsWith(folder, "\\")) folder += "\\";
    list += folder + "\r\n";
    const std::vector<FileStore::Entry> entries = files.ListEntries(folder);
    for (const FileStore::Entry& e : entries) {
        if (e.folder || e.hidden || e.system || !WildcardMatch(e.name, pattern)) continue;
        list += folder + e.name + "\r\n";
        if (pump) pump();
    }
    std::vector<std::string> subfolders;
    for (const FileStore::Entry& e : entries) {
        if (!e.folder || e.link || e.hidden || e.system || StartsWith(e.name, ".")) continue;
        subfolders.push_back(folder + e.name + "\\");
        if (pump) pump();
    }
    for (const std::string& sub : subfolders) ListTree(files, pump, sub, pattern, list);
}

std::string BuildUninstallRecord(const std::string& scratchListing, const std::string& scratchRoot,
                                 const std::string& installPath) {
    std::string list;
    for (const std::string& line : Split(scratchListing, "\r\n")) {
        if (line.empty()) continue;
        list += (StartsWith(line, scratchRoot) ? installPath + line.substr(scratchRoot.size()) : line) + "\r\n";
    }
    list += installPath + kArchiveName;
    for (const char* name : {"QOR_UPDATE.LOG", "QOR_UPDATE.rar", "QOR_UPDATE.exe", "SYS\\pcinf.txt",
                             "SYS\\usrinf.txt", "SYS\\setinf.txt"})
        list += "\r\n" + installPath + name;
    return list + "\r\n";
}

std::string RecordedInstallFolder(const std::string& record) {
    const std::string first = record.substr(0, record.find("\r\n"));
    const bool drive = first.size() >= 3 && ((first[0] >= 'A' && first[0] <= 'Z') || (first[0] >= 'a' && first[0] <= 'z')) &&
                       first[1] == ':' && first[2] == '\\';
    const bool network = StartsWith(first, "\\\\") && first.size() > 2;
    if ((!drive && !network) || !EndsWith(first, "\\") || first.find('/') != std::string::npos) return {};
    for (const std::string& part : Split(first, "\\"))
        if (TrimSpaces(part) == ".." || TrimSpaces(part) == ".") return {};
    return first;
}

std::string ExtractorCommand(const std::string& payloadFolder, const std::string& destination) {
    return "\"" + payloadFolder + "\\" + kExtractorName + "\" x -o+ \"" + payloadFolder + "\\" + kArchiveName +
           "\" " + QuotedFolderArgument(destination);
}

std::vector<std::string> RegistryAddCommands(const std::string& installPath, const std::string& uninstallerFolder,
                                             uint64_t sizeKb) {
    const std::string k = std::string("reg add ") + kUninstallKey + kProductName;
    // Without the "\" at its end: reg would read a "\" before the closing quote as an escaped
    // quote.
    const std::string location = installPath.substr(0, installPath.find_last_not_of('\\') + 1);
    const std::string uninstaller = uninstallerFolder + kSetupName;
    return {
        k + " /v DisplayIcon /t REG_SZ /d \"" + uninstallerFolder + "qor.ico\" /f",
        k + " /v DisplayName /t REG_SZ /d " + kProductName + " /f",
        k + " /v DisplayVersion /t REG_SZ /d " + kVersionText + " /f",
        k + " /v Publisher /t REG_SZ /d " + kPublisher + " /f",
        // The data is the quoted path and the switch; reg reads \" as a quote inside the data.
        k + " /v UninstallString /t REG_SZ /d \"\\\"" + uninstaller + "\\\" /u\" /f",
        k + " /v InstallLocation /t REG_SZ /d \"" + location + "\" /f",
        k + " /v EstimatedSize /t REG_DWORD /d " + std::to_string(std::min<uint64_t>(sizeKb, 0xFFFFFFFFu)) + " /f",
        k + " /v QuietUninstallString /t REG_SZ /d \"\\\"" + uninstaller + "\\\" /u /S\" /f",
        k + " /v URLInfoAbout /t REG_SZ /d http://" + QOR_VENDOR_WEB + " /f",
        k + " /v NoModify /t REG_DWORD /d 1 /f",
    };
}

std::vector<std::string> RegistryDeleteCommands() {
    return {std::string("reg delete ") + kUninstallKey + kProductName + " /f",
            std::string("reg delete ") + kUninstallKeyWow + kProductName + " /f"};
}

std::vector<std::string> SelfRemovalCommands(const std::string& programFolder, const std::string& programBaseName,
                                             const std::string& installPath) {
    std::vector<std::string> commands = {"cmd /c timeout /t 3 & del \"" + programFolder + programBaseName + ".exe\"",
                                         "cmd /c timeout /t 4 & rd \"" + installPath + "\""};
    if (!SamePath(programFolder, installPath)) commands.push_back("cmd /c timeout /t 4 & rd \"" + programFolder + "\"");
    return commands;
}

std::string PercentText(long done, long total) {
    if (total <= 0) return "0%";
    return std::to_string(static_cast<long>(std::floor(100.0 * done / total + 0.5))) + "%";
}

bool IsInsideInstallFolder(const std::string& path, const std::string& installPath) {
    if (installPath.empty()) return false;
    for (const std::string& part : Split(ReplaceAll(path, "/", "\\"), "\\"))
        if (TrimSpaces(part) == "..") return false;
    return StartsWith(Lower(path), Lower(installPath));
}

bool LeadsThroughLink(FileStore& files, const std::string& path, const std::string& installPath) {
    const std::string p = ReplaceAll(path, "/", "\\");
    if (p.size() <= installPath.size()) return false;
    std::string at = p.substr(0, installPath.size());
    const std::string rest = p.substr(installPath.size());
    for (size_t start = 0, sep; (sep = rest.find('\\', start)) != std::string::npos; start = sep + 1) {
        at += rest.substr(start, sep - start);
        if (!EndsWith(at, "\\") && files.IsLink(at)) return true;
        at += "\\";
    }
    return false;
}

bool HasUsableLine(const std::string& record, const std::string& installPath) {
    for (const std::string& line : Split(record, "\r\n"))
        if (IsInsideInstallFolder(line, installPath)) return true;
    return false;
}

bool SamePath(const std::string& a, const std::string& b) {
    auto plain = [](const std::string& path) {
        std::string p = Lower(ReplaceAll(path, "/", "\\"));
        // Doubled separators read as one, except the two that begin a network path.
        const size_t keep = StartsWith(p, "\\\\") ? 2 : 0;
        std::string rest = p.substr(keep);
        while (rest.find("\\\\") != std::string::npos) rest = ReplaceAll(rest, "\\\\", "\\");
        return p.substr(0, keep) + rest;
    };
    return plain(a) == plain(b);
}

bool IsProtectedFolder(const std::string& installPath, const std::vector<OwnedFolder>& ownedFolders) {
    const std::string folder = Normalised(installPath);
    // A drive root ("D:"), no folder at all, or a network share's root ("\\server\share").
    if (folder.size() <= 2) return true;
    if (StartsWith(folder, "\\\\")) {
        const std::vector<std::string> parts = Split(folder.substr(2), "\\");
        if (parts.size() <= 2) return true;
    }
    for (const OwnedFolder& owned : ownedFolders) {
        const std::string o = Normalised(owned.path);
        if (o.empty()) continue;
        if (o == folder || StartsWith(o, folder + "\\")) return true;
        if (owned.subtree && StartsWith(folder, o + "\\")) return true;
    }
    return false;
}

std::vector<OwnedFolder> ProtectedFolders(SystemQueries& system) {
    std::vector<std::string> paths = system.OwnedFolders();
    paths.push_back(system.WindowsFolder());
    paths.push_back(system.SystemFolder());
    for (const char* name : {"ProgramW6432", "CommonProgramW6432", "ProgramFiles", "ProgramFiles(x86)",
                             "CommonProgramFiles", "CommonProgramFiles(x86)", "ProgramData", "SystemRoot"})
        paths.push_back(system.EnvironmentValue(name));
    // Everything below the Windows folder (the system's own) is protected as a whole.
    std::vector<std::string> windows;
    for (const std::string& w : {system.WindowsFolder(), system.EnvironmentValue("SystemRoot")})
        if (!w.empty()) windows.push_back(Normalised(system.CanonicalPath(w)));
    std::vector<OwnedFolder> folders;
    for (const std::string& path : paths) {
        if (path.empty()) continue;
        OwnedFolder owned{system.CanonicalPath(path), false};
        const std::string o = Normalised(owned.path);
        for (const std::string& w : windows)
            if (o == w || StartsWith(o, w + "\\")) owned.subtree = true;
        folders.push_back(owned);
    }
    return folders;
}

bool IsProtectedInstallFolder(SystemQueries& system, const std::string& installPath) {
    const std::vector<OwnedFolder> owned = ProtectedFolders(system);
    return IsProtectedFolder(installPath, owned) || IsProtectedFolder(system.CanonicalPath(installPath), owned);
}

}  // namespace qor::installer
