#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace k4m {

// Run states of a download slot.
enum DownloadState : int {
    StatePending = 0,
    StateDownloading = 1,
    StateCompleted = 2,
    StateSkipped = 3,
    StateInstalling = 4, // also: fetched and stored, when an offline package is created
    StateFailed = 5,
};

// One package of the installation: filled by Connect, selected through the product rows, worked through by
// the installation batch. Only dState changes while the user-interface thread watches.
struct TcvDownload {
    int ProductIndex = 0;
    bool InUse = false;
    std::string URL;
    int Action = 0;
    int iState = 0;  // 0 process this package; above 0 leave it alone
    int oiState = 0; // the iState Connect chose
    std::atomic<int> dState{StatePending};
    int dCompletion = 0;
    bool SoundsOnly = false;
    bool HandleRedirect = false;
    std::string dName;
    std::string Target;
    int64_t Version = 0;
    std::string ProductName;
    std::string LegacyName;
    bool NoCache = false;
    bool oNoCache = false;
    int64_t Size = 0; // kB of 1000 bytes
    int64_t Downloaded = 0;
    bool Installed = false;
    std::string editionID;   // at most 255 characters
    std::string editionname; // at most 255 characters
};

} // namespace k4m
