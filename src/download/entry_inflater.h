#pragma once

#include "download/package_installer.h"
#include "platform/native_file.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace k4m {

// The most bytes one entry may inflate to.
inline constexpr uint64_t kMaxEntryBytes = uint64_t{4} << 30;

struct InflateOutcome {
    std::string error; // empty when the stream inflated whole, ending exactly at its compressed size
    uint64_t bytes = 0; // inflated bytes passed on
};

// Inflates the zlib stream of `size` bytes at `offset` of the open `file`, reading and passing on at most a few
// hundred kilobytes at a time; `out` receives the inflated bytes in order. The stream must end exactly at its
// last byte with a correct Adler-32 and inflate to at most kMaxEntryBytes. The error texts are zlib's, whichever
// inflater ran, so a broken entry reads the same everywhere. When `abandoned` turns true the inflation stops
// early with an error.
InflateOutcome inflateEntry(const NativeFile& file, int64_t offset, int64_t size, Inflater inflater,
                            const std::function<void(std::string_view)>& out, const std::atomic<bool>& abandoned);

} // namespace k4m
