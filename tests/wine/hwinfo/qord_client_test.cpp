// qord.dll as the launcher meets it: registered by regsvr32, created by ProgID and called late
// bound through IDispatch, on a real COM runtime. Drives cannot be opened for SMART here, so
// the SMART classes answer with their failure results and DiskID32.dll is the test stand-in.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hwinfo/qord_interfaces.h"
#include "platform/win32/scoped.h"
#include "tests/wine/wine_test_support.h"

namespace {

// One owned interface pointer, so that a failed assertion releases it too.
template <class Interface>
using Ref = qor::win32::ComPtr<Interface>;

// Build-tree paths arrive as Unix paths; Wine shows them on drive Z:.
std::wstring WinePath(const char* unix_path) {
    std::wstring path = L"Z:";
    for (const char* p = unix_path; *p; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return path;
}

// The qord.dll the tests register: a copy with the stand-in DiskID32.dll beside it, or the built
// one, which has none beside it.
std::wstring& DllPath() {
    static std::wstring path;
    return path;
}

std::wstring BesideDllPath() { return WinePath(QORD_BESIDE_DIR_UNIX) + L"\\qord.dll"; }

const std::wstring& LoneDllPath() {
    static const std::wstring path = WinePath(QORD_DLL_UNIX);
    return path;
}

DWORD RunRegsvr32(const std::wstring& options) {
    std::wstring command = L"regsvr32.exe " + options + L" \"" + DllPath() + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return 0xFFFFFFFF;
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

std::wstring ReadDefaultValue(const std::wstring& key) {
    wchar_t value[1024] = {};
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS) {
        return L"<missing>";
    }
    return value;
}

bool KeyExists(const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(handle);
    return true;
}

bool MachineKeyExists(const std::wstring& key, REGSAM view) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; text && *text; ++text) out += static_cast<char>(*text < 128 ? *text : '?');
    return out;
}

// One late-bound call: the member by name, arguments in caller order.
struct Call {
    HRESULT hr = E_FAIL;
    VARIANT result;
    EXCEPINFO exception = {};

    Call() { VariantInit(&result); }
    ~Call() {
        VariantClear(&result);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
    std::string Text() const {
        if (V_VT(&result) != VT_BSTR) return "<not text>";
        return Narrow(V_BSTR(&result));
    }
    std::string Description() const { return Narrow(exception.bstrDescription); }
};

void Invoke(const Ref<IDispatch>& object, const wchar_t* name, WORD flags, std::vector<VARIANT> args,
            Call& call) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    call.hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(call.hr)) return;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());  // DISPPARAMS hold them last first
    DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr,
                         static_cast<UINT>(reversed.size()), 0};
    DISPID put = DISPID_PROPERTYPUT;
    if (flags == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    UINT arg_error = 0;
    call.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                             flags == DISPATCH_PROPERTYPUT ? nullptr : &call.result,
                             &call.exception, &arg_error);
}

VARIANT Long(LONG value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

VARIANT Missing() {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_ERROR;
    V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
    return v;
}

Ref<IDispatch> CreateByProgId(const wchar_t* prog_id) {
    Ref<IDispatch> object;
    CLSID clsid;
    if (SUCCEEDED(CLSIDFromProgID(prog_id, &clsid))) {
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.OutVoid());
    }
    return object;
}

// Whether the physical drive can be opened as the SMART classes open it. Under Wine a drive
// backed by a readable disk opens (its SMART calls then fail); the others do not exist.
bool DriveOpens(int drive) {
    const std::wstring path = L"\\\\.\\PhysicalDrive" + std::to_wstring(drive);
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    CloseHandle(handle);
    return true;
}

// A numbered error as automation clients receive it: the number in the control facility.
HRESULT ControlError(int number) { return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number); }

HRESULT CanUnloadNow() {
    HMODULE module = GetModuleHandleW(DllPath().c_str());
    if (!module) return S_OK;  // not loaded at all
    auto can_unload =
        reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(
            GetProcAddress(module, "DllCanUnloadNow")));
    return can_unload ? can_unload() : E_FAIL;
}

void SetStandIn(const char* result, const char* text) {
    SetEnvironmentVariableA("QOR_DISKID32_RESULT", result);
    SetEnvironmentVariableA("QOR_DISKID32_TEXT", text);
}

