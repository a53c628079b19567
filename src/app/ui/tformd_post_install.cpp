// The tasks after every installation run: the start-menu shortcut and the plug-in's runtime.
#include "app/post_install.h"
#include "app/ui/tformd.h"
#include "core/text_util.h"
#include "core/ui/busy_cursor.h"
#include "core/ui/shown_text.h"
#include "platform/utf8_path.h"

#include <QLabel>
#include <QMessageBox>
#include <filesystem>

namespace k4m {

void TformD::setStatusOverride(const std::string& text) {
    Status.overrideText = text;
    if (!text.empty()) setShownText(lStatus, QString::fromStdString(text));
}

void TformD::RemoveMenu() {
    removeMenu(Folders.startMenuFolder);
}

void TformD::CreateMenu() {
    // On a first installation the data folder did not exist when the window opened, so the copy the shortcut
    // starts could not be made then.
    std::error_code ec;
    if (!std::filesystem::exists(pathFromUtf8(joinPath(Folders.dataFolder, "Kandoro4Manager.exe")), ec)) copySelfIntoDataFolder();
    try {
        createMenu(m_platform, Folders.startMenuFolder, Folders.dataFolder);
    } catch (const std::exception& e) {
        QMessageBox box(QMessageBox::NoIcon, windowTitle(), boundedText(QString::fromStdString(e.what())),
                        QMessageBox::Ok, this);
        box.exec();
    }
}

void TformD::PostInstall() {
    if (CreateOffline || OfflineMode || !Redistributable.active) {
        if (!Redistributable.active) writeLog("VC Redistributable check inactive");
        return;
    }
    // 1.-3.
    const RuntimeCheck check = checkRuntime(m_platform, Redistributable, Server.base);
    for (const std::string& line : check.logLines)
        writeLog(line);
    // 4.
    if (check.downloadUrl.empty()) {
        writeLog("VC Redistributable up-to-date");
        return;
    }
    // 5.
    writeLog("Installing VC Redistributable");
    ModalPrompt(0, QStringLiteral("Runtime Install"),
                QStringLiteral("The installer will now download and install a required Microsoft package (Visual C++ "
                               "2015 Redistributable)"),
                QStringLiteral("OK"), QString());
    // 6.
    BusyCursor(1);
    setStatusOverride("Downloading redist");
    const std::string installer = Folders.installerFile("redist.exe");
    bool saved = false;
    try {
        saved = waitForWorker([&](const auto& pump) { return saveFile(*Worker, check.downloadUrl, installer, pump); });
    } catch (...) {
        BusyCursor(0);
        throw;
    }
    BusyCursor(0);
    // 7.
    if (!saved) return;
    setStatusOverride("Installing MS VC++ redistributable...");
    m_platform.launch(installer, Redistributable.parameters, 0);
    setStatusOverride("Installation completed.");
}

} // namespace k4m
