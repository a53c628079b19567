#include "download/installed_file.h"

#include "core/archive_paths.h"
#include "download/package_installer.h"
#include "platform/atomic_file.h"
#include "platform/utf8_path.h"

#include <system_error>
#include <vector>

namespace k4m {

namespace fs = std::filesystem;

namespace {

constexpr size_t kChunk = 256 * 1024;

std::system_error failure(const std::error_code& error, const std::string& what) {
    return {error, what};
}

void removeQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

// A new file of mode 0644 that nobody else uses; never opened through a link.
NativeFile createNew(const fs::path& path) {
    NativeFile file = NativeFile::createNew(path, kDefaultFileMode);
    if (!file.isOpen()) throw failure(file.error(), "cannot create " + utf8Of(path));
    file.setMode(kDefaultFileMode);
    return file;
}

// Reads up to `size` bytes at `offset`; 0 at the end of the file.
size_t readSome(const NativeFile& file, char* out, size_t size, uint64_t offset) {
    std::error_code error;
    const long long n = file.readAt(out, size, offset, error);
    if (n < 0) throw failure(error, "cannot read");
    return static_cast<size_t>(n);
}

// Streams what `fill` gives into a temporary file beside `target` and renames it into place.
template <typename Fill> void writeBeside(const fs::path& target, Fill&& fill) {
    const fs::path tmp = temporarySibling(target);
    NativeFile file = createNew(tmp);
    try {
        fill(file);
        if (!file.close()) throw failure(file.error(), "cannot write " + utf8Of(target));
    } catch (...) {
        file.close();
        removeQuietly(tmp);
        throw;
    }
    std::error_code ec;
    fs::rename(tmp, target, ec);
    if (ec) {
        removeQuietly(tmp);
        throw failure(ec, "cannot write " + utf8Of(target));
    }
}

void copyAll(const NativeFile& from, NativeFile& to, const std::string& what) {
    std::vector<char> buffer(kChunk);
    uint64_t offset = 0;
    for (;;) {
        const size_t n = readSome(from, buffer.data(), buffer.size(), offset);
        if (n == 0) return;
        if (!to.writeAll({buffer.data(), n})) throw failure(to.error(), "cannot write " + what);
        offset += n;
    }
}

} // namespace

StagedFile::StagedFile(const std::string& folder) {
    const fs::path place = pathFromUtf8(folder);
    fs::create_directories(place);
    // Named like every temporary file of the manager, so that the start-up removes what a killed run left.
    m_path = temporarySibling(place / ".k4m-inflating");
    m_file = createNew(m_path);
}

StagedFile::~StagedFile() {
    m_file.close();
    if (!m_path.empty()) removeQuietly(m_path);
}

bool StagedFile::write(std::string_view bytes) {
    if (!m_file.isOpen()) return false;
    if (m_file.writeAll(bytes)) return true;
    m_error = "cannot write: " + m_file.error().message();
    return false;
}

bool StagedFile::finish() {
    if (m_file.close()) return true;
    m_error = "cannot write: " + m_file.error().message();
    return false;
}

void StagedFile::moveTo(const fs::path& target) {
    std::error_code ec;
    fs::rename(m_path, target, ec);
    if (!ec) {
        m_path.clear();
        return;
    }
    if (ec != std::errc::cross_device_link) throw failure(ec, "cannot write " + utf8Of(target));
    // A folder on the way is another file system: copy it over there first.
    const NativeFile from = NativeFile::openForReading(m_path);
    if (!from.isOpen()) throw failure(from.error(), "cannot read " + utf8Of(m_path));
    writeBeside(target, [&](NativeFile& to) { copyAll(from, to, utf8Of(target)); });
}

fs::path placeInside(const std::string& folder, const std::string& relative) {
    const fs::path place = pathFromUtf8(folder);
    fs::create_directories(place);
    return prepareInside(place, archiveEntryComponents(relative), false);
}

void copyIntoPlace(const NativeFile& from, const fs::path& target) {
    writeBeside(target, [&](NativeFile& to) { copyAll(from, to, utf8Of(target)); });
}

void writeMonoDerivative(const fs::path& source, const std::string& stagingFolder, const fs::path& target) {
    const NativeFile from = NativeFile::openForReading(source);
    if (!from.isOpen()) throw failure(from.error(), "cannot read " + utf8Of(source));
    StagedFile staged(stagingFolder);
    std::vector<char> in(kChunk);
    std::vector<char> out;
    out.reserve(kChunk / 2 + 2);
    uint64_t offset = 0;
    for (;;) {
        const size_t n = readSome(from, in.data(), in.size(), offset);
        if (n == 0) break;
        out.clear();
        // Bytes 0-1 of every four are kept; the phase carries over from one piece to the next.
        for (size_t i = 0; i < n; ++i)
            if (((offset + i) & 3) < 2) out.push_back(in[i]);
        if (!staged.write({out.data(), out.size()}))
            throw failure(staged.systemError(), "cannot write " + utf8Of(target));
        offset += n;
    }
    if (!staged.finish()) throw failure(staged.systemError(), "cannot write " + utf8Of(target));
    staged.moveTo(target);
}

std::string monoDerivativePath(const std::string& path) {
    std::string derived = path;
    if (const size_t s = derived.find(" _s"); s != std::string::npos) derived.replace(s, 3, " _c");
    if (const size_t cs = derived.find(" CS"); cs != std::string::npos) derived.erase(cs, 3);
    return derived;
}

} // namespace k4m