class QordClient : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        DllPath() = BesideDllPath();
        ASSERT_EQ(RunRegsvr32(L"/s"), 0u) << "regsvr32 /s failed";
        SetStandIn("1", "  STANDIN-ID");
    }
    void TearDown() override { CoUninitialize(); }

    // Registers the built qord.dll, which has no DiskID32.dll beside it, in place of the copy.
    void RegisterLoneLibrary() {
        DllPath() = LoneDllPath();
        ASSERT_EQ(RunRegsvr32(L"/s"), 0u) << "regsvr32 /s failed";
    }
};

std::wstring SystemDiskId32Path() {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return L"";
    return std::wstring(folder) + L"\\DiskID32.dll";
}

bool SystemFolderHoldsDiskId32() {
    return GetFileAttributesW(SystemDiskId32Path().c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The stand-in's log of which copy ran: one full path per call (see the stand-in).
class LoadLog {
public:
    LoadLog() {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"qord-diskid32-" + std::to_wstring(GetCurrentProcessId()) +
                L".log";
        DeleteFileW(path_.c_str());
        SetEnvironmentVariableW(L"QOR_DISKID32_LOG", path_.c_str());
    }
    ~LoadLog() {
        SetEnvironmentVariableW(L"QOR_DISKID32_LOG", nullptr);
        DeleteFileW(path_.c_str());
    }
    // The paths logged so far, lower case.
    std::vector<std::string> Paths() const {
        std::vector<std::string> paths;
        HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return paths;
        std::string text(65536, '\0');
        DWORD read = 0;
        ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr);
        CloseHandle(file);
        text.resize(read);
        size_t start = 0;
        for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
            std::string line = text.substr(start, end - start);
            for (char& c : line) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
            paths.push_back(line);
        }
        return paths;
    }

private:
    std::wstring path_;
};

std::string Lower(const std::wstring& text) {
    std::string out = Narrow(text.c_str());
    for (char& c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return out;
}

// Plants the stand-in DiskID32.dll everywhere the normal search order looks except the
// system folder: the current folder, PATH and the DLL directory. Undone on destruction.
class PlantedLibrary {
public:
    PlantedLibrary() : folder_(WinePath(DISKID32_DIR_UNIX)) {
        wchar_t current[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, current);
        old_current_ = current;
        std::vector<wchar_t> path(32768);
        const DWORD length = GetEnvironmentVariableW(L"PATH", path.data(), 32768);
        old_path_.assign(path.data(), length < 32768 ? length : 0);
        SetCurrentDirectoryW(folder_.c_str());
        SetEnvironmentVariableW(L"PATH", (folder_ + L";" + old_path_).c_str());
        SetDllDirectoryW(folder_.c_str());
    }
    ~PlantedLibrary() {
        SetDllDirectoryW(nullptr);
        SetEnvironmentVariableW(L"PATH", old_path_.c_str());
        SetCurrentDirectoryW(old_current_.c_str());
    }
    // Whether a plain load by name in this process finds the planted library.
    bool FoundByName() const {
        HMODULE found = LoadLibraryW(L"DiskID32.dll");
        if (!found) return false;
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(found, path, MAX_PATH);
        FreeLibrary(found);
        const std::wstring loaded = path;
        return loaded.size() > folder_.size() &&
               lstrcmpiW(loaded.substr(0, folder_.size()).c_str(), folder_.c_str()) == 0;
    }

private:
    std::wstring folder_;
    std::wstring old_current_;
    std::wstring old_path_;
};

TEST_F(QordClient, Regsvr32RegistersAndUnregistersTheClassesAndTypeLibrary) {
    const wchar_t* prog_ids[] = {L"QORd.PCINF1", L"QORd.PCINF2", L"QORd.PCINF3"};
    const GUID* clsids[] = {&CLSID_PCINF1, &CLSID_PCINF2, &CLSID_PCINF3};
    const std::wstring typelib_key = L"TypeLib\\" + GuidText(LIBID_QORd) + L"\\1.0";
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(Narrow(prog_ids[i]));
        CLSID clsid;
        ASSERT_EQ(CLSIDFromProgID(prog_ids[i], &clsid), S_OK);
        EXPECT_TRUE(IsEqualCLSID(clsid, *clsids[i]));
        const std::wstring key = L"CLSID\\" + GuidText(clsid) + L"\\InprocServer32";
        EXPECT_EQ(lstrcmpiW(ReadDefaultValue(key).c_str(), DllPath().c_str()), 0)
            << Narrow(ReadDefaultValue(key).c_str());
    }
    EXPECT_TRUE(KeyExists(typelib_key));
    EXPECT_TRUE(KeyExists(L"Interface\\" + GuidText(IID__PCINF1)));
    // The classes land in the registry view of the library's bitness, where clients of that
    // bitness look: the i686 library in the 32-bit view (Wow6432Node), as 32-bit Office needs it.
    const REGSAM own = sizeof(void*) == 4 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    const REGSAM other = sizeof(void*) == 4 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    const std::wstring machineKey = L"Software\\Classes\\CLSID\\" + GuidText(CLSID_PCINF1) + L"\\InprocServer32";
    EXPECT_TRUE(MachineKeyExists(machineKey, own));
    EXPECT_FALSE(MachineKeyExists(machineKey, other));

    ASSERT_EQ(RunRegsvr32(L"/u /s"), 0u);
    for (int i = 0; i < 3; ++i) {
        CLSID clsid;
        EXPECT_NE(CLSIDFromProgID(prog_ids[i], &clsid), S_OK);
        EXPECT_FALSE(KeyExists(prog_ids[i]));
        EXPECT_FALSE(KeyExists(L"CLSID\\" + GuidText(*clsids[i])));
    }
    EXPECT_FALSE(KeyExists(typelib_key));
    EXPECT_FALSE(KeyExists(L"Interface\\" + GuidText(IID__PCINF1)));
    EXPECT_EQ(CreateByProgId(L"QORd.PCINF1").get(), nullptr);

    // Unregistering twice is no error; registering again restores everything.
    EXPECT_EQ(RunRegsvr32(L"/u /s"), 0u);
    ASSERT_EQ(RunRegsvr32(L"/s"), 0u);
    EXPECT_TRUE(KeyExists(typelib_key));
}

