#include "product/ProductOneTableInfo.h"

#include "product/ProductPopUpButton.h"
#include "product/ProductXmlReader.h"
#include "settings/UserDef.h"

#include <algorithm>
#include <limits>

namespace {

const QString kId = QStringLiteral("id");
const QString kName = QStringLiteral("name");

// The integer an id text stands for: its leading decimal digits (after blanks and a sign), 0
// when there are none, so a damaged id still sorts instead of dropping its record.
qint64 idNumber(const ProductRecord& record) {
    const QString text = productRecordText(record, kId).trimmed();
    qsizetype pos = 0;
    bool negative = false;
    if (pos < text.size() && (text.at(pos) == u'-' || text.at(pos) == u'+')) {
        negative = text.at(pos) == u'-';
        ++pos;
    }
    qint64 value = 0;
    for (; pos < text.size() && text.at(pos).isDigit() && text.at(pos).unicode() < 128; ++pos) {
        if (value > (std::numeric_limits<qint64>::max() - 9) / 10) {
            break; // more digits than an id can carry: keep the order they give so far
        }
        value = value * 10 + (text.at(pos).unicode() - u'0');
    }
    return negative ? -value : value;
}

} // namespace

ProductOneTableInfo::ProductOneTableInfo(const QString& tableName, const QString& xmlData)
    : tableName_(tableName), allRecords_(allRecordDicFromXmlData(tableName, xmlData)) {}

ProductOneTableInfo::ProductOneTableInfo(const QString& tableName, QList<ProductRecord> records)
    : tableName_(tableName), allRecords_(std::move(records)) {}

QList<ProductRecord> ProductOneTableInfo::allRecordDicFromXmlData(const QString& tableName,
                                                                  const QString& xmlData) {
    QList<ProductRecord> records;
    const auto elements = ProductXmlReader::rootChildElements(xmlData);
    if (!elements) {
        return records;
    }
    for (const ProductXmlReader::Element& element : *elements) {
        if (element.name == tableName) {
            records.append(element.record);
        }
    }
    return records;
}

QList<ProductRecord>
ProductOneTableInfo::andQueryForQueryDic(const std::optional<QVariantMap>& queryDic) const {
    if (!queryDic) {
        return allRecords_;
    }
    QList<ProductRecord> result;
    for (const ProductRecord& record : allRecords_) {
        bool match = true;
        for (auto it = queryDic->cbegin(); it != queryDic->cend(); ++it) {
            if (!record.contains(it.key()) ||
                record.value(it.key()).toString() != it.value().toString()) {
                match = false;
                break;
            }
        }
        if (match) {
            result.append(record);
        }
    }
    return result;
}

QList<ProductRecord>
ProductOneTableInfo::orQueryForQueryArray(const std::optional<QVariantList>& queryArray) const {
    if (!queryArray) {
        return allRecords_;
    }
    QList<ProductRecord> result;
    for (const ProductRecord& record : allRecords_) {
        for (const QVariant& entry : *queryArray) {
            const QVariantMap condition = entry.toMap();
            const QString column = condition.value(QStringLiteral("column")).toString();
            if (record.contains(column) &&
                record.value(column).toString() ==
                    condition.value(QStringLiteral("value")).toString()) {
                result.append(record);
                break;
            }
        }
    }
    return result;
}

QList<ProductRecord> ProductOneTableInfo::sortRecordsArray(const QList<ProductRecord>& records) {
    QList<std::pair<qint64, qsizetype>> order;
    order.reserve(records.size());
    for (qsizetype i = 0; i < records.size(); ++i) {
        order.append({idNumber(records.at(i)), i});
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QList<ProductRecord> sorted;
    sorted.reserve(records.size());
    for (const auto& entry : order) {
        sorted.append(records.at(entry.second));
    }
    return sorted;
}

void ProductOneTableInfo::makePopup(ProductPopUpButton& popup,
                                    const std::optional<QVariantMap>& queryDic) const {
    popup.removeAllItems();
    addPopup(popup, andQueryForQueryDic(queryDic));
}

void ProductOneTableInfo::makePopupForLinkTableInfo(ProductPopUpButton& popup,
                                                    const ProductOneTableInfo& linkTableInfo,
                                                    const std::optional<QVariantMap>& linkQueryDic,
                                                    const QString& idKey) const {
    popup.removeAllItems();
    QVariantList conditions;
    for (const ProductRecord& link : linkTableInfo.andQueryForQueryDic(linkQueryDic)) {
        // A link row without the id column links nothing.
        if (!link.contains(idKey)) {
            continue;
        }
        conditions.append(QVariantMap{{QStringLiteral("column"), kId},
                                      {QStringLiteral("value"), link.value(idKey).toString()}});
    }
    addPopup(popup, orQueryForQueryArray(conditions));
}

QString ProductOneTableInfo::popupTitle(const ProductRecord& record, bool testMode) {
    const QString name = productRecordText(record, kName);
    if (!testMode) {
        return name;
    }
    QString suffix;
    for (auto it = record.cbegin(); it != record.cend(); ++it) {
        if (it.key() == kId || it.key() == kName) {
            continue;
        }
        suffix = QStringLiteral("%1 [%2]%3").arg(suffix, it.key(), it.value().toString());
    }
    return QStringLiteral("%1: %2\t%3").arg(productRecordText(record, kId), name, suffix);
}

void ProductOneTableInfo::addPopup(ProductPopUpButton& popup, const QList<ProductRecord>& records) {
    const bool testMode = UserDef::isTestMode();
    for (const ProductRecord& record : sortRecordsArray(records)) {
        const QString title = popupTitle(record, testMode);
        const int existing = popup.indexOfItemWithTitle(title);
        if (existing >= 0) {
            popup.removeItemAtIndex(existing);
        }
        popup.addItemWithTitle(title, record);
    }
    if (popup.numberOfItems() > 0) {
        popup.selectItemAtIndex(0);
        popup.setEnabled(true);
    } else {
        popup.setEnabled(false);
    }
}
