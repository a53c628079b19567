#include "core/text_util.h"

#include <filesystem>

namespace k4m {

namespace {

constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

bool isSeparator(char c) {
    return c == kSeparator || c == '/';
}

} // namespace

std::string replaceAll(std::string_view text, std::string_view search, std::string_view replacement) {
    if (search.empty()) return std::string(text);
    std::string result;
    result.reserve(text.size());
    size_t from = 0;
    for (size_t hit = text.find(search); hit != std::string_view::npos; hit = text.find(search, from)) {
        result.append(text, from, hit - from);
        result.append(replacement);
        from = hit + search.size();
    }
    result.append(text, from, std::string_view::npos);
    return result;
}

std::string replaceFirst(std::string_view text, std::string_view search, std::string_view replacement) {
    const size_t hit = search.empty() ? std::string_view::npos : text.find(search);
    if (hit == std::string_view::npos) return std::string(text);
    std::string result(text.substr(0, hit));
    result.append(replacement);
    result.append(text.substr(hit + search.size()));
    return result;
}

std::string_view trimView(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

std::string trim(std::string_view text) {
    return std::string(trimView(text));
}

std::string removeOneTrailingSeparator(std::string_view path) {
    if (!path.empty() && isSeparator(path.back())) path.remove_suffix(1);
    return std::string(path);
}

std::string joinPath(std::string_view base, std::string_view name) {
    std::string result(base);
    result += kSeparator;
    result.append(name);
    return result;
}

std::string parentFolder(std::string_view path) {
    size_t cut = path.size();
    while (cut > 0 && !isSeparator(path[cut - 1]))
        --cut;
    if (cut == 0) return {};
    if (cut == 1) return std::string(path.substr(0, 1)); // the root folder itself
    return std::string(path.substr(0, cut - 1));
}

std::string fileNamePart(std::string_view path) {
    size_t cut = path.size();
    while (cut > 0 && !isSeparator(path[cut - 1]))
        --cut;
    return std::string(path.substr(cut));
}

bool containsText(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

char toLowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string toLowerAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = toLowerAscii(c);
    return result;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (toLowerAscii(a[i]) != toLowerAscii(b[i])) return false;
    }
    return true;
}

} // namespace k4m
