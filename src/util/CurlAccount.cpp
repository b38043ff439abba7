#include "util/CurlAccount.h"

namespace orbel {

QStringList curlAccountArgs() {
    return {QStringLiteral("-K"), QStringLiteral("-")};
}

namespace {

// A quoted config value: curl reads backslash escapes inside the quotes.
QByteArray quoted(const QString& text) {
    QByteArray value;
    for (const char c : text.toUtf8()) {
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
    return '"' + value + '"';
}

} // namespace

QByteArray curlAccountConfig(const QString& user, const QString& password) {
    return "user = " + quoted(user + QLatin1Char(':') + password) + '\n';
}

QByteArray curlTlsConfig(FtpTlsMode mode, const QString& caFile) {
    if (mode == FtpTlsMode::Off)
        return {};
    // "ssl" goes on in the clear only when the server does not offer TLS at all; a TLS that is
    // offered but fails (a certificate that does not verify) fails the run in both modes.
    QByteArray config = mode == FtpTlsMode::Require ? "ssl-reqd\n" : "ssl\n";
    if (!caFile.isEmpty())
        config += "cacert = " + quoted(caFile) + '\n';
    return config;
}

} // namespace orbel
