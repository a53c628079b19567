// The main window's start-up, first show, self-update and closing, on real widgets against the local
// HTTPS server, with every prompt answered by the test.
#include "core/settings_keys.h"
#include "main_window_fixture.h"
#include "zip_builder.h"

#include <QGraphicsDropShadowEffect>
#include <QImage>
#include <QLocale>
#include <QProgressBar>

namespace fs = std::filesystem;
using namespace k4m::test;
namespace server = k4m::server;

namespace {

TEST_F(MainWindowTest, ControlsAsDesigned) {
    const auto notice = acceptNotice();
    auto& w = start();
    EXPECT_EQ(w.windowTitle(), "Kandoro Manager");
    EXPECT_EQ(w.size(), QSize(800, 600));
    struct Control {
        QWidget* widget;
        const char* name;
        QRect geometry;
        const char* text;
        const char* hint;
    };
    const Control controls[] = {
        {w.bConnect, "bConnect", {8, 42, 80, 22}, "Connect", "Log into the Corvane server"},
        {w.bInstall, "bInstall", {96, 42, 121, 22}, "Start Installation", "Starts the installation process"},
        {w.bCancel, "bCancel", {224, 42, 80, 22}, "Cancel", "Cancel running installation process"},
        {w.bUninstall, "bUninstall", {312, 42, 80, 22}, "Uninstall", "Uninstall Kandoro from your computer"},
        {w.bOptions, "bOptions", {400, 42, 105, 22}, "Install Options", "Installation settings for your computer"},
        {w.btechSupport,
         "btechSupport",
         {552, 42, 120, 22},
         "Email Tech Support",
         "Click to send an email requesting technical support."},
        {w.bKDOptions,
         "bKDOptions",
         {680, 42, 113, 22},
         "Troubleshooting",
         "Various options for troubleshooting problems running Kandoro"},
    };
    for (const Control& c : controls) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(w.findChild<QPushButton*>(c.name), c.widget);
        EXPECT_EQ(c.widget->geometry(), c.geometry);
        EXPECT_EQ(static_cast<QPushButton*>(c.widget)->text(), c.text);
        EXPECT_EQ(c.widget->toolTip(), c.hint);
    }
    EXPECT_FALSE(w.bInstall->isEnabled());
    EXPECT_FALSE(w.bCancel->isEnabled());
    EXPECT_FALSE(w.shadowInstall->isEnabled());
    EXPECT_TRUE(w.shadowConnect->isEnabled());
    EXPECT_EQ(w.ekey->geometry(), QRect(96, 69, 409, 24));
    EXPECT_EQ(w.lStatus->geometry(), QRect(8, 112, 785, 29));
    EXPECT_EQ(w.lStatus->text(), "");
    EXPECT_EQ(w.lCustomer->text(), "");
    EXPECT_FALSE(w.lOffline->isVisible());
    EXPECT_FALSE(w.pbar->isVisible());
    EXPECT_FALSE(w.bSkipAll->isVisible());
    EXPECT_EQ(w.Timer1->interval(), 200);
    EXPECT_EQ(w.imgHome->pixmap().size(), QSize(1600, 844));
    EXPECT_EQ(w.Label3->text(), "Version 1.2.6 Corvane [https://site.example]");
    // A screenshot of the started window, for a person to look at.
    w.grab().save(QString::fromLatin1(K4M_SCREENSHOT_DIR "/main_window.png"));
}

TEST_F(MainWindowTest, FirstStartCreatesTheProfileAndShowsTheInstallNotice) {
    const auto notice = acceptNotice();
    auto& w = start();
    ASSERT_TRUE(notice->seen);
    EXPECT_EQ(notice->title, "Acknowledge");
    EXPECT_EQ(notice->header, "INFORMATION");
    EXPECT_EQ(notice->text, "Welcome to Kandoro 4");
    EXPECT_TRUE(w.NewInstallation);
    EXPECT_FALSE(w.bUninstall->isEnabled());
    const auto lines = w.log.lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "[CORVANE-K4M 1.2.6] [20190929-1]");
    EXPECT_EQ(lines[1], "Install Mode: Online");
    EXPECT_EQ(lines[2], "Manager location: " + platform.ownPath);
    EXPECT_TRUE(logHas("Creating profile"));
    EXPECT_TRUE(logHas("State: New Installation"));
    EXPECT_TRUE(logHas("Initialization complete"));
    EXPECT_TRUE(logHas("GUI Init Completed"));
    EXPECT_FALSE(requested(server::kMessagesPath));
    // The log file holds the same lines, and the profile was written.
    EXPECT_EQ(readFile(installer() / "log.txt").substr(0, 34), "[CORVANE-K4M 1.2.6] [20190929-1]\r\n");
    k4m::IniFile profile(installer() / "installer.ini");
    ASSERT_TRUE(profile.load());
    EXPECT_EQ(profile.readString("General", "Version", ""), "1.2.6");
    EXPECT_TRUE(fs::exists(product()));
    EXPECT_EQ(w.Label6->text(),
              "Copy && paste your customer key from your delivery email into the box above and click [Connect]...");
}

