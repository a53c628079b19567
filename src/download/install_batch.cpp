#include "download/install_batch.h"

#include "core/ini_file.h"
#include "core/server_requests.h"
#include "core/settings_keys.h"
#include "download/file_sink.h"
#include "download/http_client.h"
#include "download/package_format.h"
#include "download/package_installer.h"
#include "download/tcv_dl_thread.h"
#include "platform/atomic_file.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace k4m {

namespace fs = std::filesystem;

namespace {

// Answers shorter than this are error pages, not packages.
constexpr size_t kSmallestPackage = 800;

class WorkerInstallerHost : public InstallerHost {
public:
    explicit WorkerInstallerHost(TcvDLThread& worker) : m_worker(worker) {}
    void log(const std::string& line) override { m_worker.logLine(line); }
    void setLastAction(const std::string& text) override { m_worker.LastAction.set(text); }
    void addError(const std::string& line) override { m_worker.addError(line); }

private:
    TcvDLThread& m_worker;
};

std::string minutesText(int64_t milliseconds, const std::string& decimalSeparator) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(milliseconds) / 60000.0);
    std::string result = text;
    if (const size_t dot = result.find('.'); dot != std::string::npos) result.replace(dot, 1, decimalSeparator);
    return result;
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
            if (m_worker.dldCancel) break;
            if (!work(slot, i)) break;
        }
    }

private:
    // One slot; false when the batch ends here (a cancel).
    bool work(TcvDownload& slot, int index) {
        // The name makes the cached file's name; one that names a folder too could save, or take, a package
        // anywhere.
        if (slot.dName.find_first_of("/\\") != std::string::npos || !unsafeEntryPathReason(slot.dName).empty()) {
            const std::string line = "ERROR: the package name " + slot.dName + " cannot name a file in the cache";
            m_worker.logLine(line);
            m_worker.addError(line);
            slot.dState = StateFailed;
            return true;
        }
        const std::string local = m_targets.cacheFolder + "/" + slot.dName + (slot.SoundsOnly ? ".cxp3" : ".cxp4");
        const bool mayUseLocal = (!slot.NoCache && !m_shared.createOffline) || m_shared.offlineMode;
        std::error_code ec;
        if (mayUseLocal && fs::exists(local, ec)) {
            slot.dState = StateInstalling;
            if (installPackage(local, packageSlotOf(slot), m_shared, m_host)) {
                slot.dState = StateCompleted;
                recordVersion(slot);
            } else {
                slot.dState = StateFailed;
            }
            return true;
        }
        if (m_shared.offlineMode) return true; // nothing is fetched in offline installation mode

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

        download(slot, local);

        m_worker.dldActive = false;
        m_worker.dldMax = 0;
        m_worker.dldCurrent = 0;
        if (m_worker.dldCancel) {
            m_worker.LastAction.set("Cancelled Download");
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return true;
    }

    // Downloads the slot's package into the cache, by way of a partial file renamed only when the answer is
    // whole and long enough, and installs it.
    void download(TcvDownload& slot, const std::string& local) {
        std::error_code ec;
        fs::create_directories(m_targets.cacheFolder, ec);
        FileSink sink(local);
        std::string head; // the first bytes, kept for error.txt should the answer be too short for a package
        size_t received = 0;
        bool writeFailed = false;
        try {
            if (!sink.ok()) throw HttpError("cannot write " + FileSink::partPath(local).string());
            m_worker.dldStart = TcvDLThread::tickCount();
            m_worker.fetchInto(slot.URL, [&](std::string_view data) {
                if (head.size() < kSmallestPackage) head.append(data.substr(0, kSmallestPackage - head.size()));
                received += data.size();
                if (!sink.write(data)) writeFailed = true;
                return !writeFailed;
            });
            if (writeFailed) throw HttpError("cannot write " + FileSink::partPath(local).string());
        } catch (const std::exception& e) {
            transferEnded();
            if (m_worker.dldCancel) return; // a cancelled transfer is no failure: the slot stays downloading
            const std::string line = std::string("ERROR: ") + e.what() + " @ " + m_worker.LastAction.get();
            m_worker.logLine(line);
            m_worker.addError(line);
            slot.dState = StateFailed;
            return;
        }
        transferEnded();
        if (m_worker.dldCancel) return;

        slot.dState = StateInstalling;
        if (received < kSmallestPackage) {
            slot.dState = StateFailed;
            m_worker.addError("Invalid download!");
            m_worker.logLine("Invalid download!");
            try {
                fs::create_directories(m_targets.installerFolder);
                writeFileAtomically(fs::path(m_targets.installerFolder) / "error.txt", head);
            } catch (const std::exception& e) {
                m_worker.logLine("error.txt not saved: " + std::string(e.what()));
            }
            return;
        }
        m_worker.logLine("Elapsed: " + minutesText(m_worker.dldEnd - m_worker.dldStart, m_shared.decimalSeparator) +
                         " minutes");
        m_worker.logLine("Saving to cache...");
        if (!sink.commit()) {
            const std::string line = "ERROR: cannot save " + local + " @ " + m_worker.LastAction.get();
            m_worker.logLine(line);
            m_worker.addError(line);
            slot.dState = StateFailed;
            return;
        }
        if (!m_shared.createOffline) {
            if (installPackage(local, packageSlotOf(slot), m_shared, m_host)) {
                recordVersion(slot);
                if (!slot.editionID.empty() && m_shared.profile != nullptr)
                    profile::writeEdition(*m_shared.profile, slot.editionID, slot.editionname);
                flushProfile();
                slot.dState = StateCompleted;
            } else {
                slot.dState = StateFailed;
            }
        } else {
            recordVersion(slot); // fetched for the offline package; installed on the other computer
        }
        slot.Downloaded = slot.Size;
    }

    void transferEnded() {
        m_shared.finishedBytes += m_shared.currentBytes.load();
        m_worker.dldEnd = TcvDLThread::tickCount();
        m_shared.currentBytes = 0;
    }

    void recordVersion(const TcvDownload& slot) {
        if (m_shared.profile == nullptr) return;
        const auto low = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(slot.Version) & 0xffffffffu));
        profile::writePackageVersion(*m_shared.profile, slot.dName, low);
    }

    void flushProfile() {
        if (m_shared.profile == nullptr) return;
        try {
            m_shared.profile->save();
        } catch (const std::exception& e) {
            m_worker.logLine("Profile not saved: " + std::string(e.what()));
        }
    }

    TcvDLThread& m_worker;
    WorkerShared& m_shared;
    const InstallTargets& m_targets;
    WorkerInstallerHost m_host;
};

} // namespace

InstallTargets installTargetsOf(const FolderSet& folders, const InstallChoices& choices) {
    InstallTargets t;
    t.productFolder = folders.productFolder;
    t.installerFolder = folders.installerFolder;
    t.commonAppDataFolder = folders.commonAppDataFolder;
    t.soundDataFolder = choices.useKD3 && !choices.kd3DataFolder.empty() ? choices.kd3DataFolder : folders.dataFolder;
    t.cacheFolder = folders.dataFolder.empty() ? std::string() : folders.dataFolder + "/cache";
    t.proToolsFolder = folders.proToolsFolder;
    t.vst64Folder = folders.vst64Folder;
    t.vst32Folder = folders.vst32Folder;
    t.installAAX = choices.installAAX;
    t.installVST64 = choices.installVST64;
    t.installVST32 = choices.installVST32;
    return t;
}

void runInstallBatch(TcvDLThread& worker) {
    Batch(worker).run();
}

} // namespace k4m
