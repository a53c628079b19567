#include "platform/native_file.h"

#include <windows.h>

#include <cwctype>
#include <string>
#include <string_view>

namespace k4m {

namespace {

HANDLE handleOf(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::error_code lastError() {
    return {static_cast<int>(::GetLastError()), std::system_category()};
}

bool startsWith(const std::wstring& text, std::wstring_view prefix) {
    return text.size() >= prefix.size() &&
           ::CompareStringOrdinal(text.data(), static_cast<int>(prefix.size()), prefix.data(),
                                  static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

// Whether "\\server\share\..." (after `at`) names the pipe or mailslot share of a server.
bool pipeShare(const std::wstring& full, size_t at) {
    const size_t server = full.find(L'\\', at);
    if (server == std::wstring::npos) return false;
    const std::wstring share = full.substr(server + 1, full.find(L'\\', server + 1) - server - 1);
    return ::CompareStringOrdinal(share.c_str(), -1, L"pipe", -1, TRUE) == CSTR_EQUAL ||
           ::CompareStringOrdinal(share.c_str(), -1, L"mailslot", -1, TRUE) == CSTR_EQUAL;
}

// Whether the system would open `path` as something other than a file or folder on a disk: a device (its
// reserved names, "NUL", "COM1", "CON", count in any folder and, on most versions, with any extension:
// "C:\data\nul.txt" is the null device) or a pipe, whose server would be reached by the mere opening and
// could act with this program's rights. The system's own name conversion decides, as it does for the open.
bool namesDeviceOrPipe(const std::filesystem::path& path) {
    const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return false; // an unusable name: the open reports it
    std::wstring full(needed, L'\0');
    full.resize(::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr));
    const bool local = startsWith(full, L"\\\\.\\") || startsWith(full, L"\\\\?\\");
    if (local) {
        // A drive or a volume in the long form is a disk; a share in the long form is checked as a share.
        const bool drive = full.size() >= 7 && std::iswalpha(full[4]) && full[5] == L':' && full[6] == L'\\';
        if (drive || startsWith(full, L"\\\\?\\Volume{")) return false;
        if (startsWith(full, L"\\\\?\\UNC\\")) return pipeShare(full, 8);
        return true;
    }
    return startsWith(full, L"\\\\") && pipeShare(full, 2);
}

// Readers and writers of other processes are not locked out, and the file can be renamed or removed while open,
// as on POSIX. A link (any reparse point) is opened as itself, never followed.
// A folder opens too (so that it can be told apart), never for writing.
HANDLE openHandle(const std::filesystem::path& path, DWORD access, DWORD disposition,
                  DWORD links = FILE_FLAG_OPEN_REPARSE_POINT) {
    if (namesDeviceOrPipe(path)) {
        ::SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    return ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         disposition, FILE_ATTRIBUTE_NORMAL | links | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// A file opened for writing is one on a disk: whatever else answered the name is closed again unwritten.
HANDLE onDisk(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) == FILE_TYPE_DISK) return handle;
    ::CloseHandle(handle);
    ::SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
}

} // namespace

bool NativeFile::missing() const {
    return m_error.value() == ERROR_FILE_NOT_FOUND || m_error.value() == ERROR_PATH_NOT_FOUND;
}

bool NativeFile::nameTaken() const {
    return m_error.value() == ERROR_FILE_EXISTS || m_error.value() == ERROR_ALREADY_EXISTS;
}

bool NativeFile::fail() {
    m_error = lastError();
    return false;
}

NativeFile NativeFile::openForReading(const std::filesystem::path& path) {
    const HANDLE handle = openHandle(path, GENERIC_READ, OPEN_EXISTING);
    NativeFile file(handle == INVALID_HANDLE_VALUE ? kClosed : reinterpret_cast<Handle>(handle));
    if (!file.isOpen()) file.m_error = lastError();
    return file;
}

NativeFile NativeFile::openForReadingThroughLinks(const std::filesystem::path& path) {
    const HANDLE handle = openHandle(path, GENERIC_READ, OPEN_EXISTING, 0);
    NativeFile file(handle == INVALID_HANDLE_VALUE ? kClosed : reinterpret_cast<Handle>(handle));
    if (!file.isOpen()) file.m_error = lastError();
    return file;
}

NativeFile NativeFile::createNew(const std::filesystem::path& path, std::filesystem::perms) {
    // Windows keeps no mode bits; a program file is one by its name.
    const HANDLE handle = onDisk(openHandle(path, GENERIC_READ | GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, CREATE_NEW));
    NativeFile file(handle == INVALID_HANDLE_VALUE ? kClosed : reinterpret_cast<Handle>(handle));
    if (!file.isOpen()) file.m_error = lastError();
    return file;
}

NativeFile NativeFile::openForWriting(const std::filesystem::path& path, std::filesystem::perms) {
    const HANDLE handle = onDisk(openHandle(path, GENERIC_WRITE, OPEN_ALWAYS));
    NativeFile file(handle == INVALID_HANDLE_VALUE ? kClosed : reinterpret_cast<Handle>(handle));
    if (!file.isOpen()) file.m_error = lastError();
    return file;
}

std::optional<NativeFileInfo> NativeFile::info() {
    BY_HANDLE_FILE_INFORMATION data{};
    if (!::GetFileInformationByHandle(handleOf(m_handle), &data)) {
        fail();
        return std::nullopt;
    }
    NativeFileInfo result;
    const bool reparse = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    result.directory = !reparse && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    result.regular = !reparse && !result.directory && ::GetFileType(handleOf(m_handle)) == FILE_TYPE_DISK;
    result.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return result;
}

long long NativeFile::read(void* buffer, std::size_t size) {
    DWORD got = 0;
    const DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    if (!::ReadFile(handleOf(m_handle), buffer, want, &got, nullptr)) {
        if (::GetLastError() == ERROR_HANDLE_EOF || ::GetLastError() == ERROR_BROKEN_PIPE) return 0;
        fail();
        return -1;
    }
    return got;
}

long long NativeFile::readAt(void* buffer, std::size_t size, std::uint64_t offset, std::error_code& error) const {
    // A handle opened for waiting reads takes the place from the OVERLAPPED record and returns when done.
    OVERLAPPED place{};
    place.Offset = static_cast<DWORD>(offset);
    place.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    if (!::ReadFile(handleOf(m_handle), buffer, want, &got, &place)) {
        if (::GetLastError() == ERROR_HANDLE_EOF) return 0;
        error = lastError();
        return -1;
    }
    return got;
}

bool NativeFile::writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
        if (!::WriteFile(handleOf(m_handle), bytes.data(), chunk, &written, nullptr)) return fail();
        bytes.remove_prefix(written);
    }
    return true;
}

bool NativeFile::truncate(std::uint64_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFileInformationByHandle(handleOf(m_handle), FileEndOfFileInfo, &end, sizeof end)) return fail();
    LARGE_INTEGER place{};
    place.QuadPart = static_cast<LONGLONG>(size);
    return ::SetFilePointerEx(handleOf(m_handle), place, nullptr, FILE_BEGIN) || fail();
}

