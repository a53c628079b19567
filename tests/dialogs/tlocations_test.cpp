// The installation options dialog on real widgets (offscreen), with real clicks; its message boxes and folder
// pickers are answered by the test.
#include "core/settings_keys.h"
#include "dialogs/tlocations.h"
#include "held_options.h"
#include "modal_answer.h"
#include "platform/posix/posix_platform.h"
#include "temp_dir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace k4m;
using namespace k4m::test;

namespace {

// The real platform, answering the 64-bit question as the test says (a 32-bit Windows cannot be had here).
class BitnessPlatform : public posix::PosixPlatform {
public:
    bool is64 = true;
    bool is64BitSystem() const override { return is64; }
};

// What a message box of the dialog showed.
struct Message {
    std::shared_ptr<ModalSeen> seen = std::make_shared<ModalSeen>();
    std::shared_ptr<QMessageBox::Icon> icon = std::make_shared<QMessageBox::Icon>(QMessageBox::NoIcon);
};

class LocationsTest : public testing::Test {
protected:
    LocationsTest() : profile((root / "Kandoro4" / "Installer" / "installer.ini"), true) {
        fs::create_directories(root / "Kandoro4" / "Installer");
        folders.productFolder = (root / "Kandoro4").string();
        folders.installerFolder = (root / "Kandoro4" / "Installer").string();
        folders.proToolsFolder = (root / "ProTools").string();
        held.data = (root / "data").string();
        held.vst64 = (root / "vst64").string();
        held.vst32 = (root / "vst32").string();
    }
    ~LocationsTest() override {
        // A watcher this test armed for a dialog that never came must leave the next test's dialogs alone.
        *alive = false;
        if (dialog) dialog->close();
    }

    // The next modal dialog of this type, while this test runs.
    template <typename Dialog> std::function<bool(QWidget*)> next() const {
        return [alive = alive](QWidget* w) { return *alive && qobject_cast<Dialog*>(w) != nullptr; };
    }

    TLocations& open(bool changeMode = false) {
        dialog = std::make_unique<TLocations>(
            TLocationsContext{
                .platform = platform,
                .profile = profile,
                .folders = folders,
                .current = held.current(),
                .kd3DataFolder = kd3,
                .offlineMode = offlineMode,
                .reinstallNeeded = reinstallNeeded,
                .hideBulkButtons = [this] { ++bulkButtonsHidden; },
                .changeModeActions = [this](const OptionsChange& change, TLocations&) { changes.push_back(change); },
            },
            owner.get());
        dialog->ChangeMode = changeMode;
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return *dialog;
    }

    // Clicks OK and answers the message box it shows, if any, with its OK button.
    Message clickOkAnsweringMessage() {
        Message message;
        message.seen = answerNextModalWhere(
            next<QMessageBox>(),
            [icon = message.icon](QWidget* w) {
                *icon = static_cast<QMessageBox*>(w)->icon();
                clickButton(w, "OK");
            },
            2000);
        QTest::mouseClick(dialog->Button2, Qt::LeftButton);
        return message;
    }

    std::string profileText() const { return fs::exists(profilePath()) ? readFile(profilePath()) : std::string(); }
    fs::path profilePath() const { return root / "Kandoro4" / "Installer" / "installer.ini"; }
    fs::path pluginSettingsPath() const { return root / "Kandoro4" / "kandoro4.ini"; }
    void setProfile(const std::string& text) {
        writeFile(profilePath(), text);
        profile.load();
    }
    // Existing folders for every choice, so OK goes through.
    void foldersExist() {
        for (const char* name : {"data", "vst64", "vst32"})
            fs::create_directories(root / name);
    }

