#pragma once

#include <QRect>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace k4m::controls {

// Small builders for the options dialogs' controls, each named after its design name.
QWidget* panel(QWidget* parent, const char* name, QRect geometry); // a styled (rounded) panel
QLabel* label(QWidget* parent, const char* name, const QString& text, QRect geometry, bool wrap = false);
QCheckBox* checkBox(QWidget* parent, const char* name, const QString& text, QRect geometry);
QLineEdit* edit(QWidget* parent, const char* name, QRect geometry);
QPushButton* button(QWidget* parent, const char* name, const QString& text, QRect geometry);

// The options dialogs' common look: beige background, rounded grey panels named in `panels`, the bottom bar
// `Rectangle2`, Tahoma labels and check boxes. `dialog` is the dialog's object name; `extra` adds rules.
QString dialogStyle(const char* dialog, const char* panels, const char* extra);

} // namespace k4m::controls