// What late-bound callers and object browsers read from the registered type library.
TEST_F(QordClient, TypeLibraryDescribesTheClassesAndTheirDualInterfaces) {
    Ref<ITypeLib> library;
    ASSERT_EQ(LoadRegTypeLib(LIBID_QORd, 1, 0, 0x0409, reinterpret_cast<ITypeLib**>(library.Out())),
              S_OK);
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_EQ(attributes->lcid, 0x0409u);
    library->ReleaseTLibAttr(attributes);
    BSTR name = nullptr;
    library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
    EXPECT_EQ(Narrow(name), "QORd");
    SysFreeString(name);

    auto info_of = [&](REFGUID guid, TYPEKIND kind, WORD flags) {
        SCOPED_TRACE(Narrow(GuidText(guid).c_str()));
        Ref<ITypeInfo> info;
        ASSERT_EQ(library->GetTypeInfoOfGuid(guid, reinterpret_cast<ITypeInfo**>(info.Out())), S_OK);
        TYPEATTR* type = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&type), S_OK);
        EXPECT_EQ(type->typekind, kind);
        EXPECT_EQ(type->wTypeFlags & flags, flags);
        info->ReleaseTypeAttr(type);
    };
    for (const GUID* iid : {&IID__PCINF1, &IID__PCINF2, &IID__PCINF3}) {
        info_of(*iid, TKIND_DISPATCH, TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN);
    }
    for (const GUID* clsid : {&CLSID_PCINF1, &CLSID_PCINF2, &CLSID_PCINF3}) {
        info_of(*clsid, TKIND_COCLASS, TYPEFLAG_FCANCREATE);
    }
}

