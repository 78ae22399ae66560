// The launcher's modal notices: Fs (trust notice about security software), Ff (the tip on the
// account-set file association) and Fu (the runtime environment is about to be configured).
// Fs and Ff offer "不再提示"; ticking it and clicking the button writes "False" under the
// notice's settings key.
#pragma once

#include <string>

#include "platform/file_store.h"

namespace qor::forms {

void ShowSecurityNotice(FileStore& files, const std::string& appFolder);     // Fs, key FSSHOW
void ShowAssociationNotice(FileStore& files, const std::string& appFolder);  // Ff, key FFSHOW
void ShowConfigurationNotice();                                              // Fu

// Control ids a person (or a test driving the window) finds on every notice: the text of the
// button (Lk1, "我知道了"), its face (Lk0), the check box, the text labels Label0 to Label3.
enum NoticeControl { kNoticeButton = 1, kNoticeButtonFace = 2, kNoticeCheck = 1001, kNoticeLabel0 = 200 };

}  // namespace qor::forms
