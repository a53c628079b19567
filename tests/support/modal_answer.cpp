#include "modal_answer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

namespace k4m::test {

namespace {

QString plain(QString text) {
    return text.remove(QLatin1Char('&'));
}

void record(QWidget* dialog, ModalSeen& seen) {
    seen.seen = true;
    seen.title = dialog->windowTitle();
    if (auto* header = dialog->findChild<QLabel*>(QStringLiteral("lHeader"))) seen.header = header->text();
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
        seen.text = box->text();
    } else if (auto* prompt = dialog->findChild<QTextEdit*>(QStringLiteral("tPrompt"))) {
        seen.text = prompt->toPlainText();
    } else {
        QStringList texts;
        for (auto* label : dialog->findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) texts << label->text();
        }
        seen.text = texts.join(QLatin1Char('\n'));
    }
    for (auto* button : dialog->findChildren<QAbstractButton*>())
        seen.buttons << plain(button->text());
}

} // namespace

std::shared_ptr<ModalSeen> answerNextModal(std::function<void(QWidget*)> answer, int timeoutMs) {
    return answerNextModalWhere([](QWidget*) { return true; }, std::move(answer), timeoutMs);
}

std::shared_ptr<ModalSeen> answerNextModalWhere(std::function<bool(QWidget*)> wanted,
                                                std::function<void(QWidget*)> answer, int timeoutMs) {
    auto seen = std::make_shared<ModalSeen>();
    auto* timer = new QTimer(qApp);
    timer->setObjectName(QStringLiteral("k4mModalWatcher"));
    auto remaining = std::make_shared<int>(timeoutMs / 10);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, seen, remaining, wanted, answer] {
        if (seen->stop) {
            timer->stop();
            timer->deleteLater();
            return;
        }
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog == nullptr || !dialog->isVisible() || !wanted(dialog)) {
            if (--*remaining <= 0) timer->deleteLater();
            return;
        }
        timer->stop();
        timer->deleteLater();
        record(dialog, *seen);
        answer(dialog);
    });
    timer->start();
    return seen;
}

void stopAllModalWatchers() {
    for (QTimer* timer : qApp->findChildren<QTimer*>(QStringLiteral("k4mModalWatcher"), Qt::FindDirectChildrenOnly)) {
        timer->stop();
        timer->deleteLater();
    }
}

void clickButton(QWidget* dialog, const QString& buttonText) {
    for (auto* button : dialog->findChildren<QAbstractButton*>()) {
        if (plain(button->text()) == buttonText) {
            QTest::mouseClick(button, Qt::LeftButton);
            return;
        }
    }
    ADD_FAILURE() << "the dialog has no button " << buttonText.toStdString();
    dialog->close();
}

std::shared_ptr<ModalSeen> clickOnNextModal(const QString& buttonText, int timeoutMs) {
    return answerNextModal([buttonText](QWidget* dialog) { clickButton(dialog, buttonText); }, timeoutMs);
}

} // namespace k4m::test
