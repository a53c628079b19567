#include "package_writer.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <zlib.h>

namespace k4m::pack {

namespace fs = std::filesystem;

namespace {

constexpr size_t kChunk = 256 * 1024;
constexpr std::string_view kSoundsPrefix = "data\\sounds\\";
constexpr std::string_view kFinderStore = ".DS_Store";
// The manager refuses longer manifests, and reads each size as a signed 32-bit number.
constexpr size_t kMaxManifestBytes = 4 * 1024 * 1024;
constexpr int64_t kMaxStreamBytes = std::numeric_limits<int32_t>::max();

std::runtime_error systemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

class Fd {
public:
    Fd(const fs::path& path, int flags, const std::string& what) : m_fd(::open(path.c_str(), flags | O_CLOEXEC, 0644)) {
        if (m_fd < 0) throw systemError(what + " " + path.string());
    }
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    void close(const std::string& what) {
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0) throw systemError(what);
    }

private:
    int m_fd;
};

void writeAll(int fd, const char* data, size_t size, const std::string& what) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw systemError("cannot write " + what);
        data += n;
        size -= static_cast<size_t>(n);
    }
}

std::string lengthBytes(uint32_t n) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<char>((n >> (8 * i)) & 0xff);
    return bytes;
}

// Why `path` cannot be an entry of a package, empty when it can: the manifest line ends the path at its first
// "~" and the line at a line break, and the manager refuses paths that could leave their folder.
std::string entryPathProblem(std::string_view path) {
    if (path.empty()) return "it is empty";
    for (const char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) return "it holds a control character";
        if (c == '~') return "it holds a \"~\", where a manifest line ends its path";
        if (c == ':') return "it holds a \":\"";
        if (c == '/') return "it holds a \"/\" (entry paths use backslashes)";
    }
    size_t from = 0;
    while (from <= path.size()) {
        const size_t end = std::min(path.find('\\', from), path.size());
        const std::string_view part = path.substr(from, end - from);
        if (part.empty()) return "it has an empty folder name";
        if (part == "." || part == "..") return "it has a \"" + std::string(part) + "\" folder";
        from = end + 1;
    }
    return {};
}

bool isFinderStore(std::string_view entryPath) {
    const size_t slash = entryPath.rfind('\\');
    return entryPath.substr(slash == std::string_view::npos ? 0 : slash + 1) == kFinderStore;
}

struct Deflated {
    int64_t inputBytes = 0;
    int64_t streamBytes = 0;
};

// Deflates the file `source` into the file `target` as one zlib stream, a piece at a time.
Deflated deflateFile(const fs::path& source, const fs::path& target, int level) {
    Fd in(source, O_RDONLY, "cannot open");
    Fd out(target, O_WRONLY | O_CREAT | O_EXCL, "cannot create");
    z_stream z{};
    if (deflateInit(&z, level) != Z_OK) throw std::runtime_error("cannot start deflate");
    const std::unique_ptr<z_stream, int (*)(z_stream*)> end(&z, deflateEnd);
    const auto input = std::make_unique<unsigned char[]>(kChunk);
    const auto output = std::make_unique<unsigned char[]>(kChunk);
    Deflated result;
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
        const ssize_t n = ::read(in.get(), input.get(), kChunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw systemError("cannot read " + source.string());
        result.inputBytes += n;
        z.next_in = input.get();
        z.avail_in = static_cast<uInt>(n);
        flush = n == 0 ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = output.get();
            z.avail_out = static_cast<uInt>(kChunk);
            if (deflate(&z, flush) == Z_STREAM_ERROR) throw std::runtime_error("deflate failed on " + source.string());
            const size_t produced = kChunk - z.avail_out;
            writeAll(out.get(), reinterpret_cast<const char*>(output.get()), produced, target.string());
            result.streamBytes += static_cast<int64_t>(produced);
        } while (z.avail_out == 0);
    }
    if (result.streamBytes > kMaxStreamBytes)
        throw std::runtime_error(source.string() + " deflates to more than 2 GB, more than a package entry can hold");
    out.close("cannot write " + target.string());
    return result;
}

