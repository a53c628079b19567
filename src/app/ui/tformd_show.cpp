// The first show of the main window: server status, self-update, self-copy, promotion, global settings,
// home picture, first-start notice.
#include "core/ui/busy_cursor.h"
#include "app/entry_decision.h"
#include "app/startup_rules.h"
#include "app/ui/tformd.h"
#include "core/file_ops.h"
#include "core/server_requests.h"
#include "core/settings_keys.h"
#include "core/text_util.h"

#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

namespace k4m {

namespace fs = std::filesystem;

void TformD::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_shown) return;
    m_shown = true;
    // Let the window appear before the handler talks to the server.
    QTimer::singleShot(0, this, &TformD::FormShow);
}

void TformD::FormShow() {
    try {
        startUpServerChecks();
    } catch (const std::exception&) {
        // An error ends the server checks; the window is made ready all the same.
    }
    if (m_programEnded) return;
    Timer1->start();
    if (ekey->text().isEmpty()) Label6->setText(QString::fromStdString(hintText(false, true)));
    if (startedEmbedded(m_arguments)) bConnectClick();
}

void TformD::startUpServerChecks() {
    writeLog("Creating GUI");
    Label3->setText(QString::fromStdString(footerText(Server.website)));

    if (OfflineMode) {
        CreateOffline = false;
        Shared.createOffline = false;
        writeLog("GUI Init Completed");
        return;
    }

    writeLog("Status sync: " + ServerStatus);
    if (ServerStatus != "OK") {
        bConnect->setEnabled(false);
        shadowConnect->setEnabled(false);
        ModalPrompt(0, QStringLiteral("SERVER STATUS"), QString::fromStdString(ServerStatus), QStringLiteral("OK"),
                    QString());
        endProgram();
        return;
    }

    try {
        if (!offerUpdate()) return; // the program ends
    } catch (const std::exception&) {
    }

    // A copy of the manager in the data folder, which the start-menu entry starts.
    try {
        const std::string copy = joinPath(Folders.dataFolder, "Kandoro4Manager.exe");
        if (!CreateOffline && m_ownPath != copy) copyFileReplacing(m_ownPath, copy, kProgramFileMode);
    } catch (const std::exception&) {
    }

    write(*Profile, profile::Version, kManagerVersion);

    const std::string promotion = fetch(server::kPromotionPath);
    if (showsPromotion(promotion)) {
        Label9->setText(QString::fromStdString(promotion));
        Label9->show();
    } else {
        Label9->hide();
    }

    try {
        writeLog("Retrieving global settings");
        KMIni = IniFile::fromText(fetch(server::kGlobalSettingsPath));
    } catch (const std::exception&) {
        writeLog("Could not retrieve manager profile");
        KMIni = IniFile();
    }

    try {
        const int ours = read(*Profile, profile::HomeScreen);
        const int theirs = KMIni.readInteger("General", "HomeScreen", 0);
        if (ours < theirs) {
            writeLog("Updating home screen");
            Worker->dldURL = server::staticUrl(Server.base, server::kHomeScreenPath);
            Worker->dldStore = Folders.installerFile("homescreen.jpg");
            runWorker(CmdSaveFile);
            if (Worker->dldOK) {
                write(*Profile, profile::HomeScreen, theirs);
                Profile->save();
                loadHomePicture(Folders.installerFile("homescreen.jpg"));
            }
        }
    } catch (const std::exception&) {
    }

    writeLog(NewInstallation ? "State: New Installation" : "State: Installation Present");
    if (NewInstallation) {
        const std::string notice = fetch(server::kInstallInfoPath);
        ModalPrompt(0, QStringLiteral("INFORMATION"), QString::fromStdString(notice), QStringLiteral("OK"), QString());
    } else {
        fetch(server::kMessagesPath); // read, not used
    }
    writeLog("GUI Init Completed");
}

bool TformD::offerUpdate() {
    writeLog("Manager version check");
    if (!isNewerVersion(CurVersion)) return true;

    const int answer =
        ModalPrompt(1, QStringLiteral("Update"),
                    QString::fromStdString("A new version of the manager is available (" + CurVersion + ")"),
                    QStringLiteral("Yes, auto-update now"), QStringLiteral("No, close the manager instead"));
    if (answer != 1) {
        endProgram();
        return false;
    }
    BusyCursor(1);
    Status.overrideText = "Downloading update...";
    const std::string updateFolder = Folders.updateFolder();
    Worker->dldURL = server::staticUrl(Server.base, server::kManagerArchivePath);
    Worker->dldStore = updateFolder;
    Worker->dldFileInZip = "Kandoro4Manager.exe";
    runWorker(CmdZipEntry);
    BusyCursor(0);
    if (!Worker->dldOK) {
        ModalPrompt(0, QStringLiteral("Error"),
                    QStringLiteral("The manager could not auto-update. Make sure to run the manager from a folder that "
                                   "you have write access to."),
                    QStringLiteral("OK"), QString());
        endProgram();
        return false;
    }
    // An update copy of this version may be there already (downloaded before): then that one starts.
    const std::string extracted = joinPath(updateFolder, "Kandoro4Manager.exe");
    const std::string copy = joinPath(updateFolder, updateCopyName(CurVersion));
    std::error_code ec;
    if (!fs::exists(copy, ec)) fs::rename(extracted, copy, ec);
    m_platform.launch(copy, std::nullopt, 0);
    endProgram();
    return false;
}

} // namespace k4m
