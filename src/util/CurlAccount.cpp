#include "util/CurlAccount.h"

namespace orbel {

QStringList curlAccountArgs() {
    return {QStringLiteral("-K"), QStringLiteral("-")};
}

QByteArray curlAccountConfig(const QString& user, const QString& password) {
    // A quoted config value: curl reads backslash escapes inside the quotes.
    QByteArray value;
    for (const char c : (user + QLatin1Char(':') + password).toUtf8()) {
        switch (c) {
        case '\\':
            value += "\\\\";
            break;
        case '"':
            value += "\\\"";
            break;
        case '\n':
            value += "\\n";
            break;
        case '\r':
            value += "\\r";
            break;
        case '\t':
            value += "\\t";
            break;
        default:
            value += c;
        }
    }
    return "user = \"" + value + "\"\n";
}

} // namespace orbel
