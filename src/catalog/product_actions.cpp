#include "catalog/product_actions.h"

namespace k4m {

RowActions rowActions(ProductState state, bool createOffline, bool offlineMode) {
    RowActions r;
    switch (state) {
    case ProductState::UpToDate:
        r.items = {kActionUpToDate};
        if (!createOffline) r.items.push_back(kActionRepair);
        if (!createOffline && !offlineMode) r.items.push_back(kActionReinstall);
        r.status = 3;
        r.colour = ColourGreen;
        break;
    case ProductState::UpdateAvailable:
        r.items = {kActionUpdate};
        if (!createOffline) r.items.push_back(kActionSkip);
        r.status = 2;
        r.colour = ColourPaleRed;
        break;
    case ProductState::NotInstalled:
        r.items = {kActionInstall};
        if (!createOffline) r.items.push_back(kActionSkip);
        r.status = 1;
        r.colour = ColourPaleRed;
        break;
    }
    return r;
}

int applyAction(const std::string& action, int row, std::span<TcvDownload> slots) {
    bool any = false;
    int colour = ColourUnchanged;
    for (TcvDownload& slot : slots) {
        if (!slot.InUse || slot.ProductIndex != row) continue;
        if (action == kActionUpToDate) {
            slot.iState = 3;
            slot.dState = StateCompleted;
            colour = ColourGreen;
        } else if (action == kActionReinstall) {
            slot.iState = 0;
            slot.dState = StatePending;
            slot.NoCache = true;
            colour = ColourPaleRed;
        } else if (action == kActionRepair) {
            slot.iState = 0;
            slot.dState = StatePending;
            slot.NoCache = false;
            colour = ColourPaleRed;
        } else if (action == kActionUpdate) {
            slot.iState = slot.oiState;
            slot.dState = StatePending;
            slot.NoCache = slot.oNoCache;
            colour = ColourPaleRed;
        } else if (action == kActionSkip) {
            slot.iState = 1;
            slot.dState = StateSkipped;
            colour = ColourGreen;
        } else if (action == kActionInstall) {
            slot.iState = 0;
            slot.dState = StatePending;
            colour = ColourPaleRed;
        } else {
            return ColourUnchanged;
        }
        any = true;
    }
    return any ? colour : ColourUnchanged;
}

int64_t actualInstallSize(std::span<const TcvDownload> slots) {
    int64_t total = 0;
    for (const TcvDownload& slot : slots) {
        if (slot.InUse && slot.iState == 0) total += slot.Size;
    }
    return total;
}

bool anyWork(std::span<const TcvDownload> slots) {
    for (const TcvDownload& slot : slots) {
        if (slot.InUse && slot.iState == 0) return true;
    }
    return false;
}

std::optional<std::string> allRowsChoice(AllRowsButton button, const std::vector<std::string>& items) {
    std::vector<const char*> order;
    switch (button) {
    case AllRowsButton::ReinstallAll:
        order = {kActionReinstall, kActionUpdate, kActionInstall};
        break;
    case AllRowsButton::RepairAll:
        order = {kActionRepair, kActionUpdate, kActionInstall};
        break;
    case AllRowsButton::SkipAll:
        order = {kActionSkip, kActionUpToDate};
        break;
    }
    for (const char* wanted : order) {
        for (const std::string& item : items) {
            if (item == wanted) return item;
        }
    }
    return std::nullopt;
}

std::vector<std::optional<std::pair<int, int>>> rowPositions(const std::vector<bool>& hasRow) {
    std::vector<std::optional<std::pair<int, int>>> positions(hasRow.size());
    int x = 10;
    int y = 138;
    for (size_t i = 0; i < hasRow.size(); ++i) {
        // The second column starts once, before the thirteenth index, whether or not that index has a row.
        if (i > 11 && x < 100) {
            x = 350;
            y = 168;
        }
        if (!hasRow[i]) continue;
        y += 25 + 5;
        positions[i] = std::make_pair(x, y);
    }
    return positions;
}

} // namespace k4m
