// Connect on the main window against the local HTTPS vendor: the login, the mirror check, the offline
// variants, the product rows with their action lists, and the all-rows buttons; every prompt is answered by
// the test.
#include "core/settings_keys.h"
#include "core/ui/shown_text.h"
#include "demo_content.h"
#include "dialogs/tlocations.h"
#include "main_window_fixture.h"
#include "vendor_content.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsDropShadowEffect>
#include <QVariant>
#include <fstream>
#include <httplib.h>
#include <thread>

namespace fs = std::filesystem;
using namespace k4m::test;
namespace server = k4m::server;

namespace {

constexpr const char* kKey = "KEY-4242";

class ConnectTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        content = root.path() / "vendor";
        useVendorFolder(content);
        vendorFile("kd4_main/COM3/default", "[Priority]\r\nMode=0\r\n[Locations]\r\n2=" + server.base() + "/pkg/\r\n");
        vendorFile("kd4_main/COM10/default", kCatalog);
        vendorFile("kd4_main/COM11/M-CORE", "[General]\r\nVersion=4.1.0\r\n"
                                            "[CORE]\r\nVersion=7\r\nSize=1024\r\nLocation=2|core\r\n"
                                            "[CORESOUNDS]\r\nVersion=3\r\nSize=2048\r\nLocation=2|sounds\r\n");
        vendorFile("kd4_main/COM11/M-KITS", "[General]\r\n[FUNK]\r\nVersion=2\r\nSize=512\r\nLocation=2|funk\r\n");
        vendorFile("kd4_main/COM11/M-LATIN", "[General]\r\n[LATIN]\r\nVersion=5\r\nSize=300\r\nLocation=2|latin\r\n");
        vendorFile(std::string(server::kManagerFilesDir) + "/daw.txt", "reaper\r\nbitwig\r\n");
        // CORE is current, CORESOUNDS is one version behind, FUNK is current, LATIN was never installed.
        profile("InstallAIOnly=0\r\nCID=" + std::string(kKey), "CORE=7\r\nCORESOUNDS=2\r\nFUNK=2\r\n");
        installationPresent();
    }

    static constexpr const char* kCatalog = "[KD4]\r\nName=Kandoro 4 Core\r\nStatus=OK\r\nManifest=M-CORE\r\n"
                                            "[HIDDEN]\r\nName=Hidden\r\nEnvironment=2\r\n"
                                            "[KITS]\r\nName=Funk Kits\r\nStatus=OK\r\nManifest=M-KITS\r\nNew=200\r\n"
                                            "[LATIN]\r\nName=Latin Percussion\r\nStatus=OK\r\nManifest=M-LATIN\r\n"
                                            "[SOON]\r\nName=Brush Kits\r\n";

    void vendorFile(const std::string& path, const std::string& text) { writeFile(content / path, text); }
    // Options that make an offline package in `data`; the folder it goes to.
    fs::path makingAnOfflinePackage(const std::string& packages = "") {
        const fs::path data = root.path() / "data";
        profile("InstallAIOnly=0\r\nCreateOffline=1\r\nDataFolder=" + data.string() + "\r\nCID=" + kKey, packages);
        return data / "Offline";
    }
    // The same, and the manifest of KITS cannot be saved: a folder of its name stands there.
    void makingAnOfflinePackageThatFailsAtKits() { fs::create_directories(makingAnOfflinePackage() / "M-KITS.dat"); }
    void profile(const std::string& general, const std::string& packages = "") {
        writeFile(installer() / "installer.ini", "[General]\r\n" + general + "\r\n[Packages]\r\n" + packages);
    }
    k4m::IniFile savedProfile() const {
        k4m::IniFile ini((installer() / "installer.ini").string());
        ini.load();
        return ini;
    }

    // Clicks Connect and waits until the handler is back.
    void connect(k4m::TformD& w) {
        QTest::mouseClick(w.bConnect, Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !w.Connecting; }, 20000));
    }

    static QStringList items(const k4m::TcvProduct& row) {
        QStringList list;
        for (int i = 0; row.lSelect && i < row.lSelect->count(); ++i)
            list << row.lSelect->itemText(i);
        return list;
    }
    static int colour(const k4m::TcvProduct& row) { return row.Panel->property("rowColour").toInt(); }
    static void choose(const k4m::TcvProduct& row, const QString& item) {
        row.lSelect->setCurrentIndex(row.lSelect->findText(item));
    }
    int scriptRequests(const std::string& command) const {
        const auto all = server.requests();
        return static_cast<int>(std::count_if(all.begin(), all.end(), [&](const std::string& r) {
            return r.find("kd4_main.php?COM=" + command + "&") != std::string::npos;
        }));
    }

    fs::path content;
};

