#include "product/ProductPopUpButton.h"

const QString ProductPopUpButton::kPleaseSelectTitle = QStringLiteral("選択してください...");
const QString ProductPopUpButton::kPleaseSelectId = QStringLiteral("99999999999");

ProductRecord ProductPopUpButton::pleaseSelectRecord() {
    return ProductRecord{{QStringLiteral("id"), kPleaseSelectId},
                         {QStringLiteral("name"), kPleaseSelectTitle}};
}

int ProductPopUpButton::indexOfItemWithTitle(const QString& title) const {
    const int count = numberOfItems();
    for (int i = 0; i < count; ++i) {
        if (itemTitleAtIndex(i) == title) {
            return i;
        }
    }
    return -1;
}

std::optional<QString> ProductPopUpButton::titleOfSelectedItem() const {
    const int index = indexOfSelectedItem();
    if (index < 0 || index >= numberOfItems()) {
        return std::nullopt;
    }
    return itemTitleAtIndex(index);
}

bool ProductPopUpButton::isNoItem() const {
    return numberOfItems() == 0;
}

void ProductPopUpButton::addPleaseSelect() {
    // Titles are unique in a pop-up: a catalogue row titled like the please-select item gives way.
    const int existing = indexOfItemWithTitle(kPleaseSelectTitle);
    if (existing >= 0) {
        removeItemAtIndex(existing);
    }
    insertItemWithTitle(kPleaseSelectTitle, pleaseSelectRecord(), 0);
    selectItemAtIndex(0);
}

bool ProductPopUpButton::isPleaseSelect() const {
    return titleOfSelectedItem() == kPleaseSelectTitle;
}

std::optional<ProductRecord> ProductPopUpButton::selectedRecordDic() const {
    const int index = indexOfSelectedItem();
    if (index < 0 || index >= numberOfItems()) {
        return std::nullopt;
    }
    return itemRecordAtIndex(index);
}

bool ProductPopUpButton::isSelectedRecordDic() const {
    return selectedRecordDic().has_value();
}

std::optional<QString> ProductPopUpButton::selectedRecordId() const {
    const auto record = selectedRecordDic();
    if (!record) {
        return std::nullopt;
    }
    return productRecordText(*record, QStringLiteral("id"));
}

QString ProductPopUpButton::selectedRecordName() const {
    const auto record = selectedRecordDic();
    return record ? productRecordText(*record, QStringLiteral("name")) : QString();
}

bool ProductPopUpButton::selectItemFromRecordId(const QString& recordId) {
    const int count = numberOfItems();
    for (int i = 0; i < count; ++i) {
        const ProductRecord record = itemRecordAtIndex(i);
        if (record.contains(QStringLiteral("id")) &&
            productRecordText(record, QStringLiteral("id")) == recordId) {
            selectItemAtIndex(i);
            return true;
        }
    }
    return false;
}

void ProductPopUpButton::autoDisable() {
    if (isNoItem()) {
        setEnabled(false);
    }
}
