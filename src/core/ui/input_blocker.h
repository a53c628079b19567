#pragma once

#include <QObject>

namespace k4m {

// While it lives, no window of the program receives user input (keys, clicks, wheel, touch, drops); every
// other event, painting, timers and a close request from the window system among them, is delivered as usual.
// A window that waits for a request uses it so that it keeps painting and can still be closed, but no second
// click starts anything meanwhile.
class UserInputBlocker : public QObject {
public:
    UserInputBlocker();
    ~UserInputBlocker() override;
    UserInputBlocker(const UserInputBlocker&) = delete;
    UserInputBlocker& operator=(const UserInputBlocker&) = delete;

    static bool isUserInput(int eventType);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace k4m
