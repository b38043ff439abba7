#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The preferences' rules over the settings store: the customer identity (studio name, customer
// code, e-mail), the multiple-customers list "Customers" and the two display options. The window
// (src/ui/PreferencesWindow) shows them; everything it stores goes through here. Also how long
// and how much of the sent orders is kept for sending again.
class UserPref {
public:
    UserPref() = delete;

    // Studio name, customer code and e-mail are all present and not empty.
    static bool isCustomerInfo();

    // The message shown when a customer code is refused, and its informative text.
    static QString invalidCodeMessage();
    static QString invalidCodeInformation(const QString& typed);

    // The rule of editCustomerCodeAction: an empty text stays empty; a valid code comes back as
    // it is stored ("00456" gives "456"); anything else is refused (none).
    static std::optional<QString> editCustomerCode(const QString& text);

    // Rebuilds "Customers": studio names kept, codes normalised; an entry whose code is not a
    // valid customer code keeps no code at all.
    static void customerCodeFilter();

    // The multiple-customers check box. On: the single-customer fields are kept aside
    // (PhotoStudioNameBk, CustomerCodeBk). Off: the values kept aside come back, are stored as
    // PhotoStudioName and CustomerCode, and are returned (name, code) for the fields.
    static void multiCustomerOn(const QString& studioName, const QString& code);
    static std::pair<QString, QString> multiCustomerOff();
    static bool isMultiCustomer(); // MultiCustomerCheck is not 0

    // What the save button stores.
    struct Input {
        bool multiCustomer = false;
        QString studioName;   // single view
        QString code;         // single view
        QString selectedName; // multiple view: the selected entry
        QString selectedCode;
        QString email;
        bool thumbnailView = true;
        bool albumSelectionSave = true;
        qint64 keptOrderDays = 7;  // days a sent order is kept; 0: none is kept
        qint64 keptOrderCapGB = 0; // the most the kept orders take; 0: automatic
    };
    // Why saving was refused: an alert's message and informative text.
    struct Refusal {
        QString message;
        QString information;
    };
    // userPrefSaveAndClose's storing part. Stores nothing and answers why when the single view's
    // code is neither empty nor a valid code, or when the multiple view has no entry to use (no
    // selected entry and no list entry with both a studio name and a code).
    static std::optional<Refusal> save(const Input& input);

    // The studio pop-up: the studio name of every "Customers" entry with both a name and a code,
    // in list order (makePhotoStudioNamePop); the title to select (selectPhotoStudioNamePop):
    // PhotoStudioName when it is one of the titles, else the first title; none when
    // PhotoStudioName is unset or there are no titles.
    static QStringList photoStudioPopTitles();
    static std::optional<QString> photoStudioPopSelection(const QStringList& titles);
    // photoStudioNamePopAction's storing part: PhotoStudioName = title, CustomerCode = the code of
    // the first entry of that name ("" when none).
    static void choosePhotoStudio(const QString& title);
};
