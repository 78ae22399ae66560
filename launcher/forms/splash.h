// The splash window QORstart: version, current stage, the vendor's web link and a cancel link
// that ends the launcher at once.
#pragma once

#include <string>

namespace qor::forms {

// Creates and shows the splash modeless with the version text in Lv.
void ShowSplash(const std::string& versionText);
// Shows the stage text in Lw and repaints it at once.
void ShowSplashStage(const std::string& stageText);

}  // namespace qor::forms