TEST_F(ConnectTest, LogsInBuildsTheListAndSumsUpTheDownload) {
    auto& w = start();
    w.ekey->setText(QStringLiteral("  %1 ").arg(kKey));
    EXPECT_EQ(w.ekey->text(), kKey); // trimmed at once
    connect(w);

    EXPECT_EQ(w.lCustomer->text(), "Logged in as Ann Drummer (ann@example.com)");
    EXPECT_EQ(w.EID, std::string("Qm8W") + kKey);
    EXPECT_EQ(read(savedProfile(), k4m::profile::CID), kKey);
    EXPECT_EQ(w.HostList, (std::vector<std::string>{"reaper", "bitwig"}));
    EXPECT_TRUE(logHas("Server Map: 111"));
    EXPECT_TRUE(logHas("Server Mode: 0"));
    EXPECT_TRUE(logHas("Scanning LATIN..."));
    EXPECT_TRUE(logHas("Connection tasks completed."));
    EXPECT_FALSE(w.imgHome->isVisible());
    EXPECT_FALSE(w.Label6->isVisible());

    // Up-to-date check: CORESOUNDS (2048 kB) and LATIN (300 kB) need work.
    EXPECT_EQ(w.InstallSize, 2348);
    EXPECT_EQ(w.lStatus->text(), "New files available (2.29MB). Click [Start Install] to proceed with download and "
                                 "installation.");
    EXPECT_EQ(w.Worker->LastAction.get(), w.lStatus->text().toStdString());

    const auto& rows = w.Products;
    EXPECT_EQ(items(rows[0]), (QStringList{"UPDATE", "SKIP"}));
    EXPECT_EQ(rows[0].Status, 2);
    EXPECT_EQ(rows[1].Panel, nullptr); // Environment 2
    EXPECT_EQ(items(rows[2]), (QStringList{"UP-TO-DATE", "REPAIR", "RE-INSTALL"}));
    EXPECT_EQ(colour(rows[2]), 1);
    EXPECT_EQ(items(rows[3]), (QStringList{"INSTALL", "SKIP"}));
    EXPECT_EQ(rows[4].lSelect, nullptr);
    EXPECT_EQ(rows[4].Status, 0);
    EXPECT_EQ(rows[4].Panel->geometry(), QRect(10, 258, 290, 25));
    EXPECT_EQ(rows[2].Panel->findChild<QLabel*>("lNew")->pos(), QPoint(200, 4));

    EXPECT_FALSE(w.bConnect->isEnabled());
    EXPECT_FALSE(w.shadowConnect->isEnabled());
    for (QPushButton* b : {w.bSkipAll, w.bRepairAll, w.bReinstallAll})
        EXPECT_TRUE(b->isVisible()) << b->text().toStdString();
    EXPECT_TRUE(w.bInstall->isEnabled());
    EXPECT_TRUE(w.shadowInstall->isEnabled());
    EXPECT_EQ(w.ActualInstallSize, 2348);
    EXPECT_FALSE(w.Connecting);
    w.grab().save(QString::fromLatin1(K4M_SCREENSHOT_DIR "/product_list.png"));
}

