#include "product/ProductAlbumData.h"

#include "product/OrbelCsv.h"
#include "service/LabConfig.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "util/StringUtil.h"

#include <QSet>

namespace {

const QString kWildcard = QStringLiteral("0");
const QString kCatalogTop = QStringLiteral("CATALOG_TOP");

// The integer of a text: its leading decimal digits, 0 when there are none.
qint64 leadingInteger(const QString& text) {
    qint64 value = 0;
    for (const QChar ch : text) {
        if (ch < u'0' || ch > u'9' || value > 99'999'999'999'999'999LL) {
            break;
        }
        value = value * 10 + (ch.unicode() - u'0');
    }
    return value;
}

bool rowMatches(const QStringList& fields, const QStringList& keys) {
    const qsizetype n = std::min(keys.size(), fields.size());
    for (qsizetype i = 0; i < n; ++i) {
        const QString& field = fields.at(i);
        const QString& key = keys.at(i);
        if (field == kWildcard || key == kWildcard) {
            continue;
        }
        const QString cell = u',' + field + u',';
        bool match;
        if (cell.contains(QLatin1String(",!"))) {
            match = !cell.contains(QStringLiteral(",!") + key + u',');
        } else {
            match = cell.contains(u',' + key + u',');
        }
        if (!match) {
            return false;
        }
    }
    return true;
}

} // namespace

const QString ProductAlbumData::kAlbum = QStringLiteral("CSV_DATA_ALBUM_AL_ALBUM");
const QString ProductAlbumData::kSize = QStringLiteral("CSV_DATA_ALBUM_AL_SIZE");
const QString ProductAlbumData::kPage = QStringLiteral("CSV_DATA_ALBUM_AL_PAGE");
const QString ProductAlbumData::kBaseCol = QStringLiteral("CSV_DATA_ALBUM_AL_BASE_COL");
const QString ProductAlbumData::kInMen = QStringLiteral("CSV_DATA_ALBUM_AL_IN_MEN");
const QString ProductAlbumData::kInUvMen = QStringLiteral("CSV_DATA_ALBUM_AL_IN_UVMEN");
const QString ProductAlbumData::kBbStyle = QStringLiteral("CSV_DATA_ALBUM_AL_BB_STYLE");
const QString ProductAlbumData::kHyou = QStringLiteral("CSV_DATA_ALBUM_AL_HYOU");
const QString ProductAlbumData::kHyouCol = QStringLiteral("CSV_DATA_ALBUM_AL_HYOU_COL");
const QString ProductAlbumData::kHyouTemp = QStringLiteral("CSV_DATA_ALBUM_AL_HYOU_TEMP");
const QString ProductAlbumData::kHyouSeCol = QStringLiteral("CSV_DATA_ALBUM_AL_HYOU_SECOL");
const QString ProductAlbumData::kHyouAutoAdd = QStringLiteral("CSV_DATA_ALBUM_AL_HYOU_AUTOADD");
const QString ProductAlbumData::kHyouId = QStringLiteral("CSV_DATA_ALBUM_AL_HYOU_ID");
const QString ProductAlbumData::kBox = QStringLiteral("CSV_DATA_ALBUM_AL_BOX");
const QString ProductAlbumData::kBoxCol = QStringLiteral("CSV_DATA_ALBUM_AL_BOX_COL");
const QString ProductAlbumData::kMini = QStringLiteral("CSV_DATA_ALBUM_AL_MINI");
const QString ProductAlbumData::kMiniCol = QStringLiteral("CSV_DATA_ALBUM_AL_MINI_COL");
const QString ProductAlbumData::kOpt = QStringLiteral("CSV_DATA_ALBUM_AL_OPT");
const QString ProductAlbumData::kOptPageQu = QStringLiteral("CSV_DATA_ALBUM_AL_OPT_PAGE_QU");
const QString ProductAlbumData::kOptPageQua = QStringLiteral("CSV_DATA_ALBUM_AL_OPT_PAGE_QUA");
const QString ProductAlbumData::kOptOrderQu = QStringLiteral("CSV_DATA_ALBUM_AL_OPT_ORDER_QU");
const QString ProductAlbumData::kOrderNum = QStringLiteral("CSV_DATA_ALBUM_AL_ORDER_NUM");
const QString ProductAlbumData::kOrderLimit = QStringLiteral("CSV_DATA_ALBUM_AL_ORDER_LIMIT");
const QString ProductAlbumData::kPutNameDate = QStringLiteral("CSV_DATA_ALBUM_AL_PUT_NAMEDATE");
const QString ProductAlbumData::kAlbumCode = QStringLiteral("CSV_DATA_ALBUM_AL_ALBUM_CODE");
const QString ProductAlbumData::kSalon3465 = QStringLiteral("CSV_DATA_OPTION_SALON_3465");
const QString ProductAlbumData::kVenue3465 = QStringLiteral("CSV_DATA_OPTION_VENUE_3465");
const QString ProductAlbumData::kMasSize = QStringLiteral("CSV_DATA_ALBUM_MAS_SIZE");
const QString ProductAlbumData::kMasCatalog = QStringLiteral("CSV_DATA_ALBUM_MAS_CATALOG");

