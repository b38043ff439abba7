#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

// Small text rules shared by the report bodies of the print, school, album and resize tabs. The
// lab reads the report line by line as KEY=value pairs, every line ending in CR LF.

// The separator line around the report head's order options and at the start of the footer.
inline const QString kReportSeparator = QStringLiteral("---------------------------------------");

// The text followed by CR LF.
QString reportLine(const QString& text);

// A value that must stay on its line: every line break (CR LF, CR, LF, U+2028, U+2029) becomes one
// space, so a stray break in a file or catalogue name cannot start a line of its own.
QString reportSingleLine(const QString& value);

// A memo as the lab expects it: every line break (CR LF, CR, LF, U+2028, U+2029) becomes CR LF.
QString reportMemo(const QString& memo);

// The integer of a text: its leading decimal digits (after blanks and an optional sign), 0 when
// there are none; values beyond the 32-bit range are clamped, as the lab's counts never reach it.
qint64 reportInteger(const QString& text);

// The last path component.
QString reportFileName(const QString& path);

// The text of one column of a catalogue record stored in a settings record; "" when the record or
// the column is missing.
QString reportRecordText(const QVariantMap& record, const QString& recordKey,
                         const QString& column);
// The record stored under recordKey is there (a dictionary).
bool hasReportRecord(const QVariantMap& record, const QString& recordKey);
