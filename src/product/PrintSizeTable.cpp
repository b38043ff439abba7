#include "product/PrintSizeTable.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>

const std::vector<PrintSizeTable::Entry>& PrintSizeTable::entries() {
    static const std::vector<Entry> table = [] {
        std::vector<Entry> sizes = {
            {QStringLiteral("L"), 89, 127},           {QStringLiteral("L判"), 89, 127},
            {QStringLiteral("KG"), 102, 152},         {QStringLiteral("2L"), 127, 178},
            {QStringLiteral("2L判"), 127, 178},       {QStringLiteral("キャビネ"), 130, 180},
            {QStringLiteral("はがき"), 100, 148},     {QStringLiteral("ハガキ"), 100, 148},
            {QStringLiteral("葉書"), 100, 148},       {QStringLiteral("ポストカード"), 100, 148},
            {QStringLiteral("八切"), 165, 216},       {QStringLiteral("六切"), 203, 254},
            {QStringLiteral("ワイド六切"), 203, 305}, {QStringLiteral("四切"), 254, 305},
            {QStringLiteral("ワイド四切"), 254, 366}, {QStringLiteral("半切"), 356, 432},
            {QStringLiteral("全紙"), 457, 560},       {QStringLiteral("A5"), 148, 210},
            {QStringLiteral("A4"), 210, 297},         {QStringLiteral("A3"), 297, 420},
            {QStringLiteral("A3ノビ"), 329, 483},     {QStringLiteral("A2"), 420, 594},
            {QStringLiteral("A1"), 594, 841},         {QStringLiteral("B5"), 182, 257},
            {QStringLiteral("B4"), 257, 364},         {QStringLiteral("B3"), 364, 515},
        };
        std::stable_sort(sizes.begin(), sizes.end(), [](const Entry& a, const Entry& b) {
            return a.name.size() > b.name.size();
        });
        return sizes;
    }();
    return table;
}

std::optional<QSizeF> PrintSizeTable::sizeFromDimensions(const QString& sizeName) {
    // NFKC folds full-width digits, letters and brackets to their plain forms.
    const QString name = sizeName.normalized(QString::NormalizationForm_KC);
    static const QRegularExpression dims(QStringLiteral(
        R"(\(\s*(\d+(?:\.\d+)?)\s*(?:mm)?\s*[×xX*]\s*(\d+(?:\.\d+)?)\s*(?:mm)?\s*\))"));
    const QRegularExpressionMatch match = dims.match(name);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const double a = match.captured(1).toDouble();
    const double b = match.captured(2).toDouble();
    if (a <= 0 || b <= 0) {
        return std::nullopt;
    }
    return QSizeF(std::min(a, b), std::max(a, b));
}

std::optional<QSizeF> PrintSizeTable::sizeFromTable(const QString& sizeName) {
    const QString name = sizeName.normalized(QString::NormalizationForm_KC);
    auto isWordChar = [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
    };
    for (const Entry& entry : entries()) {
        qsizetype from = 0;
        while ((from = name.indexOf(entry.name, from)) >= 0) {
            const qsizetype end = from + entry.name.size();
            const bool freeBefore = from == 0 || !isWordChar(name.at(from - 1));
            const bool freeAfter = end >= name.size() || !isWordChar(name.at(end));
            if (freeBefore && freeAfter) {
                return QSizeF(entry.shortMm, entry.longMm);
            }
            from = end;
        }
    }
    return std::nullopt;
}

std::optional<QSizeF> PrintSizeTable::printSizeMm(const QString& sizeName) {
    // A tab judges thousands of rows against a handful of size names: each is read once.
    thread_local QHash<QString, std::optional<QSizeF>> known;
    const auto it = known.constFind(sizeName);
    if (it != known.constEnd()) {
        return *it;
    }
    std::optional<QSizeF> size = sizeFromDimensions(sizeName);
    if (!size) {
        size = sizeFromTable(sizeName);
    }
    if (known.size() > 1000) {
        known.clear();
    }
    known.insert(sizeName, size);
    return size;
}
