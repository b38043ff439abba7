#include "settings/UserDef.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "util/PathUtil.h"
#include "util/Tool.h"

namespace {

const QString kAppStatus = QStringLiteral("AppStatus");
const QString kAppPreviousStatus = QStringLiteral("AppPreviousStatus");
const QString kMacAddr = QStringLiteral("MacAddr");
const QString kPhotoStudioName = QStringLiteral("PhotoStudioName");
const QString kMultiCustomerCheck = QStringLiteral("MultiCustomerCheck");
const QString kExecuteBt = QStringLiteral("ExecuteBt");
const QString kCustomerMD5Dic = QStringLiteral("CustomerMD5Dic");
const QString kCustomDataDic = QStringLiteral("CustomDataDic");
const QString kAlbumKineloDic = QStringLiteral("AlbumKineloDic");
const QString kPrintKineloDic = QStringLiteral("PrintKineloDic");
const QString kAlbumSetTitles = QStringLiteral("AlbumSetTitles");

const QString kPrintDic = QStringLiteral("PrintDic");
const QString kSchoolDic = QStringLiteral("SchoolDic");
const QString kAlbumDic = QStringLiteral("AlbumDic");
const QString kResizeDic = QStringLiteral("ResizeDic");
const QString kEtcDic = QStringLiteral("EtcDic");
const QString kOrderInfoDic = QStringLiteral("OrderInfoDic");
const QString kCharInputDic = QStringLiteral("CharInputDic");
const QString kFotoFusionDic = QStringLiteral("FotoFusionDic");
const QString kFileDownHistoryDic = QStringLiteral("FileDownHistoryDic");
const QString kPrintOrderArray = QStringLiteral("PrintOrderArray");
const QString kSchoolOrderArray = QStringLiteral("SchoolOrderArray");

const QString kOrderType = QStringLiteral("OrderType");
const QString kAddFileArray = QStringLiteral("AddFileArray");
const QString kMovPath = QStringLiteral("MovPath");
const QString kPicPath = QStringLiteral("PicPath");

const QString kTabPrint = QStringLiteral("プリント");
const QString kTabSchool = QStringLiteral("スクール");
const QString kTabAlbum = QStringLiteral("アルバム");
const QString kTabResize = QStringLiteral("リサイズ");
const QString kTabEtc = QStringLiteral("その他");

bool isIntegerType(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

// A string, or the text of a number; anything else reads as absent.
std::optional<QString> textOf(const QVariant& v) {
    if (v.typeId() == QMetaType::QString) {
        return v.toString();
    }
    if (isIntegerType(v)) {
        return QString::number(v.toLongLong());
    }
    if (v.typeId() == QMetaType::Double) {
        return QString::number(v.toDouble());
    }
    return std::nullopt;
}

std::optional<QVariantMap> mapOf(const QVariant& v) {
    if (v.typeId() == QMetaType::QVariantMap) {
        return v.toMap();
    }
    return std::nullopt;
}

std::optional<QVariantList> listOf(const QVariant& v) {
    if (v.typeId() == QMetaType::QVariantList || v.typeId() == QMetaType::QStringList) {
        return v.toList();
    }
    return std::nullopt;
}

// Text before the first "-": the branch suffix is not part of the customer code.
QString cutBranch(const QString& code) {
    const qsizetype dash = code.indexOf(QLatin1Char('-'));
    return dash < 0 ? code : code.left(dash);
}

// An empty code is no code: it must not match an empty element of a comma list.
std::optional<QString> presentCode(const std::optional<QString>& code) {
    if (code && !code->isEmpty()) {
        return code;
    }
    return std::nullopt;
}

bool isInCommaList(const std::optional<QString>& code, const std::optional<QString>& list) {
    const auto c = presentCode(code);
    if (!c || !list) {
        return false;
    }
    return (QLatin1Char(',') + *list + QLatin1Char(','))
        .contains(QLatin1Char(',') + *c + QLatin1Char(','));
}

QString customDataEntryKey(const QString& code, const QString& key) {
    return code + QLatin1Char('-') + key;
}

std::optional<QVariantMap> kineloRecord(const QString& dicKey) {
    return UserDef::dictionaryForKey(dicKey);
}

qint64 kineloOrderType(const QString& dicKey) {
    const auto record = kineloRecord(dicKey);
    if (!record) {
        return 0;
    }
    const auto type = textOf(record->value(kOrderType));
    if (type == QLatin1String("1")) {
        return 1;
    }
    if (type == QLatin1String("2")) {
        return 2;
    }
    return 0;
}

std::optional<QString> kineloText(const QString& dicKey, const QString& field) {
    const auto record = kineloRecord(dicKey);
    if (!record) {
        return std::nullopt;
    }
    return textOf(record->value(field));
}

std::optional<QStringList> kineloFiles(const QString& dicKey) {
    const auto record = kineloRecord(dicKey);
    if (!record) {
        return std::nullopt;
    }
    const auto list = listOf(record->value(kAddFileArray));
    if (!list) {
        return std::nullopt;
    }
    QStringList files;
    for (const QVariant& item : *list) {
        if (const auto path = textOf(item)) {
            files.append(*path);
        }
    }
    return files;
}

double sizeOf(const std::optional<QString>& path) {
    return path ? static_cast<double>(orbel::fileSize(*path)) : 0.0;
}

} // namespace

// --- Generic layer ---

SettingsStore& UserDef::stdUserDef() {
    return SettingsStore::shared();
}

void UserDef::setObject(const QVariant& value, const QString& key, bool syncFlg) {
    stdUserDef().setValue(key, value);
    if (syncFlg) {
        SettingsStore::flush();
    }
}

void UserDef::removeObjectForKey(const QString& key, bool syncFlg) {
    stdUserDef().remove(key);
    if (syncFlg) {
        SettingsStore::flush();
    }
}

QVariant UserDef::objectForKey(const QString& key) {
    return stdUserDef().value(key);
}

std::optional<QString> UserDef::stringForKey(const QString& key) {
    return textOf(objectForKey(key));
}

qint64 UserDef::integerForKey(const QString& key) {
    const QVariant v = objectForKey(key);
    return isIntegerType(v) ? v.toLongLong() : 0;
}

std::optional<QVariantMap> UserDef::dictionaryForKey(const QString& key) {
    return mapOf(objectForKey(key));
}

std::optional<QVariantList> UserDef::arrayForKey(const QString& key) {
    return listOf(objectForKey(key));
}

QVariant UserDef::objectForKeyFromDic(const QString& key, const QString& dicKey) {
    const auto dic = dictionaryForKey(dicKey);
    return dic ? dic->value(key) : QVariant();
}

// --- Dictionary triples ---

#define HALVIX_DIC_TRIPLE(Name, name, keyConst)                                                    \
    QVariant UserDef::objectForKeyFrom##Name(const QString& key) {                                 \
        return objectForKeyFromDic(key, keyConst);                                                 \
    }                                                                                              \
    void UserDef::set##Name(const QVariantMap& dic) {                                              \
        setObject(dic, keyConst);                                                                  \
    }                                                                                              \
    std::optional<QVariantMap> UserDef::name() {                                                   \
        return dictionaryForKey(keyConst);                                                         \
    }

