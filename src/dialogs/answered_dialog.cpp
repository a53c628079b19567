#include "dialogs/answered_dialog.h"

#include <QCloseEvent>
#include <QKeyEvent>

namespace k4m {

namespace {

bool isEnter(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

void AnsweredDialog::answer(int result) {
    m_answering = true;
    done(result);
}

void AnsweredDialog::closeEvent(QCloseEvent* event) {
    // Only the buttons and the two keys end the dialog.
    if (!m_answering) event->ignore();
}

bool AnsweredDialog::handleKey(QKeyEvent* event, bool released) {
    const int key = event->key();
    if (!isEnter(key) && key != Qt::Key_Escape) return false;
    if (released && !event->isAutoRepeat()) answer(isEnter(key) ? 1 : 2);
    return true; // the press is swallowed, so the dialog's own Enter and Escape handling never runs
}

bool AnsweredDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        if (handleKey(static_cast<QKeyEvent*>(event), event->type() == QEvent::KeyRelease)) return true;
    }
    return QDialog::eventFilter(watched, event);
}

void AnsweredDialog::keyPressEvent(QKeyEvent* event) {
    if (!handleKey(event, false)) QDialog::keyPressEvent(event);
}

void AnsweredDialog::keyReleaseEvent(QKeyEvent* event) {
    if (!handleKey(event, true)) QDialog::keyReleaseEvent(event);
}

} // namespace k4m
