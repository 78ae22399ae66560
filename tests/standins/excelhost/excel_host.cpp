// Test-only stand-in for the spreadsheet host: an out-of-process automation server registered
// under the ProgID "Excel.Application". Copied as excel.exe it plays the spreadsheet host; copied
// as et.exe it plays the other office suite answering in its place.
//
//   <image> /regserver     registers this image as the local server of "Excel.Application"
//   <image> /unregserver   removes that registration
//   <image> -Embedding     started by COM: serves one host object (a new process per creation)
//
// The file "excel_standin.ini" beside the image chooses what the host reports, one key=value a
// line: version (default 16.0), path (default the image's folder), pathfails=1 (reading Path
// raises an error), log (default "excel_standin.log" beside the image). Every call is appended
// to the log as one UTF-8 line: process id, kind (CREATE, GET, PUT, CALL), member, then each
// argument as name=value, separated by tabs. The server keeps running after its object is
// released, as the real host does with an open workbook, until it is ended (or after 10 minutes).
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <map>
#include <string>
#include <vector>

namespace {

// {6D3C1A52-8E3B-4F0C-9E7A-5B1D2C3E4F60}
const CLSID kClsid = {0x6d3c1a52, 0x8e3b, 0x4f0c, {0x9e, 0x7a, 0x5b, 0x1d, 0x2c, 0x3e, 0x4f, 0x60}};
const wchar_t* const kClsidText = L"{6D3C1A52-8E3B-4F0C-9E7A-5B1D2C3E4F60}";

std::wstring g_folder;
std::map<std::wstring, std::wstring> g_config;

std::wstring ImagePath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& text) {
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

void LoadConfig() {
    HANDLE h = CreateFileW((g_folder + L"\\excel_standin.ini").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
    CloseHandle(h);
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t eq = line.find('=');
        if (eq != std::string::npos) g_config[FromUtf8(line.substr(0, eq))] = FromUtf8(line.substr(eq + 1));
        start = end + 1;
    }
}

std::wstring Config(const wchar_t* key, const std::wstring& fallback) {
    auto it = g_config.find(key);
    return it == g_config.end() ? fallback : it->second;
}

void Log(const std::wstring& line) {
    std::wstring target = Config(L"log", g_folder + L"\\excel_standin.log");
    HANDLE h = CreateFileW(target.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    std::string bytes = std::to_string(GetCurrentProcessId()) + "\t" + Utf8(line) + "\r\n";
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
}

std::wstring Text(const VARIANT& value) {
    VARIANT copy;
    VariantInit(&copy);
    std::wstring text = L"<" + std::to_wstring(V_VT(&value)) + L">";
    if (SUCCEEDED(VariantChangeType(&copy, const_cast<VARIANT*>(&value), VARIANT_ALPHABOOL, VT_BSTR)))
        text.assign(V_BSTR(&copy), SysStringLen(V_BSTR(&copy)));
    VariantClear(&copy);
    return text;
}

// Member and argument names and their ids, shared by the objects.
struct Names {
    std::vector<std::wstring> names{L"version", L"Path", L"Workbooks", L"Visible", L"Open"};
    DISPID Id(const std::wstring& name) {
        for (size_t i = 0; i < names.size(); ++i)
            if (lstrcmpiW(names[i].c_str(), name.c_str()) == 0) return static_cast<DISPID>(i + 1);
        names.push_back(name);
        return static_cast<DISPID>(names.size());
    }
    std::wstring Name(DISPID id) {
        if (id == DISPID_PROPERTYPUT) return L"(value)";
        if (id >= 1 && static_cast<size_t>(id) <= names.size()) return names[id - 1];
        return L"#" + std::to_wstring(id);
    }
} g_names;

enum : DISPID { kVersion = 1, kPath = 2, kWorkbooks = 3, kVisible = 4, kOpen = 5 };

class Dispatch : public IDispatch {
public:
    explicit Dispatch(const wchar_t* prefix) : prefix_(prefix) {}
    virtual ~Dispatch() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        for (UINT i = 0; i < count; ++i) ids[i] = g_names.Id(names[i]);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* info, UINT*) override {
        std::wstring kind = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) ? L"PUT"
                           : (flags & DISPATCH_PROPERTYGET)                        ? L"GET"
                                                                                   : L"CALL";
        std::wstring line = kind + L"\t" + prefix_ + g_names.Name(member);
        // Named arguments come first in rgvarg, in the order of their ids; positional ones
        // follow, last first.
        for (UINT i = 0; params && i < params->cArgs; ++i) {
            std::wstring name = i < params->cNamedArgs ? g_names.Name(params->rgdispidNamedArgs[i])
                                                       : L"#" + std::to_wstring(params->cArgs - 1 - i);
            line += L"\t" + name + L"=" + Text(params->rgvarg[i]);
        }
        Log(line);
        if (result) VariantInit(result);
        return Answer(member, flags, params, result, info);
    }

protected:
    virtual HRESULT Answer(DISPID member, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info) = 0;

private:
    LONG refs_ = 1;
    const wchar_t* prefix_;
};

