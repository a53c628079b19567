#pragma once

#include "platform/native_file.h"

#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace k4m {

// The run's log: log.txt, recreated at every start, UTF-8, each line exactly the caller's text plus CR LF and
// on disk as soon as the call returns; beside it the same lines in memory. Both threads write it: one lock
// keeps every line whole and the file and the list in the same order.
class Log {
public:
    Log() = default;
    ~Log();
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    // Creates the file empty, replacing an old one. A file that cannot be created leaves the log closed;
    // the failure is not reported (later writes fail instead).
    void open(const std::filesystem::path& path);
    // Writes one line. Throws LogError when the log is not open or the write fails; the line is then missing
    // from the list as well.
    void write(const std::string& text);
    // No line is written after this.
    void close();

    bool isOpen() const;
    std::vector<std::string> lines() const;

private:
    mutable std::mutex m_mutex;
    NativeFile m_file;
    std::vector<std::string> m_lines;
};

class LogError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace k4m
