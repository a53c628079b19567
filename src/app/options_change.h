#pragma once

#include "platform/folder_copy.h"
#include "core/install_options.h"

#include <string>

namespace k4m {

// What an accepted change of the installation options sets off, without a window.

// The delete mode's format markers for the formats switched off whose binaries are still in their old place,
// "[6]", "[3]", "[A]" in that order and without separators; empty when nothing is to be removed.
std::string removalMarkers(const OptionsEntries& now, const std::string& oldVST64Folder,
                           const std::string& oldVST32Folder, const std::string& proToolsFolder);

// Whether the new choices need Connect and the installation to run again: a chosen format without its binary
// in the (new) folder, or the full library asked for after the AI-only choice. Never while offline packages
// are being created.
bool reinstallNeeded(const OptionsEntries& now, const std::string& vst64Folder, const std::string& vst32Folder,
                     const std::string& proToolsFolder, bool oldAIOnly);

// The status line while the data folder is copied: "Copying the data folder: 3 of 10 files, 1.2 MB of 4.0 MB".
std::string dataCopyStatusText(std::uint64_t filesDone, std::uint64_t filesTotal, std::uint64_t bytesDone,
                               std::uint64_t bytesTotal);

// The message after the data folder was copied.
std::string dataCopiedMessage(const std::string& oldDataFolder);

} // namespace k4m