const QStringList& ProductAlbumData::lookupSectionNames() {
    static const QStringList names{
        kAlbum,    kSize,       kPage,        kBaseCol,   kInMen,       kInUvMen,    kBbStyle,
        kHyou,     kHyouCol,    kHyouTemp,    kHyouSeCol, kHyouAutoAdd, kHyouId,     kBox,
        kBoxCol,   kMini,       kMiniCol,     kOpt,       kOptPageQu,   kOptPageQua, kOptOrderQu,
        kOrderNum, kOrderLimit, kPutNameDate, kAlbumCode, kSalon3465,   kVenue3465};
    return names;
}

QString ProductAlbumData::sectionText(const QString& csvs, const QString& sectionName) {
    const QString open = QStringLiteral("<!--") + sectionName + u'\n';
    const QString close = u'\n' + sectionName + QStringLiteral("-->");
    const qsizetype openAt = csvs.indexOf(open);
    const qsizetype closeAt = csvs.indexOf(close);
    if (openAt < 0 || closeAt < 0) {
        return QString();
    }
    const qsizetype start = openAt + open.size();
    if (closeAt < start) {
        return QString();
    }
    return csvs.mid(start, closeAt - start);
}

ProductAlbumData::ProductAlbumData(const QString& productData) {
    UserDef::setAppStatus(QStringLiteral("ProductAlbumData init"));
    productCsvs_ = orbel::convertLineFeedCodeToLF(productData);
    UserDef::setAppStatus(QStringLiteral("ProductAlbumData init2"));
    makeProductArrayDic();
    UserDef::setAppStatus(QStringLiteral("ProductAlbumData init3"));
    makeSizeMasterDic();
    makeCatalogMasterDic();
    UserDef::setAppStatus(QStringLiteral("ProductAlbumData init end"));
}

ProductAlbumData::Rows ProductAlbumData::sectionRows(const QString& sectionName) const {
    Rows rows;
    const QString content = sectionText(productCsvs_, sectionName);
    if (content.isEmpty()) {
        return rows; // a missing or empty section has no rows
    }
    const QStringList lines = content.split(u'\n');
    rows.reserve(lines.size());
    for (const QString& line : lines) {
        rows.append(orbel::csvStringSeparate(line));
    }
    return rows;
}

void ProductAlbumData::makeProductArrayDic() {
    for (const QString& name : lookupSectionNames()) {
        productArrayDic_.insert(name, sectionRows(name));
    }
}

void ProductAlbumData::makeSizeMasterDic() {
    for (const Row& row : sectionRows(kMasSize)) {
        if (row.size() < 2) {
            continue;
        }
        masSizeDic_.insert(row.at(0), row.at(1));
        masSizeViewDic_.insert(row.at(1), row.at(0));
    }
}

void ProductAlbumData::makeCatalogMasterDic() {
    for (const Row& row : sectionRows(kMasCatalog)) {
        if (row.size() < 2) {
            continue;
        }
        masCatalogDic_.insert(row.at(0), row.at(1));
    }
}

QStringList ProductAlbumData::itemsWithKey(const QString& key,
                                           const std::optional<QStringList>& keyItems) const {
    QStringList items;
    const auto section = productArrayDic_.constFind(key);
    if (section == productArrayDic_.cend()) {
        return items;
    }
    const QStringList keys = keyItems.value_or(QStringList());
    const qsizetype itemColumn = keys.size();
    QSet<QString> seen;
    for (const Row& row : section.value()) {
        if (!keys.isEmpty() && !rowMatches(row, keys)) {
            continue;
        }
        if (row.size() <= itemColumn) {
            continue;
        }
        const QString& item = row.at(itemColumn);
        if (!seen.contains(item)) {
            seen.insert(item);
            items.append(item);
        }
    }
    return items;
}

