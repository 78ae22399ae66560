// The licence agreement shown on the wizard's first page.
#pragma once

#include <string>

namespace qor::installer {

// Title line, an empty line, sections 一 to 四 (the second with clauses （1） to （7）), an
// empty line and the two closing lines; lines joined with CR LF.
std::string AgreementText();

}  // namespace qor::installer
