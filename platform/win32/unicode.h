// Conversions at the Win32 boundary: UTF-8 inside the programs, UTF-16 for W APIs, the system
// ANSI code page for file bytes.
#pragma once

#include <string>

namespace qor::win32 {

std::wstring Wide(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);
std::string Narrow(const wchar_t* utf16, size_t length);

// Bytes in the system ANSI code page (GBK on Chinese systems) to UTF-8 text and back.
// Bytes that are not valid in the code page become the code page's default character.
std::string AnsiToUtf8(const std::string& bytes);
std::string Utf8ToAnsi(const std::string& utf8);

}  // namespace qor::win32
