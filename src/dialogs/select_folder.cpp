#include "dialogs/select_folder.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace k4m {

namespace {

// A folder that was typed but not created yet opens the picker where it would be.
QString nearestExistingFolder(const QString& folder) {
    QString candidate = QDir::cleanPath(QDir::fromNativeSeparators(folder));
    while (!QFileInfo(candidate).isDir()) {
        const QString above = QFileInfo(candidate).path();
        if (above == candidate) return {};
        candidate = above;
    }
    return candidate;
}

} // namespace

QString SelectFolder(QWidget* parent, const QString& startFolder, const QString& title) {
    QFileDialog picker(parent, title);
    picker.setObjectName(QStringLiteral("SelectFolder"));
    picker.setOption(QFileDialog::DontUseNativeDialog);
    picker.setFileMode(QFileDialog::Directory);
    picker.setOption(QFileDialog::ShowDirsOnly);
    picker.setAcceptMode(QFileDialog::AcceptOpen);
    picker.setLabelText(QFileDialog::Accept, QStringLiteral("Select"));
    if (!startFolder.isEmpty()) {
        const QString start = nearestExistingFolder(startFolder);
        if (!start.isEmpty()) picker.setDirectory(start);
    }
    if (picker.exec() != QDialog::Accepted) return {};
    const QStringList chosen = picker.selectedFiles();
    return chosen.isEmpty() ? QString() : QDir::toNativeSeparators(chosen.first());
}

} // namespace k4m
