#pragma once

#include <QString>
#include <QVariantList>
#include <QVariantMap>

class JobInfo;

// The report bodies of the print and school tabs: one unit per order row. Both tabs keep the same
// per-file order rows, each under its own key prefix, "Print" or "School".

// The row keys of one tab.
struct PerFileOrderKeys {
    QString filePath;
    QString orderNum;
    QString category;
    QString size;
    QString surface;
    QString laminate;
    QString memo;

    static PerFileOrderKeys print();
    static PerFileOrderKeys school();
};

// "%@ %@枚": the category record's name and the count text.
QString printUnitProductDescription(const QVariantMap& row);
QString schoolUnitProductDescription(const QVariantMap& row);

// The lab's product code of a row, composed from the codes of its size, surface and laminate
// records.
QString printProductCode(const QVariantMap& row);
QString schoolProductCode(const QVariantMap& row);

// Head, one unit per row (numbered from 1), footer with the order memo. Rows that are not
// dictionaries (damaged settings) are passed over without taking a number.
QString perFileOrderReport(const JobInfo& info, const PerFileOrderKeys& keys,
                           const QVariantList& rows, const QString& orderMemo,
                           QString (*productCode)(const QVariantMap&));
