#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace k4m {

class ZipError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Both refuse an archive with an entry that is neither a file nor a folder (a symbolic link, a device, a pipe,
// as an entry made on Unix tells by its mode) whole, before anything is written.

// Extracts the one entry `entryName` of the Zip file `archive` into `folder`, under its file name alone
// (without the folders the entry has in the archive). Throws ZipError.
void extractZipEntry(const std::filesystem::path& archive, const std::string& entryName,
                     const std::filesystem::path& folder);

// Extracts every entry of `archive` into `folder` with its folders. Every name is checked first: an archive
// with a name that could leave `folder` is refused whole and nothing is written. Throws ZipError.
void extractZipAll(const std::filesystem::path& archive, const std::filesystem::path& folder);

} // namespace k4m
