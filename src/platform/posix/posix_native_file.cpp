#include "platform/native_file.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace k4m {

namespace {

int fdOf(std::intptr_t handle) {
    return static_cast<int>(handle);
}

std::error_code lastError() {
    return {errno, std::generic_category()};
}

} // namespace

bool NativeFile::missing() const {
    return m_error.value() == ENOENT || m_error.value() == ENOTDIR;
}

bool NativeFile::nameTaken() const {
    return m_error.value() == EEXIST;
}

bool NativeFile::fail() {
    m_error = lastError();
    return false;
}

NativeFile NativeFile::openForReading(const std::filesystem::path& path) {
    NativeFile file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.isOpen()) file.m_error = lastError();
    return file;
}

NativeFile NativeFile::openForReadingThroughLinks(const std::filesystem::path& path) {
    NativeFile file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.isOpen()) file.m_error = lastError();
    return file;
}

NativeFile NativeFile::createNew(const std::filesystem::path& path, std::filesystem::perms mode) {
    NativeFile file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                           static_cast<mode_t>(mode)));
    if (!file.isOpen()) file.m_error = lastError();
    return file;
}

NativeFile NativeFile::openForWriting(const std::filesystem::path& path, std::filesystem::perms mode) {
    NativeFile file(::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                           static_cast<mode_t>(mode)));
    if (!file.isOpen()) file.m_error = lastError();
    return file;
}

std::optional<NativeFileInfo> NativeFile::info() {
    struct stat st {};
    if (::fstat(fdOf(m_handle), &st) != 0) {
        fail();
        return std::nullopt;
    }
    return NativeFileInfo{S_ISREG(st.st_mode), S_ISDIR(st.st_mode), static_cast<std::uint64_t>(st.st_size)};
}

long long NativeFile::read(void* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fdOf(m_handle), buffer, size);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        fail();
        return -1;
    }
}

long long NativeFile::readAt(void* buffer, std::size_t size, std::uint64_t offset, std::error_code& error) const {
    for (;;) {
        const ssize_t n = ::pread(fdOf(m_handle), buffer, size, static_cast<off_t>(offset));
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        error = lastError();
        return -1;
    }
}

bool NativeFile::writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fdOf(m_handle), bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail();
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool NativeFile::truncate(std::uint64_t size) {
    return ::ftruncate(fdOf(m_handle), static_cast<off_t>(size)) == 0 || fail();
}

bool NativeFile::setMode(std::filesystem::perms mode) {
    return ::fchmod(fdOf(m_handle), static_cast<mode_t>(mode)) == 0 || fail();
}

bool NativeFile::copyModifiedTime(const NativeFile& source) {
    struct stat st {};
    if (::fstat(fdOf(source.m_handle), &st) != 0) return fail();
    const struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    return ::futimens(fdOf(m_handle), times) == 0 || fail();
}

bool NativeFile::flushToDisk() {
    return ::fsync(fdOf(m_handle)) == 0 || fail();
}

bool NativeFile::close() {
    if (!isOpen()) return true;
    const int rc = ::close(fdOf(m_handle));
    m_handle = kClosed;
    return rc == 0 || fail();
}

std::optional<FileIdentity> folderIdentity(const std::filesystem::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool isSymlink(const std::filesystem::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

long currentProcessId() {
    return static_cast<long>(::getpid());
}

bool processGone(long pid) {
    return pid != currentProcessId() && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

} // namespace k4m
