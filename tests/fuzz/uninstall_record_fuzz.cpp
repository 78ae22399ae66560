// libFuzzer target: any bytes as the content of uninstall.inf (with and without the whole-folder
// tick). The uninstall must not crash or hang, and must never delete a file or remove a folder
// outside the install folder.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "installer/sequences.h"
#include "unit/installer/installer_fakes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qor;
    const std::string installPath = "D:\\QOR\\";
    for (bool wholeFolder : {false, true}) {
        testing::FakeFileStore files;
        files.AddFile("D:\\QOR\\QOR.exe", "x");
        files.AddFile("D:\\QOR\\SYS\\setinf.txt", "x");
        files.AddFile("D:\\Other\\keep.txt", "x");
        files.AddFile("D:\\keep.txt", "x");
        files.AddFile("C:\\Windows\\win.ini", "x");
        files.AddFolder("D:\\QORX");
        files.AddFolder("C:\\Users\\user\\Desktop");
        files.files["D:\\QOR\\uninstall.inf"] = std::string(reinterpret_cast<const char*>(data), size);
        testing::FakeSystem system;
        testing::FakeManagement wmi;
        testing::FakeExtractorRunner runner(files);
        testing::FakeShell shell(files);
        testing::FakeViews views;
        views.answers = {installer::Answer::Ok};
        installer::InstallerPlatform platform{files, system, wmi, runner, shell, "D:\\QOR", "QOR_SETUP"};
        installer::RunUninstall(platform, views, installPath, wholeFolder);
        for (const std::string& path : files.deleted)
            if (path.compare(0, installPath.size(), installPath) != 0 && path.find("QOR中小企业财务软件") == std::string::npos)
                abort();
        for (const std::string& folder : files.removedFolders)
            if (folder.compare(0, installPath.size(), installPath) != 0 && folder.find("QOR中小企业财务软件") == std::string::npos)
                abort();
        if (!files.files.count("D:\\Other\\keep.txt") || !files.files.count("D:\\keep.txt") ||
            !files.files.count("C:\\Windows\\win.ini") || !files.folders.count("D:\\QORX"))
            abort();
    }
    return 0;
}
