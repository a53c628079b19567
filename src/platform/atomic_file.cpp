#include "platform/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace k4m {

namespace {

std::system_error lastError(const std::string& what) {
    return {errno, std::generic_category(), what};
}

std::system_error errorOf(int code, const std::string& what) {
    return {code, std::generic_category(), what};
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { ::close(m_fd); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

bool isSymlink(const std::filesystem::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

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

std::filesystem::path temporarySibling(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path tmp = target;
    tmp += "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + ".tmp";
    return tmp;
}

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes, std::filesystem::perms mode) {
    // Without a name the temporary file would land in whatever folder happens to be current.
    if (path.empty()) throw errorOf(ENOENT, "no file name to write to");
    // A link planted after this check is still never written through: the rename replaces the link itself.
    if (isSymlink(path)) throw errorOf(ELOOP, "refusing to replace the symbolic link " + path.string());
    const std::filesystem::path tmp = temporarySibling(path);
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, static_cast<mode_t>(mode));
    if (fd < 0) throw lastError("cannot create " + tmp.string());
    try {
        if (!writeFully(fd, bytes)) throw lastError("cannot write " + tmp.string());
        // The umask may have removed bits the caller asked for (a program must stay executable).
        if (::fchmod(fd, static_cast<mode_t>(mode)) != 0) throw lastError("cannot set mode of " + tmp.string());
        if (::fsync(fd) != 0) throw lastError("cannot flush " + tmp.string());
    } catch (...) {
        ::close(fd);
        ::unlink(tmp.c_str());
        throw;
    }
    if (::close(fd) != 0) {
        const auto error = lastError("cannot close " + tmp.string());
        ::unlink(tmp.c_str());
        throw error;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const auto error = lastError("cannot replace " + path.string());
        ::unlink(tmp.c_str());
        throw error;
    }
}

std::optional<std::string> readRegularFile(const std::filesystem::path& path, std::uintmax_t maxBytes) {
    // O_NONBLOCK keeps a FIFO planted at the path from holding the open until someone writes to it; it is refused
    // below like every other file that is not a regular one.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) return std::nullopt;
        if (error == ELOOP && isSymlink(path)) throw errorOf(ELOOP, path.string() + " is a symbolic link");
        throw errorOf(error, "cannot open " + path.string());
    }
    const FileDescriptor file(fd);
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) throw lastError("cannot examine " + path.string());
    if (S_ISDIR(st.st_mode)) throw errorOf(EISDIR, path.string() + " is a folder");
    if (!S_ISREG(st.st_mode)) throw errorOf(EINVAL, path.string() + " is not a regular file");
    const std::string tooLarge = path.string() + " is too large (more than " + std::to_string(maxBytes) + " bytes)";
    if (static_cast<std::uintmax_t>(st.st_size) > maxBytes) throw errorOf(EFBIG, tooLarge);

    std::string bytes;
    bytes.reserve(static_cast<size_t>(st.st_size));
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw lastError("cannot read " + path.string());
        }
        if (n == 0) break;
        // The file may grow while it is read.
        if (bytes.size() + static_cast<size_t>(n) > maxBytes) throw errorOf(EFBIG, tooLarge);
        bytes.append(buffer, static_cast<size_t>(n));
    }
    return bytes;
}

} // namespace k4m