// The enumerations by name and value, in declaration order, as object browsers list them.
TEST_F(QordClient, TypeLibraryDeclaresTheTwoEnumerations) {
    Ref<ITypeLib> library;
    ASSERT_EQ(LoadRegTypeLib(LIBID_QORd, 1, 0, 0x0409, reinterpret_cast<ITypeLib**>(library.Out())),
              S_OK);
    std::vector<std::string> found;
    for (UINT index = 0; index < library->GetTypeInfoCount(); ++index) {
        TYPEKIND kind;
        ASSERT_EQ(library->GetTypeInfoType(index, &kind), S_OK);
        if (kind != TKIND_ENUM) continue;
        Ref<ITypeInfo> info;
        ASSERT_EQ(library->GetTypeInfo(index, reinterpret_cast<ITypeInfo**>(info.Out())), S_OK);
        BSTR name = nullptr;
        info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        std::string text = Narrow(name) + ":";
        SysFreeString(name);
        TYPEATTR* type = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&type), S_OK);
        const WORD members = type->cVars;
        info->ReleaseTypeAttr(type);
        for (WORD member = 0; member < members; ++member) {
            VARDESC* var = nullptr;
            ASSERT_EQ(info->GetVarDesc(member, &var), S_OK);
            EXPECT_EQ(var->varkind, VAR_CONST);
            BSTR member_name = nullptr;
            info->GetDocumentation(var->memid, &member_name, nullptr, nullptr, nullptr);
            VARIANT value;
            VariantInit(&value);
            VariantChangeType(&value, var->lpvarValue, 0, VT_I4);
            text += " " + Narrow(member_name) + "=" + std::to_string(V_I4(&value));
            SysFreeString(member_name);
            info->ReleaseVarDesc(var);
        }
        found.push_back(text);
    }
    EXPECT_EQ(found, (std::vector<std::string>{
                         "eumDiskNo: hdPrimaryMaster=0 hdPrimarySlave=1 hdSecondaryMaster=2 "
                         "hdSecondarySlave=3",
                         "eumInfoType: hdmodelsn=0 hdOnlyModel=1 hdOnlySN=2"}));
}

