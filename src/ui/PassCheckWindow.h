#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The custom-mode password window. It floats above the other windows; the password field shows
// no characters. The confirm button asks passCheckRequested; the controller checks and closes.
class PassCheckWindow : public QDialog {
    Q_OBJECT
public:
    explicit PassCheckWindow(QWidget* parent = nullptr);

    // Empties the password field, names the customer and shows the window in front.
    void openForCode(const QString& code);
    QString password() const;
    void closeWindow();
    // Closes without the password (cancel button, Esc, the window's close button, "いいえ").
    void reject() override;

Q_SIGNALS:
    void passCheckRequested(); // the confirm button (passCheckWindowClose:)
    void cancelled();          // the window was closed without the password

private:
    QLabel* passCheckMsg = nullptr;
    QLineEdit* passCheckPassField = nullptr;
    QPushButton* passCheckOkBt = nullptr;
    QPushButton* passCheckCancelBt = nullptr;
};