bool NativeFile::setMode(std::filesystem::perms) {
    return true; // no mode bits to set
}

bool NativeFile::copyModifiedTime(const NativeFile& source) {
    FILETIME modified{};
    if (!::GetFileTime(handleOf(source.m_handle), nullptr, nullptr, &modified)) return fail();
    return ::SetFileTime(handleOf(m_handle), nullptr, nullptr, &modified) || fail();
}

bool NativeFile::flushToDisk() {
    return ::FlushFileBuffers(handleOf(m_handle)) || fail();
}

bool NativeFile::close() {
    if (!isOpen()) return true;
    const BOOL ok = ::CloseHandle(handleOf(m_handle));
    m_handle = kClosed;
    return ok || fail();
}

std::optional<FileIdentity> folderIdentity(const std::filesystem::path& path) {
    const HANDLE handle = openHandle(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION data{};
    const BOOL ok = ::GetFileInformationByHandle(handle, &data);
    ::CloseHandle(handle);
    if (!ok || (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return std::nullopt;
    return FileIdentity{data.dwVolumeSerialNumber,
                        (static_cast<std::uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow};
}

bool isSymlink(const std::filesystem::path& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

long currentProcessId() {
    return static_cast<long>(::GetCurrentProcessId());
}

bool processGone(long pid) {
    if (pid == currentProcessId()) return false;
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) return ::GetLastError() == ERROR_INVALID_PARAMETER; // no such process
    const bool ended = ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return ended;
}

} // namespace k4m
