// The main window's creation handler: everything before the window is first shown.
#include "app/startup_rules.h"
#include "app/ui/tformd.h"
#include "core/file_ops.h"
#include "core/ignored_failure.h"
#include "core/server_requests.h"
#include "core/settings_keys.h"
#include "core/text_file.h"
#include "core/text_util.h"
#include "download/install_batch.h"
#include "platform/atomic_file.h"
#include "platform/leftover_files.h"
#include "platform/user_folders.h"
#include "platform/utf8_path.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <filesystem>

namespace k4m {

namespace fs = std::filesystem;

namespace {

bool exists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(pathFromUtf8(path), ec);
}

} // namespace

void TformD::FormCreate() {
    m_ownPath = m_platform.ownExecutablePath();

    // 1. A program inside a Zip archive cannot find its own files.
    if (startedFromZipArchive(m_ownPath)) {
        ModalPrompt(0, QStringLiteral("Error"),
                    QStringLiteral("The manager cannot be run from a ZIP archive. Please extract to a folder of your "
                                   "choice and then run the manager from there."),
                    QStringLiteral("OK"), QString());
        endProgram();
        return;
    }

    // 2. Initial state.
    setProperty("started", true);
    style()->unpolish(this);
    style()->polish(this);
    lCustomer->clear();
    lStatus->clear();
    Status.overrideText.clear();
    Folders = resolveFolderSet(m_platform, m_ownPath);
    Server = loadServerConfig(joinPath(Folders.managerFolder, "server.ini"));
    // What start-up finds wrong before the log exists (nonsense configuration, unreadable settings).
    std::vector<std::string> problems = Server.problems;

    // 3. Quick connectivity test.
    ignoringFailure("the connectivity test", [&] {
        if (!m_platform.hasNetworkConnection()) {
            Folders.dataFolder = Folders.managerFolder;
            if (exists(Folders.offlineFolder())) {
                OfflineMode = true;
            } else {
                ModalPrompt(0, QStringLiteral("ERROR"), QStringLiteral("No Internet connection detected!"),
                            QStringLiteral("OK"), QString());
                endProgram();
            }
        }
    });
    if (m_programEnded) return;

    // 4. The download worker lives until the window closes.
    HttpSettings http;
    http.caFile = Server.caFile;
    http.connectTimeoutSeconds = Server.connectTimeoutSeconds;
    http.stallTimeoutSeconds = Server.stallTimeoutSeconds;
    m_httpSettings = http;
    Shared.decimalSeparator = QLocale::system().decimalPoint().toStdString();
    Worker = std::make_unique<TcvDLThread>(Shared, &log, http);
    Worker->setBatchRunner(runInstallBatch);
    Worker->Start();

    // 5. Probe a well-known site: without an answer there is no Internet for this manager.
    const ProbeResult answer = waitForWorker([&](const auto& pump) { return probe(*Worker, Server.probe, pump); });
    if (answer.status != 200) {
        Folders.dataFolder = Folders.managerFolder;
        if (!exists(Folders.offlineFolder())) {
            ModalPrompt(0, QStringLiteral("ERROR"), QString::fromStdString(probeFailureText(answer.error)),
                        QStringLiteral("OK"), QString());
            endProgram();
            return;
        }
        OfflineMode = true;
    }
    Shared.offlineMode = OfflineMode;

    // 6. Offline: the key comes with the offline package.
    if (OfflineMode) {
        ignoringFailure("reading the offline key", [&] {
            ekey->setText(
                QString::fromStdString(trim(LoadString(pathFromUtf8(joinPath(joinPath(Folders.dataFolder, "Offline"), "key.dat"))))));
        });
        ekey->setEnabled(false);
    }

    // 7.-8. The product folder must stay writable for the plug-in, whoever runs the host.
    m_platform.createFolderOpenToEveryone(Folders.productFolder);

    // 9. Whether an installation is present.
    // A link planted in its place counts as there too: it is reported as unreadable, never replaced.
    IniExisted = exists(Folders.pluginSettingsPath()) || isSymlink(pathFromUtf8(Folders.pluginSettingsPath()));
    NewInstallation = !IniExisted;

    // 10. Installer folder and log.
    createUserFolders(Folders.installerFolder);
    log.open(pathFromUtf8(Folders.logPath()));
    if (!log.isOpen())
        reportIgnoredFailure("opening the log", "cannot create a file of its own at " + Folders.logPath());
    GUIScale = 5;

    // 11. The plug-in's display settings.
    if (IniExisted) {
        IniFile plugin(pathFromUtf8(Folders.pluginSettingsPath()));
        try {
            plugin.load();
        } catch (const std::exception& e) {
            // Read again (and refused again) by every later writer of this run: it is never overwritten.
            problems.push_back("Plug-in settings could not be read, left unchanged: " + std::string(e.what()));
        }
        {
            const char* g = plugin::kGeneral;
            DPIXOverride = plugin.readInteger(g, plugin::DPIXOverride.name, DPIXOverride);
            UseDPIX = plugin.readBool(g, plugin::UseDPIX.name, UseDPIX);
            GFX_DXS = plugin.readBool(g, plugin::GFX_DXS.name, GFX_DXS);
            GFX_DX9 = plugin.readBool(g, plugin::GFX_DX9.name, GFX_DX9);
            GFX_D2D = plugin.readBool(g, plugin::GFX_D2D.name, GFX_D2D);
            SOT = plugin.readBool(g, plugin::ForceMenuSOT.name, SOT);
            APSMode = plugin.readBool(g, plugin::APSMode.name, APSMode);
            PriorityMode = plugin.readInteger(g, plugin::PriorityMode.name, PriorityMode);
            GUIScale = plugin.readInteger(g, plugin::GUIScale.name, GUIScale);
            ForceMenuMode = plugin.readInteger(g, plugin::ForceMenuMode.name, ForceMenuMode);
        }
    }

    // 12.
    writeLog(kBanner);
    writeLog(OfflineMode ? "Install Mode: Offline" : "Install Mode: Online");
    writeLog("Manager location: " + m_ownPath);
    writeLog("Verifying directories.");
    for (const std::string& problem : problems)
        writeLog(problem);

    // 13.
    writeLog("KD3 folder: " + Folders.previousGenerationFolder);
    writeLog(exists(Folders.proToolsFolder) ? "Pro Tools plugin folder: " + Folders.proToolsFolder
                                            : std::string("Pro Tools plugin folder: N/A"));

    // 14. The host program the plug-in last ran in, to be ended before an installation.
    LastHost = "xxx";
    try {
        if (exists(Folders.pluginLogPath())) LastHost = lastHostFromPluginLog(readTextFile(pathFromUtf8(Folders.pluginLogPath())));
    } catch (const std::exception&) {
        LastHost = "xxx"; // an unreadable plug-in log names no host
    }

    // 15. The previous generation's sound data.
    if (exists(Folders.previousSettingsPath())) {
        ignoringFailure("reading the previous generation's settings", [&] {
            IniFile previousSettings(pathFromUtf8(Folders.previousSettingsPath()));
            previousSettings.load();
            KD3DataFolder = read(previousSettings, previous::DataPath);
        });
        writeLog("KD3 Data Folder: " + KD3DataFolder);
    } else {
        writeLog("KD3 settings not found [" + Folders.previousSettingsPath() + "]");
    }

    // 16. The manager profile, open until the window closes.
    // It holds the customer key: readable by the user alone.
    Profile = std::make_unique<IniFile>(Folders.profilePath(), true, kPrivateFileMode);
    // Whatever lies under the profile's name but cannot be read (no rights, a link, far too large) counts as
    // there: it is never replaced by a new profile.
    bool present = false;
    std::string unreadable;
    try {
        present = !Folders.profilePath().empty() && Profile->load();
    } catch (const std::exception& e) {
        present = true;
        unreadable = e.what();
    }
    if (present) {
        writeLog("Loading profile");
        // The run goes on with the defaults in memory; the file is never written by this run.
        if (!unreadable.empty()) writeLog("Profile could not be read, left unchanged: " + unreadable);
        const std::string cid = read(*Profile, profile::CID);
        LastMID = read(*Profile, profile::LastMID);
        CreateOffline = read(*Profile, profile::CreateOffline);
        lOffline->setVisible(CreateOffline);
        if (!OfflineMode) ekey->setText(QString::fromStdString(cid));
    } else {
        writeLog("Creating profile");
    }
    Shared.profile = Profile.get();
    Shared.createOffline = CreateOffline;

    // 17. Folder choices.
    writeLog("Checking system data");
    try {
        writeLog("Retrieving folder selections");
        applyProfileFolders(Folders, *Profile, OfflineMode);
    } catch (const std::exception& e) {
        writeLog(std::string("Error obtaining folder selections: ") + e.what());
    }
    // With the folders chosen: what a crashed run left behind in them goes.
    removeLeftovers();

    // 18. Format choices: only 1 means install.
    InstallVST64 = read(*Profile, profile::InstallVST64) == FormatInstall;
    InstallVST32 = read(*Profile, profile::InstallVST32) == FormatInstall;
    InstallAAX = read(*Profile, profile::InstallAAX) == FormatInstall;
    InstallAIOnly = read(*Profile, profile::InstallAIOnly);
    UseKD3 = read(*Profile, profile::UseKD3);
    InstallBetas = read(*Profile, profile::InstallBetas);

    // 19. What the server says; asked in offline mode too, where the answers are errors nobody reads.
    writeLog("Checking official manager version number");
    CurVersion = fetch(server::kVersionPath);
    writeLog("Checking information server status");
    ServerStatus = fetch(server::kStatusPath);

    // 20.-22.
    bUninstall->setEnabled(!NewInstallation);
    if (exists(Folders.installerFile("homescreen.jpg"))) loadHomePicture(Folders.installerFile("homescreen.jpg"));
    writeLog("Initialization complete");
    writeLog("");
}

void TformD::removeLeftovers() {
    // Temporary files a crashed run left behind (a half-downloaded update archive or package, a profile or an
    // entry being written). This run holds the single-instance lock, so the partial downloads in these folders
    // are no other run's.
    const std::string cacheFolder = Folders.dataFolder.empty() ? std::string() : Folders.dataFolder + "/cache";
    for (const std::string& folder :
         {Folders.installerFolder, Folders.productFolder, Folders.updateFolder(), Folders.dataFolder, cacheFolder}) {
        if (!folder.empty()) removeLeftoverTemporaries(pathFromUtf8(folder), true);
    }
    // The other folders an installation writes into: only files of the manager's own temporary naming whose
    // writer is gone, never a partial download, since other programs keep files there.
    for (const std::string& folder :
         {Folders.vst64Folder, Folders.vst32Folder, Folders.proToolsFolder, KD3DataFolder}) {
        if (!folder.empty()) removeLeftoverTemporaries(pathFromUtf8(folder), false);
    }
}

} // namespace k4m
