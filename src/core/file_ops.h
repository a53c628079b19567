#pragma once

#include "platform/atomic_file.h" // isSymlink

#include <filesystem>
#include <optional>
#include <system_error>

namespace k4m {

// Deletes a file or a folder with everything in it. Symbolic links met inside are removed as links; what they
// point to is never touched. A missing path is no error. Throws std::filesystem::filesystem_error.
void removeTree(const std::filesystem::path& path);

// Copies one file over `target` by way of a temporary file beside it, so the target is never half written and
// a symbolic link at the target is replaced rather than written through. The copy gets `mode` when given,
// otherwise the source's mode. Throws filesystem_error.
void copyFileReplacing(const std::filesystem::path& source, const std::filesystem::path& target,
                       std::optional<std::filesystem::perms> mode = std::nullopt);

// rwxr-xr-x: what a program file the manager writes gets.
inline constexpr std::filesystem::perms kProgramFileMode =
    std::filesystem::perms::owner_all | std::filesystem::perms::group_read | std::filesystem::perms::group_exec |
    std::filesystem::perms::others_read | std::filesystem::perms::others_exec;

// Copies a folder tree into `target`, replacing files that exist there. Links inside the target are replaced,
// never followed; links inside the source are copied as links. Throws filesystem_error.
void copyTree(const std::filesystem::path& source, const std::filesystem::path& target);

// Whether an error means the process lacks the rights for the operation.
bool isPermissionError(const std::error_code& ec);

} // namespace k4m
