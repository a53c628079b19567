#pragma once

#include "catalog/package_acceptance.h"
#include "catalog/package_url.h"
#include "core/ini_file.h"
#include "download/tcv_download.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace k4m {

// What the slot filling of one product needs to know besides its manifest.
struct SlotContext {
    int rowIndex = 0;                 // the product's row in the list
    const IniFile* profile = nullptr; // installed versions, section Packages
    PackageOptions options;
    bool offlineMode = false; // no location is resolved: the packages come from the package folder
    int serverMode = 0;       // the locations answer's mirror preference
    MirrorStatus mirrors;
    const IniFile* locations = nullptr; // the locations answer
    std::string serverBase;
    std::string eid;
    std::function<void(const std::string&)> status; // each step's text for the status line
    std::function<void(const std::string&)> log;    // packages left out, and why
};

// What the product's packages say about it.
struct ProductFill {
    bool someInstalled = false; // an accepted package has an installed version at all
    bool allCurrent = true;     // every accepted package is at its manifest version
    int64_t installSize = 0;    // kB of the packages that need work
    int filled = 0;             // slots filled for this product
    bool tableFull = false;     // packages were left out: the slot table had no room for them
};

enum class ProductState { NotInstalled, UpdateAvailable, UpToDate };

inline ProductState productState(const ProductFill& fill) {
    if (!fill.someInstalled) return ProductState::NotInstalled;
    return fill.allCurrent ? ProductState::UpToDate : ProductState::UpdateAvailable;
}

// Fills one slot per accepted package of `manifest` (every section after the first, in file order), from
// `nextSlot` on, and advances `nextSlot`. Packages that do not fit into the table are left out (and said so)
// rather than written past its end.
ProductFill fillProductSlots(const IniFile& manifest, std::span<TcvDownload> slots, int& nextSlot,
                             const SlotContext& context);

} // namespace k4m
