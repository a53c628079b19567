#include "dialogs/dialog_controls.h"

#include "core/ui/shown_text.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace k4m::controls {

namespace {

template <typename T> T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

QWidget* panel(QWidget* parent, const char* name, QRect geometry) {
    auto* p = named(new QWidget(parent), name);
    p->setAttribute(Qt::WA_StyledBackground);
    p->setGeometry(geometry);
    return p;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, QRect geometry, bool wrap) {
    auto* l = named(new QLabel(parent), name);
    showPlainText(l);
    l->setText(text);
    l->setGeometry(geometry);
    l->setWordWrap(wrap);
    return l;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* box = named(new QCheckBox(text, parent), name);
    box->setGeometry(geometry);
    return box;
}

QLineEdit* edit(QWidget* parent, const char* name, QRect geometry) {
    auto* e = named(new QLineEdit(parent), name);
    e->setGeometry(geometry);
    return e;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* b = named(new QPushButton(text, parent), name);
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    return b;
}

QString dialogStyle(const char* dialog, const char* panels, const char* extra) {
    // The dialog's own sheet, so that the main window's rules for names it shares with a dialog (Rectangle2,
    // lOffline) do not reach it.
    return QStringLiteral("#%1 { background: #EAE3D9; }\n"
                          "%2 {\n"
                          "    border: 1px solid #9C9C9C;\n"
                          "    border-radius: 8px;\n"
                          "    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #F8F8F8, stop:1 #CDCDCD);\n"
                          "}\n"
                          "#Rectangle2 {\n"
                          "    border-top: 1px solid #9C9C9C;\n"
                          "    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #E2E2E2, stop:1 #B5B5B5);\n"
                          "}\n"
                          "QLabel { font-family: Tahoma; font-size: 11px; color: #202020; background: transparent; }\n"
                          "QLabel:disabled { color: #8C8C8C; }\n"
                          "QCheckBox { font-family: Tahoma; font-size: 12px; color: #202020; }\n")
               .arg(QString::fromLatin1(dialog), QString::fromLatin1(panels)) +
           QString::fromLatin1(extra);
}

} // namespace k4m::controls
