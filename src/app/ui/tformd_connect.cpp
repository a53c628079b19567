// Connect: the key box, the handler with its error guard, and the window's side of the sequence (requests
// through the worker, status line, log, customer line, product rows).
#include "app/ui/tformd.h"

#include "catalog/connect_requests.h"
#include "catalog/connect_sequence.h"
#include "core/server_requests.h"
#include "core/settings_keys.h"
#include "core/text_util.h"
#include "core/ui/busy_cursor.h"
#include "core/ui/shown_text.h"
#include "platform/utf8_path.h"

#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStyle>

namespace k4m {

// The window's side of the Connect sequence.
class TformD::ConnectHostImpl : public ConnectHost {
public:
    explicit ConnectHostImpl(TformD& window) : w(window), m_requests(*window.Worker, window.m_httpSettings) {
        w.m_cancelOtherWaits = [this] { m_requests.cancel(); };
    }
    ~ConnectHostImpl() override { w.m_cancelOtherWaits = nullptr; }
    ConnectHostImpl(const ConnectHostImpl&) = delete;
    ConnectHostImpl& operator=(const ConnectHostImpl&) = delete;

    std::string fetchText(const std::string& url) override {
        return w.waitForWorker([&](const auto& pump) { return m_requests.fetch(url, pump); });
    }
    void expect(const std::vector<std::string>& urls) override { m_requests.expect(urls); }
    void setStatus(const std::string& text) override { w.SetStatus(QString::fromStdString(text)); }
    void log(const std::string& line) override { w.writeLog(line); }
    void showCustomer(const std::string& text) override { setShownText(w.lCustomer, QString::fromStdString(text)); }
    void mirrorsUnreachable() override {
        w.ModalPrompt(0, QStringLiteral("ERROR"),
                      QStringLiteral("The manager cannot connect to the download servers. Please disable any firewall "
                                     "other than the Windows Defender firewall and try again."),
                      QStringLiteral("OK"), QString());
        w.endProgram();
    }
    void buildRow(const RowSpec& row) override { w.buildRow(row); }
    void scanCompleted() override { w.showListButtons(); }

private:
    TformD& w;
    ConnectRequests m_requests;
};

void TformD::ekeyChange() {
    const QString text = ekey->text();
    const QString trimmed = QString::fromStdString(trim(text.toStdString()));
    if (trimmed != text) ekey->setText(trimmed);
}

void TformD::bConnectClick() {
    emit connectStarted();
    // 1. The installation options are chosen before the first Connect.
    if (read(*Profile, profile::InstallAIOnlySaved) == -1) {
        bOptionsClick(false);
        if (!OptionsAccepted) return;
    }
    // 2.
    imgHome->hide();
    Label6->hide();
    setProperty("connected", true);
    style()->unpolish(this);
    style()->polish(this);
    // 3.
    if (Connecting) return;

    try {
        // 4.
        Worker->initSlots();
        showChosenWork(); // nothing, now that the slots are reset
        Shared.finishedBytes = 0;
        Worker->http().setFollowRedirects(true);
        // 5.
        const std::string key = trim(ekey->text().toStdString());
        if (key.empty()) {
            ModalPrompt(0, QStringLiteral("Customer Key"),
                        QStringLiteral("Please copy and paste your customer key from your delivery email into the "
                                       "customer key box"),
                        QStringLiteral("OK"), QString());
            return;
        }
        // 6.-7.
        Connecting = true;
        BusyCursor(1);
        // The rows of an earlier attempt that failed go: their slots were just reset.
        removeProductRows();
        EID = server::customerEid(key);
        write(*Profile, profile::CID, key); // the profile writes through to disk

        ConnectInput input;
        input.key = key;
        input.serverBase = Server.base;
        input.mirrorDropbox = Server.mirrorDropbox;
        input.mirrorGoogleDrive = Server.mirrorGoogleDrive;
        input.mirrorMediaFire = Server.mirrorMediaFire;
        input.offlineMode = OfflineMode;
        input.options = {InstallAIOnly, UseKD3, InstallVST32, InstallVST64, InstallAAX, CreateOffline};
        input.installBetas = InstallBetas;
        input.profile = Profile.get();
        input.globalSettings = &KMIni; // empty when the start-up checks fetched none
        input.packageFolderToWrite = pathFromUtf8(Folders.dataFolder) / "Offline";
        input.packageFolderToRead = pathFromUtf8(Folders.offlineFolder());
        input.serverMode = ServerMode;
        input.decimalSeparator = QLocale::system().decimalPoint().toStdString();

        ConnectHostImpl host(*this);
        const ConnectResult result = runConnect(input, Worker->Downloads, host);
        if (result.end == ConnectResult::End::ProgramEnds) return;
        if (result.end == ConnectResult::End::Completed) {
            UserName = result.userName;
            UserEmail = result.userEmail;
            AllProducts = result.allProducts;
            LocationStatus = {result.mirrors.mediaFire, result.mirrors.dropbox, result.mirrors.googleDrive};
            ServerMode = result.serverMode;
            HostList = result.hostList;
            InstallSize = result.installSize;
            Redistributable = result.redistributable;
            Worker->LastAction.set(result.summary);
        }
    } catch (const CloseRequested&) {
        endConnect();
        closeAfterCancelledWait();
        return;
    } catch (const std::exception& e) {
        ModalPrompt(0, QStringLiteral("CNC ERROR"),
                    QString::fromStdString(std::string(e.what()) + " @ " + Status.lastStatus), QStringLiteral("OK"),
                    QString());
    }
    endConnect();
}

void TformD::endConnect() {
    if (!Connecting) return;
    Connecting = false;
    BusyCursor(0);
}

void TformD::showListButtons() {
    bConnect->setEnabled(false);
    shadowConnect->setEnabled(false);
    if (CreateOffline) {
        lOffline->show();
        return;
    }
    bSkipAll->show();
    bRepairAll->show();
    if (!OfflineMode) bReinstallAll->show();
}

} // namespace k4m
