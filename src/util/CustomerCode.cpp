#include "util/StringUtil.h"

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

// The number of a code in stored form, or none; the branch suffix goes to *suffix.
std::optional<qint64> codeNumber(const QString& code, QString* suffix) {
    const qsizetype dash = code.indexOf(QLatin1Char('-'));
    const QString number = dash < 0 ? code : code.left(dash);
    const QString branch = dash < 0 ? QString() : code.mid(dash + 1);
    if (number.isEmpty() || !std::all_of(number.begin(), number.end(), isAsciiDigit)) {
        return std::nullopt;
    }
    if (dash >= 0 &&
        (branch.isEmpty() || !std::all_of(branch.begin(), branch.end(), isAsciiAlnum))) {
        return std::nullopt;
    }
    // Read as a whole, never cut: 99999999999 must not turn into some other customer's number.
    bool ok = false;
    const qint64 value = number.toLongLong(&ok);
    if (!ok || value < 1 || value > std::numeric_limits<qint32>::max()) {
        return std::nullopt;
    }
    *suffix = branch;
    return value;
}

} // namespace

namespace orbel {

bool isValidCustomerCode(const QString& code) {
    QString suffix;
    return codeNumber(code, &suffix).has_value();
}

std::optional<QString> normalizedCustomerCode(const QString& text) {
    QString suffix;
    const std::optional<qint64> number = codeNumber(halfWidth(text).trimmed(), &suffix);
    if (!number) {
        return std::nullopt;
    }
    const QString digits = QString::number(*number);
    return suffix.isEmpty() ? digits : digits + QLatin1Char('-') + suffix;
}

} // namespace orbel
