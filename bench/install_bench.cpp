// Measures installing a package from the cache beside unzip on the same files, in the same run:
//   install_bench CORPUS_FOLDER WORK_FOLDER [runs]
// CORPUS_FOLDER holds the files (a sample library); the package (made with k4pack) and the zip (made with zip)
// are built into WORK_FOLDER once and kept. Each run installs the package with `k4pack extract`, which goes
// through the manager's own installer, and unpacks the zip with `unzip -q -o`, each into an empty folder, both
// reading files that are in the page cache; the written data is flushed to disk between runs, untimed. Prints
// install_vs_unzip, install_peak_rss_mb and the figures behind them as "name: value" lines (medians of the runs).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct ChildRun {
    double seconds = 0;
    double peakRssMb = 0;
};

// Runs a program to its end with its output thrown away (in `folder` when given); wall time and peak memory.
ChildRun runMeasured(const std::vector<std::string>& argv, const std::string& folder = {}) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    const auto start = Clock::now();
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", args[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    ChildRun run;
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.peakRssMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", args[0]);
        std::exit(1);
    }
    return run;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Reads a file once, so that every run starts with it in the page cache.
void warm(const fs::path& file) {
    runMeasured({"cat", file.string()});
}

uint64_t folderBytes(const fs::path& folder) {
    uint64_t bytes = 0;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file()) bytes += e.file_size();
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: install_bench CORPUS_FOLDER WORK_FOLDER [runs]\n");
        return 2;
    }
    const fs::path corpus = fs::absolute(argv[1]);
    const fs::path work = fs::absolute(argv[2]);
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    const std::string k4pack = (fs::canonical("/proc/self/exe").parent_path().parent_path() / "tools/k4pack/k4pack").string();
    fs::create_directories(work);
    const fs::path package = work / "corpus.cxp4";
    const fs::path zip = work / "corpus.zip";
    if (!fs::exists(package)) {
        const ChildRun built = runMeasured({k4pack, "build", corpus.string(), package.string()});
        std::printf("package_build_seconds: %.2f\n", built.seconds);
    }
    if (!fs::exists(zip)) {
        const ChildRun zipped = runMeasured({"zip", "-q", "-r", "-6", zip.string(), "."}, corpus.string());
        std::printf("zip_build_seconds: %.2f\n", zipped.seconds);
    }
    std::printf("corpus_mb: %.0f\n", static_cast<double>(folderBytes(corpus)) / 1e6);
    std::printf("package_mb: %.0f\n", static_cast<double>(fs::file_size(package)) / 1e6);
    std::printf("zip_mb: %.0f\n", static_cast<double>(fs::file_size(zip)) / 1e6);
    warm(package);
    warm(zip);

    const fs::path out = work / "out";
    auto fresh = [&] {
        fs::remove_all(out);
        fs::create_directories(out);
        ::sync();
    };
    std::vector<double> install, installZlib, unzip, installRss, unzipRss;
    for (int r = 0; r < runs; ++r) {
        fresh();
        const ChildRun u = runMeasured({"unzip", "-q", "-o", zip.string(), "-d", out.string()});
        unzip.push_back(u.seconds);
        unzipRss.push_back(u.peakRssMb);
        fresh();
        const ChildRun i = runMeasured({k4pack, "extract", package.string(), out.string()});
        install.push_back(i.seconds);
        installRss.push_back(i.peakRssMb);
        fresh();
        const ChildRun z = runMeasured({k4pack, "extract", "--inflater", "zlib", package.string(), out.string()});
        installZlib.push_back(z.seconds);
    }
    fresh();
    const double unzipSeconds = median(unzip);
    std::printf("unzip_seconds: %.3f\n", unzipSeconds);
    std::printf("install_seconds: %.3f\n", median(install));
    std::printf("install_zlib_seconds: %.3f\n", median(installZlib));
    std::printf("install_vs_unzip: %.3f\n", median(install) / unzipSeconds);
    std::printf("install_zlib_vs_unzip: %.3f\n", median(installZlib) / unzipSeconds);
    std::printf("install_peak_rss_mb: %.1f\n", *std::max_element(installRss.begin(), installRss.end()));
    std::printf("unzip_peak_rss_mb: %.1f\n", *std::max_element(unzipRss.begin(), unzipRss.end()));
    return 0;
}
