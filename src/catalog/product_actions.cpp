#include "catalog/product_actions.h"

namespace k4m {

RowActions rowActions(ProductState state, bool createOffline, bool offlineMode) {
    RowActions r;
    if (state == ProductState::UpToDate) {
        r.items = {kActionUpToDate};
        if (!createOffline) r.items.push_back(kActionRepair);
        if (!createOffline && !offlineMode) r.items.push_back(kActionReinstall);
        r.status = 3;
        r.colour = ColourGreen;
        return r;
    }
    const bool update = state == ProductState::UpdateAvailable;
    r.items = {update ? kActionUpdate : kActionInstall};
    if (!createOffline) r.items.push_back(kActionSkip);
    r.status = update ? 2 : 1;
    r.colour = ColourPaleRed;
    return r;
}

namespace {

// What each action does to a slot of its row. iState and NoCache may also be taken back from what Connect
// found (oiState, oNoCache) or, for NoCache, left as they are.
enum class Take { Value, Connect, Unchanged };

struct ActionEffect {
    const char* action;
    Take iStateFrom;
    int iState;
    int dState;
    Take noCacheFrom;
    bool noCache;
    int colour;
};

constexpr ActionEffect kEffects[] = {
    {kActionUpToDate, Take::Value, 3, StateCompleted, Take::Unchanged, false, ColourGreen},
    {kActionReinstall, Take::Value, 0, StatePending, Take::Value, true, ColourPaleRed},
    {kActionRepair, Take::Value, 0, StatePending, Take::Value, false, ColourPaleRed},
    {kActionUpdate, Take::Connect, 0, StatePending, Take::Connect, false, ColourPaleRed},
    {kActionSkip, Take::Value, 1, StateSkipped, Take::Unchanged, false, ColourGreen},
    {kActionInstall, Take::Value, 0, StatePending, Take::Unchanged, false, ColourPaleRed},
};

} // namespace

int applyAction(const std::string& action, int row, std::span<TcvDownload> slots) {
    const ActionEffect* effect = nullptr;
    for (const ActionEffect& e : kEffects) {
        if (action == e.action) effect = &e;
    }
    if (effect == nullptr) return ColourUnchanged;
    bool any = false;
    for (TcvDownload& slot : slots) {
        if (!slot.InUse || slot.ProductIndex != row) continue;
        slot.iState = effect->iStateFrom == Take::Connect ? slot.oiState : effect->iState;
        slot.dState = effect->dState;
        if (effect->noCacheFrom == Take::Connect)
            slot.NoCache = slot.oNoCache;
        else if (effect->noCacheFrom == Take::Value)
            slot.NoCache = effect->noCache;
        any = true;
    }
    return any ? effect->colour : ColourUnchanged;
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
