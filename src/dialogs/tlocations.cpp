// The installation options dialog's handlers; what they decide lives in core/install_options.
#include "dialogs/tlocations.h"

#include "core/ui/window_frame.h"
#include "dialogs/select_folder.h"
#include "platform/utf8_path.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <filesystem>

namespace k4m {

namespace {

void setBox(QCheckBox* box, const BoxState& state) {
    box->setChecked(state.checked);
    box->setEnabled(state.enabled);
}

bool pathExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::exists(pathFromUtf8(path), ec);
}

} // namespace

TLocations::TLocations(TLocationsContext context, QWidget* owner) : QDialog(owner), m_context(std::move(context)) {
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    createControls();
}

void TLocations::setVisible(bool visible) {
    // Filled and placed before the window system sees it, so it appears once, complete, where it belongs.
    if (visible && !m_shown) {
        m_shown = true;
        FormShow();
        centreOnOwner(this);
    }
    QDialog::setVisible(visible);
}

void TLocations::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Now the frames are known: centre once more, frame on frame.
    centreOnOwner(this);
}

bool TLocations::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        QCheckBox* box = watched == lVST64   ? cbxVST64
                         : watched == lVST32 ? cbxVST32
                         : watched == lAAX   ? cbxAAX
                         : watched == Label1 ? cbxBeta
                                             : nullptr;
        if (box != nullptr && box->isEnabled()) box->toggle();
    }
    return QDialog::eventFilter(watched, event);
}

OptionsFacts TLocations::facts() const {
    return {m_context.offlineMode, m_context.platform.is64BitSystem(), pathExists(m_context.folders.proToolsFolder),
            m_context.kd3DataFolder};
}

void TLocations::FormShow() {
    const OptionsInitialState s = initialOptions(m_context.profile, m_context.current, facts());

    // The offline box's own handler would run at every change; the visibility is set once, below.
    const QSignalBlocker quiet(cbxOffline);
    OldData = s.oldData;
    bData->setEnabled(s.dataEditable);
    eData->setEnabled(s.dataEditable);
    eData->setText(QString::fromStdString(s.oldData));
    setBox(cbxUseKD3, s.useKD3);
    setBox(cbxOffline, s.offline);
    cbxOffline->setVisible(s.offlineBoxVisible);
    setBox(cbxBeta, s.beta);
    cbxSize->setCurrentIndex(s.scaleIndex);
    cbxVST2->setVisible(false);
    cbxVST3->setVisible(false);
    lOffline->setVisible(s.offlineHintVisible);

    setBox(cbxVST64, s.vst64);
    setBox(cbxVST2, s.vst2);
    setBox(cbxVST3, s.vst3);
    setBox(cbxVST32, s.vst32);
    setBox(cbxAAX, s.aax);
    setBox(cbxAIOnly, s.aiOnly);
    for (QWidget* w : std::initializer_list<QWidget*>{eVST64, bVST64, lVST64})
        w->setEnabled(s.vst64.enabled);
    for (QWidget* w : std::initializer_list<QWidget*>{eVST32, bVST32, lVST32})
        w->setEnabled(s.vst32.enabled);
    lAAX->setEnabled(s.aax.enabled);

    setFormatGroupsVisible(s.formatGroupsVisible);

    OldBeta = cbxBeta->isChecked();
    OldAIOnly = cbxAIOnly->isChecked();
    OldVST64 = s.vst64Folder;
    OldVST32 = s.vst32Folder;
    eVST64->setText(QString::fromStdString(s.vst64Folder));
    eVST32->setText(QString::fromStdString(s.vst32Folder));
}

void TLocations::setFormatGroupsVisible(bool visible) {
    for (QWidget* panel : {RoundRect1, RoundRect2, RoundRect3, RoundRect6})
        panel->setVisible(visible);
}

void TLocations::cbxOfflineChange() {
    setFormatGroupsVisible(!cbxOffline->isChecked());
    lOffline->setVisible(cbxOffline->isChecked());
}

OptionsEntries TLocations::entries() const {
    OptionsEntries e;
    e.dataFolder = eData->text().toStdString();
    e.vst64Folder = eVST64->text().toStdString();
    e.vst32Folder = eVST32->text().toStdString();
    e.vst64 = cbxVST64->isChecked();
    e.vst2 = cbxVST2->isChecked();
    e.vst3 = cbxVST3->isChecked();
    e.vst32 = cbxVST32->isChecked();
    e.aax = cbxAAX->isChecked();
    // A disabled box is always unchecked: its sounds are not there to be used.
    e.useKD3 = cbxUseKD3->isChecked() && cbxUseKD3->isEnabled();
    e.aiOnly = cbxAIOnly->isChecked();
    e.beta = cbxBeta->isChecked();
    e.createOffline = cbxOffline->isChecked();
    e.scaleIndex = cbxSize->currentIndex();
    return e;
}

void TLocations::Button2Click() {
    const OptionsEntries chosen = entries();
    std::optional<OptionsProblem> problem;
    try {
        // Kept even when a check below fails and the dialog is then cancelled.
        recordOfflineChoice(chosen.createOffline, m_context.profile, m_context.current);
        if (chosen.createOffline && m_context.hideBulkButtons) m_context.hideBulkButtons();
        m_context.reinstallNeeded = false;
        problem = checkOptions(chosen, m_context.platform);
        if (!problem)
            saveOptions(chosen, facts(), m_context.profile, m_context.folders.pluginSettingsPath(), m_context.current);
    } catch (const std::exception& e) {
        // A profile or settings file that cannot be written: the choices are not in place, so the dialog stays.
        problem = OptionsProblem{std::string("The installation options could not be saved: ") + e.what()};
    }
    if (problem) {
        showMessage(*problem);
        return;
    }
    if (ChangeMode && m_context.changeModeActions) {
        m_context.changeModeActions(
            OptionsChange{chosen, OldData, OldVST64, OldVST32, OldAIOnly, OldBeta, chosen.dataFolder != OldData},
            *this);
    }
    accept();
}

void TLocations::Button3Click() {
    reject();
}

void TLocations::setBusy(bool busy) {
    m_busy = busy;
    Button2->setEnabled(!busy);
    Button3->setEnabled(!busy);
    // The last figures stay in view after the task, beside whatever it reports then.
    if (busy) lProgress->show();
}

void TLocations::showProgress(const QString& text) {
    lProgress->setText(text);
}

void TLocations::closeEvent(QCloseEvent* event) {
    if (m_busy) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TLocations::showNotice(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Kandoro Manager"), text, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void TLocations::showMessage(const OptionsProblem& problem) {
    QMessageBox box(problem.warning ? QMessageBox::Warning : QMessageBox::NoIcon, QStringLiteral("Kandoro Manager"),
                    QString::fromStdString(problem.message), QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void TLocations::selectFolderInto(QLineEdit* edit, const QString& title) {
    const QString chosen = SelectFolder(this, edit->text(), title);
    if (!chosen.isEmpty()) edit->setText(chosen);
}

void TLocations::bDataClick() {
    selectFolderInto(eData, QStringLiteral("Select Kandoro data folder"));
}
void TLocations::bVST64Click() {
    selectFolderInto(eVST64, QStringLiteral("Select 64-bit plugin location"));
}
void TLocations::bVST32Click() {
    selectFolderInto(eVST32, QStringLiteral("Select 32-bit plugin location"));
}

} // namespace k4m
