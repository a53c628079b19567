// What every window shares: plain, bounded texts and the busy cursor.
#include "core/ui/busy_cursor.h"
#include "core/ui/input_blocker.h"
#include "core/ui/shown_text.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct BoundCase {
    const char* name;
    QString text;
    qsizetype limit;
    QString expected;
};

class BoundedText : public testing::TestWithParam<BoundCase> {};

TEST_P(BoundedText, CutsLongTextsWithAnEllipsis) {
    EXPECT_EQ(k4m::boundedText(GetParam().text, GetParam().limit), GetParam().expected);
}

const QString kEllipsis = QString(QChar(0x2026));
// U+1F941 (a drum) is two UTF-16 units.
const QString kDrum = QString::fromUtf8("\xF0\x9F\xA5\x81");

INSTANTIATE_TEST_SUITE_P(
    Texts, BoundedText,
    testing::Values(BoundCase{"Short", QStringLiteral("OK"), 5, QStringLiteral("OK")},
                    BoundCase{"ExactlyTheLimit", QStringLiteral("12345"), 5, QStringLiteral("12345")},
                    BoundCase{"OneOver", QStringLiteral("123456"), 5, QStringLiteral("1234") + kEllipsis},
                    BoundCase{"NeverHalfACharacter", QStringLiteral("abc") + kDrum + QStringLiteral("xyz"), 5,
                              QStringLiteral("abc") + kEllipsis}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ShownText, MarkupInALabelStaysText) {
    QLabel label;
    k4m::setShownText(&label, QStringLiteral("<img src=\"/etc/hosts\"> <a href=\"file:///\">x</a>"));
    EXPECT_EQ(label.textFormat(), Qt::PlainText);
    EXPECT_EQ(label.text(), QStringLiteral("<img src=\"/etc/hosts\"> <a href=\"file:///\">x</a>"));
    EXPECT_FALSE(label.openExternalLinks());
}

TEST(UserInputBlocker, KeepsClicksAndKeysFromEveryWindowWhileItLives) {
    QPushButton button(QStringLiteral("Connect"));
    QLineEdit edit;
    button.show();
    edit.show();
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
    {
        k4m::UserInputBlocker blocker;
        QTest::mouseClick(&button, Qt::LeftButton);
        QTest::keyClicks(&edit, QStringLiteral("typed"));
        EXPECT_EQ(clicks, 0);
        EXPECT_EQ(edit.text(), QString());
    }
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::keyClicks(&edit, QStringLiteral("typed"));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(edit.text(), QStringLiteral("typed"));
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
