#include "app/tformd.h"

#include <QLabel>
#include <QVBoxLayout>

namespace k4m {

TformD::TformD(Platform& platform, bool embedded, QWidget* parent)
    : QWidget(parent), m_platform(platform), m_embedded(embedded) {
    setObjectName(QStringLiteral("formD"));
    setWindowTitle(QStringLiteral("Kandoro Manager"));
    setFixedSize(800, 600);
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("KANDORO 4 MANAGER"), this);
    title->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(title, 0, Qt::AlignCenter);
}

} // namespace k4m
