#include "platform/win32/management_win32.h"

#include <windows.h>
#include <wbemidl.h>

#include <cstdlib>
#include <vector>

#include "platform/win32/scoped.h"
#include "platform/win32/unicode.h"

namespace qor::win32 {
namespace {

bool Connect(ComPtr<IWbemServices>& services) {
    ComPtr<IWbemLocator> locator;
    if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                locator.OutVoid())))
        return false;
    Bstr ns("ROOT\\CIMV2");
    if (FAILED(locator->ConnectServer(ns.b, nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Out())))
        return false;
    CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    return true;
}

// Runs the query and calls `visit` for each returned object, in delivery order, until it
// returns false. False when the service or the query fails.
template <typename Visit>
bool ForEachObject(IWbemServices* services, const std::string& wql, Visit visit) {
    ComPtr<IEnumWbemClassObject> rows;
    Bstr language("WQL"), query(wql);
    if (FAILED(services->ExecQuery(language.b, query.b,
                                   WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, rows.Out())))
        return false;
    for (;;) {
        ComPtr<IWbemClassObject> row;
        ULONG got = 0;
        HRESULT hr = rows->Next(WBEM_INFINITE, 1, row.Out(), &got);
        if (FAILED(hr)) return false;
        if (got == 0) return true;
        if (!visit(row.get())) return false;
    }
}

bool ReadText(IWbemClassObject* row, const wchar_t* name, std::string& text) {
    Variant value;
    if (FAILED(row->Get(name, 0, &value.v, nullptr, nullptr))) return false;
    text.clear();
    if (V_VT(&value.v) == VT_NULL || V_VT(&value.v) == VT_EMPTY) return true;
    if (FAILED(VariantChangeType(&value.v, &value.v, 0, VT_BSTR))) return false;
    text = Narrow(V_BSTR(&value.v), SysStringLen(V_BSTR(&value.v)));
    return true;
}

}  // namespace

void InitializeComSecurity() {
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                         RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
}

Win32ManagementService::Win32ManagementService() = default;
Win32ManagementService::~Win32ManagementService() = default;

IWbemServices* Win32ManagementService::Services() {
    if (!services_ && !Connect(services_)) services_.Reset();
    return services_.get();
}

bool Win32ManagementService::Query(const std::string& wql, const std::string& property,
                                   std::vector<std::string>& values) {
    IWbemServices* services = Services();
    if (!services) return false;
    std::wstring name = Wide(property);
    const bool answered = ForEachObject(services, wql, [&](IWbemClassObject* row) {
        std::string text;
        if (!ReadText(row, name.c_str(), text)) return false;
        values.push_back(text);
        return true;
    });
    // A failed question drops the connection, so that the next one connects afresh (a service
    // that was restarted meanwhile is found again).
    if (!answered) services_.Reset();
    return answered;
}

std::vector<std::string> Win32ManagementService::InstancesOf(const std::string& className,
                                                             const std::string& property) {
    std::vector<std::string> values;
    IWbemServices* services = Services();
    if (!services) return values;
    ComPtr<IEnumWbemClassObject> rows;
    Bstr name(className);
    if (FAILED(services->CreateInstanceEnum(name.b, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                            nullptr, rows.Out()))) {
        services_.Reset();
        return values;
    }
    const std::wstring member = Wide(property);
    for (;;) {
        ComPtr<IWbemClassObject> row;
        ULONG got = 0;
        if (FAILED(rows->Next(WBEM_INFINITE, 1, row.Out(), &got)) || got == 0) break;
        std::string text;
        if (ReadText(row.get(), member.c_str(), text)) values.push_back(text);
    }
    return values;
}

void Win32ManagementService::TerminateEach(const std::string& wql) {
    IWbemServices* services = Services();
    if (!services) return;
    // Every process's object path and id are read before any of them is acted on: a service
    // may refill its process table when a method is called, and the objects of a walk still
    // under way would then describe other processes.
    struct Target {
        std::string path, pid;
    };
    std::vector<Target> targets;
    ForEachObject(services, wql, [&](IWbemClassObject* row) {
        Target target;
        ReadText(row, L"__PATH", target.path);
        ReadText(row, L"ProcessId", target.pid);
        targets.push_back(target);
        return true;
    });
    Bstr method("Terminate");
    for (const Target& target : targets) {
        Bstr objectPath(target.path);
        HRESULT hr = services->ExecMethod(objectPath.b, method.b, 0, nullptr, nullptr, nullptr, nullptr);
        // Where the service cannot run the method itself, end the process by its id: the
        // caller only asks that every process of the query be told to end.
        if (FAILED(hr) && !target.pid.empty()) {
            HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE,
                                   static_cast<DWORD>(strtoul(target.pid.c_str(), nullptr, 10)));
            if (h) {
                TerminateProcess(h, 1);
                CloseHandle(h);
            }
        }
    }
}

}  // namespace qor::win32
