#pragma once

#include "dialogs/answered_dialog.h"

class QLabel;
class QPushButton;
class QTextEdit;
class QWidget;

namespace k4m {

// The manager's own question and notice dialog: a title strip, the prompt, and one or two buttons. Enter
// (on release) answers with the first button, Escape with the second; it cannot be closed any other way.
class TModalForm : public AnsweredDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 439;
    static constexpr int kInitialHeight = 114;
    static constexpr int kHeaderHeight = 33;
    static constexpr int kButtonStripHeight = 57;
    static constexpr int kGrowthLimit = 450;

    explicit TModalForm(QWidget* owner);

    // Arranges the dialog for a prompt kind: 0 one button ("Acknowledge"), 1 two buttons ("Confirmation").
    void setUp(int id, const QString& title, const QString& prompt, const QString& b1, const QString& b2);

    QWidget* Rectangle1;
    QLabel* lHeader;
    QTextEdit* tPrompt;
    QWidget* Rectangle2;
    QPushButton* Button1;
    QPushButton* Button2;

    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void arrange();
    void growToFitPrompt();

    bool m_grown = false;
};

// Width of a button for its caption: 8 pixels a character, at least 80.
int promptButtonWidth(const QString& caption);

// Asks the user; 1 when the first button or Enter ended the dialog, 2 for the second button or Escape.
int ModalPrompt(QWidget* owner, int id, const QString& title, const QString& prompt, const QString& b1,
                const QString& b2);

} // namespace k4m