QString ProductAlbumData::codeWithKey(const QString& key,
                                      const std::optional<QStringList>& keyItems) const {
    const QStringList items = itemsWithKey(key, keyItems);
    return items.size() == 1 ? items.first() : QString();
}

QString ProductAlbumData::labelWithKey(const QString& key,
                                       const std::optional<QStringList>& keyItems) const {
    const QStringList items = itemsWithKey(key, keyItems);
    return items.isEmpty() ? QString() : items.first();
}

QStringList ProductAlbumData::itemsAlbum() const {
    return itemsWithKey(kAlbum, std::nullopt);
}

QString ProductAlbumData::viewSizeFromSize(const QString& size) const {
    return masSizeDic_.value(size, size);
}

QString ProductAlbumData::sizeFromViewSize(const QString& viewSize) const {
    return masSizeViewDic_.value(viewSize, viewSize);
}

// --- Code lookups ---

QVariantMap ProductAlbumData::currentAlbumDic() {
    return UserDef::albumDic().value_or(QVariantMap());
}

QString ProductAlbumData::choice(const QVariantMap& albumDic, const QString& control) const {
    const QString value = albumDic.value(control).toString();
    return control == SettingsKey::AlSizePop ? sizeFromViewSize(value) : value;
}

QString ProductAlbumData::productCodePure(const QVariantMap& d) const {
    return codeWithKey(
        kAlbumCode,
        QStringList{choice(d, SettingsKey::AlAlbumPop), choice(d, SettingsKey::AlSizePop),
                    choice(d, SettingsKey::AlPagePop), choice(d, SettingsKey::AlInpMenPop),
                    choice(d, SettingsKey::AlInpRamiPop), choice(d, SettingsKey::AlHyouPop)});
}

QString ProductAlbumData::productCode2Pure(const QVariantMap& d) const {
    return codeWithKey(kAlbumCode, QStringList{choice(d, SettingsKey::AlAlbumPop),
                                               choice(d, SettingsKey::AlSizePop),
                                               choice(d, SettingsKey::AlPagePop),
                                               choice(d, SettingsKey::AlInpMenPop),
                                               choice(d, SettingsKey::AlInpRamiPop),
                                               choice(d, SettingsKey::AlHyouPop), kWildcard});
}

bool ProductAlbumData::isCodeTop9999(const QString& code) {
    return code.size() == 12 && code.startsWith(QLatin1String("9999"));
}

bool ProductAlbumData::isProductCodeTop9999(const QVariantMap& d) const {
    return isCodeTop9999(productCodePure(d));
}

QString ProductAlbumData::hyouLookup(const QVariantMap& d) const {
    return codeWithKey(
        kHyou, QStringList{choice(d, SettingsKey::AlAlbumPop), choice(d, SettingsKey::AlSizePop),
                           choice(d, SettingsKey::AlPagePop), choice(d, SettingsKey::AlHyouPop)});
}

QString ProductAlbumData::hyouCodeTop4(const QVariantMap& d) const {
    const QString code = hyouLookup(d);
    return code.size() < 4 ? QStringLiteral("9999") : code.left(4);
}

QString ProductAlbumData::hyouCodeSecond4(const QVariantMap& d) const {
    const QString code = hyouLookup(d);
    return code.size() < 9 ? QStringLiteral("9999") : code.mid(5, 4);
}

QString ProductAlbumData::productCode(const QVariantMap& d) const {
    const QString code = productCodePure(d);
    return isCodeTop9999(code) ? hyouCodeTop4(d) + code.mid(4) : code;
}

QString ProductAlbumData::productCode2(const QVariantMap& d) const {
    const QString code = productCode2Pure(d);
    return isCodeTop9999(code) ? hyouCodeSecond4(d) + code.mid(4) : code;
}

QString ProductAlbumData::hyouCode(const QVariantMap& d) const {
    // The cover is priced inside the product code then; the report carries a neutral id.
    if (isProductCodeTop9999(d)) {
        return QStringLiteral("9999,9999,11");
    }
    return hyouLookup(d);
}

