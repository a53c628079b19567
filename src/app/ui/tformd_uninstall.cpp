// Uninstall: the user's own data goes here, the plug-ins and the product folder through the program's delete
// mode, then the program closes.
#include "app/uninstall.h"
#include "app/ui/tformd.h"
#include "core/ignored_failure.h"

namespace k4m {

void TformD::bUninstallClick() {
    // 1.
    const int answer = ModalPrompt(1, QStringLiteral("WARNING"),
                                   QStringLiteral("This will remove all Kandoro 4 files from your computer. You should "
                                                  "do this only if you are sure you DO NOT want to use Kandoro on this "
                                                  "computer anymore.\r\n\r\nAre you sure you want to continue?"),
                                   QStringLiteral("YES"), QStringLiteral("NO"));
    if (answer != 1) return;
    // 2. From here on the window closes without asking and saves neither profile nor log.
    UninstallerRan = true;
    Shared.stopFlag = true;
    if (Worker) Worker->dldCommand.poke();
    log.close();
    Shared.profile = nullptr;
    Profile.reset();
    // 3.
    ignoringFailure("removing the start-menu entry", [&] { RemoveMenu(); });
    // 4.-5.
    removeUserData(Folders.dataFolder, OfflineMode);
    // 6. Not waited for: a refused elevation leaves the binaries and the product folder, and the uninstall still
    // ends as below.
    m_platform.launch(m_ownPath, std::string("DLT ALL"), LaunchRunAs);
    // 7.-8.
    ModalPrompt(0, QStringLiteral("Uninstalled"),
                QStringLiteral("Kandoro has been uninstalled. This application will now close."), QStringLiteral("OK"),
                QString());
    close();
}

} // namespace k4m
