#pragma once

#include "platform/native_file.h" // isSymlink

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace k4m {

// The mode of ordinary files the manager writes (0644).
inline constexpr std::filesystem::perms kDefaultFileMode =
    std::filesystem::perms::owner_read | std::filesystem::perms::owner_write | std::filesystem::perms::group_read |
    std::filesystem::perms::others_read;

// The mode of files that hold the customer's key (0600): no other user may read them.
inline constexpr std::filesystem::perms kPrivateFileMode =
    std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;

// Replaces `path` with `bytes` so that readers see either the old file or the whole new one: the bytes go to a
// temporary file in the same folder, are flushed, and the temporary file is renamed over the target. The file
// gets exactly `mode`, whatever the umask. A target that is a symbolic link is refused (std::system_error with
// ELOOP) and left as it is: a link planted in a folder every user may write must not redirect or swallow the
// write. Throws std::system_error.
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::filesystem::perms mode = kDefaultFileMode);

// The bytes of the regular file `path`; std::nullopt when there is no such file. Throws std::system_error when
// something is there that cannot be read, without reading a byte of it: a symbolic link (ELOOP, never followed),
// a folder (EISDIR) or any other kind of file that is not a regular one (EINVAL), a file larger than `maxBytes`
// (EFBIG), or any error the system reports.
std::optional<std::string> readRegularFile(const std::filesystem::path& path, std::uintmax_t maxBytes);

// A temporary name beside `target` that no other writer uses ("<name>.<pid>.<n>.tmp").
std::filesystem::path temporarySibling(const std::filesystem::path& target);

} // namespace k4m