// What a late-bound caller gets when it leaves GetHdID2's arguments out: the type library's
// defaults, drive hdPrimaryMaster and type hdOnlySN, each typed with its enumeration.
TEST_F(QordClient, TypeLibraryGivesGetHdID2ItsOptionalArgumentsAndDefaults) {
    Ref<IDispatch> object = CreateByProgId(L"QORd.PCINF2");
    ASSERT_NE(object.get(), nullptr);
    Ref<ITypeInfo> info;
    ASSERT_EQ(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, reinterpret_cast<ITypeInfo**>(info.Out())),
              S_OK);
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetHdID2"), const_cast<LPOLESTR>(L"numDisk"),
                        const_cast<LPOLESTR>(L"numType")};
    DISPID ids[3] = {};
    ASSERT_EQ(object->GetIDsOfNames(IID_NULL, names, 3, LOCALE_USER_DEFAULT, ids), S_OK);
    EXPECT_EQ(ids[1], 0) << "numDisk is the first argument";
    EXPECT_EQ(ids[2], 1) << "numType is the second argument";

    TYPEATTR* type = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&type), S_OK);
    const WORD functions = type->cFuncs;
    info->ReleaseTypeAttr(type);
    bool seen = false;
    for (WORD index = 0; index < functions; ++index) {
        FUNCDESC* function = nullptr;
        ASSERT_EQ(info->GetFuncDesc(index, &function), S_OK);
        if (function->memid != ids[0]) {
            info->ReleaseFuncDesc(function);
            continue;
        }
        seen = true;
        EXPECT_EQ(function->invkind, INVOKE_FUNC);
        ASSERT_EQ(function->cParams, 2);
        EXPECT_EQ(function->cParamsOpt, 0) << "optional through defaults, not as variants";
        const char* enums[] = {"eumDiskNo", "eumInfoType"};
        const LONG defaults[] = {0, 2};
        for (int param = 0; param < 2; ++param) {
            SCOPED_TRACE(enums[param]);
            const ELEMDESC& element = function->lprgelemdescParam[param];
            const USHORT flags = element.paramdesc.wParamFlags;
            EXPECT_TRUE(flags & PARAMFLAG_FIN);
            EXPECT_TRUE(flags & PARAMFLAG_FOPT);
            ASSERT_TRUE(flags & PARAMFLAG_FHASDEFAULT);
            ASSERT_NE(element.paramdesc.pparamdescex, nullptr);
            VARIANT value;
            VariantInit(&value);
            ASSERT_EQ(VariantChangeType(&value, &element.paramdesc.pparamdescex->varDefaultValue,
                                        0, VT_I4),
                      S_OK);
            EXPECT_EQ(V_I4(&value), defaults[param]);
            ASSERT_EQ(element.tdesc.vt, VT_USERDEFINED);
            Ref<ITypeInfo> referenced;
            ASSERT_EQ(info->GetRefTypeInfo(element.tdesc.hreftype,
                                           reinterpret_cast<ITypeInfo**>(referenced.Out())),
                      S_OK);
            BSTR name = nullptr;
            referenced->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
            EXPECT_EQ(Narrow(name), enums[param]);
            SysFreeString(name);
        }
        info->ReleaseFuncDesc(function);
    }
    EXPECT_TRUE(seen);

    // Leaving out only the first argument, by naming the second, is accepted too.
    VARIANT type_only = Long(1);
    DISPID named = ids[2];
    DISPPARAMS params = {&type_only, &named, 1, 1};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(object->Invoke(ids[0], IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                             &result, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(V_VT(&result), VT_BSTR);
    VariantClear(&result);
}

TEST_F(QordClient, Pcinf1PropertiesAndTheIllegalDriveNumberError) {
    Ref<IDispatch> object = CreateByProgId(L"QORd.PCINF1");
    ASSERT_NE(object.get(), nullptr);
    {
        Call call;
        Invoke(object, L"CurrentDrive", DISPATCH_PROPERTYGET, {}, call);
        ASSERT_EQ(call.hr, S_OK);
        EXPECT_EQ(V_VT(&call.result), VT_UI1);
        EXPECT_EQ(V_UI1(&call.result), 0);
    }
    {
        Call call;
        Invoke(object, L"Platform", DISPATCH_PROPERTYGET, {}, call);
        ASSERT_EQ(call.hr, S_OK);
        EXPECT_EQ(call.Text(), "WNT");
    }
    {
        Call call;
        Invoke(object, L"CurrentDrive", DISPATCH_PROPERTYPUT, {Long(2)}, call);
        EXPECT_EQ(call.hr, S_OK);
    }
    for (LONG illegal : {4, 255}) {
        SCOPED_TRACE(illegal);
        Call call;
        Invoke(object, L"CurrentDrive", DISPATCH_PROPERTYPUT, {Long(illegal)}, call);
        ASSERT_EQ(call.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(call.exception.wCode, 0);
        EXPECT_EQ(call.exception.scode, ControlError(10000));
        EXPECT_EQ(call.Description(), "Illegal Drive Number");
        EXPECT_EQ(Narrow(call.exception.bstrSource), "QORd.PCINF1");
    }
    {
        Call call;
        Invoke(object, L"CurrentDrive", DISPATCH_PROPERTYGET, {}, call);
        EXPECT_EQ(V_UI1(&call.result), 2) << "the old value is kept";
    }
}

TEST_F(QordClient, Pcinf1GetHdID1RaisesErrorOnCreateFileForDrivesThatDoNotOpen) {
    Ref<IDispatch> object = CreateByProgId(L"QORd.PCINF1");
    ASSERT_NE(object.get(), nullptr);
    int unopened = 0;
    for (LONG drive = 0; drive <= 3; ++drive) {
        SCOPED_TRACE(drive);
        Call put;
        Invoke(object, L"CurrentDrive", DISPATCH_PROPERTYPUT, {Long(drive)}, put);
        ASSERT_EQ(put.hr, S_OK);
        Call call;
        Invoke(object, L"GetHdID1", DISPATCH_METHOD, {}, call);
        if (DriveOpens(drive)) {
            EXPECT_EQ(call.hr, S_OK);
            EXPECT_EQ(V_VT(&call.result), VT_BSTR);
        } else {
            ++unopened;
            ASSERT_EQ(call.hr, DISP_E_EXCEPTION);
            EXPECT_EQ(call.exception.wCode, 0);
            EXPECT_EQ(call.exception.scode, ControlError(10003));
            EXPECT_EQ(call.Description(), "Error on CreateFile");
            EXPECT_EQ(Narrow(call.exception.bstrSource), "QORd.PCINF1");
        }
    }
    if (unopened == 0) GTEST_SKIP() << "all four physical drives open in this prefix";
}

TEST_F(QordClient, VtableCallersSeeTheErrorThroughHresultAndErrorInfo) {
    Ref<_PCINF1> object;
    ASSERT_EQ(CoCreateInstance(CLSID_PCINF1, nullptr, CLSCTX_INPROC_SERVER, IID__PCINF1,
                               object.OutVoid()),
              S_OK);
    EXPECT_EQ(object->put_CurrentDrive(4), ControlError(10000));
    Ref<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, reinterpret_cast<IErrorInfo**>(info.Out())), S_OK);
    BSTR description = nullptr;
    info->GetDescription(&description);
    EXPECT_EQ(Narrow(description), "Illegal Drive Number");
    SysFreeString(description);

    Ref<ISupportErrorInfo> support;
    ASSERT_EQ(object->QueryInterface(IID_ISupportErrorInfo, support.OutVoid()), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__PCINF1), S_OK);
}

