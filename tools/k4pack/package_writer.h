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
    int64_t entries = 0;
    int64_t inputBytes = 0;
    int64_t packageBytes = 0;
};

// Packs every regular file under `folder` (sorted by path, entry paths relative to `folder` with backslashes)
// into the package file `package`, streaming: memory stays small whatever the sizes. Symbolic links and other
// non-regular files are left out; a ".DS_Store" file gets its manifest line but no data, as the installer reads
// none. The package appears under its name only when complete. Throws std::runtime_error on failure.
BuildReport buildPackage(const std::filesystem::path& folder, const std::filesystem::path& package,
                         const BuildOptions& options = {});

} // namespace k4m::pack