    TempDir root;
    BitnessPlatform platform;
    FolderSet folders;
    IniFile profile;
    HeldOptions held;
    std::string kd3;
    bool offlineMode = false;
    bool reinstallNeeded = true;
    int bulkButtonsHidden = 0;
    std::vector<OptionsChange> changes;
    std::unique_ptr<QWidget> owner = [] {
        auto w = std::make_unique<QWidget>();
        w->setGeometry(100, 80, 800, 600);
        w->show();
        return w;
    }();
    std::unique_ptr<TLocations> dialog;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

TEST_F(LocationsTest, ControlsAsDesigned) {
    auto& d = open();
    EXPECT_EQ(d.size(), QSize(640, 564));
    EXPECT_EQ(d.minimumSize(), d.maximumSize()) << "fixed size";
    EXPECT_LE((d.geometry().center() - owner->geometry().center()).manhattanLength(), 2) << "centred on its owner";
    struct Placed {
        QWidget* widget;
        const char* name;
        int y;
    };
    for (const Placed& p : {Placed{d.RoundRect4, "RoundRect4", 11}, Placed{d.cbxOffline, "cbxOffline", 118},
                            Placed{d.RoundRect6, "RoundRect6", 152}, Placed{d.lOffline, "lOffline", 200},
                            Placed{d.RoundRect2, "RoundRect2", 227}, Placed{d.RoundRect1, "RoundRect1", 325},
                            Placed{d.RoundRect3, "RoundRect3", 429}, Placed{d.RoundRect5, "RoundRect5", 469},
                            Placed{d.Rectangle2, "Rectangle2", 516}}) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(d.findChild<QWidget*>(p.name), p.widget);
        EXPECT_EQ(p.widget->parentWidget(), &d);
        EXPECT_EQ(p.widget->y(), p.y);
    }
    EXPECT_TRUE(d.lOffline->geometry().intersects(d.RoundRect6->geometry())) << "the hint lies over the scale group";
    EXPECT_EQ(d.Rectangle2->geometry(), QRect(0, 516, 640, 48));
    EXPECT_EQ(d.Button2->geometry(), QRect(460, 13, 80, 24));
    EXPECT_EQ(d.Button3->geometry(), QRect(548, 13, 80, 24));

