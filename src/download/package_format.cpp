#include "download/package_format.h"

#include "core/text_decoding.h"
#include "core/text_file.h"


namespace k4m {

namespace {

// Reads exactly `size` bytes at `offset`; false at an early end of the file.
bool readAt(const NativeFile& file, char* out, size_t size, int64_t offset) {
    while (size > 0) {
        std::error_code error;
        const long long n = file.readAt(out, size, static_cast<uint64_t>(offset), error);
        if (n < 0) throw PackageError("cannot read the package: " + error.message());
        if (n == 0) return false;
        out += n;
        size -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

} // namespace

PackageManifest readPackageManifest(NativeFile& file) {
    const std::optional<NativeFileInfo> info = file.info();
    if (!info) throw PackageError("cannot read the package: " + file.error().message());
    if (!info->regular) throw PackageError("the package is not a regular file");
    PackageManifest manifest;
    manifest.fileSize = static_cast<int64_t>(info->size);
    unsigned char length[4];
    if (!readAt(file, reinterpret_cast<char*>(length), 4, 0))
        throw PackageError("the package is shorter than its manifest length");
    const auto n = static_cast<int32_t>(static_cast<uint32_t>(length[0]) | static_cast<uint32_t>(length[1]) << 8 |
                                        static_cast<uint32_t>(length[2]) << 16 | static_cast<uint32_t>(length[3]) << 24);
    if (n < 0) throw PackageError("the manifest length " + std::to_string(n) + " is negative");
    if (n > kMaxManifestBytes) throw PackageError("the manifest length " + std::to_string(n) + " is too large");
    if (4 + static_cast<int64_t>(n) > manifest.fileSize)
        throw PackageError("the manifest length " + std::to_string(n) + " reaches beyond the end of the package");
    std::string bytes(static_cast<size_t>(n), '\0');
    if (!readAt(file, bytes.data(), bytes.size(), 4)) throw PackageError("the package ended inside its manifest");
    manifest.payloadStart = 4 + static_cast<int64_t>(n);
    manifest.text = decodeText(bytes);
    return manifest;
}

bool ManifestLines::next(std::string_view& line) {
    if (m_from >= m_text.size()) return false;
    const size_t end = m_text.find_first_of("\r\n", m_from);
    if (end == std::string_view::npos) {
        line = m_text.substr(m_from);
        m_from = m_text.size();
        return true;
    }
    line = m_text.substr(m_from, end - m_from);
    m_from = end + ((m_text[end] == '\r' && end + 1 < m_text.size() && m_text[end + 1] == '\n') ? 2 : 1);
    return true;
}

PackageHeader readPackageHeader(NativeFile& file) {
    PackageManifest manifest = readPackageManifest(file);
    PackageHeader header;
    header.fileSize = manifest.fileSize;
    header.payloadStart = manifest.payloadStart;
    header.lines = splitLines(manifest.text);
    return header;
}

std::vector<std::string> manifestLines(std::string_view manifestBytes) {
    return splitLines(decodeText(manifestBytes));
}

std::string_view entryPathOf(std::string_view line) {
    const size_t tilde = line.find('~');
    return tilde == std::string_view::npos ? std::string_view{} : line.substr(0, tilde);
}

std::string_view sizeTextOf(std::string_view line) {
    const size_t tilde = line.find('~');
    const std::string_view rest = tilde == std::string_view::npos ? line : line.substr(tilde + 1);
    return rest.substr(0, kMaxSizeText);
}

std::optional<int32_t> parseEntrySize(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<int64_t>(INT32_MAX) + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
    return static_cast<int32_t>(value);
}

std::string_view entryFileName(std::string_view entryPath) {
    const size_t last = entryPath.find_last_of("\\/");
    return last == std::string_view::npos ? entryPath : entryPath.substr(last + 1);
}

std::string unsafeEntryPathReason(std::string_view path) {
    if (path.empty()) return "the entry has no path";
    if (isSeparator(path.front())) return "the entry path is absolute";
    for (const char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return "the entry path holds a control character";
        if (c == ':') return "the entry path holds a drive or stream name";
    }
    size_t from = 0;
    while (from <= path.size()) {
        size_t end = from;
        while (end < path.size() && !isSeparator(path[end])) ++end;
        const std::string_view part = path.substr(from, end - from);
        // Windows drops the trailing dots and blanks of a name, so "..." and ".. " are ".." there too.
        if (part.size() >= 2 && part.find_first_not_of(". ") == std::string_view::npos)
            return "the entry path leaves its folder";
        if (end == path.size()) break;
        from = end + 1;
    }
    if (isSeparator(path.back())) return "the entry path names no file";
    return {};
}

} // namespace k4m
