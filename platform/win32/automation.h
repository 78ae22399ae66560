// Late-bound automation (IDispatch by member name), as the programs drive outside components:
// the spreadsheet host, the disk-identity classes, the scripting shell. Errors come back as
// values with the EXCEPINFO a component supplied; nothing throws.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "platform/win32/scoped.h"

namespace qor::win32 {

// What went wrong in the last call: the HRESULT and, for an exception raised by the component
// (DISP_E_EXCEPTION), its EXCEPINFO texts and codes.
struct AutomationError {
    HRESULT hr = S_OK;
    WORD code = 0;        // EXCEPINFO wCode
    SCODE scode = 0;      // EXCEPINFO scode
    std::string source;
    std::string description;
    bool failed() const { return FAILED(hr); }
};

// One argument of a call: a text, a truth value, a whole number, or an object; with a name it
// is a named argument.
class AutomationArg {
public:
    AutomationArg(const std::string& text);
    AutomationArg(const char* text);
    AutomationArg(bool value);
    AutomationArg(int value);
    AutomationArg(IDispatch* object);
    AutomationArg(const AutomationArg& other);
    AutomationArg& operator=(const AutomationArg&) = delete;
    ~AutomationArg();

    // The same value as a named argument.
    AutomationArg Named(const std::string& argumentName) const;

    const std::string& name() const { return name_; }
    const VARIANT& value() const { return value_; }

private:
    VARIANT value_;
    std::string name_;
};

// An automation object held by its IDispatch.
class AutomationObject {
public:
    AutomationObject() = default;
    explicit AutomationObject(ComPtr<IDispatch> dispatch) : dispatch_(std::move(dispatch)) {}

    // Creates the object registered under the ProgID (in-process or local server). An empty
    // object when that fails; `error` says why.
    static AutomationObject Create(const std::string& progId, AutomationError* error = nullptr);

    explicit operator bool() const { return static_cast<bool>(dispatch_); }
    IDispatch* dispatch() const { return dispatch_.get(); }
    void Release() { dispatch_.Reset(); }

    // Property get, with optional arguments (an indexed property). False on any failure.
    bool Get(const std::string& member, Variant& result, AutomationError* error = nullptr,
             const std::vector<AutomationArg>& args = {});
    // Property get as text (the value converted to a string). Empty text on failure.
    std::string GetText(const std::string& member, AutomationError* error = nullptr,
                        const std::vector<AutomationArg>& args = {});
    // Property get of an object. An empty object on failure.
    AutomationObject GetObject(const std::string& member, AutomationError* error = nullptr,
                               const std::vector<AutomationArg>& args = {});
    // Property put. False on failure.
    bool Put(const std::string& member, const AutomationArg& value, AutomationError* error = nullptr);
    // Method call with positional and named arguments (mixed in any order: positional ones in
    // the order given, named ones by their names). `result` may be null.
    bool Call(const std::string& member, const std::vector<AutomationArg>& args,
              Variant* result = nullptr, AutomationError* error = nullptr);

private:
    bool Invoke(const std::string& member, WORD flags, const std::vector<AutomationArg>& args,
                Variant* result, AutomationError* error);
    ComPtr<IDispatch> dispatch_;
};

// The text of a VARIANT (converted like a late-bound client would); empty when it has none.
std::string VariantText(const VARIANT& value);

}  // namespace qor::win32