    struct Text {
        const char* name;
        const char* text;
        const char* hint;
    };
    for (const Text& t : {
             Text{"Label4", "Kandoro Data Folder", ""},
             Text{"bData", "Select Folder", ""},
             Text{"cbxUseKD3", "Use Kandoro 3 sound data",
                  "If checked the installer will use the Kandoro 3 sound files to save space."},
             Text{"cbxAIOnly", "Install AI files only without sound data",
                  "If checked, the installer will not download any sound files. Use this only if you plan on never "
                  "using the Kandoro internal sounds"},
             Text{"Text3",
                  "Select the folder Kandoro will use to store large data sets. This should be on a fast drive with "
                  "plenty of space.",
                  ""},
             Text{"cbxOffline", "Create install package for an offline computer", ""},
             Text{"Label2", "Interface Scale", ""},
             Text{"Text4",
                  "The user interface can be scaled in size to your liking. Select the desired initial size here. You "
                  "can always change it later in Kandoro under OPTIONS -> USER INTERFACE  3D KIT",
                  ""},
             Text{"lOffline",
                  "When the installation is finished, copy the folder above to the target computer and execute "
                  "Kandoro4Manager.exe from the folder",
                  ""},
             Text{"lVST64", "64-bit VST", ""},
             Text{"bVST64", "Select Folder", ""},
             Text{"cbxVST2", "VST 2.4", ""},
             Text{"cbxVST3", "VST 3", ""},
             Text{"Text2", "Select the folder your 64-bit DAW is expecting plugins to be found.", ""},
             Text{"lVST32", "32-bit VST", ""},
             Text{"bVST32", "Select Folder", ""},
             Text{"Text1", "Select the folder your 32-bit DAW is expecting plugins to be found.", ""},
             Text{"lAAX", "64-bit AAX (Pro Tools)", ""},
             Text{"Label1", "Install Beta Versions When Available", ""},
             Text{"Button3", "Cancel", ""},
             Text{"Button2", "OK", ""},
         }) {
        SCOPED_TRACE(t.name);
        QWidget* w = d.findChild<QWidget*>(t.name);
        ASSERT_NE(w, nullptr);
        if (auto* l = qobject_cast<QLabel*>(w))
            EXPECT_EQ(l->text(), t.text);
        else
            EXPECT_EQ(static_cast<QAbstractButton*>(w)->text(), t.text);
        EXPECT_EQ(w->toolTip(), t.hint);
    }
    QStringList scale;
    for (int i = 0; i < d.cbxSize->count(); ++i)
        scale << d.cbxSize->itemText(i);
    EXPECT_EQ(scale.join(' '), "80% 90% 100% 110% 120% 130% 140% 150% 160% 170% 180% 190% 200%");
    EXPECT_EQ(d.cbxOffline->font().pixelSize(), 15);
    EXPECT_FALSE(d.cbxVST2->isVisible());
    EXPECT_FALSE(d.cbxVST3->isVisible());
    EXPECT_FALSE(d.lOffline->isVisible());
}

TEST_F(LocationsTest, ShowsTheSavedChoices) {
    kd3 = "/kd3/data";
    held.guiScale = 8;
    fs::create_directories(root / "ProTools");
    setProfile("[General]\r\nDataFolder=/saved/data\r\nInstallVST64=1\r\nInstallVST32=1\r\nInstallAAX=1\r\n"
               "UseKD3=1\r\nInstallAIOnly=1\r\nInstallBetas=1\r\n");
    auto& d = open();
    EXPECT_EQ(d.eData->text().toStdString(), "/saved/data");
    EXPECT_EQ(d.eVST64->text().toStdString(), held.vst64);
    EXPECT_EQ(d.eVST32->text().toStdString(), held.vst32);
    for (QCheckBox* box : {d.cbxVST64, d.cbxVST32, d.cbxAAX, d.cbxUseKD3, d.cbxAIOnly, d.cbxBeta}) {
        SCOPED_TRACE(box->objectName().toStdString());
        EXPECT_TRUE(box->isChecked());
        EXPECT_TRUE(box->isEnabled());
    }
    for (QWidget* w : std::initializer_list<QWidget*>{d.eData, d.bData, d.eVST64, d.bVST64, d.lVST64, d.eVST32,
                                                      d.bVST32, d.lVST32, d.lAAX}) {
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_TRUE(w->isEnabled());
    }
    EXPECT_FALSE(d.cbxOffline->isChecked());
    EXPECT_EQ(d.cbxSize->currentText(), "160%");
    EXPECT_EQ(d.OldData, "/saved/data");
    EXPECT_EQ(d.OldVST64, held.vst64);
    EXPECT_EQ(d.OldVST32, held.vst32);
    EXPECT_TRUE(d.OldAIOnly);
    EXPECT_TRUE(d.OldBeta);
}

TEST_F(LocationsTest, On32BitWindowsOnlyThe32BitRowIsOn) {
    platform.is64 = false;
    fs::create_directories(root / "ProTools");
    foldersExist();
    auto& d = open();
    for (QWidget* w : std::initializer_list<QWidget*>{d.cbxVST64, d.eVST64, d.bVST64, d.lVST64, d.cbxAAX, d.lAAX}) {
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_FALSE(w->isEnabled());
    }
    EXPECT_FALSE(d.cbxVST64->isChecked());
    EXPECT_FALSE(d.cbxAAX->isChecked());
    EXPECT_TRUE(d.cbxVST32->isChecked());
    EXPECT_TRUE(d.eVST32->isEnabled());

    const Message message = clickOkAnsweringMessage();
    EXPECT_FALSE(message.seen->seen);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(profile.readInteger("General", "InstallVST64", 0), 2);
    EXPECT_EQ(profile.readInteger("General", "InstallVST32", 0), 1);
    EXPECT_EQ(profile.readInteger("General", "InstallAAX", 0), 2);
}

TEST_F(LocationsTest, On32BitWindowsASaved32BitRefusalIsKept) {
    platform.is64 = false;
    setProfile("[General]\r\nInstallVST32=2\r\nInstallVST64=1\r\n");
    auto& d = open();
    EXPECT_FALSE(d.cbxVST32->isChecked());
    EXPECT_TRUE(d.cbxVST32->isEnabled());
    EXPECT_FALSE(d.cbxVST64->isChecked());
}

TEST_F(LocationsTest, EachRefusalShowsItsMessageAndKeepsTheDialogOpen) {
    struct Case {
        const char* name;
        std::function<void(TLocations&, const fs::path&)> change;
        const char* message;
        bool warning;
    };
    const Case cases[] = {
        {"NoVst64SubFormat",
         [](TLocations& d, auto&) {
             d.cbxVST2->setChecked(false);
             d.cbxVST3->setChecked(false);
         },
         "Please check at least one 64-bit VST format.", false},
        {"DataInProgramFiles",
         [](TLocations& d, const fs::path& r) {
             d.eData->setText(QString::fromStdString((r / "Program Files" / "Kandoro Data").string()));
         },
         "Please select a data folder location outside of the \"Program Files\" folder.", false},
        {"DataParentMissing",
         [](TLocations& d, const fs::path& r) {
             d.eData->setText(QString::fromStdString((r / "missing" / "data").string()));
         },
         "Your data folder selection appears to be invalid. Please double-check and correct as needed.", false},
        {"NoFormat", [](TLocations& d, auto&) { d.cbxVST64->setChecked(false); },
         "You must select at least one plugin format to install!", true},
        {"Vst32Folder",
         [](TLocations& d, const fs::path& r) {
             d.cbxVST32->setChecked(true);
             d.eVST32->setText(QString::fromStdString((r / "missing" / "vst32").string()));
         },
         "Your 32-bit VST folder selection appears to be invalid. Please double-check and correct as needed.", false},
        {"Vst64Folder",
         [](TLocations& d, const fs::path& r) {
             d.eVST64->setText(QString::fromStdString((r / "missing" / "vst64").string()));
         },
         "Your 64-bit VST folder selection appears to be invalid. Please double-check and correct as needed.", false},
    };
    foldersExist();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto& d = open(true);
        c.change(d, root.path());
        const QString data = d.eData->text();
        const Message message = clickOkAnsweringMessage();
        ASSERT_TRUE(message.seen->seen);
        EXPECT_EQ(message.seen->text, c.message);
        EXPECT_EQ(message.seen->buttons, QStringList{"OK"});
        EXPECT_EQ(*message.icon, c.warning ? QMessageBox::Warning : QMessageBox::NoIcon);
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(d.eData->text(), data) << "the entries stay";
        EXPECT_TRUE(changes.empty());
        EXPECT_EQ(profileText(), "[General]\r\nCreateOffline=0\r\n") << "nothing but the offline choice is saved";
        EXPECT_FALSE(reinstallNeeded);
        EXPECT_EQ(held.data, (root / "data").string());
        reinstallNeeded = true;
    }
    EXPECT_FALSE(fs::exists(root / "missing"));
}

