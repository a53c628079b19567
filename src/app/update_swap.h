#pragma once

#include <string>

namespace k4m {

// Where an update copy installs itself: its own path with the first "<sep>Update<sep>km4u_" replaced by one
// separator, then that folder's "Kandoro4Manager.exe". D:\Tools\Update\km4u_127.exe gives
// D:\Tools\Kandoro4Manager.exe; so does D:\Tools\km4u_127.exe.
std::string updateSwapTarget(const std::string& ownExecutablePath);

// Writes the update copy over the target as an executable, by way of a temporary file beside it so a failed
// write never leaves a half-written program. Returns the target. Throws std::filesystem::filesystem_error.
std::string installUpdateCopy(const std::string& ownExecutablePath);

} // namespace k4m
