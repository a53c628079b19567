#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace k4m::pack {

// A zlib stream (header, deflate data, Adler-32) of `data`.
std::string zlibStream(std::string_view data, int level = 6);

// One manifest line and the payload bytes that follow for it (empty for a line the installer skips before it
// reads data, or for a line that lies about its data).
struct RawEntry {
    std::string line;
    std::string stream;
};

// A well-formed entry: "<path>~<size of the stream>" and the zlib stream of `data`. `path` uses backslashes.
RawEntry entry(const std::string& path, std::string_view data, int level = 6);
// A manifest line without payload bytes.
RawEntry lineOnly(const std::string& line);

// The bytes of a package made of exactly these parts: the 4-byte manifest length, `manifestPrefix` (a byte-order
// mark, say) and the lines joined by CR LF, then the streams back to back. For tests and tools that need exact
// control: lying sizes, broken streams, truncated payloads.
std::string rawPackage(const std::vector<RawEntry>& entries, std::string_view manifestPrefix = {});

struct BuildOptions {
    int level = 6;           // zlib level 0 to 9
    bool soundsOnly = false; // only entries under "data\sounds\" (a ".cxp3")
    int threads = 0;         // 0: one for each processor core
};

struct BuildReport {
    int64_t entries = 0;    // manifest lines
    int64_t inputBytes = 0; // bytes read from the source files
    int64_t packageBytes = 0;
};

// One entry of a package and the file its data comes from.
struct SourceFile {
    std::string entryPath; // backslashes between folders
    std::filesystem::path file;
};

// The regular files under `folder` as entries, sorted by entry path: the path relative to `folder` with
// backslashes. Symbolic links and other non-regular files are left out, and so is `skip` (the package being
// written, when it lies inside the folder). Throws std::runtime_error for a file name that cannot be an entry
// (one holding a backslash, a "~", a ":" or a control character).
std::vector<SourceFile> folderEntries(const std::filesystem::path& folder, const std::filesystem::path& skip = {});

// Packs `entries`, in the order given, into the package file `package`, streaming: memory stays small whatever
// the sizes. Entries are deflated side by side (options.threads), and the same entries give the same bytes
// whatever the number of threads. With options.soundsOnly only entries under "data\sounds\" are packed. A
// ".DS_Store" entry gets its manifest line but no data, as the installer reads none. The package appears under
// its name only when complete; after a failure nothing is left under it or beside it. Throws
// std::runtime_error on failure, also for an entry path the manager would refuse or misread, an entry path given
// twice, a stream over 2 GB or a manifest over 4 MB.
BuildReport buildPackage(const std::vector<SourceFile>& entries, const std::filesystem::path& package,
                         const BuildOptions& options = {});

// Packs every file of folderEntries(folder, package) into the package file `package`, as above.
BuildReport buildPackage(const std::filesystem::path& folder, const std::filesystem::path& package,
                         const BuildOptions& options = {});

} // namespace k4m::pack
