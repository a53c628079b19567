#include "core/ui/busy_cursor.h"

#include <QApplication>
#include <QCursor>

namespace k4m {

void BusyCursor(int state) {
    if (state == 1) {
        if (QApplication::overrideCursor() != nullptr)
            QApplication::changeOverrideCursor(Qt::WaitCursor);
        else
            QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (state == 0) {
        while (QApplication::overrideCursor() != nullptr)
            QApplication::restoreOverrideCursor();
    }
}

} // namespace k4m
