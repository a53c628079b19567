#pragma once

#include "dialogs/answered_dialog.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace k4m {

// The licence agreement, asked once before the first installation: borderless, centred on the screen, the
// licence in a read-only memo. "I Agree" or Enter ends it with 1, "Cancel Installation" or Escape with 2.
class TLicenseForm : public AnsweredDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 782;
    static constexpr int kHeight = 480;

    explicit TLicenseForm(QWidget* owner);

    // Shows `text` instead of the built-in licence.
    void replaceText(const QString& text);
    static QString builtInText();

    QLabel* lTitle;
    QPlainTextEdit* mLicense;
    QPushButton* bCancel;
    QPushButton* bAgree;

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace k4m
