#pragma once

#include "platform/native_file.h"

#include <cstdint>
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

    bool ok() const { return m_file.isOpen(); }
    bool write(std::string_view data);
    // Bytes taken by write() so far: the size the file has once finished.
    int64_t size() const { return m_size; }
    // Writes what is buffered and closes the file, which stays under the partial name until commit() (or goes
    // when the sink is destroyed), so its size and bytes can be checked first; false when any of that failed.
    bool finish();
    // Finishes the file if that was not done yet and renames it into place; false when any of that failed.
    bool commit();

    static std::filesystem::path partPath(const std::filesystem::path& target);

private:
    bool flush();
    void discard();

    std::filesystem::path m_target;
    std::filesystem::path m_part;
    NativeFile m_file;
    bool m_finished = false; // closed, still under the partial name
    bool m_failed = false;
    int64_t m_size = 0;
    std::vector<char> m_buffer;
};

} // namespace k4m
