#include "settings/UserDef.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "util/OrderTab.h"
#include "util/PathUtil.h"
#include "util/Tool.h"

#include <atomic>

namespace {

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
    const auto type = textOf(record->value(SettingsKey::OrderType));
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
    const auto list = listOf(record->value(SettingsKey::AddFileArray));
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

HALVIX_DIC_TRIPLE(PrintDic, printDic, SettingsKey::PrintDic)
HALVIX_DIC_TRIPLE(SchoolDic, schoolDic, SettingsKey::SchoolDic)
HALVIX_DIC_TRIPLE(AlbumDic, albumDic, SettingsKey::AlbumDic)
HALVIX_DIC_TRIPLE(ResizeDic, resizeDic, SettingsKey::ResizeDic)
HALVIX_DIC_TRIPLE(EtcDic, etcDic, SettingsKey::EtcDic)
HALVIX_DIC_TRIPLE(OrderInfoDic, orderInfoDic, SettingsKey::OrderInfoDic)
HALVIX_DIC_TRIPLE(CharInputDic, charInputDic, SettingsKey::CharInputDic)
HALVIX_DIC_TRIPLE(FotoFusionDic, fotoFusionDic, SettingsKey::FotoFusionDic)
HALVIX_DIC_TRIPLE(FileDownHistoryDic, fileDownHistoryDic, SettingsKey::FileDownHistoryDic)

#undef HALVIX_DIC_TRIPLE

// --- Order arrays and plain setters ---

void UserDef::setPrintOrderArray(const QVariantList& array) {
    setObject(array, SettingsKey::PrintOrderArray);
}

std::optional<QVariantList> UserDef::printOrderArray() {
    return arrayForKey(SettingsKey::PrintOrderArray);
}

void UserDef::setSchoolOrderArray(const QVariantList& array) {
    setObject(array, SettingsKey::SchoolOrderArray);
}

std::optional<QVariantList> UserDef::schoolOrderArray() {
    return arrayForKey(SettingsKey::SchoolOrderArray);
}

void UserDef::setExecuteButton(const QString& value) {
    setObject(value, SettingsKey::ExecuteBt);
}

void UserDef::setOrderActionType(const QString& value) {
    setObject(value, SettingsKey::OrderActionType);
}

void UserDef::setOrderSavePath(const QString& value) {
    setObject(value, SettingsKey::OrderSavePath);
}

// --- Lettering ---

void UserDef::removeCharInputDic() {
    removeObjectForKey(SettingsKey::CharInputDic);
}

bool UserDef::isCharInputDic() {
    return charInputDic().has_value();
}

QString UserDef::charInputName() {
    return textOf(objectForKeyFromCharInputDic(SettingsKey::OrderCharName)).value_or(QString());
}

QString UserDef::charInputDate() {
    return textOf(objectForKeyFromCharInputDic(SettingsKey::OrderCharDate)).value_or(QString());
}

// --- Run status ---

namespace {

std::atomic<bool> gAppStatusWriteBehind{false};

} // namespace

void UserDef::setAppStatus(const QString& status) {
    // The end of a run (an empty status) is always written through.
    const bool behind = gAppStatusWriteBehind.load() && !status.isEmpty();
    setObject(status, SettingsKey::AppStatus, !behind);
    if (behind) {
        SettingsStore::flushSoon();
    }
}

void UserDef::beginAppStatusWriteBehind() {
    gAppStatusWriteBehind.store(true);
}

void UserDef::endAppStatusWriteBehind() {
    if (gAppStatusWriteBehind.exchange(false)) {
        SettingsStore::flush();
    }
}

QString UserDef::appStatus() {
    return stringForKey(SettingsKey::AppStatus).value_or(QString());
}

void UserDef::backupPreviousAppStatus() {
    setObject(appStatus(), SettingsKey::AppPreviousStatus, true);
}

QString UserDef::previousAppStatus() {
    return stringForKey(SettingsKey::AppPreviousStatus).value_or(QString());
}

// --- Identity ---

QString UserDef::macAddress() {
    return macAddress([] { return Tool::getMacAddressUpperStr(); });
}

QString UserDef::macAddress(const std::function<QString()>& addressReader) {
    if (const auto cached = stringForKey(SettingsKey::MacAddr); cached && !cached->isEmpty()) {
        return *cached;
    }
    const QString address = addressReader ? addressReader() : QString();
    if (address.length() != 12) {
        return QStringLiteral("000000000000");
    }
    setObject(address, SettingsKey::MacAddr);
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
    return isMainTab(orderTabLabel(OrderTab::Print));
}

bool UserDef::isSchoolTab() {
    return isMainTab(orderTabLabel(OrderTab::School));
}

bool UserDef::isAlbumTab() {
    return isMainTab(orderTabLabel(OrderTab::Album));
}

bool UserDef::isResizeTab() {
    return isMainTab(orderTabLabel(OrderTab::Resize));
}

bool UserDef::isEtcTab() {
    return isMainTab(orderTabLabel(OrderTab::Etc));
}

bool UserDef::isFullPathTab() {
    return !(isSchoolTab() || isResizeTab() || isPrintTab());
}

bool UserDef::isResizeMode() {
    if (!isResizeTab()) {
        return false;
    }
    const auto dic = resizeDic();
    return dic && dic->contains(SettingsKey::ResizeResizeCbKey);
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
    return stringForKey(SettingsKey::ExecuteBt) == QLatin1String("BtSendOnly");
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
    return isTestStudioName(stringForKey(SettingsKey::PhotoStudioName)) &&
           customerCode() == QLatin1String("3500");
}

bool UserDef::isAlbumTestMode() {
    return isTestStudioName(stringForKey(SettingsKey::PhotoStudioName));
}

bool UserDef::isTestSendMode() {
    return stringForKey(SettingsKey::PhotoStudioName) == QStringLiteral("オーベルテスト送信") &&
           customerCode() == QLatin1String("3500");
}

bool UserDef::isDevelopMode() {
    const auto name = stringForKey(SettingsKey::PhotoStudioName);
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
    if (integerForKey(SettingsKey::MultiCustomerCheck) != 0 && customers && !customers->isEmpty()) {
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
        if (customer && textOf(customer->value(SettingsKey::PhotoStudioName)) == photoStudioName) {
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
        names.append(customer
                         ? textOf(customer->value(SettingsKey::PhotoStudioName)).value_or(QString())
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
    QVariantMap dic = dictionaryForKey(SettingsKey::CustomerMD5Dic).value_or(QVariantMap());
    dic.insert(*code, md5);
    setObject(dic, SettingsKey::CustomerMD5Dic, true);
}

std::optional<QString> UserDef::passMD5ForCode(const std::optional<QString>& code) {
    const auto c = presentCode(code);
    const auto dic = dictionaryForKey(SettingsKey::CustomerMD5Dic);
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
    QVariantMap dic = dictionaryForKey(SettingsKey::CustomDataDic).value_or(QVariantMap());
    dic.insert(customDataEntryKey(*c, key), data);
    setObject(dic, SettingsKey::CustomDataDic, true);
}

void UserDef::deleteCustomDataForCode(const std::optional<QString>& code,
                                      const std::optional<QString>& key) {
    const auto c = presentCode(code);
    if (!c || !key) {
        return;
    }
    QVariantMap dic = dictionaryForKey(SettingsKey::CustomDataDic).value_or(QVariantMap());
    dic.remove(customDataEntryKey(*c, *key));
    setObject(dic, SettingsKey::CustomDataDic, true);
}

std::optional<QString> UserDef::customDataForCode(const std::optional<QString>& code,
                                                  const QString& key) {
    const auto c = presentCode(code);
    const auto dic = dictionaryForKey(SettingsKey::CustomDataDic);
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
    setObject(QVariantMap{{SettingsKey::OrderType, QStringLiteral("0")}},
              SettingsKey::AlbumKineloDic, true);
}

void UserDef::setAlbumKineloAddFiles(const QStringList& files) {
    setObject(QVariantMap{{SettingsKey::OrderType, QStringLiteral("1")},
                          {SettingsKey::AddFileArray, files}},
              SettingsKey::AlbumKineloDic, true);
}

void UserDef::setAlbumKineloMovFilePath(const QString& movPath, const QString& picFilePath) {
    setObject(QVariantMap{{SettingsKey::OrderType, QStringLiteral("2")},
                          {SettingsKey::MovPath, movPath},
                          {SettingsKey::PicPath, picFilePath}},
              SettingsKey::AlbumKineloDic, true);
}

void UserDef::setPrintKineloMovFilePath(const QString& movPath, const QString& picFilePath) {
    setObject(QVariantMap{{SettingsKey::OrderType, QStringLiteral("2")},
                          {SettingsKey::MovPath, movPath},
                          {SettingsKey::PicPath, picFilePath}},
              SettingsKey::PrintKineloDic, true);
}

bool UserDef::isAlbumKineloFile() {
    return kineloRecord(SettingsKey::AlbumKineloDic).has_value();
}

bool UserDef::isPrintKineloFile() {
    return kineloRecord(SettingsKey::PrintKineloDic).has_value();
}

void UserDef::removeAlbumKineloFile() {
    removeObjectForKey(SettingsKey::AlbumKineloDic);
}

void UserDef::removePrintKineloFile() {
    removeObjectForKey(SettingsKey::PrintKineloDic);
}

qint64 UserDef::albumKinloOrderType() {
    return kineloOrderType(SettingsKey::AlbumKineloDic);
}

qint64 UserDef::printKinloOrderType() {
    return kineloOrderType(SettingsKey::PrintKineloDic);
}

std::optional<QStringList> UserDef::albumKineloAddFiles() {
    return kineloFiles(SettingsKey::AlbumKineloDic);
}

std::optional<QString> UserDef::albumKineloMovFilePath() {
    return kineloText(SettingsKey::AlbumKineloDic, SettingsKey::MovPath);
}

std::optional<QString> UserDef::albumKineloPicFilePath() {
    return kineloText(SettingsKey::AlbumKineloDic, SettingsKey::PicPath);
}

std::optional<QStringList> UserDef::printKineloAddFiles() {
    return kineloFiles(SettingsKey::PrintKineloDic);
}

std::optional<QString> UserDef::printKineloMovFilePath() {
    return kineloText(SettingsKey::PrintKineloDic, SettingsKey::MovPath);
}

std::optional<QString> UserDef::printKineloPicFilePath() {
    return kineloText(SettingsKey::PrintKineloDic, SettingsKey::PicPath);
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
    const auto titles = arrayForKey(SettingsKey::AlbumSetTitles);
    return titles ? titles->size() : 0;
}
