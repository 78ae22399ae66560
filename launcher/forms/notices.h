// The launcher's modal notices: Fs (trust notice about security software) and Ff (the tip on
// the account-set file association). Each offers "不再提示"; ticking it and clicking the button
// writes "False" under the notice's settings key.
#pragma once

#include <string>

namespace qor::forms {

void ShowSecurityNotice(const std::string& appFolder);     // Fs, key FSSHOW
void ShowAssociationNotice(const std::string& appFolder);  // Ff, key FFSHOW

// Control ids a person (or a test driving the window) finds on every notice.
enum NoticeControl { kNoticeButton = 1, kNoticeCheck = 1001 };

}  // namespace qor::forms
