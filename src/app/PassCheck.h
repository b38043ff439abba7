#pragma once

#include <QString>

// The custom-mode password check behind the password window. Nothing of the password or of its
// digest is ever logged.
class PassCheck {
public:
    PassCheck() = delete;

    // The server's digest of the password, checked for the customer code. On exactly "OK" the
    // digest is stored for the current customer (flushed) and the answer is true; any other
    // answer, or none, is false and stores nothing.
    static bool checkPassword(const QString& password, const QString& code);

    // Texts of the window and its alerts, "%1" being the customer code where there is one.
    static QString successMessage();
    static QString successInformation(const QString& code);
    static QString failureMessage();
    static QString failureInformation(const QString& code);
};
