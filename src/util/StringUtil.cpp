#include "util/StringUtil.h"

#include <QRegularExpression>

namespace orbel {

namespace {

// An absent text answers an empty (but present) text.
QString present(const QString& text) {
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace

QString replaceOfString(const QString& text, const QString& find, const QString& with) {
    QString result = present(text);
    if (find.isEmpty()) {
        return result;
    }
    // QString::replace scans once from the left and never looks at inserted text again.
    return result.replace(find, with, Qt::CaseSensitive);
}

QString deleteString(const QString& text, const QString& find) {
    return replaceOfString(text, find, QStringLiteral(""));
}

QString convertLineFeedCodeToCRLF(const QString& text) {
    return replaceOfString(convertLineFeedCodeToLF(text), QStringLiteral("\n"),
                           QStringLiteral("\r\n"));
}

QString convertLineFeedCodeToLF(const QString& text) {
    const QString lf = replaceOfString(text, QStringLiteral("\r\n"), QStringLiteral("\n"));
    return replaceOfString(lf, QStringLiteral("\r"), QStringLiteral("\n"));
}

QString convertLineFeedCodeToCR(const QString& text) {
    const QString mac = replaceOfString(text, QStringLiteral("\r\n"), QStringLiteral("\r"));
    return replaceOfString(mac, QStringLiteral("\n"), QStringLiteral("\r"));
}

QString deleteLineFeedCode(const QString& text) {
    return deleteString(deleteString(text, QStringLiteral("\r")), QStringLiteral("\n"));
}

QString replaceLineFeedCode(const QString& text, const QString& with) {
    return replaceOfString(replaceOfString(text, QStringLiteral("\r\n"), with),
                           QStringLiteral("\n"), with);
}

QString extractionStartKey(const QString& text, const QString& start, const QString& end) {
    // An empty key is never found, as in a plain substring search.
    if (text.isEmpty() || start.isEmpty() || end.isEmpty()) {
        return QStringLiteral("");
    }
    const qsizetype startPos = text.indexOf(start);
    const qsizetype endPos = text.indexOf(end);
    if (startPos < 0 || endPos < 0 || endPos <= startPos) {
        return QStringLiteral("");
    }
    const qsizetype from = startPos + start.size();
    // An end key that overlaps the start key leaves nothing between them.
    if (endPos < from) {
        return QStringLiteral("");
    }
    return text.mid(from, endPos - from);
}

bool contains(const QString& text, const QString& find) {
    if (text.isNull() || find.isEmpty()) {
        return false;
    }
    return text.contains(find);
}

QStringList splitLineToArray(const QString& text) {
    QStringList lines;
    if (text.isEmpty()) {
        return lines;
    }
    lines = convertLineFeedCodeToLF(text).split(QLatin1Char('\n'));
    // A line end closes its line; only text after the last one forms another line.
    if (lines.last().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

QString dateTimeStrFilter(const QString& text) {
    QString result = present(text);
    result.remove(QLatin1Char('/'));
    result.remove(QLatin1Char('.'));
    result.remove(QLatin1Char(' '));
    result.remove(QLatin1Char(':'));
    return result;
}

namespace {

// The 14 digits YYYYMMDDhhmmss of a valid date-time text, or "" when it is not one.
QString dateTimeDigits(const QString& text) {
    const QString digits = dateTimeStrFilter(text);
    if (digits.size() != 14) {
        return {};
    }
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return {};
        }
    }
    const auto field = [&digits](qsizetype pos, qsizetype len) {
        return digits.mid(pos, len).toInt();
    };
    const int year = field(0, 4);
    const int month = field(4, 2);
    const int day = field(6, 2);
    const int hour = field(8, 2);
    const int minute = field(10, 2);
    const int second = field(12, 2);
    const bool valid = year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
                       day <= 31 && hour < 24 && minute < 60 && second < 60;
    return valid ? digits : QString();
}

} // namespace

bool isDateTimeStr(const QString& text) {
    return !dateTimeDigits(text).isEmpty();
}

bool isOverCheckWithDateTimeStr(const QString& text, const QString& other) {
    const QString mine = dateTimeDigits(text);
    const QString theirs = dateTimeDigits(other);
    if (mine.isEmpty() || theirs.isEmpty()) {
        return false;
    }
    // Fixed-width digits: the text order is the time order, date part first.
    return mine < theirs;
}

} // namespace orbel
