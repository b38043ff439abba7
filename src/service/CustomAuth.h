#pragma once

#include <QString>
#include <optional>

// The network side of custom mode: the password digest, the check against the lab's
// authentication server and the download of a custom customer's own catalogues into the settings
// (CustomerMD5Dic and CustomDataDic are kept by UserDef).
class CustomAuth {
public:
    CustomAuth() = delete;

    // One custom catalogue kind: the data key it is stored under, the name the server knows it by,
    // and the text an accepted answer contains.
    struct DataKind {
        QString storedKey;
        QString requestKey;
        QString marker;
    };
    static const DataKind& albumKind();  // CustomAlbum
    static const DataKind& printKind();  // CustomPrint
    static const DataKind& schoolKind(); // CustomSchool

    // The server's digest of a password; "" when the server gives none.
    static QString strTomd5(const QString& password);

    // The answer of the check request for code and digest ("OK" or "NG"); none when the server
    // cannot be reached.
    static std::optional<QString> authAnswerForCode(const QString& code, const QString& md5);

    // Does the customer of code have to enter the password? Only when it is a custom customer and
    // either no digest is stored for the current customer or the server refuses it ("NG"); an
    // unreachable server counts as passed.
    static bool isNeedToAuthForCode(const std::optional<QString>& code);
    static bool isNeedToAuth(); // for the current customer

    // One data request, with the current customer's digest. The answer when it carries the marker
    // of its kind or a delete order ("DELETE-DATA"); none otherwise.
    static std::optional<QString> readHttpCustomDataForCode(const QString& code,
                                                            const QString& dataKey);
    // The three requests for one customer, each saved or deleted in the settings; nothing when the
    // customer has to authenticate first.
    static void customDataLoadForCode(const QString& code);
    // customDataLoadForCode for every custom customer of the Customers list and the current one.
    static void autoAllCustomDataLoad();
};
