#pragma once

#include "platform/atomic_file.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace k4m {

// Splits a text into lines at CR LF, LF or CR; a line break at the very end does not start another line.
std::vector<std::string> splitLines(std::string_view text);

// Writes the lines of `text` to `path`, each ended by CR LF, replacing the file atomically; the file gets exactly
// `mode` (kPrivateFileMode for a file holding the customer's key). A symbolic link at `path` is refused. Throws
// std::system_error.
void SaveString(std::string_view text, const std::filesystem::path& path,
                std::filesystem::perms mode = kDefaultFileMode);

// The most bytes LoadString reads: far more than any of its files holds, so that a file that is not what it
// should be (a copy of something large planted in its place) is refused instead of filling the memory.
inline constexpr std::uintmax_t kMaxLoadedText = 16 * 1024 * 1024;

// The file's lines, each followed by CR LF; empty when the file does not exist. Throws std::system_error when
// something is there that is not a regular file of at most kMaxLoadedText bytes (a symbolic link, which is never
// followed, a folder, a FIFO or a device) or that cannot be read.
std::string LoadString(const std::filesystem::path& path);

// The whole file decoded to UTF-8; empty, with `*exists` false, when it does not exist.
std::string readTextFile(const std::filesystem::path& path, bool* exists = nullptr);

} // namespace k4m
