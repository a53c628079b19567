#include "download/installed_file.h"

#include "core/archive_paths.h"
#include "download/package_installer.h"
#include "platform/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace k4m {

namespace fs = std::filesystem;

namespace {

constexpr size_t kChunk = 256 * 1024;

std::system_error lastError(const std::string& what) {
    return {errno, std::generic_category(), what};
}

// Writes all of `bytes` to `fd`, going on after interruptions; false (errno set) when the system refuses.
bool writeFully(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// A new file of mode 0644 that nobody else uses; never opened through a link.
int createNew(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) throw lastError("cannot create " + path.string());
    ::fchmod(fd, 0644);
    return fd;
}

// Reads up to `size` bytes at `offset`; 0 at the end of the file.
size_t readSome(int fd, char* out, size_t size, off_t offset) {
    for (;;) {
        const ssize_t n = ::pread(fd, out, size, offset);
        if (n >= 0) return static_cast<size_t>(n);
        if (errno != EINTR) throw lastError("cannot read");
    }
}

// Streams what `fill` gives into a temporary file beside `target` and renames it into place.
template <typename Fill> void writeBeside(const fs::path& target, Fill&& fill) {
    const fs::path tmp = temporarySibling(target);
    const int fd = createNew(tmp);
    try {
        fill(fd);
        if (::close(fd) != 0) {
            ::unlink(tmp.c_str());
            throw lastError("cannot write " + target.string());
        }
    } catch (...) {
        ::close(fd);
        ::unlink(tmp.c_str());
        throw;
    }
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        const std::system_error error = lastError("cannot write " + target.string());
        ::unlink(tmp.c_str());
        throw error;
    }
}

void copyAll(int from, int to, const std::string& what) {
    std::vector<char> buffer(kChunk);
    off_t offset = 0;
    for (;;) {
        const size_t n = readSome(from, buffer.data(), buffer.size(), offset);
        if (n == 0) return;
        if (!writeFully(to, {buffer.data(), n})) throw lastError("cannot write " + what);
        offset += static_cast<off_t>(n);
    }
}

} // namespace

StagedFile::StagedFile(const std::string& folder) {
    fs::create_directories(folder);
    // Named like every temporary file of the manager, so that the start-up removes what a killed run left.
    m_path = temporarySibling(fs::path(folder) / ".k4m-inflating");
    m_fd = createNew(m_path);
}

StagedFile::~StagedFile() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_path.empty()) ::unlink(m_path.c_str());
}

bool StagedFile::write(std::string_view bytes) {
    if (m_fd < 0) return false;
    if (writeFully(m_fd, bytes)) return true;
    m_error = std::string("cannot write: ") + std::strerror(errno);
    return false;
}

bool StagedFile::finish() {
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) == 0) return true;
    m_error = std::string("cannot write: ") + std::strerror(errno);
    return false;
}

void StagedFile::moveTo(const fs::path& target) {
    if (::rename(m_path.c_str(), target.c_str()) == 0) {
        m_path.clear();
        return;
    }
    if (errno != EXDEV) throw lastError("cannot write " + target.string());
    // A folder on the way is another file system: copy it over there first.
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) throw lastError("cannot read " + m_path.string());
    try {
        writeBeside(target, [&](int to) { copyAll(fd, to, target.string()); });
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
}

fs::path placeInside(const std::string& folder, const std::string& relative) {
    fs::create_directories(folder);
    return prepareInside(folder, archiveEntryComponents(relative), false);
}

void copyIntoPlace(int fd, const fs::path& target) {
    writeBeside(target, [&](int to) { copyAll(fd, to, target.string()); });
}

void writeMonoDerivative(const fs::path& source, const std::string& stagingFolder, const fs::path& target) {
    const int from = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (from < 0) throw lastError("cannot read " + source.string());
    try {
        StagedFile staged(stagingFolder);
        std::vector<char> in(kChunk);
        std::vector<char> out;
        out.reserve(kChunk / 2 + 2);
        off_t offset = 0;
        for (;;) {
            const size_t n = readSome(from, in.data(), in.size(), offset);
            if (n == 0) break;
            out.clear();
            // Bytes 0-1 of every four are kept; the phase carries over from one piece to the next.
            for (size_t i = 0; i < n; ++i)
                if (((static_cast<uint64_t>(offset) + i) & 3) < 2) out.push_back(in[i]);
            if (!staged.write({out.data(), out.size()})) throw lastError("cannot write " + target.string());
            offset += static_cast<off_t>(n);
        }
        if (!staged.finish()) throw lastError("cannot write " + target.string());
        staged.moveTo(target);
    } catch (...) {
        ::close(from);
        throw;
    }
    ::close(from);
}

std::string monoDerivativePath(const std::string& path) {
    std::string derived = path;
    if (const size_t s = derived.find(" _s"); s != std::string::npos) derived.replace(s, 3, " _c");
    if (const size_t cs = derived.find(" CS"); cs != std::string::npos) derived.erase(cs, 3);
    return derived;
}

} // namespace k4m
