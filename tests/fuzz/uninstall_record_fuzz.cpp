// libFuzzer target: any bytes as the content of uninstall.inf (with and without the whole-folder
// tick). The uninstall must not crash or hang, must never delete a file or remove a folder
// outside the install folder other than its own three shortcuts and their menu folder, and must
// never touch what lies behind a link inside the install folder.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "installer/install_record.h"
#include "installer/sequences.h"
#include "unit/installer/installer_fakes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qor;
    const std::string installPath = "D:\\QOR\\";
    const std::string product = "QOR中小企业财务软件";
    const std::string desktop = "C:\\Users\\user\\Desktop\\";
    const std::string menu = "C:\\ProgramData\\Programs\\" + product;
    const std::set<std::string> shortcuts = {desktop + product + ".lnk", menu + "\\" + product + ".lnk",
                                             menu + "\\卸载 " + product + ".lnk"};
    const std::set<std::string> kept = {"D:\\Other\\keep.txt", "D:\\keep.txt", "C:\\Windows\\win.ini",
                                        desktop + product + ".txt", "D:\\QOR\\linked\\keep.txt"};
    for (bool wholeFolder : {false, true}) {
        testing::FakeFileStore files;
        files.AddFile("D:\\QOR\\QOR.exe", "x");
        files.AddFile("D:\\QOR\\SYS\\setinf.txt", "x");
        for (const std::string& path : kept) files.AddFile(path, "x");
        files.AddFolder("D:\\QOR\\linked\\sub");
        files.links.insert("D:\\QOR\\linked");
        files.AddFolder("D:\\QORX");
        for (const std::string& path : shortcuts) files.AddFile(path, "lnk");
        files.files["D:\\QOR\\uninstall.inf"] = std::string(reinterpret_cast<const char*>(data), size);
        testing::FakeSystem system;
        testing::FakeManagement wmi;
        testing::FakeExtractorRunner runner(files);
        testing::FakeShell shell(files);
        testing::FakeDesktopShell desktopShell;
        testing::FakeViews views;
        views.answers = {installer::Answer::Ok};
        installer::InstallerPlatform platform{files, system, wmi, runner, shell, desktopShell, "D:\\QOR", "QOR_SETUP"};
        installer::RunUninstall(platform, views, installPath, wholeFolder);
        for (const std::string& path : files.deleted)
            if (path.compare(0, installPath.size(), installPath) != 0 && !shortcuts.count(path)) abort();
        for (const std::string& folder : files.removedFolders)
            if (folder.compare(0, installPath.size(), installPath) != 0 && folder != menu) abort();
        for (const std::string& path : kept)
            if (!files.files.count(path)) abort();
        if (!files.folders.count("D:\\QORX") || !files.folders.count("D:\\QOR\\linked\\sub")) abort();
    }
    // The record kept in the protected folder names the folder its copy uninstalls: never a
    // relative path or one that climbs out with "..".
    const std::string folder = installer::RecordedInstallFolder(std::string(reinterpret_cast<const char*>(data), size));
    if (!folder.empty()) {
        const bool absolute = (folder.size() >= 3 && folder[1] == ':' && folder[2] == '\\') || folder.rfind("\\\\", 0) == 0;
        if (!absolute || folder.back() != '\\' || folder.find("\\..\\") != std::string::npos) abort();
    }
    return 0;
}
