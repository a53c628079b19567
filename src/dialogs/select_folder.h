#pragma once

#include <QString>

class QWidget;

namespace k4m {

// Asks the user for a folder with a folder picker titled `title`, opening at `startFolder` (or the nearest
// folder above it that exists; the picker's own choice when it is empty), with the accept button "Select".
// The chosen folder with native separators, or an empty text when the user cancelled. Qt's own picker is
// used on every system, so it looks and behaves the same everywhere.
QString SelectFolder(QWidget* parent, const QString& startFolder, const QString& title);

} // namespace k4m
