// The window's 200 ms timer. Before an installation it keeps the start screen's texts current.
#include "app/startup_rules.h"
#include "app/ui/tformd.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace k4m {

void TformD::Timer1Timer() {
    try {
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
    } catch (const std::exception&) {
        writeLog("Timer Error!");
    }
}

} // namespace k4m
