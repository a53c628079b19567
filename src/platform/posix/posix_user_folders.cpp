#include "platform/user_folders.h"

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

namespace k4m {

bool createUserFolder(const std::string& path) {
    if (path.empty() || ::mkdir(path.c_str(), 0755) != 0) return false;
    // mkdir honours the umask, which may leave group or others write access; take that away again.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        ::chmod(path.c_str(), st.st_mode & 07755);
    return true;
}

bool createUserFolders(const std::string& path) {
    if (path.empty()) return false;
    std::filesystem::path prefix;
    for (const auto& part : std::filesystem::path(path)) {
        prefix /= part;
        struct stat st {};
        if (::lstat(prefix.c_str(), &st) == 0) continue;
        if (errno != ENOENT || (!createUserFolder(prefix.string()) && errno != EEXIST)) return false;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace k4m
