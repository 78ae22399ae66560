#include "installer/silent.h"

#include "installer/setup_command.h"

namespace qor::installer {
namespace {

template <typename View>
class Silent : public View {
public:
    explicit Silent(InstallerPlatform& platform) : platform_(platform) {}
    Answer ShowMessage(const std::string& text, const std::string& title, MessageKind kind) override {
        const Answer answer = SilentAnswer(kind);
        LogAction(platform_, MessageLogLine(text, title, answer));
        return answer;
    }
    void ShowStatus(const std::string&) override {}
    void ShowProgress(long, long) override {}
    void HideProgress() override {}
    void PumpEvents() override {}

protected:
    InstallerPlatform& platform_;
};

class SilentWizard : public Silent<WizardView> {
public:
    using Silent::Silent;
    void EnableFolderAndStart(bool) override {}
    void EnableCancel(bool) override {}
    void ShowFinishPage(const std::string&, const std::string&) override {}
};

class SilentUninstall : public Silent<UninstallView> {
public:
    using Silent::Silent;
    void EnableRepairAndCancel(bool) override {}
};

}  // namespace

Answer SilentAnswer(MessageKind kind) {
    switch (kind) {
        case MessageKind::OkCancel: return Answer::Ok;  // the uninstall confirmation: the switch said so
        case MessageKind::YesNo: return Answer::No;     // "skip the locked file?": no
        case MessageKind::Information:
        case MessageKind::Critical: return Answer::Ok;
    }
    return Answer::Ok;
}

int InstallExitCode(InstallOutcome outcome) {
    switch (outcome) {
        case InstallOutcome::Installed: return kExitDone;
        case InstallOutcome::ExcelRunning: return kExitSpreadsheetRunning;
        case InstallOutcome::DriveMissing:
        case InstallOutcome::FolderRefused:
        case InstallOutcome::FolderNotWritable:
        case InstallOutcome::FolderIsLink: return kExitFolderRefused;
        case InstallOutcome::BadPackage: return kExitBadPackage;
        case InstallOutcome::ExtractionFailed: return kExitExtractionFailed;
        case InstallOutcome::RecordNotWritten: return kExitRecordNotWritten;
    }
    return kExitExtractionFailed;
}

int UninstallExitCode(UninstallOutcome outcome) {
    switch (outcome) {
        case UninstallOutcome::Removed: return kExitDone;
        case UninstallOutcome::RecordMissing: return kExitRecordMissing;
        case UninstallOutcome::Abandoned: return kExitLockedFile;
        case UninstallOutcome::Refused:
        case UninstallOutcome::Cancelled: return kExitFolderRefused;
    }
    return kExitFolderRefused;
}

int RunSilentInstall(InstallerPlatform& platform, const std::string& installPath) {
    LogAction(platform, "install: " + installPath);
    // A deployment names the folder it wants: its missing parents are made first (the wizard
    // makes one level, the folder a person picked or typed).
    for (size_t at = installPath.find('\\', 3); at != std::string::npos && at + 1 < installPath.size();
         at = installPath.find('\\', at + 1))
        if (!platform.files.FolderExists(installPath.substr(0, at))) platform.files.CreateFolder(installPath.substr(0, at));
    SilentWizard view(platform);
    const int code = InstallExitCode(RunInstall(platform, view, installPath));
    LogAction(platform, "exit code: " + std::to_string(code));
    return code;
}

int RunSilentUninstall(InstallerPlatform& platform, const std::string& installPath) {
    LogAction(platform, "uninstall: " + installPath);
    SilentUninstall view(platform);
    const int code = UninstallExitCode(RunUninstall(platform, view, installPath, false));
    LogAction(platform, "exit code: " + std::to_string(code));
    return code;
}

}  // namespace qor::installer