// Appends the `size` bytes of the file `source` to `out`, in the kernel where it can.
void appendFile(int out, const fs::path& source, int64_t size, const std::string& what) {
    Fd in(source, O_RDONLY, "cannot open");
    int64_t left = size;
    while (left > 0) {
        const ssize_t n = ::copy_file_range(in.get(), nullptr, out, nullptr, static_cast<size_t>(left), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) break;
        if (n < 0) throw systemError("cannot write " + what);
        if (n == 0) throw std::runtime_error(source.string() + " is shorter than its stream");
        left -= n;
    }
    std::vector<char> buffer;
    while (left > 0) {
        buffer.resize(kChunk);
        const ssize_t n = ::read(in.get(), buffer.data(), static_cast<size_t>(std::min<int64_t>(left, kChunk)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw systemError("cannot read " + source.string());
        if (n == 0) throw std::runtime_error(source.string() + " is shorter than its stream");
        writeAll(out, buffer.data(), static_cast<size_t>(n), what);
        left -= n;
    }
}

// A file or folder beside the package, named after it and this process, removed at the end of the scope
// unless it was renamed into place.
class Beside {
public:
    Beside(const fs::path& package, const char* kind) : m_path(package) {
        m_path += ".k4pack-" + std::to_string(::getpid()) + kind;
    }
    ~Beside() {
        std::error_code ec;
        if (!m_kept) fs::remove_all(m_path, ec);
    }
    Beside(const Beside&) = delete;
    Beside& operator=(const Beside&) = delete;
    const fs::path& path() const { return m_path; }
    void keep() { m_kept = true; }

private:
    fs::path m_path;
    bool m_kept = false;
};

} // namespace

std::string zlibStream(std::string_view data, int level) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                  static_cast<uLong>(data.size()), level) != Z_OK)
        throw std::runtime_error("cannot deflate");
    out.resize(size);
    return out;
}

RawEntry entry(const std::string& path, std::string_view data, int level) {
    std::string stream = zlibStream(data, level);
    return {path + "~" + std::to_string(stream.size()), std::move(stream)};
}

RawEntry lineOnly(const std::string& line) {
    return {line, {}};
}

std::string rawPackage(const std::vector<RawEntry>& entries, std::string_view manifestPrefix) {
    std::string manifest(manifestPrefix);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) manifest += "\r\n";
        manifest += entries[i].line;
    }
    std::string package = lengthBytes(static_cast<uint32_t>(manifest.size())) + manifest;
    for (const RawEntry& e : entries)
        package += e.stream;
    return package;
}

std::vector<SourceFile> folderEntries(const fs::path& folder, const fs::path& skip) {
    if (!fs::is_directory(folder)) throw std::runtime_error(folder.string() + " is not a folder");
    const bool skipExists = !skip.empty() && fs::exists(skip);
    std::vector<SourceFile> entries;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        if (it->is_symlink() || !it->is_regular_file()) continue;
        if (skipExists && fs::equivalent(it->path(), skip)) continue;
        std::string entryPath;
        for (const fs::path& part : it->path().lexically_relative(folder)) {
            const std::string name = part.string();
            if (name.find('\\') != std::string::npos)
                throw std::runtime_error("cannot pack " + it->path().string() +
                                         ": a package reads the backslash in its name as a folder");
            entryPath += (entryPath.empty() ? "" : "\\") + name;
        }
        entries.push_back({std::move(entryPath), it->path()});
    }
    std::sort(entries.begin(), entries.end(),
              [](const SourceFile& a, const SourceFile& b) { return a.entryPath < b.entryPath; });
    return entries;
}

