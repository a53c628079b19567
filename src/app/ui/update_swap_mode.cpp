#include "app/ui/update_swap_mode.h"

#include "app/update_swap.h"
#include "core/ui/busy_cursor.h"

#include <QApplication>
#include <QMessageBox>
#include <chrono>
#include <thread>

namespace k4m {

int runUpdateSwapMode(Platform& platform, const std::string& ownExecutablePath) {
    QMessageBox::information(nullptr, QStringLiteral("Kandoro 4 Manager"),
                             QStringLiteral("The manager has been updated. Click OK to open the updated version."));
    BusyCursor(1);
    // The old manager started this copy and then ended; give it time to let go of its file.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    std::string target;
    try {
        target = installUpdateCopy(ownExecutablePath);
    } catch (const std::exception& e) {
        BusyCursor(0);
        // The message names paths of the file system: shown as they are, never as markup.
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Kandoro 4 Manager"),
                        QStringLiteral("The update could not be installed:\n%1").arg(QString::fromUtf8(e.what())),
                        QMessageBox::Ok);
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return 1;
    }
    BusyCursor(0);
    platform.launch(target, std::nullopt, 0);
    return 0;
}

} // namespace k4m
