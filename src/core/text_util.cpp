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

std::string trim(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ')
        --end;
    return std::string(text.substr(begin, end - begin));
}

std::string removeOneTrailingSeparator(std::string_view path) {
    if (!path.empty() && path.back() == kSeparator) path.remove_suffix(1);
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

std::string toLowerAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

} // namespace k4m
