// The product rows on real widgets (offscreen).
#include "catalog/ui/tcv_product.h"

#include <QColor>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

k4m::CatalogProduct product(const char* name, const char* status, int newBadge = 0) {
    k4m::CatalogProduct p;
    p.id = "P";
    p.name = name;
    p.status = status;
    p.newBadge = newBadge;
    return p;
}

TEST(ProductRow, InstallableRowHasItsNameBadgeAndActionList) {
    QWidget window;
    window.resize(800, 600);
    const auto actions = k4m::rowActions(k4m::ProductState::UpdateAvailable, false, false);
    const k4m::TcvProduct row =
        k4m::buildProductRow(&window, product("Kandoro 4", "OK", 200), 3, QPoint(10, 258), actions);
    ASSERT_NE(row.Panel, nullptr);
    EXPECT_EQ(row.Panel->geometry(), QRect(10, 258, 290, 25));
    EXPECT_EQ(row.lName->text(), "Kandoro 4");
    EXPECT_EQ(row.lName->pos(), QPoint(8, 4));
    EXPECT_TRUE(row.lName->font().bold());
    EXPECT_FALSE(row.lInfo->isVisibleTo(row.Panel));
    EXPECT_EQ(row.lInfo->pos(), QPoint(160, 4));
    EXPECT_EQ(row.lInfo->text(), "...");
    const auto* badge = row.Panel->findChild<QLabel*>("lNew");
    ASSERT_NE(badge, nullptr);
    EXPECT_EQ(badge->text(), "NEW!");
    EXPECT_EQ(badge->pos(), QPoint(200, 4));
    ASSERT_NE(row.lSelect, nullptr);
    EXPECT_EQ(row.lSelect->geometry(), QRect(160, 4, 120, 16));
    EXPECT_EQ(row.lSelect->property("tag").toInt(), 3);
    ASSERT_EQ(row.lSelect->count(), 2);
    EXPECT_EQ(row.lSelect->itemText(0), "UPDATE");
    EXPECT_EQ(row.lSelect->itemText(1), "SKIP");
    EXPECT_EQ(row.Status, 2);
    EXPECT_EQ(row.Panel->property("rowColour").toInt(), 0); // grey until its first action
}

TEST(ProductRow, RowThatCannotBeInstalledShowsTheServersStatusAsText) {
    QWidget window;
    const k4m::TcvProduct row =
        k4m::buildProductRow(&window, product("<b>Latin</b>", "<i>Not available yet</i>"), 0, QPoint(10, 168), {});
    EXPECT_EQ(row.lSelect, nullptr);
    EXPECT_EQ(row.Status, 0);
    EXPECT_EQ(row.lName->text(), "<b>Latin</b>");
    EXPECT_EQ(row.lName->textFormat(), Qt::PlainText);
    const auto* status = row.Panel->findChild<QLabel*>("lStatusText");
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(), "<i>Not available yet</i>");
    EXPECT_EQ(status->pos(), QPoint(160, 4));
    EXPECT_EQ(row.Panel->findChild<QLabel*>("lNew"), nullptr);
}

TEST(ProductRow, ABadgeOverTheActionListIsSeenAndLetsClicksThrough) {
    QWidget window;
    window.resize(800, 600);
    const k4m::TcvProduct row = k4m::buildProductRow(&window, product("Latin", "OK", 200), 2, QPoint(10, 228),
                                                     k4m::rowActions(k4m::ProductState::NotInstalled, false, false));
    const auto* badge = row.Panel->findChild<QLabel*>("lNew");
    ASSERT_NE(badge, nullptr);
    ASSERT_TRUE(row.lSelect->geometry().intersects(badge->geometry()));
    // Its dark red letters are drawn, not covered by the list.
    const QImage shown = row.Panel->grab().toImage();
    int badgePixels = 0;
    for (int y = badge->y(); y < badge->y() + badge->height() && y < shown.height(); ++y) {
        for (int x = badge->x(); x < badge->x() + badge->width() && x < shown.width(); ++x) {
            const QColor c = shown.pixelColor(x, y);
            if (c.red() > 0x60 && c.red() < 0xA0 && c.green() < 0x30 && c.blue() < 0x30) ++badgePixels;
        }
    }
    EXPECT_GT(badgePixels, 10);
    // A click there reaches the list.
    const QPoint onBoth = badge->geometry().center();
    const QWidget* clicked = row.Panel->childAt(onBoth);
    EXPECT_TRUE(clicked == row.lSelect || row.lSelect->isAncestorOf(clicked));
}

struct ColourCase {
    const char* name;
    int mode;
    const char* fillPart; // found in the frame's style; nullptr: the style is unchanged
};

class RowColours : public testing::TestWithParam<ColourCase> {};

TEST_P(RowColours, EachModeHasItsFillAndTheGreyStroke) {
    QWidget window;
    const k4m::TcvProduct row = k4m::buildProductRow(&window, product("Kit", "OK"), 1, QPoint(10, 198),
                                                     k4m::rowActions(k4m::ProductState::NotInstalled, false, false));
    k4m::ColorRect(row.Panel, 2); // pale red before the change
    const QString before = row.Panel->styleSheet();
    k4m::ColorRect(row.Panel, GetParam().mode);
    const QString style = row.Panel->styleSheet();
    if (GetParam().fillPart == nullptr) {
        EXPECT_EQ(style, before);
        return;
    }
    EXPECT_TRUE(style.contains("border: 1px solid #808080")) << style.toStdString();
    EXPECT_TRUE(style.contains(QString::fromLatin1(GetParam().fillPart))) << style.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Modes, RowColours,
                         testing::Values(ColourCase{"Unchanged", -1, nullptr}, ColourCase{"Grey", 0, "#E0E0E0"},
                                         ColourCase{"Green", 1, "stop:0 #E0FFE0, stop:1 #20FF20"},
                                         ColourCase{"PaleRed", 2, "stop:0 #FFFFFF, stop:1 #FFC0C0"},
                                         ColourCase{"Pink", 3, "stop:0 #FFFFFF, stop:1 #FC9CE4"},
                                         ColourCase{"YellowToRed", 4, "stop:0 #FFFFC0, stop:1 #FF8080"},
                                         // Any other mode sets the stroke and keeps the fill it had.
                                         ColourCase{"OtherKeepsTheFill", 9, "stop:0 #FFFFFF, stop:1 #FFC0C0"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