HALVIX_DIC_TRIPLE(PrintDic, printDic, kPrintDic)
HALVIX_DIC_TRIPLE(SchoolDic, schoolDic, kSchoolDic)
HALVIX_DIC_TRIPLE(AlbumDic, albumDic, kAlbumDic)
HALVIX_DIC_TRIPLE(ResizeDic, resizeDic, kResizeDic)
HALVIX_DIC_TRIPLE(EtcDic, etcDic, kEtcDic)
HALVIX_DIC_TRIPLE(OrderInfoDic, orderInfoDic, kOrderInfoDic)
HALVIX_DIC_TRIPLE(CharInputDic, charInputDic, kCharInputDic)
HALVIX_DIC_TRIPLE(FotoFusionDic, fotoFusionDic, kFotoFusionDic)
HALVIX_DIC_TRIPLE(FileDownHistoryDic, fileDownHistoryDic, kFileDownHistoryDic)

#undef HALVIX_DIC_TRIPLE

// --- Order arrays and plain setters ---

void UserDef::setPrintOrderArray(const QVariantList& array) {
    setObject(array, kPrintOrderArray);
}

std::optional<QVariantList> UserDef::printOrderArray() {
    return arrayForKey(kPrintOrderArray);
}

void UserDef::setSchoolOrderArray(const QVariantList& array) {
    setObject(array, kSchoolOrderArray);
}

