// A WinINet handle (Internet session, connection or request), closed at the end.
#pragma once

#include <windows.h>
#include "platform/win32/lazy_imports.h"

namespace qor::win32 {

class InternetHandle {
public:
    InternetHandle() = default;
    explicit InternetHandle(HINTERNET h) : h_(h) {}
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    InternetHandle(InternetHandle&& other) noexcept : h_(other.h_) { other.h_ = nullptr; }
    ~InternetHandle() { Reset(); }
    // Closes what is held (a handle never opened is null) and takes `h`.
    void Reset(HINTERNET h = nullptr) {
        if (h_) InternetCloseHandle(h_);
        h_ = h;
    }
    bool valid() const { return h_ != nullptr; }
    HINTERNET get() const { return h_; }

private:
    HINTERNET h_ = nullptr;
};

}  // namespace qor::win32
