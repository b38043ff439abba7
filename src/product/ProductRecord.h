#pragma once

#include <QString>
#include <QVariantMap>

// A catalogue record: one row of a catalogue table, a dictionary from column name to text.
// QVariantMap (each value a QString) so that the tabs can store the chosen records in the
// settings as they are and the report writers read them back unchanged.
using ProductRecord = QVariantMap;

// The text of one column, or "" when the record lacks it.
inline QString productRecordText(const ProductRecord& record, const QString& column) {
    return record.value(column).toString();
}
