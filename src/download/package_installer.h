#pragma once

#include "download/tcv_download.h"

#include <string>

namespace k4m {

struct WorkerShared;

// Where the entries of a package go and which plug-in formats are installed; set by the installation start
// before the batch is posted. Folders carry no trailing separator; an empty folder means there is none.
struct InstallTargets {
    std::string productFolder;       // common application data folder + "Kandoro4"
    std::string installerFolder;     // product folder + "Installer" (error.txt of a short download)
    std::string commonAppDataFolder; // target "TOP"
    std::string soundDataFolder;     // entries under "data\sounds\": the data folder, or the previous generation's
    std::string cacheFolder;         // data folder + "cache": packages, and the entries of an "AAX" package
    std::string proToolsFolder;      // target "AAX"
    std::string vst64Folder;
    std::string vst32Folder;
    bool installAAX = false;
    bool installVST64 = false;
    bool installVST32 = false;
};

// What the installer uses of a download slot.
struct PackageSlot {
    std::string Target;
    std::string dName;
    bool SoundsOnly = false;
};
PackageSlot packageSlotOf(const TcvDownload& slot);

// The installer's side of the worker: its log, LastAction and Errors.
class InstallerHost {
public:
    virtual ~InstallerHost() = default;
    virtual void log(const std::string& line) = 0;
    virtual void setLastAction(const std::string& text) = 0;
    virtual void addError(const std::string& line) = 0;
};

enum class Inflater {
    Fastest, // the fastest one this build has
    Zlib,
};

struct InstallerTuning {
    int threads = 0;        // threads that inflate entries side by side; 0: one for each processor core
    int entriesAhead = 64;  // how many entries may be inflated ahead of the one being installed (files on disk)
    Inflater inflater = Inflater::Fastest;
};

// Installs the package file `packagePath` of `slot` into the folders of `shared.installTargets`, writing the
// plug-in paths into `shared.profile` (when there is one) and setting the shared flags elevation needed, plug-in
// archive stored and application archive stored. Log lines, LastAction and error lines go to `host`, in the
// order of the manifest, whatever is inflated ahead. Returns false when the package failed: an entry that did
// not inflate (later entries are still installed), or a failure that ends the package at once (an unreadable
// package, a size that is not a number or lies beyond the end, an entry path that would leave its folder, a
// write refused outside the Pro Tools folder). Nothing is ever written outside the destination folders, and an
// entry's file exists under its name only when its stream inflated whole. Memory stays small whatever the sizes.
bool installPackage(const std::string& packagePath, const PackageSlot& slot, WorkerShared& shared,
                    InstallerHost& host, const InstallerTuning& tuning = {});

// The full path of the mono derivative of a two-channel sample whose path contains " _s" and " CS ": the first
// " _s" becomes " _c" and the first " CS" is removed.
std::string monoDerivativePath(const std::string& path);

} // namespace k4m
