#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <optional>

class SettingsStore;

// The single gateway to the persistent per-user settings and the rules computed from them.
// Flags are the texts "ON"/"OFF"; no defaults are registered: every reader falls back itself, and a
// value of the wrong type reads as absent.
class UserDef {
public:
    UserDef() = delete;

    // --- Generic layer ---
    static SettingsStore& stdUserDef();
    // An invalid value removes the key. syncFlg: write the store to disk at once.
    static void setObject(const QVariant& value, const QString& key, bool syncFlg = false);
    static void removeObjectForKey(const QString& key, bool syncFlg = false);
    static QVariant objectForKey(const QString& key);               // invalid when absent
    static std::optional<QString> stringForKey(const QString& key); // a number gives its text
    static qint64 integerForKey(const QString& key);                // 0 when absent
    static std::optional<QVariantMap> dictionaryForKey(const QString& key);
    static std::optional<QVariantList> arrayForKey(const QString& key);
    // The entry key of the dictionary stored under dicKey.
    static QVariant objectForKeyFromDic(const QString& key, const QString& dicKey);

    // --- Dictionary triples: one entry / store whole (no flush) / whole ---
    static QVariant objectForKeyFromPrintDic(const QString& key);
    static void setPrintDic(const QVariantMap& dic);
    static std::optional<QVariantMap> printDic();
    static QVariant objectForKeyFromSchoolDic(const QString& key);
    static void setSchoolDic(const QVariantMap& dic);
    static std::optional<QVariantMap> schoolDic();
    static QVariant objectForKeyFromAlbumDic(const QString& key);
    static void setAlbumDic(const QVariantMap& dic);
    static std::optional<QVariantMap> albumDic();
    static QVariant objectForKeyFromResizeDic(const QString& key);
    static void setResizeDic(const QVariantMap& dic);
    static std::optional<QVariantMap> resizeDic();
    static QVariant objectForKeyFromEtcDic(const QString& key);
    static void setEtcDic(const QVariantMap& dic);
    static std::optional<QVariantMap> etcDic();
    static QVariant objectForKeyFromOrderInfoDic(const QString& key);
    static void setOrderInfoDic(const QVariantMap& dic);
    static std::optional<QVariantMap> orderInfoDic();
    static QVariant objectForKeyFromCharInputDic(const QString& key);
    static void setCharInputDic(const QVariantMap& dic);
    static std::optional<QVariantMap> charInputDic();
    static QVariant objectForKeyFromFotoFusionDic(const QString& key);
    static void setFotoFusionDic(const QVariantMap& dic);
    static std::optional<QVariantMap> fotoFusionDic();
    static QVariant objectForKeyFromFileDownHistoryDic(const QString& key);
    static void setFileDownHistoryDic(const QVariantMap& dic);
    static std::optional<QVariantMap> fileDownHistoryDic();

    // --- Order arrays (no flush) ---
    static void setPrintOrderArray(const QVariantList& array);
    static std::optional<QVariantList> printOrderArray();
    static void setSchoolOrderArray(const QVariantList& array);
    static std::optional<QVariantList> schoolOrderArray();

    // --- Plain setters (no flush) ---
    static void setExecuteButton(const QString& value);   // ExecuteBt
    static void setOrderActionType(const QString& value); // OrderActionType
    static void setOrderSavePath(const QString& value);   // OrderSavePath

    // --- Lettering ---
    static void removeCharInputDic();
    static bool isCharInputDic();
    static QString charInputName(); // "" when missing
    static QString charInputDate(); // "" when missing

    // --- Run status (written through to disk) ---
    static void setAppStatus(const QString& status);
    // The window's set-up leaves many breadcrumbs and must not wait for the disk at each: from
    // begin to end a breadcrumb is handed to the background writer, which writes it at once while
    // the caller goes on (a crash leaves the last one written, never a torn file); end writes the
    // last one through. Only the run's first breadcrumb should come before begin.
    static void beginAppStatusWriteBehind();
    static void endAppStatusWriteBehind();
    static QString appStatus();
    static void backupPreviousAppStatus();
    static QString previousAppStatus();

