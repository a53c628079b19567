// Measures Connect beside curl against the same local vendor in the same run:
//   connect_bench [latency_ms]     prints connect_vs_curl, connect_latency_vs_serial and the raw figures behind
//                                  them, one "name: value" a line
// The vendor lists 21 products of 9 packages each. Connect runs without a window (the worker, the manifests
// fetched ahead, the slot table); its peer is libcurl asking for the same URLs one after another on one handle,
// so with connection reuse, in this process too.
#include "catalog/connect_requests.h"
#include "catalog/connect_sequence.h"
#include "core/log.h"
#include "core/server_requests.h"
#include "https_server.h"
#include "vendor_content.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <curl/curl.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kProducts = 21;
constexpr int kPackages = 9;
constexpr const char* kKey = "BENCH-KEY";

void write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

void makeVendor(const fs::path& content, const std::string& base) {
    for (const char* mirror : {"dropbox", "googledrive", "mediafire"})
        write(content / "mirrors" / mirror / "server_status.txt", "OK\r\n");
    write(content / k4m::server::kManagerFilesDir / "daw.txt", "reaper\r\nbitwig\r\n");
    write(content / "kd4_main/COM1/default", "OK[N=Bench][E=bench@example.com]");
    write(content / "kd4_main/COM3/default", "[Priority]\r\nMode=1\r\n[Locations]\r\n2=" + base + "/pkg/\r\n");
    std::string catalog;
    for (int p = 0; p < kProducts; ++p) {
        const std::string id = "P" + std::to_string(p);
        catalog += "[" + id + "]\r\nName=Product " + std::to_string(p) + "\r\nStatus=OK\r\nManifest=M" + id + "\r\n";
        std::string manifest = "[General]\r\nVersion=4.1." + std::to_string(p) + "\r\n";
        for (int k = 0; k < kPackages; ++k)
            manifest += "[" + id + "K" + std::to_string(k) + "]\r\nName=Package " + std::to_string(k) +
                        "\r\nVersion=3\r\nSize=20480\r\nTarget=" + (k == 0 ? "WINVST64" : "MAIN") +
                        "\r\nVST64=" + (k == 0 ? "1" : "0") + "\r\nLocation=2|" + id + "_" + std::to_string(k) +
                        "\r\nLocation1=2|mirror/" + id + "_" + std::to_string(k) + "\r\nEditionID=E" +
                        std::to_string(k) + "\r\nEditionName=Edition of the bench\r\n";
        write(content / "kd4_main/COM11" / ("M" + id), manifest);
    }
    write(content / "kd4_main/COM10/default", catalog);
}

// Connect without a window.
class HeadlessHost : public k4m::ConnectHost {
public:
    explicit HeadlessHost(k4m::ConnectRequests& requests) : m_requests(requests) {}
    std::string fetchText(const std::string& url) override {
        urls.push_back(url);
        return m_requests.fetch(url);
    }
    void expect(const std::vector<std::string>& ahead) override { m_requests.expect(ahead); }
    void setStatus(const std::string&) override {}
    void log(const std::string&) override {}
    void showCustomer(const std::string&) override {}
    void mirrorsUnreachable() override { throw std::runtime_error("mirrors unreachable"); }
    void buildRow(const k4m::RowSpec&) override { ++rows; }
    void scanCompleted() override {}

    std::vector<std::string> urls;
    int rows = 0;

private:
    k4m::ConnectRequests& m_requests;
};

struct ConnectRun {
    double seconds = 0;
    std::vector<std::string> urls;
};

ConnectRun runConnect(const std::string& base, const std::string& caFile) {
    k4m::WorkerShared shared;
    k4m::HttpSettings settings;
    settings.caFile = caFile;
    k4m::TcvDLThread worker(shared, nullptr, settings);
    worker.Start();
    k4m::ConnectInput input;
    input.key = kKey;
    input.serverBase = base;
    input.mirrorDropbox = base + "/mirrors/dropbox/server_status.txt";
    input.mirrorGoogleDrive = base + "/mirrors/googledrive/server_status.txt";
    input.mirrorMediaFire = base + "/mirrors/mediafire/server_status.txt";
    input.options.installVST64 = true;
    const k4m::IniFile profile;
    input.profile = &profile;

    const auto start = Clock::now();
    k4m::ConnectRequests requests(worker, settings);
    HeadlessHost host(requests);
    worker.initSlots();
    const k4m::ConnectResult result = k4m::runConnect(input, worker.Downloads, host);
    ConnectRun run;
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.urls = host.urls;
    int inUse = 0;
    for (const auto& slot : worker.Downloads)
        inUse += slot.InUse ? 1 : 0;
    if (result.end != k4m::ConnectResult::End::Completed || host.rows != kProducts || inUse != kProducts * kPackages)
        throw std::runtime_error("Connect did not complete: " + std::to_string(host.rows) + " rows, " +
                                 std::to_string(inUse) + " slots");
    worker.Terminate();
    return run;
}

size_t discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

// The same URLs one after another on one libcurl handle, which keeps its connection.
double runCurl(const std::vector<std::string>& urls, const std::string& caFile) {
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.c_str());
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    const auto start = Clock::now();
    for (const std::string& url : urls) {
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        if (curl_easy_perform(curl) != CURLE_OK) throw std::runtime_error("curl failed on " + url);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    curl_easy_cleanup(curl);
    return seconds;
}

struct Pair {
    double ours = 0, curl = 0;
};

// Best of `rounds` each, the two run one after the other in every round.
Pair measure(const std::string& base, const std::string& caFile, int rounds) {
    Pair best{1e9, 1e9};
    for (int round = 0; round < rounds; ++round) {
        const ConnectRun ours = runConnect(base, caFile);
        const double curl = runCurl(ours.urls, caFile);
        best.ours = std::min(best.ours, ours.seconds);
        best.curl = std::min(best.curl, curl);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    const int latencyMs = argc > 1 ? std::atoi(argv[1]) : 100;
    curl_global_init(CURL_GLOBAL_DEFAULT);
    const fs::path work = fs::temp_directory_path() / ("k4m-connect-bench-" + std::to_string(getpid()));
    try {
        fs::create_directories(work / "certificate");
        k4m::sim::HttpsServer server((work / "certificate").string());
        makeVendor(work / "content", server.base());
        server.fallback(k4m::sim::contentFolder((work / "content").string(), server.base()));

        const Pair plain = measure(server.base(), server.caFile(), 15);
        server.setLatency(std::chrono::milliseconds(latencyMs));
        const Pair slow = measure(server.base(), server.caFile(), 3);
        fs::remove_all(work);

        std::printf("connect_requests: %d\n", 7 + kProducts);
        std::printf("connect_ms: %.1f\n", plain.ours * 1000);
        std::printf("curl_serial_ms: %.1f\n", plain.curl * 1000);
        std::printf("connect_vs_curl: %.2f\n", plain.ours / plain.curl);
        std::printf("latency_ms: %d\n", latencyMs);
        std::printf("connect_latency_ms: %.1f\n", slow.ours * 1000);
        std::printf("curl_serial_latency_ms: %.1f\n", slow.curl * 1000);
        std::printf("connect_latency_vs_serial: %.2f\n", slow.ours / slow.curl);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "connect_bench: %s\n", e.what());
        fs::remove_all(work);
        return 1;
    }
    curl_global_cleanup();
    return 0;
}
