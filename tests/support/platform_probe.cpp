// Asks the platform layer one question from a process of its own, for tests that need a second process or a
// different network namespace:
//   platform_probe lock NAME [FALLBACK]   takes the single-instance lock, prints "held" and keeps it until killed, or
//                              prints "refused" and ends with 1
//   platform_probe connected   prints 1 or 0 for the connectivity test
#include "platform/platform.h"

#include <cstdio>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    auto platform = k4m::createPlatform();
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "lock" && (argc == 3 || argc == 4)) {
        auto lock = platform->acquireInstanceLock(argv[2], argc == 4 ? argv[3] : "");
        std::puts(lock ? "held" : "refused");
        std::fflush(stdout);
        if (!lock) return 1;
        for (;;)
            ::pause();
    }
    if (command == "connected") {
        std::puts(platform->hasNetworkConnection() ? "1" : "0");
        return 0;
    }
    return 2;
}
