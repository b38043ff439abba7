#pragma once

#include <QDialog>

class CustomersModel;
class PreferencesHost;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTableView;

// The preferences window: the customer identity (single view: studio name and code; multiple
// view: the "Customers" list and the selected entry), the e-mail address, the two display
// options and how long and how much of the sent orders is kept for sending again. It floats above
// the other windows and is not modal. Saving a new customer emits customerChanged; the controller
// then asks for the custom-mode password or reloads the catalogues.
class PreferencesWindow : public QDialog {
    Q_OBJECT
public:
    PreferencesWindow(PreferencesHost& host, QWidget* parent = nullptr);

    bool isPrefWindowVisible() const { return visibleFlg; }

    // Fills the fields from the settings, shows the view of the multiple-customers check box,
    // brings the window to the front, sets the visible flag and refreshes the main window.
    void preferencesAction();
    // The multiple-customers check box was switched.
    void mutiCustomerCbAction(bool on);
    // End of editing in the single view's customer code field: normalised, or refused with a
    // message under the field.
    void editCustomerCodeAction();
    // The save button: stores, closes, then customerChanged. A refused code keeps the window
    // open with an alert and stores nothing.
    void userPrefSaveAndClose();
    // The cancel button: edits of the text fields are discarded; the list keeps its changes.
    void userPrefCancelAndClose();
    // Shows the single- or multiple-customers view as the setting says (start-up).
    void showCustomerViewForSetting();

    CustomersModel* customersModel() const { return model; }
    // Wide enough for readable fields, never stretched across a large screen.
    QSize sizeHint() const override;

Q_SIGNALS:
    void customerChanged();
    void customerListChanged(); // the studio pop-up follows the list

protected:
    void reject() override; // Esc and the window's close button cancel

private:
    void fillFields();
    void showCustomerView(bool multi);
    // Sized to the rows of the view shown, within the screen.
    void fitToContent();
    void updateSelectedEntry();
    void addCustomer();
    void removeCustomers();
    void showCodeRefused(const QString& typed);
    void closeWindow();
    // Before the customer information is complete: says why the tabs are grey and what to fill
    // in, and puts the focus on the first empty field.
    void explainFirstStart();

    PreferencesHost& host;
    bool visibleFlg = false;
    CustomersModel* model = nullptr;
    QCheckBox* multiCustomerCb = nullptr;
    QStackedWidget* customerViews = nullptr;
    QLineEdit* photoStudioNameField = nullptr;
    QLineEdit* customerCodeField = nullptr;
    QLabel* customerCodeErrorMsg = nullptr;
    QTableView* customersTableView = nullptr;
    QPushButton* customerAddBt = nullptr;
    QPushButton* customerRemoveBt = nullptr;
    QLineEdit* selectedPhotoStudioNameField = nullptr;
    QLineEdit* selectedCustomerCodeField = nullptr;
    QLineEdit* customerEmailField = nullptr;
    QCheckBox* thumbnailViewCb = nullptr;
    QCheckBox* albumSlectionSaveCb = nullptr;
    QSpinBox* keptOrderDaysField = nullptr;
    QSpinBox* keptOrderCapField = nullptr;
    QPushButton* userPrefSaveBt = nullptr;
    QPushButton* userPrefCancelBt = nullptr;
    QLabel* firstStartMsg = nullptr;
    int comfortableWidth = 0;
};