QString ProductAlbumData::inMenCode(const QVariantMap& d) const {
    return codeWithKey(kInMen, QStringList{choice(d, SettingsKey::AlAlbumPop),
                                           choice(d, SettingsKey::AlSizePop),
                                           choice(d, SettingsKey::AlHyouPop),
                                           choice(d, SettingsKey::AlInpMenPop)});
}

QString ProductAlbumData::inUVMenCode(const QVariantMap& d) const {
    return codeWithKey(kInUvMen, QStringList{choice(d, SettingsKey::AlAlbumPop),
                                             choice(d, SettingsKey::AlSizePop),
                                             choice(d, SettingsKey::AlInpMenPop),
                                             choice(d, SettingsKey::AlHyouPop),
                                             choice(d, SettingsKey::AlInpRamiPop)});
}

QString ProductAlbumData::bBStyleCode(const QVariantMap& d) const {
    return codeWithKey(kBbStyle, QStringList{choice(d, SettingsKey::AlAlbumPop),
                                             choice(d, SettingsKey::AlSizePop),
                                             choice(d, SettingsKey::AlInpMenPop), kWildcard,
                                             choice(d, SettingsKey::AlBBStylePop)});
}

QString ProductAlbumData::baseColOptCode(const QVariantMap& d) const {
    return codeWithKey(kBaseCol, QStringList{choice(d, SettingsKey::AlAlbumPop),
                                             choice(d, SettingsKey::AlHyouColPop),
                                             choice(d, SettingsKey::AlBaseColPop)});
}

QString ProductAlbumData::hyouOpt1Code(const QVariantMap& d) const {
    return codeWithKey(kHyouCol, QStringList{choice(d, SettingsKey::AlAlbumPop),
                                             choice(d, SettingsKey::AlSizePop),
                                             choice(d, SettingsKey::AlHyouPop),
                                             choice(d, SettingsKey::AlHyouColPop)});
}

QString ProductAlbumData::hyouOpt2Code(const QVariantMap& d) const {
    return codeWithKey(kHyouTemp, QStringList{choice(d, SettingsKey::AlAlbumPop),
                                              choice(d, SettingsKey::AlSizePop),
                                              choice(d, SettingsKey::AlHyouPop),
                                              choice(d, SettingsKey::AlHyouTempPop)});
}

QString ProductAlbumData::hyouOpt21Code(const QVariantMap& d) const {
    return codeWithKey(kHyouSeCol, QStringList{choice(d, SettingsKey::AlAlbumPop),
                                               choice(d, SettingsKey::AlSizePop),
                                               choice(d, SettingsKey::AlHyouPop),
                                               choice(d, SettingsKey::AlHyouTempPop),
                                               choice(d, SettingsKey::AlHyouSeColPop)});
}

QString ProductAlbumData::hyouAutoAddValue(const QVariantMap& d) const {
    return labelWithKey(kHyouAutoAdd, QStringList{choice(d, SettingsKey::AlAlbumPop),
                                                  choice(d, SettingsKey::AlSizePop),
                                                  choice(d, SettingsKey::AlHyouPop)});
}

QString ProductAlbumData::hyouAutoAddCode(const QVariantMap& d) const {
    return codeWithKey(kHyouAutoAdd, QStringList{choice(d, SettingsKey::AlAlbumPop),
                                                 choice(d, SettingsKey::AlSizePop),
                                                 choice(d, SettingsKey::AlHyouPop), kWildcard});
}

QString ProductAlbumData::hyouAutoAddLabel(const QVariantMap& d) const {
    return labelWithKey(kHyouAutoAdd,
                        QStringList{choice(d, SettingsKey::AlAlbumPop),
                                    choice(d, SettingsKey::AlSizePop),
                                    choice(d, SettingsKey::AlHyouPop), kWildcard, kWildcard});
}

QString ProductAlbumData::hyouIdCode(const QVariantMap& d) const {
    return codeWithKey(kHyouId, QStringList{hyouCode(d), choice(d, SettingsKey::AlHyouPop),
                                            choice(d, SettingsKey::AlHyouColPop),
                                            choice(d, SettingsKey::AlHyouTempPop),
                                            choice(d, SettingsKey::AlHyouSeColPop)});
}

QString ProductAlbumData::boxCode(const QVariantMap& d) const {
    return codeWithKey(kBox, QStringList{choice(d, SettingsKey::AlAlbumPop),
                                         choice(d, SettingsKey::AlSizePop),
                                         choice(d, SettingsKey::AlBoxPop)});
}

