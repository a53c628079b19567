// k4pack: makes, lists, checks and unpacks package files.
//   k4pack build FOLDER PACKAGE [--level N] [--sounds-only] [--threads N]
//   k4pack list PACKAGE
//   k4pack verify PACKAGE [--sounds-only]
//   k4pack extract PACKAGE FOLDER [--target T] [--sounds-only] [--inflater fastest|zlib] [--threads N]
// A package named ".cxp3" is sounds-only. `extract` goes through the manager's own installer, with every folder
// of the installation inside FOLDER, and prints its log lines.
#include "download/package_format.h"
#include "download/package_installer.h"
#include "download/worker_shared.h"
#include "package_writer.h"
#include "platform/native_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

int usage() {
    std::fprintf(stderr, "usage: k4pack build FOLDER PACKAGE [--level N] [--sounds-only] [--threads N]\n"
                         "       k4pack list PACKAGE\n"
                         "       k4pack verify PACKAGE [--sounds-only]\n"
                         "       k4pack extract PACKAGE FOLDER [--target T] [--sounds-only] [--inflater fastest|zlib] "
                         "[--threads N]\n");
    return 2;
}

struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options; // "--sounds-only" maps to ""
    bool ok = true;
};

Arguments parse(int argc, char** argv, const std::vector<std::string>& valued, const std::vector<std::string>& flags) {
    Arguments a;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0) {
            a.positional.push_back(arg);
        } else if (std::find(flags.begin(), flags.end(), arg) != flags.end()) {
            a.options[arg] = "";
        } else if (std::find(valued.begin(), valued.end(), arg) != valued.end() && i + 1 < argc) {
            a.options[arg] = argv[++i];
        } else {
            a.ok = false;
        }
    }
    return a;
}

bool number(const std::string& text, int low, int high, int& value) {
    char* end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || n < low || n > high) return false;
    value = static_cast<int>(n);
    return true;
}

bool soundsOnlyPackage(const std::string& path, const Arguments& a) {
    return a.options.count("--sounds-only") > 0 || fs::path(path).extension() == ".cxp3";
}

// Whether the installer reads payload bytes for this line.
bool hasPayload(const std::string& line, bool soundsOnly) {
    if (soundsOnly && line.compare(0, k4m::kSoundsPrefix.size(), k4m::kSoundsPrefix) != 0) return false;
    return k4m::entryFileName(k4m::entryPathOf(line)) != k4m::kFinderStoreFile;
}

int build(const Arguments& a) {
    if (a.positional.size() != 2) return usage();
    k4m::pack::BuildOptions options;
    if (a.options.count("--level") && !number(a.options.at("--level"), 0, 9, options.level)) return usage();
    if (a.options.count("--threads") && !number(a.options.at("--threads"), 1, 64, options.threads)) return usage();
    options.soundsOnly = a.options.count("--sounds-only") > 0;
    try {
        const auto report = k4m::pack::buildPackage(a.positional[0], a.positional[1], options);
        std::printf("%lld entries, %lld bytes packed into %lld bytes\n", static_cast<long long>(report.entries),
                    static_cast<long long>(report.inputBytes), static_cast<long long>(report.packageBytes));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "k4pack: %s\n", e.what());
        return 1;
    }
}

// The manifest of the package; nullopt, with the reason printed, when it cannot be read.
std::optional<k4m::PackageHeader> headerOf(const std::string& path, k4m::NativeFile& file) {
    if (!file.isOpen()) {
        std::fprintf(stderr, "k4pack: cannot open %s: %s\n", path.c_str(), file.error().message().c_str());
        return std::nullopt;
    }
    try {
        return k4m::readPackageHeader(file);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "k4pack: %s\n", e.what());
        return std::nullopt;
    }
}

int list(const Arguments& a) {
    if (a.positional.size() != 1) return usage();
    // Opened without waiting, so that a pipe given as the package is refused instead of waiting for a writer.
    k4m::NativeFile file = k4m::NativeFile::openForReadingThroughLinks(a.positional[0]);
    const std::optional<k4m::PackageHeader> read = headerOf(a.positional[0], file);
    if (!read) return 1;
    const k4m::PackageHeader& header = *read;
    const bool soundsOnly = soundsOnlyPackage(a.positional[0], a);
    int64_t offset = header.payloadStart;
    for (const std::string& line : header.lines) {
        const std::string path(k4m::entryPathOf(line));
        const std::string sizeText(k4m::sizeTextOf(line));
        if (!hasPayload(line, soundsOnly)) {
            std::printf("%s\t%s\tno data\n", path.c_str(), sizeText.c_str());
            continue;
        }
        const auto size = k4m::parseEntrySize(sizeText);
        if (!size || *size < 0) {
            std::fprintf(stderr, "k4pack: %s: the size is not a number of bytes\n", line.c_str());
            return 1;
        }
        std::printf("%s\t%d\tat %lld\n", path.c_str(), *size, static_cast<long long>(offset));
        offset += *size;
    }
    return 0;
}

