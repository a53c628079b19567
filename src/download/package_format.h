#pragma once

#include "platform/native_file.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace k4m {

// A package file (".cxp4", or ".cxp3" for sounds only):
//   4 bytes   n, the manifest's length in bytes, a signed little-endian 32-bit integer
//   n bytes   the manifest: text lines "<entry path>~<compressed size>", the path with backslashes
//   the rest  the payload: one zlib stream for each entry whose data is read, back to back in manifest order
// Entries skipped before their data is read (outside "data\sounds\" in a sounds-only package, ".DS_Store")
// have no bytes in the payload.

class PackageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr std::string_view kSoundsPrefix = "data\\sounds\\";
inline constexpr std::string_view kFinderStoreFile = ".DS_Store";
// The size text of a manifest line is cut at this many characters.
inline constexpr size_t kMaxSizeText = 100;
// Larger manifests are refused: no real package comes near (a manifest of 2,000 entries is about 100 kB), and
// the manifest is the one part of a package held whole.
inline constexpr int64_t kMaxManifestBytes = 4 * 1024 * 1024;

struct PackageManifest {
    int64_t fileSize = 0;
    int64_t payloadStart = 0; // 4 + n
    std::string text;         // decoded to UTF-8
};

// Reads the length and the manifest of the open package `file` (from its start, the file's place left alone). Throws
// PackageError when the file is shorter than 4 bytes, or the length is negative, larger than kMaxManifestBytes or
// reaches beyond the end of the file, or the file cannot be read.
PackageManifest readPackageManifest(NativeFile& file);

// The lines of a manifest one at a time (at CR LF, LF or CR; a line break at the very end starts no line), so
// that a manifest of very many short lines costs no more memory than its text.
class ManifestLines {
public:
    explicit ManifestLines(std::string_view text) : m_text(text) {}
    bool next(std::string_view& line);

private:
    std::string_view m_text;
    size_t m_from = 0;
};

struct PackageHeader {
    int64_t fileSize = 0;
    int64_t payloadStart = 0;       // 4 + n
    std::vector<std::string> lines; // the manifest, decoded to UTF-8 and split into lines
};

// As readPackageManifest, with the manifest split into lines.
PackageHeader readPackageHeader(NativeFile& file);

// The manifest's lines from its bytes: a byte-order mark selects the encoding, otherwise UTF-8 when the bytes
// are valid UTF-8, otherwise Windows-1252; lines end at CR LF, LF or CR.
std::vector<std::string> manifestLines(std::string_view manifestBytes);

// The entry path of a manifest line: the text before the first "~" (empty when there is none).
std::string_view entryPathOf(std::string_view line);
// The size text of a manifest line: at most kMaxSizeText characters after the first "~" (the whole line when
// there is no "~").
std::string_view sizeTextOf(std::string_view line);
// The size text as a signed 32-bit decimal integer (leading blanks and a sign allowed); nullopt when it is not
// one.
std::optional<int32_t> parseEntrySize(std::string_view sizeText);

// The file name of an entry path: the text after its last backslash or slash.
std::string_view entryFileName(std::string_view entryPath);

// Whether an entry path may be joined to a destination folder: not empty, relative (no leading separator, no
// drive letter, no UNC prefix), no ".." component, and neither ":" nor a control character anywhere. Returns
// the reason when it may not, empty when it may.
std::string unsafeEntryPathReason(std::string_view entryPath);

} // namespace k4m
