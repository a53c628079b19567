#include "download/install_batch.h"

#include "core/ini_file.h"
#include "core/server_requests.h"
#include "core/settings_keys.h"
#include "core/text_util.h"
#include "download/file_sink.h"
#include "download/package_format.h"
#include "download/package_installer.h"
#include "download/tcv_dl_thread.h"
#include "platform/atomic_file.h"
#include "platform/utf8_path.h"

#include <charconv>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

namespace k4m {

namespace fs = std::filesystem;

std::string minutesText(int64_t milliseconds, const std::string& decimalSeparator) {
    char text[64];
    // to_chars, unlike printf, ignores the process's locale: the separator is ours to choose.
    const auto result = std::to_chars(text, text + sizeof text, static_cast<double>(milliseconds) / 60000.0,
                                      std::chars_format::fixed, 2);
    std::string minutes(text, result.ptr);
    if (const size_t point = minutes.find('.'); point != std::string::npos) minutes.replace(point, 1, decimalSeparator);
    return minutes;
}

namespace {

// The installer writes its lines and steps where the batch does.
class WorkerHost : public InstallerHost {
public:
    explicit WorkerHost(TcvDLThread& worker) : m_worker(worker) {}
    void log(const std::string& line) override { m_worker.logLine(line); }
    void setLastAction(const std::string& text) override { m_worker.LastAction.set(text); }
    void addError(const std::string& line) override { m_worker.addError(line); }

private:
    TcvDLThread& m_worker;
};

// The package name makes the cached file's name: one that names a folder too could save, or take, a package
// anywhere.
bool namesAFile(const std::string& name) {
    return name.find_first_of("/\\") == std::string::npos && unsafeEntryPathReason(name).empty();
}

class Batch {
public:
    explicit Batch(TcvDLThread& worker)
        : m_worker(worker), m_shared(worker.shared()), m_targets(m_shared.installTargets), m_host(worker) {}

    void run() {
        m_worker.Errors.set("");
        for (int i = 0; i < TcvDLThread::kSlotCount; ++i) {
            m_worker.dldMax = 0;
            m_worker.dldCurrent = 0;
            TcvDownload& slot = m_worker.Downloads[static_cast<size_t>(i)];
            if (!slot.InUse) break;
            if (slot.iState > 0) continue;
            if (interrupted()) break;
            if (!guarded(slot, i)) break;
        }
    }

private:
    // A cancel, or the window closing: the transfer in progress stops and the batch ends.
    bool interrupted() const { return m_worker.dldCancel || m_shared.stopFlag; }

    // Nothing may leave the worker's thread: whatever a slot throws fails that slot alone.
    bool guarded(TcvDownload& slot, int index) {
        try {
            return process(slot, index);
        } catch (const std::exception& e) {
            m_worker.dldActive = false;
            fail(slot, std::string("ERROR: ") + e.what() + " @ " + m_worker.LastAction.get());
            return !interrupted();
        }
    }

    // One slot; false when the batch ends with it.
    bool process(TcvDownload& slot, int index) {
        if (!namesAFile(slot.dName)) {
            fail(slot, "ERROR: the package name " + slot.dName + " cannot name a file in the cache");
            return true;
        }
        // Without a data folder, the cache would begin at the root of the file system.
        if (m_targets.cacheFolder.empty()) {
            fail(slot, "ERROR: there is no cache folder for the package " + slot.dName);
            return true;
        }
        const std::string local = joinPath(m_targets.cacheFolder, slot.dName + (slot.SoundsOnly ? ".cxp3" : ".cxp4"));
        const bool mayUseLocal = (!slot.NoCache && !m_shared.createOffline) || m_shared.offlineMode;
        std::error_code ec;
        if (mayUseLocal && fs::exists(pathFromUtf8(local), ec)) {
            slot.dState = StateInstalling;
            if (install(local, slot)) {
                slot.dState = StateCompleted;
                recordVersion(slot);
            } else {
                slot.dState = StateFailed;
            }
            return true;
        }
        // Offline, what the cache does not hold cannot be had.
        if (m_shared.offlineMode) return true;

        download(slot, index, local);

        m_worker.dldActive = false;
        m_worker.dldMax = 0;
        m_worker.dldCurrent = 0;
        if (m_worker.dldCancel) {
            m_worker.LastAction.set("Cancelled Download");
            return false;
        }
        if (m_shared.stopFlag) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return true;
    }