// The order of the launcher's machine marker: GetHdID1, GetHdID2, GetHdID3, each on a new
// object, no arguments, drive 0. Drive 0 may open under Wine (then its SMART calls fail and
// the text is empty) or not (then error 10003).
TEST_F(QordClient, LauncherOrderGivesEachClassItsAnswerOrError) {
    SetStandIn("1", "  WINE-ID 77\\0");
    {
        Ref<IDispatch> object = CreateByProgId(L"QORd.PCINF1");
        ASSERT_NE(object.get(), nullptr);
        Call call;
        Invoke(object, L"GetHdID1", DISPATCH_METHOD, {}, call);
        if (DriveOpens(0)) {
            ASSERT_EQ(call.hr, S_OK);
            EXPECT_EQ(call.Text(), "") << "Wine answers no SMART request";
        } else {
            ASSERT_EQ(call.hr, DISP_E_EXCEPTION);
            EXPECT_EQ(call.exception.scode, ControlError(10003));
            EXPECT_EQ(call.Description(), "Error on CreateFile");
        }
    }
    {
        Ref<IDispatch> object = CreateByProgId(L"QORd.PCINF2");
        ASSERT_NE(object.get(), nullptr);
        Call call;
        Invoke(object, L"GetHdID2", DISPATCH_METHOD, {}, call);
        ASSERT_EQ(call.hr, S_OK);
        EXPECT_EQ(call.Text(), "");
    }
    {
        Ref<IDispatch> object = CreateByProgId(L"QORd.PCINF3");
        ASSERT_NE(object.get(), nullptr);
        Call call;
        Invoke(object, L"GetHdID3", DISPATCH_METHOD, {}, call);
        ASSERT_EQ(call.hr, S_OK);
        EXPECT_EQ(call.Text(), "WINE-ID 77");
    }
    EXPECT_EQ(CanUnloadNow(), S_OK);
}

TEST_F(QordClient, Pcinf2ArgumentsDefaultsAndOverflow) {
    Ref<IDispatch> object = CreateByProgId(L"QORd.PCINF2");
    ASSERT_NE(object.get(), nullptr);
    {
        Call call;
        Invoke(object, L"GetDiskInfo", DISPATCH_METHOD, {Long(0)}, call);
        ASSERT_EQ(call.hr, S_OK);
        EXPECT_EQ(V_VT(&call.result), VT_I4);
        EXPECT_EQ(V_I4(&call.result), DriveOpens(0) ? 0 : -1);
    }
    {
        SCOPED_TRACE("both arguments given, or passed as missing");
        for (auto args : {std::vector<VARIANT>{Long(1), Long(1)},
                          std::vector<VARIANT>{Missing(), Missing()},
                          std::vector<VARIANT>{Long(4)}}) {
            Call call;
            Invoke(object, L"GetHdID2", DISPATCH_METHOD, args, call);
            ASSERT_EQ(call.hr, S_OK);
            EXPECT_EQ(call.Text(), "");
        }
    }
    {
        SCOPED_TRACE("a drive number that does not fit into a byte");
        for (LONG disk : {256, -1}) {
            Call call;
            Invoke(object, L"GetHdID2", DISPATCH_METHOD, {Long(disk)}, call);
            EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
            EXPECT_EQ(call.exception.scode, DISP_E_OVERFLOW);
        }
        Call call;
        Invoke(object, L"GetDiskInfo", DISPATCH_METHOD, {Long(300)}, call);
        EXPECT_TRUE(FAILED(call.hr));
    }
}

TEST_F(QordClient, Pcinf3AnswersFromTheStandIn) {
    Ref<IDispatch> object = CreateByProgId(L"QORd.PCINF3");
    ASSERT_NE(object.get(), nullptr);
    struct Case {
        const char* result;
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"1", "  TEXT\\0", "TEXT"},
        {"0", "  WRITTEN ANYWAY", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SetStandIn(c.result, c.text);
        Call call;
        Invoke(object, L"gethdid3", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, call);
        ASSERT_EQ(call.hr, S_OK);
        EXPECT_EQ(call.Text(), c.expected);
    }
}

TEST_F(QordClient, Pcinf3WithoutTheLibraryRaisesAnError) {
    if (SystemFolderHoldsDiskId32()) GTEST_SKIP() << "a DiskID32.dll is installed in this prefix";
    RegisterLoneLibrary();
    Ref<IDispatch> object = CreateByProgId(L"QORd.PCINF3");
    ASSERT_NE(object.get(), nullptr);
    Call call;
    Invoke(object, L"GetHdID3", DISPATCH_METHOD, {}, call);
    EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call.exception.scode, HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    EXPECT_FALSE(call.Description().empty());
}