std::optional<QVariantList> UserDef::schoolOrderArray() {
    return arrayForKey(kSchoolOrderArray);
}

void UserDef::setExecuteButton(const QString& value) {
    setObject(value, kExecuteBt);
}

void UserDef::setOrderActionType(const QString& value) {
    setObject(value, SettingsKey::OrderActionType);
}

void UserDef::setOrderSavePath(const QString& value) {
    setObject(value, SettingsKey::OrderSavePath);
}

// --- Lettering ---

void UserDef::removeCharInputDic() {
    removeObjectForKey(kCharInputDic);
}

bool UserDef::isCharInputDic() {
    return charInputDic().has_value();
}

QString UserDef::charInputName() {
    return textOf(objectForKeyFromCharInputDic(QStringLiteral("OrderCharName")))
        .value_or(QString());
}

QString UserDef::charInputDate() {
    return textOf(objectForKeyFromCharInputDic(QStringLiteral("OrderCharDate")))
        .value_or(QString());
}

// --- Run status ---

void UserDef::setAppStatus(const QString& status) {
    setObject(status, kAppStatus, true);
}

QString UserDef::appStatus() {
    return stringForKey(kAppStatus).value_or(QString());
}

void UserDef::backupPreviousAppStatus() {
    setObject(appStatus(), kAppPreviousStatus, true);
}

QString UserDef::previousAppStatus() {
    return stringForKey(kAppPreviousStatus).value_or(QString());
}

// --- Identity ---

QString UserDef::macAddress() {
    return macAddress([] { return Tool::getMacAddressUpperStr(); });
}

QString UserDef::macAddress(const std::function<QString()>& addressReader) {
    if (const auto cached = stringForKey(kMacAddr); cached && !cached->isEmpty()) {
        return *cached;
    }
    const QString address = addressReader ? addressReader() : QString();
    if (address.length() != 12) {
        return QStringLiteral("000000000000");
    }
    setObject(address, kMacAddr);
    return address;
}

QString UserDef::nextZipName() {
    const qint64 bagNo = integerForKey(SettingsKey::BagNo) + 1;
    return QStringLiteral("%1_%2_%3")
        .arg(customerCode().value_or(QStringLiteral("0000")), macAddress())
        .arg(bagNo, 7, 10, QLatin1Char('0'));
}

// --- Tabs ---

bool UserDef::isMainTab(const QString& label) {
    return stringForKey(SettingsKey::MainTabLabel) == label;
}

bool UserDef::isPrintTab() {
    return isMainTab(kTabPrint);
}

bool UserDef::isSchoolTab() {
    return isMainTab(kTabSchool);
}

bool UserDef::isAlbumTab() {
    return isMainTab(kTabAlbum);
}

bool UserDef::isResizeTab() {
    return isMainTab(kTabResize);
}

bool UserDef::isEtcTab() {
    return isMainTab(kTabEtc);
}

bool UserDef::isFullPathTab() {
    return !(isSchoolTab() || isResizeTab() || isPrintTab());
}

