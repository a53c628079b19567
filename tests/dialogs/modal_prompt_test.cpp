// The prompt dialog on real widgets (offscreen), answered the way a user answers it.
#include "core/ui/shown_text.h"
#include "dialogs/tmodalform.h"
#include "modal_answer.h"

#include <QApplication>
#include <QElapsedTimer>
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
    QRect geometry;      // of the prompt with its frame, on the screen
    QRect ownerGeometry; // of the window it belongs to, with its frame
    qint64 appearedAfterMs = 0;
};

Shown show(int id, const QString& prompt, const QString& b1, const QString& b2,
           const std::function<void(QWidget*)>& answer, QRect ownerGeometry = QRect(0, 0, 800, 600)) {
    Shown shown;
    QWidget owner;
    owner.setGeometry(ownerGeometry);
    owner.show();
    shown.ownerGeometry = owner.frameGeometry();
    QElapsedTimer clock;
    clock.start();
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
        shown.geometry = form->frameGeometry();
        shown.appearedAfterMs = clock.elapsed();
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
    const char* name;
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
                         testing::Values(KeyCase{"OneButtonReturn", 0, Qt::Key_Return, 1},
                                         KeyCase{"OneButtonEscape", 0, Qt::Key_Escape, 2},
                                         KeyCase{"TwoButtonsEnter", 1, Qt::Key_Enter, 1},
                                         KeyCase{"TwoButtonsEscape", 1, Qt::Key_Escape, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

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

struct ServerTextCase {
    const char* name;
    QString prompt;
    QString shown;
};

class ServerTextInPrompt : public testing::TestWithParam<ServerTextCase> {};

// A prompt shows what a server sent as it is: as plain text, and quickly whatever its size.
TEST_P(ServerTextInPrompt, IsShownAsPlainBoundedTextWithinASecond) {
    const Shown shown =
        show(0, GetParam().prompt, QStringLiteral("OK"), QString(), [](QWidget* d) { click(d, "Button1"); });
    EXPECT_EQ(shown.prompt, GetParam().shown);
    EXPECT_LT(shown.appearedAfterMs, 1000);
}

QString megabyteLine() {
    return QString(1024 * 1024, QLatin1Char('A'));
}

INSTANTIATE_TEST_SUITE_P(Texts, ServerTextInPrompt,
                         testing::Values(ServerTextCase{"Markup", QStringLiteral("<img src=\"/etc/hosts\"><b>Sale</b>"),
                                                        QStringLiteral("<img src=\"/etc/hosts\"><b>Sale</b>")},
                                         ServerTextCase{"MegabyteOnOneLine", megabyteLine(),
                                                        QString(k4m::kMaxShownText - 1, QLatin1Char('A')) +
                                                            QChar(0x2026)},
                                         ServerTextCase{"JustAtTheLimit", QString(k4m::kMaxShownText, QLatin1Char('B')),
                                                        QString(k4m::kMaxShownText, QLatin1Char('B'))}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ModalPrompt, IsCentredOnItsWindowWhateverTheSizes) {
    auto ok = [](QWidget* d) { click(d, "Button1"); };
    QStringList lines;
    for (int i = 0; i < 60; ++i)
        lines << QStringLiteral("Line %1").arg(i);
    struct Prompt {
        const char* name;
        QString text;
    };
    for (const QRect owner : {QRect(0, 0, 800, 600), QRect(230, 140, 800, 600), QRect(40, 300, 500, 260)}) {
        for (const Prompt& prompt :
             {Prompt{"OneLine", QStringLiteral("Short.")}, Prompt{"SixtyLines", lines.join(QLatin1Char('\n'))}}) {
            SCOPED_TRACE(QStringLiteral("owner at %1,%2 size %3x%4, prompt %5")
                             .arg(owner.x())
                             .arg(owner.y())
                             .arg(owner.width())
                             .arg(owner.height())
                             .arg(QLatin1String(prompt.name))
                             .toStdString());
            const Shown shown = show(0, prompt.text, QStringLiteral("OK"), QString(), ok, owner);
            EXPECT_LE((shown.geometry.center() - shown.ownerGeometry.center()).manhattanLength(), 2)
                << "prompt height " << shown.geometry.height();
        }
    }
}

TEST(ModalPrompt, CannotBeClosedMinimisedOrMaximisedFromTheTitleBar) {
    const Shown shown = show(0, QStringLiteral("x"), QStringLiteral("OK"), QString(), [](QWidget* d) {
        EXPECT_FALSE(d->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(d->windowFlags() & Qt::WindowMinimizeButtonHint);
        EXPECT_FALSE(d->windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_FALSE(d->close());
        EXPECT_TRUE(d->isVisible());
        click(d, "Button1");
    });
    EXPECT_EQ(shown.result, 1);
}

} // namespace