// A DiskID32.dll in the current folder, on PATH or in the DLL directory of the calling program
// is never run; only the one beside qord.dll (or in the system folder) is.
TEST_F(QordClient, Pcinf3NeverLoadsAPlantedLibrary) {
    if (SystemFolderHoldsDiskId32()) GTEST_SKIP() << "a DiskID32.dll is installed in this prefix";
    RegisterLoneLibrary();
    PlantedLibrary planted;
    ASSERT_TRUE(planted.FoundByName()) << "the plain search order would find the planted copy";
    SetStandIn("1", "  PLANTED");
    LoadLog log;

    Ref<IDispatch> object = CreateByProgId(L"QORd.PCINF3");
    ASSERT_NE(object.get(), nullptr);
    Call call;
    Invoke(object, L"GetHdID3", DISPATCH_METHOD, {}, call);
    EXPECT_EQ(call.hr, DISP_E_EXCEPTION) << "answered " << call.Text();
    EXPECT_EQ(call.exception.scode, HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(GetModuleHandleW(L"DiskID32.dll"), nullptr);
    EXPECT_TRUE(log.Paths().empty()) << "the planted copy ran";
}

TEST_F(QordClient, Pcinf3LoadsTheLibraryBesideItselfWhateverTheCurrentFolder) {
    if (SystemFolderHoldsDiskId32()) GTEST_SKIP() << "a DiskID32.dll is installed in this prefix";
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    SetCurrentDirectoryW(temp);
    SetStandIn("1", "  BESIDE\\0");
    LoadLog log;
    Ref<IDispatch> object = CreateByProgId(L"QORd.PCINF3");
    ASSERT_NE(object.get(), nullptr);
    Call call;
    Invoke(object, L"GetHdID3", DISPATCH_METHOD, {}, call);
    ASSERT_EQ(call.hr, S_OK) << call.Description();
    EXPECT_EQ(call.Text(), "BESIDE");
    EXPECT_EQ(GetModuleHandleW(L"DiskID32.dll"), nullptr) << "released after the call";
    EXPECT_EQ(log.Paths(), (std::vector<std::string>{
                               Lower(WinePath(QORD_BESIDE_DIR_UNIX) + L"\\DiskID32.dll")}));
}

// The copy the launcher puts into the system folder is preferred to the one beside qord.dll;
// once it is gone, the one beside is used again.
TEST_F(QordClient, Pcinf3PrefersTheSystemFolderCopy) {
    if (SystemFolderHoldsDiskId32()) GTEST_SKIP() << "a DiskID32.dll is installed in this prefix";
    const std::wstring system_copy = SystemDiskId32Path();
    ASSERT_TRUE(CopyFileW((WinePath(DISKID32_DIR_UNIX) + L"\\DiskID32.dll").c_str(),
                          system_copy.c_str(), TRUE));
    struct Remove {
        std::wstring path;
        ~Remove() { DeleteFileW(path.c_str()); }
    } remove{system_copy};
    LoadLog log;
    for (int round = 0; round < 2; ++round) {
        if (round == 1) ASSERT_TRUE(DeleteFileW(system_copy.c_str()));
        Ref<IDispatch> object = CreateByProgId(L"QORd.PCINF3");
        ASSERT_NE(object.get(), nullptr);
        Call call;
        Invoke(object, L"GetHdID3", DISPATCH_METHOD, {}, call);
        ASSERT_EQ(call.hr, S_OK) << call.Description();
        EXPECT_EQ(call.Text(), "STANDIN-ID");
    }
    EXPECT_EQ(log.Paths(), (std::vector<std::string>{
                               Lower(system_copy),
                               Lower(WinePath(QORD_BESIDE_DIR_UNIX) + L"\\DiskID32.dll")}));
}

TEST_F(QordClient, CanUnloadOnlyWhenNoObjectAndNoLockIsAlive) {
    {
        Ref<IDispatch> objects[3] = {CreateByProgId(L"QORd.PCINF1"),
                                     CreateByProgId(L"QORd.PCINF2"),
                                     CreateByProgId(L"QORd.PCINF3")};
        for (const auto& object : objects) ASSERT_NE(object.get(), nullptr);
        {
            // Type information is handed out and released without keeping anything alive.
            Ref<ITypeInfo> info;
            ASSERT_EQ(objects[0]->GetTypeInfo(0, LOCALE_USER_DEFAULT,
                                              reinterpret_cast<ITypeInfo**>(info.Out())),
                      S_OK);
            BSTR name = nullptr;
            info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
            EXPECT_EQ(Narrow(name), "_PCINF1");
            SysFreeString(name);
        }
        for (auto& object : objects) {
            EXPECT_EQ(CanUnloadNow(), S_FALSE);
            object.Reset();
        }
    }
    EXPECT_EQ(CanUnloadNow(), S_OK);

    Ref<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_PCINF2, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               factory.OutVoid()),
              S_OK);
    EXPECT_EQ(CanUnloadNow(), S_FALSE) << "a caller holds a class factory";
    factory->LockServer(TRUE);
    factory.Reset();
    EXPECT_EQ(CanUnloadNow(), S_FALSE) << "the server is locked";
    ASSERT_EQ(CoGetClassObject(CLSID_PCINF2, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               factory.OutVoid()),
              S_OK);
    factory->LockServer(FALSE);
    factory.Reset();
    EXPECT_EQ(CanUnloadNow(), S_OK);
}

