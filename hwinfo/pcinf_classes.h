// The three creatable classes of qord.dll.
#pragma once

#include <windows.h>

namespace qor::hwinfo {

struct ClassEntry {
    const CLSID* clsid;
    const wchar_t* prog_id;
    // Creates an object and asks it for `iid`.
    HRESULT (*create)(REFIID iid, void** object);
};

// PCINF1, PCINF2, PCINF3, in that order.
const ClassEntry* Classes(size_t& count);

}  // namespace qor::hwinfo
