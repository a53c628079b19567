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

} // namespace

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
    const std::filesystem::path tmp = temporarySibling(path);
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
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

} // namespace k4m
