// The worker's side of download_bench, in a process of its own:
//   download_bench_client download URL FILE CA    command 1 into FILE
//   download_bench_client fetch URL COUNT CA      COUNT fetch-text commands in a row
#include "download/tcv_dl_thread.h"

#include <cstdlib>
#include <string>

namespace {

k4m::HttpSettings settingsFor(const std::string& caFile) {
    k4m::HttpSettings settings;
    settings.caFile = caFile;
    return settings;
}

int clientDownload(const std::string& url, const std::string& file, const std::string& caFile) {
    k4m::WorkerShared shared;
    k4m::TcvDLThread worker(shared, nullptr, settingsFor(caFile));
    worker.Start();
    return k4m::saveFile(worker, url, file) ? 0 : 1;
}

int clientFetch(const std::string& url, int count, const std::string& caFile) {
    k4m::WorkerShared shared;
    k4m::TcvDLThread worker(shared, nullptr, settingsFor(caFile));
    worker.Start();
    for (int i = 0; i < count; ++i) {
        if (k4m::fetchText(worker, url).rfind("ERROR", 0) == 0) return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    const std::string mode = argv[1];
    if (mode == "download") return clientDownload(argv[2], argv[3], argv[4]);
    if (mode == "fetch") return clientFetch(argv[2], std::atoi(argv[3]), argv[4]);
    return 2;
}