bool UserDef::isResizeMode() {
    if (!isResizeTab()) {
        return false;
    }
    const auto dic = resizeDic();
    return dic && dic->contains(QStringLiteral("ResizeResizeCbKey"));
}

// --- Order action ---

std::optional<QString> UserDef::orderActionType() {
    return stringForKey(SettingsKey::OrderActionType);
}

bool UserDef::isOrderActionNowSend() {
    return orderActionType() == QLatin1String("AcNowSend");
}

bool UserDef::isOrderActionAfterSend() {
    return orderActionType() == QLatin1String("AcAfterSend");
}

bool UserDef::isOrderActionSave() {
    return orderActionType() == QLatin1String("AcSave");
}

bool UserDef::isSendOnly() {
    return stringForKey(kExecuteBt) == QLatin1String("BtSendOnly");
}

bool UserDef::isOnline() {
    return true;
}

bool UserDef::isSend() {
    return isOnline() && (isSendOnly() || (!isOrderActionAfterSend() && !isOrderActionSave()));
}

// --- Studio modes ---

namespace {

bool isTestStudioName(const std::optional<QString>& name) {
    static const QStringList names = {QStringLiteral("TestMode"), QStringLiteral("ミラベルテスト"),
                                      QStringLiteral("オーベルテスト"),
                                      QStringLiteral("オーベル開発テスト")};
    return name && names.contains(*name);
}

} // namespace

bool UserDef::isTestMode() {
    return isTestStudioName(stringForKey(kPhotoStudioName)) &&
           customerCode() == QLatin1String("3500");
}

bool UserDef::isAlbumTestMode() {
    return isTestStudioName(stringForKey(kPhotoStudioName));
}

bool UserDef::isTestSendMode() {
    return stringForKey(kPhotoStudioName) == QStringLiteral("オーベルテスト送信") &&
           customerCode() == QLatin1String("3500");
}

bool UserDef::isDevelopMode() {
    const auto name = stringForKey(kPhotoStudioName);
    return name == QStringLiteral("オーベル開発テスト") ||
           name == QStringLiteral("ミラベル開発テスト");
}

bool UserDef::isFtp2SendMode() {
    return isInCommaList(customerCode(), stringForKey(SettingsKey::Ftp2TargetCode));
}

// --- Customer code ---

std::optional<QString> UserDef::customerCode() {
    const auto code = stringForKey(SettingsKey::CustomerCode);
    if (!code) {
        return std::nullopt;
    }
    return cutBranch(*code);
}

std::optional<QString> UserDef::customerCodeTop() {
    std::optional<QString> code;
    const auto customers = arrayForKey(SettingsKey::Customers);
    if (integerForKey(kMultiCustomerCheck) != 0 && customers && !customers->isEmpty()) {
        if (const auto first = mapOf(customers->first())) {
            code = textOf(first->value(SettingsKey::CustomerCode));
        }
    } else {
        code = stringForKey(SettingsKey::CustomerCode);
    }
    if (!code) {
        return std::nullopt;
    }
    return cutBranch(*code);
}

QString UserDef::customerCodeForPhotoStudioName(const QString& photoStudioName) {
    const auto customers = arrayForKey(SettingsKey::Customers);
    if (!customers) {
        return {};
    }
    for (const QVariant& entry : *customers) {
        const auto customer = mapOf(entry);
        if (customer && textOf(customer->value(kPhotoStudioName)) == photoStudioName) {
            return textOf(customer->value(SettingsKey::CustomerCode)).value_or(QString());
        }
    }
    return {};
}

QStringList UserDef::photoStudioNames() {
    QStringList names;
    const auto customers = arrayForKey(SettingsKey::Customers);
    if (!customers) {
        return names;
    }
    // One name per entry, so positions match the entries of Customers.
    for (const QVariant& entry : *customers) {
        const auto customer = mapOf(entry);
        names.append(customer ? textOf(customer->value(kPhotoStudioName)).value_or(QString())
                              : QString());
    }
    return names;
}

