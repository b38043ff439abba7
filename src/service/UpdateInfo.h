#pragma once

#include <QString>

// The update information: the lab's application information page and album information page,
// fetched at start and read by marker blocks "<!--NAME\n" ... "\nNAME-->".
class UpdateInfo {
public:
    UpdateInfo() = delete;

    // One information page: the body with line ends turned into "\n", or "" when the fetch fails
    // or the body does not carry "MVL_DATA". URL, body and failures go to the log.
    static QString readDataHttp(const QString& url);

    // Both pages of the configured lab joined as "<appinfo>\n<album info>".
    static QString fetchUpdateInfo();

    // The value of a marker block, "" when it is missing.
    static QString markerValue(const QString& updateInfo, const QString& marker);

    // Stores the CUSTOM_CUSTOMER_CODE block under CustomCustomerCode when it is not empty (so the
    // last known list survives a page that lacks it); true when it stored.
    static bool storeCustomCustomerCode(const QString& updateInfo);
    // Stores the FTP2_TARGET_CODE block under Ftp2TargetCode, also when empty.
    static void storeFtp2TargetCode(const QString& updateInfo);

    // The lab's notes on its newest version, the block "APP_VER_NOTE" (optional): trimmed,
    // without control characters but line feeds, at most 1000 characters; "" without one.
    static QString appVersionNotes(const QString& updateInfo);

    static bool isKineloOff(const QString& updateInfo); // the word "KINELO-OFF" appears
    static bool isFfTabOn(const QString& updateInfo);   // the word "FF-TAB-ON" appears
};
