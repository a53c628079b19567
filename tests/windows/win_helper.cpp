// A child for the Windows platform tests: sleeps, or holds the instance lock, for a minute.
#include "platform/platform.h"

#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "lock") == 0) {
        auto platform = k4m::createPlatform();
        const auto lock = platform->acquireInstanceLock(argv[2], "");
        if (!lock) return 3;
        ::Sleep(60000);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "exit") == 0) return argc >= 3 ? std::atoi(argv[2]) : 0;
    ::Sleep(60000);
    return 0;
}
