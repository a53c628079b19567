#include "platform/posix/xdg_folders.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <unistd.h>

namespace k4m::posix {

namespace {

std::string absoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') return {};
    return value;
}

std::string underHome(const char* relative) {
    const std::string home = homeFolder();
    return home.empty() ? std::string() : home + "/" + relative;
}

// Reads one line of user-dirs.dirs: XDG_DOCUMENTS_DIR="$HOME/Papers". Only "$HOME/" and absolute values are
// meaningful there; anything else is ignored as the desktop tools do.
std::string userDirsValue(const std::string& file, const std::string& key) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        if (line.compare(start, key.size() + 1, key + "=") != 0) continue;
        std::string value = line.substr(start + key.size() + 1);
        while (!value.empty() && (value.back() == '\r' || value.back() == ' '))
            value.pop_back();
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) {
            const std::string home = homeFolder();
            if (home.empty()) return {};
            return home + value.substr(5);
        }
        if (!value.empty() && value[0] == '/') return value;
        return {};
    }
    return {};
}

} // namespace

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return home;
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
    return {};
}

std::string xdgDataHome() {
    const std::string env = absoluteEnv("XDG_DATA_HOME");
    return env.empty() ? underHome(".local/share") : env;
}

std::string xdgConfigHome() {
    const std::string env = absoluteEnv("XDG_CONFIG_HOME");
    return env.empty() ? underHome(".config") : env;
}

std::string xdgDocumentsFolder() {
    std::string fromEnv = absoluteEnv("XDG_DOCUMENTS_DIR");
    if (!fromEnv.empty()) return fromEnv;
    const std::string config = xdgConfigHome();
    if (!config.empty()) {
        std::string fromFile = userDirsValue(config + "/user-dirs.dirs", "XDG_DOCUMENTS_DIR");
        if (!fromFile.empty()) return fromFile;
    }
    return underHome("Documents");
}

std::string xdgRuntimeDir() {
    return absoluteEnv("XDG_RUNTIME_DIR");
}

} // namespace k4m::posix
