#include "core/ui/input_blocker.h"

#include <QCoreApplication>
#include <QEvent>

namespace k4m {

UserInputBlocker::UserInputBlocker() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

UserInputBlocker::~UserInputBlocker() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

bool UserInputBlocker::isUserInput(int eventType) {
    switch (eventType) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::ContextMenu:
    case QEvent::Drop:
    case QEvent::InputMethod:
        return true;
    default:
        return false;
    }
}

bool UserInputBlocker::eventFilter(QObject* watched, QEvent* event) {
    if (isUserInput(event->type())) return true;
    return QObject::eventFilter(watched, event);
}

} // namespace k4m
