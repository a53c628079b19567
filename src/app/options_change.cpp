#include "app/options_change.h"

#include "core/text_util.h"
#include "platform/utf8_path.h"

#include <algorithm>
#include <filesystem>

namespace k4m {

namespace {

bool fileExists(const std::string& folder, const char* name) {
    std::error_code ec;
    return !folder.empty() && std::filesystem::exists(pathFromUtf8(joinPath(folder, name)), ec);
}

bool folderExists(const std::string& folder, const char* name) {
    std::error_code ec;
    return !folder.empty() && std::filesystem::is_directory(pathFromUtf8(joinPath(folder, name)), ec);
}

constexpr const char* kVstBinary = "kandoro4.dll";
constexpr const char* kAaxBundle = "Kandoro4.aaxplugin";

} // namespace

std::string removalMarkers(const OptionsEntries& now, const std::string& oldVST64Folder,
                           const std::string& oldVST32Folder, const std::string& proToolsFolder) {
    std::string markers;
    if (!now.vst64 && fileExists(oldVST64Folder, kVstBinary)) markers += "[6]";
    if (!now.vst32 && fileExists(oldVST32Folder, kVstBinary)) markers += "[3]";
    if (!now.aax && folderExists(proToolsFolder, kAaxBundle)) markers += "[A]";
    return markers;
}

bool reinstallNeeded(const OptionsEntries& now, const std::string& vst64Folder, const std::string& vst32Folder,
                     const std::string& proToolsFolder, bool oldAIOnly) {
    if (now.createOffline) return false;
    return (now.vst32 && !fileExists(vst32Folder, kVstBinary)) || (now.vst64 && !fileExists(vst64Folder, kVstBinary)) ||
           (now.aax && !folderExists(proToolsFolder, kAaxBundle)) || (oldAIOnly && !now.aiOnly);
}

std::string dataCopyStatusText(std::uint64_t filesDone, std::uint64_t filesTotal, std::uint64_t bytesDone,
                               std::uint64_t bytesTotal) {
    // A file that grew while it was copied must not make the figures run past their end.
    return "Copying the data folder: " + std::to_string(std::min(filesDone, filesTotal)) + " of " +
           std::to_string(filesTotal) + " files, " + byteSizeText(std::min(bytesDone, bytesTotal)) + " of " +
           byteSizeText(bytesTotal);
}

std::string dataCopiedMessage(const std::string& oldDataFolder) {
    return "The data folder has been copied to the new location. After closing this tool, feel free to delete the "
           "old folder [" +
           oldDataFolder + "]";
}

} // namespace k4m
