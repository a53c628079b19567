#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace k4m::test {

struct ZipEntry {
    std::string name; // a name ending in "/" is a folder
    std::string content;
    unsigned unixMode = 0; // stored in the entry's attributes when not 0
    // The entry's Unix type (S_IFLNK, S_IFIFO, ...; a link's content is its target); 0 a plain file. With
    // a type and no mode the mode is 0777.
    unsigned unixType = 0;
};

// Writes a Zip archive with these entries (deflated) to `path`.
void makeZip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries);

} // namespace k4m::test
