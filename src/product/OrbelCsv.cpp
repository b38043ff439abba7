#include "product/OrbelCsv.h"

namespace orbel {

QStringList csvStringSeparate(const QString& text) {
    // With an odd number of quotes the last one has no partner: it opens nothing.
    const qsizetype quoteCount = text.count(u'"');
    const qsizetype unpairedQuote = quoteCount % 2 != 0 ? text.lastIndexOf(u'"') : -1;

    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch == u'"') {
            if (i != unpairedQuote) {
                quoted = !quoted;
            }
            continue;
        }
        if (ch == u',' && !quoted) {
            fields.append(field);
            field.clear();
            continue;
        }
        field.append(ch);
    }
    fields.append(field);
    return fields;
}

} // namespace orbel
