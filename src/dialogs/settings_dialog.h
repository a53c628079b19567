#pragma once

#include <QDialog>

namespace k4m {

// The settings and support dialogs' common frame: modal, fixed, no border icons, filled by FormShow and centred
// on the owner before the window system first sees it, so it appears once, complete, where it belongs.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit SettingsDialog(QWidget* owner);

    virtual void FormShow() = 0;
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool m_shown = false;
};

} // namespace k4m