QString ProductAlbumData::boxOpt1Code(const QVariantMap& d) const {
    return codeWithKey(kBoxCol, QStringList{choice(d, SettingsKey::AlAlbumPop),
                                            choice(d, SettingsKey::AlSizePop),
                                            choice(d, SettingsKey::AlBoxPop),
                                            choice(d, SettingsKey::AlBoxColPop)});
}

QString ProductAlbumData::miniCode(const QVariantMap& d) const {
    return codeWithKey(
        kMini, QStringList{choice(d, SettingsKey::AlAlbumPop), choice(d, SettingsKey::AlSizePop),
                           choice(d, SettingsKey::AlPagePop), choice(d, SettingsKey::AlInpRamiPop),
                           choice(d, SettingsKey::AlMiniPop)});
}

QString ProductAlbumData::miniCode2(const QVariantMap& d) const {
    return codeWithKey(
        kMini, QStringList{choice(d, SettingsKey::AlAlbumPop), choice(d, SettingsKey::AlSizePop),
                           choice(d, SettingsKey::AlPagePop), choice(d, SettingsKey::AlInpRamiPop),
                           choice(d, SettingsKey::AlMiniPop), kWildcard});
}

QString ProductAlbumData::miniOpt1Code(const QVariantMap& d) const {
    return codeWithKey(kMiniCol, QStringList{choice(d, SettingsKey::AlAlbumPop),
                                             choice(d, SettingsKey::AlSizePop),
                                             choice(d, SettingsKey::AlMiniPop),
                                             choice(d, SettingsKey::AlMiniColPop)});
}

QString ProductAlbumData::optCodeForOptName(const QString& optName, const QVariantMap& d) const {
    return codeWithKey(
        kOpt, QStringList{choice(d, SettingsKey::AlAlbumPop), choice(d, SettingsKey::AlSizePop),
                          choice(d, SettingsKey::AlPagePop), choice(d, SettingsKey::AlHyouPop),
                          choice(d, SettingsKey::AlHyouTempPop),
                          choice(d, SettingsKey::AlBaseColPop), optName});
}

QString ProductAlbumData::kineloCodeForOptName(const QString& optName, const QVariantMap& d) const {
    // Kinelo options are listed under their own name in the album column.
    return codeWithKey(kOpt, QStringList{optName, choice(d, SettingsKey::AlSizePop),
                                         choice(d, SettingsKey::AlPagePop),
                                         choice(d, SettingsKey::AlHyouPop),
                                         choice(d, SettingsKey::AlHyouTempPop),
                                         choice(d, SettingsKey::AlBaseColPop), optName});
}

// --- Memberships and whole sections ---

bool ProductAlbumData::isFirstColumnValue(const QString& section, const QString& name) const {
    return itemsWithKey(section, std::nullopt).contains(name);
}

bool ProductAlbumData::isOptionPageQuantity(const QString& name) const {
    return isFirstColumnValue(kOptPageQu, name);
}

bool ProductAlbumData::isOptionPageQuantityAbs(const QString& name) const {
    return isFirstColumnValue(kOptPageQua, name);
}

bool ProductAlbumData::isOptionOrderQuantity(const QString& name) const {
    return isFirstColumnValue(kOptOrderQu, name);
}

bool ProductAlbumData::isPutNameDateProduct(const QString& name) const {
    return isFirstColumnValue(kPutNameDate, name);
}

qint64 ProductAlbumData::orderLimit(const QString& album) const {
    const QStringList values = itemsWithKey(kOrderLimit, QStringList{album});
    return values.size() == 1 ? leadingInteger(values.first()) : 0;
}

ProductAlbumData::Rows ProductAlbumData::salonArray3465() const {
    return productArrayDic_.value(kSalon3465);
}

ProductAlbumData::Rows ProductAlbumData::venueArray3465() const {
    return productArrayDic_.value(kVenue3465);
}

QString ProductAlbumData::catalogURLFromKey(const QString& album) const {
    // An empty address opens nothing, so it counts as missing.
    const QString url = masCatalogDic_.value(album);
    if (!url.isEmpty()) {
        return url;
    }
    const QString top = masCatalogDic_.value(kCatalogTop);
    if (!top.isEmpty()) {
        return top;
    }
    return LabConfig::webServer() + u'/';
}
