#include "ui/ProductPopUpComboBox.h"

#include <algorithm>

namespace {

// A pop-up shows at least this many items before it scrolls; catalogue lists are short.
constexpr int kVisibleItems = 20;

} // namespace

ProductPopUpComboBox::ProductPopUpComboBox(int tag, QWidget* parent)
    : QComboBox(parent), tag_(tag) {
    setProperty("tag", tag);
    setMaxVisibleItems(kVisibleItems);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(12);
}

QString ProductPopUpComboBox::itemTitleAtIndex(int index) const {
    return index >= 0 && index < count() ? itemText(index) : QString();
}

ProductRecord ProductPopUpComboBox::itemRecordAtIndex(int index) const {
    return index >= 0 && index < count() ? itemData(index).toMap() : ProductRecord();
}

void ProductPopUpComboBox::addItemWithTitle(const QString& title, const ProductRecord& record) {
    addItem(title, record); // the first item of an empty box becomes current by itself
    setItemData(count() - 1, title, Qt::ToolTipRole);
}

void ProductPopUpComboBox::insertItemWithTitle(const QString& title, const ProductRecord& record,
                                               int index) {
    const int at = std::clamp(index, 0, count());
    insertItem(at, title, record);
    setItemData(at, title, Qt::ToolTipRole);
    if (currentIndex() < 0) {
        setCurrentIndex(0);
    }
}

void ProductPopUpComboBox::removeItemAtIndex(int index) {
    if (index >= 0 && index < count()) {
        removeItem(index);
    }
}

void ProductPopUpComboBox::removeAllItems() {
    clear();
}

void ProductPopUpComboBox::selectItemAtIndex(int index) {
    setCurrentIndex(index >= 0 && index < count() ? index : -1);
}
