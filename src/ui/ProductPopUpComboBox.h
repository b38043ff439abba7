#pragma once

#include "product/ProductPopUpButton.h"

#include <QComboBox>

// The product pop-up of the print, school and resize chains as a widget: every item carries its
// catalogue record as item data, so the catalogue classes fill it and the tabs read it through
// the pop-up interface. The tab reacts to `activated` only (a user's choice): refills change the
// current index too and must not start a cascade of their own.
class ProductPopUpComboBox : public QComboBox, public ProductPopUpButton {
    Q_OBJECT
public:
    // tag: the catalogue table shown (301-304 print, 401-405 resize, 601-604 school).
    explicit ProductPopUpComboBox(int tag, QWidget* parent = nullptr);

    int tag() const override { return tag_; }
    int numberOfItems() const override { return count(); }
    QString itemTitleAtIndex(int index) const override;
    ProductRecord itemRecordAtIndex(int index) const override;
    void addItemWithTitle(const QString& title, const ProductRecord& record) override;
    void insertItemWithTitle(const QString& title, const ProductRecord& record, int index) override;
    void removeItemAtIndex(int index) override;
    void removeAllItems() override;
    int indexOfSelectedItem() const override { return currentIndex(); }
    void selectItemAtIndex(int index) override;
    bool isEnabled() const override { return QComboBox::isEnabled(); }
    void setEnabled(bool enabled) override { QComboBox::setEnabled(enabled); }

private:
    int tag_;
};
