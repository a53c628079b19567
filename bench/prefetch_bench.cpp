// Measures fetching a catalog's product manifests from a server that answers after a delay: one after the
// other through the worker (as a Connect without prefetching would), beside all at once through TextPrefetch
// taken in list order, in the same run against the same local HTTPS server:
//   prefetch_bench [count] [latency_ms] [connections]   (defaults 21, 100, 4)
// prints manifests, latency_ms, connections, serial_ms, prefetch_ms and prefetch_speedup, one "name: value"
// a line; the best of three runs each.
#include "download/tcv_dl_thread.h"
#include "download/text_prefetch.h"
#include "https_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A manifest of a few dozen entries, about the size the vendor's are.
std::string manifestText() {
    std::string text = "OK[MID=bench][V=1.0.0]\r\n";
    for (int i = 0; i < 40; ++i)
        text += "[F=Presets\\Bank " + std::to_string(i) + ".preset][S=" + std::to_string(1000 + i) + "]\r\n";
    return text;
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 21;
    const int latencyMs = argc > 2 ? std::atoi(argv[2]) : 100;
    const int connections = argc > 3 ? std::atoi(argv[3]) : 4;
    if (count <= 0 || latencyMs < 0 || connections <= 0) {
        std::fprintf(stderr, "usage: prefetch_bench [count] [latency_ms] [connections]\n");
        return 2;
    }

    k4m::sim::HttpsServer server;
    server.setLatency(std::chrono::milliseconds(latencyMs));
    server.on("/kd4_main.php", k4m::sim::answer::body(manifestText()));
    std::vector<std::string> urls;
    for (int i = 0; i < count; ++i)
        urls.push_back(server.base() + "/kd4_main.php?COM=11&EID=bench&MID=" + std::to_string(i));
    k4m::HttpSettings settings;
    settings.caFile = server.caFile();

    std::vector<std::string> serialAnswers, prefetchAnswers;
    double serialBest = 0, prefetchBest = 0;
    for (int round = 0; round < 3; ++round) {
        // A fresh worker and a fresh prefetch each round: both pay for their connections' handshakes.
        {
            k4m::WorkerShared shared;
            k4m::TcvDLThread worker(shared, nullptr, settings);
            worker.Start();
            const auto start = Clock::now();
            serialAnswers.clear();
            for (const auto& url : urls)
                serialAnswers.push_back(k4m::fetchText(worker, url));
            const double ms = millisecondsSince(start);
            serialBest = round == 0 ? ms : std::min(serialBest, ms);
        }
        {
            const auto start = Clock::now();
            k4m::TextPrefetch prefetch(settings, urls, connections);
            prefetchAnswers.clear();
            for (size_t i = 0; i < prefetch.size(); ++i)
                prefetchAnswers.push_back(prefetch.take(i));
            const double ms = millisecondsSince(start);
            prefetchBest = round == 0 ? ms : std::min(prefetchBest, ms);
        }
        const bool allManifests = std::all_of(prefetchAnswers.begin(), prefetchAnswers.end(),
                                              [](const std::string& a) { return a.rfind("OK[", 0) == 0; });
        if (serialAnswers != prefetchAnswers || !allManifests) {
            std::fprintf(stderr, "the answers differ or failed: %s\n", prefetchAnswers.front().c_str());
            return 1;
        }
    }

    std::printf("manifests: %d\n", count);
    std::printf("latency_ms: %d\n", latencyMs);
    std::printf("connections: %d\n", connections);
    std::printf("serial_ms: %.0f\n", serialBest);
    std::printf("prefetch_ms: %.0f\n", prefetchBest);
    std::printf("prefetch_speedup: %.2f\n", serialBest / prefetchBest);
    return 0;
}
