#pragma once

#include <QString>
#include <QVersionNumber>

// Version texts ("2.1.5", "2.10") compare component by component: 2.1.9 is newer than 2.1.5 and
// 2.10 newer than 2.9. Trailing zero components do not count (2.1 equals 2.1.0).
namespace orbel {

// The leading version number of a text (blanks before it skipped, anything after it ignored),
// without trailing zero components; a null version (reads as 0) when the text has none.
QVersionNumber leadingVersionNumber(const QString& text);

// Negative, 0 or positive as the version of a is older than, equal to or newer than that of b.
int compareVersionText(const QString& a, const QString& b);

// The version as the log shows it ("2.1.5"; "0" for none).
QString versionLogText(const QString& text);

} // namespace orbel