HRESULT SetText(VARIANT* result, const std::wstring& text) {
    if (!result) return S_OK;
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return S_OK;
}

class Workbooks : public Dispatch {
public:
    Workbooks() : Dispatch(L"Workbooks.") {}

protected:
    HRESULT Answer(DISPID member, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*) override {
        return member == kOpen ? S_OK : DISP_E_MEMBERNOTFOUND;
    }
};

class Application : public Dispatch {
public:
    Application() : Dispatch(L"") {}

protected:
    HRESULT Answer(DISPID member, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO* info) override {
        switch (member) {
            case kVersion:
                return SetText(result, Config(L"version", L"16.0"));
            case kPath:
                if (Config(L"pathfails", L"0") == L"1") {
                    if (info) {
                        ZeroMemory(info, sizeof *info);
                        info->wCode = 1004;
                        info->bstrSource = SysAllocString(L"Excel.Application");
                        info->bstrDescription = SysAllocString(L"Path cannot be read");
                    }
                    return DISP_E_EXCEPTION;
                }
                return SetText(result, Config(L"path", g_folder));
            case kWorkbooks:
                if (result) {
                    V_VT(result) = VT_DISPATCH;
                    V_DISPATCH(result) = new Workbooks();
                }
                return S_OK;
            case kVisible:
                if (flags & DISPATCH_PROPERTYPUT) return S_OK;
                if (result) {
                    V_VT(result) = VT_BOOL;
                    V_BOOL(result) = VARIANT_FALSE;
                }
                return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }
};

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        Log(L"CREATE\tExcel.Application");
        Application* app = new Application();
        HRESULT hr = app->QueryInterface(iid, out);
        app->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

bool SetKey(const std::wstring& key, const std::wstring& value) {
    HKEY h;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    return rc == ERROR_SUCCESS;
}

int Register() {
    const std::wstring clsidKey = std::wstring(L"CLSID\\") + kClsidText;
    bool ok = SetKey(L"Excel.Application", L"Microsoft Excel Application (stand-in)") &&
              SetKey(L"Excel.Application\\CLSID", kClsidText) && SetKey(clsidKey, L"Excel.Application") &&
              SetKey(clsidKey + L"\\ProgID", L"Excel.Application") &&
              SetKey(clsidKey + L"\\LocalServer32", L"\"" + ImagePath() + L"\"");
    return ok ? 0 : 1;
}

int Unregister() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Excel.Application");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kClsidText).c_str());
    return 0;
}

// True while the class is registered to this very program: a copy that COM started for a test
// that has since ended (and unregistered it) must not offer its object to the next test.
bool RegisteredToThisProgram() {
    wchar_t value[MAX_PATH * 2] = {};
    LONG size = sizeof value;
    const std::wstring key = std::wstring(L"CLSID\\") + kClsidText + L"\\LocalServer32";
    if (RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), value, &size) != ERROR_SUCCESS) return false;
    return lstrcmpiW(value, (L"\"" + ImagePath() + L"\"").c_str()) == 0;
}

int Serve() {
    // The test ends its hosts through this event, so that each one revokes its class object. A
    // host ended without revoking leaves its registration with Wine's service, which hands it to
    // the next creation of the class: that creation fails.
    const std::wstring quitName = Config(L"quit", L"");
    HANDLE quit = quitName.empty() ? nullptr : CreateEventW(nullptr, TRUE, FALSE, quitName.c_str());
    if (!RegisteredToThisProgram()) return 1;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    static Factory factory;
    DWORD cookie = 0;
    // One object per process, as the real host: every creation starts a new process.
    if (FAILED(CoRegisterClassObject(kClsid, &factory, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE, &cookie))) return 1;
    Log(L"SERVING\tExcel.Application");
    const DWORD until = GetTickCount() + 10 * 60 * 1000;
    for (bool serving = true; serving;) {
        const LONG left = static_cast<LONG>(until - GetTickCount());
        if (left <= 0) break;
        DWORD woke = MsgWaitForMultipleObjects(quit ? 1 : 0, &quit, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
        if (woke != WAIT_OBJECT_0 + (quit ? 1 : 0)) break;  // the quit event, the time, or a failure
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) serving = false;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    CoRevokeClassObject(cookie);
    CoUninitialize();
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    std::wstring path = ImagePath();
    g_folder = path.substr(0, path.find_last_of(L'\\'));
    LoadConfig();
    std::wstring args = commandLine ? commandLine : L"";
    if (args.find(L"/unregserver") != std::wstring::npos) return Unregister();
    if (args.find(L"/regserver") != std::wstring::npos) return Register();
    return Serve();
}
