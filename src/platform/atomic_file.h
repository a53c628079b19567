#pragma once

#include <filesystem>
#include <string_view>

namespace k4m {

// Replaces `path` with `bytes` so that readers see either the old file or the whole new one: the bytes go to a
// temporary file in the same folder, are flushed, and the temporary file is renamed over the target. A target
// that is a symbolic link is replaced by the new file, never written through. Throws std::system_error.
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::filesystem::perms mode = std::filesystem::perms::owner_read |
                                                       std::filesystem::perms::owner_write |
                                                       std::filesystem::perms::group_read |
                                                       std::filesystem::perms::others_read);

// Writes all of `bytes` to `fd`, going on after interruptions; false (errno set) when the system refuses.
bool writeFully(int fd, std::string_view bytes);

// A temporary name beside `target` that no other writer uses ("<name>.<pid>.<n>.tmp").
std::filesystem::path temporarySibling(const std::filesystem::path& target);

} // namespace k4m
