// The main window's options handler: the notice before the first Connect, the dialog in first-run and change
// mode, and what an accepted dialog leaves in the window and the profile.
#include "core/settings_keys.h"
#include "dialogs/tlocations.h"
#include "main_window_fixture.h"

#include <QCheckBox>
#include <QComboBox>

namespace fs = std::filesystem;
using namespace k4m::test;
using k4m::TLocations;

namespace {

// Answers the next options dialog with `answer` once it is shown.
std::shared_ptr<ModalSeen> onOptionsDialog(std::function<void(TLocations&)> answer) {
    return answerNextModalWhere([](QWidget* w) { return qobject_cast<TLocations*>(w) != nullptr; },
                                [answer](QWidget* w) { answer(*static_cast<TLocations*>(w)); });
}

TEST_F(MainWindowTest, OptionsButtonPointsToConnectUntilOptionsWereSaved) {
    const auto notice = acceptNotice();
    auto& w = start();
    const auto prompt = clickOnNextModal("OK");
    QTest::mouseClick(w.bOptions, Qt::LeftButton);
    ASSERT_TRUE(prompt->seen);
    EXPECT_EQ(prompt->title, "Acknowledge");
    EXPECT_EQ(prompt->header, "SPECIFY OPTIONS");
    EXPECT_EQ(prompt->text, "Please click [Connect] to select the installation options");
    EXPECT_EQ(prompt->buttons.value(0), "OK");
    EXPECT_FALSE(w.OptionsAccepted);
    EXPECT_FALSE(w.Profile->valueExists("General", "DataFolder"));
}

TEST_F(MainWindowTest, OptionsFirstRunThenChangeModeFromTheButton) {
    const auto notice = acceptNotice();
    auto& w = start();
    const std::string data = (home.home() / "K4 Data").string();

    // Connect's opening: first-run mode; the choices reach the window, the profile and the plug-in settings.
    bool firstRunMode = true;
    auto firstRun = onOptionsDialog([&](TLocations& d) {
        firstRunMode = !d.ChangeMode;
        d.eData->setText(QString::fromStdString(data));
        d.cbxSize->setCurrentIndex(3);
        QTest::mouseClick(d.Button2, Qt::LeftButton);
    });
    w.bOptionsClick(false);
    ASSERT_TRUE(firstRun->seen);
    EXPECT_TRUE(firstRunMode);
    EXPECT_TRUE(w.OptionsAccepted);
    EXPECT_EQ(w.Folders.dataFolder, data);
    EXPECT_TRUE(w.InstallVST64);
    EXPECT_EQ(w.GUIScale, 3);
    EXPECT_EQ(w.Profile->readString("General", "DataFolder", ""), data);
    EXPECT_EQ(w.Profile->readInteger("General", "InstallAIOnly", -1), 0);
    k4m::IniFile settings(product() / "kandoro4.ini");
    ASSERT_TRUE(settings.load());
    EXPECT_EQ(settings.readString("General", "SoundFolder", ""), data + "/data");
    // A first-run dialog never sets off the actions of a change: no delete mode, no copy, no new Connect.
    EXPECT_TRUE(platform.launched.empty());
    EXPECT_FALSE(w.ReinstallNeeded);
    EXPECT_NE(w.lCustomer->text(), "Logged out");

    // From the button now: change mode, opening with the saved choices; offline package creation hides the
    // all-rows buttons and reaches the worker.
    for (QPushButton* b : {w.bSkipAll, w.bReinstallAll, w.bRepairAll})
        b->show();
    bool changeMode = false;
    QString shownData;
    auto change = onOptionsDialog([&](TLocations& d) {
        changeMode = d.ChangeMode;
        shownData = d.eData->text();
        // A picture of the dialog as a user with a saved profile sees it, for a person to look at.
        d.grab().save(QString::fromLatin1(K4M_SCREENSHOT_DIR "/options_dialog.png"));
        QTest::mouseClick(d.cbxOffline, Qt::LeftButton);
        d.grab().save(QString::fromLatin1(K4M_SCREENSHOT_DIR "/options_dialog_offline.png"));
        QTest::mouseClick(d.Button2, Qt::LeftButton);
    });
    QTest::mouseClick(w.bOptions, Qt::LeftButton);
    ASSERT_TRUE(change->seen);
    EXPECT_TRUE(changeMode);
    EXPECT_EQ(shownData.toStdString(), data);
    EXPECT_TRUE(w.OptionsAccepted);
    EXPECT_TRUE(w.CreateOffline);
    EXPECT_TRUE(w.Shared.createOffline);
    EXPECT_FALSE(w.bSkipAll->isVisible());
    EXPECT_FALSE(w.bReinstallAll->isVisible());
    EXPECT_FALSE(w.bRepairAll->isVisible());
    // Offline packages need no download here: logged out, and the plug-ins copied once more.
    EXPECT_EQ(w.lCustomer->text(), "Logged out");
    ASSERT_EQ(platform.launched.size(), 1u);
    EXPECT_EQ(platform.launched[0].parameters, "CPY ALL");
    platform.launched.clear();

    // A cancelled opening is not accepted.
    auto cancelled = onOptionsDialog([](TLocations& d) { QTest::mouseClick(d.Button3, Qt::LeftButton); });
    QTest::mouseClick(w.bOptions, Qt::LeftButton);
    ASSERT_TRUE(cancelled->seen);
    EXPECT_FALSE(w.OptionsAccepted);
    EXPECT_TRUE(w.CreateOffline);
    EXPECT_TRUE(platform.launched.empty());
}

TEST_F(MainWindowTest, CancelledFirstRunOptionsAreNotAccepted) {
    const auto notice = acceptNotice();
    auto& w = start();
    auto cancelled = onOptionsDialog([](TLocations& d) { QTest::mouseClick(d.Button3, Qt::LeftButton); });
    w.bOptionsClick(false);
    ASSERT_TRUE(cancelled->seen);
    EXPECT_FALSE(w.OptionsAccepted);
    EXPECT_FALSE(w.Profile->valueExists("General", "InstallAIOnly"));
}

} // namespace
