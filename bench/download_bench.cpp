// Measures the download worker beside curl against the same local HTTPS server in the same run:
//   download_bench [size_mb]        prints download_vs_curl, download_peak_rss_mb, fetch100_vs_curl and the
//                                  raw figures behind them, one "name: value" a line
// The worker runs in a child process of its own (download_bench_client), so its peak memory is measured apart
// from the server's.
#include "core/version.h"
#include "https_server.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <stdexcept>
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
    int exitCode = -1;
    double seconds = 0;
    double peakRssMb = 0;
};

// Runs a program to its end and measures its wall time and peak memory.
ChildRun runMeasured(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", args[0]);
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    ChildRun run;
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    run.peakRssMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return run;
}

} // namespace

int main(int argc, char** argv) {
    const std::string client = (fs::canonical("/proc/self/exe").parent_path() / "download_bench_client").string();

    const uint64_t sizeMb = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
    const uint64_t size = sizeMb * 1024 * 1024;
    // The downloads land in memory-backed storage where there is room, so the disk's write-back does not
    // decide the figures (the file's pages are not part of either process's memory).
    fs::path base = fs::temp_directory_path();
    std::error_code ec;
    if (fs::space("/dev/shm", ec).available > 3 * size && !ec) base = "/dev/shm";
    const fs::path work = base / ("k4m-bench-" + std::to_string(getpid()));
    fs::create_directories(work);

    k4m::sim::HttpsServer server((work).string());
    server.on("/package.cxp4", k4m::sim::answer::generated(size));
    server.on("/km4.ver", k4m::sim::answer::body(k4m::kManagerVersion));
    const std::string url = server.base() + "/package.cxp4";
    const std::string ca = server.caFile();
    const std::string target = (work / "download.bin").string();

    // Best of three runs each, taking turns at going first, with the disk's write-back settled before each
    // run, so neither side pays for the other's dirty pages.
    ChildRun curlBest, oursBest;
    double oursPeakRss = 0;
    auto runCurl = [&] {
        ::sync();
        const ChildRun c = runMeasured({"curl", "-s", "--fail", "--cacert", ca, "-o", target, url});
        if (c.exitCode != 0 || fs::file_size(target) != size) throw std::runtime_error("curl failed");
        fs::remove(target);
        if (curlBest.exitCode != 0 || c.seconds < curlBest.seconds) curlBest = c;
    };
    auto runOurs = [&] {
        ::sync();
        const ChildRun o = runMeasured({client, "download", url, target, ca});
        if (o.exitCode != 0 || fs::file_size(target) != size) throw std::runtime_error("worker failed");
        fs::remove(target);
        if (oursBest.exitCode != 0 || o.seconds < oursBest.seconds) oursBest = o;
        oursPeakRss = std::max(oursPeakRss, o.peakRssMb);
    };
    for (int round = 0; round < 3; ++round) {
        if (round % 2 == 0) {
            runCurl();
            runOurs();
        } else {
            runOurs();
            runCurl();
        }
    }
    oursBest.peakRssMb = oursPeakRss;

    const int requests = 100;
    const std::string small = server.base() + "/km4.ver";
    {
        std::ofstream config(work / "curl-fetch.cfg");
        for (int i = 0; i < requests; ++i)
            config << "url = \"" << small << "\"\noutput = \"/dev/null\"\n";
    }
    ChildRun curlFetch, oursFetch;
    for (int round = 0; round < 3; ++round) {
        const ChildRun c =
            runMeasured({"curl", "-s", "--fail", "--cacert", ca, "-K", (work / "curl-fetch.cfg").string()});
        const ChildRun o = runMeasured({client, "fetch", small, std::to_string(requests), ca});
        if (c.exitCode != 0 || o.exitCode != 0) return std::fprintf(stderr, "fetch failed\n"), 1;
        if (round == 0 || c.seconds < curlFetch.seconds) curlFetch = c;
        if (round == 0 || o.seconds < oursFetch.seconds) oursFetch = o;
    }
    fs::remove_all(work);

    const double mb = static_cast<double>(size) / 1e6;
    std::printf("download_size_mb: %.0f\n", mb);
    std::printf("download_mb_per_s: %.1f\n", mb / oursBest.seconds);
    std::printf("curl_download_mb_per_s: %.1f\n", mb / curlBest.seconds);
    std::printf("download_vs_curl: %.2f\n", curlBest.seconds / oursBest.seconds);
    std::printf("download_peak_rss_mb: %.0f\n", oursBest.peakRssMb);
    std::printf("curl_download_peak_rss_mb: %.0f\n", curlBest.peakRssMb);
    std::printf("fetch100_ms: %.1f\n", oursFetch.seconds * 1000);
    std::printf("curl_fetch100_ms: %.1f\n", curlFetch.seconds * 1000);
    std::printf("fetch100_vs_curl: %.2f\n", oursFetch.seconds / curlFetch.seconds);
    return 0;
}
