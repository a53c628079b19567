#include "app/ui/home_picture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace k4m {

namespace {

// A drum seen slightly from above: a shell with a lighter head on top.
void drawDrum(QPainter& p, QPointF centre, double width, double depth, QColor shell) {
    const double headHeight = width * 0.28;
    QRectF top(centre.x() - width / 2, centre.y() - headHeight / 2, width, headHeight);
    QRectF bottom = top.translated(0, depth);
    QPainterPath body;
    body.moveTo(top.left(), top.center().y());
    body.lineTo(bottom.left(), bottom.center().y());
    body.arcTo(bottom, 180, 180);
    body.lineTo(top.right(), top.center().y());
    body.closeSubpath();
    QLinearGradient shade(top.left(), 0, top.right(), 0);
    shade.setColorAt(0, shell.darker(170));
    shade.setColorAt(0.45, shell.lighter(120));
    shade.setColorAt(1, shell.darker(200));
    p.setPen(Qt::NoPen);
    p.setBrush(shade);
    p.drawPath(body);
    QRadialGradient head(top.center(), width / 2);
    head.setColorAt(0, QColor(0xF4, 0xEF, 0xE6));
    head.setColorAt(1, QColor(0xC9, 0xBF, 0xB0));
    p.setBrush(head);
    p.setPen(QPen(QColor(0x50, 0x50, 0x50), width / 60));
    p.drawEllipse(top);
}

void drawCymbal(QPainter& p, QPointF centre, double width) {
    QRadialGradient bronze(centre, width / 2);
    bronze.setColorAt(0, QColor(0xF2, 0xD0, 0x7A));
    bronze.setColorAt(0.7, QColor(0xC8, 0x94, 0x3A));
    bronze.setColorAt(1, QColor(0x8A, 0x5E, 0x1E));
    p.setPen(Qt::NoPen);
    p.setBrush(bronze);
    p.drawEllipse(QRectF(centre.x() - width / 2, centre.y() - width * 0.09, width, width * 0.18));
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 6));
    p.drawLine(centre, centre + QPointF(0, 330));
}

} // namespace

QImage builtInHomePicture() {
    QImage image(1600, 844, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, 844);
    sky.setColorAt(0, QColor(0x1B, 0x16, 0x12));
    sky.setColorAt(0.6, QColor(0x4A, 0x3B, 0x2C));
    sky.setColorAt(1, QColor(0xC1, 0xAF, 0x95));
    p.fillRect(image.rect(), sky);

    // A stage light from above.
    QRadialGradient light(QPointF(1060, 120), 720);
    light.setColorAt(0, QColor(255, 236, 200, 120));
    light.setColorAt(1, QColor(255, 236, 200, 0));
    p.fillRect(image.rect(), light);

    drawCymbal(p, QPointF(760, 300), 300);
    drawCymbal(p, QPointF(1400, 280), 340);
    drawDrum(p, QPointF(1060, 620), 420, 150, QColor(0x8E, 0x1B, 0x1B)); // bass drum
    drawDrum(p, QPointF(930, 420), 190, 110, QColor(0x8E, 0x1B, 0x1B));
    drawDrum(p, QPointF(1170, 410), 210, 120, QColor(0x8E, 0x1B, 0x1B));
    drawDrum(p, QPointF(1360, 600), 250, 170, QColor(0x8E, 0x1B, 0x1B)); // floor tom
    drawDrum(p, QPointF(800, 610), 230, 90, QColor(0xB8, 0xB8, 0xB8));   // snare

    QFont title(QStringLiteral("Tahoma"));
    title.setPixelSize(118);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0xEA, 0xE3, 0xD9));
    p.drawText(QRectF(70, 90, 900, 140), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("KANDORO 4"));
    QFont subtitle(QStringLiteral("Tahoma"));
    subtitle.setPixelSize(40);
    p.setFont(subtitle);
    p.setPen(QColor(0xC1, 0xAF, 0x95));
    p.drawText(QRectF(76, 220, 900, 60), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Your drummer, in every song."));
    return image;
}

} // namespace k4m