// --- Custom customers ---

bool UserDef::isCustomCustomerForCode(const std::optional<QString>& code) {
    return isInCommaList(code, stringForKey(SettingsKey::CustomCustomerCode));
}

bool UserDef::isCustomCustomer() {
    return isCustomCustomerForCode(customerCode());
}

bool UserDef::isCustomCustomer3465() {
    return customerCode() == QLatin1String("3465");
}

bool UserDef::isCustomCustomer3465Group() {
    const auto code = customerCode();
    return code == QLatin1String("3465") || code == QLatin1String("9103") ||
           code == QLatin1String("9158") || code == QLatin1String("9159");
}

bool UserDef::is3465LayoutEditRequest() {
    if (!isCustomCustomer3465()) {
        return false;
    }
    const auto options = listOf(objectForKeyFromAlbumDic(SettingsKey::AlOptoinArray));
    if (!options) {
        return false;
    }
    for (const QVariant& option : *options) {
        const auto text = textOf(option);
        if (text && text->contains(QStringLiteral("レイアウト編集"))) {
            return true;
        }
    }
    return false;
}

void UserDef::saveCustomerMD5(const QString& md5) {
    const auto code = presentCode(customerCode());
    if (!code) {
        return;
    }
    QVariantMap dic = dictionaryForKey(kCustomerMD5Dic).value_or(QVariantMap());
    dic.insert(*code, md5);
    setObject(dic, kCustomerMD5Dic, true);
}

std::optional<QString> UserDef::passMD5ForCode(const std::optional<QString>& code) {
    const auto c = presentCode(code);
    const auto dic = dictionaryForKey(kCustomerMD5Dic);
    if (!c || !dic) {
        return std::nullopt;
    }
    return textOf(dic->value(*c));
}

std::optional<QString> UserDef::passMD5() {
    return passMD5ForCode(customerCode());
}

bool UserDef::isPassMD5ForCode(const std::optional<QString>& code) {
    return passMD5ForCode(code).has_value();
}

bool UserDef::isPassMD5() {
    return passMD5().has_value();
}

bool UserDef::isCustomOK() {
    return isCustomCustomer() && isPassMD5();
}

// --- Custom data ---

void UserDef::saveCustomData(const QString& data, const std::optional<QString>& code,
                             const QString& key) {
    const auto c = presentCode(code);
    if (!c) {
        return;
    }
    QVariantMap dic = dictionaryForKey(kCustomDataDic).value_or(QVariantMap());
    dic.insert(customDataEntryKey(*c, key), data);
    setObject(dic, kCustomDataDic, true);
}

void UserDef::deleteCustomDataForCode(const std::optional<QString>& code,
                                      const std::optional<QString>& key) {
    const auto c = presentCode(code);
    if (!c || !key) {
        return;
    }
    QVariantMap dic = dictionaryForKey(kCustomDataDic).value_or(QVariantMap());
    dic.remove(customDataEntryKey(*c, *key));
    setObject(dic, kCustomDataDic, true);
}

std::optional<QString> UserDef::customDataForCode(const std::optional<QString>& code,
                                                  const QString& key) {
    const auto c = presentCode(code);
    const auto dic = dictionaryForKey(kCustomDataDic);
    if (!c || !dic) {
        return std::nullopt;
    }
    return textOf(dic->value(customDataEntryKey(*c, key)));
}

bool UserDef::isCustomDataForCode(const std::optional<QString>& code, const QString& key) {
    return customDataForCode(code, key).has_value();
}

void UserDef::saveCustomData(const QString& data, const QString& key) {
    saveCustomData(data, customerCode(), key);
}

void UserDef::deleteCustomDataForKey(const QString& key) {
    deleteCustomDataForCode(customerCode(), key);
}

std::optional<QString> UserDef::customDataForKey(const QString& key) {
    return customDataForCode(customerCode(), key);
}