TEST_F(ConnectTest, ActionListsWriteTheirSlotsAndTheAllRowsButtons) {
    auto& w = start();
    connect(w);
    const auto& rows = w.Products;
    auto& table = w.Worker->Downloads;
    // Slots: 0 CORE, 1 CORESOUNDS (row 0), 2 FUNK (row 2), 3 LATIN (row 3).
    ASSERT_EQ(table[2].dName, "FUNK");

    choose(rows[2], "REPAIR");
    EXPECT_EQ(colour(rows[2]), 2);
    EXPECT_EQ(table[2].iState, 0);
    EXPECT_FALSE(table[2].NoCache);
    EXPECT_EQ(w.ActualInstallSize, 2348 + 512);

    choose(rows[0], "UPDATE"); // already: nothing changes
    choose(rows[0], "SKIP");
    EXPECT_EQ(colour(rows[0]), 1);
    EXPECT_EQ(table[1].iState, 1);
    EXPECT_EQ(table[1].dState, k4m::StateSkipped);

    // Re-install All: RE-INSTALL where offered, else UPDATE, else INSTALL.
    QTest::mouseClick(w.bReinstallAll, Qt::LeftButton);
    EXPECT_EQ(rows[0].lSelect->currentText(), "UPDATE");
    EXPECT_EQ(rows[2].lSelect->currentText(), "RE-INSTALL");
    EXPECT_TRUE(table[2].NoCache);
    EXPECT_EQ(rows[3].lSelect->currentText(), "INSTALL");
    // UPDATE after another choice on the update row gives back what Connect found.
    choose(rows[0], "SKIP");
    choose(rows[0], "UPDATE");
    EXPECT_EQ(table[0].iState, 1);
    EXPECT_FALSE(table[0].NoCache);
    EXPECT_EQ(table[1].iState, 0);
    EXPECT_TRUE(table[1].NoCache);

    // Repair All: an update row has no REPAIR and takes UPDATE.
    QTest::mouseClick(w.bRepairAll, Qt::LeftButton);
    EXPECT_EQ(rows[0].lSelect->currentText(), "UPDATE");
    EXPECT_EQ(rows[2].lSelect->currentText(), "REPAIR");
    EXPECT_FALSE(table[2].NoCache);

    // Skip All: SKIP where offered, UP-TO-DATE on the up-to-date row; then there is nothing to do.
    QTest::mouseClick(w.bSkipAll, Qt::LeftButton);
    EXPECT_EQ(rows[0].lSelect->currentText(), "SKIP");
    EXPECT_EQ(rows[2].lSelect->currentText(), "UP-TO-DATE");
    EXPECT_EQ(rows[3].lSelect->currentText(), "SKIP");
    EXPECT_FALSE(w.bInstall->isEnabled());
    EXPECT_FALSE(w.shadowInstall->isEnabled());
    EXPECT_EQ(w.ActualInstallSize, 0);
}

TEST_F(ConnectTest, FourteenRowsFillTwoColumns) {
    std::string catalog;
    for (int i = 0; i < 14; ++i)
        catalog += "[P" + std::to_string(i) + "]\r\nName=Product " + std::to_string(i) + "\r\n";
    vendorFile("kd4_main/COM10/default", catalog);
    auto& w = start();
    connect(w);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(w.Products[i].Panel->pos(), QPoint(10, 168 + 30 * i)) << i;
    EXPECT_EQ(w.Products[12].Panel->pos(), QPoint(350, 198));
    EXPECT_EQ(w.Products[13].Panel->pos(), QPoint(350, 228));
    EXPECT_EQ(w.lStatus->text(), "Your installation is up-to-date.");
    EXPECT_FALSE(w.bInstall->isEnabled());
}

TEST_F(ConnectTest, ARefusedLoginShowsTheAnswerAndConnectStaysAvailable) {
    for (const char* answer : {"ok[N=x][E=y]", "This key has expired."}) {
        SCOPED_TRACE(answer);
        vendorFile("kd4_main/COM1/default", answer);
        auto& w = start();
        connect(w);
        EXPECT_EQ(w.lCustomer->text(), answer);
        EXPECT_EQ(w.lStatus->text(), "");
        EXPECT_TRUE(w.bConnect->isEnabled());
        EXPECT_EQ(scriptRequests("10"), 0);
        window.reset();
    }
}

TEST_F(ConnectTest, ALoginThatFailsInTransportShowsTheError) {
    server.on("/kd4_main.php", k4m::sim::answer::body("gone", 503));
    auto& w = start();
    connect(w);
    EXPECT_EQ(w.lCustomer->text(), "ERROR: HTTP/1.1 503 Service Unavailable");
    EXPECT_TRUE(w.bConnect->isEnabled());
}

TEST_F(ConnectTest, NoMirrorAnsweringEndsTheProgram) {
    for (const char* mirror : {"dropbox", "googledrive", "mediafire"})
        vendorFile(std::string("mirrors/") + mirror + "/server_status.txt", "Maintenance");
    auto& w = start();
    const auto prompt = clickOnNextModal("OK");
    QTest::mouseClick(w.bConnect, Qt::LeftButton);
    ASSERT_TRUE(prompt->seen);
    EXPECT_EQ(prompt->header, "ERROR");
    EXPECT_EQ(prompt->text, "The manager cannot connect to the download servers. Please disable any firewall other "
                            "than the Windows Defender firewall and try again.");
    EXPECT_TRUE(w.programEnded());
    EXPECT_TRUE(logHas("Server Map: 000"));
    EXPECT_EQ(scriptRequests("3"), 0);
}

