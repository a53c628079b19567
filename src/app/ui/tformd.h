#pragma once

#include "app/installation_start.h"
#include "catalog/connect_sequence.h"
#include "catalog/ui/tcv_product.h"
#include "core/folder_set.h"
#include "core/ini_file.h"
#include "core/install_options.h"
#include "core/log.h"
#include "core/server_config.h"
#include "core/status_line.h"
#include "core/ui/input_blocker.h"
#include "download/tcv_dl_thread.h"
#include "download/worker_shared.h"
#include "platform/platform.h"

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QGraphicsDropShadowEffect;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace k4m {

class TLocations;

// The main window: the whole user interface of the manager. Controls carry their design names as object
// names. The handlers keep their design names and stay thin; what they decide lives in startup_rules and the
// core and download libraries.
class TformD : public QWidget {
    Q_OBJECT
public:
    // Runs the creation handler. `arguments` are the command-line arguments without the program name.
    TformD(Platform& platform, std::vector<std::string> arguments, QWidget* parent = nullptr);
    ~TformD() override;

    // The creation handler ended the program (a prompt was answered); the window is not to be shown.
    bool startupAborted() const { return m_programEnded; }
    // Start-up or a handler asked the program to end.
    bool programEnded() const { return m_programEnded; }

    int ModalPrompt(int id, const QString& title, const QString& prompt, const QString& b1, const QString& b2);
    // The status line setter of Connect: sets lStatus and remembers the text as LastStatus.
    void SetStatus(const QString& text);

    // Controls.
    QWidget* Rectangle1;
    QLabel* Label1;
    QLabel* Label5;
    QLabel* Label7;
    QLabel* Label8;
    QPushButton* bConnect;
    QPushButton* bInstall;
    QPushButton* bCancel;
    QPushButton* bUninstall;
    QPushButton* bOptions;
    QPushButton* btechSupport;
    QPushButton* bKDOptions;
    QLabel* Label4;
    QLineEdit* ekey;
    QLabel* lOffline;
    QPushButton* bRepairAll;
    QPushButton* bReinstallAll;
    QPushButton* bSkipAll;
    QLabel* lCustomer;
    QLabel* lStatus;
    QLabel* Label6;
    QLabel* Label2; // hidden: the worker's last action
    QProgressBar* pbar;
    QLabel* imgHome;
    QLabel* Label9;
    QWidget* Rectangle2;
    QLabel* Label3;
    QTimer* Timer1;
    QGraphicsDropShadowEffect* shadowConnect;
    QGraphicsDropShadowEffect* shadowInstall;

    // Start-up state.
    int ServerMode = 1;
    std::vector<std::string> HostList;
    bool UseDPIX = false;
    int DPIXOverride = 96;
    bool GFX_DXS = false;
    bool GFX_DX9 = false;
    bool GFX_D2D = true;
    bool SOT = false;
    bool APSMode = false;
    int PriorityMode = 1;
    int GUIScale = 5;
    int ForceMenuMode = -1;
    bool HostsClosed = false;
    bool InTimer = false;
    bool Connecting = false;
    int ActiveDownload = -1;
    std::string LastHost = "xxx";
    std::string LastMID;
    bool IniExisted = false;
    bool NewInstallation = true;
    bool OfflineMode = false;
    std::string CurVersion;
    std::string ServerStatus;
    std::string KD3DataFolder;
    bool InstallVST64 = false;
    bool InstallVST32 = false;
    bool InstallAAX = false;
    bool InstallAIOnly = false;
    bool UseKD3 = false;
    bool InstallBetas = false;
    bool CreateOffline = false;
    bool UninstallerRan = false;
    bool OptionsAccepted = false;
    bool ReinstallNeeded = false;
    StatusTexts Status;

    // Set by Connect.
    std::string EID; // "Qm8W" and the trimmed customer key
    std::string UserName;
    std::string UserEmail;
    std::string AllProducts;
    std::array<bool, 3> LocationStatus{}; // MediaFire, Dropbox, Google Drive answered "OK"
    int64_t InstallSize = 0;              // kB of the packages not at their manifest version
    int64_t ActualInstallSize = 0;        // kB of the packages chosen for work
    RedistributableSettings Redistributable;
    std::array<TcvProduct, kMaxProductRows> Products;

    FolderSet Folders;
    ServerConfig Server;
    Log log;
    WorkerShared Shared;
    std::unique_ptr<TcvDLThread> Worker;
    std::unique_ptr<IniFile> Profile; // installer.ini, open for the whole run
    IniFile KMIni;                    // km4.ini from the server, in memory only

    // Handlers.
    void FormCreate();
    void FormShow();
    bool FormCloseQuery();
    void FormClose();
    void Timer1Timer();
    void bConnectClick();
    void bInstallClick();
    void bCancelClick();
    void bUninstallClick();
    void bOptionsClick(bool fromButton);
    void bKDOptionsClick();
    void btechSupportClick();
    void ekeyChange();
    void cbChange(QComboBox* sender);
    void bReinstallAllClick();
    void bRepairAllClick();
    void bSkipAllClick();
    void Label7Click();
    void Label8Click();
    void Label9Click();

    // The plug-in options held above, as one value.
    PluginOptions pluginOptions() const;
    void setPluginOptions(const PluginOptions& options);

    // The post-install tasks.
    void CreateMenu();
    void RemoveMenu();
    void PostInstall();

    // Hands the worker what an installation run needs (folders, format switches, offline modes, profile); the
    // installation start calls it just before it posts the batch.
    void prepareInstallationRun();

signals:
    // Connect has started (by a click or by EMBED).
    void connectStarted();
    // Start-up or a handler decided that the program ends now.
    void programEnding();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Thrown out of a handler that waited for the worker when the user asked to close the window meanwhile:
    // the request was cancelled and the handler ends without its remaining steps. Not an error of a step, so
    // no guard that swallows step errors catches it.
    struct CloseRequested {};
    class ConnectHostImpl;

    void createControls();
    void centreOnScreen();
    void applyLook();
    // Runs one request of the worker (`request(pump)`) and waits for it, keeping the window painted and
    // closable (no user input reaches a window meanwhile). Throws CloseRequested when a close was asked for
    // during the wait.
    template <typename Request> auto waitForWorker(Request&& request) {
        m_waiting = true;
        auto result = [&] {
            UserInputBlocker noInput;
            return request(m_pump);
        }();
        m_waiting = false;
        if (m_closePending) throw CloseRequested{};
        return result;
    }
    // The server's text file at `path` (the answer, or "ERROR: " and the message).
    std::string fetch(const std::string& path);
    // After a handler ended because of a close asked for while it waited: closes the window now.
    void closeAfterCancelledWait();
    void writeLog(const std::string& line);
    void endProgram();
    void startUpServerChecks();
    bool offerUpdate();
    void copySelfIntoDataFolder();
    void loadHomePicture(const std::string& file);
    void removeLeftovers();
    // The installation start's parts.
    void endHostPrograms();
    void waitKeepingPainted(int milliseconds);
    bool licenceAgreed();
    void writePluginSettingsFile();
    // The installation driver's parts.
    // `rowInProgress` names the row being refreshed, for an error that stops it.
    void refreshRows(int& rowInProgress);
    void finishRun();
    void runAaxTasks();
    // Sets the status override text and shows it at once (the timer may not tick while a task waits).
    void setStatusOverride(const std::string& text);
    // The options change's parts.
    void changeModeActions(const OptionsChange& change, TLocations& dialog);
    void copyDataFolder(const std::string& oldDataFolder, TLocations& dialog);
    void logOut();
    void applyChangedOptions();
    // Connect's parts on the window.
    void endConnect();
    void buildRow(const RowSpec& row);
    void removeProductRows();
    // The size of the work the slots hold and whether Start Installation is offered for it.
    void showChosenWork();
    void showListButtons();
    void selectInAllRows(AllRowsButton button);

    Platform& m_platform;
    std::vector<std::string> m_arguments;
    std::string m_ownPath;
    bool m_shown = false;
    bool m_programEnded = false;
    bool m_waiting = false;
    bool m_closePending = false;
    bool m_closed = false;
    std::function<void()> m_pump;
    HttpSettings m_httpSettings;
    // Cancels the requests a handler waits for besides the worker's (the manifests fetched ahead).
    std::function<void()> m_cancelOtherWaits;
    HostsWarning m_hostsWarning;
};

} // namespace k4m
