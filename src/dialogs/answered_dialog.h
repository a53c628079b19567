#pragma once

#include <QDialog>

namespace k4m {

// A dialog that is answered, never just closed: its buttons call answer(); Enter answers 1 and Escape 2, on
// the key's release (so the release never reaches the window beneath). Watch child widgets that take the focus
// with installEventFilter(this) so the two keys work wherever the focus is.
class AnsweredDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

protected:
    void answer(int result);
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    bool handleKey(QKeyEvent* event, bool released);

    bool m_answering = false;
};

} // namespace k4m
