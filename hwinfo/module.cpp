// The in-process server contract of qord.dll: class factories, unload test and the
// registration of the type library, the classes and their ProgIDs.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>

#include <string>

#include "hwinfo/automation_object.h"
#include "hwinfo/pcinf_classes.h"
#include "hwinfo/qord_interfaces.h"

namespace qor::hwinfo {
namespace {

HMODULE g_module = nullptr;
LONG g_objects = 0;
LONG g_locks = 0;
// References to the class factories held by callers: a caller holding a factory must not find
// the library unloaded under it.
LONG g_factory_references = 0;

constexpr WORD kTypeLibMajor = 1;
constexpr WORD kTypeLibMinor = 0;
constexpr LCID kTypeLibLocale = 0x0409;

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(g_module, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// One class factory per class. Factories are static; their outstanding references keep the
// library loaded like objects do.
class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(const ClassEntry& entry) : entry_(entry) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        InterlockedIncrement(&g_factory_references);
        return 2;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        InterlockedDecrement(&g_factory_references);
        return 1;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return entry_.create(riid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            InterlockedIncrement(&g_locks);
        } else {
            InterlockedDecrement(&g_locks);
        }
        return S_OK;
    }

private:
    const ClassEntry& entry_;
};

bool SetKeyValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &handle, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG status = RegSetValueExW(handle, name, 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

bool DeleteKeyTree(const std::wstring& key) {
    const LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
        // RegDeleteTreeW leaves the key itself; remove it too.
        const LONG removed = RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
        return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
    }
    return false;
}

bool RegisterServerClass(const ClassEntry& entry, const std::wstring& module_path) {
    const std::wstring clsid_key = L"CLSID\\" + GuidText(*entry.clsid);
    const std::wstring clsid_text = GuidText(*entry.clsid);
    const std::wstring prog_id = entry.prog_id;
    return SetKeyValue(clsid_key, nullptr, prog_id) &&
           SetKeyValue(clsid_key + L"\\InprocServer32", nullptr, module_path) &&
           SetKeyValue(clsid_key + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
           SetKeyValue(clsid_key + L"\\ProgID", nullptr, prog_id) &&
           SetKeyValue(clsid_key + L"\\VERSION", nullptr, L"1.0") &&
           SetKeyValue(clsid_key + L"\\TypeLib", nullptr, GuidText(LIBID_QORd)) &&
           SetKeyValue(prog_id, nullptr, prog_id) &&
           SetKeyValue(prog_id + L"\\CLSID", nullptr, clsid_text);
}

bool UnregisterServerClass(const ClassEntry& entry) {
    const bool clsid_removed = DeleteKeyTree(L"CLSID\\" + GuidText(*entry.clsid));
    const bool prog_id_removed = DeleteKeyTree(entry.prog_id);
    return clsid_removed && prog_id_removed;
}

}  // namespace

void ObjectCreated() { InterlockedIncrement(&g_objects); }
void ObjectDestroyed() { InterlockedDecrement(&g_objects); }

ITypeInfo* LoadOwnTypeInfo(REFGUID iid) {
    ITypeLib* library = nullptr;
    if (FAILED(LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, &library))) return nullptr;
    ITypeInfo* info = nullptr;
    if (FAILED(library->GetTypeInfoOfGuid(iid, &info))) info = nullptr;
    library->Release();
    return info;
}

BSTR AnsiToBstr(const std::string& bytes) {
    if (bytes.empty()) return SysAllocString(L"");
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                           nullptr, 0);
    if (length <= 0) return SysAllocString(L"");
    BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    if (!text) return nullptr;
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text, length);
    return text;
}

}  // namespace qor::hwinfo

using namespace qor::hwinfo;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    size_t count = 0;
    const ClassEntry* classes = Classes(count);
    static ClassFactory factories[] = {ClassFactory(classes[0]), ClassFactory(classes[1]),
                                       ClassFactory(classes[2])};
    for (size_t i = 0; i < count; ++i) {
        if (IsEqualCLSID(clsid, *classes[i].clsid)) return factories[i].QueryInterface(riid, object);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
    return (g_objects == 0 && g_locks == 0 && g_factory_references == 0) ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    const std::wstring path = ModulePath();
    if (path.empty()) return SELFREG_E_CLASS;
    ITypeLib* library = nullptr;
    if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, &library))) return SELFREG_E_TYPELIB;
    library->Release();
    size_t count = 0;
    const ClassEntry* classes = Classes(count);
    for (size_t i = 0; i < count; ++i) {
        if (!RegisterServerClass(classes[i], path)) return SELFREG_E_CLASS;
    }
    return S_OK;
}

STDAPI DllUnregisterServer() {
    bool removed = true;
    size_t count = 0;
    const ClassEntry* classes = Classes(count);
    for (size_t i = 0; i < count; ++i) removed = UnregisterServerClass(classes[i]) && removed;
    // Removing the type library also removes the dual interfaces' registration. One that is
    // not registered (any more) counts as removed, so that unregistering twice is no error.
    const SYSKIND kind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
    BSTR registered_path = nullptr;
    if (SUCCEEDED(QueryPathOfRegTypeLib(LIBID_QORd, kTypeLibMajor, kTypeLibMinor, kTypeLibLocale,
                                        &registered_path))) {
        SysFreeString(registered_path);
        if (FAILED(UnRegisterTypeLib(LIBID_QORd, kTypeLibMajor, kTypeLibMinor, kTypeLibLocale,
                                     kind))) {
            return SELFREG_E_TYPELIB;
        }
    }
    return removed ? S_OK : SELFREG_E_CLASS;
}
