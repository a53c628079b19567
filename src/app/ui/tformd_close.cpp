// Closing the main window.
#include "app/ui/tformd.h"
#include "core/ignored_failure.h"

#include <QCloseEvent>
#include <QTimer>

namespace k4m {

void TformD::closeEvent(QCloseEvent* event) {
    // A close while the window waits for a request cancels the request; the waiting handler then ends and
    // closes the window as a close at that moment would have.
    if (m_waiting) {
        m_closePending = true;
        if (Worker) Worker->cancelWait();
        if (m_cancelOtherWaits) m_cancelOtherWaits();
        event->ignore();
        return;
    }
    if (!m_closed && !FormCloseQuery()) {
        event->ignore();
        return;
    }
    if (!m_closed) {
        m_closed = true;
        FormClose();
    }
    // A closed window finishes no run and shows no prompt any more.
    Timer1->stop();
    event->accept();
}

bool TformD::FormCloseQuery() {
    bool canClose = true;
    if (UninstallerRan) return canClose;
    if (Worker && Worker->dldCommand == CmdInstallBatch) {
        // A prompt that cannot be shown leaves the close allowed.
        ignoringFailure("asking before closing during an installation", [&] {
            canClose =
                ModalPrompt(1, QStringLiteral("Cancel Installation"),
                            QStringLiteral("Installations are still in progress. Are you sure you want to exit?"),
                            QStringLiteral("YES"), QStringLiteral("NO")) == 1;
        });
    }
    if (canClose && Worker) Worker->dldCancel = true;
    return canClose;
}

void TformD::FormClose() {
    ignoringFailure("releasing the global settings", [&] { KMIni = IniFile(); });
    if (!UninstallerRan) {
        ignoringFailure("stopping the download worker", [&] {
            Shared.stopFlag = true;
            if (Worker) Worker->dldCommand.poke();
        });
        log.close();
        // A profile that could not be read at start is never written (the profile object refuses).
        ignoringFailure("saving the manager profile", [&] {
            if (Profile && !Profile->path().empty()) Profile->save();
        });
    }
    HostList.clear();
}

} // namespace k4m
