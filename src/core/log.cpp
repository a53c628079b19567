#include "core/log.h"

#include "platform/atomic_file.h" // kDefaultFileMode

namespace k4m {

Log::~Log() {
    close();
}

void Log::open(const std::filesystem::path& path) {
    std::lock_guard lock(m_mutex);
    m_file = NativeFile();
    m_lines.clear();
    // Never through a symbolic link (it could aim the log at another file of the user's), and only into a
    // regular file: a pipe planted under the name would block the start for ever.
    NativeFile file = NativeFile::openForWriting(path, kDefaultFileMode);
    if (!file.isOpen()) return;
    const auto info = file.info();
    if (!info || !info->regular || !file.truncate(0)) return;
    m_file = std::move(file);
}

void Log::write(const std::string& text) {
    std::lock_guard lock(m_mutex);
    if (!m_file.isOpen()) throw LogError("I/O error 103: the log file is not open");
    // One write call per line: the line reaches the system whole, and survives a crash of the program.
    if (!m_file.writeAll(text + "\r\n"))
        throw LogError("I/O error writing the log: " + m_file.error().message());
    m_lines.push_back(text);
}

void Log::close() {
    std::lock_guard lock(m_mutex);
    m_file.close();
}

bool Log::isOpen() const {
    std::lock_guard lock(m_mutex);
    return m_file.isOpen();
}

std::vector<std::string> Log::lines() const {
    std::lock_guard lock(m_mutex);
    return m_lines;
}

} // namespace k4m