    // Fetches the package into the cache folder by way of "<local>.part" and installs it. Leaves dState 1 when
    // interrupted, with nothing saved.
    void download(TcvDownload& slot, int index, const std::string& local) {
        if (!slot.HandleRedirect) m_worker.logLine("Verifying remote file...");
        m_worker.LastAction.set("Downloading " + slot.dName + "...");
        m_worker.logLine("Downloading [" + slot.dName + "]...");
        m_worker.dldActive = true;
        slot.dState = StateDownloading;
        m_worker.dldIndex = index;
        m_worker.http().setFollowRedirects(slot.HandleRedirect);
        m_worker.dldSize = slot.Size;
        m_worker.dldName.set(slot.ProductName);
        slot.URL = httpsOnly(slot.URL);

        // The installation start made the cache folder; one that went since is made again.
        std::error_code ec;
        fs::create_directories(pathFromUtf8(m_targets.cacheFolder), ec);
        const fs::path target = pathFromUtf8(local);
        FileSink sink(target); // removes its partial file unless committed
        std::optional<std::string> failure;
        try {
            // A cache that cannot be written is not worth a download.
            if (!sink.ok()) throw HttpError("cannot write " + utf8Of(FileSink::partPath(target)));
            m_worker.fetchInto(slot.URL, sink);
        } catch (const std::exception& e) {
            failure = e.what();
        }
        m_shared.finishedBytes += m_shared.currentBytes.load();
        m_worker.dldEnd = TcvDLThread::tickCount();
        m_shared.currentBytes = 0;

        // A transfer stopped by a cancel is no failure: the slot stays downloading.
        if (interrupted()) return;
        if (failure) {
            fail(slot, "ERROR: " + *failure + " @ " + m_worker.LastAction.get());
            return;
        }

        slot.dState = StateInstalling;
        if (!sink.finish()) {
            fail(slot, "ERROR: cannot write " + utf8Of(FileSink::partPath(target)) + " @ " + m_worker.LastAction.get());
            return;
        }
        if (sink.size() < kSmallestPackageBytes) {
            slot.dState = StateFailed;
            m_worker.addError("Invalid download!");
            m_worker.logLine("Invalid download!");
            saveErrorAnswer(FileSink::partPath(target));
            return;
        }
        m_worker.logLine("Elapsed: " + minutesText(m_worker.dldEnd - m_worker.dldStart, m_shared.decimalSeparator) +
                         " minutes");
        m_worker.logLine("Saving to cache...");
        if (!sink.commit()) {
            fail(slot, "ERROR: cannot save " + local + " @ " + m_worker.LastAction.get());
            return;
        }

        if (!m_shared.createOffline) {
            if (install(local, slot)) {
                recordVersion(slot);
                if (!slot.editionID.empty()) recordEdition(slot);
                changeProfile([](IniFile& profile) { profile.save(); });
                slot.dState = StateCompleted;
            } else {
                slot.dState = StateFailed;
            }
        } else {
            // Fetched for an offline package: installed on the other computer, recorded here.
            recordVersion(slot);
        }
        slot.Downloaded = slot.Size;
    }

    bool install(const std::string& package, const TcvDownload& slot) {
        try {
            return installPackage(package, packageSlotOf(slot), m_shared, m_host);
        } catch (const std::exception& e) {
            const std::string line = std::string("ERROR: ") + e.what() + " @ " + m_worker.LastAction.get();
            m_worker.logLine(line);
            m_worker.addError(line);
            return false;
        }
    }

    // The server's short answer goes to "error.txt" in the installer folder, for support to read.
    void saveErrorAnswer(const fs::path& part) {
        if (m_targets.installerFolder.empty()) return;
        try {
            const std::optional<std::string> answer = readRegularFile(part, kSmallestPackageBytes);
            fs::create_directories(pathFromUtf8(m_targets.installerFolder));
            writeFileAtomically(pathFromUtf8(joinPath(m_targets.installerFolder, "error.txt")), answer.value_or(""));
        } catch (const std::exception& e) {
            m_worker.logLine(std::string("error.txt not saved: ") + e.what());
        }
    }

    void recordVersion(const TcvDownload& slot) {
        // The profile holds 32-bit values: the low half of the version, read as signed.
        const auto version = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(slot.Version)));
        changeProfile([&](IniFile& profile) { profile::writePackageVersion(profile, slot.dName, version); });
    }

    void recordEdition(const TcvDownload& slot) {
        changeProfile([&](IniFile& profile) { profile::writeEdition(profile, slot.editionID, slot.editionname); });
    }

    // A profile that cannot be saved costs the record, not the installation.
    template <typename Change> void changeProfile(Change change) {
        if (m_shared.profile == nullptr) return;
        try {
            change(*m_shared.profile);
        } catch (const std::exception& e) {
            m_worker.logLine(std::string("Profile not saved: ") + e.what());
        }
    }

    void fail(TcvDownload& slot, const std::string& line) {
        m_worker.logLine(line);
        m_worker.addError(line);
        slot.dState = StateFailed;
    }

    TcvDLThread& m_worker;
    WorkerShared& m_shared;
    const InstallTargets& m_targets;
    WorkerHost m_host;
};

} // namespace

void runInstallBatch(TcvDLThread& worker) {
    Batch(worker).run();
}

} // namespace k4m
