// Closing the main window.
#include "app/ui/tformd.h"

#include <QCloseEvent>

namespace k4m {

void TformD::closeEvent(QCloseEvent* event) {
    // While the window waits for the worker it only paints; it closes when the wait is over.
    if (m_waiting) {
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
    event->accept();
}

bool TformD::FormCloseQuery() {
    bool canClose = true;
    if (UninstallerRan) return canClose;
    if (Worker && Worker->dldCommand == CmdInstallBatch) {
        try {
            canClose =
                ModalPrompt(1, QStringLiteral("Cancel Installation"),
                            QStringLiteral("Installations are still in progress. Are you sure you want to exit?"),
                            QStringLiteral("YES"), QStringLiteral("NO")) == 1;
        } catch (const std::exception&) {
            canClose = true;
        }
    }
    if (canClose && Worker) Worker->dldCancel = true;
    return canClose;
}

void TformD::FormClose() {
    try {
        KMIni = IniFile();
    } catch (...) {
    }
    if (!UninstallerRan) {
        try {
            Shared.stopFlag = true;
            if (Worker) Worker->dldCommand.poke();
        } catch (...) {
        }
        log.close();
        try {
            if (Profile && !Profile->path().empty()) Profile->save();
        } catch (...) {
        }
    }
    HostList.clear();
}

} // namespace k4m
