#include "core/ui/shown_text.h"

#include <QLabel>

namespace k4m {

QString boundedText(const QString& text, qsizetype limit) {
    if (text.size() <= limit || limit < 1) return text;
    qsizetype cut = limit - 1;
    // Never split a character made of two UTF-16 units.
    if (cut > 0 && text.at(cut - 1).isHighSurrogate()) --cut;
    return text.left(cut) + QChar(0x2026);
}

void showPlainText(QLabel* label) {
    label->setTextFormat(Qt::PlainText);
    label->setOpenExternalLinks(false);
}

void setShownText(QLabel* label, const QString& text) {
    showPlainText(label);
    label->setText(boundedText(text));
}

} // namespace k4m