TEST_F(ConnectTest, OneMirrorDownIsLoggedAndConnectGoesOn) {
    vendorFile("mirrors/mediafire/server_status.txt", "Down");
    vendorFile("mirrors/googledrive/server_status.txt", "Down");
    auto& w = start();
    connect(w);
    EXPECT_TRUE(logHas("Server Map: 010"));
    EXPECT_EQ(w.LocationStatus, (std::array<bool, 3>{false, true, false}));
    EXPECT_NE(w.Products[0].Panel, nullptr);
}

TEST_F(ConnectTest, AFailingCatalogLeavesNoRows) {
    fs::remove(content / "kd4_main/COM10/default");
    auto& w = start();
    connect(w);
    EXPECT_EQ(w.lStatus->text(), "Your installation is up-to-date.");
    for (const auto& row : w.Products)
        EXPECT_EQ(row.Panel, nullptr);
    EXPECT_FALSE(w.bInstall->isEnabled());
}

TEST_F(ConnectTest, AnEmptyKeyAsksForItAndChangesNothingElse) {
    auto& w = start();
    w.ekey->clear();
    const auto prompt = clickOnNextModal("OK");
    QTest::mouseClick(w.bConnect, Qt::LeftButton);
    ASSERT_TRUE(prompt->seen);
    EXPECT_EQ(prompt->header, "Customer Key");
    EXPECT_EQ(prompt->text,
              "Please copy and paste your customer key from your delivery email into the customer key box");
    EXPECT_FALSE(w.imgHome->isVisible());
    EXPECT_EQ(read(savedProfile(), k4m::profile::CID), kKey);
    EXPECT_FALSE(w.Connecting);
    EXPECT_EQ(scriptRequests("1"), 0);
}

TEST_F(ConnectTest, AnErrorWhileScanningNamesTheStep) {
    makingAnOfflinePackageThatFailsAtKits();
    auto& w = start();
    const auto prompt = clickOnNextModal("OK");
    connect(w);
    ASSERT_TRUE(prompt->seen);
    EXPECT_EQ(prompt->header, "CNC ERROR");
    EXPECT_TRUE(prompt->text.endsWith(" @ Scanning product KITS")) << prompt->text.toStdString();
    EXPECT_FALSE(w.Connecting);
    EXPECT_TRUE(w.bConnect->isEnabled());
    EXPECT_NE(w.Products[0].Panel, nullptr); // rows built before the error stay
}

TEST_F(ConnectTest, AConnectAfterAFailedOneOffersNoInstallationOfTheRowsItRemoved) {
    // The first attempt fails after building the KD4 row, whose update enables Start Installation.
    makingAnOfflinePackageThatFailsAtKits();
    auto& w = start();
    auto prompt = clickOnNextModal("OK");
    connect(w);
    ASSERT_EQ(prompt->header, "CNC ERROR");
    ASSERT_TRUE(w.bInstall->isEnabled());

    // The second one is refused at the login: its slots were reset and the rows are gone, so nothing is
    // there to install.
    vendorFile("kd4_main/COM1/default", "Unknown customer key");
    connect(w);
    EXPECT_EQ(w.lCustomer->text(), "Unknown customer key");
    EXPECT_EQ(w.Products[0].Panel, nullptr);
    EXPECT_FALSE(w.bInstall->isEnabled());
    EXPECT_FALSE(w.shadowInstall->isEnabled());
    EXPECT_EQ(w.ActualInstallSize, 0);
}

TEST_F(ConnectTest, AProductIdOfAMegabyteLeavesAShortStatusLineAfterAnError) {
    // The scan fails on the product whose id is a megabyte long; its status text stays on screen.
    const std::string id(1024 * 1024, 'x');
    vendorFile("kd4_main/COM10/default", "[" + id + "]\r\nStatus=OK\r\nManifest=M-KITS\r\n");
    makingAnOfflinePackageThatFailsAtKits();
    auto& w = start();
    const auto prompt = clickOnNextModal("OK");
    connect(w);
    ASSERT_EQ(prompt->header, "CNC ERROR");
    QTest::qWait(450); // the timer's ticks leave the status line to Connect
    EXPECT_LE(w.lStatus->text().size(), k4m::kMaxShownText);
    EXPECT_TRUE(w.lStatus->text().startsWith("Scanning product xxx"));
    EXPECT_EQ(w.Status.lastStatus, "Scanning product " + id);
}