TEST_F(LocationsTest, OkSavesProfilePluginSettingsAndHeldOptions) {
    foldersExist();
    kd3 = "/kd3/data";
    fs::create_directories(root / "ProTools");
    writeFile(pluginSettingsPath(), "[General]\r\nGFX_DXS=1\r\n");
    auto& d = open();
    d.eData->setText(QString::fromStdString((root / "new data").string()));
    d.cbxVST32->setChecked(true);
    d.cbxAAX->setChecked(true);
    d.cbxUseKD3->setChecked(true);
    d.cbxBeta->setChecked(true);
    d.cbxSize->setCurrentIndex(2);
    const Message message = clickOkAnsweringMessage();
    EXPECT_FALSE(message.seen->seen);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Accepted);

    const std::string newData = (root / "new data").string();
    EXPECT_TRUE(fs::is_directory(newData));
    EXPECT_EQ(readFile(profilePath()), "[General]\r\nCreateOffline=0\r\nPlugin64Folder=" + held.vst64 +
                                           "\r\nInstallVST64=1\r\nPlugin32Folder=" + held.vst32 +
                                           "\r\nInstallVST32=1\r\nInstallAAX=1\r\nDataFolder=" + newData +
                                           "\r\nUseKD3=1\r\nInstallAIOnly=0\r\nInstallBetas=1\r\n");
    EXPECT_EQ(readFile(pluginSettingsPath()), "[General]\r\nGFX_DXS=1\r\nSoundFolder=/kd3/data\r\nGUIScale=2\r\n");
    EXPECT_EQ(held.data, newData);
    EXPECT_TRUE(held.installVST64 && held.installVST32 && held.installAAX && held.useKD3 && held.beta);
    EXPECT_FALSE(held.aiOnly);
    EXPECT_FALSE(held.createOffline);
    EXPECT_EQ(held.guiScale, 2);
    EXPECT_FALSE(reinstallNeeded);
    EXPECT_EQ(bulkButtonsHidden, 0);
    EXPECT_TRUE(changes.empty()) << "a first-run OK never runs the change actions";
}

