#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace k4m {

// Receives a download into "<target>.part" and renames it to `target` only when commit() is called after
// the transfer completed; a sink destroyed without commit removes the partial file, so nothing ever exists
// under the final name unless it is whole.
class FileSink {
public:
    explicit FileSink(std::filesystem::path target);
    ~FileSink();
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    bool ok() const { return m_fd >= 0; }
    bool write(std::string_view data);
    // Writes what is buffered, closes and renames into place; false when any of that failed.
    bool commit();

    static std::filesystem::path partPath(const std::filesystem::path& target);

private:
    bool flush();
    void discard();

    std::filesystem::path m_target;
    std::filesystem::path m_part;
    int m_fd = -1;
    bool m_failed = false;
    std::vector<char> m_buffer;
};

} // namespace k4m
