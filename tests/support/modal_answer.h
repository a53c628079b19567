#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QWidget;

namespace k4m::test {

// What a test saw of a modal dialog it answered.
struct ModalSeen {
    bool seen = false;
    QString title;  // the window caption
    QString header; // the title strip of the manager's own prompt (empty for other dialogs)
    QString text;   // the message: the prompt's text, a QMessageBox's text, else the labels joined by new lines
    QStringList buttons;
    // Set by the test to stop watching before the time is up (a watcher for a dialog that must not appear).
    bool stop = false;
};

// Watches for the next modal dialog (QApplication::activeModalWidget) from inside the event loop the dialog
// runs, records its title, text and buttons, then hands it to `answer`. Call before the code that opens the
// dialog; the record is filled once the dialog was seen. Gives up after `timeoutMs`.
std::shared_ptr<ModalSeen> answerNextModal(std::function<void(QWidget*)> answer, int timeoutMs = 10000);

// The same for the next modal dialog that `wanted` accepts: one already open beneath it (a dialog whose button
// opens the awaited one) is passed over.
std::shared_ptr<ModalSeen> answerNextModalWhere(std::function<bool(QWidget*)> wanted,
                                                std::function<void(QWidget*)> answer, int timeoutMs = 10000);

// Stops every watcher still waiting, so that none outlives its test and answers a dialog of the next one.
void stopAllModalWatchers();

// Clicks the button of `dialog` with this text (ampersands ignored); a test failure when there is none.
void clickButton(QWidget* dialog, const QString& buttonText);

// Answers the next modal dialog by clicking its button with this text (ampersands ignored).
std::shared_ptr<ModalSeen> clickOnNextModal(const QString& buttonText, int timeoutMs = 10000);

} // namespace k4m::test
