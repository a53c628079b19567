#include "core/log.h"

#include "platform/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace k4m {

Log::~Log() {
    close();
}

void Log::open(const std::filesystem::path& path) {
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0) ::close(m_fd);
    m_lines.clear();
    // Never through a symbolic link (it could aim the log at another file of the user's), and only into a
    // regular file: a pipe planted under the name would block the start for ever.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return;
    }
    m_fd = fd;
}

void Log::write(const std::string& text) {
    std::lock_guard lock(m_mutex);
    if (m_fd < 0) throw LogError("I/O error 103: the log file is not open");
    // One write call per line: the line reaches the system whole, and survives a crash of the program.
    if (!writeFully(m_fd, text + "\r\n"))
        throw LogError(std::string("I/O error writing the log: ") + std::strerror(errno));
    m_lines.push_back(text);
}

void Log::close() {
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool Log::isOpen() const {
    std::lock_guard lock(m_mutex);
    return m_fd >= 0;
}

std::vector<std::string> Log::lines() const {
    std::lock_guard lock(m_mutex);
    return m_lines;
}

} // namespace k4m
