// Changing the installation options from the main window's button: the delete mode for switched-off formats,
// the log-out, Connect and the installation run again or the plug-ins copied once more, and the data folder
// copied to its new place.
#include "dialogs/tlocations.h"
#include "installation_fixture.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QRegularExpression>

using namespace k4m::test;
using k4m::TLocations;

namespace {

class OptionsChangeTest : public InstallationTest {
protected:
    void SetUp() override {
        InstallationTest::SetUp();
        vst64 = home.home() / ".vst";
        vst32 = home.home() / ".vst32";
        aax = home.dataHome() / "Avid/Audio/Plug-Ins";
        fs::create_directories(aax);
    }

    // Answers the next options dialog with `answer` once it is shown.
    static std::shared_ptr<ModalSeen> onOptionsDialog(std::function<void(TLocations&)> answer) {
        return answerNextModalWhere([](QWidget* w) { return qobject_cast<TLocations*>(w) != nullptr; },
                                    [answer](QWidget* w) { answer(*static_cast<TLocations*>(w)); });
    }
    static std::shared_ptr<ModalSeen> onMessageBox() {
        return answerNextModalWhere([](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; },
                                    [](QWidget* w) { clickButton(w, "OK"); });
    }
    // Opens the options from the button and answers them.
    void changeOptions(k4m::TformD& w, std::function<void(TLocations&)> answer) {
        const auto dialog = onOptionsDialog(std::move(answer));
        ASSERT_TRUE(w.bOptions->isEnabled());
        QTest::mouseClick(w.bOptions, Qt::LeftButton);
        ASSERT_TRUE(dialog->seen);
    }
    int logins() const {
        const auto all = server.requests();
        return static_cast<int>(std::count_if(all.begin(), all.end(), [](const std::string& r) {
            return r.find("kd4_main.php?COM=1&") != std::string::npos;
        }));
    }
    // The manager's own program started with these parameters, in the order they were started.
    std::vector<std::pair<std::string, int>> ownLaunches() const {
        std::vector<std::pair<std::string, int>> own;
        for (const auto& l : platform.launched)
            if (l.target == platform.ownPath) own.emplace_back(l.parameters.value_or("<none>"), l.flags);
        return own;
    }
    static void expectLoggedOut(k4m::TformD& w) {
        EXPECT_EQ(w.lCustomer->text(), "Logged out");
        for (const auto& row : w.Products) {
            EXPECT_EQ(row.Panel, nullptr);
            EXPECT_EQ(row.Status, 0);
        }
        EXPECT_TRUE(w.bConnect->isEnabled());
        EXPECT_TRUE(w.shadowConnect->isEnabled());
        EXPECT_FALSE(w.bInstall->isEnabled());
        EXPECT_FALSE(w.shadowInstall->isEnabled());
        EXPECT_FALSE(w.bCancel->isEnabled());
        EXPECT_TRUE(w.bOptions->isEnabled());
        EXPECT_FALSE(w.pbar->isVisible());
        EXPECT_FALSE(w.Connecting);
        EXPECT_EQ(w.Status.lastStatus, "");
        EXPECT_EQ(w.Worker->LastAction.get(), "");
        EXPECT_EQ(w.Worker->dldCommand.load(), k4m::CmdIdle);
    }

