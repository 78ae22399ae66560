// The declarations of the system functions that the programs import lazily, through the
// delay-load libraries of cmake/delay_imports.cmake (WinINet, the profile functions, the theme
// functions; the version functions are declared plainly by <winver.h> already). Every source
// that calls one of them includes its header through this one.
//
// The headers declare these functions dllimport, so that a call goes through the import slot
// __imp_<name>. The i686 linker never binds the slots of a delay-load library to their thunks:
// each stays 0, and the first call jumps to address 0. Declared here without dllimport, a call
// goes to the function's thunk by its plain name instead, which jumps through the slot once the
// delay-load helper has filled it, on both architectures. scripts/check-imports.sh fails an i686
// program in which such a thunk was left unbound.
#pragma once

#if defined(_WININET_) || defined(_INC_USERENV) || defined(_UXTHEME_H_)
#error "include platform/win32/lazy_imports.h instead of <wininet.h>, <userenv.h> or <uxtheme.h>"
#endif

#include <windows.h>

#pragma push_macro("DECLSPEC_IMPORT")
#undef DECLSPEC_IMPORT
#define DECLSPEC_IMPORT
#include <wininet.h>
#include <userenv.h>
#include <uxtheme.h>
#pragma pop_macro("DECLSPEC_IMPORT")
