#include "catalog/slot_filling.h"

#include "catalog/offline_package.h"
#include "core/settings_keys.h"

#include <algorithm>

namespace k4m {

namespace {

std::string atMost255(std::string text) {
    if (text.size() > 255) text.resize(255);
    return text;
}

} // namespace

ProductFill fillProductSlots(const IniFile& manifest, std::span<TcvDownload> slots, int& nextSlot,
                             const SlotContext& c) {
    auto status = [&](const std::string& text) {
        if (c.status) c.status(text);
    };
    const IniFile noLocations;
    const IniFile& locations = c.locations != nullptr ? *c.locations : noLocations;
    ProductFill fill;
    const std::vector<std::string> sections = manifest.sectionNames();
    // The first section is the manifest's header, whatever its name: never a package.
    for (size_t s = 1; s < sections.size(); ++s) {
        const std::string& p = sections[s];
        status("Preparing " + p);
        // The package id names the package's file in the download cache: one that could name a file elsewhere
        // is never offered.
        if (!OfflinePackage::isPlainFileStem(p)) {
            if (c.log) c.log("Skipping package " + p + ": its id cannot name a file.");
            continue;
        }
        if (!acceptsPackage(manifest, p, c.options)) continue;
        if (nextSlot < 0 || static_cast<size_t>(nextSlot) >= slots.size()) {
            fill.tableFull = true;
            break;
        }
        TcvDownload& slot = slots[static_cast<size_t>(nextSlot)];

        status("PREP-D2 " + p);
        slot.InUse = true;
        status("PREP-D2A " + p);
        slot.SoundsOnly = false;
        slot.HandleRedirect = false;
        slot.ProductIndex = c.rowIndex;
        slot.ProductName = manifest.readString(p, "Name", "Unknown");
        slot.dState = StatePending;
        slot.dName = p;
        slot.dCompletion = 0;
        slot.Target = manifest.readString(p, "Target", "MAIN");
        slot.editionID = atMost255(manifest.readString(p, "EditionID", ""));
        slot.editionname = atMost255(manifest.readString(p, "EditionName", ""));
        slot.Version = manifest.readInteger(p, "Version", 1);
        // A size below 0 is no size: it would take from the download summary and the chosen work's size what
        // the other packages really need.
        slot.Size = std::max(0, manifest.readInteger(p, "Size", 0));

        const int installed = c.profile != nullptr ? profile::readPackageVersion(*c.profile, p) : -1;
        const bool current = installed == slot.Version;
        if (current) {
            slot.iState = 1;
        } else {
            slot.iState = 0;
            fill.installSize += slot.Size;
            slot.NoCache = true; // a cached archive of a package that needs work is not trusted
        }
        status("PREP-D2B " + p);
        if (current)
            slot.Installed = true;
        else
            fill.allCurrent = false;
        status("PREP-D3 " + p);
        if (installed != -1) fill.someInstalled = true;

        status("PREP-D3B " + p);
        const LocationChoice location =
            c.offlineMode ? LocationChoice{} : resolveLocation(manifest, p, c.serverMode, c.mirrors);
        const PackageUrl url = formPackageUrl(manifest, p, location, locations, c.serverBase, c.eid);
        slot.URL = url.url;
        slot.SoundsOnly = url.soundsOnly;
        slot.HandleRedirect = url.handleRedirect || isFileHostingAddress(url.url);
        slot.oiState = slot.iState;
        slot.oNoCache = slot.NoCache;
        ++nextSlot;
        ++fill.filled;
    }
    return fill;
}

} // namespace k4m
