// QOR_UPDATE.exe's sequences: the start-up decision (offer a downloaded package, offer an online
// upgrade, download in the background, or end) and what the window's buttons do (download now,
// install the package, give up). Written against small interfaces so that the same code runs in
// the program and in host tests.
#pragma once

#include <string>

#include "common/staged_update/staged_update.h"
#include "core/log_signature.h"
#include "platform/file_store.h"
#include "platform/http_session.h"
#include "platform/management.h"
#include "platform/program_runner.h"
#include "platform/signature_verifier.h"
#include "platform/system_queries.h"
#include "updater/http/downloader.h"

namespace qor {

enum class UpdaterIcon { Information, Critical };

// What the updater asks of its running program.
class UpdaterShell {
public:
    virtual ~UpdaterShell() = default;
    // True when another updater is already running.
    virtual bool AnotherInstanceRunning() = 0;
    // Folder of the running program, without a trailing separator.
    virtual std::string ProgramFolder() = 0;
    // The command-line arguments after the program name, as passed.
    virtual std::string CommandArguments() = 0;
    // A modal message box titled "提示" (information) or "错误" (critical).
    virtual void ShowMessage(const std::string& text, UpdaterIcon icon) = 0;
    // Modal questions titled "提示" without an icon: true for Yes, and for OK.
    virtual bool AskYesNo(const std::string& text) = 0;
    virtual bool AskOkCancel(const std::string& text) = 0;
};

enum class UpdaterButton {
    Install,  // Csetup "安装升级包"
    Online,   // Cyes "在线升级"
    GiveUp,   // Cno "取消"
};

// The window Fd. As a DownloadView it carries the status label Lb and the progress bar Lw.
class UpdaterWindow : public DownloadView {
public:
    // Lu: the headline.
    virtual void SetHeadline(const std::string& text) = 0;
    // Tu: the release notes box.
    virtual void SetNotes(const std::string& text) = 0;
    // Shows Csetup and hides Cyes (true), or the reverse.
    virtual void ShowInstallButton(bool install) = 0;
    // Busy layout (notes box shortened, status label and a 0-wide bar shown) or idle layout.
    virtual void SetBusy(bool busy) = 0;
    virtual void EnableButton(UpdaterButton button, bool enabled) = 0;
    // Shows the window without waiting for it.
    virtual void Show() = 0;
};

struct UpdaterPlatform {
    UpdaterShell& shell;
    UpdaterWindow& window;
    FileStore& files;
    ManagementService& wmi;
    SystemQueries& system;
    ProgramRunner& runner;
    HttpSession& http;
    // Checks package signatures; needed only when the state carries the vendor's key.
    SignatureVerifier* verifier = nullptr;
    // Test builds: ends the process at a named point of the staged update's moves.
    CutHook cut = CutHook();
};

// The updater's process-wide values.
struct UpdaterState {
    std::string appFolder;
    std::string argument;
    std::string currentVersion;
    std::string newVersion;
    std::string notes;
    std::string packageUrl;
    TransferCounters counters;
    // From the moment Cno is disabled until the installation ends: giving up does nothing.
    bool installing = false;
    // The vendor's public key (PEM) that packages must be signed with; empty when the build has
    // none, and then no signature is ever asked for.
    std::string updateKeyPem;
    // With a key: the signature of the log accepted last (its package's SHA-256 and size), set
    // once logSigned is true.
    LogSignature signedLog;
    bool logSigned = false;
};

// What the program does after a sequence: keep the window open, or end at once.
enum class UpdaterNext { KeepWindow, EndProgram };

// Texts the updater shows.
extern const char* const kUpdaterCaption;
extern const char* const kUpdaterAlreadyRunning;
extern const char* const kCannotReachServer;
extern const char* const kInstallButtonText;
extern const char* const kOnlineButtonText;
extern const char* const kGiveUpButtonText;
extern const char* const kUpdaterHint;

// Start-up: sets the state and either ends (EndProgram) or has filled and shown the window.
UpdaterNext RunUpdater(UpdaterPlatform& p, const std::string& updateHost, UpdaterState& s);

// Fetches the server's update log over the local one and parses it; true when it is valid.
bool FetchServerUpdateLog(UpdaterPlatform& p, const std::string& updateHost, UpdaterState& s);

// The version text of a file's version resource ("0.00" for a missing file or one without).
std::string GetFileVersionText(FileStore& files, SystemQueries& system, const std::string& path);

// The window's two waiting modes.
void FillDownloadedMode(UpdaterWindow& window, const UpdaterState& s);
void FillOnlineMode(UpdaterWindow& window, const UpdaterState& s);

// The buttons and the closing of the window.
UpdaterNext OnlineUpgrade(UpdaterPlatform& p, UpdaterState& s);
UpdaterNext InstallPackage(UpdaterPlatform& p, UpdaterState& s);
// Giving up (Cno, or closing the window); does nothing while the installation runs. Every way
// out of the updater started with "/s" starts the launcher again.
UpdaterNext GiveUp(UpdaterPlatform& p, UpdaterState& s);
// Starts the launcher again with the command it handed over (ZTCOMMAND), emptying that key.
void RestartLauncher(UpdaterPlatform& p, const UpdaterState& s);

}  // namespace qor
