#include "download/entry_plan.h"

#include <algorithm>

namespace k4m {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string systemSeparators(std::string_view entryPath) {
    std::string path(entryPath);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowerAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) { return lowerAscii(c); });
    return text;
}

} // namespace

std::string withLowerCaseExtension(const std::string& path) {
    const size_t name = path.find_last_of("/\\");
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (name != std::string::npos && dot < name)) return path;
    std::string result = path;
    std::transform(result.begin() + static_cast<std::ptrdiff_t>(dot), result.end(),
                   result.begin() + static_cast<std::ptrdiff_t>(dot), [](char c) { return lowerAscii(c); });
    return result;
}

std::string destinationFolder(const std::string& entryPath, const PackageSlot& slot,
                              const std::string& packageFileName, const InstallTargets& targets, bool* proTools) {
    std::string folder;
    bool toProTools = false;
    const std::string& target = slot.Target;
    if (target == "MAIN") {
        folder = targets.productFolder;
    } else if (target == "TOP") {
        folder = targets.commonAppDataFolder;
    } else if (target == "AAX") {
        if (!targets.installAAX) {
            if (proTools != nullptr) *proTools = false;
            return {}; // every entry is skipped, whatever the overrides say
        }
        folder = targets.proToolsFolder;
        toProTools = true;
    } else if (target == "MACAU" || target == "MACVST" || target == "MACAPP" || target == "MACPL") {
        folder.clear(); // no such folders on this system
    } else {
        folder = targets.productFolder;
    }
    if (startsWith(entryPath, kSoundsPrefix)) {
        folder = targets.soundDataFolder;
        toProTools = false;
    }
    if (packageFileName.find("AAX") != std::string::npos) {
        folder = targets.cacheFolder;
        toProTools = false;
    }
    if (proTools != nullptr) *proTools = toProTools && !folder.empty();
    return folder;
}

bool EntryPlanner::next(PlannedEntry& e) {
    std::string_view line;
    if (m_refused || !m_lines.next(line)) return false;
    e = PlannedEntry{};
    e.line = std::string(line);
    if (m_input.slot.SoundsOnly && !startsWith(line, kSoundsPrefix)) {
        e.step = PlannedEntry::Step::SkipSoundsOnly;
        return true;
    }
    auto refuse = [&](std::string reason) {
        e.step = PlannedEntry::Step::Refuse;
        e.refusal = std::move(reason);
        m_refused = true;
        return true;
    };
    const std::string_view entryPath = entryPathOf(line);
    e.relative = systemSeparators(entryPath);
    e.folder =
        destinationFolder(std::string(entryPath), m_input.slot, m_input.packageFileName, *m_input.targets, &e.proTools);
    e.fullPath = e.folder.empty() ? e.relative : e.folder + "/" + e.relative;
    if (std::string reason = unsafeEntryPathReason(entryPath); !reason.empty()) return refuse(std::move(reason));
    if (entryFileName(entryPath) == kFinderStoreFile) {
        e.step = PlannedEntry::Step::FinderStore;
        return true;
    }
    const std::string_view sizeText = sizeTextOf(line);
    const std::optional<int32_t> size = parseEntrySize(sizeText);
    if (!size) return refuse("'" + std::string(sizeText) + "' is not a valid entry size");
    if (*size < 0) return refuse("the entry size " + std::to_string(*size) + " is negative");
    if (*size > m_input.fileSize - m_position) return refuse("the entry's data reaches beyond the end of the package");
    e.offset = m_position;
    e.size = *size;
    m_position += *size;
    if (e.folder.empty()) {
        e.use = PlannedEntry::Use::NoFolder;
    } else if (lowerAscii(std::string(entryFileName(e.relative))).ends_with(".zip")) {
        e.use = PlannedEntry::Use::IgnoreZip;
    } else {
        e.fullPath = withLowerCaseExtension(e.fullPath);
        if (m_input.createOffline) e.use = PlannedEntry::Use::OfflineOnly;
    }
    return true;
}

} // namespace k4m
