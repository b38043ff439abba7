#pragma once

#include <QString>

// The count a form shows after a refresh: the integer value of what was typed, at least 1.
inline QString orderCountAtLeastOne(const QString& text) {
    const QString t = text.trimmed();
    qsizetype end = 0;
    if (end < t.size() && (t[end] == u'-' || t[end] == u'+')) {
        ++end;
    }
    while (end < t.size() && t[end].isDigit()) {
        ++end;
    }
    bool ok = false;
    const qint64 value = t.left(end).toLongLong(&ok);
    return QString::number(ok && value > 1 ? value : 1);
}