TEST_F(LocationsTest, ChangeModeOkHandsTheChangeOnAfterSaving) {
    foldersExist();
    setProfile("[General]\r\nDataFolder=" + held.data + "\r\nInstallAIOnly=1\r\n");
    auto& d = open(true);
    d.eData->setText(QString::fromStdString((root / "moved").string()));
    d.cbxAIOnly->setChecked(false);
    clickOkAnsweringMessage();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    ASSERT_EQ(changes.size(), 1u);
    const OptionsChange& c = changes.front();
    EXPECT_TRUE(c.dataChanged);
    EXPECT_EQ(c.oldData, (root / "data").string());
    EXPECT_EQ(c.oldVST64, held.vst64);
    EXPECT_EQ(c.oldVST32, held.vst32);
    EXPECT_TRUE(c.oldAIOnly);
    EXPECT_FALSE(c.entries.aiOnly);
    EXPECT_EQ(c.entries.dataFolder, (root / "moved").string());
    EXPECT_EQ(profile.readString("General", "DataFolder", ""), (root / "moved").string()) << "saved before";
}

TEST_F(LocationsTest, DataFolderChangeIsCaseSensitive) {
    foldersExist();
    fs::create_directories(root / "DATA");
    setProfile("[General]\r\nDataFolder=" + held.data + "\r\n");
    auto& d = open(true);
    d.eData->setText(QString::fromStdString((root / "DATA").string()));
    clickOkAnsweringMessage();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_TRUE(changes.front().dataChanged);
}

TEST_F(LocationsTest, CancelSavesNothing) {
    foldersExist();
    setProfile("[General]\r\nDataFolder=/saved\r\n");
    const HeldOptions before = held;
    auto& d = open(true);
    d.eData->setText("/elsewhere");
    d.cbxOffline->setChecked(true);
    d.cbxBeta->setChecked(true);
    d.cbxSize->setCurrentIndex(0);
    QTest::mouseClick(d.Button3, Qt::LeftButton);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_EQ(profileText(), "[General]\r\nDataFolder=/saved\r\n");
    EXPECT_FALSE(fs::exists(pluginSettingsPath()));
    EXPECT_EQ(held.data, before.data);
    EXPECT_EQ(held.beta, before.beta);
    EXPECT_EQ(held.createOffline, before.createOffline);
    EXPECT_EQ(held.guiScale, before.guiScale);
    EXPECT_TRUE(changes.empty());
}

