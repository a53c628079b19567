#pragma once

#include "platform/atomic_file.h"

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

// The file's lines, each followed by CR LF; empty when the file does not exist. Throws std::system_error when
// it exists but cannot be read.
std::string LoadString(const std::filesystem::path& path);

// The whole file decoded to UTF-8; empty, with `*exists` false, when it does not exist.
std::string readTextFile(const std::filesystem::path& path, bool* exists = nullptr);

} // namespace k4m