bool UserDef::isCustomDataForKey(const QString& key) {
    return isCustomDataForCode(customerCode(), key);
}

bool UserDef::isCustomDataDelete(const QString& text) {
    return text.contains(QStringLiteral("DELETE-DATA"));
}

void UserDef::customDataSaveOrDelete(const std::optional<QString>& text,
                                     const std::optional<QString>& code, const QString& dataKey) {
    if (!text) {
        return;
    }
    if (isCustomDataDelete(*text)) {
        deleteCustomDataForCode(code, dataKey);
    } else {
        saveCustomData(*text, code, dataKey);
    }
}

// --- Kinelo records ---

void UserDef::setAlbumKineloOrderFileOnly() {
    setObject(QVariantMap{{kOrderType, QStringLiteral("0")}}, kAlbumKineloDic, true);
}

void UserDef::setAlbumKineloAddFiles(const QStringList& files) {
    setObject(QVariantMap{{kOrderType, QStringLiteral("1")}, {kAddFileArray, files}},
              kAlbumKineloDic, true);
}

void UserDef::setAlbumKineloMovFilePath(const QString& movPath, const QString& picFilePath) {
    setObject(QVariantMap{{kOrderType, QStringLiteral("2")},
                          {kMovPath, movPath},
                          {kPicPath, picFilePath}},
              kAlbumKineloDic, true);
}

void UserDef::setPrintKineloMovFilePath(const QString& movPath, const QString& picFilePath) {
    setObject(QVariantMap{{kOrderType, QStringLiteral("2")},
                          {kMovPath, movPath},
                          {kPicPath, picFilePath}},
              kPrintKineloDic, true);
}

bool UserDef::isAlbumKineloFile() {
    return kineloRecord(kAlbumKineloDic).has_value();
}

bool UserDef::isPrintKineloFile() {
    return kineloRecord(kPrintKineloDic).has_value();
}

void UserDef::removeAlbumKineloFile() {
    removeObjectForKey(kAlbumKineloDic);
}

void UserDef::removePrintKineloFile() {
    removeObjectForKey(kPrintKineloDic);
}

qint64 UserDef::albumKinloOrderType() {
    return kineloOrderType(kAlbumKineloDic);
}

qint64 UserDef::printKinloOrderType() {
    return kineloOrderType(kPrintKineloDic);
}

std::optional<QStringList> UserDef::albumKineloAddFiles() {
    return kineloFiles(kAlbumKineloDic);
}

std::optional<QString> UserDef::albumKineloMovFilePath() {
    return kineloText(kAlbumKineloDic, kMovPath);
}

std::optional<QString> UserDef::albumKineloPicFilePath() {
    return kineloText(kAlbumKineloDic, kPicPath);
}

std::optional<QStringList> UserDef::printKineloAddFiles() {
    return kineloFiles(kPrintKineloDic);
}

std::optional<QString> UserDef::printKineloMovFilePath() {
    return kineloText(kPrintKineloDic, kMovPath);
}

std::optional<QString> UserDef::printKineloPicFilePath() {
    return kineloText(kPrintKineloDic, kPicPath);
}

double UserDef::albumKineloAllFileSize() {
    switch (albumKinloOrderType()) {
    case 1: {
        double total = 0;
        for (const QString& path : albumKineloAddFiles().value_or(QStringList())) {
            total += sizeOf(path);
        }
        return total;
    }
    case 2:
        return sizeOf(albumKineloMovFilePath()) + sizeOf(albumKineloPicFilePath());
    default:
        return 0;
    }
}

double UserDef::printKineloAllFileSize() {
    return sizeOf(printKineloMovFilePath()) + sizeOf(printKineloPicFilePath());
}

// --- Album sets ---

qint64 UserDef::albumSetNum() {
    const auto titles = arrayForKey(kAlbumSetTitles);
    return titles ? titles->size() : 0;
}
