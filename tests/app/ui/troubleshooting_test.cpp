// The troubleshooting options on the main window: the dialog shows the window's values, OK writes them into
// the plug-in's settings file (never creating it) and keeps them, Cancel changes nothing.
#include "dialogs/tkdoptions.h"
#include "main_window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>

namespace fs = std::filesystem;
using namespace k4m::test;
using k4m::TKDOptions;

namespace {

class TroubleshootingTest : public MainWindowTest {
protected:
    // Opens the dialog from its button and hands it to `answer` once shown.
    void openDialog(k4m::TformD& w, std::function<void(TKDOptions&)> answer) {
        const auto seen = answerNextModalWhere([](QWidget* d) { return qobject_cast<TKDOptions*>(d) != nullptr; },
                                               [answer](QWidget* d) { answer(*static_cast<TKDOptions*>(d)); });
        QTest::mouseClick(w.bKDOptions, Qt::LeftButton);
        ASSERT_TRUE(seen->seen);
        EXPECT_EQ(seen->title, "Troubleshooting Options");
    }
    static void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(5, widget->height() / 2)); }
    std::string settings() const { return readFile(product() / "kandoro4.ini"); }
    void TearDown() override { stopAllModalWatchers(); }
};

TEST_F(TroubleshootingTest, OkWritesEachOptionAndReopeningShowsTheLastChoice) {
    writeFile(product() / "kandoro4.ini", "[General]\r\nGUIScale=7\r\nGFX_D2D=0\r\nDPIXOverride=120\r\nUseDPIX=0\r\n");
    auto& w = start();
    EXPECT_FALSE(w.GFX_D2D);
    openDialog(w, [&](TKDOptions& d) {
        EXPECT_EQ(d.size(), QSize(624, 321));
        EXPECT_FALSE(d.cbxUIDX->isChecked()); // from the file
        EXPECT_EQ(d.sbDPI->value(), 120);
        EXPECT_TRUE(d.cbxPM->isChecked());
        EXPECT_EQ(d.cbxMenu->currentText(), "Automatic");
        d.grab().save(QStringLiteral(K4M_SCREENSHOT_DIR "/troubleshooting_dialog.png"));
        click(d.cbxUIDX); // 2D acceleration on again
        click(d.cbxDSD);
        click(d.cbxPM); // priority off
        d.sbDPI->setValue(144); // without "Override DPI" the file gets no DPI keys
        d.cbxMenu->setCurrentIndex(2);
        click(d.Button2);
    });
    EXPECT_EQ(settings(), "[General]\r\nGUIScale=7\r\nGFX_DXS=1\r\nAPSMode=0\r\nPriorityMode=0\r\n"
                          "ForceMenuMode=1\r\n");
    EXPECT_TRUE(w.GFX_D2D);
    EXPECT_EQ(w.PriorityMode, 0);
    EXPECT_EQ(w.DPIXOverride, 144);
    EXPECT_EQ(w.ForceMenuMode, 1);

    openDialog(w, [&](TKDOptions& d) {
        EXPECT_EQ(d.cbxMenu->currentText(), "Standard");
        EXPECT_TRUE(d.cbxDSD->isChecked());
        EXPECT_EQ(d.sbDPI->value(), 144);
        click(d.cbxUIDX); // off: written as 0
        click(d.cbxDPIX);
        d.cbxMenu->setCurrentIndex(0);
        click(d.Button2);
    });
    EXPECT_EQ(settings(), "[General]\r\nGUIScale=7\r\nGFX_DXS=1\r\nAPSMode=0\r\nPriorityMode=0\r\n"
                          "ForceMenuMode=-1\r\nDPIXOverride=144\r\nUseDPIX=1\r\nGFX_D2D=0\r\n");
}

TEST_F(TroubleshootingTest, CancelChangesNothing) {
    writeFile(product() / "kandoro4.ini", "[General]\r\nGUIScale=7\r\n");
    auto& w = start();
    openDialog(w, [&](TKDOptions& d) {
        click(d.cbxAPS);
        click(d.cbxSOT);
        click(d.Button3);
    });
    EXPECT_EQ(settings(), "[General]\r\nGUIScale=7\r\n");
    EXPECT_FALSE(w.APSMode);
    EXPECT_FALSE(w.SOT);
}

TEST_F(TroubleshootingTest, WithoutASettingsFileOkOnlyKeepsTheValues) {
    const auto notice = acceptNotice();
    auto& w = start();
    openDialog(w, [&](TKDOptions& d) {
        click(d.cbxAPS);
        click(d.Button2);
    });
    EXPECT_FALSE(fs::exists(product() / "kandoro4.ini"));
    EXPECT_TRUE(w.APSMode);
}

} // namespace
