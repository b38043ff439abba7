#pragma once

#include <QString>
#include <QStringList>

namespace orbel {

// Splits one CSV row into fields. Every pair of double quotes encloses a quoted part whose
// commas belong to the field; the quote characters themselves are removed, so two adjacent
// quoted parts are joined and a doubled quote yields nothing. A last opening quote without a
// closing one is dropped and the rest of the row is read unquoted. Fields are not trimmed.
// Linear in the length of the row.
QStringList csvStringSeparate(const QString& text);

} // namespace orbel
