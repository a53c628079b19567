#pragma once

#include "download/package_installer.h"
#include "download/package_format.h"

#include <cstdint>
#include <string>

namespace k4m {

// What the installer does with one manifest line, decided before any entry is inflated: everything here
// follows from the line, the slot, the folders and the place of the line in the manifest, which is what lets
// entries inflate side by side while the work on disk stays in manifest order.
struct PlannedEntry {
    enum class Step {
        SkipSoundsOnly, // a sounds-only package's line outside "data\sounds\": no data read
        Refuse,         // the package fails here: a path that would leave its folder, a size that is not one
        FinderStore,    // ".DS_Store": no data read
        Inflate,        // the entry's stream is inflated (and checked) whatever happens to it afterwards
    };
    enum class Use {
        Write,        // written to fullPath
        NoFolder,     // no destination (AAX switched off, a target without a folder)
        IgnoreZip,    // a ".zip" entry
        OfflineOnly,  // an offline package is being created: nothing is written
    };

    std::string line;
    Step step = Step::Inflate;
    std::string refusal; // Step::Refuse: why
    int64_t offset = 0;  // of the stream in the file
    int64_t size = 0;    // of the stream
    Use use = Use::Write;
    std::string folder;   // destination folder (empty: none)
    std::string relative; // the entry path with the system's separators
    std::string fullPath; // folder + "/" + relative, its extension in lower case
    bool proTools = false; // the destination is the Pro Tools plug-in folder
};

struct PlanInput {
    PackageSlot slot;
    std::string packageFileName; // decides the "AAX" override
    const InstallTargets* targets = nullptr;
    bool createOffline = false;
    int64_t payloadStart = 0;
    int64_t fileSize = 0;
};

// Plans the manifest's lines one at a time, up to and including the first refused one; lines after a refusal
// are not touched.
class EntryPlanner {
public:
    EntryPlanner(std::string_view manifestText, const PlanInput& input) : m_lines(manifestText), m_input(input) {
        m_position = input.payloadStart;
    }
    // The plan of the next line; false when there is none.
    bool next(PlannedEntry& entry);

private:
    ManifestLines m_lines;
    PlanInput m_input;
    int64_t m_position = 0;
    bool m_refused = false;
};

// The destination folder of an entry: the target's folder, then the overrides (sound data, and the cache
// folder for a package whose file name contains "AAX"). Empty when the entry has none.
std::string destinationFolder(const std::string& entryPath, const PackageSlot& slot,
                              const std::string& packageFileName, const InstallTargets& targets, bool* proTools);

// `path` with the extension of its file name in lower case (ASCII letters only); the rest keeps its case.
std::string withLowerCaseExtension(const std::string& path);

} // namespace k4m
