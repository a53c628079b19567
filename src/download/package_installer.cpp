#include "download/package_installer.h"

#include "core/archive_paths.h"
#include "core/settings_keys.h"
#include "core/text_util.h"
#include "download/entry_inflater.h"
#include "download/entry_plan.h"
#include "download/installed_file.h"
#include "download/package_format.h"
#include "download/worker_shared.h"
#include "platform/utf8_path.h"

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace k4m {

namespace fs = std::filesystem;

namespace {

// Ends the package at once: the message goes to the log beside the path of the entry in hand, the path to the
// errors.
struct PackageFailure {
    std::string path;
    std::string message;
};

// The package (or an installed file) for reading. It may be reached through a link; it never makes the open
// wait, so a FIFO planted in the cache cannot hang the run.
NativeFile openOrFail(const std::string& path) {
    NativeFile file = NativeFile::openForReadingThroughLinks(pathFromUtf8(path));
    if (!file.isOpen()) throw PackageFailure{"", "cannot open " + path + ": " + file.error().message()};
    return file;
}

// The result of inflating one entry, ready before the entry's turn comes.
struct Inflated {
    std::string inflateError;
    std::string writeError;    // the staged file could not be written
    std::unique_ptr<StagedFile> file;
};

// Plans the manifest's lines and inflates the planned entries side by side, at most `entriesAhead` lines beyond
// the one being installed, on helper threads and on the installing thread while it waits. Entries are taken
// strictly in manifest order; only the window of planned lines is held, however long the manifest.
class InflatePipeline {
public:
    InflatePipeline(const NativeFile& package, EntryPlanner& planner, const InstallerTuning& tuning)
        : m_package(package), m_planner(planner), m_ahead(static_cast<size_t>(std::max(1, tuning.entriesAhead))),
          m_inflater(tuning.inflater) {
        int threads = tuning.threads > 0 ? tuning.threads : static_cast<int>(std::thread::hardware_concurrency());
        threads = std::clamp(threads, 1, 16);
        {
            std::lock_guard lock(m_mutex);
            refill();
        }
        // The installing thread inflates too while it waits, so one thread fewer is started.
        for (int i = 1; i < threads; ++i) m_helpers.emplace_back([this] { helperLoop(); });
    }

    ~InflatePipeline() {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_abandoned = true;
        m_changed.notify_all();
        for (std::thread& t : m_helpers) t.join();
        // Staged files of entries never installed go with the window.
    }

    // The next line's plan, or nullptr when the manifest is done. Valid until popFront.
    const PlannedEntry* front() {
        std::lock_guard lock(m_mutex);
        return m_window.empty() ? nullptr : &m_window.front().entry;
    }

    // The result of the front entry (an Inflate step), inflating it here if nobody has started it.
    Inflated takeFront() {
        std::unique_lock lock(m_mutex);
        Item& item = m_window.front();
        while (!item.done) workOrWait(lock);
        return std::move(item.result);
    }

    void popFront() {
        std::lock_guard lock(m_mutex);
        m_window.pop_front();
        ++m_base;
        refill();
        m_changed.notify_all();
    }

private:
    struct Item {
        PlannedEntry entry;
        bool done = false;
        Inflated result;
    };

    // Plans lines until the window is full; with the lock held.
    void refill() {
        while (!m_planned && m_window.size() <= m_ahead) {
            Item item;
            if (!m_planner.next(item.entry)) {
                m_planned = true;
                break;
            }
            m_window.push_back(std::move(item));
        }
    }

    // The next entry to inflate, in order; with the lock held.
    Item* claim() {
        if (m_stopping) return nullptr;
        m_nextClaim = std::max(m_nextClaim, m_base);
        while (m_nextClaim - m_base < m_window.size()) {
            Item& item = m_window[m_nextClaim - m_base];
            ++m_nextClaim;
            if (item.entry.step == PlannedEntry::Step::Inflate) return &item;
        }
        return nullptr;
    }

    // Inflates the next entry that may start, or waits for a change; with the lock held.
    void workOrWait(std::unique_lock<std::mutex>& lock) {
        if (Item* job = claim()) {
            lock.unlock();
            run(*job);
            lock.lock();
        } else {
            m_changed.wait(lock);
        }
    }

    void helperLoop() {
        std::unique_lock lock(m_mutex);
        while (!m_stopping) workOrWait(lock);
    }

    // Inflates one entry; the item stays in the window until it is done (only the installing thread pops, and
    // only a done front).
    void run(Item& item) {
        const PlannedEntry& e = item.entry;
        Inflated result;
        if (e.use == PlannedEntry::Use::Write) {
            try {
                result.file = std::make_unique<StagedFile>(e.folder);
            } catch (const std::exception& ex) {
                result.writeError = ex.what();
            }
        }
        const InflateOutcome outcome = inflateEntry(
            m_package, e.offset, e.size, m_inflater,
            [&](std::string_view bytes) {
                if (!result.file) return;
                if (!result.file->write(bytes)) {
                    result.writeError = result.file->error();
                    result.file.reset();
                }
            },
            m_abandoned);
        result.inflateError = outcome.error;
        if (result.file && result.inflateError.empty() && !result.file->finish()) {
            result.writeError = result.file->error();
            result.file.reset();
        }
        if (!result.inflateError.empty()) result.file.reset();
        std::lock_guard lock(m_mutex);
        item.result = std::move(result);
        item.done = true;
        m_changed.notify_all();
    }

    const NativeFile& m_package;
    EntryPlanner& m_planner;
    size_t m_ahead;
    Inflater m_inflater;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Item> m_window; // planned lines from the one being installed on; references stay valid
    size_t m_base = 0;         // the manifest index of the window's front
    size_t m_nextClaim = 0;    // the manifest index of the next line to look at for inflating
    bool m_planned = false;    // every line is planned
    bool m_stopping = false;
    std::atomic<bool> m_abandoned{false};
    std::vector<std::thread> m_helpers;
};

std::string fileNameOf(const std::string& path) {
    return utf8Of(pathFromUtf8(path).filename());
}

class Installation {
public:
    Installation(const std::string& packagePath, const PackageSlot& slot, WorkerShared& shared, InstallerHost& host,
                 const InstallerTuning& tuning)
        : m_packagePath(packagePath), m_packageName(fileNameOf(packagePath)), m_slot(slot), m_shared(shared),
          m_targets(shared.installTargets), m_host(host), m_tuning(tuning) {}

    bool run() {
        m_host.log("");
        m_host.log("Installing package [" + m_packagePath + "]");
        m_host.setLastAction("Initialize");
        try {
            NativeFile package = openOrFail(m_packagePath);
            if (m_slot.Target == "MACPL" || m_slot.Target == "MACAPP") {
                storeArchive(package);
                return true;
            }
            m_host.setLastAction("Check manifest");
            PackageManifest manifest;
            try {
                manifest = readPackageManifest(package);
            } catch (const PackageError& e) {
                throw PackageFailure{"", e.what()};
            }
            EntryPlanner planner(manifest.text, {m_slot, m_packageName, &m_targets, m_shared.createOffline.load(),
                                                 manifest.payloadStart, manifest.fileSize});
            InflatePipeline pipeline(package, planner, m_tuning);
            while (const PlannedEntry* entry = pipeline.front()) {
                installEntry(*entry, pipeline);
                pipeline.popFront();
            }
        } catch (const PackageFailure& failure) {
            m_host.log(failure.path + " [" + failure.message + "]");
            m_host.addError("[" + m_packageName + "] " + failure.path);
            return false;
        }
        m_host.log("Installation Completed");
        m_host.log("");
        return !m_failed;
    }

private:
    void storeArchive(const NativeFile& package) {
        const bool plugins = m_slot.Target == "MACPL";
        m_host.log(plugins ? "Copying plugin archive" : "Copying APS archive");
        const std::string target =
            m_targets.productFolder + "/Installer/" + (plugins ? "kd4_plugins.zip" : "kd4_aps.zip");
        try {
            fs::create_directories(pathFromUtf8(m_targets.productFolder + "/Installer"));
            copyIntoPlace(package, pathFromUtf8(target));
        } catch (const std::exception& e) {
            throw PackageFailure{target, e.what()};
        }
        (plugins ? m_shared.pluginArchiveStored : m_shared.appArchiveStored) = true;
    }

    void installEntry(const PlannedEntry& e, InflatePipeline& pipeline) {
        using Step = PlannedEntry::Step;
        using Use = PlannedEntry::Use;
        if (e.step == Step::SkipSoundsOnly) {
            m_host.log("Skipping " + e.line);
            return;
        }
        const std::string action = "Decompress " + e.line;
        m_host.setLastAction(action);
        m_host.log(action.substr(0, 255));
        if (e.step == Step::Refuse) throw PackageFailure{e.fullPath, e.refusal};
        if (e.step == Step::FinderStore) {
            m_host.log("Skipped finder store file");
            return;
        }
        Inflated inflated = pipeline.takeFront();
        if (!inflated.inflateError.empty()) {
            const std::string line = "Decompression error! " + inflated.inflateError;
            m_host.log(line);
            m_host.addError("[" + m_packageName + "] " + line);
            m_failed = true;
            return;
        }
        if (e.use == Use::NoFolder || e.use == Use::OfflineOnly) return;
        if (e.use == Use::IgnoreZip) {
            m_host.log("Ignoring ZIP file");
            return;
        }
        try {
            writeEntry(e, inflated);
        } catch (const PackageFailure&) {
            throw;
        } catch (const std::exception& ex) {
            throw PackageFailure{e.fullPath, ex.what()};
        }
    }

    void writeEntry(const PlannedEntry& e, Inflated& inflated) {
        m_host.log("Installing [" + e.fullPath + "]");
        fs::path place;
        try {
            place = placeInside(e.folder, e.relative);
        } catch (const UnsafeEntryName& ex) {
            throw PackageFailure{e.fullPath, ex.what()};
        } catch (const std::exception&) {
            m_host.log("Path Error [" + e.fullPath + "]");
            return;
        }
        m_host.setLastAction("Saving " + e.fullPath);
        std::string refusal = inflated.writeError;
        if (refusal.empty()) {
            try {
                inflated.file->moveTo(pathFromUtf8(withLowerCaseExtension(utf8Of(place))));
            } catch (const std::exception& ex) {
                refusal = ex.what();
            }
        }
        if (!refusal.empty()) {
            if (!e.proTools) throw PackageFailure{e.fullPath, refusal};
            m_host.log("Elevation needed for AAX");
            m_shared.elevationNeeded = true;
            return; // nothing was written to derive from or copy
        }
        if (e.fullPath.find(" _s") != std::string::npos && e.fullPath.find(" CS ") != std::string::npos)
            makeMonoDerivative(e);
        const std::string name = fileNameOf(e.fullPath);
        if (name == "kandoro4.dll") copyPlugin(e.fullPath, "kandoro4.dll", profile::VST64, profile::VST32);
        if (name == "soundK7.dll") copyPlugin(e.fullPath, "soundK7.dll", profile::SK7_VST64, profile::SK7_VST32);
    }

    void makeMonoDerivative(const PlannedEntry& e) {
        m_host.setLastAction("CSTOCM [" + e.fullPath + "]");
        const std::string derived = monoDerivativePath(e.fullPath);
        // The markers may sit in the destination's own name, and removing " CS" turns a folder ". CS." into "..":
        // the derived path is held to the rules of an entry path under the same folder.
        const std::string inside = e.folder + "/";
        if (derived.compare(0, inside.size(), inside) != 0 ||
            !unsafeEntryPathReason(derived.substr(inside.size())).empty())
            throw PackageFailure{e.fullPath, "the mono derivative " + derived + " would leave its folder"};
        fs::path place;
        try {
            // Its folder is not the one the source was written through, so it is checked for links on its own.
            place = placeInside(e.folder, derived.substr(inside.size()));
        } catch (const UnsafeEntryName& ex) {
            throw PackageFailure{e.fullPath, ex.what()};
        }
        std::error_code ec;
        if (fs::symlink_status(place, ec).type() != fs::file_type::not_found) return;
        m_host.log("Extracting " + fileNameOf(e.fullPath) + "...");
        writeMonoDerivative(pathFromUtf8(e.fullPath), e.folder, place);
    }

    void copyPlugin(const std::string& installed, const std::string& fileName, const TextKey& key64,
                    const TextKey& key32) {
        struct Format {
            bool on;
            const char* target;
            const std::string& folder;
            const char* caption;
            const TextKey& key;
        };
        const Format formats[] = {
            {m_targets.installVST64, "WINVST64", m_targets.vst64Folder, "64-bit VST plugin copied to: ", key64},
            {m_targets.installVST32, "WINVST32", m_targets.vst32Folder, "32-bit VST plugin copied to: ", key32},
        };
        for (const Format& f : formats) {
            if (!f.on || m_slot.Target != f.target) continue;
            m_host.log(f.caption + f.folder);
            // The system's own separator: the plug-in reads this path from the profile.
            const std::string target = joinPath(f.folder, fileName);
            if (m_shared.profile != nullptr) {
                try {
                    write(*m_shared.profile, f.key, target);
                } catch (const std::exception& ex) {
                    m_host.log("Profile not saved: " + std::string(ex.what()));
                }
            }
            try {
                if (f.folder.empty()) throw std::runtime_error("no folder");
                fs::create_directories(pathFromUtf8(f.folder));
                copyIntoPlace(openOrFail(installed), pathFromUtf8(target));
            } catch (const std::exception&) {
                m_host.log("Elevation needed for " + f.folder);
                m_shared.elevationNeeded = true;
            } catch (const PackageFailure&) {
                m_host.log("Elevation needed for " + f.folder);
                m_shared.elevationNeeded = true;
            }
        }
    }

    std::string m_packagePath;
    std::string m_packageName;
    PackageSlot m_slot;
    WorkerShared& m_shared;
    const InstallTargets& m_targets;
    InstallerHost& m_host;
    InstallerTuning m_tuning;
    bool m_failed = false;
};

} // namespace

PackageSlot packageSlotOf(const TcvDownload& slot) {
    return {slot.Target, slot.dName, slot.SoundsOnly};
}

bool installPackage(const std::string& packagePath, const PackageSlot& slot, WorkerShared& shared,
                    InstallerHost& host, const InstallerTuning& tuning) {
    return Installation(packagePath, slot, shared, host, tuning).run();
}

} // namespace k4m
