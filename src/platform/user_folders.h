#pragma once

#include <string>

namespace k4m {

// Creates `path` and every missing folder above it with the user's normal rights, but never writable by the
// group or by others, whatever the umask (under umask 000 the manager's folders would otherwise be open to
// every local account, which could then replace the profile or plant files). Folders that exist are left as
// they are. True when `path` is a folder afterwards.
bool createUserFolders(const std::string& path);

// Creates the one folder `path` (not its parents) the same way; true only when this call created it.
bool createUserFolder(const std::string& path);

} // namespace k4m
