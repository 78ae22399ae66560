#include "common/settings/settings.h"

#include "core/settings_text.h"
#include "core/text.h"

namespace qor {
namespace {

// Reads the settings text, creating an empty file first when there is none. False when the
// file can neither be read nor created.
bool LoadSettings(FileStore& files, const std::string& path, std::string& text) {
    text.clear();
    if (!files.FileExists(path) && !files.WriteText(path, std::string(), false)) return false;
    return files.ReadText(path, text);
}

}  // namespace

std::string SettingsFilePath(const std::string& appFolder) {
    return JoinPath(appFolder, "\\SYS\\setinf.txt");
}

std::string ReadSetting(FileStore& files, const std::string& appFolder, const std::string& key) {
    std::string text;
    if (!LoadSettings(files, SettingsFilePath(appFolder), text)) return std::string();
    return SettingValue(text, key);
}

void WriteSetting(FileStore& files, const std::string& appFolder, const std::string& key,
                  const std::string& value) {
    // A line break in the value would end its line early and write the rest as a line of its own
    // (a key the caller never meant to set): such a value is refused and nothing changes.
    if (value.find_first_of("\r\n") != std::string::npos) return;
    const std::string path = SettingsFilePath(appFolder);
    std::string text;
    if (!LoadSettings(files, path, text)) return;
    bool appendOnly = false;
    std::string out = SettingsTextWith(text, key, value, appendOnly);
    files.WriteText(path, out, appendOnly);
}

}  // namespace qor
