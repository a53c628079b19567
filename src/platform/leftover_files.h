#pragma once

#include <filesystem>

namespace k4m {

// Removes the temporary files this program's writers leave beside their targets when the process dies in the
// middle of a write ("<name>.<pid>.<n>.tmp", and "<name>.<pid>.<n>.tmp.part" for an archive being downloaded),
// directly inside `folder`. Files of a process that still runs are left alone, so a command mode writing at the
// same moment is not disturbed. With `partialDownloads`, "<name>.part" files go too: for a caller that knows
// no other process downloads into `folder`. Returns how many were removed; a folder that cannot be read counts
// as empty.
int removeLeftoverTemporaries(const std::filesystem::path& folder, bool partialDownloads = false);

} // namespace k4m
