// Scripted stand-ins for the installer's sequences: a program runner that plays the extractor
// on the fake file store, the shell links, and the two windows' views.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "unit/fakes.h"
#include "installer/sequences.h"

namespace qor::testing {

// Starts nothing; records every command. A command line of the extractor writes the scripted
// archive content into its destination (the last quoted piece) when the extractor and the
// archive exist in the store.
class FakeExtractorRunner : public ProgramRunner {
public:
    explicit FakeExtractorRunner(FakeFileStore& files) : files_(files) {}
    struct Started {
        std::string command;
        WindowStyle style;
    };
    std::vector<Started> started;
    std::vector<uint32_t> waited;
    // Archive content: relative path -> content; a path ending in "\" is a folder.
    std::vector<std::pair<std::string, std::string>> archive = {{"a.txt", "A"}, {"SYS\\", ""}, {"SYS\\b.txt", "B"}};
    // The exit code of each extractor run in turn (0 when not given).
    std::vector<uint32_t> exitCodes;

    // Runs while the extractor runs, with the number of the run (0 for the first).
    std::function<void(size_t)> during;

    uint32_t Start(const std::string& commandLine, WindowStyle style) override {
        started.push_back({commandLine, style});
        if (during && commandLine.find("\\UnRAR.exe\" x -o+ \"") != std::string::npos) during(waited.size());
        const size_t x = commandLine.find("\\UnRAR.exe\" x -o+ \"");
        if (x != std::string::npos) {
            const std::string install = commandLine.substr(1, x - 1);  // I, ending in "\"
            if (!files_.files.count(install + "UnRAR.exe")) return 0;
            if (files_.files.count(install + "QOR_SETUP.rar")) {
                // The destination ends in "\\" and the closing quote; Windows reads "\\" as one "\".
                std::string dest = commandLine.substr(commandLine.rfind(" \"") + 2);
                dest.resize(dest.size() - 2);
                for (const auto& [path, content] : archive) {
                    if (!path.empty() && path.back() == '\\') files_.AddFolder(dest + path);
                    // Neither an unwritable file nor its own running image is replaced.
                    else if (!files_.unwritable.count(dest + path) && dest + path != install + "UnRAR.exe")
                        files_.AddFile(dest + path, content);
                }
            }
        }
        return static_cast<uint32_t>(100 + started.size());
    }
    std::optional<uint32_t> StartAndWait(const std::string& commandLine, WindowStyle style) override {
        const uint32_t pid = Start(commandLine, style);
        if (pid == 0) return std::nullopt;
        waited.push_back(pid);
        const size_t run = waited.size() - 1;
        return run < exitCodes.size() ? exitCodes[run] : 0;
    }

    std::vector<std::string> Commands() const {
        std::vector<std::string> c;
        for (const Started& s : started) c.push_back(s.command);
        return c;
    }

private:
    FakeFileStore& files_;
};

class FakeShell : public ShellLinks {
public:
    explicit FakeShell(FakeFileStore& files) : files_(files) {}
    std::map<std::string, std::string> folders = {{"Desktop", "C:\\Users\\user\\Desktop"},
                                                  {"AllUsersPrograms", "C:\\ProgramData\\Programs"}};
    struct Link {
        std::string target, arguments;
    };
    std::map<std::string, Link> links;

    std::string SpecialFolder(const std::string& name) override {
        auto it = folders.find(name);
        return it == folders.end() ? std::string() : it->second;
    }
    bool CreateShortcut(const std::string& linkPath, const std::string& target, const std::string& arguments) override {
        if (!files_.folders.count(FakeFileStore::Parent(linkPath))) return false;
        links[linkPath] = {target, arguments};
        files_.files[linkPath] = "lnk";
        return true;
    }

private:
    FakeFileStore& files_;
};

// The desktop shell: answers when `answers` is set; records what it was asked to start.
class FakeDesktopShell : public DesktopShell {
public:
    bool answers = false;
    std::vector<std::string> started;  // "program|folder"
    bool StartAsSignedInUser(const std::string& program, const std::string& folder) override {
        started.push_back(program + "|" + folder);
        return answers;
    }
};

// Both views: every call as a line of text, scripted answers to the message boxes in order.
class FakeViews : public installer::WizardView, public installer::UninstallView {
public:
    std::vector<std::string> calls;
    struct Message {
        std::string text, title;
        installer::MessageKind kind;
    };
    std::vector<Message> messages;
    std::vector<installer::Answer> answers;  // given in order; Ok (or Yes) when used up

    installer::Answer ShowMessage(const std::string& text, const std::string& title, installer::MessageKind kind) override {
        messages.push_back({text, title, kind});
        calls.push_back("message " + title);
        if (answers.empty()) return kind == installer::MessageKind::YesNo ? installer::Answer::Yes : installer::Answer::Ok;
        installer::Answer a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    void ShowStatus(const std::string& text) override { calls.push_back("status " + text); }
    void ShowProgress(long done, long total) override {
        calls.push_back("progress " + std::to_string(done) + "/" + std::to_string(total));
    }
    void HideProgress() override { calls.push_back("hide progress"); }
    void EnableFolderAndStart(bool enabled) override { calls.push_back(enabled ? "enable start" : "disable start"); }
    void EnableCancel(bool enabled) override { calls.push_back(enabled ? "enable cancel" : "disable cancel"); }
    void EnableRepairAndCancel(bool enabled) override {
        calls.push_back(enabled ? "enable repair and cancel" : "disable repair and cancel");
    }
    void ShowFinishPage(const std::string& finishText, const std::string& runText) override {
        calls.push_back("finish " + finishText + "|" + runText);
    }
    void PumpEvents() override {}
};

}  // namespace qor::testing
