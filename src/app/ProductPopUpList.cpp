#include "app/ProductPopUpList.h"

#include <algorithm>

QString ProductPopUpList::itemTitleAtIndex(int index) const {
    return index >= 0 && index < items_.size() ? items_[index].title : QString();
}

ProductRecord ProductPopUpList::itemRecordAtIndex(int index) const {
    return index >= 0 && index < items_.size() ? items_[index].record : ProductRecord();
}

void ProductPopUpList::addItemWithTitle(const QString& title, const ProductRecord& record) {
    items_.append(Item{title, record});
    if (items_.size() == 1) {
        selected_ = 0;
    }
}

void ProductPopUpList::insertItemWithTitle(const QString& title, const ProductRecord& record,
                                           int index) {
    index = std::clamp(index, 0, numberOfItems());
    items_.insert(index, Item{title, record});
    if (selected_ < 0) {
        selected_ = 0; // as a combo box: an insert selects when nothing was
    } else if (selected_ >= index) {
        ++selected_; // the selection stays on its item
    }
}

void ProductPopUpList::removeItemAtIndex(int index) {
    if (index < 0 || index >= items_.size()) {
        return;
    }
    items_.removeAt(index);
    if (items_.isEmpty()) {
        selected_ = -1;
    } else if (selected_ > index || selected_ >= items_.size()) {
        --selected_;
    } else if (selected_ == index) {
        selected_ = std::min(index, numberOfItems() - 1);
    }
}

void ProductPopUpList::removeAllItems() {
    items_.clear();
    selected_ = -1;
}

void ProductPopUpList::selectItemAtIndex(int index) {
    if (index >= -1 && index < items_.size()) {
        selected_ = index;
    }
}
