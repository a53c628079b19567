#pragma once

#include "catalog/slot_filling.h"
#include "download/tcv_download.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace k4m {

// The action texts of a product row's list.
inline constexpr const char* kActionInstall = "INSTALL";
inline constexpr const char* kActionUpdate = "UPDATE";
inline constexpr const char* kActionRepair = "REPAIR";
inline constexpr const char* kActionReinstall = "RE-INSTALL";
inline constexpr const char* kActionSkip = "SKIP";
inline constexpr const char* kActionUpToDate = "UP-TO-DATE";

// Fill modes of a row frame: 0 grey (new row), 1 green (nothing to do), 2 pale red (work to do).
enum RowColour : int { ColourUnchanged = -1, ColourGrey = 0, ColourGreen = 1, ColourPaleRed = 2 };

// What a product row with an action list offers, and how it starts.
struct RowActions {
    std::vector<std::string> items; // in list order; the first is selected
    int status = 0;                 // the row's Status: 1 not installed, 2 update available, 3 up to date
    int colour = ColourGrey;
};

// The list of a product row from the state its packages gave. An offline package being made offers only the
// first item; offline mode offers no re-installation (there is nothing to download afresh).
RowActions rowActions(ProductState state, bool createOffline, bool offlineMode);

// Applies an action to every slot in use of row `row`. Returns the row's new colour, or ColourUnchanged when
// the row has no slots (or the text is no action).
int applyAction(const std::string& action, int row, std::span<TcvDownload> slots);

// The kB of every slot in use that will be worked on.
int64_t actualInstallSize(std::span<const TcvDownload> slots);
// Whether any slot in use will be worked on (then Start Installation is offered).
bool anyWork(std::span<const TcvDownload> slots);

enum class AllRowsButton { ReinstallAll, RepairAll, SkipAll };

// The item an all-rows button selects in a list with these items: the first present in the button's order of
// preference; none when the list has none of them.
std::optional<std::string> allRowsChoice(AllRowsButton button, const std::vector<std::string>& items);

// Where the rows go: the top-left corner of each catalog index's frame, or none for an index without a row.
// Twelve rows fill the left column from y 168 down in steps of 30; the rest start the right column at x 350.
std::vector<std::optional<std::pair<int, int>>> rowPositions(const std::vector<bool>& hasRow);

} // namespace k4m
