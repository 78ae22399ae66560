#include "installer/setup_command.h"

#include <cctype>

#include "core/text.h"

namespace qor::installer {
namespace {

// One argument from `at`: quoted (the quotes removed) or up to the next blank.
std::string NextArgument(const std::string& text, size_t& at) {
    std::string out;
    bool quoted = false;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && (c == ' ' || c == '\t')) break;
        out.push_back(c);
    }
    return out;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

}  // namespace

SetupCommand ParseSetupCommand(const std::string& arguments) {
    SetupCommand command;
    if (arguments == "/u") {
        command.uninstall = true;
        return command;
    }
    // Only the deployment switches turn the line into switches; anything else installs.
    const std::string padded = " " + arguments;
    if (padded.find(" /S") == std::string::npos && padded.find(" /LOG=") == std::string::npos &&
        padded.find(" /D=") == std::string::npos && padded.find(" \"/D=") == std::string::npos)
        return command;
    size_t at = 0;
    while (at < arguments.size()) {
        if (arguments[at] == ' ' || arguments[at] == '\t') {
            ++at;
            continue;
        }
        // /D= takes the rest of the line: unquoted, its value quoted, or the whole argument quoted
        // ("/D=D:\Some Folder\QOR"), as PowerShell, .NET and most launchers pass one with blanks.
        const bool quotedWhole = arguments.compare(at, 4, "\"/D=") == 0;
        if (quotedWhole || arguments.compare(at, 3, "/D=") == 0) {
            std::string folder = TrimSpaces(arguments.substr(at + (quotedWhole ? 4 : 3)));
            if (quotedWhole) {
                if (!folder.empty() && folder.back() == '"') folder.pop_back();
                else folder.clear();  // the closing quote is missing
            } else if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"') {
                folder = folder.substr(1, folder.size() - 2);
            }
            command.folder = folder;
            if (command.folder.empty()) command.valid = false;
            break;
        }
        const std::string argument = NextArgument(arguments, at);
        if (argument == "/S") command.silent = true;
        else if (argument == "/u") command.uninstall = true;
        else if (StartsWithNoCase(argument, "/LOG=") && argument.size() > 5) command.logFile = argument.substr(5);
        else command.valid = false;
    }
    if (command.uninstall && !command.folder.empty()) command.valid = false;
    return command;
}

std::string SilentInstallPath(const SetupCommand& command, const std::string& defaultPath) {
    if (command.folder.empty()) return defaultPath;
    std::string folder = ReplaceAll(command.folder, "/", "\\");
    while (EndsWith(folder, "\\")) folder.pop_back();
    return folder + "\\";
}

}  // namespace qor::installer
