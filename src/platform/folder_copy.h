#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

namespace k4m {

// How far a folder copy is. The copying thread writes it; any thread may read it meanwhile.
struct FolderCopyProgress {
    std::atomic<std::uint64_t> filesTotal{0};
    std::atomic<std::uint64_t> bytesTotal{0};
    std::atomic<std::uint64_t> filesDone{0};
    std::atomic<std::uint64_t> bytesDone{0};
};

enum class FolderCopyOutcome {
    Copied,     // the walk ran (some files may have been skipped)
    SameFolder, // both names lead to one folder: nothing to do
    NoSource,   // the source is not a folder that can be read
};

struct FolderCopyResult {
    FolderCopyOutcome outcome = FolderCopyOutcome::NoSource;
    std::uint64_t files = 0;   // files copied
    std::uint64_t bytes = 0;   // bytes of the copied files
    std::uint64_t skipped = 0; // files and folders that could not or must not be copied
};

// Copies everything inside `from` into `to` (created when missing), replacing files of the same name there,
// and skips without stopping whatever cannot be copied. The source is only ever read:
// - symbolic links inside it are not followed out of it: a link to a file inside the source is copied as that
//   file's content, every other link is skipped (folder links too, so a link loop cannot recurse);
// - when `to` lies inside `from`, that sub-folder is left out, so the copy never copies itself;
// - when `from` lies inside `to`, nothing is written into `from`;
// - both hold for a second name of a folder that its spelling does not give away (a folder mounted once more
//   elsewhere, a disk blind to capitals): folders are told apart by what the system knows them as;
// - only regular files are read (a pipe or device would block or never end).
// In the target no link is written through: a file at a link's place replaces the link, a folder whose place
// holds a link (or a file) is skipped. Each file arrives whole: it is written beside its place, into a temporary
// file made new (never one that was already there), and renamed.
// Files are streamed in small blocks, never held whole in memory.
FolderCopyResult copyFolderContents(const std::filesystem::path& from, const std::filesystem::path& to,
                                    FolderCopyProgress& progress);

// "1.5 GB", "12.0 MB", "640 KB", "12 bytes": sizes in units of 1024 for the status line.
std::string byteSizeText(std::uint64_t bytes);

} // namespace k4m
