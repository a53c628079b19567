#pragma once

// A main window against the local HTTPS vendor with two products, their real packages and a profile that
// names the customer key and the data folder: everything an installation run needs.
#include "core/settings_keys.h"
#include "dialogs/tlicenseform.h"
#include "main_window_fixture.h"
#include "package_writer.h"
#include "vendor_content.h"

#include <QGraphicsDropShadowEffect>
#include <QProgressBar>
#include <iostream>
#include <unistd.h>

namespace k4m::test {

namespace fs = std::filesystem;
namespace pack = k4m::pack;

constexpr const char* kKey = "KEY-4242";
// A host-list entry no other program on this computer carries in its name, not even a test running beside
// this one (every installation ends the hosts it matches).
const std::string kHost = "k4mhost" + std::to_string(::getpid()) + "daw";

class InstallationTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        content = root.path() / "vendor";
        data = root.path() / "data";
        useVendorFolder(content);
        vendorFile("kd4_main/COM3/default", "[Priority]\r\nMode=0\r\n[Locations]\r\n2=" + server.base() + "/pkg/\r\n");
        vendorFile("kd4_main/COM10/default", "[KD4]\r\nName=Kandoro 4 Core\r\nStatus=OK\r\nManifest=M-CORE\r\n"
                                             "[KITS]\r\nName=Funk Kits\r\nStatus=OK\r\nManifest=M-KITS\r\n");
        vendorFile("kd4_main/COM11/M-CORE", "[General]\r\nVersion=4.1.0\r\n"
                                            "[CORE]\r\nName=Core Styles\r\nVersion=7\r\nSize=1\r\nLocation=2|core\r\n");
        vendorFile("kd4_main/COM11/M-KITS",
                   "[General]\r\n[FUNK]\r\nName=Funk Kit Sounds\r\nVersion=2\r\nSize=40\r\nLocation=2|funk\r\n");
        vendorFile(std::string(server::kManagerFilesDir) + "/daw.txt", kHost + "\r\n");
        // Stored without compression: the server refuses nothing, but a download under 800 bytes counts as
        // invalid, and the sound package should be large enough to watch it arrive.
        corePackage = pack::rawPackage({pack::entry("styles\\Funk.sty", "funk style"),
                                        pack::entry("Players\\Drummer.dat", noise(2'000), 0)});
        vendorFile("pkg/core.cxp4", corePackage);
        funkPackage = pack::rawPackage({pack::entry("data\\sounds\\funk\\kick.wav", noise(40'000), 0)});
        vendorFile("pkg/funk.cxp4", funkPackage);
        profile("");
    }

    void TearDown() override {
        // The manager's log tells why a run went wrong.
        if (HasFailure() && window)
            for (const std::string& line : window->log.lines())
                std::cerr << "log: " << line << "\n";
        stopAllModalWatchers();
        MainWindowTest::TearDown();
    }

    static std::string noise(size_t size) {
        std::string bytes = "RIFF";
        for (size_t i = 0; bytes.size() < size; ++i)
            bytes += static_cast<char>((i * 7919 + (i >> 3) * 104729) & 0xFF);
        return bytes;
    }
    void vendorFile(const std::string& path, const std::string& bytes) { writeFile(content / path, bytes); }
    void profile(const std::string& more) {
        writeFile(installer() / "installer.ini", "[General]\r\nInstallAIOnly=0\r\nCID=" + std::string(kKey) +
                                                     "\r\nDataFolder=" + data.string() + "\r\n" + more);
    }
    k4m::IniFile savedProfile() const {
        k4m::IniFile ini((installer() / "installer.ini").string());
        ini.load();
        return ini;
    }
    fs::path shortcut() const { return home.dataHome() / "applications/Kandoro4/Kandoro 4 Manager.desktop"; }

    // Starts the window; a new installation's notice is acknowledged.
    k4m::TformD& open() {
        if (!fs::exists(product() / "kandoro4.ini")) acceptNotice();
        return start();
    }
    void connect(k4m::TformD& w) {
        ASSERT_TRUE(w.bConnect->isEnabled());
        QTest::mouseClick(w.bConnect, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w.Connecting; }, 20000));
    }
    static std::shared_ptr<ModalSeen> agreeToLicence() {
        return answerNextModalWhere([](QWidget* d) { return qobject_cast<k4m::TLicenseForm*>(d) != nullptr; },
                                    [](QWidget* d) { clickButton(d, "I Agree"); });
    }
    // Watches for any dialog the test does not expect; answered with Escape so the run goes on.
    static std::shared_ptr<ModalSeen> unexpectedDialog() {
        return answerNextModal([](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); }, 60000);
    }
    bool runEnded(k4m::TformD& w, int timeoutMs = 30000) {
        return QTest::qWaitFor([&] { return w.lCustomer->text() == "Logged out"; }, timeoutMs);
    }
    static QString label(const k4m::TcvProduct& row) { return row.lInfo->text(); }
    static int colour(const k4m::TcvProduct& row) { return row.Panel->property("rowColour").toInt(); }
    void screenshot(k4m::TformD& w, const char* name) {
        w.grab().save(QStringLiteral("%1/%2.png").arg(K4M_SCREENSHOT_DIR, QString::fromLatin1(name)));
    }
    // The buttons as the end of a run leaves them.
    static void expectButtonsReset(k4m::TformD& w) {
        EXPECT_TRUE(w.bConnect->isEnabled());
        EXPECT_TRUE(w.shadowConnect->isEnabled());
        EXPECT_FALSE(w.bCancel->isEnabled());
        EXPECT_TRUE(w.bUninstall->isEnabled());
        EXPECT_FALSE(w.bInstall->isEnabled());
        EXPECT_FALSE(w.shadowInstall->isEnabled());
        EXPECT_TRUE(w.bOptions->isEnabled());
        EXPECT_FALSE(w.pbar->isVisible());
        EXPECT_FALSE(w.bSkipAll->isVisible());
        EXPECT_FALSE(w.bReinstallAll->isVisible());
    }
    std::vector<std::string> logLines() const { return window->log.lines(); }
    // Index of a log line; -1 when absent.
    long logIndex(const std::string& line) const {
        const auto lines = logLines();
        const auto it = std::find(lines.begin(), lines.end(), line);
        return it == lines.end() ? -1 : it - lines.begin();
    }

    fs::path content, data;
    std::string corePackage, funkPackage;
};

} // namespace k4m::test
