#include "product/ProductPopUpList.h"

#include <algorithm>

int ProductPopUpList::numberOfItems() const {
    return static_cast<int>(items_.size());
}

QString ProductPopUpList::itemTitleAtIndex(int index) const {
    return index >= 0 && index < items_.size() ? items_.at(index).title : QString();
}

ProductRecord ProductPopUpList::itemRecordAtIndex(int index) const {
    return index >= 0 && index < items_.size() ? items_.at(index).record : ProductRecord();
}

void ProductPopUpList::addItemWithTitle(const QString& title, const ProductRecord& record) {
    items_.append(Item{title, record});
    if (selected_ < 0) {
        selected_ = 0;
    }
}

void ProductPopUpList::insertItemWithTitle(const QString& title, const ProductRecord& record,
                                           int index) {
    const int at = std::clamp(index, 0, numberOfItems());
    items_.insert(at, Item{title, record});
    if (selected_ < 0) {
        selected_ = 0;
    } else if (at <= selected_) {
        ++selected_; // the same item stays selected, as in the widget
    }
}

void ProductPopUpList::removeItemAtIndex(int index) {
    if (index < 0 || index >= items_.size()) {
        return;
    }
    items_.removeAt(index);
    if (items_.isEmpty()) {
        selected_ = -1;
    } else if (index < selected_) {
        --selected_;
    } else if (index == selected_) {
        selected_ = std::min(selected_, numberOfItems() - 1);
    }
}

void ProductPopUpList::removeAllItems() {
    items_.clear();
    selected_ = -1;
}

void ProductPopUpList::selectItemAtIndex(int index) {
    selected_ = index >= 0 && index < items_.size() ? index : -1;
}

QStringList ProductPopUpList::itemTitles() const {
    QStringList titles;
    titles.reserve(items_.size());
    for (const Item& item : items_) {
        titles.append(item.title);
    }
    return titles;
}