// What a script reads, run by the runtime's own script host (cscript) on a file the test writes;
// its output goes to a file. The script inherits this process's environment.
std::string RunScript(const std::string& script) {
    qor::test::ScratchFolder folder("qord-script");
    const std::string source = folder / "client.vbs", output = folder / "output.txt";
    if (!qor::test::WriteBytes(source, script)) return "<not written>";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    qor::win32::KernelHandle out(CreateFileW(qor::win32::Wide(output).c_str(), GENERIC_WRITE,
                                             FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(system) + L"\\cscript.exe\" //Nologo \"" +
                           qor::win32::Wide(source) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out.get();
    PROCESS_INFORMATION process = {};
    if (!out.valid() || !CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                        nullptr, nullptr, &startup, &process)) {
        return "<not started>";
    }
    qor::win32::KernelHandle thread(process.hThread), handle(process.hProcess);
    if (WaitForSingleObject(handle.get(), 60000) != WAIT_OBJECT_0) TerminateProcess(handle.get(), 1);
    out.Reset();
    return qor::test::ReadBytes(output);
}

// A late-bound script client: Err.Number is the library's own number (the control-facility
// form maps back to it), Err.Description and Err.Source its texts; the good path answers. The
// script host comes from this build's system folder: in the i686 build on 64-bit Windows that is
// SysWOW64's 32-bit cscript.exe, a 32-bit automation client of the 32-bit library.
TEST_F(QordClient, ScriptClientReadsTheErrorNumbersAndTheAnswers) {
    int unopened = 1;
    while (unopened <= 3 && DriveOpens(unopened)) ++unopened;
    if (unopened > 3) GTEST_SKIP() << "all physical drives open in this prefix";
    const std::string show = "WScript.Echo Err.Number & \"|\" & Err.Source & \"|\" & Err.Description\r\nErr.Clear\r\n";
    const std::string script =
        "On Error Resume Next\r\n"
        "Set a = CreateObject(\"QORd.PCINF1\")\r\n"
        "WScript.Echo a.Platform\r\n"
        "a.CurrentDrive = 4\r\n" + show +
        "WScript.Echo a.CurrentDrive\r\n"
        "a.CurrentDrive = " + std::to_string(unopened) + "\r\n"
        "x = a.GetHdID1()\r\n" + show +
        "WScript.Echo CreateObject(\"QORd.PCINF3\").GetHdID3()\r\n" + show;
    EXPECT_EQ(RunScript(script),
              "WNT\r\n"
              "10000|QORd.PCINF1|Illegal Drive Number\r\n"
              "0\r\n"
              "10003|QORd.PCINF1|Error on CreateFile\r\n"
              "STANDIN-ID\r\n"
              "0||\r\n");

    // A test build reads the field this variable names: selector 3 is no field.
    SetEnvironmentVariableW(L"QOR_TEST_IDENTIFY_FIELD", L"3");
    const std::string illegal = RunScript("On Error Resume Next\r\n"
                                          "x = CreateObject(\"QORd.PCINF1\").GetHdID1()\r\n" + show);
    SetEnvironmentVariableW(L"QOR_TEST_IDENTIFY_FIELD", nullptr);
    EXPECT_EQ(illegal, "10001|QORd.PCINF1|Illegal HD Data type\r\n");
}

}  // namespace
