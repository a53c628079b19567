#pragma once

#include "core/install_options.h"

#include <string>

namespace k4m::test {

// The installation options a running manager holds, as plain values a test can set and look at.
struct HeldOptions {
    std::string data = "/held/data";
    std::string vst64 = "/held/vst64";
    std::string vst32 = "/held/vst32";
    bool installVST64 = false, installVST32 = false, installAAX = false, aiOnly = false, useKD3 = false, beta = false,
         createOffline = false;
    int guiScale = 5;

    CurrentOptions current() {
        return {data,   vst64,  vst32, installVST64,  installVST32, installAAX,
                aiOnly, useKD3, beta,  createOffline, guiScale};
    }
};

} // namespace k4m::test