TEST_F(ConnectTest, MakingAnOfflinePackageSavesKeyCatalogAndManifests) {
    const fs::path offline = makingAnOfflinePackage("FUNK=2\r\n");
    auto& w = start();
    connect(w);
    EXPECT_EQ(readFile(offline / "key.dat"), std::string(kKey) + "\r\n");
    EXPECT_NE(readFile(offline / "catalog.dat").find("[LATIN]"), std::string::npos);
    for (const char* mid : {"M-CORE", "M-KITS", "M-LATIN"})
        EXPECT_TRUE(fs::exists(offline / (std::string(mid) + ".dat"))) << mid;
    EXPECT_TRUE(w.lOffline->isVisible());
    EXPECT_FALSE(w.bSkipAll->isVisible());
    EXPECT_EQ(items(w.Products[2]), QStringList{"UP-TO-DATE"});
}

TEST_F(ConnectTest, OfflineModeAsksTheServerNothing) {
    platform.connected = false;
    const fs::path offline = managerFolder / "Offline";
    writeFile(offline / "key.dat", std::string(kKey) + "\r\n");
    writeFile(offline / "catalog.dat", kCatalog);
    writeFile(offline / "M-KITS.dat", readFile(content / "kd4_main/COM11/M-KITS"));
    auto& w = start();
    ASSERT_TRUE(w.OfflineMode);
    const size_t before = server.requests().size();
    connect(w);
    EXPECT_EQ(server.requests().size(), before);
    EXPECT_EQ(w.lCustomer->text(), "Offline installation mode active");
    EXPECT_TRUE(logHas("Server Mode: 1"));
    EXPECT_TRUE(w.HostList.empty());
    EXPECT_EQ(items(w.Products[2]), (QStringList{"UP-TO-DATE", "REPAIR"}));
    EXPECT_EQ(items(w.Products[0]), (QStringList{"INSTALL", "SKIP"})); // its manifest is not in the package
    // A row without packages changes no slot and stays grey, whatever is chosen.
    choose(w.Products[0], "SKIP");
    EXPECT_EQ(colour(w.Products[0]), 0);
    EXPECT_TRUE(w.bSkipAll->isVisible());
    EXPECT_FALSE(w.bReinstallAll->isVisible());
}

TEST_F(ConnectTest, ASecondConnectWhileOneRunsDoesNothing) {
    // The login answer takes a while; meanwhile Connect is asked for again.
    // The handler may still run while the fixture goes: it holds its own copies.
    server.on("/kd4_main.php", [vendor = k4m::sim::contentFolder(content.string(), server.base())](
                                   const httplib::Request& request, httplib::Response& response) {
        if (request.get_param_value("COM") == "1") std::this_thread::sleep_for(std::chrono::milliseconds(600));
        vendor(request, response);
    });
    auto& w = start();
    bool again = false;
    QTimer::singleShot(200, &w, [&] {
        again = w.Connecting;
        w.bConnectClick();
    });
    connect(w);
    EXPECT_TRUE(again);
    EXPECT_EQ(scriptRequests("1"), 1);
    EXPECT_NE(w.Products[0].Panel, nullptr);
}

