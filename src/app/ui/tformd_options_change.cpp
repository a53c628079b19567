// What an accepted change of the installation options sets off: the binaries of switched-off formats removed,
// the data folder copied to its new place, the customer logged out, and Connect and the installation run again
// (or the plug-ins copied into their folders once more).
#include "app/options_change.h"
#include "app/ui/tformd.h"
#include "platform/folder_copy.h"
#include "core/ui/shown_text.h"
#include "dialogs/tlocations.h"
#include "platform/utf8_path.h"

#include <QEventLoop>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <thread>

namespace k4m {

void TformD::changeModeActions(const OptionsChange& change, TLocations& dialog) {
    // 1. Not waited for: a refused elevation leaves the binaries where they are and the choices saved.
    const std::string markers =
        removalMarkers(change.entries, change.oldVST64, change.oldVST32, Folders.proToolsFolder);
    if (!markers.empty()) m_platform.launch(m_ownPath, "DLT " + markers, LaunchRunAs);
    // 2. The folders are the ones just saved.
    ReinstallNeeded =
        reinstallNeeded(change.entries, Folders.vst64Folder, Folders.vst32Folder, Folders.proToolsFolder,
                        change.oldAIOnly);
    // 3.
    if (change.dataChanged) copyDataFolder(change.oldData, dialog);
}

void TformD::copyDataFolder(const std::string& oldDataFolder, TLocations& dialog) {
    namespace fs = std::filesystem;
    // A folder without its root would be looked for wherever the program happens to run.
    const bool sourceKnown =
        pathFromUtf8(oldDataFolder).is_absolute() && pathFromUtf8(Folders.dataFolder).is_absolute();
    FolderCopyResult result;
    if (sourceKnown) {
        // A large library takes minutes: the copy runs beside the window, which keeps painting and shows how far
        // it is, and takes no input meanwhile. A close of the main window waits for the copy's end.
        FolderCopyProgress progress;
        std::atomic<bool> done{false};
        std::thread copier([&] {
            result = copyFolderContents(pathFromUtf8(oldDataFolder), pathFromUtf8(Folders.dataFolder), progress);
            done = true;
        });
        const auto show = [&] {
            const QString text = QString::fromStdString(dataCopyStatusText(
                progress.filesDone, progress.filesTotal, progress.bytesDone, progress.bytesTotal));
            setShownText(lStatus, text);
            dialog.showProgress(text);
        };
        m_waiting = true;
        dialog.setBusy(true);
        {
            UserInputBlocker noInput;
            QEventLoop loop;
            QTimer tick;
            tick.setInterval(100);
            QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
                show();
                if (done) loop.quit();
            });
            tick.start();
            show();
            loop.exec();
        }
        copier.join();
        dialog.setBusy(false);
        m_waiting = false;
    }
    // Two names of one folder: nothing moved, so the shortcut and the message stay as they are.
    if (result.outcome == FolderCopyOutcome::SameFolder) return;
    // The shortcut starts the manager's copy in the data folder, which is now the new one.
    try {
        RemoveMenu();
        CreateMenu();
    } catch (const std::exception&) {
        writeLog("WARNING: Could not create start menu");
    }
    if (result.outcome == FolderCopyOutcome::Copied)
        dialog.showNotice(QString::fromStdString(dataCopiedMessage(oldDataFolder)));
}

void TformD::logOut() {
    pbar->hide();
    Worker->dldCommand = CmdIdle;
    removeProductRows();
    // The all-rows buttons have no rows left to act on until the next Connect shows them again.
    for (QPushButton* b : {bSkipAll, bReinstallAll, bRepairAll})
        b->hide();
    bConnect->setEnabled(true);
    shadowConnect->setEnabled(true);
    bCancel->setEnabled(false);
    bInstall->setEnabled(false);
    bOptions->setEnabled(true);
    shadowInstall->setEnabled(false);
    lStatus->clear();
    lCustomer->setText(QStringLiteral("Logged out"));
    Status.lastStatus.clear();
    Connecting = false;
    Worker->LastAction.set("");
}

void TformD::applyChangedOptions() {
    // 1.
    logOut();
    // 2.
    if (ReinstallNeeded) {
        bConnectClick();
        if (!m_closed && bInstall->isEnabled()) bInstallClick();
        return;
    }
    // 3. Nothing to download: the plug-ins go into their (possibly new) folders once more. The result is not used.
    setStatusOverride("Elevated privilege plugin installation...");
    m_platform.launch(m_ownPath, std::string("CPY ALL"), LaunchRunAs | LaunchReturnExitStatus);
    setStatusOverride("");
}

} // namespace k4m
