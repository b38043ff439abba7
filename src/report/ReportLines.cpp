#include "report/ReportLines.h"

#include <QFileInfo>
#include <limits>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString breaksTo(const QString& value, const QString& with) {
    QString text = value;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar(u'\r'), QChar(u'\n'));
    text.replace(QChar(0x2028), QChar(u'\n'));
    text.replace(QChar(0x2029), QChar(u'\n'));
    text.replace(QChar(u'\n'), with);
    return text;
}

} // namespace

QString reportLine(const QString& text) {
    return text + kCrLf;
}

QString reportSingleLine(const QString& value) {
    return breaksTo(value, QStringLiteral(" "));
}

QString reportMemo(const QString& memo) {
    return breaksTo(memo, kCrLf);
}

qint64 reportInteger(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    constexpr qint64 limit = std::numeric_limits<qint32>::max();
    qint64 value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = std::min(limit, value * 10 + (text[i].unicode() - u'0'));
    }
    return negative ? -value : value;
}

QString reportFileName(const QString& path) {
    return QFileInfo(path).fileName();
}

QString reportRecordText(const QVariantMap& record, const QString& recordKey,
                         const QString& column) {
    return record.value(recordKey).toMap().value(column).toString();
}

bool hasReportRecord(const QVariantMap& record, const QString& recordKey) {
    const auto it = record.constFind(recordKey);
    return it != record.constEnd() && it->typeId() == QMetaType::QVariantMap;
}
