#include "core/text_file.h"

#include "core/text_decoding.h"
#include "platform/atomic_file.h"
#include "platform/utf8_path.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

namespace k4m {

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t from = 0;
    while (from < text.size()) {
        const size_t end = text.find_first_of("\r\n", from);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(from));
            break;
        }
        lines.emplace_back(text.substr(from, end - from));
        from = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
    return lines;
}

void SaveString(std::string_view text, const std::filesystem::path& path, std::filesystem::perms mode) {
    std::string bytes;
    bytes.reserve(text.size() + 16);
    for (const auto& line : splitLines(text))
        bytes += line + "\r\n";
    writeFileAtomically(path, bytes, mode);
}

std::string readTextFile(const std::filesystem::path& path, bool* exists) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::error_code ec;
        const bool there = std::filesystem::exists(path, ec);
        if (exists != nullptr) *exists = there;
        if (!there) return {};
        throw std::system_error(errno ? errno : EIO, std::generic_category(), "cannot read " + utf8Of(path));
    }
    if (exists != nullptr) *exists = true;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return decodeText(bytes);
}

std::string LoadString(const std::filesystem::path& path) {
    const std::optional<std::string> bytes = readRegularFile(path, kMaxLoadedText);
    if (!bytes) return {};
    std::string result;
    for (const auto& line : splitLines(decodeText(*bytes)))
        result += line + "\r\n";
    return result;
}

} // namespace k4m
