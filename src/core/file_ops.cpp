#include "core/file_ops.h"

#include "platform/atomic_file.h"

#include <vector>

namespace k4m {

namespace fs = std::filesystem;

void removeTree(const fs::path& path) {
    const fs::file_status status = fs::symlink_status(path);
    if (status.type() == fs::file_type::not_found) return;
    if (status.type() == fs::file_type::directory) {
        // Collect first: removing while iterating invalidates the iterator on some systems.
        std::vector<fs::path> children;
        for (const auto& entry : fs::directory_iterator(path))
            children.push_back(entry.path());
        for (const auto& child : children)
            removeTree(child);
    }
    fs::remove(path);
}

void copyFileReplacing(const fs::path& source, const fs::path& target, std::optional<fs::perms> mode) {
    const fs::path temporary = temporarySibling(target);
    try {
        fs::copy_file(source, temporary, fs::copy_options::none);
        if (mode) fs::permissions(temporary, *mode);
        fs::rename(temporary, target);
    } catch (...) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw;
    }
}

void copyTree(const fs::path& source, const fs::path& target) {
    const fs::file_status targetStatus = fs::symlink_status(target);
    if (targetStatus.type() != fs::file_type::directory) {
        if (targetStatus.type() != fs::file_type::not_found) fs::remove(target);
        fs::create_directory(target);
    }
    for (const auto& entry : fs::directory_iterator(source)) {
        const fs::path destination = target / entry.path().filename();
        const fs::file_status status = entry.symlink_status();
        if (status.type() == fs::file_type::directory) {
            copyTree(entry.path(), destination);
        } else if (status.type() == fs::file_type::symlink) {
            if (fs::symlink_status(destination).type() == fs::file_type::directory)
                removeTree(destination);
            else
                fs::remove(destination);
            fs::copy_symlink(entry.path(), destination);
        } else {
            if (fs::symlink_status(destination).type() == fs::file_type::directory) removeTree(destination);
            copyFileReplacing(entry.path(), destination);
        }
    }
}

bool isPermissionError(const std::error_code& ec) {
    return ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted;
}

} // namespace k4m
