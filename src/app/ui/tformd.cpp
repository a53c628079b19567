#include "app/ui/tformd.h"

#include "app/startup_rules.h"
#include "core/server_requests.h"
#include "core/ui/shown_text.h"
#include "dialogs/tmodalform.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

namespace k4m {

TformD::TformD(Platform& platform, std::vector<std::string> arguments, QWidget* parent)
    : QWidget(parent), m_platform(platform), m_arguments(std::move(arguments)),
      m_pump([] { QCoreApplication::processEvents(); }) {
    createControls();
    centreOnScreen();
    FormCreate();
}

TformD::~TformD() {
    // The worker ends with the window, whichever way the window ends.
    if (Worker) Worker->Terminate();
}

int TformD::ModalPrompt(int id, const QString& title, const QString& prompt, const QString& b1, const QString& b2) {
    return k4m::ModalPrompt(this, id, title, prompt, b1, b2);
}

void TformD::SetStatus(const QString& text) {
    // A server's name in the text may be megabytes long; laid out whole, it would slow every repaint.
    setShownText(lStatus, text);
    Status.lastStatus = text.toStdString();
}

void TformD::writeLog(const std::string& line) {
    try {
        log.write(line);
    } catch (const LogError&) {
        // A log that could not be created loses its lines; start-up goes on.
    }
}

std::string TformD::fetch(const std::string& path) {
    const std::string url = server::staticUrl(Server.base, path);
    return waitForWorker([&](const auto& pump) { return fetchText(*Worker, url, pump); });
}

void TformD::closeAfterCancelledWait() {
    m_closePending = false;
    close();
}

void TformD::endProgram() {
    m_programEnded = true;
    m_closed = true;
    FormClose();
    hide();
    emit programEnding();
}

void TformD::centreOnScreen() {
    if (const QScreen* shown = screen()) move(shown->availableGeometry().center() - rect().center());
}

void TformD::loadHomePicture(const std::string& file) {
    QPixmap picture;
    // A file that is no picture leaves the one shown.
    if (picture.load(QString::fromStdString(file))) imgHome->setPixmap(picture);
}

} // namespace k4m
