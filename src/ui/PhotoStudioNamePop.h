#pragma once

#include <QComboBox>

// The main window's studio pop-up: one item per "Customers" entry with both a studio name and a
// code, titled with the studio name, in list order. Choosing one switches the customer.
class PhotoStudioNamePop : public QComboBox {
    Q_OBJECT
public:
    explicit PhotoStudioNamePop(QWidget* parent = nullptr);

    void makePhotoStudioNamePop();   // rebuilds the items from the settings
    void selectPhotoStudioNamePop(); // selects the stored studio (or the first item)

Q_SIGNALS:
    // The user chose a studio (photoStudioNamePopAction:); the controller switches the customer.
    void photoStudioChosen(const QString& title);
};