    fs::path vst64, vst32, aax;
};

// Formats switched off whose binaries are in their old folders go to the delete mode; with every chosen
// format in place (or offline packages being made) nothing is downloaded and the plug-ins are copied again.
TEST_F(OptionsChangeTest, SwitchedOffFormatsAreRemovedAndWithNothingToDownloadThePluginsAreCopiedAgain) {
    struct Case {
        const char* name;
        bool vst64, vst32, aax, offline;
        const char* removal; // the delete mode's parameters; empty when it must not start
    };
    const Case cases[] = {
        {"64-bit VST off", false, true, true, false, "DLT [6]"},
        {"offline packages, every format off", false, false, false, true, "DLT [6][3][A]"},
        {"nothing switched off", true, true, true, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.reset();
        platform.launched.clear();
        writeFile(vst64 / "kandoro4.dll", "64");
        writeFile(vst32 / "kandoro4.dll", "32");
        fs::create_directories(aax / "Kandoro4.aaxplugin");
        profile("InstallVST64=1\r\nInstallVST32=1\r\nInstallAAX=1\r\n");
        auto& w = open();
        connect(w);
        ASSERT_NE(w.Products[0].Panel, nullptr);
        const int loginsBefore = logins();
        const auto unexpected = answerNextModalWhere(
            [](QWidget* d) { return qobject_cast<TLocations*>(d) == nullptr; },
            [](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); });
        changeOptions(w, [&](TLocations& d) {
            EXPECT_TRUE(d.ChangeMode);
            EXPECT_TRUE(d.cbxVST64->isChecked() && d.cbxVST32->isChecked() && d.cbxAAX->isChecked());
            if (c.offline) QTest::mouseClick(d.cbxOffline, Qt::LeftButton);
            d.cbxVST64->setChecked(c.vst64);
            d.cbxVST32->setChecked(c.vst32);
            d.cbxAAX->setChecked(c.aax);
            QTest::mouseClick(d.Button2, Qt::LeftButton);
        });
        unexpected->stop = true;
        EXPECT_FALSE(unexpected->seen) << unexpected->title.toStdString() << ": " << unexpected->text.toStdString();
        EXPECT_TRUE(w.OptionsAccepted);
        EXPECT_FALSE(w.ReinstallNeeded);

        std::vector<std::pair<std::string, int>> expected;
        if (*c.removal) expected.emplace_back(c.removal, k4m::LaunchRunAs);
        expected.emplace_back("CPY ALL", k4m::LaunchRunAs | k4m::LaunchReturnExitStatus);
        EXPECT_EQ(ownLaunches(), expected);
        expectLoggedOut(w);
        EXPECT_EQ(w.lStatus->text(), "Elevated privilege plugin installation...");
        EXPECT_EQ(w.Status.overrideText, "");
        EXPECT_EQ(logins(), loginsBefore); // Connect did not run again
        // The delete mode is the elevated copy's work: the windowed manager removes nothing itself.
        EXPECT_TRUE(fs::exists(vst64 / "kandoro4.dll"));
    }
}

// Asking for the full library after the AI-only choice logs out, connects again (now offering the sounds) and
// installs at once.
TEST_F(OptionsChangeTest, UncheckingAIOnlyConnectsAndInstallsAgain) {
    vendorFile("kd4_main/COM11/M-KITS", "[General]\r\n[FUNK]\r\nName=Funk Kit Sounds\r\nVersion=2\r\nSize=40\r\n"
                                        "Location=2|funk\r\nIsSoundSet=1\r\n");
    writeFile(vst64 / "kandoro4.dll", "64");
    writeFile(installer() / "installer.ini", "[General]\r\nInstallAIOnly=1\r\nInstallVST64=1\r\nInstallVST32=0\r\n"
                                             "InstallAAX=0\r\nCID=" + std::string(kKey) + "\r\nDataFolder=" +
                                                 data.string() + "\r\n");
    auto& w = open();
    connect(w);
    EXPECT_EQ(w.ActualInstallSize, 1); // the sounds are not offered while AI-only is chosen
    const int loginsBefore = logins();

    const auto licence = agreeToLicence();
    changeOptions(w, [](TLocations& d) {
        EXPECT_TRUE(d.cbxAIOnly->isChecked());
        QTest::mouseClick(d.cbxAIOnly, Qt::LeftButton);
        QTest::mouseClick(d.Button2, Qt::LeftButton);
    });
    EXPECT_TRUE(w.ReinstallNeeded);
    EXPECT_EQ(logins(), loginsBefore + 1);
    // The installation started as if its button had been clicked.
    EXPECT_TRUE(licence->seen);
    EXPECT_EQ(w.ActualInstallSize, 41);
    ASSERT_TRUE(runEnded(w));
    EXPECT_EQ(fs::file_size(data / "data/sounds/funk/kick.wav"), 40'000u);
    EXPECT_EQ(savedProfile().readInteger("Packages", "FUNK", -1), 2);
    for (const auto& [parameters, flags] : ownLaunches())
        EXPECT_NE(parameters.substr(0, 3), "DLT") << parameters;
}

// A new data folder gets everything of the old one, which stays as it was; the shortcut then starts the copy
// in the new folder. The copy shows how far it is while it runs.
TEST_F(OptionsChangeTest, AChangedDataFolderIsCopiedWithProgressAndAnUnchangedOneIsNot) {
    writeFile(vst64 / "kandoro4.dll", "64");
    profile("InstallVST64=1\r\nInstallVST32=0\r\nInstallAAX=0\r\n");
    writeFile(data / "data/sounds/funk/kick.wav", noise(8 << 20));
    writeFile(data / "cache/CORE.cxp4", corePackage);
    writeFile(data / "Styles/user.sty", "my own style");
    auto& w = open();
    ASSERT_TRUE(fs::exists(data / "Kandoro4Manager.exe")); // the manager's copy, made at the first show

    // Unchanged: nothing is copied and the shortcut is left as it is.
    writeFile(shortcut(), "left alone");
    const auto noMessage = onMessageBox();
    changeOptions(w, [](TLocations& d) { QTest::mouseClick(d.Button2, Qt::LeftButton); });
    noMessage->stop = true;
    EXPECT_FALSE(noMessage->seen) << noMessage->text.toStdString();
    EXPECT_EQ(readFile(shortcut()), "left alone");

    // Changed: copied, while the status line and the dialog say how far; their last figures are still there
    // when the message comes.
    const fs::path moved = root.path() / "moved data";
    bool copyShown = false; // the figures in view while the dialog's buttons were off
    TLocations* shown = nullptr;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (shown && shown->lProgress->isVisible() && w.lStatus->text().startsWith("Copying the data folder:") &&
            !shown->Button2->isEnabled() && !shown->Button3->isEnabled())
            copyShown = true;
    });
    watch.start(1);
    QString statusAtMessage, progressAtMessage;
    const auto message = answerNextModalWhere([](QWidget* m) { return qobject_cast<QMessageBox*>(m) != nullptr; },
                                              [&](QWidget* m) {
                                                  statusAtMessage = w.lStatus->text();
                                                  progressAtMessage = shown->lProgress->text();
                                                  clickButton(m, "OK");
                                              });
    changeOptions(w, [&](TLocations& d) {
        shown = &d;
        d.eData->setText(QString::fromStdString(moved.string()));
        QTest::mouseClick(d.Button2, Qt::LeftButton);
    });
    watch.stop();

