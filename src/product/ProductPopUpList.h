#pragma once

#include "product/ProductPopUpButton.h"

#include <QList>

// A product pop-up held in memory: the same items, selection and enabled state as the widget,
// for code that fills or reads a chain without showing it (and for the tests of the chains).
class ProductPopUpList final : public ProductPopUpButton {
public:
    explicit ProductPopUpList(int tag = 0) : tag_(tag) {}

    int tag() const override { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    int numberOfItems() const override;
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

    QStringList itemTitles() const;

private:
    struct Item {
        QString title;
        ProductRecord record;
    };
    int tag_ = 0;
    QList<Item> items_;
    int selected_ = -1;
    bool enabled_ = true;
};
