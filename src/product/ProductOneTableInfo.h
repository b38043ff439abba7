#pragma once

#include "product/ProductRecord.h"

#include <QList>
#include <QString>
#include <QVariantList>
#include <optional>

class ProductPopUpButton;

// One table of a catalogue XML (categories, sizes, surfaces, a link table, ...): its records in
// document order, simple equality queries on them, and the filling of a product pop-up.
class ProductOneTableInfo {
public:
    ProductOneTableInfo() = default;
    // Parses the whole text and keeps the records of the root's children named tableName.
    ProductOneTableInfo(const QString& tableName, const QString& xmlData);
    // The same from records already read (a catalogue reads its text once for all its tables).
    ProductOneTableInfo(const QString& tableName, QList<ProductRecord> records);

    const QString& tableName() const { return tableName_; }
    const QList<ProductRecord>& allRecords() const { return allRecords_; }
    // Kept with the table; titles always come from "name".
    const QString& dispColumName() const { return dispColumName_; }
    void setDispColumName(const QString& column) { dispColumName_ = column; }

    // The records of the table named tableName in the text; empty when the text is refused.
    static QList<ProductRecord> allRecordDicFromXmlData(const QString& tableName,
                                                        const QString& xmlData);

    // Records for which every pair of the query is equal (a record without the column fails);
    // all records without a query.
    QList<ProductRecord> andQueryForQueryDic(const std::optional<QVariantMap>& queryDic) const;
    // Records for which some entry {"column", "value"} is equal; all without an array, none for
    // an empty array.
    QList<ProductRecord> orQueryForQueryArray(const std::optional<QVariantList>& queryArray) const;
    // Ordered by the integer value of "id", ascending; equal ids keep their order.
    static QList<ProductRecord> sortRecordsArray(const QList<ProductRecord>& records);

    // Empties the pop-up and fills it with the records of the query.
    void makePopup(ProductPopUpButton& popup, const std::optional<QVariantMap>& queryDic) const;
    // Empties the pop-up and fills it with the records whose "id" is the idKey value of some
    // record of linkTableInfo matching linkQueryDic.
    void makePopupForLinkTableInfo(ProductPopUpButton& popup,
                                   const ProductOneTableInfo& linkTableInfo,
                                   const std::optional<QVariantMap>& linkQueryDic,
                                   const QString& idKey) const;
    // Adds one item per record, ordered by id; an equal title replaces the earlier item. Selects
    // the first item and enables the pop-up, or disables an empty one.
    static void addPopup(ProductPopUpButton& popup, const QList<ProductRecord>& records);
    // The item title of a record: its "name", or in test mode id, name and every other column.
    static QString popupTitle(const ProductRecord& record, bool testMode);

private:
    QString tableName_;
    QList<ProductRecord> allRecords_;
    QString dispColumName_;
};
