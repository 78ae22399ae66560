// The splash window QORstart: version, current stage, the vendor's web link and a cancel link
// that ends the launcher at once.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace qor::forms {

// Creates and shows the splash modeless with the version text in Lv. A click on Lcancel runs
// `beforeEnd` (when given) and then ends the launcher at once.
void ShowSplash(const std::string& versionText, std::function<void()> beforeEnd = nullptr);
// Shows the stage text in Lw and repaints it at once.
void ShowSplashStage(const std::string& stageText);
// Places the splash in the topmost band.
void MakeSplashTopmost();
// The splash window, or null before it is shown.
HWND SplashWindow();

// Control ids of the splash.
enum SplashControl { kSplashVersion = 101, kSplashStage = 102, kSplashWeb = 103, kSplashCancel = 104 };

}  // namespace qor::forms
