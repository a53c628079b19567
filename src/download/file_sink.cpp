#include "download/file_sink.h"

#include "platform/atomic_file.h" // kDefaultFileMode

namespace k4m {

namespace fs = std::filesystem;

namespace {
constexpr size_t kBufferSize = 256 * 1024; // small enough to stay in the processor's cache

void removeQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}
} // namespace

fs::path FileSink::partPath(const fs::path& target) {
    fs::path part = target;
    part += ".part";
    return part;
}

FileSink::FileSink(fs::path target) : m_target(std::move(target)), m_part(partPath(m_target)) {
    // The partial name is ours alone: whatever lies there (a piece of an earlier download, a link, a pipe that
    // would block the open for ever) is removed, and the file is created new, never written through a link.
    removeQuietly(m_part);
    m_file = NativeFile::createNew(m_part, kDefaultFileMode);
    if (m_file.isOpen()) m_buffer.reserve(kBufferSize);
}

FileSink::~FileSink() {
    discard();
}

bool FileSink::flush() {
    if (!m_file.writeAll(std::string_view(m_buffer.data(), m_buffer.size()))) return false;
    m_buffer.clear();
    return true;
}

bool FileSink::write(std::string_view data) {
    if (!m_file.isOpen() || m_failed) return false;
    if (m_buffer.size() + data.size() > kBufferSize && !flush()) {
        m_failed = true;
        return false;
    }
    if (m_buffer.empty() && data.size() >= kBufferSize / 4) {
        // Large pieces go straight to the file, without a copy.
        if (!m_file.writeAll(data)) m_failed = true;
        if (!m_failed) m_size += static_cast<int64_t>(data.size());
        return !m_failed;
    }
    m_buffer.insert(m_buffer.end(), data.begin(), data.end());
    m_size += static_cast<int64_t>(data.size());
    return true;
}

bool FileSink::finish() {
    if (m_finished) return true;
    if (!m_file.isOpen() || m_failed || !flush()) {
        discard();
        return false;
    }
    if (!m_file.close()) {
        removeQuietly(m_part);
        return false;
    }
    m_finished = true;
    return true;
}

bool FileSink::commit() {
    if (!finish()) return false;
    m_finished = false;
    std::error_code ec;
    fs::rename(m_part, m_target, ec);
    if (ec) {
        removeQuietly(m_part);
        return false;
    }
    return true;
}

void FileSink::discard() {
    if (m_file.isOpen()) {
        m_file.close();
        removeQuietly(m_part);
    } else if (m_finished) {
        m_finished = false;
        removeQuietly(m_part);
    }
}

} // namespace k4m
