#include "download/file_sink.h"

#include "platform/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace k4m {

namespace fs = std::filesystem;

namespace {
constexpr size_t kBufferSize = 256 * 1024; // small enough to stay in the processor's cache
}

fs::path FileSink::partPath(const fs::path& target) {
    fs::path part = target;
    part += ".part";
    return part;
}

FileSink::FileSink(fs::path target) : m_target(std::move(target)), m_part(partPath(m_target)) {
    // The partial name is ours alone: whatever lies there (a piece of an earlier download, a link, a pipe that
    // would block the open for ever) is removed, and the file is created new, never written through a link.
    ::unlink(m_part.c_str());
    m_fd = ::open(m_part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (m_fd >= 0) m_buffer.reserve(kBufferSize);
}

FileSink::~FileSink() {
    discard();
}

bool FileSink::flush() {
    if (!writeFully(m_fd, std::string_view(m_buffer.data(), m_buffer.size()))) return false;
    m_buffer.clear();
    return true;
}

bool FileSink::write(std::string_view data) {
    if (m_fd < 0 || m_failed) return false;
    if (m_buffer.size() + data.size() > kBufferSize && !flush()) {
        m_failed = true;
        return false;
    }
    if (m_buffer.empty() && data.size() >= kBufferSize / 4) {
        // Large pieces go straight to the file, without a copy.
        if (!writeFully(m_fd, data)) m_failed = true;
        if (!m_failed) m_size += static_cast<int64_t>(data.size());
        return !m_failed;
    }
    m_buffer.insert(m_buffer.end(), data.begin(), data.end());
    m_size += static_cast<int64_t>(data.size());
    return true;
}

bool FileSink::finish() {
    if (m_finished) return true;
    if (m_fd < 0 || m_failed || !flush()) {
        discard();
        return false;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        ::unlink(m_part.c_str());
        return false;
    }
    m_finished = true;
    return true;
}

bool FileSink::commit() {
    if (!finish()) return false;
    m_finished = false;
    if (::rename(m_part.c_str(), m_target.c_str()) != 0) {
        ::unlink(m_part.c_str());
        return false;
    }
    return true;
}

void FileSink::discard() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
        ::unlink(m_part.c_str());
    } else if (m_finished) {
        m_finished = false;
        ::unlink(m_part.c_str());
    }
}

} // namespace k4m