    ASSERT_TRUE(message->seen);
    EXPECT_EQ(message->text.toStdString(),
              "The data folder has been copied to the new location. After closing this tool, feel free to delete "
              "the old folder [" +
                  data.string() + "]");
    EXPECT_EQ(message->buttons, QStringList{"OK"});
    EXPECT_TRUE(copyShown);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Copying the data folder: (\\d+) of \\1 files, 8.0 MB of 8.0 MB$"))
                    .match(statusAtMessage)
                    .hasMatch())
        << statusAtMessage.toStdString();
    EXPECT_EQ(progressAtMessage, statusAtMessage);
    EXPECT_EQ(w.Folders.dataFolder, moved.string());
    EXPECT_EQ(fs::file_size(moved / "data/sounds/funk/kick.wav"), 8u << 20);
    EXPECT_EQ(readFile(moved / "cache/CORE.cxp4"), corePackage);
    EXPECT_EQ(readFile(moved / "Styles/user.sty"), "my own style");
    EXPECT_EQ(readFile(moved / "Kandoro4Manager.exe"), readFile(platform.ownPath));
    // The old folder is still all there.
    EXPECT_EQ(fs::file_size(data / "data/sounds/funk/kick.wav"), 8u << 20);
    EXPECT_EQ(readFile(data / "Styles/user.sty"), "my own style");
    const std::string entry = readFile(shortcut());
    EXPECT_NE(entry.find((moved / "Kandoro4Manager.exe").string()), std::string::npos) << entry;
    EXPECT_EQ(w.lCustomer->text(), "Logged out");
    EXPECT_EQ(savedProfile().readString("General", "DataFolder", ""), moved.string());
}

} // namespace
