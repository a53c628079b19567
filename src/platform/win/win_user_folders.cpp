#include "platform/user_folders.h"

#include "platform/win/wide_text.h"

#include <windows.h>

#include <filesystem>

namespace k4m {

// A new folder takes the access list of the folder it is made in, as every folder a user makes does.
bool createUserFolder(const std::string& path) {
    return !path.empty() && ::CreateDirectoryW(win::wide(path).c_str(), nullptr) != 0;
}

bool createUserFolders(const std::string& path) {
    if (path.empty()) return false;
    const std::filesystem::path folder(win::wide(path));
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return std::filesystem::is_directory(folder, ec);
}

} // namespace k4m
