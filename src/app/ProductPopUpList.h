#pragma once

#include "product/ProductPopUpButton.h"

#include <QList>

// A product pop-up without a widget: the list of titles and records a form holds, filled by the
// catalogue classes through the pop-up interface. The tab's combo box shows it.
class ProductPopUpList final : public ProductPopUpButton {
public:
    explicit ProductPopUpList(int tag) : tag_(tag) {}

    int tag() const override { return tag_; }
    int numberOfItems() const override { return static_cast<int>(items_.size()); }
    QString itemTitleAtIndex(int index) const override;
    ProductRecord itemRecordAtIndex(int index) const override;
    void addItemWithTitle(const QString& title, const ProductRecord& record) override;
    void insertItemWithTitle(const QString& title, const ProductRecord& record, int index) override;
    void removeItemAtIndex(int index) override;
    void removeAllItems() override;
    int indexOfSelectedItem() const override { return selected_; }
    void selectItemAtIndex(int index) override;
    bool isEnabled() const override { return enabled_; }
    void setEnabled(bool enabled) override { enabled_ = enabled; }

private:
    struct Item {
        QString title;
        ProductRecord record;
    };
    int tag_;
    QList<Item> items_;
    int selected_ = -1;
    bool enabled_ = true;
};
