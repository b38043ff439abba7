#include "settings/UserDef.h"

#include <algorithm>
#include <limits>

namespace {

// Studios type codes with a Japanese input method on: full-width digits, letters and hyphens are
// read as the half-width characters they look like.
QString halfWidth(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E) {
            out.append(QChar(static_cast<char16_t>(u - 0xFEE0)));
        } else if (u == 0x2212 || u == 0x2010 || u == 0x2011 || u == 0x30FC) {
            // minus sign, hyphens and the long vowel mark that an input method gives for "-"
            out.append(QLatin1Char('-'));
        } else if (u == 0x3000) {
            out.append(QLatin1Char(' '));
        } else {
            out.append(c);
        }
    }
    return out;
}

bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isAsciiAlnum(QChar c) {
    return isAsciiDigit(c) || (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

} // namespace

std::optional<QString> UserDef::normalizedCustomerCode(const QString& code) {
    const QString text = halfWidth(code).trimmed();
    const qsizetype dash = text.indexOf(QLatin1Char('-'));
    const QString number = dash < 0 ? text : text.left(dash);
    const QString suffix = dash < 0 ? QString() : text.mid(dash + 1);
    if (number.isEmpty() || !std::all_of(number.begin(), number.end(), isAsciiDigit)) {
        return std::nullopt;
    }
    if (dash >= 0 &&
        (suffix.isEmpty() || !std::all_of(suffix.begin(), suffix.end(), isAsciiAlnum))) {
        return std::nullopt;
    }
    // Read as a whole, never cut: 99999999999 must not turn into some other customer's number.
    bool ok = false;
    const qint64 value = number.toLongLong(&ok);
    if (!ok || value < 1 || value > std::numeric_limits<qint32>::max()) {
        return std::nullopt;
    }
    const QString digits = QString::number(value);
    return dash < 0 ? digits : digits + QLatin1Char('-') + suffix;
}

bool UserDef::isValidCustomerCode(const QString& code) {
    return normalizedCustomerCode(code).has_value();
}
