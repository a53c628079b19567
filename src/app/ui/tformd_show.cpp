// The first show of the main window: server status, self-update, self-copy, promotion, global settings,
// home picture, first-start notice.
#include "app/entry_decision.h"
#include "app/program_companions.h"
#include "app/startup_rules.h"
#include "app/ui/tformd.h"
#include "core/file_ops.h"
#include "core/ignored_failure.h"
#include "core/server_requests.h"
#include "core/settings_keys.h"
#include "core/text_util.h"
#include "core/ui/busy_cursor.h"
#include "core/ui/shown_text.h"
#include "platform/utf8_path.h"

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
        // An error ends the server checks; the window is made ready all the same.
        ignoringFailure("the start-up server checks", [&] { startUpServerChecks(); });
    } catch (const CloseRequested&) {
        closeAfterCancelledWait();
        return;
    }
    if (m_programEnded) return;
    Timer1->start();
    if (ekey->text().isEmpty()) Label6->setText(QString::fromStdString(hintText(false, true)));
    if (startedEmbedded(m_arguments)) bConnectClick();
}

void TformD::startUpServerChecks() {
    writeLog("Creating GUI");
    setShownText(Label3, QString::fromStdString(footerText(Server.website)));

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

    bool programGoesOn = true;
    ignoringFailure("the manager version check", [&] { programGoesOn = offerUpdate(); });
    if (!programGoesOn) return; // the program ends

    copySelfIntoDataFolder();

    write(*Profile, profile::Version, kManagerVersion);

    const std::string promotion = fetch(server::kPromotionPath);
    if (showsPromotion(promotion)) {
        setShownText(Label9, QString::fromStdString(promotion));
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

    ignoringFailure("updating the home screen", [&] {
        const int ours = read(*Profile, profile::HomeScreen);
        const int theirs = KMIni.readInteger("General", "HomeScreen", 0);
        if (ours < theirs) {
            writeLog("Updating home screen");
            const std::string url = server::staticUrl(Server.base, server::kHomeScreenPath);
            const std::string picture = Folders.installerFile("homescreen.jpg");
            if (waitForWorker([&](const auto& pump) { return saveFile(*Worker, url, picture, pump); })) {
                write(*Profile, profile::HomeScreen, theirs);
                Profile->save();
                loadHomePicture(picture);
            }
        }
    });

    writeLog(NewInstallation ? "State: New Installation" : "State: Installation Present");
    if (NewInstallation) {
        const std::string notice = fetch(server::kInstallInfoPath);
        ModalPrompt(0, QStringLiteral("INFORMATION"), QString::fromStdString(notice), QStringLiteral("OK"), QString());
    } else {
        fetch(server::kMessagesPath); // read, not used
    }
    writeLog("GUI Init Completed");
}

void TformD::copySelfIntoDataFolder() {
    // A copy of the manager in the data folder, which the start-menu entry starts.
    ignoringFailure("copying the manager into the data folder", [&] {
        if (Folders.dataFolder.empty()) return; // no folder to put it in, never the top of the file system
        // Before the first installation there is no data folder yet; the installation's end makes the copy.
        std::error_code ec;
        if (!std::filesystem::is_directory(pathFromUtf8(Folders.dataFolder), ec)) return;
        const std::string copy = joinPath(Folders.dataFolder, "Kandoro4Manager.exe");
        if (!CreateOffline && m_ownPath != copy) {
            copyFileReplacing(pathFromUtf8(m_ownPath), pathFromUtf8(copy), kProgramFileMode);
            copyProgramCompanions(pathFromUtf8(m_ownPath), pathFromUtf8(Folders.dataFolder));
        }
    });
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
    const std::string url = server::staticUrl(Server.base, server::kManagerArchivePath);
    bool extracted = false;
    try {
        extracted = waitForWorker([&](const auto& pump) {
            return extractArchiveEntry(*Worker, url, updateFolder, "Kandoro4Manager.exe", pump);
        });
    } catch (const CloseRequested&) {
        BusyCursor(0);
        throw;
    }
    BusyCursor(0);
    if (!extracted) {
        ModalPrompt(0, QStringLiteral("Error"),
                    QStringLiteral("The manager could not auto-update. Make sure to run the manager from a folder that "
                                   "you have write access to."),
                    QStringLiteral("OK"), QString());
        endProgram();
        return false;
    }
    // The fresh download replaces an update copy of the same name: one left by an earlier run may be broken,
    // and starting it again and again would keep the manager from ever updating.
    const std::string fresh = joinPath(updateFolder, "Kandoro4Manager.exe");
    const std::string copy = joinPath(updateFolder, updateCopyName(CurVersion));
    std::error_code ec;
    fs::rename(pathFromUtf8(fresh), pathFromUtf8(copy), ec);
    if (!ec) {
        // The update copy starts from the update folder: what this program loads goes there too.
        try {
            copyProgramCompanions(pathFromUtf8(m_ownPath), pathFromUtf8(updateFolder));
        } catch (const std::filesystem::filesystem_error& e) {
            ec = e.code();
        }
    }
    if (ec || m_platform.launch(copy, std::nullopt, 0) < 0) {
        // Without a running update this manager stays: it tells the user and goes on starting.
        ModalPrompt(0, QStringLiteral("Error"),
                    QStringLiteral("The updated manager could not be started. This version of the manager stays "
                                   "open; please try the update again later."),
                    QStringLiteral("OK"), QString());
        Status.overrideText.clear();
        return true;
    }
    endProgram();
    return false;
}

} // namespace k4m
