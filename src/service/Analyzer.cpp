#include "service/Analyzer.h"

#include "service/LabConfig.h"
#include "service/LabEndpoints.h"
#include "settings/UserDef.h"
#include "util/HttpClient.h"
#include "util/Tool.h"

#include <QStringList>
#include <QUrl>

namespace {

QString field(const QString& key, const QString& value) {
    return key + QLatin1String(LabEndpoints::kAnalyzerFieldSeparator) + value;
}

QString joinFields(QStringList fields, const std::optional<QVariantMap>& postDic) {
    if (postDic) {
        for (auto it = postDic->cbegin(); it != postDic->cend(); ++it)
            fields.append(field(it.key(), it.value().toString()));
    }
    return fields.join(QLatin1String(LabEndpoints::kAnalyzerRecordSeparator));
}

} // namespace

QString Analyzer::eventReportText(const QString& action,
                                  const std::optional<QVariantMap>& postDic) {
    // An absent customer code is sent as an empty value rather than a placeholder word.
    return joinFields({field(QStringLiteral("Code"), UserDef::customerCode().value_or(QString())),
                       field(QStringLiteral("Ver"), Tool::applicationVersion()),
                       field(QStringLiteral("MacAddr"), Tool::getMacAddressUpperStr()),
                       field(QStringLiteral("Action"), action)},
                      postDic);
}

QString Analyzer::customInfoReportText(const std::optional<QVariantMap>& postDic) {
    return joinFields(
        {field(QStringLiteral("Code"), UserDef::customerCodeTop().value_or(QString())),
         field(QStringLiteral("Ver"), Tool::applicationVersion()),
         field(QStringLiteral("MacAddr"), Tool::getMacAddressUpperStr())},
        postDic);
}

QByteArray Analyzer::escapeReportText(const QString& text) {
    return QUrl::toPercentEncoding(text, QByteArrayLiteral("!$&'()*+,/:;=?@"));
}

void Analyzer::analyzerPost(const QString& action, const std::optional<QVariantMap>& postDic) {
    httpRequest(eventReportText(action, postDic));
}

void Analyzer::analyzerCustomInfoPost(const std::optional<QVariantMap>& postDic) {
    httpPostRequest(customInfoReportText(postDic));
}

void Analyzer::httpRequest(const QString& text) {
    HttpRequest request;
    request.url = LabConfig::analyzerUrl() + QString::fromLatin1(escapeReportText(text));
    request.timeoutSeconds = LabEndpoints::kAnalyzerGetTimeoutSeconds;
    (void)httpPerform(request); // the answer means nothing to the program
}

void Analyzer::httpPostRequest(const QString& text) {
    HttpRequest request;
    request.url = LabConfig::analyzerUrl();
    request.post = true;
    request.postBody = QByteArrayLiteral("data=") + escapeReportText(text);
    request.timeoutSeconds = LabEndpoints::kAnalyzerPostTimeoutSeconds;
    (void)httpPerform(request);
}
