#pragma once

#include "catalog/product_actions.h"
#include "catalog/read_product.h"

#include <QPoint>
#include <optional>
#include <string>

class QComboBox;
class QLabel;
class QWidget;

namespace k4m {

// One row of the product list. Every control is owned by the frame `Panel`; an index without a row has none.
struct TcvProduct {
    QWidget* Panel = nullptr;
    QLabel* lName = nullptr;
    QComboBox* lSelect = nullptr; // absent when the product has no action list
    QLabel* lInfo = nullptr;      // the row's progress text, hidden until an installation runs
    std::string Name;             // reserved, left empty
    int Status = 0;               // 0 no action list, 1 not installed, 2 update available, 3 up to date
};

// Colours a row frame: a 1-pixel grey stroke and the fill of `mode` (0 grey, 1 green, 2 pale red, 3 pink,
// 4 yellow to red); -1 changes nothing, any other mode sets the stroke and keeps the fill.
void ColorRect(QWidget* frame, int mode);

// Builds the row of a catalog product on `parent` with its frame at `at`: the name, a "NEW!" badge, and either
// the product's status text or, with `actions`, the action list (tagged with `index`, nothing selected yet, no
// handler attached: the caller connects it and selects the first item).
TcvProduct buildProductRow(QWidget* parent, const CatalogProduct& product, int index, QPoint at,
                           const std::optional<RowActions>& actions);

} // namespace k4m
