#pragma once

#include <string>

namespace k4m::win {

// The manager speaks UTF-8 everywhere; the Win32 calls take UTF-16. Invalid input becomes U+FFFD.
std::wstring wide(const std::string& utf8);
std::string narrow(const std::wstring& utf16);
std::string narrow(const wchar_t* utf16);

} // namespace k4m::win
