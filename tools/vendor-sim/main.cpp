// The vendor server simulator as a program, for the demo and for trying the manager by hand:
//   vendor-sim [--make-demo DIR] [--demo-profile FILE]
//   vendor-sim --content DIR [--port N] [--cert-dir DIR] [--server-ini FILE] [--latency MS] [--host-name NAME]
//              [--fault PATH=KNOB]...
// It serves DIR over HTTPS on 127.0.0.1 with a certificate made for the run, prints its address, writes a
// server.ini for the manager when asked, and runs until it is interrupted. --latency holds every answer back
// for MS milliseconds, as a distant server would. --host-name localhost makes its addresses name the server
// "localhost" (TLS clients that match only DNS names, such as Windows' own). Fault knobs: see vendor_content.h.
#include "demo_content.h"
#include "https_server.h"
#include "vendor_content.h"

#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) {
    g_stop = 1;
}

int usage() {
    std::fprintf(stderr, "usage: vendor-sim [--make-demo DIR] [--demo-profile FILE]\n"
                         "       vendor-sim --content DIR [--port N] [--cert-dir DIR] [--server-ini FILE]"
                         " [--latency MS] [--host-name NAME] [--fault PATH=KNOB]...\n");
    return 2;
}

// A whole number of milliseconds from 0 to one minute; false for anything else.
bool parseLatency(std::string_view text, long& milliseconds) {
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, milliseconds);
    return error == std::errc() && last == end && milliseconds >= 0 && milliseconds <= 60'000;
}

} // namespace

int main(int argc, char** argv) {
    std::string content, certDir, serverIni, demo, demoProfile, hostName;
    int port = 0;
    long latencyMs = 0;
    std::vector<std::pair<std::string, std::string>> faults;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--make-demo" && hasValue)
            demo = argv[++i];
        else if (arg == "--demo-profile" && hasValue)
            demoProfile = argv[++i];
        else if (arg == "--content" && hasValue)
            content = argv[++i];
        else if (arg == "--port" && hasValue)
            port = std::atoi(argv[++i]);
        else if (arg == "--cert-dir" && hasValue)
            certDir = argv[++i];
        else if (arg == "--server-ini" && hasValue)
            serverIni = argv[++i];
        else if (arg == "--host-name" && hasValue)
            hostName = argv[++i];
        else if (arg == "--latency" && hasValue) {
            if (!parseLatency(argv[++i], latencyMs)) return usage();
        } else if (arg == "--fault" && hasValue) {
            const std::string knob = argv[++i];
            const size_t eq = knob.find('=');
            if (eq == std::string::npos || knob[0] != '/') return usage();
            faults.emplace_back(knob.substr(0, eq), knob.substr(eq + 1));
        } else {
            return usage();
        }
    }
    if (!demo.empty() || !demoProfile.empty()) {
        try {
            if (!demo.empty()) k4m::sim::makeDemoContent(demo);
            if (!demoProfile.empty()) k4m::sim::writeDemoProfile(demoProfile);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "vendor-sim: %s\n", e.what());
            return 1;
        }
        return 0;
    }
    if (content.empty()) return usage();
    content = std::filesystem::absolute(content).string();
    if (!certDir.empty()) {
        std::filesystem::create_directories(certDir);
        certDir = std::filesystem::absolute(certDir).string();
    }

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    try {
        k4m::sim::HttpsServer server(certDir, port);
        server.setLatency(std::chrono::milliseconds(latencyMs));
        if (!hostName.empty()) server.setHostName(hostName);
        server.fallback(k4m::sim::contentFolder(content, server.base()));
        for (const auto& [path, knob] : faults)
            server.on(path, k4m::sim::faultHandler(server, knob, content + path));
        if (!serverIni.empty()) {
            const std::string base = server.base();
            const std::string temporary = serverIni + ".tmp";
            {
                std::ofstream ini(temporary, std::ios::binary | std::ios::trunc);
                ini << "[Server]\r\nBase=" << base << "\r\nWebsite=" << base << "\r\nProbe=" << base << "/\r\n"
                    << "MirrorDropbox=" << base << "/mirrors/dropbox/server_status.txt\r\n"
                    << "MirrorGoogleDrive=" << base << "/mirrors/googledrive/server_status.txt\r\n"
                    << "MirrorMediaFire=" << base << "/mirrors/mediafire/server_status.txt\r\n"
                    << "Support=support@example.com\r\nCAFile=" << server.caFile() << "\r\n";
            }
            std::filesystem::rename(temporary, serverIni);
        }
        std::printf("Vendor simulator: %s\n", server.base().c_str());
        std::fflush(stdout);
        while (!g_stop)
            ::pause();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vendor-sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
