#include "dialogs/settings_dialog.h"

#include "core/ui/window_frame.h"

namespace k4m {

SettingsDialog::SettingsDialog(QWidget* owner) : QDialog(owner) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
}

void SettingsDialog::setVisible(bool visible) {
    if (visible && !m_shown) {
        m_shown = true;
        FormShow();
        centreOnOwner(this);
        askForTitleOnlyFrame(this);
    }
    QDialog::setVisible(visible);
}

void SettingsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Now the frames are known: centre once more, frame on frame.
    centreOnOwner(this);
}

} // namespace k4m