BuildReport buildPackage(const std::vector<SourceFile>& all, const fs::path& package, const BuildOptions& options) {
    if (options.level < 0 || options.level > 9) throw std::runtime_error("the level is not 0 to 9");
    std::vector<const SourceFile*> entries;
    std::set<std::string_view> seen;
    for (const SourceFile& e : all) {
        if (options.soundsOnly && e.entryPath.compare(0, kSoundsPrefix.size(), kSoundsPrefix) != 0) continue;
        if (const std::string problem = entryPathProblem(e.entryPath); !problem.empty())
            throw std::runtime_error("cannot pack " + e.file.string() + " as \"" + e.entryPath + "\": " + problem);
        if (!seen.insert(e.entryPath).second) throw std::runtime_error("the entry " + e.entryPath + " is given twice");
        entries.push_back(&e);
    }

    const fs::path folder = package.parent_path().empty() ? fs::path(".") : package.parent_path();
    if (!fs::is_directory(folder))
        throw std::runtime_error("there is no folder " + folder.string() + " for the package");

    // Each stream is deflated into a file of its own first: the manifest, which comes first, holds the sizes.
    // Larger files start first so that the last one to finish is a small one.
    const Beside work(package, ".work");
    if (!fs::create_directory(work.path())) throw std::runtime_error(work.path().string() + " is in the way");
    auto streamFile = [&](size_t i) { return work.path() / std::to_string(i); };
    std::vector<size_t> order;
    std::vector<uintmax_t> sourceSizes(entries.size(), 0);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (isFinderStore(entries[i]->entryPath)) continue;
        std::error_code ec;
        sourceSizes[i] = fs::file_size(entries[i]->file, ec);
        order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return sourceSizes[a] > sourceSizes[b]; });

    std::vector<Deflated> deflated(entries.size());
    std::atomic<size_t> next{0};
    std::mutex failureLock;
    std::string failure;
    auto deflateAll = [&] {
        for (size_t k; (k = next++) < order.size();) {
            const size_t i = order[k];
            try {
                deflated[i] = deflateFile(entries[i]->file, streamFile(i), options.level);
            } catch (const std::exception& e) {
                const std::lock_guard lock(failureLock);
                if (failure.empty()) failure = e.what();
                next = order.size();
            }
        }
    };
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int threads = std::clamp(options.threads > 0 ? options.threads : cores, 1,
                                   static_cast<int>(std::clamp<size_t>(order.size(), 1, 64)));
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(deflateAll);
    deflateAll();
    for (std::thread& t : pool)
        t.join();
    if (!failure.empty()) throw std::runtime_error(failure);

    BuildReport report;
    std::string manifest;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) manifest += "\r\n";
        manifest += entries[i]->entryPath + "~" + std::to_string(deflated[i].streamBytes);
        report.inputBytes += deflated[i].inputBytes;
    }
    if (manifest.size() > kMaxManifestBytes)
        throw std::runtime_error("the manifest would take " + std::to_string(manifest.size()) +
                                 " bytes, more than the 4 MB the manager reads");

    Beside partial(package, ".part");
    Fd out(partial.path(), O_WRONLY | O_CREAT | O_EXCL, "cannot create");
    const std::string header = lengthBytes(static_cast<uint32_t>(manifest.size())) + manifest;
    writeAll(out.get(), header.data(), header.size(), partial.path().string());
    for (size_t i = 0; i < entries.size(); ++i)
        if (!isFinderStore(entries[i]->entryPath))
            appendFile(out.get(), streamFile(i), deflated[i].streamBytes, partial.path().string());
    if (::fsync(out.get()) != 0) throw systemError("cannot write " + partial.path().string());
    out.close("cannot write " + partial.path().string());
    fs::rename(partial.path(), package);
    partial.keep();
    report.entries = static_cast<int64_t>(entries.size());
    report.packageBytes = static_cast<int64_t>(fs::file_size(package));
    return report;
}

BuildReport buildPackage(const fs::path& folder, const fs::path& package, const BuildOptions& options) {
    return buildPackage(folderEntries(folder, package), package, options);
}

} // namespace k4m::pack
