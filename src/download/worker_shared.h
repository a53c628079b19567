#pragma once

#include "download/locked_text.h"
#include "download/package_installer.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace k4m {

class IniFile;

// The values the worker shares with the main window, one of each per process.
struct WorkerShared {
    InstallTargets installTargets; // set before every installation run
    std::atomic<bool> offlineMode{false};
    std::atomic<bool> createOffline{false};
    std::atomic<int64_t> currentBytes{0};  // bytes of the current download
    std::atomic<int64_t> finishedBytes{0}; // bytes of finished downloads
    LockedText lastRequestError;           // of commands 2 and 6
    std::atomic<int> lastStatusCode{0};    // of command 6: 0 before, -1 when the request failed
    std::atomic<bool> elevationNeeded{false};
    std::atomic<bool> pluginArchiveStored{false};
    std::atomic<bool> appArchiveStored{false};
    std::atomic<bool> stopFlag{false};
    IniFile* profile = nullptr; // the manager profile, updated by the batch
    // Of the user's number format, for the figures the batch logs; set once before the worker starts.
    std::string decimalSeparator = ".";
};

} // namespace k4m
