// Scoped owners of Win32 and COM resources, shared by every adapter, program and test: each
// releases what it holds when it goes out of scope.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "platform/win32/unicode.h"

namespace qor::win32 {

// A COM interface pointer, released at the end.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T* adopted) : p_(adopted) {}
    ComPtr(const ComPtr& other) : p_(other.p_) { if (p_) p_->AddRef(); }
    ComPtr(ComPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    ComPtr& operator=(ComPtr other) noexcept {
        T* old = p_;
        p_ = other.p_;
        other.p_ = old;
        return *this;
    }
    ~ComPtr() { Reset(); }

    void Reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    // The address to receive a new pointer; whatever was held is released first.
    T** Out() {
        Reset();
        return &p_;
    }
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// A VARIANT, cleared at the end.
class Variant {
public:
    Variant() { VariantInit(&v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&v); }
    void Clear() { VariantClear(&v); }
    VARIANT v;
};

// A BSTR, freed at the end.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::string& utf8) : b(SysAllocString(Wide(utf8).c_str())) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(b); }
    BSTR b = nullptr;
};

// A kernel handle (process, file, mutex), closed at the end. Both null and
// INVALID_HANDLE_VALUE count as "no handle".
class KernelHandle {
public:
    KernelHandle() = default;
    explicit KernelHandle(HANDLE h) : h_(h) {}
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;
    KernelHandle(KernelHandle&& other) noexcept : h_(other.h_) { other.h_ = nullptr; }
    ~KernelHandle() { Reset(); }
    void Reset(HANDLE h = nullptr) {
        if (valid()) CloseHandle(h_);
        h_ = h;
    }
    bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_ = nullptr;
};

}  // namespace qor::win32
