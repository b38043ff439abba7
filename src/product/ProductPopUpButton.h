#pragma once

#include "product/ProductRecord.h"

#include <QString>
#include <optional>

// The pop-up button of the product chains: every item has a title and the catalogue record it
// stands for. The widget side (a QComboBox wrapper) implements the primitives; the catalogue
// classes and the tabs work only through this interface, so the filling rules run without a
// window as well.
class ProductPopUpButton {
public:
    static const QString kPleaseSelectTitle; // "選択してください..."
    static const QString kPleaseSelectId;    // "99999999999": matches no catalogue record

    ProductPopUpButton() = default;
    virtual ~ProductPopUpButton() = default;
    ProductPopUpButton(const ProductPopUpButton&) = delete;
    ProductPopUpButton& operator=(const ProductPopUpButton&) = delete;

    // --- Primitives of the control ---
    // The catalogue table the button shows (301-304 print, 401-405 resize, 601-604 school).
    virtual int tag() const = 0;
    virtual int numberOfItems() const = 0;
    virtual QString itemTitleAtIndex(int index) const = 0;
    virtual ProductRecord itemRecordAtIndex(int index) const = 0;
    // Appends an item; the first item added to an empty button becomes selected.
    virtual void addItemWithTitle(const QString& title, const ProductRecord& record) = 0;
    virtual void insertItemWithTitle(const QString& title, const ProductRecord& record,
                                     int index) = 0;
    virtual void removeItemAtIndex(int index) = 0;
    virtual void removeAllItems() = 0;
    virtual int indexOfSelectedItem() const = 0; // -1 when nothing is selected
    virtual void selectItemAtIndex(int index) = 0;
    virtual bool isEnabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;

    // --- Operations built on the primitives ---
    int indexOfItemWithTitle(const QString& title) const; // -1 when no item has it
    std::optional<QString> titleOfSelectedItem() const;
    bool isNoItem() const;
    // Puts the please-select item at index 0 and selects it.
    void addPleaseSelect();
    bool isPleaseSelect() const;
    std::optional<ProductRecord> selectedRecordDic() const;
    bool isSelectedRecordDic() const;
    std::optional<QString> selectedRecordId() const;
    QString selectedRecordName() const; // "" when nothing is selected
    // Selects the first item whose record "id" equals recordId; false (selection unchanged) when
    // no item carries it.
    bool selectItemFromRecordId(const QString& recordId);
    // Disables the button when it has no items; never enables it.
    void autoDisable();

    static ProductRecord pleaseSelectRecord();
};
