// Window classes of the programs' plain Win32 forms.
#pragma once

#include <windows.h>

namespace qor::win32 {

// Registers a window class of this program once (the same name again is a no-op): the arrow
// cursor, the application icon, and `background` (the window colour when null).
void RegisterFormClass(const wchar_t* name, WNDPROC proc, HBRUSH background = nullptr);

}  // namespace qor::win32
