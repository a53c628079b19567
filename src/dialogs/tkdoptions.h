#pragma once

#include "core/plugin_options.h"
#include "dialogs/settings_dialog.h"
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace k4m {

// The troubleshooting options: the plug-in's display, graphics, menu and priority settings, shown from the
// main window's values and, on OK, copied back into them and written into the plug-in's settings file when
// that file exists.
class TKDOptions : public SettingsDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 624;
    static constexpr int kHeight = 321;

    // `values` are the main window's; `settingsPath` is the plug-in's settings file.
    TKDOptions(PluginOptions& values, std::string settingsPath, QWidget* owner);

    QWidget* RoundRect1;
    QCheckBox* cbxDPIX;
    QSpinBox* sbDPI;
    QLabel* Text1;
    QWidget* RoundRect2;
    QLabel* Label2;
    QComboBox* cbxMenu;
    QWidget* RoundRect4;
    QLabel* Text3;
    QCheckBox* cbxAPS;
    QCheckBox* cbxUIDX;
    QCheckBox* cbxDSD;
    QCheckBox* cbxPM;
    QCheckBox* cbxDX9;
    QCheckBox* cbxSOT;
    QWidget* Rectangle2;
    QPushButton* Button3;
    QPushButton* Button2;

    void FormShow() override;
    void Button2Click();
    void Button3Click();

private:
    void createControls();

    PluginOptions& m_values;
    std::string m_settingsPath;
};

} // namespace k4m
