#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace k4m {

// The manager's text is UTF-8 everywhere. A std::string given to std::filesystem is read in the system's
// narrow encoding, which on Windows is the ANSI code page: a folder named "Müller" or "Дми" would become
// another name. Paths made from text and text made from paths go through these two.
inline std::filesystem::path pathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

inline std::string utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace k4m
