#include "app/installation_driver.h"

#include <algorithm>
#include <cmath>

namespace k4m {

int64_t roundHalfEven(double value) {
    if (!std::isfinite(value)) return 0;
    const double whole = std::floor(value);
    const double fraction = value - whole;
    double result = whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) result = whole + 1;
    // Far beyond any figure the window shows; keeps the conversion defined.
    result = std::clamp(result, -9.0e18, 9.0e18);
    return static_cast<int64_t>(result);
}

RowStates rowStatesOf(std::span<const TcvDownload> slots, int productIndex) {
    RowStates states;
    for (const TcvDownload& slot : slots) {
        if (!slot.InUse || slot.ProductIndex != productIndex || slot.iState != 0) continue;
        switch (slot.dState.load()) {
        case StatePending: states.pending = true; break;
        case StateDownloading: states.downloading = true; break;
        case StateCompleted: states.completed = true; break;
        case StateSkipped: states.skipped = true; break;
        case StateInstalling: states.installing = true; break;
        case StateFailed: states.failed = true; break;
        default: break;
        }
    }
    return states;
}

std::optional<std::string> rowLabel(const RowStates& s, bool createOffline) {
    // When an offline package is made, "installing" means fetched and stored: nothing is installed.
    if (s.installing && !createOffline) return "Installing...";
    if (s.downloading) return "Downloading...";
    if (s.failed) return "Failed";
    if (s.pending) return "Pending";
    if (s.skipped) return "Skipped";
    if (s.completed) return "Completed";
    if (createOffline) return "Completed";
    return std::nullopt;
}

bool rowLooksDone(const std::string& label) {
    return label == "Completed" || label == "Skipped";
}

std::optional<int> progressPosition(int64_t finishedBytes, int64_t currentBytes, int64_t actualInstallSizeKb) {
    if (actualInstallSizeKb == 0) return std::nullopt;
    const double kilobytes = (static_cast<double>(finishedBytes) + static_cast<double>(currentBytes)) * 0.1;
    const int64_t percent = roundHalfEven(kilobytes / static_cast<double>(actualInstallSizeKb));
    // Sizes in the manifests are advisory: a download larger than announced keeps the bar full, not empty.
    return static_cast<int>(std::clamp<int64_t>(percent, 0, 100));
}

std::string runStatusText(const TransferReport& r, const std::string& overrideText) {
    if (!overrideText.empty()) return overrideText;
    if (!r.active || r.maxBytes == 0) return r.lastAction;
    return std::to_string(roundHalfEven(r.completion)) + "% of " +
           std::to_string(roundHalfEven(static_cast<double>(r.maxBytes) / 1000.0)) + "kB @" +
           std::to_string(r.speedKbps) + "kB/s   [" + r.name + "]";
}

std::string installationErrorsText(const std::string& errors) {
    return "The following errors were encountered during the installation:\r\n\r\n" + errors +
           "\r\n\r\nWe recommend you re-open this tool and try installing again. If you still receive this error, "
           "please use \"Email Tech Support\" to request assistance.";
}

} // namespace k4m
