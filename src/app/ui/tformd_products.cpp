// The product list on the main window: building and removing the rows, the action lists and the three
// all-rows buttons.
#include "app/ui/tformd.h"

#include "catalog/product_actions.h"

#include <QComboBox>
#include <QGraphicsDropShadowEffect>
#include <QPushButton>
#include <QVariant>

namespace k4m {

void TformD::buildRow(const RowSpec& spec) {
    if (spec.index < 0 || spec.index >= kMaxProductRows) return;
    TcvProduct& row = Products[static_cast<size_t>(spec.index)];
    row = buildProductRow(this, spec.product, spec.index, {spec.position.first, spec.position.second}, spec.actions);
    if (row.lSelect == nullptr) return;
    QComboBox* list = row.lSelect;
    connect(list, &QComboBox::currentIndexChanged, this, [this, list] { cbChange(list); });
    list->setCurrentIndex(0);
}

void TformD::removeProductRows() {
    for (TcvProduct& row : Products) {
        delete row.Panel; // owns the row's other controls
        row = TcvProduct{};
    }
}

void TformD::cbChange(QComboBox* sender) {
    const int index = sender->property("tag").toInt();
    if (index < 0 || index >= kMaxProductRows) return;
    // The slots belong to the worker while it runs a batch.
    if (Worker->dldCommand == CmdInstallBatch || Worker->dldCommand == CmdBatchFinished) return;
    const int colour = applyAction(sender->currentText().toStdString(), index, Worker->Downloads);
    ColorRect(Products[static_cast<size_t>(index)].Panel, colour);
    showChosenWork();
}

void TformD::showChosenWork() {
    ActualInstallSize = actualInstallSize(Worker->Downloads);
    const bool work = anyWork(Worker->Downloads);
    bInstall->setEnabled(work);
    shadowInstall->setEnabled(work);
}

void TformD::selectInAllRows(AllRowsButton button) {
    for (TcvProduct& row : Products) {
        if (row.Panel == nullptr || row.lSelect == nullptr) continue;
        std::vector<std::string> items;
        for (int i = 0; i < row.lSelect->count(); ++i)
            items.push_back(row.lSelect->itemText(i).toStdString());
        if (const auto choice = allRowsChoice(button, items))
            row.lSelect->setCurrentIndex(row.lSelect->findText(QString::fromStdString(*choice)));
    }
}

void TformD::bReinstallAllClick() {
    selectInAllRows(AllRowsButton::ReinstallAll);
}
void TformD::bRepairAllClick() {
    selectInAllRows(AllRowsButton::RepairAll);
}
void TformD::bSkipAllClick() {
    selectInAllRows(AllRowsButton::SkipAll);
}

} // namespace k4m
