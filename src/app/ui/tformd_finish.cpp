// The end of an installation run: the screen reset, the shortcut, the AAX bundles, the elevated copy of the
// plug-ins, the error report and the post-install tasks.
#include "app/installation_driver.h"
#include "app/ui/tformd.h"
#include "core/settings_keys.h"
#include "core/text_util.h"
#include "platform/utf8_path.h"

#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>

namespace k4m {

void TformD::finishRun() {
    // 1. From here on the run is over: a tick inside one of the prompts below never finishes it again.
    pbar->hide();
    Worker->dldCommand = CmdIdle;
    lCustomer->setText(QStringLiteral("Logged out"));
    lStatus->clear();
    // 2.
    try {
        CreateMenu();
    } catch (const std::exception&) {
        writeLog("WARNING: Could not create start menu");
    }
    // 3.
    try {
        runAaxTasks();
    } catch (const std::exception&) {
        writeLog("WARNING: Could not process AAX tasks");
    }
    // 4.
    if (Shared.elevationNeeded) {
        writeLog("Executing elevation for plugin copies");
        setStatusOverride("Elevated privilege plugin installation...");
        try {
            m_platform.launch(m_ownPath, std::string("CPY ALL"), LaunchRunAs);
        } catch (const std::exception&) {
            writeLog("WARNING: Could not execute elevated tasks!");
        }
        setStatusOverride("");
    } else {
        Worker->LastAction.set("");
    }
    // 5.
    bConnect->setEnabled(true);
    shadowConnect->setEnabled(true);
    bCancel->setEnabled(false);
    bUninstall->setEnabled(true);
    bInstall->setEnabled(false);
    shadowInstall->setEnabled(false);
    bOptions->setEnabled(true);
    bSkipAll->hide();
    bReinstallAll->hide();
    // 6.
    const std::string errors = Worker->Errors.get();
    if (!errors.empty())
        ModalPrompt(0, QStringLiteral("INSTALLATION ERRORS"), QString::fromStdString(installationErrorsText(errors)),
                    QStringLiteral("OK"), QString());
    // 7.
    PostInstall();
}

void TformD::runAaxTasks() {
    std::error_code ec;
    if (!InstallAAX || Folders.proToolsFolder.empty() || !std::filesystem::is_directory(pathFromUtf8(Folders.proToolsFolder), ec))
        return;
    write(*Profile, profile::AAX, joinPath(Folders.proToolsFolder, "Kandoro4.aaxplugin"));
    write(*Profile, profile::AAX_SK7, joinPath(Folders.proToolsFolder, "soundK7.aaxplugin"));
    if (Shared.elevationNeeded) return;
    // The bundles are marked as system folders, so the host shows them as plug-ins, not as folders.
    m_platform.runSystemAttributeCommand("+S Kandoro4.aaxplugin", Folders.proToolsFolder);
    m_platform.runSystemAttributeCommand("+S soundK7.aaxplugin", Folders.proToolsFolder);
}

} // namespace k4m
