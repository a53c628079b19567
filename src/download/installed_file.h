#pragma once

#include "platform/native_file.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace k4m {

// An entry being inflated: a new hidden file (".k4m-inflating.<pid>.<n>.tmp") in the destination folder (created when missing), renamed to its
// final place only when the entry is whole. A staged file that is never moved is removed, so an entry exists
// under its name only when its stream inflated whole. Never written through a symbolic link.
class StagedFile {
public:
    // Throws std::system_error when the folder or the file cannot be created.
    explicit StagedFile(const std::string& folder);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // False when the system refused the bytes (error() says why); the file is then of no use.
    bool write(std::string_view bytes);
    // Closes the file; false when that failed.
    bool finish();
    const std::string& error() const { return m_error; }
    std::error_code systemError() const { return m_file.error(); }
    // Renames the finished file to `target` (replacing a file or a link there, never writing through it); across
    // file systems it is copied beside the target first. Throws std::system_error.
    void moveTo(const std::filesystem::path& target);

private:
    std::filesystem::path m_path;
    NativeFile m_file;
    std::string m_error;
};

// The place of the entry path `relative` ("a/b/c.wav") under `folder`: the folder is created when missing, the
// folders below it one by one, never through a symbolic link (UnsafeEntryName) or over a file
// (std::filesystem::filesystem_error).
std::filesystem::path placeInside(const std::string& folder, const std::string& relative);

// Copies the whole open file `from` to `target` by way of a temporary file beside it, renamed when complete.
// Throws std::system_error.
void copyIntoPlace(const NativeFile& from, const std::filesystem::path& target);

// Writes the first channel of the 16-bit two-channel sample file `source` to `target` (bytes 0-1, 4-5, 8-9 and
// so on), streaming, by way of a StagedFile in `stagingFolder` (the destination folder, where the start-up finds
// what a killed run left). Throws std::system_error.
void writeMonoDerivative(const std::filesystem::path& source, const std::string& stagingFolder,
                         const std::filesystem::path& target);

} // namespace k4m
