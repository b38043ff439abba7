#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>
#include <optional>

// Usage and error reports to the lab's analysis server. Fire and forget: the answer is never read,
// a failure is never shown or logged, and the caller waits at most the short time-out (2 s for a
// GET, 3 s for a POST) plus connection set-up.
//
// A report is a flat list of fields "key<-#->value" joined by "<-##->". The caller's entries follow
// the fixed fields in the map's order (sorted by key); values are written as their text.
class Analyzer {
public:
    Analyzer() = delete;

    // Code, Ver, MacAddr (read fresh from the machine), Action, then the entries; sent by GET.
    static void analyzerPost(const QString& action,
                             const std::optional<QVariantMap>& postDic = std::nullopt);
    // Code (customerCodeTop), Ver, MacAddr, then the entries, no Action; sent by POST.
    static void analyzerCustomInfoPost(const std::optional<QVariantMap>& postDic);

    // The transports: GET of ".../MacApp?data=" + escaped text; POST of "data=" + escaped text.
    static void httpRequest(const QString& text);
    static void httpPostRequest(const QString& text);

    // The report texts as they are sent (before escaping).
    static QString eventReportText(const QString& action,
                                   const std::optional<QVariantMap>& postDic);
    static QString customInfoReportText(const std::optional<QVariantMap>& postDic);
    // UTF-8 percent-encoding of everything that may not stand in a URL; "&", "=", "+", "/", "?"
    // and ":" (and the other legal URL characters) stay, "#" is escaped so the report is not cut
    // at the separators.
    static QByteArray escapeReportText(const QString& text);
};
