// The prompt dialog on real widgets (offscreen), answered the way a user answers it.
#include "core/ui/busy_cursor.h"
#include "dialogs/tmodalform.h"
#include "modal_answer.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using k4m::TModalForm;

// Opens a prompt and, while it is shown, records its layout and answers it with `answer`.
struct Shown {
    int result = 0;
    QString caption, header, prompt;
    QSize size;
    QRect button1, button2;
    bool button2Visible = true;
    QString button1Text;
    int stripWidth = 0;
};

Shown show(int id, const QString& prompt, const QString& b1, const QString& b2,
           const std::function<void(QWidget*)>& answer) {
    Shown shown;
    QWidget owner;
    owner.resize(800, 600);
    owner.show();
    const auto seen = k4m::test::answerNextModal([&](QWidget* dialog) {
        auto* form = qobject_cast<TModalForm*>(dialog);
        ASSERT_NE(form, nullptr);
        shown.caption = form->windowTitle();
        shown.header = form->lHeader->text();
        shown.prompt = form->tPrompt->toPlainText();
        shown.size = form->size();
        shown.button1 = form->Button1->geometry();
        shown.button2 = form->Button2->geometry();
        shown.button2Visible = form->Button2->isVisible();
        shown.button1Text = form->Button1->text();
        shown.stripWidth = form->Rectangle2->width();
        answer(dialog);
    });
    shown.result = k4m::ModalPrompt(&owner, id, QStringLiteral("Title"), prompt, b1, b2);
    EXPECT_TRUE(seen->seen);
    return shown;
}

void click(QWidget* dialog, const char* name) {
    QTest::mouseClick(dialog->findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
}

void key(QWidget* dialog, Qt::Key k) {
    QTest::keyPress(dialog, k);
    // The press alone does not answer.
    EXPECT_TRUE(dialog->isVisible());
    QTest::keyRelease(dialog, k);
}

TEST(ModalPrompt, OneButtonKindAcknowledgesWithACentredButton) {
    const Shown shown =
        show(0, QStringLiteral("Done."), QStringLiteral("OK"), QString(), [](QWidget* d) { click(d, "Button1"); });
    EXPECT_EQ(shown.result, 1);
    EXPECT_EQ(shown.caption, "Acknowledge");
    EXPECT_EQ(shown.header, "Title");
    EXPECT_EQ(shown.prompt, "Done.");
    EXPECT_EQ(shown.button1Text, "OK");
    EXPECT_FALSE(shown.button2Visible);
    EXPECT_EQ(shown.button1.width(), 80);
    EXPECT_EQ(shown.button1.left() + shown.button1.width() / 2, shown.stripWidth / 2);
}

struct KeyCase {
    int id;
    Qt::Key key;
    int expected;
};

class PromptKeys : public testing::TestWithParam<KeyCase> {};

TEST_P(PromptKeys, EnterAnswersFirstEscapeSecondOnRelease) {
    const Shown shown = show(GetParam().id, QStringLiteral("Really?"), QStringLiteral("YES"), QStringLiteral("NO"),
                             [](QWidget* d) { key(d, GetParam().key); });
    EXPECT_EQ(shown.result, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Keys, PromptKeys,
                         testing::Values(KeyCase{0, Qt::Key_Return, 1}, KeyCase{0, Qt::Key_Escape, 2},
                                         KeyCase{1, Qt::Key_Enter, 1}, KeyCase{1, Qt::Key_Escape, 2}));

TEST(ModalPrompt, TwoButtonKindPlacesYesAtTwentyAndNoTwentyFromTheRight) {
    const Shown shown = show(1, QStringLiteral("Install now?"), QStringLiteral("YES"), QStringLiteral("NO"),
                             [](QWidget* d) { click(d, "Button2"); });
    EXPECT_EQ(shown.result, 2);
    EXPECT_EQ(shown.caption, "Confirmation");
    EXPECT_EQ(shown.button1.left(), 20);
    EXPECT_TRUE(shown.button2Visible);
    EXPECT_EQ(shown.stripWidth - (shown.button2.left() + shown.button2.width()), 20);
    EXPECT_EQ(shown.button2.width(), 80);
}

TEST(ModalPrompt, ButtonWidthIsEightPixelsACharacterAtLeastEighty) {
    EXPECT_EQ(k4m::promptButtonWidth(""), 80);
    EXPECT_EQ(k4m::promptButtonWidth("OK"), 80);
    EXPECT_EQ(k4m::promptButtonWidth("Yes, auto-update"), 128);
    EXPECT_EQ(k4m::promptButtonWidth(QString(20, QLatin1Char('x'))), 160);
    const Shown shown = show(1, QStringLiteral("?"), QString(20, QLatin1Char('x')), QStringLiteral("No"),
                             [](QWidget* d) { click(d, "Button1"); });
    EXPECT_EQ(shown.button1.width(), 160);
}

TEST(ModalPrompt, GrowsInStepsOfTwentyUntilPast450ThenTenMore) {
    auto ok = [](QWidget* d) { click(d, "Button1"); };
    const Shown oneLine = show(0, QStringLiteral("Short."), QStringLiteral("OK"), QString(), ok);
    EXPECT_EQ(oneLine.size, QSize(TModalForm::kWidth, TModalForm::kInitialHeight + 10));

    QStringList lines;
    for (int i = 0; i < 60; ++i)
        lines << QStringLiteral("Line %1 of a very long message").arg(i);
    const Shown many = show(0, lines.join(QLatin1Char('\n')), QStringLiteral("OK"), QString(), ok);
    EXPECT_EQ(many.size.height(), TModalForm::kInitialHeight + 17 * 20 + 10); // 454 has passed 450

    const Shown some = show(0, QStringLiteral("one\ntwo\nthree\nfour"), QStringLiteral("OK"), QString(), ok);
    EXPECT_GT(some.size.height(), oneLine.size.height());
    EXPECT_LT(some.size.height(), 450);
    EXPECT_EQ((some.size.height() - 10 - TModalForm::kInitialHeight) % 20, 0);
}

TEST(ModalPrompt, CannotBeClosedFromTheTitleBar) {
    const Shown shown = show(0, QStringLiteral("x"), QStringLiteral("OK"), QString(), [](QWidget* d) {
        EXPECT_FALSE(d->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(d->close());
        EXPECT_TRUE(d->isVisible());
        click(d, "Button1");
    });
    EXPECT_EQ(shown.result, 1);
}

TEST(BusyCursor, OneShowsTheHourglassZeroTheArrowOthersNothing) {
    k4m::BusyCursor(1);
    k4m::BusyCursor(1);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    k4m::BusyCursor(7);
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    k4m::BusyCursor(0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