TEST_F(ConnectTest, TheFirstConnectAsksForTheOptionsAndStopsWhenTheyAreCancelled) {
    profile("CID=" + std::string(kKey), "FUNK=2\r\n");
    auto& w = start();
    const auto isOptions = [](QWidget* d) { return qobject_cast<k4m::TLocations*>(d) != nullptr; };
    auto cancelled = answerNextModalWhere(
        isOptions, [](QWidget* d) { QTest::mouseClick(static_cast<k4m::TLocations*>(d)->Button3, Qt::LeftButton); });
    connect(w);
    ASSERT_TRUE(cancelled->seen);
    EXPECT_EQ(scriptRequests("1"), 0);
    EXPECT_TRUE(w.imgHome->isVisible()); // Connect went no further than the dialog
    EXPECT_TRUE(w.bConnect->isEnabled());

    // Accepted, Connect goes on with the options just chosen: no 64-bit plug-in, so CORE is not offered.
    const std::string data = (root.path() / "K4 Data").string();
    auto accepted = answerNextModalWhere(isOptions, [&](QWidget* d) {
        auto& dialog = *static_cast<k4m::TLocations*>(d);
        dialog.eData->setText(QString::fromStdString(data));
        dialog.cbxVST64->setChecked(false);
        dialog.cbxVST32->setChecked(true);
        dialog.eVST32->setText(QString::fromStdString((root.path() / "vst32").string()));
        QTest::mouseClick(dialog.Button2, Qt::LeftButton);
    });
    vendorFile("kd4_main/COM11/M-CORE", "[General]\r\nVersion=4.1.0\r\n"
                                        "[CORE]\r\nVersion=7\r\nSize=1024\r\nVST64=1\r\nLocation=2|core\r\n"
                                        "[CORESOUNDS]\r\nVersion=3\r\nSize=2048\r\nLocation=2|sounds\r\n");
    connect(w);
    ASSERT_TRUE(accepted->seen);
    EXPECT_EQ(read(savedProfile(), k4m::profile::InstallAIOnlySaved), 0);
    EXPECT_NE(w.Products[0].Panel, nullptr);
    EXPECT_EQ(w.Worker->Downloads[0].dName, "CORESOUNDS");
}

TEST_F(ConnectTest, ASlowServersManifestsComeSideBySideAndAClosePutsAnEndToThem) {
    auto& w = start();
    server.setLatency(std::chrono::milliseconds(120));
    connect(w);
    // Three manifests one after another would add 360 ms; side by side they take one round trip.
    EXPECT_EQ(items(w.Products[0]), (QStringList{"UPDATE", "SKIP"}));
    EXPECT_EQ(items(w.Products[3]), (QStringList{"INSTALL", "SKIP"}));
    EXPECT_GT(server.connectionCount(), 1u);

    // Again, and the window is closed while the manifests are on their way (each takes seconds).
    window.reset();
    // The handler may still run while the fixture goes: it holds its own copies.
    server.on("/kd4_main.php", [vendor = k4m::sim::contentFolder(content.string(), server.base())](
                                   const httplib::Request& request, httplib::Response& response) {
        if (request.get_param_value("COM") == "11") std::this_thread::sleep_for(std::chrono::seconds(4));
        vendor(request, response);
    });
    auto& again = start();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &again, [&] {
        if (again.lStatus->text().startsWith("Scanning product")) again.close();
    });
    timer.start(5);
    const auto before = std::chrono::steady_clock::now();
    QTest::mouseClick(again.bConnect, Qt::LeftButton);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));
    EXPECT_FALSE(again.isVisible());
    EXPECT_EQ(again.Products[0].Panel, nullptr);
}

TEST_F(ConnectTest, TheDemoVendorShowsEveryKindOfRow) {
    fs::remove_all(content);
    k4m::sim::makeDemoContent(content.string());
    k4m::sim::writeDemoProfile((installer() / "installer.ini").string());
    {
        k4m::IniFile ini((installer() / "installer.ini").string());
        ini.load();
        write(ini, k4m::profile::InstallAIOnly, false);
        write(ini, k4m::profile::InstallVST64, k4m::FormatInstall);
        ini.save();
    }
    auto& w = start();
    connect(w);
    const auto& rows = w.Products;
    EXPECT_EQ(items(rows[0]), (QStringList{"UPDATE", "SKIP"}));
    EXPECT_EQ(items(rows[1]), (QStringList{"UP-TO-DATE", "REPAIR", "RE-INSTALL"}));
    EXPECT_EQ(items(rows[2]), (QStringList{"INSTALL", "SKIP"}));
    EXPECT_NE(rows[2].Panel->findChild<QLabel*>("lNew"), nullptr);
    EXPECT_EQ(rows[4].Panel, nullptr);
    EXPECT_EQ(rows[9].lSelect, nullptr);
    EXPECT_EQ(rows[13].Panel->pos(), QPoint(350, 228));
    EXPECT_TRUE(w.lStatus->text().startsWith("New files available ("));
    w.grab().save(QString::fromLatin1(K4M_SCREENSHOT_DIR "/demo_product_list.png"));
}

TEST_F(ConnectTest, EmbedConnectsByItselfWithTheStoredKey) {
    auto& w = start({"EMBED"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.Products[0].Panel != nullptr && !w.Connecting; }, 20000));
    EXPECT_EQ(w.lCustomer->text(), "Logged in as Ann Drummer (ann@example.com)");
    EXPECT_EQ(scriptRequests("1"), 1);
}

} // namespace