// Inflates `size` bytes at `offset` with zlib, in pieces; an error text, empty when the stream ends exactly there
// with a correct check value.
std::string checkStream(const k4m::NativeFile& file, int64_t offset, int64_t size) {
    z_stream z{};
    inflateInit(&z);
    std::unique_ptr<z_stream, int (*)(z_stream*)> end(&z, inflateEnd);
    std::vector<unsigned char> in(256 * 1024), out(256 * 1024);
    int64_t left = size;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        if (left == 0) return "the stream is cut short";
        std::error_code error;
        const long long n = file.readAt(in.data(), static_cast<size_t>(std::min<int64_t>(left, 256 * 1024)),
                                        static_cast<uint64_t>(offset), error);
        if (n < 0) return "cannot read the package: " + error.message();
        if (n == 0) return "the package ends inside the stream";
        offset += n;
        left -= n;
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(n);
        do {
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            rc = inflate(&z, Z_NO_FLUSH);
            if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT || rc == Z_MEM_ERROR)
                return z.msg != nullptr ? z.msg : "invalid data";
        } while (rc != Z_STREAM_END && (z.avail_in > 0 || z.avail_out == 0));
    }
    if (z.avail_in > 0 || left > 0) return "the stream ends before its size";
    return {};
}

int verify(const Arguments& a) {
    if (a.positional.size() != 1) return usage();
    // Opened without waiting, so that a pipe given as the package is refused instead of waiting for a writer.
    k4m::NativeFile file = k4m::NativeFile::openForReadingThroughLinks(a.positional[0]);
    const std::optional<k4m::PackageHeader> read = headerOf(a.positional[0], file);
    if (!read) return 1;
    const k4m::PackageHeader& header = *read;
    const bool soundsOnly = soundsOnlyPackage(a.positional[0], a);
    int64_t offset = header.payloadStart;
    int64_t entries = 0;
    for (const std::string& line : header.lines) {
        if (!hasPayload(line, soundsOnly)) continue;
        const auto size = k4m::parseEntrySize(k4m::sizeTextOf(line));
        if (!size || *size < 0) {
            std::fprintf(stderr, "k4pack: %s: the size is not a number of bytes\n", line.c_str());
            return 1;
        }
        if (const std::string reason = k4m::unsafeEntryPathReason(k4m::entryPathOf(line)); !reason.empty()) {
            std::fprintf(stderr, "k4pack: %s: the manager refuses this path: %s\n", line.c_str(), reason.c_str());
            return 1;
        }
        if (*size > header.fileSize - offset) {
            std::fprintf(stderr, "k4pack: %s: the stream reaches beyond the end of the package\n", line.c_str());
            return 1;
        }
        if (const std::string error = checkStream(file, offset, *size); !error.empty()) {
            std::fprintf(stderr, "k4pack: %s: %s\n", line.c_str(), error.c_str());
            return 1;
        }
        offset += *size;
        ++entries;
    }
    if (offset != header.fileSize) {
        std::fprintf(stderr, "k4pack: %lld bytes after the last stream\n",
                     static_cast<long long>(header.fileSize - offset));
        return 1;
    }
    std::printf("%lld streams good\n", static_cast<long long>(entries));
    return 0;
}

class PrintingHost : public k4m::InstallerHost {
public:
    void log(const std::string& line) override { std::printf("%s\n", line.c_str()); }
    void setLastAction(const std::string&) override {}
    void addError(const std::string& line) override { std::fprintf(stderr, "%s\n", line.c_str()); }
};

int extract(const Arguments& a) {
    if (a.positional.size() != 2) return usage();
    k4m::InstallerTuning tuning;
    if (a.options.count("--threads") && !number(a.options.at("--threads"), 1, 16, tuning.threads)) return usage();
    if (a.options.count("--inflater")) {
        const std::string& name = a.options.at("--inflater");
        if (name == "zlib")
            tuning.inflater = k4m::Inflater::Zlib;
        else if (name != "fastest")
            return usage();
    }
    const std::string folder = fs::absolute(a.positional[1]).lexically_normal().string();
    k4m::WorkerShared shared;
    k4m::InstallTargets& t = shared.installTargets;
    t.productFolder = folder;
    t.installerFolder = folder + "/Installer";
    t.commonAppDataFolder = folder + "/common";
    t.soundDataFolder = folder;
    t.cacheFolder = folder + "/cache";
    t.proToolsFolder = folder + "/plugins/aax";
    t.vst64Folder = folder + "/plugins/vst64";
    t.vst32Folder = folder + "/plugins/vst32";
    t.installAAX = t.installVST64 = t.installVST32 = true;
    const std::string target = a.options.count("--target") ? a.options.at("--target") : "MAIN";
    const std::string& package = a.positional[0];
    const k4m::PackageSlot slot{target, fs::path(package).stem().string(), soundsOnlyPackage(package, a)};
    PrintingHost host;
    return k4m::installPackage(package, slot, shared, host, tuning) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    if (command == "build") {
        const Arguments a = parse(argc, argv, {"--level", "--threads"}, {"--sounds-only"});
        return a.ok ? build(a) : usage();
    }
    if (command == "list") {
        const Arguments a = parse(argc, argv, {}, {"--sounds-only"});
        return a.ok ? list(a) : usage();
    }
    if (command == "verify") {
        const Arguments a = parse(argc, argv, {}, {"--sounds-only"});
        return a.ok ? verify(a) : usage();
    }
    if (command == "extract") {
        const Arguments a = parse(argc, argv, {"--target", "--inflater", "--threads"}, {"--sounds-only"});
        return a.ok ? extract(a) : usage();
    }
    return usage();
}