TEST_F(MainWindowTest, InstallationPresentLoadsProfileAndFetchesMessages) {
    installationPresent();
    writeFile(installer() / "installer.ini",
              "[General]\r\nCID=ABCD-1234\r\nCreateOffline=1\r\nPlugin64Folder=" + (root.path() / "vst64/").string() +
                  "\r\nInstallVST64=2\r\nInstallVST32=1\r\n");
    auto& w = start();
    EXPECT_FALSE(w.NewInstallation);
    EXPECT_TRUE(w.bUninstall->isEnabled());
    EXPECT_TRUE(logHas("Loading profile"));
    EXPECT_TRUE(logHas("State: Installation Present"));
    EXPECT_TRUE(requested(server::kMessagesPath));
    EXPECT_FALSE(requested(server::kInstallInfoPath));
    EXPECT_EQ(w.ekey->text(), "ABCD-1234");
    EXPECT_TRUE(w.lOffline->isVisible());
    EXPECT_EQ(w.Folders.vst64Folder, (root.path() / "vst64").string());
    EXPECT_FALSE(w.InstallVST64);
    EXPECT_TRUE(w.InstallVST32);
    EXPECT_EQ(w.GUIScale, 7);
}

TEST_F(MainWindowTest, ServerStatusOtherThanOkEndsStartUp) {
    serve(server::kStatusPath, "Down for maintenance until 18:00");
    const auto prompt = clickOnNextModal("OK");
    auto& w = start();
    ASSERT_TRUE(prompt->seen);
    EXPECT_EQ(prompt->header, "SERVER STATUS");
    EXPECT_EQ(prompt->text, "Down for maintenance until 18:00");
    EXPECT_TRUE(w.programEnded());
    EXPECT_FALSE(w.bConnect->isEnabled());
    EXPECT_TRUE(logHas("Status sync: Down for maintenance until 18:00"));
    EXPECT_FALSE(logHas("Manager version check"));
    EXPECT_FALSE(requested(server::kPromotionPath));
}

class UpdateTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        serve(server::kVersionPath, "1.2.10");
        // The new program notes that it was started, and how.
        updateProgram = "#!/bin/sh\necho \"$0\" > \"" + (root.path() / "started.txt").string() + "\"\n";
        makeZip(root.path() / "update.zip", {{"Kandoro4Manager.exe", updateProgram}});
        server.on(server::kManagerArchivePath, k4m::sim::answer::file((root.path() / "update.zip").string()));
    }
    bool started() const {
        return fs::exists(root.path() / "started.txt") && fs::file_size(root.path() / "started.txt") > 0;
    }
    std::string updateProgram;
};

TEST_F(UpdateTest, AcceptedUpdateIsFetchedRenamedStartedAndTheProgramEnds) {
    const auto offer = clickOnNextModal("Yes, auto-update now");
    auto& w = start();
    ASSERT_TRUE(offer->seen);
    EXPECT_EQ(offer->title, "Confirmation");
    EXPECT_EQ(offer->header, "Update");
    EXPECT_EQ(offer->text, "A new version of the manager is available (1.2.10)");
    EXPECT_TRUE(offer->buttons.contains("No, close the manager instead"));
    EXPECT_TRUE(w.programEnded());
    const fs::path copy = managerFolder / "Update" / "km4u_1210.exe";
    EXPECT_EQ(readFile(copy), updateProgram);
    EXPECT_EQ(fs::status(copy).permissions(), fs::perms(0755));
    ASSERT_TRUE(waitUntil([&] { return started(); }));
    EXPECT_EQ(readFile(root.path() / "started.txt"), copy.string() + "\n");
    EXPECT_EQ(w.Status.overrideText, "Downloading update...");
    EXPECT_FALSE(requested(server::kPromotionPath));
}

