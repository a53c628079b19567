#pragma once

#include "download/tcv_download.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace k4m {

// Nearest integer, ties to the even neighbour (2.5 gives 2, 3.5 gives 4).
int64_t roundHalfEven(double value);

// Which run states the slots of one product row are in.
struct RowStates {
    bool pending = false;
    bool downloading = false;
    bool completed = false;
    bool skipped = false;
    bool installing = false;
    bool failed = false;
};

// The states of the slots in use that belong to `productIndex` and are to be processed (iState 0).
RowStates rowStatesOf(std::span<const TcvDownload> slots, int productIndex);

// The row's status label during a run: the first rule that holds; nothing when the label keeps its text.
std::optional<std::string> rowLabel(const RowStates& states, bool createOffline);

// Whether a row whose label reads `label` is coloured as done (green) after its running colour.
bool rowLooksDone(const std::string& label);

// The progress bar's position: the per cent of the expected kilobytes the downloads have reached, within
// 0..100; nothing while no size is expected.
std::optional<int> progressPosition(int64_t finishedBytes, int64_t currentBytes, int64_t actualInstallSizeKb);

// What the worker reports for the status line.
struct TransferReport {
    bool active = false;
    double completion = 0; // per cent of the current download
    int64_t maxBytes = 0;  // its announced size
    int speedKbps = 0;
    std::string name;       // of the package being fetched
    std::string lastAction; // the worker's last step
};

// The status line's text: the current download's progress while one is announced, else the worker's last
// step; a non-empty override text replaces either.
std::string runStatusText(const TransferReport& report, const std::string& overrideText);

// The text of the prompt that lists the errors of a run; `errors` begins with a line break of its own.
std::string installationErrorsText(const std::string& errors);

} // namespace k4m
