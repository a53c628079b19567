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

std::vector<PlannedEntry> planEntries(const std::vector<std::string>& lines, const PlanInput& input) {
    std::vector<PlannedEntry> plan;
    plan.reserve(lines.size());
    int64_t position = input.payloadStart;
    for (const std::string& line : lines) {
        PlannedEntry& e = plan.emplace_back();
        e.line = line;
        if (input.slot.SoundsOnly && !startsWith(line, kSoundsPrefix)) {
            e.step = PlannedEntry::Step::SkipSoundsOnly;
            continue;
        }
        const std::string_view entryPath = entryPathOf(line);
        e.relative = systemSeparators(entryPath);
        e.folder = destinationFolder(std::string(entryPath), input.slot, input.packageFileName, *input.targets,
                                     &e.proTools);
        e.fullPath = e.folder.empty() ? e.relative : e.folder + "/" + e.relative;
        if (const std::string reason = unsafeEntryPathReason(entryPath); !reason.empty()) {
            e.step = PlannedEntry::Step::Refuse;
            e.refusal = reason;
            break;
        }
        if (entryFileName(entryPath) == kFinderStoreFile) {
            e.step = PlannedEntry::Step::FinderStore;
            continue;
        }
        const std::string_view sizeText = sizeTextOf(line);
        const std::optional<int32_t> size = parseEntrySize(sizeText);
        if (!size) {
            e.step = PlannedEntry::Step::Refuse;
            e.refusal = "'" + std::string(sizeText) + "' is not a valid entry size";
            break;
        }
        if (*size < 0) {
            e.step = PlannedEntry::Step::Refuse;
            e.refusal = "the entry size " + std::to_string(*size) + " is negative";
            break;
        }
        if (*size > input.fileSize - position) {
            e.step = PlannedEntry::Step::Refuse;
            e.refusal = "the entry's data reaches beyond the end of the package";
            break;
        }
        e.offset = position;
        e.size = *size;
        position += *size;
        if (e.folder.empty()) {
            e.use = PlannedEntry::Use::NoFolder;
        } else if (lowerAscii(std::string(entryFileName(e.relative))).ends_with(".zip")) {
            e.use = PlannedEntry::Use::IgnoreZip;
        } else {
            e.fullPath = withLowerCaseExtension(e.fullPath);
            if (input.createOffline) e.use = PlannedEntry::Use::OfflineOnly;
        }
    }
    return plan;
}

} // namespace k4m
