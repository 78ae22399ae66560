#include "platform/win32/unicode.h"

#include <windows.h>

namespace qor::win32 {
namespace {

std::wstring Decode(UINT codePage, const std::string& bytes) {
    if (bytes.empty()) return std::wstring();
    int n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &out[0], n);
    return out;
}

std::string Encode(UINT codePage, const wchar_t* text, size_t length) {
    if (length == 0) return std::string();
    int n = WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), &out[0], n, nullptr, nullptr);
    return out;
}

}  // namespace

std::wstring Wide(const std::string& utf8) { return Decode(CP_UTF8, utf8); }
std::string Narrow(const std::wstring& utf16) { return Encode(CP_UTF8, utf16.data(), utf16.size()); }
std::string Narrow(const wchar_t* utf16, size_t length) { return Encode(CP_UTF8, utf16, length); }

std::string AnsiToUtf8(const std::string& bytes) {
    std::wstring w = Decode(CP_ACP, bytes);
    return Narrow(w);
}

std::string Utf8ToAnsi(const std::string& utf8) {
    std::wstring w = Wide(utf8);
    return Encode(CP_ACP, w.data(), w.size());
}

}  // namespace qor::win32