TEST_F(LocationsTest, OfflineBoxSwapsTheFormatGroupsForItsHint) {
    auto& d = open();
    const std::vector<QWidget*> groups{d.RoundRect1, d.RoundRect2, d.RoundRect3, d.RoundRect6};
    auto groupsShown = [&] {
        return std::all_of(groups.begin(), groups.end(), [](QWidget* g) { return g->isVisible(); });
    };
    auto groupsHidden = [&] {
        return std::none_of(groups.begin(), groups.end(), [](QWidget* g) { return g->isVisible(); });
    };
    EXPECT_TRUE(groupsShown());
    QTest::mouseClick(d.cbxOffline, Qt::LeftButton);
    EXPECT_TRUE(d.cbxOffline->isChecked());
    EXPECT_TRUE(groupsHidden());
    EXPECT_TRUE(d.lOffline->isVisible());
    EXPECT_TRUE(d.RoundRect4->isVisible());
    EXPECT_TRUE(d.RoundRect5->isVisible());
    QTest::mouseClick(d.cbxOffline, Qt::LeftButton);
    EXPECT_TRUE(groupsShown());
    EXPECT_FALSE(d.lOffline->isVisible());
}

TEST_F(LocationsTest, OfflinePackageOpensWithGroupsHidden) {
    held.createOffline = true;
    setProfile("[General]\r\nCreateOffline=1\r\n");
    auto& d = open();
    EXPECT_TRUE(d.cbxOffline->isChecked());
    EXPECT_TRUE(d.lOffline->isVisible());
    EXPECT_FALSE(d.RoundRect2->isVisible());
    EXPECT_FALSE(d.RoundRect6->isVisible());
}

TEST_F(LocationsTest, OfflineModeFixesTheDataFolderAndOffersNoPackage) {
    offlineMode = true;
    held.createOffline = true;
    setProfile("[General]\r\nCreateOffline=1\r\nDataFolder=/saved\r\n");
    auto& d = open();
    EXPECT_EQ(d.eData->text().toStdString(), held.data);
    EXPECT_FALSE(d.eData->isEnabled());
    EXPECT_FALSE(d.bData->isEnabled());
    EXPECT_FALSE(d.cbxOffline->isVisible());
    EXPECT_FALSE(d.cbxOffline->isChecked());
    EXPECT_FALSE(d.lOffline->isVisible());
    EXPECT_TRUE(d.RoundRect2->isVisible()) << "the formats stay choosable";
}

TEST_F(LocationsTest, OfflineChoiceIsSavedEvenWhenACheckFails) {
    foldersExist();
    auto& d = open();
    QTest::mouseClick(d.cbxOffline, Qt::LeftButton);
    d.eData->setText(QString::fromStdString((root / "missing" / "data").string()));
    const Message message = clickOkAnsweringMessage();
    ASSERT_TRUE(message.seen->seen);
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(profileText(), "[General]\r\nCreateOffline=1\r\n");
    EXPECT_TRUE(held.createOffline);
    EXPECT_EQ(bulkButtonsHidden, 1);
    QTest::mouseClick(d.Button3, Qt::LeftButton);
    EXPECT_EQ(profileText(), "[General]\r\nCreateOffline=1\r\n");
    EXPECT_TRUE(held.createOffline);
}

TEST_F(LocationsTest, OfflinePackageNeedsNoFormat) {
    foldersExist();
    auto& d = open();
    QTest::mouseClick(d.cbxOffline, Qt::LeftButton);
    d.cbxVST64->setChecked(false);
    d.eVST64->setText(QString::fromStdString((root / "missing" / "vst64").string()));
    const Message message = clickOkAnsweringMessage();
    EXPECT_FALSE(message.seen->seen);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(profile.readInteger("General", "InstallVST64", 0), 2);
}

