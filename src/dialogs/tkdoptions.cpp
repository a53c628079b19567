#include "dialogs/tkdoptions.h"

#include "dialogs/dialog_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace k4m {

namespace {

constexpr const char* kPanels = "#RoundRect1, #RoundRect2, #RoundRect4";
constexpr const char* kExtraStyle = R"(
#Label2 { font-size: 13px; font-weight: bold; }
#Text3 { font-size: 12px; color: #8B4513; }
)";

} // namespace

TKDOptions::TKDOptions(PluginOptions& values, std::string settingsPath, QWidget* owner)
    : SettingsDialog(owner), m_values(values), m_settingsPath(std::move(settingsPath)) {
    createControls();
}

void TKDOptions::createControls() {
    using namespace controls;
    setObjectName(QStringLiteral("KDOptions"));
    setWindowTitle(QStringLiteral("Troubleshooting Options"));
    setFixedSize(kWidth, kHeight);
    setStyleSheet(dialogStyle("KDOptions", kPanels, kExtraStyle));

    RoundRect1 = panel(this, "RoundRect1", {8, 8, kWidth - 16, 79});
    cbxDPIX = checkBox(RoundRect1, "cbxDPIX", QStringLiteral("Override DPI"), {10, 10, 140, 20});
    sbDPI = new QSpinBox(RoundRect1);
    sbDPI->setObjectName(QStringLiteral("sbDPI"));
    sbDPI->setRange(96, 192);
    sbDPI->setValue(96);
    sbDPI->setGeometry(160, 8, 80, 24);
    Text1 = label(RoundRect1, "Text1",
                  QStringLiteral("Change this setting if you are using a custom DPI Windows setting and the Kandoro "
                                 "interface appears to be cutoff."),
                  {10, 40, kWidth - 40, 32}, true);

    RoundRect2 = panel(this, "RoundRect2", {8, 95, kWidth - 16, 44});
    Label2 = label(RoundRect2, "Label2", QStringLiteral("Menu Mode"), {10, 12, 120, 20});
    cbxMenu = new QComboBox(RoundRect2);
    cbxMenu->setObjectName(QStringLiteral("cbxMenu"));
    cbxMenu->addItems({QStringLiteral("Automatic"), QStringLiteral("Integrated"), QStringLiteral("Standard")});
    cbxMenu->setGeometry(160, 10, 160, 24);

    RoundRect4 = panel(this, "RoundRect4", {8, 147, kWidth - 16, 120});
    Text3 = label(RoundRect4, "Text3",
                  QStringLiteral("The settings below should only be changed when directed to do so by Technical "
                                 "Support!"),
                  {10, 8, kWidth - 40, 20});
    const int left = 10;
    const int right = (kWidth - 16) / 2 + 10;
    cbxAPS = checkBox(RoundRect4, "cbxAPS", QStringLiteral("Use APS Mode"), {left, 36, 260, 22});
    cbxUIDX = checkBox(RoundRect4, "cbxUIDX", QStringLiteral("2D Acceleration"), {right, 36, 260, 22});
    cbxDSD = checkBox(RoundRect4, "cbxDSD", QStringLiteral("Disable Hardware Acceleration"), {left, 62, 260, 22});
    cbxPM = checkBox(RoundRect4, "cbxPM", QStringLiteral("Priority Mode"), {right, 62, 260, 22});
    cbxDX9 = checkBox(RoundRect4, "cbxDX9", QStringLiteral("GFX Fallback Mode"), {left, 88, 260, 22});
    cbxSOT = checkBox(RoundRect4, "cbxSOT", QStringLiteral("Process GUI/SOT"), {right, 88, 260, 22});

    Rectangle2 = panel(this, "Rectangle2", {0, kHeight - 46, kWidth, 46});
    Button2 = button(Rectangle2, "Button2", QStringLiteral("OK"), {kWidth - 176, 11, 80, 24});
    Button3 = button(Rectangle2, "Button3", QStringLiteral("Cancel"), {kWidth - 88, 11, 80, 24});

    connect(Button2, &QPushButton::clicked, this, &TKDOptions::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TKDOptions::Button3Click);
}

void TKDOptions::FormShow() {
    const PluginOptions& v = m_values;
    cbxDPIX->setChecked(v.useDPIX);
    sbDPI->setValue(v.dpixOverride);
    cbxDSD->setChecked(v.gfxDXS);
    cbxDX9->setChecked(v.gfxDX9);
    cbxUIDX->setChecked(v.gfxD2D);
    cbxAPS->setChecked(v.apsMode);
    cbxSOT->setChecked(v.sot);
    cbxPM->setChecked(v.priorityMode == 1);
    // A menu mode the file held out of range shows as "Automatic".
    cbxMenu->setCurrentIndex(v.menuMode >= -1 && v.menuMode <= 1 ? v.menuMode + 1 : 0);
}

void TKDOptions::Button2Click() {
    // 1.
    PluginOptions& v = m_values;
    v.useDPIX = cbxDPIX->isChecked();
    v.gfxDXS = cbxDSD->isChecked();
    v.gfxDX9 = cbxDX9->isChecked();
    v.gfxD2D = cbxUIDX->isChecked();
    v.apsMode = cbxAPS->isChecked();
    v.sot = cbxSOT->isChecked();
    v.priorityMode = cbxPM->isChecked() ? 1 : 0;
    v.dpixOverride = sbDPI->value();
    v.menuMode = cbxMenu->currentIndex() - 1;
    // 2.
    try {
        saveTroubleshootingOptions(m_settingsPath, v);
    } catch (const std::exception&) {
        // The values stay in memory; the installation writes them into the file.
    }
    // 3.
    accept();
}

void TKDOptions::Button3Click() {
    reject();
}

} // namespace k4m
