#include "app/ui/program_entry.h"

#include "app/command_modes.h"
#include "app/entry_decision.h"
#include "app/ui/tformd.h"
#include "app/ui/update_swap_mode.h"
#include "core/folder_set.h"

#include <QApplication>
#include <string>
#include <vector>

namespace k4m {

namespace {

constexpr const char* kInstanceLockName = "KANDORO_MAN_X4";

int runWindowed(int argc, char** argv, Platform& platform, const std::vector<std::string>& arguments) {
    // The lock lives as long as the process; a second windowed instance ends without a trace.
    const auto lock =
        platform.acquireInstanceLock(kInstanceLockName, installerFolderOf(platform.commonAppDataFolder()));
    if (!lock) return 0;

    QApplication app(argc, argv);
    // No focus rectangles on any control.
    app.setStyleSheet(QStringLiteral("*:focus { outline: none; }"));
    TformD window(platform, arguments);
    if (window.startupAborted()) return 0;
    QObject::connect(&window, &TformD::programEnding, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    window.show();
    return app.exec();
}

} // namespace

int runProgram(int argc, char** argv, Platform& platform) {
    // Software rendering in every mode: some audio workstations' graphics drivers misbehave with the manager.
    QCoreApplication::setAttribute(Qt::AA_UseSoftwareOpenGL);

    const std::string ownPath = platform.ownExecutablePath();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    switch (decideEntryMode(ownPath, arguments)) {
    case EntryMode::UpdateSwap: {
        QApplication app(argc, argv);
        return runUpdateSwapMode(platform, ownPath);
    }
    case EntryMode::Copy:
        // The command modes need no display: they never create a QApplication.
        return runCopyMode(platform, arguments);
    case EntryMode::Delete:
        return runDeleteMode(platform, arguments);
    case EntryMode::EndAtOnce:
        return 0;
    case EntryMode::Windowed:
        return runWindowed(argc, argv, platform, arguments);
    }
    return 0;
}

} // namespace k4m