TEST_F(UpdateTest, DeclinedUpdateEndsTheProgram) {
    const auto offer = clickOnNextModal("No, close the manager instead");
    auto& w = start();
    ASSERT_TRUE(offer->seen);
    EXPECT_TRUE(w.programEnded());
    EXPECT_FALSE(fs::exists(managerFolder / "Update"));
    EXPECT_FALSE(requested(server::kManagerArchivePath));
}

TEST_F(UpdateTest, AFailedUpdateDownloadIsReportedAndEndsTheProgram) {
    server.on(server::kManagerArchivePath, k4m::sim::answer::body("gone", 404));
    std::shared_ptr<ModalSeen> error;
    const auto offer = answerNextModal([&](QWidget* d) {
        clickButton(d, "Yes, auto-update now");
        error = clickOnNextModal("OK");
    });
    auto& w = start();
    ASSERT_TRUE(error && error->seen);
    EXPECT_EQ(error->title, "Acknowledge");
    EXPECT_EQ(error->header, "Error");
    EXPECT_EQ(error->text, "The manager could not auto-update. Make sure to run the manager from a folder that you "
                           "have write access to.");
    EXPECT_TRUE(w.programEnded());
    EXPECT_FALSE(started());
}

TEST_F(MainWindowTest, StartFromAZipArchiveIsRefusedBeforeAnyLog) {
    useProgramPath(root.path() / "Temp1_manager.zip" / "Kandoro4Manager.exe");
    const auto prompt = clickOnNextModal("OK");
    auto& w = start();
    ASSERT_TRUE(prompt->seen);
    EXPECT_EQ(prompt->header, "Error");
    EXPECT_EQ(prompt->text, "The manager cannot be run from a ZIP archive. Please extract to a folder of your choice "
                            "and then run the manager from there.");
    EXPECT_TRUE(w.startupAborted());
    EXPECT_FALSE(fs::exists(installer() / "log.txt"));
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(MainWindowTest, NoConnectionWithoutOfflineFolderEnds) {
    platform.connected = false;
    const auto prompt = clickOnNextModal("OK");
    auto& w = start();
    ASSERT_TRUE(prompt->seen);
    EXPECT_EQ(prompt->header, "ERROR");
    EXPECT_EQ(prompt->text, "No Internet connection detected!");
    EXPECT_TRUE(w.startupAborted());
}

TEST_F(MainWindowTest, OfflineModeTakesTheKeyFromTheOfflinePackageAndAsksTheServerNothing) {
    platform.connected = false;
    writeFile(managerFolder / "Offline" / "key.dat", "  OFFLINE-KEY-1\r\n");
    writeFile(installer() / "installer.ini", "[General]\r\nCID=STORED-KEY\r\nCreateOffline=1\r\n");
    auto& w = start();
    EXPECT_FALSE(w.startupAborted());
    EXPECT_TRUE(w.OfflineMode);
    EXPECT_EQ(w.ekey->text(), "OFFLINE-KEY-1");
    EXPECT_FALSE(w.ekey->isEnabled());
    EXPECT_EQ(w.log.lines().at(1), "Install Mode: Offline");
    EXPECT_EQ(w.Folders.dataFolder, managerFolder.string());
    EXPECT_FALSE(w.CreateOffline);
    EXPECT_FALSE(logHas("Status sync: OK"));
    for (const char* path : {server::kPromotionPath, server::kGlobalSettingsPath, server::kHomeScreenPath,
                             server::kInstallInfoPath, server::kMessagesPath, server::kManagerArchivePath})
        EXPECT_FALSE(requested(path)) << path;
    QTest::qWait(250);
    EXPECT_EQ(w.bConnect->text(), "Load Install");
    EXPECT_EQ(w.Label6->text(), "Click LOAD INSTALL to begin...");
}

struct ProbeCase {
    const char* name;
    int status;
    const char* expectedText;
};

class ProbeFailure : public MainWindowTest, public testing::WithParamInterface<ProbeCase> {};

TEST_P(ProbeFailure, WithoutOfflineFolderTheProbesErrorIsShownAndTheProgramEnds) {
    server.on("/probe", k4m::sim::answer::body("", GetParam().status));
    const auto prompt = clickOnNextModal("OK");
    auto& w = start();
    ASSERT_TRUE(prompt->seen);
    EXPECT_EQ(prompt->title, "Acknowledge");
    EXPECT_EQ(prompt->header, "ERROR");
    EXPECT_EQ(prompt->text, GetParam().expectedText);
    EXPECT_TRUE(w.startupAborted());
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, ProbeFailure,
    testing::Values(
        ProbeCase{"ServerError", 503,
                  "HTTP/1.1 503 Service Unavailable. This tool requires you to be connected to the Internet "
                  "unless you have prepared an offline installation package."},
        ProbeCase{"NoErrorMessage", 204,
                  ". This tool requires you to be connected to the Internet unless you have prepared an "
                  "offline installation package."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, ProbeFailureWithOfflineFolderSwitchesToOfflineMode) {
    server.on("/probe", k4m::sim::answer::body("", 503));
    fs::create_directories(managerFolder / "Offline");
    auto& w = start();
    EXPECT_TRUE(w.OfflineMode);
    EXPECT_EQ(w.log.lines().at(1), "Install Mode: Offline");
}

TEST_F(MainWindowTest, LastHostComesFromThePluginsLog) {
    installationPresent();
    writeFile(product() / "Logs" / "Kandoro Plugin Log.txt",
              "Plugin start\r\nHost Path: ::C:\\Program Files\\Host\\Host64.exe\r\nHost Path: ::Other.exe\r\n");
    EXPECT_EQ(start().LastHost, "Host64.exe");
}

struct PromotionCase {
    const char* name;
    std::function<void(k4m::sim::HttpsServer&)> setup;
    bool shown;
};

class Promotion : public MainWindowTest, public testing::WithParamInterface<PromotionCase> {};

TEST_P(Promotion, ShownUnlessNoneOrAnError) {
    installationPresent();
    GetParam().setup(server);
    auto& w = start();
    EXPECT_EQ(w.Label9->isVisible(), GetParam().shown);
    if (GetParam().shown) {
        EXPECT_EQ(w.Label9->text(), "Summer sale!");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, Promotion,
    testing::Values(
        PromotionCase{"None", [](auto&) {}, false},
        PromotionCase{"Text", [](auto& s) { s.on(server::kPromotionPath, k4m::sim::answer::body("Summer sale!\r\n")); },
                      true},
        PromotionCase{"Error", [](auto& s) { s.on(server::kPromotionPath, k4m::sim::answer::body("", 500)); }, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, HomeScreenIsDownloadedOnlyWhenTheServersNumberIsLarger) {
    installationPresent();
    QImage picture(160, 84, QImage::Format_RGB32);
    picture.fill(QColor(10, 200, 30));
    picture.save(QString::fromStdString((root.path() / "km4.jpg").string()), "JPG");
    server.on(server::kHomeScreenPath, k4m::sim::answer::file((root.path() / "km4.jpg").string()));
    serve(server::kGlobalSettingsPath, "[General]\r\nHomeScreen=3\r\n");
    writeFile(installer() / "installer.ini", "[General]\r\nHomeScreen=2\r\n");
    auto& w = start();
    EXPECT_TRUE(logHas("Updating home screen"));
    EXPECT_TRUE(fs::exists(installer() / "homescreen.jpg"));
    EXPECT_EQ(w.imgHome->pixmap().size(), QSize(160, 84));
    k4m::IniFile profile(installer() / "installer.ini");
    profile.load();
    EXPECT_EQ(profile.readInteger("General", "HomeScreen", 0), 3);

    // The next start has the picture already: nothing is fetched, the stored picture is shown.
    window.reset();
    const size_t before = server.requests().size();
    auto& again = start();
    EXPECT_FALSE(logHas("Updating home screen"));
    EXPECT_EQ(again.imgHome->pixmap().size(), QSize(160, 84));
    const auto all = server.requests();
    EXPECT_EQ(std::count(all.begin() + static_cast<long>(before), all.end(), std::string(server::kHomeScreenPath)), 0);
}

TEST_F(MainWindowTest, SelfCopyGoesToTheDataFolderUnlessRunningFromThere) {
    installationPresent();
    const fs::path data = root.path() / "Data";
    fs::create_directories(data);
    writeFile(installer() / "installer.ini", "[General]\r\nDataFolder=" + data.string() + "/\r\n");
    start();
    EXPECT_EQ(readFile(data / "Kandoro4Manager.exe"), readFile(platform.ownPath));
    EXPECT_EQ(fs::status(data / "Kandoro4Manager.exe").permissions(), fs::perms(0755));

    // Started from that copy, there is nothing to copy: the file stays as it is.
    window.reset();
    useProgramPath(data / "Kandoro4Manager.exe");
    const auto stamp = fs::file_time_type::clock::now() - std::chrono::hours(24);
    fs::last_write_time(data / "Kandoro4Manager.exe", stamp);
    fs::copy_file(managerFolder / "server.ini", data / "server.ini"); // the copy finds the same server
    start();
    EXPECT_EQ(fs::last_write_time(data / "Kandoro4Manager.exe"), stamp);
}

TEST_F(MainWindowTest, LinkLabelsOpenTheWebSitesPages) {
    installationPresent();
    serve(server::kPromotionPath, "Buy the Latin kit");
    auto& w = start();
    QTest::mouseClick(w.Label7, Qt::LeftButton);
    QTest::mouseClick(w.Label8, Qt::LeftButton);
    QTest::mouseClick(w.Label9, Qt::LeftButton);
    EXPECT_EQ(platform.opened,
              (std::vector<std::string>{"https://site.example/kandoro4_quickstart.html",
                                        "https://site.example/kandoro4_feed.html", "https://site.example/buy.html"}));
}

TEST_F(MainWindowTest, TimerMasksLongKeysAndBlinksTheHint) {
    installationPresent();
    auto& w = start();
    w.ekey->setText("SHORT");
    QTest::qWait(250);
    EXPECT_EQ(w.ekey->echoMode(), QLineEdit::Normal);
    w.ekey->setText("A-LONGER-KEY-1234");
    QTest::qWait(250);
    EXPECT_EQ(w.ekey->echoMode(), QLineEdit::Password);
    EXPECT_EQ(w.Label6->text(), "Click CONNECT to begin...");
    const QString first = w.Label6->styleSheet();
    // The hint changes colour with the next tick of the 200 ms timer; a loaded machine may deliver it late.
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.Label6->styleSheet() != first; }, 2000));
}

TEST_F(MainWindowTest, StatusSetterRemembersTheLastStatus) {
    installationPresent();
    auto& w = start();
    w.SetStatus(QStringLiteral("Retrieving product catalog..."));
    EXPECT_EQ(w.lStatus->text(), "Retrieving product catalog...");
    EXPECT_EQ(w.Status.lastStatus, "Retrieving product catalog...");
}

TEST_F(MainWindowTest, ClosingDuringAnInstallationAsks) {
    installationPresent();
    auto& w = start();
    // A batch that runs until the test lets it end (also when an assertion ends the test early).
    auto release = std::make_shared<std::atomic<bool>>(false);
    struct Release {
        std::shared_ptr<std::atomic<bool>> flag;
        ~Release() { *flag = true; }
    } releaseAtEnd{release};
    w.Worker->setBatchRunner([release](k4m::TcvDLThread&) {
        while (!*release)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    w.Worker->post(k4m::CmdInstallBatch);

    const auto no = clickOnNextModal("NO");
    EXPECT_FALSE(w.close());
    ASSERT_TRUE(no->seen);
    EXPECT_EQ(no->header, "Cancel Installation");
    EXPECT_EQ(no->text, "Installations are still in progress. Are you sure you want to exit?");
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.Worker->dldCancel);

    const auto yes = clickOnNextModal("YES");
    EXPECT_TRUE(w.close());
    ASSERT_TRUE(yes->seen);
    EXPECT_TRUE(w.Worker->dldCancel);
    // The log is closed and the profile is on disk.
    EXPECT_FALSE(w.log.isOpen());
    EXPECT_TRUE(fs::exists(installer() / "installer.ini"));
}

TEST_F(MainWindowTest, TheWorkerRunsTheInstallationBatchWithTheUsersDecimalSeparator) {
    installationPresent();
    auto& w = start();
    EXPECT_EQ(w.Shared.decimalSeparator, QLocale::system().decimalPoint().toStdString());
    // Connect has not filled a slot: the batch ends at once, having emptied the errors of an earlier run.
    w.Worker->Errors.set("\r\nfrom an earlier run");
    w.Worker->post(k4m::CmdInstallBatch);
    w.Worker->dldCommand.waitFor([](int code) { return code == k4m::CmdBatchFinished; });
    EXPECT_EQ(w.Worker->Errors.get(), "");
}

} // namespace
