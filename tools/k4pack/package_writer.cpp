#include "package_writer.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <unistd.h>
#include <zlib.h>

namespace k4m::pack {

namespace fs = std::filesystem;

namespace {

constexpr size_t kChunk = 256 * 1024;
const std::string_view kSoundsPrefix = "data\\sounds\\";

std::string lengthBytes(uint32_t n) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>((n >> (8 * i)) & 0xff);
    return bytes;
}

// Deflates the file `source` into the file `target` as one zlib stream, a piece at a time; its size.
int64_t compressFile(const fs::path& source, const fs::path& target, int level) {
    std::ifstream in(source, std::ios::binary);
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    if (!in || !out) throw std::runtime_error("cannot read " + source.string() + " or write " + target.string());
    z_stream z{};
    if (deflateInit(&z, level) != Z_OK) throw std::runtime_error("cannot start deflate");
    std::unique_ptr<z_stream, int (*)(z_stream*)> end(&z, deflateEnd);
    std::vector<char> input(kChunk);
    std::vector<char> output(kChunk);
    int64_t written = 0;
    int flush = Z_NO_FLUSH;
    do {
        in.read(input.data(), static_cast<std::streamsize>(input.size()));
        if (in.bad()) throw std::runtime_error("cannot read " + source.string());
        z.next_in = reinterpret_cast<Bytef*>(input.data());
        z.avail_in = static_cast<uInt>(in.gcount());
        flush = in.eof() ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = reinterpret_cast<Bytef*>(output.data());
            z.avail_out = static_cast<uInt>(output.size());
            deflate(&z, flush);
            const size_t produced = output.size() - z.avail_out;
            out.write(output.data(), static_cast<std::streamsize>(produced));
            written += static_cast<int64_t>(produced);
        } while (z.avail_out == 0);
    } while (flush != Z_FINISH);
    if (!out.flush()) throw std::runtime_error("cannot write " + target.string());
    return written;
}

struct Source {
    std::string entryPath;
    fs::path file;
};

std::vector<Source> collect(const fs::path& folder, bool soundsOnly) {
    std::vector<Source> sources;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        if (it->is_symlink() || !it->is_regular_file()) continue;
        std::string entryPath = fs::relative(it->path(), folder).generic_string();
        std::replace(entryPath.begin(), entryPath.end(), '/', '\\');
        if (soundsOnly && entryPath.compare(0, kSoundsPrefix.size(), kSoundsPrefix) != 0) continue;
        sources.push_back({entryPath, it->path()});
    }
    std::sort(sources.begin(), sources.end(), [](const Source& a, const Source& b) { return a.entryPath < b.entryPath; });
    return sources;
}

// A folder of its own beside the package for the compressed entries; removed with everything in it.
class WorkFolder {
public:
    explicit WorkFolder(const fs::path& package) {
        m_path = package;
        m_path += ".k4pack." + std::to_string(::getpid()) + ".work";
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~WorkFolder() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
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
    for (const RawEntry& e : entries) package += e.stream;
    return package;
}

BuildReport buildPackage(const fs::path& folder, const fs::path& package, const BuildOptions& options) {
    if (!fs::is_directory(folder)) throw std::runtime_error(folder.string() + " is not a folder");
    const std::vector<Source> sources = collect(folder, options.soundsOnly);
    const WorkFolder work(package);
    // The installer reads no data for a finder store file: it gets its manifest line and no stream.
    auto finderStore = [](const Source& s) { return fs::path(s.file).filename() == ".DS_Store"; };
    std::vector<int64_t> sizes(sources.size(), 0);
    std::atomic<size_t> next{0};
    std::mutex failureLock;
    std::string failure;
    auto compressAll = [&] {
        for (size_t i; (i = next++) < sources.size();) {
            if (finderStore(sources[i])) continue;
            try {
                sizes[i] = compressFile(sources[i].file, work.path() / std::to_string(i), options.level);
            } catch (const std::exception& e) {
                std::lock_guard lock(failureLock);
                if (failure.empty()) failure = e.what();
                next = sources.size();
            }
        }
    };
    const int threads = std::clamp(options.threads > 0 ? options.threads : static_cast<int>(std::thread::hardware_concurrency()), 1, 64);
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(compressAll);
    compressAll();
    for (std::thread& t : pool) t.join();
    if (!failure.empty()) throw std::runtime_error(failure);

    BuildReport report;
    std::string manifest;
    for (size_t i = 0; i < sources.size(); ++i) {
        if (i > 0) manifest += "\r\n";
        manifest += sources[i].entryPath + "~" + std::to_string(sizes[i]);
        report.inputBytes += static_cast<int64_t>(fs::file_size(sources[i].file));
    }
    if (manifest.size() > 0x7fffffff) throw std::runtime_error("the manifest is too large");
    fs::path partial = package;
    partial += ".k4pack." + std::to_string(::getpid()) + ".tmp";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        if (!out) throw std::runtime_error("cannot write " + partial.string());
        out << lengthBytes(static_cast<uint32_t>(manifest.size())) << manifest;
        std::vector<char> buffer(kChunk);
        for (size_t i = 0; i < sources.size(); ++i) {
            if (finderStore(sources[i])) continue;
            std::ifstream in(work.path() / std::to_string(i), std::ios::binary);
            while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
                out.write(buffer.data(), in.gcount());
        }
        if (!out.flush()) {
            out.close();
            fs::remove(partial);
            throw std::runtime_error("cannot write " + partial.string());
        }
    }
    std::error_code ec;
    fs::rename(partial, package, ec);
    if (ec) {
        fs::remove(partial);
        throw std::runtime_error("cannot write " + package.string() + ": " + ec.message());
    }
    report.entries = static_cast<int64_t>(sources.size());
    report.packageBytes = static_cast<int64_t>(fs::file_size(package));
    return report;
}

} // namespace k4m::pack