TEST_F(LocationsTest, LabelsBesideTheBoxesSwitchThem) {
    auto& d = open();
    EXPECT_FALSE(d.cbxBeta->isChecked());
    QTest::mouseClick(d.Label1, Qt::LeftButton);
    EXPECT_TRUE(d.cbxBeta->isChecked());
    QTest::mouseClick(d.lAAX, Qt::LeftButton);
    EXPECT_FALSE(d.cbxAAX->isChecked()) << "a disabled box stays as it is";
}

TEST_F(LocationsTest, UnwritableProfileKeepsTheDialogOpenWithTheReason) {
    foldersExist();
    auto& d = open();
    fs::remove_all(root / "Kandoro4");
    const Message message = clickOkAnsweringMessage();
    ASSERT_TRUE(message.seen->seen);
    EXPECT_TRUE(message.seen->text.startsWith("The installation options could not be saved: "));
    EXPECT_TRUE(d.isVisible());
}

struct PickerCase {
    const char* name;
    QPushButton* TLocations::*button;
    QLineEdit* TLocations::*edit;
    const char* title;
};

class LocationsPicker : public LocationsTest, public testing::WithParamInterface<PickerCase> {};

TEST_P(LocationsPicker, SelectFolderOpensAtTheEditsFolderAndFillsItIn) {
    const PickerCase& c = GetParam();
    foldersExist();
    fs::create_directories(root / "start");
    fs::create_directories(root / "chosen");
    auto& d = open();
    QLineEdit* edit = d.*c.edit;
    edit->setText(QString::fromStdString((root / "start").string()));

    auto pick = [&](bool choose) {
        struct Seen {
            QString title, directory, acceptLabel;
            bool nonNative = false;
        };
        auto seen = std::make_shared<Seen>();
        const auto modal = answerNextModalWhere(next<QFileDialog>(), [&, seen, choose](QWidget* w) {
            auto* picker = static_cast<QFileDialog*>(w);
            seen->title = picker->windowTitle();
            seen->directory = picker->directory().absolutePath();
            seen->acceptLabel = picker->labelText(QFileDialog::Accept);
            seen->nonNative = picker->testOption(QFileDialog::DontUseNativeDialog);
            if (!choose) {
                clickButton(w, "Cancel");
                return;
            }
            auto* name = picker->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            name->setText(QString::fromStdString((root / "chosen").string()));
            clickButton(w, "Select");
        });
        QTest::mouseClick(d.*c.button, Qt::LeftButton);
        EXPECT_TRUE(modal->seen);
        EXPECT_EQ(seen->title, c.title);
        EXPECT_EQ(seen->directory.toStdString(), (root / "start").string());
        EXPECT_EQ(seen->acceptLabel, "Select");
        EXPECT_TRUE(seen->nonNative);
    };
    pick(false);
    EXPECT_EQ(edit->text().toStdString(), (root / "start").string()) << "cancelled: unchanged";
    pick(true);
    EXPECT_EQ(edit->text().toStdString(), (root / "chosen").string());
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, LocationsPicker,
    testing::Values(PickerCase{"Data", &TLocations::bData, &TLocations::eData, "Select Kandoro data folder"},
                    PickerCase{"Vst64", &TLocations::bVST64, &TLocations::eVST64, "Select 64-bit plugin location"},
                    PickerCase{"Vst32", &TLocations::bVST32, &TLocations::eVST32, "Select 32-bit plugin location"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LocationsTest, SelectFolderStartsAtTheNearestFolderThatExists) {
    fs::create_directories(root / "there");
    auto& d = open();
    d.eData->setText(QString::fromStdString((root / "there" / "not yet" / "deeper").string()));
    QString directory;
    answerNextModalWhere(next<QFileDialog>(), [&](QWidget* w) {
        directory = static_cast<QFileDialog*>(w)->directory().absolutePath();
        clickButton(w, "Cancel");
    });
    QTest::mouseClick(d.bData, Qt::LeftButton);
    EXPECT_EQ(directory.toStdString(), (root / "there").string());
}

} // namespace
