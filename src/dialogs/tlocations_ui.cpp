// The installation options dialog's controls, with the places, texts and hints of its design.
#include "core/ui/shown_text.h"
#include "dialogs/dialog_controls.h"
#include "dialogs/tlocations.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace k4m {

namespace {

constexpr const char* kPanels = "#RoundRect1, #RoundRect2, #RoundRect3, #RoundRect4, #RoundRect5, #RoundRect6";
constexpr const char* kExtraStyle = R"(
#Label4, #Label2, #lVST64, #lVST32, #lAAX, #Label1 { font-size: 13px; font-weight: bold; }
#cbxOffline { font-size: 15px; color: #8B0000; }
#lOffline { font-size: 13px; font-weight: normal; color: #8B0000; }
)";

template <typename T> T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

using controls::button;
using controls::checkBox;
using controls::edit;
using controls::label;
QWidget* group(QWidget* parent, const char* name, QRect geometry) {
    return controls::panel(parent, name, geometry);
}

} // namespace

void TLocations::createControls() {
    setObjectName(QStringLiteral("Locations"));
    setWindowTitle(QStringLiteral("Installation Options"));
    setFixedSize(kWidth, kHeight);
    setStyleSheet(controls::dialogStyle("Locations", kPanels, kExtraStyle));

    RoundRect4 = group(this, "RoundRect4", {8, 11, 624, 100});
    Label4 = label(RoundRect4, "Label4", QStringLiteral("Kandoro Data Folder"), {10, 5, 300, 18});
    Text3 = label(RoundRect4, "Text3",
                  QStringLiteral("Select the folder Kandoro will use to store large data sets. This should be on a "
                                 "fast drive with plenty of space."),
                  {10, 23, 604, 16});
    eData = edit(RoundRect4, "eData", {10, 43, 494, 24});
    bData = button(RoundRect4, "bData", QStringLiteral("Select Folder"), {512, 43, 102, 24});
    cbxUseKD3 = checkBox(RoundRect4, "cbxUseKD3", QStringLiteral("Use Kandoro 3 sound data"), {10, 74, 240, 20});
    cbxUseKD3->setToolTip(QStringLiteral("If checked the installer will use the Kandoro 3 sound files to save space."));
    cbxAIOnly = checkBox(RoundRect4, "cbxAIOnly", QStringLiteral("Install AI files only without sound data"),
                         {260, 74, 354, 20});
    cbxAIOnly->setToolTip(QStringLiteral("If checked, the installer will not download any sound files. Use this "
                                         "only if you plan on never using the Kandoro internal sounds"));

    cbxOffline = checkBox(this, "cbxOffline", QStringLiteral("Create install package for an offline computer"),
                          {16, 118, 608, 28});

    RoundRect6 = group(this, "RoundRect6", {8, 152, 624, 68});
    Label2 = label(RoundRect6, "Label2", QStringLiteral("Interface Scale"), {10, 5, 120, 18});
    cbxSize = named(new QComboBox(RoundRect6), "cbxSize");
    cbxSize->setGeometry(10, 30, 100, 24);
    for (int percent = 80; percent <= 200; percent += 10)
        cbxSize->addItem(QStringLiteral("%1%").arg(percent));
    Text4 = label(RoundRect6, "Text4",
                  QStringLiteral("The user interface can be scaled in size to your liking. Select the desired "
                                 "initial size here. You can always change it later in Kandoro under OPTIONS -> "
                                 "USER INTERFACE  3D KIT"),
                  {122, 6, 492, 56}, true);

    // Takes the place of the hidden groups while an offline package is being made.
    lOffline = label(this, "lOffline",
                     QStringLiteral("When the installation is finished, copy the folder above to the target computer "
                                    "and execute Kandoro4Manager.exe from the folder"),
                     {16, 200, 608, 40}, true);
    lOffline->hide();

    RoundRect2 = group(this, "RoundRect2", {8, 227, 624, 92});
    cbxVST64 = checkBox(RoundRect2, "cbxVST64", QString(), {10, 8, 20, 20});
    lVST64 = label(RoundRect2, "lVST64", QStringLiteral("64-bit VST"), {32, 8, 200, 20});
    cbxVST2 = checkBox(RoundRect2, "cbxVST2", QStringLiteral("VST 2.4"), {250, 8, 80, 20});
    cbxVST3 = checkBox(RoundRect2, "cbxVST3", QStringLiteral("VST 3"), {340, 8, 80, 20});
    Text2 =
        label(RoundRect2, "Text2",
              QStringLiteral("Select the folder your 64-bit DAW is expecting plugins to be found."), {10, 34, 604, 16});
    eVST64 = edit(RoundRect2, "eVST64", {10, 56, 494, 24});
    bVST64 = button(RoundRect2, "bVST64", QStringLiteral("Select Folder"), {512, 56, 102, 24});

    RoundRect1 = group(this, "RoundRect1", {8, 325, 624, 98});
    cbxVST32 = checkBox(RoundRect1, "cbxVST32", QString(), {10, 8, 20, 20});
    lVST32 = label(RoundRect1, "lVST32", QStringLiteral("32-bit VST"), {32, 8, 200, 20});
    Text1 =
        label(RoundRect1, "Text1",
              QStringLiteral("Select the folder your 32-bit DAW is expecting plugins to be found."), {10, 34, 604, 16});
    eVST32 = edit(RoundRect1, "eVST32", {10, 56, 494, 24});
    bVST32 = button(RoundRect1, "bVST32", QStringLiteral("Select Folder"), {512, 56, 102, 24});

    RoundRect3 = group(this, "RoundRect3", {8, 429, 624, 34});
    cbxAAX = checkBox(RoundRect3, "cbxAAX", QString(), {10, 7, 20, 20});
    lAAX = label(RoundRect3, "lAAX", QStringLiteral("64-bit AAX (Pro Tools)"), {32, 7, 300, 20});

    RoundRect5 = group(this, "RoundRect5", {8, 469, 624, 40});
    cbxBeta = checkBox(RoundRect5, "cbxBeta", QString(), {10, 10, 20, 20});
    Label1 = label(RoundRect5, "Label1", QStringLiteral("Install Beta Versions When Available"), {32, 10, 400, 20});

    Rectangle2 = group(this, "Rectangle2", {0, 516, 640, 48});
    Button2 = button(Rectangle2, "Button2", QStringLiteral("OK"), {460, 13, 80, 24});
    Button3 = button(Rectangle2, "Button3", QStringLiteral("Cancel"), {548, 13, 80, 24});
    // The main window's status line lies under the dialog, so a long task of OK reports here as well.
    lProgress = label(Rectangle2, "lProgress", QString(), {12, 13, 440, 24});
    lProgress->hide();

    // Until the show handler decides, the plug-in groups are off.
    for (QWidget* w : std::initializer_list<QWidget*>{cbxVST64, lVST64, eVST64, bVST64, cbxVST2, cbxVST3, cbxVST32,
                                                      lVST32, eVST32, bVST32, cbxAAX, lAAX})
        w->setEnabled(false);
    // The labels beside the boxes switch them too.
    for (QLabel* l : {lVST64, lVST32, lAAX, Label1})
        l->installEventFilter(this);

    connect(cbxOffline, &QCheckBox::toggled, this, &TLocations::cbxOfflineChange);
    connect(Button2, &QPushButton::clicked, this, &TLocations::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TLocations::Button3Click);
    connect(bData, &QPushButton::clicked, this, &TLocations::bDataClick);
    connect(bVST64, &QPushButton::clicked, this, &TLocations::bVST64Click);
    connect(bVST32, &QPushButton::clicked, this, &TLocations::bVST32Click);
}

} // namespace k4m
