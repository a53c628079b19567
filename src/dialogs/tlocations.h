#pragma once

#include "core/folder_set.h"
#include "core/ini_file.h"
#include "core/install_options.h"
#include "platform/platform.h"

#include <QDialog>
#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace k4m {

// What the installation options dialog works on: the opener's settings, held by reference, and the opener's
// reactions.
class TLocations;

struct TLocationsContext {
    Platform& platform;
    IniFile& profile;         // the manager profile, writing through
    const FolderSet& folders; // Pro Tools plug-in folder, plug-in settings file
    CurrentOptions current;   // the options held in memory, updated by OK
    std::string kd3DataFolder;
    bool offlineMode = false;
    bool& reinstallNeeded;                 // cleared by every OK
    std::function<void()> hideBulkButtons; // OK with offline package creation on hides the all-rows buttons
    // Run by an accepted OK in change mode only, after everything was saved and before the dialog closes.
    std::function<void(const OptionsChange&, TLocations&)> changeModeActions;
};

// The installation options dialog: data folder, offline package creation, interface scale, plug-in formats
// and their folders, beta versions. Controls carry their design names as object names.
class TLocations : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 564;

    TLocations(TLocationsContext context, QWidget* owner);

    // Values at opening.
    std::string OldData;
    std::string OldVST32;
    std::string OldVST64;
    bool OldAIOnly = false;
    bool OldBeta = false;
    // Opened from the "Install Options" button rather than by Connect.
    bool ChangeMode = false;

    // Groups, top to bottom.
    QWidget* RoundRect4; // data
    QLabel* Label4;
    QLineEdit* eData;
    QPushButton* bData;
    QCheckBox* cbxUseKD3;
    QCheckBox* cbxAIOnly;
    QLabel* Text3;
    QCheckBox* cbxOffline;
    QWidget* RoundRect6; // interface scale
    QLabel* Label2;
    QComboBox* cbxSize;
    QLabel* Text4;
    QLabel* lOffline;
    QWidget* RoundRect2; // 64-bit VST
    QCheckBox* cbxVST64;
    QLabel* lVST64;
    QLineEdit* eVST64;
    QPushButton* bVST64;
    QCheckBox* cbxVST2;
    QCheckBox* cbxVST3;
    QLabel* Text2;
    QWidget* RoundRect1; // 32-bit VST
    QCheckBox* cbxVST32;
    QLabel* lVST32;
    QLineEdit* eVST32;
    QPushButton* bVST32;
    QLabel* Text1;
    QWidget* RoundRect3; // AAX
    QCheckBox* cbxAAX;
    QLabel* lAAX;
    QWidget* RoundRect5; // beta versions
    QCheckBox* cbxBeta;
    QLabel* Label1;
    QWidget* Rectangle2;  // bottom bar
    QPushButton* Button3; // Cancel
    QPushButton* Button2; // OK
    QLabel* lProgress;    // how far a long task of OK is; hidden otherwise

    // Handlers.
    void FormShow();
    void cbxOfflineChange();
    void Button2Click();
    void Button3Click();
    void bDataClick();
    void bVST64Click();
    void bVST32Click();

    // What the controls hold now.
    OptionsEntries entries() const;

    void setVisible(bool visible) override;

    // While busy, OK's own long task runs: the buttons are off and the dialog cannot be closed. The progress
    // line appears with the task and keeps its last text.
    void setBusy(bool busy);
    void showProgress(const QString& text);
    // A plain message with an OK button.
    void showNotice(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    OptionsFacts facts() const;
    void selectFolderInto(QLineEdit* edit, const QString& title);
    void showMessage(const OptionsProblem& problem);
    void setFormatGroupsVisible(bool visible);

    TLocationsContext m_context;
    bool m_shown = false;
    bool m_busy = false;
};

} // namespace k4m
