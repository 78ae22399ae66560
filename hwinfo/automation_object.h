// Shared frame of the library's COM classes: reference counting that keeps the module alive,
// IDispatch through the embedded type library, and the error convention (an automation error
// with a number and a description, seen by late-bound callers in EXCEPINFO and by vtable
// callers through the HRESULT and IErrorInfo).
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "hwinfo/disk_identity.h"

namespace qor::hwinfo {

// Module-wide counts behind DllCanUnloadNow.
void ObjectCreated();
void ObjectDestroyed();
// The type information of one interface of the module's own type library (AddRef'ed), or null.
ITypeInfo* LoadOwnTypeInfo(REFGUID iid);
// ANSI code page bytes as a newly allocated BSTR (never null).
BSTR AnsiToBstr(const std::string& bytes);

template <class Interface>
class AutomationObject : public Interface, public ISupportErrorInfo {
public:
    AutomationObject(REFIID iid, const wchar_t* prog_id) : iid_(iid), prog_id_(prog_id) {
        ObjectCreated();
    }
    virtual ~AutomationObject() {
        if (type_info_) type_info_->Release();
        ObjectDestroyed();
    }
    AutomationObject(const AutomationObject&) = delete;
    AutomationObject& operator=(const AutomationObject&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
            IsEqualIID(riid, iid_)) {
            *object = static_cast<Interface*>(this);
        } else if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
            *object = static_cast<ISupportErrorInfo*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return left;
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        ITypeInfo* own = TypeInfo();
        if (!own) return TYPE_E_CANTLOADLIBRARY;
        own->AddRef();
        *info = own;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        ITypeInfo* own = TypeInfo();
        if (!own) return TYPE_E_CANTLOADLIBRARY;
        return DispGetIDsOfNames(own, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* arg_error) override {
        ITypeInfo* own = TypeInfo();
        if (!own) return TYPE_E_CANTLOADLIBRARY;
        raised_ = kNoError;
        // The type information calls the member through the vtable; a member that raises an
        // error records it in raised_, and the caller's EXCEPINFO is filled from that record.
        EXCEPINFO inner = {};
        HRESULT hr = own->Invoke(static_cast<Interface*>(this), id, flags, params, result, &inner,
                                 arg_error);
        if (FAILED(hr) && raised_ != kNoError) {
            SysFreeString(inner.bstrSource);
            SysFreeString(inner.bstrDescription);
            SysFreeString(inner.bstrHelpFile);
            SetErrorInfo(0, nullptr);
            if (exception) FillException(*exception);
            raised_ = kNoError;
            return DISP_E_EXCEPTION;
        }
        if (exception) {
            *exception = inner;
        } else {
            SysFreeString(inner.bstrSource);
            SysFreeString(inner.bstrDescription);
            SysFreeString(inner.bstrHelpFile);
        }
        return hr;
    }

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
        return IsEqualIID(riid, iid_) ? S_OK : S_FALSE;
    }

protected:
    // Raises the error: remembers it for Invoke, publishes it as the thread's error
    // information and gives the HRESULT the member returns.
    HRESULT Raise(int error) {
        raised_ = error;
        ICreateErrorInfo* create = nullptr;
        if (SUCCEEDED(CreateErrorInfo(&create))) {
            const std::wstring description = Description(error);
            create->SetGUID(iid_);
            create->SetSource(const_cast<LPOLESTR>(prog_id_));
            create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
            IErrorInfo* info = nullptr;
            if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
                SetErrorInfo(0, info);
                info->Release();
            }
            create->Release();
        }
        return ErrorResult(error);
    }

    // The HRESULT of an error: plain numbers as automation errors of the control facility
    // (their code is the number), the internal ones as the matching system errors.
    static HRESULT ErrorResult(int error) {
        switch (error) {
        case kErrDriveNumberOverflow: return DISP_E_OVERFLOW;
        case kErrLibraryMissing: return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
        case kErrFunctionMissing: return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
        default: return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, error);
        }
    }

private:
    static std::wstring Description(int error) {
        const std::string text = ErrorText(error);  // ASCII
        return std::wstring(text.begin(), text.end());
    }

    // The numbered errors travel as their number in the control facility with wCode 0, the form
    // that VBA and VBScript turn back into the plain number (Err.Number 10000); the internal ones
    // as their system HRESULT.
    void FillException(EXCEPINFO& exception) const {
        exception = EXCEPINFO{};
        exception.scode = ErrorResult(raised_);
        exception.bstrSource = SysAllocString(prog_id_);
        exception.bstrDescription = SysAllocString(Description(raised_).c_str());
    }

    ITypeInfo* TypeInfo() {
        if (!type_info_) type_info_ = LoadOwnTypeInfo(iid_);
        return type_info_;
    }

    LONG references_ = 1;
    IID iid_;
    const wchar_t* prog_id_;
    ITypeInfo* type_info_ = nullptr;
    int raised_ = kNoError;
};

}  // namespace qor::hwinfo
