#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace k4m {

class UnsafeEntryName : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The folder names and file name of an archive entry ("data\sounds\kick.wav" or "data/sounds/kick.wav").
// Throws UnsafeEntryName for a name that could leave the folder it is extracted into: an absolute name, a
// drive letter, a ".." component, or nothing at all.
std::vector<std::string> archiveEntryComponents(std::string_view entryName);

// The place of an entry under `root`, creating the missing folders on the way. Throws UnsafeEntryName when a
// folder on the way is a symbolic link (writing through it could leave `root`), filesystem_error otherwise.
std::filesystem::path prepareInside(const std::filesystem::path& root, const std::vector<std::string>& components,
                                    bool isFolder);

} // namespace k4m
