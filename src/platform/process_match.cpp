#include "platform/process_match.h"

#include <algorithm>
#include <cctype>

namespace k4m {

namespace {

std::string asciiUpper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

std::string asciiLower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string fileNamePart(const std::string& path) {
    const auto cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

} // namespace

bool processImageMatches(const std::string& imagePath, const std::string& name, bool partial) {
    // An empty name text would contain-match every process on the machine.
    if (name.empty()) return false;
    const std::string fileName = fileNamePart(imagePath);
    const std::string upperName = asciiUpper(name);
    if (asciiUpper(fileName) == upperName || asciiUpper(imagePath) == upperName) return true;
    return partial && asciiLower(fileName).find(name) != std::string::npos;
}

} // namespace k4m