    // --- Identity ---
    // Cached MacAddr, else the machine's address when it has 12 characters (then cached), else
    // "000000000000".
    static QString macAddress();
    // As macAddress(), asking addressReader instead of the machine for the uncached address.
    static QString macAddress(const std::function<QString()>& addressReader);
    // "%@_%@_%07d" of customerCode ("0000" when unset), macAddress and BagNo + 1.
    static QString nextZipName();

    // --- Tabs ---
    static bool isMainTab(const QString& label);
    static bool isPrintTab();
    static bool isSchoolTab();
    static bool isAlbumTab();
    static bool isResizeTab();
    static bool isEtcTab();
    static bool isFullPathTab();
    static bool isResizeMode();

    // --- Order action ---
    static std::optional<QString> orderActionType();
    static bool isOrderActionNowSend();
    static bool isOrderActionAfterSend();
    static bool isOrderActionSave();
    static bool isSendOnly();
    static bool isOnline();
    static bool isSend();

    // --- Studio modes ---
    static bool isTestMode();
    static bool isAlbumTestMode();
    static bool isTestSendMode();
    static bool isDevelopMode();
    static bool isFtp2SendMode();

    // --- Customer code ---
    static std::optional<QString> customerCode(); // CustomerCode cut at the first "-"
    static std::optional<QString> customerCodeTop();
    static QString customerCodeForPhotoStudioName(const QString& photoStudioName);
    static QStringList photoStudioNames();

    // --- Custom customers ---
    static bool isCustomCustomerForCode(const std::optional<QString>& code);
    static bool isCustomCustomer();
    static bool isCustomCustomer3465();
    static bool isCustomCustomer3465Group();
    static bool is3465LayoutEditRequest();
    static void saveCustomerMD5(const QString& md5);
    static std::optional<QString> passMD5ForCode(const std::optional<QString>& code);
    static std::optional<QString> passMD5();
    static bool isPassMD5ForCode(const std::optional<QString>& code);
    static bool isPassMD5();
    static bool isCustomOK();

    // --- Custom data ("<code>-<key>" in CustomDataDic, written through to disk) ---
    static void saveCustomData(const QString& data, const std::optional<QString>& code,
                               const QString& key);
    static void deleteCustomDataForCode(const std::optional<QString>& code,
                                        const std::optional<QString>& key);
    static std::optional<QString> customDataForCode(const std::optional<QString>& code,
                                                    const QString& key);
    static bool isCustomDataForCode(const std::optional<QString>& code, const QString& key);
    static void saveCustomData(const QString& data, const QString& key);
    static void deleteCustomDataForKey(const QString& key);
    static std::optional<QString> customDataForKey(const QString& key);
    static bool isCustomDataForKey(const QString& key);
    static bool isCustomDataDelete(const QString& text); // contains "DELETE-DATA"
    static void customDataSaveOrDelete(const std::optional<QString>& text,
                                       const std::optional<QString>& code, const QString& dataKey);

    // --- Kinelo records (every write is written through to disk) ---
    static void setAlbumKineloOrderFileOnly();
    static void setAlbumKineloAddFiles(const QStringList& files);
    static void setAlbumKineloMovFilePath(const QString& movPath, const QString& picFilePath);
    static void setPrintKineloMovFilePath(const QString& movPath, const QString& picFilePath);
    static bool isAlbumKineloFile();
    static bool isPrintKineloFile();
    static void removeAlbumKineloFile();
    static void removePrintKineloFile();
    static qint64 albumKinloOrderType(); // 0, 1 or 2
    static qint64 printKinloOrderType();
    static std::optional<QStringList> albumKineloAddFiles();
    static std::optional<QString> albumKineloMovFilePath();
    static std::optional<QString> albumKineloPicFilePath();
    static std::optional<QStringList> printKineloAddFiles();
    static std::optional<QString> printKineloMovFilePath();
    static std::optional<QString> printKineloPicFilePath();
    static double albumKineloAllFileSize(); // bytes
    static double printKineloAllFileSize(); // bytes

    // --- Album sets ---
    static qint64 albumSetNum();
};
