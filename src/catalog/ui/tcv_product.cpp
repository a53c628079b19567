#include "catalog/ui/tcv_product.h"

#include "core/ui/shown_text.h"

#include <QComboBox>
#include <QLabel>
#include <QVariant>
#include <QWidget>

namespace k4m {

namespace {

constexpr int kRowWidth = 290;
constexpr int kRowHeight = 25;

QFont rowFont(bool bold) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(12); // 11.9
    font.setBold(bold);
    return font;
}

QLabel* rowLabel(QWidget* frame, const char* name, const QString& text, QPoint at, bool bold, const char* colour) {
    auto* label = new QLabel(frame);
    label->setObjectName(QString::fromLatin1(name));
    setShownText(label, text);
    label->setFont(rowFont(bold));
    label->setStyleSheet(QStringLiteral("background: transparent; border: none; color: %1;").arg(colour));
    label->move(at);
    label->adjustSize();
    return label;
}

QString fillOf(int mode) {
    auto gradient = [](const char* top, const char* bottom) {
        return QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)").arg(top, bottom);
    };
    switch (mode) {
    case 0:
        return QStringLiteral("#E0E0E0");
    case 1:
        return gradient("#E0FFE0", "#20FF20");
    case 2:
        return gradient("#FFFFFF", "#FFC0C0");
    case 3:
        return gradient("#FFFFFF", "#FC9CE4");
    case 4:
        return gradient("#FFFFC0", "#FF8080");
    default:
        return QString();
    }
}

} // namespace

void ColorRect(QWidget* frame, int mode) {
    if (frame == nullptr || mode == -1) return;
    QString fill = fillOf(mode);
    if (fill.isEmpty()) fill = frame->property("rowFill").toString();
    frame->setProperty("rowFill", fill);
    frame->setProperty("rowColour", mode);
    QString style = QStringLiteral("#%1 { border: 1px solid #808080; border-radius: 5px;").arg(frame->objectName());
    if (!fill.isEmpty()) style += QStringLiteral(" background: %1;").arg(fill);
    style += QStringLiteral(" }");
    // The installation driver colours every row five times a second; restyling costs a repolish.
    if (frame->styleSheet() != style) frame->setStyleSheet(style);
}

TcvProduct buildProductRow(QWidget* parent, const CatalogProduct& product, int index, QPoint at,
                           const std::optional<RowActions>& actions) {
    TcvProduct row;
    row.Panel = new QWidget(parent);
    row.Panel->setObjectName(QStringLiteral("Product%1").arg(index));
    row.Panel->setAttribute(Qt::WA_StyledBackground);
    row.Panel->setGeometry(at.x(), at.y(), kRowWidth, kRowHeight);
    ColorRect(row.Panel, 0);

    row.lName = rowLabel(row.Panel, "lName", QString::fromStdString(product.name), {8, 4}, true, "#606060");
    row.lName->resize(kRowWidth, row.lName->height());
    row.lInfo = rowLabel(row.Panel, "lInfo", QStringLiteral("..."), {160, 4}, false, "#000000");
    row.lInfo->hide();
    QLabel* badge = nullptr;
    if (product.newBadge > 0)
        badge = rowLabel(row.Panel, "lNew", QStringLiteral("NEW!"), {product.newBadge, 4}, true, "#800000");

    if (!actions) {
        rowLabel(row.Panel, "lStatusText", QString::fromStdString(product.status), {160, 4}, false, "#000000");
        row.Status = 0;
    } else {
        row.lSelect = new QComboBox(row.Panel);
        row.lSelect->setObjectName(QStringLiteral("lSelect"));
        row.lSelect->setGeometry(160, 4, 120, 16);
        row.lSelect->setProperty("tag", index);
        row.lSelect->setFont(rowFont(false));
        for (const std::string& item : actions->items)
            row.lSelect->addItem(QString::fromStdString(item));
        row.lSelect->setCurrentIndex(-1);
        row.Status = actions->status;
    }
    if (badge != nullptr) {
        // A badge placed over the action list stays in sight, and a click on it still opens the list.
        badge->setAttribute(Qt::WA_TransparentForMouseEvents);
        badge->raise();
    }
    row.Panel->show();
    return row;
}

} // namespace k4m
