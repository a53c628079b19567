// Uninstall from the main window: "NO" changes nothing; "YES" removes the user's data folders and the
// start-menu entry, runs the program's delete mode ("DLT ALL") as a real child process, reports and closes.
#include "main_window_fixture.h"

#include <QPushButton>

namespace fs = std::filesystem;
using namespace k4m::test;
using namespace std::chrono_literals;

namespace {

class UninstallTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        data = root.path() / "data";
        installationPresent();
        writeFile(installer() / "installer.ini", "[General]\r\nInstallAIOnly=0\r\nDataFolder=" + data.string() +
                                                     "\r\nInstallVST64=1\r\nVST64=" + (vst / "kandoro4.dll").string() +
                                                     "\r\n");
        for (const char* file : {"cache/CORE.cxp4", "Offline/key.dat", "data/sounds/kick.wav", "mine/notes.txt"})
            writeFile(data / file, "x");
        writeFile(data / "Kandoro4Manager.exe", "copy");
        writeFile(vst / "kandoro4.dll", "plug-in");
        writeFile(product() / "bin/64/kandoro4.dll", "plug-in");
        writeFile(home.dataHome() / "applications/Kandoro4/Kandoro 4 Manager.desktop", "[Desktop Entry]\n");
        // The window's program file records how it was started, then runs the real manager.
        const fs::path manager = root.path() / "prog/Kandoro4Manager.exe";
        fs::create_directories(manager.parent_path());
        fs::copy_file(K4M_MANAGER_EXE, manager);
        writeFile(platform.ownPath, "#!/bin/sh\necho \"$*\" >> '" + started.string() + "'\n'" + manager.string() +
                                        "' \"$@\"\necho \"exit $?\" >> '" + started.string() + "'\n");
    }
    void TearDown() override { stopAllModalWatchers(); }

    std::shared_ptr<ModalSeen> answerWarning(const QString& button) { return clickOnNextModal(button); }
    // The one-button prompt after the question.
    static std::shared_ptr<ModalSeen> uninstalledPrompt() {
        return answerNextModalWhere([](QWidget* d) { return d->windowTitle() == "Acknowledge"; },
                                    [](QWidget* d) { clickButton(d, "OK"); }, 20000);
    }

    fs::path data;
    fs::path vst = root.path() / "vst64";
    fs::path started = root.path() / "started.txt";
};

TEST_F(UninstallTest, AnsweringNoChangesNothing) {
    auto& w = start();
    ASSERT_TRUE(w.bUninstall->isEnabled());
    const auto warning = answerWarning("NO");
    QTest::mouseClick(w.bUninstall, Qt::LeftButton);
    ASSERT_TRUE(warning->seen);
    EXPECT_EQ(warning->header, "WARNING");
    EXPECT_EQ(warning->text, "This will remove all Kandoro 4 files from your computer. You should do this only if "
                             "you are sure you DO NOT want to use Kandoro on this computer anymore.\n\nAre you sure "
                             "you want to continue?");
    EXPECT_TRUE(fs::exists(data / "cache/CORE.cxp4"));
    EXPECT_TRUE(fs::exists(data / "data/sounds/kick.wav"));
    EXPECT_TRUE(fs::exists(home.dataHome() / "applications/Kandoro4"));
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.UninstallerRan);
    EXPECT_TRUE(w.log.isOpen());
    EXPECT_TRUE(w.Profile != nullptr);
    EXPECT_FALSE(fs::exists(started));
}

TEST_F(UninstallTest, YesRemovesEverythingOfTheProductAndCloses) {
    auto& w = start();
    const auto warning = answerWarning("YES");
    const auto done = uninstalledPrompt();
    QTest::mouseClick(w.bUninstall, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return done->seen; }, 20000));
    EXPECT_EQ(done->header, "Uninstalled");
    EXPECT_EQ(done->text, "Kandoro has been uninstalled. This application will now close.");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 5000));

    // The user's own data folders and the start-menu entry; the rest of the data folder stays.
    EXPECT_FALSE(fs::exists(data / "cache"));
    EXPECT_FALSE(fs::exists(data / "Offline"));
    EXPECT_FALSE(fs::exists(data / "data"));
    EXPECT_TRUE(fs::exists(data / "mine/notes.txt"));
    EXPECT_TRUE(fs::exists(data / "Kandoro4Manager.exe"));
    EXPECT_FALSE(fs::exists(home.dataHome() / "applications/Kandoro4"));
    EXPECT_FALSE(w.log.isOpen());

    // The delete mode ran as a child: the plug-in and the whole product folder are gone.
    ASSERT_TRUE(waitUntil([&] { return fs::exists(started) && readFile(started).find("exit") != std::string::npos; },
                          30s));
    EXPECT_EQ(readFile(started), "DLT ALL\nexit 0\n");
    EXPECT_FALSE(fs::exists(vst / "kandoro4.dll"));
    EXPECT_FALSE(fs::exists(product()));
}

TEST_F(UninstallTest, OfflineTheOfflinePackageAndItsCacheStay) {
    // Offline, the data folder is the manager's own folder: the offline package.
    platform.connected = false;
    for (const char* file : {"Offline/key.dat", "cache/CORE.cxp4", "data/sounds/kick.wav"})
        writeFile(managerFolder / file, "x");
    auto& w = start();
    ASSERT_TRUE(w.OfflineMode);
    answerWarning("YES");
    const auto done = uninstalledPrompt();
    QTest::mouseClick(w.bUninstall, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 20000));
    EXPECT_TRUE(done->seen);
    EXPECT_TRUE(fs::exists(managerFolder / "Offline/key.dat"));
    EXPECT_TRUE(fs::exists(managerFolder / "cache/CORE.cxp4"));
    EXPECT_FALSE(fs::exists(managerFolder / "data"));
    EXPECT_TRUE(fs::exists(data / "cache/CORE.cxp4")); // the profile's data folder is not the one in use
}

} // namespace
