#pragma once

#include <string>

namespace k4m::posix {

// The user's home folder: $HOME, else the password database; empty when neither knows it.
std::string homeFolder();
// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share.
std::string xdgDataHome();
// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
std::string xdgConfigHome();
// The XDG documents folder from user-dirs.dirs, else ~/Documents.
std::string xdgDocumentsFolder();
// $XDG_RUNTIME_DIR when it is an absolute path, else empty.
std::string xdgRuntimeDir();

} // namespace k4m::posix
