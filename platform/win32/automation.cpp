#include "platform/win32/automation.h"

#include <objbase.h>

namespace qor::win32 {
namespace {

void Record(AutomationError* error, HRESULT hr, const EXCEPINFO* info) {
    if (!error) return;
    *error = AutomationError();
    error->hr = hr;
    if (info && hr == DISP_E_EXCEPTION) {
        EXCEPINFO filled = *info;
        if (filled.pfnDeferredFillIn) filled.pfnDeferredFillIn(&filled);
        error->code = filled.wCode;
        error->scode = filled.scode;
        if (filled.bstrSource) error->source = Narrow(filled.bstrSource, SysStringLen(filled.bstrSource));
        if (filled.bstrDescription)
            error->description = Narrow(filled.bstrDescription, SysStringLen(filled.bstrDescription));
    }
}

}  // namespace

AutomationArg::AutomationArg(const std::string& text) {
    VariantInit(&value_);
    V_VT(&value_) = VT_BSTR;
    V_BSTR(&value_) = SysAllocString(Wide(text).c_str());
}
AutomationArg::AutomationArg(const char* text) : AutomationArg(std::string(text)) {}
AutomationArg::AutomationArg(bool value) {
    VariantInit(&value_);
    V_VT(&value_) = VT_BOOL;
    V_BOOL(&value_) = value ? VARIANT_TRUE : VARIANT_FALSE;
}
AutomationArg::AutomationArg(int value) {
    VariantInit(&value_);
    V_VT(&value_) = VT_I4;
    V_I4(&value_) = value;
}
AutomationArg::AutomationArg(IDispatch* object) {
    VariantInit(&value_);
    V_VT(&value_) = VT_DISPATCH;
    V_DISPATCH(&value_) = object;
    if (object) object->AddRef();
}
AutomationArg::AutomationArg(const AutomationArg& other) : name_(other.name_) {
    VariantInit(&value_);
    VariantCopy(&value_, const_cast<VARIANT*>(&other.value_));
}
AutomationArg::~AutomationArg() { VariantClear(&value_); }

AutomationArg AutomationArg::Named(const std::string& argumentName) const {
    AutomationArg copy(*this);
    copy.name_ = argumentName;
    return copy;
}

AutomationObject AutomationObject::Create(const std::string& progId, AutomationError* error) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(Wide(progId).c_str(), &clsid);
    ComPtr<IDispatch> dispatch;
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                              dispatch.OutVoid());
    Record(error, hr, nullptr);
    if (FAILED(hr)) return AutomationObject();
    return AutomationObject(std::move(dispatch));
}

bool AutomationObject::Invoke(const std::string& member, WORD flags, const std::vector<AutomationArg>& args,
                              Variant* result, AutomationError* error) {
    if (!dispatch_) {
        Record(error, E_POINTER, nullptr);
        return false;
    }
    // Names to look up: the member, then every named argument.
    std::vector<std::wstring> names{Wide(member)};
    std::vector<const AutomationArg*> named, positional;
    for (const AutomationArg& arg : args) (arg.name().empty() ? positional : named).push_back(&arg);
    for (const AutomationArg* arg : named) names.push_back(Wide(arg->name()));
    std::vector<LPOLESTR> namePointers;
    for (std::wstring& n : names) namePointers.push_back(&n[0]);
    std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
    HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, namePointers.data(), static_cast<UINT>(namePointers.size()),
                                          LOCALE_USER_DEFAULT, ids.data());
    if (FAILED(hr)) {
        Record(error, hr, nullptr);
        return false;
    }

    // Named arguments come first in the argument array, positional ones after them in reverse.
    std::vector<VARIANTARG> values;
    std::vector<DISPID> namedIds;
    for (size_t i = 0; i < named.size(); ++i) {
        values.push_back(named[i]->value());
        namedIds.push_back(ids[i + 1]);
    }
    for (auto it = positional.rbegin(); it != positional.rend(); ++it) values.push_back((*it)->value());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params = {};
    params.rgvarg = values.empty() ? nullptr : values.data();
    params.cArgs = static_cast<UINT>(values.size());
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    } else {
        params.rgdispidNamedArgs = namedIds.empty() ? nullptr : namedIds.data();
        params.cNamedArgs = static_cast<UINT>(namedIds.size());
    }

    Variant local;
    EXCEPINFO info = {};
    UINT badArg = 0;
    hr = dispatch_->Invoke(ids[0], IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                           result ? &result->v : &local.v, &info, &badArg);
    Record(error, hr, &info);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    return SUCCEEDED(hr);
}

bool AutomationObject::Get(const std::string& member, Variant& result, AutomationError* error,
                           const std::vector<AutomationArg>& args) {
    result.Clear();
    return Invoke(member, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args, &result, error);
}

std::string AutomationObject::GetText(const std::string& member, AutomationError* error,
                                      const std::vector<AutomationArg>& args) {
    Variant value;
    if (!Get(member, value, error, args)) return std::string();
    return VariantText(value.v);
}

AutomationObject AutomationObject::GetObject(const std::string& member, AutomationError* error,
                                             const std::vector<AutomationArg>& args) {
    Variant value;
    if (!Get(member, value, error, args)) return AutomationObject();
    if (V_VT(&value.v) != VT_DISPATCH || !V_DISPATCH(&value.v)) {
        if (error) error->hr = DISP_E_TYPEMISMATCH;
        return AutomationObject();
    }
    IDispatch* object = V_DISPATCH(&value.v);
    object->AddRef();
    return AutomationObject(ComPtr<IDispatch>(object));
}

bool AutomationObject::Put(const std::string& member, const AutomationArg& value, AutomationError* error) {
    return Invoke(member, DISPATCH_PROPERTYPUT, {value}, nullptr, error);
}

bool AutomationObject::Call(const std::string& member, const std::vector<AutomationArg>& args, Variant* result,
                            AutomationError* error) {
    return Invoke(member, DISPATCH_METHOD, args, result, error);
}

std::string VariantText(const VARIANT& value) {
    if (V_VT(&value) == VT_BSTR) return V_BSTR(&value) ? Narrow(V_BSTR(&value), SysStringLen(V_BSTR(&value))) : "";
    Variant copy;
    if (FAILED(VariantChangeType(&copy.v, const_cast<VARIANT*>(&value), VARIANT_ALPHABOOL, VT_BSTR))) return "";
    return V_BSTR(&copy.v) ? Narrow(V_BSTR(&copy.v), SysStringLen(V_BSTR(&copy.v))) : "";
}

}  // namespace qor::win32
