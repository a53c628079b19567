// Start Installation and Cancel: the checks before a run, the licence, the plug-in's settings file and the
// batch handed to the worker.
#include "app/installation_start.h"
#include "app/ui/tformd.h"
#include "core/ignored_failure.h"
#include "core/install_options.h"
#include "core/server_requests.h"
#include "core/settings_keys.h"
#include "core/text_util.h"
#include "dialogs/tlicenseform.h"
#include "download/install_targets.h"
#include "platform/user_folders.h"
#include "platform/utf8_path.h"

#include <QEventLoop>
#include <QGraphicsDropShadowEffect>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

namespace k4m {

namespace fs = std::filesystem;

void TformD::prepareInstallationRun() {
    Shared.installTargets = installTargetsOf(Folders, {UseKD3, KD3DataFolder, InstallAAX, InstallVST64, InstallVST32});
    Shared.offlineMode = OfflineMode;
    Shared.createOffline = CreateOffline;
    Shared.profile = Profile.get();
}

void TformD::bInstallClick() {
    // A click that arrives while a run is under way (a second click queued before the button was disabled)
    // starts nothing.
    if (!Worker || Worker->dldCommand != CmdIdle || Connecting) return;
    try {
        // 1.
        Shared.elevationNeeded = false;
        Shared.pluginArchiveStored = false;
        Shared.appArchiveStored = false;
        // 2.-3. A data folder that is unknown, or named relative to wherever the program happens to run, is no
        // folder to write anything to.
        const bool known = !Folders.dataFolder.empty() && pathFromUtf8(Folders.dataFolder).is_absolute();
        std::error_code ec;
        if (known && !fs::exists(pathFromUtf8(Folders.dataFolder), ec)) m_platform.createFolderOpenToEveryone(Folders.dataFolder);
        const std::string cacheFolder = joinPath(Folders.dataFolder, "cache");
        if (known) createUserFolders(cacheFolder);
        // The offline package folder, under the same name Connect writes it (case matters here).
        if (known && CreateOffline) createUserFolders(joinPath(Folders.dataFolder, "Offline"));
        // 4.
        if (!known || !dataFolderWritable(cacheFolder)) {
            ModalPrompt(0, QStringLiteral("Folder Error"),
                        QStringLiteral("There is a problem accessing your chosen data folder. Please change/verify the "
                                       "folder under \"Install Options\""),
                        QStringLiteral("OK"), QString());
            return;
        }
        // 5.-7.
        endHostPrograms();
        waitKeepingPainted(1000);
        // 8.-9.
        if (!licenceAgreed()) return;
        // 10.
        bCancel->setEnabled(true);
        bUninstall->setEnabled(false);
        bInstall->setEnabled(false);
        shadowInstall->setEnabled(true);
        for (QPushButton* b : {bSkipAll, bReinstallAll, bRepairAll})
            b->hide();
        // 11.
        if (!CreateOffline) writePluginSettingsFile();
        // 12.
        prepareInstallationRun();
        Worker->dldCancel = false;
        Worker->post(CmdInstallBatch);
        // The rows show their state at once: an action combo left open until the first tick would change the
        // slots the worker is processing.
        int row = 0;
        refreshRows(row);
        // 13.
        bOptions->setEnabled(false);
        pbar->setValue(0);
        pbar->show();
        pbar->raise();
        Shared.currentBytes = 0;
    } catch (const CloseRequested&) {
        closeAfterCancelledWait();
    }
}

void TformD::bCancelClick() {
    if (Worker) Worker->dldCancel = true;
}

void TformD::endHostPrograms() {
    const std::vector<ProcessToEnd> names = processesToEnd(LastHost, HostList);
    // Nothing is ended without a warning: on a new installation, or after the question was answered once, it
    // is asked again only for a program that started since.
    if (m_hostsWarning.mustAsk(NewInstallation, HostsClosed, matchingProcesses(m_platform, names))) {
        ModalPrompt(0, QStringLiteral("Close DAWs"), QStringLiteral("Make sure all hosts/DAWs are closed and then click OK"),
                    QStringLiteral("OK"), QString());
        m_hostsWarning.answered(matchingProcesses(m_platform, names));
    }
    HostsClosed = true;
    for (const ProcessToEnd& n : names)
        ignoringFailure("ending a host program", [&] { m_platform.terminateProcesses(n.name, n.partial); });
}

void TformD::waitKeepingPainted(int milliseconds) {
    waitForWorker([&](const auto&) {
        QEventLoop loop;
        QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
        loop.exec();
        return 0;
    });
}

bool TformD::licenceAgreed() {
    if (read(*Profile, profile::LicenseAgreed)) return true;
    const std::string answer = fetch(server::kLicensePath);
    TLicenseForm licence(this);
    if (licenceReplacesBuiltIn(answer)) licence.replaceText(QString::fromStdString(answer));
    // Only an answer agrees: a window that went away without one (its loop ended from outside) is no consent.
    if (licence.exec() != 1) return false;
    write(*Profile, profile::LicenseAgreed, true);
    return true;
}

void TformD::writePluginSettingsFile() {
    IniFile settings(pathFromUtf8(Folders.pluginSettingsPath()));
    try {
        settings.load();
        writePluginSettings(settings, soundFolderFor(UseKD3, KD3DataFolder, Folders.dataFolder),
                            pluginOptions());
        settings.save();
    } catch (const std::exception& e) {
        // The packages install all the same; the plug-in keeps the settings it had.
        writeLog(std::string("Plug-in settings not saved: ") + e.what());
    }
    if (Folders.productFolder.empty()) return;
    createUserFolders(joinPath(Folders.productFolder, "data/3dkit/materials/cache"));
    createUserFolders(joinPath(Folders.productFolder, "logs"));
}

} // namespace k4m
