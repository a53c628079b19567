// The window's 200 ms timer: the start screen's texts, and during an installation the rows, the progress bar
// and the status line; at the end of a run it finishes the run.
#include "app/installation_driver.h"
#include "app/startup_rules.h"
#include "app/ui/tformd.h"
#include "core/settings_keys.h"
#include "core/ui/shown_text.h"

#include <QComboBox>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>

namespace k4m {

namespace {

// The step a tick is in, named in the status line when it fails.
struct StepLabel {
    const char* text = "Status Check";
    int slot = -1;
    std::string toString() const { return slot < 0 ? std::string(text) : text + std::to_string(slot); }
};

} // namespace

void TformD::Timer1Timer() {
    try {
        // 1.-4.
        bInstall->setText(CreateOffline ? QStringLiteral("Start Packaging") : QStringLiteral("Start Installation"));
        bConnect->setText(OfflineMode ? QStringLiteral("Load Install") : QStringLiteral("Connect"));
        Label6->setText(QString::fromStdString(hintText(OfflineMode, ekey->text().isEmpty())));
        ekey->setEchoMode(masksKey(static_cast<size_t>(ekey->text().size())) ? QLineEdit::Password : QLineEdit::Normal);
        if (Label6->isVisible()) {
            // The hint blinks between black and red.
            const bool black = Label6->property("hintColour").toString() != QStringLiteral("red");
            Label6->setProperty("hintColour", black ? QStringLiteral("red") : QStringLiteral("black"));
            Label6->setStyleSheet(black ? QStringLiteral("color: #FF0000;") : QStringLiteral("color: #000000;"));
        }
        // 5. A handler that waits for a request owns the status line meanwhile.
        if (!Worker || InTimer || m_waiting) return;
        InTimer = true;
    } catch (const std::exception&) {
        writeLog("Timer Error!");
        return;
    }

    StepLabel step;
    try {
        // 6.
        setShownText(Label2, QString::fromStdString(Worker->LastAction.get()));
        // 7.
        const int command = Worker->dldCommand;
        if (command == CmdInstallBatch || command == CmdBatchFinished) {
            step = {"Checking slot #", 0};
            refreshRows(step.slot);
            step = {"Status Check"};
            if (const auto position =
                    progressPosition(Shared.finishedBytes, Shared.currentBytes, ActualInstallSize))
                pbar->setValue(*position);
        }
        // 8.
        if (Worker->dldCommand == CmdBatchFinished) {
            step = {"Reset"};
            finishRun();
        }
        // 9. The status line belongs to the installation: before a run it keeps what Connect showed there.
        step = {"State Check"};
        if (command != CmdInstallBatch && command != CmdBatchFinished && Status.overrideText.empty()) {
            InTimer = false;
            return;
        }
        TransferReport report;
        report.active = Worker->dldActive;
        report.maxBytes = Worker->dldMax;
        report.completion = Worker->dldCompletion;
        report.speedKbps = Worker->dldSpeed;
        report.name = Worker->dldName.get();
        report.lastAction = Worker->LastAction.get();
        const QString text = QString::fromStdString(runStatusText(report, Status.overrideText));
        // Assigned only when it changes: a relayout five times a second would make the line flicker.
        if (lStatus->text() != boundedText(text)) setShownText(lStatus, text);
    } catch (const CloseRequested&) {
        InTimer = false;
        closeAfterCancelledWait();
        return;
    } catch (const std::exception& e) {
        setShownText(lStatus, QString::fromStdString("ERROR @" + step.toString() + ": " + e.what()));
    }
    // 10.
    InTimer = false;
}

void TformD::refreshRows(int& rowInProgress) {
    for (int index = 0; index < kMaxProductRows; ++index) {
        rowInProgress = index;
        TcvProduct& row = Products[static_cast<size_t>(index)];
        if (row.Panel == nullptr || row.lSelect == nullptr) continue;
        row.lSelect->hide();
        row.lInfo->show();
        const RowStates states = rowStatesOf(Worker->Downloads, index);
        if (const auto label = rowLabel(states, CreateOffline)) {
            if (row.lInfo->text() != QString::fromStdString(*label)) {
                row.lInfo->setText(QString::fromStdString(*label));
                row.lInfo->adjustSize(); // the label was sized for its first text, "..."
            }
        }
        // Running colour, then green when done: the second colouring replaces the first.
        ColorRect(row.Panel, rowLooksDone(row.lInfo->text().toStdString()) ? 1 : 2);
    }
}

} // namespace k4m
