#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

namespace k4m {

// What an open file is.
struct NativeFileInfo {
    bool regular = false;
    bool directory = false;
    std::uint64_t size = 0;
};

// One open file of the system, closed with the object. The ways of opening never follow a link in the last
// part of the path and never wait (a pipe planted at the name does not hold the call); a caller that wants a
// regular file checks info(). Nothing throws: a failed call answers false (or -1) and error() tells why.
class NativeFile {
public:
    NativeFile() = default;
    ~NativeFile() { close(); }
    NativeFile(NativeFile&& other) noexcept
        : m_handle(std::exchange(other.m_handle, kClosed)), m_error(other.m_error) {}
    NativeFile& operator=(NativeFile&& other) noexcept {
        if (this != &other) {
            close();
            m_handle = std::exchange(other.m_handle, kClosed);
            m_error = other.m_error;
        }
        return *this;
    }
    NativeFile(const NativeFile&) = delete;
    NativeFile& operator=(const NativeFile&) = delete;

    // An existing file, for reading.
    static NativeFile openForReading(const std::filesystem::path& path);
    // An existing file, for reading, reached through a link at the name too (a package the user keeps
    // elsewhere); still never waiting.
    static NativeFile openForReadingThroughLinks(const std::filesystem::path& path);
    // A file that must not exist yet (a link at the name counts as existing), for writing, with `mode` as the
    // umask leaves it where the system keeps modes (setMode gives the exact mode).
    static NativeFile createNew(const std::filesystem::path& path, std::filesystem::perms mode);

    // A file for writing from its start, created with `mode` (as the umask leaves it) when missing.
    static NativeFile openForWriting(const std::filesystem::path& path, std::filesystem::perms mode);

    bool isOpen() const { return m_handle != kClosed; }
    std::error_code error() const { return m_error; }
    // The open failed because nothing is at the path (or a folder on the way is missing).
    bool missing() const;
    // The creation failed because something (a file, a folder, a link) already has the name.
    bool nameTaken() const;

    std::optional<NativeFileInfo> info();
    // Up to `size` bytes from the current place; 0 at the end, -1 on an error.
    long long read(void* buffer, std::size_t size);
    // Up to `size` bytes at `offset`, the current place left alone; 0 at the end, -1 on an error (`error` says
    // why). Several threads may read one file at once.
    long long readAt(void* buffer, std::size_t size, std::uint64_t offset, std::error_code& error) const;
    bool writeAll(std::string_view bytes);
    bool truncate(std::uint64_t size);
    bool setMode(std::filesystem::perms mode);
    // The last-modified time of `source` on this file (where the system keeps it).
    bool copyModifiedTime(const NativeFile& source);
    bool flushToDisk();
    // Closes now and tells whether the system took the last writes.
    bool close();

private:
    using Handle = std::intptr_t;
    static constexpr Handle kClosed = -1;
    explicit NativeFile(Handle handle) : m_handle(handle) {}
    bool fail();

    Handle m_handle = kClosed;
    std::error_code m_error;
};

// What the system knows a file or folder as, whatever its name: equal for two names of one folder.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the folder at `path` itself (a link is not looked through); nothing when no folder is there.
std::optional<FileIdentity> folderIdentity(const std::filesystem::path& path);

// Whether `path` itself is a symbolic link (or, on Windows, any reparse point: a junction leads elsewhere just
// the same).
bool isSymlink(const std::filesystem::path& path);

// This process's number, and whether a process of that number is known to be gone.
long currentProcessId();
bool processGone(long pid);

} // namespace k4m
