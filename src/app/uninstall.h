#pragma once

#include <string>

namespace k4m {

// Removes what the user's own rights may delete of an installation in the data folder: the package cache and
// the offline package folder (both kept in offline mode, where the data folder is the offline package itself)
// and the sound data. Anything else in the data folder stays. Failures are swallowed: a folder that cannot be
// removed, or only partly, does not stop an uninstall. Links are removed, never followed.
void removeUserData(const std::string& dataFolder, bool offlineMode);

} // namespace k4m
