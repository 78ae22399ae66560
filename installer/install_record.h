// What an install leaves behind and how it is named: the listing of installed paths, the record
// uninstall.inf, the registry commands, the extractor's and the self-removal command lines, and
// the rules that keep an uninstall inside the install folder. Portable.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_store.h"
#include "platform/system_queries.h"

namespace qor::installer {

// Recursive listing, pre-order: the folder's line (ending in "\"), its plain files matching
// `pattern` (hidden and system files left out), then each subfolder's block (hidden and system
// folders, folder links and names beginning with "." left out: a junction or symbolic link may
// lead out of the folder, so it is neither listed nor walked into). Lines end in CR LF. `pump`
// runs after every entry so that windows stay responsive.
void ListTree(FileStore& files, const std::function<void()>& pump, std::string folder,
              const std::string& pattern, std::string& list);

// The content of uninstall.inf: the scratch listing with the scratch folder (`scratchRoot`,
// ending in "\") at the start of each line replaced by the install folder, then the fixed
// paths, the whole ending in CR LF.
std::string BuildUninstallRecord(const std::string& scratchListing, const std::string& scratchRoot,
                                 const std::string& installPath);

// The install folder an uninstall record names: its first line, a folder's absolute path
// (ending in "\", no ".." in it); empty when the record names none.
std::string RecordedInstallFolder(const std::string& record);

// The extractor's command line: "W\UnRAR.exe" x -o+ "W\QOR_SETUP.rar" "DEST\\" with W the
// folder that holds the extractor and the archive (ending in "\"; the doubled backslash after
// it is kept; the destination is written by QuotedFolderArgument).
std::string ExtractorCommand(const std::string& payloadFolder, const std::string& destination);

// The "reg add" commands of the Uninstall entry, in order: the five the programs list shows
// and starts the uninstaller by, then where it is, how large (`sizeKb`), its quiet uninstall,
// the vendor's address and that it has no change option. The icon and both uninstall commands
// name the uninstaller's folder (ending in "\"); InstallLocation names the install folder.
std::vector<std::string> RegistryAddCommands(const std::string& installPath, const std::string& uninstallerFolder,
                                             uint64_t sizeKb);
// The two "reg delete" commands.
std::vector<std::string> RegistryDeleteCommands();
// The delayed removal of the running uninstaller (in `programFolder`, ending in "\") and of the
// (then empty) install folder, and of the uninstaller's folder when that is another one.
std::vector<std::string> SelfRemovalCommands(const std::string& programFolder, const std::string& programBaseName,
                                             const std::string& installPath);

// "done / total" as a whole percentage ("37%").
std::string PercentText(long done, long total);

// True when a path from the uninstall list lies in the install folder: it begins with the
// install path (letter case ignored) and no part of it is "..".
bool IsInsideInstallFolder(const std::string& path, const std::string& installPath);

// True when a path from the uninstall list (inside the install folder) is, or leads through, a
// link below the install folder: every folder on its way is asked about. The last part of a
// file's path is not: deleting a file never follows a link.
bool LeadsThroughLink(FileStore& files, const std::string& path, const std::string& installPath);

// True when the record's text has a line that the uninstaller would act on: one inside the
// install folder.
bool HasUsableLine(const std::string& record, const std::string& installPath);

// True when the two paths name the same file as the file system reads them: letter case,
// "/" for "\" and doubled separators make no difference.
bool SamePath(const std::string& a, const std::string& b);

// A folder that the system or the user owns. A whole subtree is protected where everything
// below belongs to the system (the Windows folder: System32, SysWOW64, drivers, ...); elsewhere
// only the folder itself, so that a folder made inside it (C:\Program Files\QOR,
// Documents\QOR) may hold an install.
struct OwnedFolder {
    std::string path;
    bool subtree = false;
};

// True when installing into the folder, or removing everything in it, could destroy what is not
// the program's: it is a drive root (or a network share's root), an owned folder, lies inside an
// owned subtree, or holds an owned folder. Compared as given: canonical paths in, canonical out.
bool IsProtectedFolder(const std::string& installPath, const std::vector<OwnedFolder>& ownedFolders);

// The owned folders, each in its canonical final form: the system's owned folders and the
// folders that the environment names. A 32-bit program on 64-bit Windows is given "Program
// Files (x86)" when it asks for the program-files folders; only the environment (ProgramW6432,
// CommonProgramW6432) names the 64-bit ones to it. Folders inside the Windows folder protect
// their whole subtree.
std::vector<OwnedFolder> ProtectedFolders(SystemQueries& system);

// IsProtectedFolder for a folder as typed or picked: short names and other aliases resolved.
bool IsProtectedInstallFolder(SystemQueries& system, const std::string& installPath);

}  // namespace qor::installer
