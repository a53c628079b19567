#pragma once

#include "dialogs/settings_dialog.h"
#include "platform/platform.h"

#include <functional>
#include <string>

class QLabel;
class QPushButton;

namespace k4m {

// Helps the user ask for support: builds the support archive when shown, opens a prepared e-mail, offers the
// archive for dragging onto that e-mail, and names its path for attaching it by hand.
class TTechSupport : public SettingsDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 441;
    static constexpr int kHeight = 245;

    // `buildZip` makes the archive at `archivePath` and returns that path (throws on failure); `mailLink` may be
    // empty (no support address: the button opens nothing).
    TTechSupport(Platform& platform, std::function<std::string()> buildZip, std::string archivePath,
                 std::string mailLink, QWidget* owner);

    QPushButton* Button1;
    QWidget* RoundRect1;
    QLabel* Label1;
    QLabel* Label2;
    QWidget* Rectangle2;
    QPushButton* Button2;
    std::string LogZip;

    void FormShow() override;
    void Button1Click();
    void RoundRect1MouseDown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Platform& m_platform;
    std::function<std::string()> m_buildZip;
    std::string m_archivePath;
    std::string m_mailLink;
};

} // namespace k4m
