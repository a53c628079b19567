#include "platform/atomic_file.h"

#include "platform/native_file.h"
#include "platform/utf8_path.h"

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>

namespace k4m {

namespace {

std::system_error errorOf(int code, const std::string& what) {
    return {code, std::generic_category(), what};
}

std::system_error errorOf(const NativeFile& file, const std::string& what) {
    return {file.error(), what};
}

void removeQuietly(const std::filesystem::path& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

} // namespace

std::filesystem::path temporarySibling(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path tmp = target;
    tmp += "." + std::to_string(currentProcessId()) + "." + std::to_string(counter++) + ".tmp";
    return tmp;
}

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes, std::filesystem::perms mode) {
    // Without a name the temporary file would land in whatever folder happens to be current.
    if (path.empty()) throw errorOf(ENOENT, "no file name to write to");
    // A link planted after this check is still never written through: the rename replaces the link itself.
    if (isSymlink(path)) throw errorOf(ELOOP, "refusing to replace the symbolic link " + utf8Of(path));
    const std::filesystem::path tmp = temporarySibling(path);
    NativeFile file = NativeFile::createNew(tmp, mode);
    if (!file.isOpen()) throw errorOf(file, "cannot create " + utf8Of(tmp));
    const auto failed = [&](const std::string& what) {
        const auto error = errorOf(file, what + utf8Of(tmp));
        file.close();
        removeQuietly(tmp);
        return error;
    };
    if (!file.writeAll(bytes)) throw failed("cannot write ");
    // The umask may have removed bits the caller asked for (a program must stay executable).
    if (!file.setMode(mode)) throw failed("cannot set mode of ");
    if (!file.flushToDisk()) throw failed("cannot flush ");
    if (!file.close()) throw failed("cannot close ");
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        removeQuietly(tmp);
        throw std::system_error(ec, "cannot replace " + utf8Of(path));
    }
}

std::optional<std::string> readRegularFile(const std::filesystem::path& path, std::uintmax_t maxBytes) {
    // Opening never waits, so a pipe planted at the path cannot hold the call until someone writes to it; it is
    // refused below like every other file that is not a regular one.
    NativeFile file = NativeFile::openForReading(path);
    if (!file.isOpen()) {
        if (file.missing()) return std::nullopt;
        if (isSymlink(path)) throw errorOf(ELOOP, utf8Of(path) + " is a symbolic link");
        throw errorOf(file, "cannot open " + utf8Of(path));
    }
    const auto info = file.info();
    if (!info) throw errorOf(file, "cannot examine " + utf8Of(path));
    // Where a link opens as itself, it is told by what it is.
    if (!info->directory && !info->regular && isSymlink(path))
        throw errorOf(ELOOP, utf8Of(path) + " is a symbolic link");
    if (info->directory) throw errorOf(EISDIR, utf8Of(path) + " is a folder");
    if (!info->regular) throw errorOf(EINVAL, utf8Of(path) + " is not a regular file");
    const std::string tooLarge = utf8Of(path) + " is too large (more than " + std::to_string(maxBytes) + " bytes)";
    if (info->size > maxBytes) throw errorOf(EFBIG, tooLarge);

    std::string bytes;
    bytes.reserve(static_cast<size_t>(info->size));
    char buffer[64 * 1024];
    for (;;) {
        const long long n = file.read(buffer, sizeof buffer);
        if (n < 0) throw errorOf(file, "cannot read " + utf8Of(path));
        if (n == 0) break;
        // The file may grow while it is read.
        if (bytes.size() + static_cast<size_t>(n) > maxBytes) throw errorOf(EFBIG, tooLarge);
        bytes.append(buffer, static_cast<size_t>(n));
    }
    return bytes;
}

} // namespace k4m
