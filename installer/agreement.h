// The licence agreement shown on the wizard's first page.
#pragma once

#include <string>

namespace qor::installer {

// Title line, an empty line and sections 一 to 四: the first and the second a heading line with
// one paragraph or the clauses （1） to （7）, the third and the fourth one paragraph each. No
// author or contact lines follow. Lines joined with CR LF.
std::string AgreementText();

}  // namespace qor::installer
