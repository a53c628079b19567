#pragma once

#include <QString>

class QLabel;

namespace k4m {

// The most characters a label or prompt shows of a text: far more than a prompt has room for, and still laid
// out in a moment (a megabyte on one line kept the window busy for minutes; 64 K characters without a break
// still take a good part of a second to wrap).
inline constexpr qsizetype kMaxShownText = 16 * 1024;

// `text`, cut to `limit` characters with "…" as the last one when it is longer.
QString boundedText(const QString& text, qsizetype limit = kMaxShownText);

// Makes a label show its texts as plain text: a server's, a file's or the user's text is never read as
// markup (which could load local files or links).
void showPlainText(QLabel* label);

// Sets a text from outside on a plain-text label, bounded.
void setShownText(QLabel* label, const QString& text);

} // namespace k4m
