#include "service/CustomAuth.h"

#include "service/LabConfig.h"
#include "service/LabEndpoints.h"
#include "service/LabHttp.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "util/Tool.h"

#include <QList>
#include <QStringList>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>
#include <QtDebug>

namespace {

// Query values are percent-encoded: a password with "&", "+", "#" or a blank would otherwise cut
// or bend the request.
QString queryValue(const QString& value) {
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

QString checkUrl(const QString& code, const QString& md5) {
    return LabConfig::authServer() + QLatin1String(LabEndpoints::kAuthPath) +
           QLatin1String(LabEndpoints::kAuthCheckQueryFormat)
               .arg(queryValue(code), queryValue(md5));
}

QString dataUrl(const QString& code, const QString& md5, const QString& key) {
    return LabConfig::authServer() + QLatin1String(LabEndpoints::kAuthPath) +
           QLatin1String(LabEndpoints::kAuthDataQueryFormat)
               .arg(queryValue(code), queryValue(md5), queryValue(key));
}

QList<CustomAuth::DataKind> allKinds() {
    return {CustomAuth::albumKind(), CustomAuth::printKind(), CustomAuth::schoolKind()};
}

// "1234-01" names a branch of customer 1234; custom catalogues belong to the customer.
QString customerPart(const QString& code) {
    const qsizetype dash = code.indexOf(QLatin1Char('-'));
    return dash < 0 ? code : code.left(dash);
}

} // namespace

const CustomAuth::DataKind& CustomAuth::albumKind() {
    static const DataKind kind{QStringLiteral("CustomAlbum"),
                               QLatin1String(LabEndpoints::kAuthKeyCustomAlbum),
                               QLatin1String(LabEndpoints::kAlbumCatalogueWord)};
    return kind;
}

const CustomAuth::DataKind& CustomAuth::printKind() {
    static const DataKind kind{QStringLiteral("CustomPrint"),
                               QLatin1String(LabEndpoints::kAuthKeyCustomPrint),
                               QLatin1String(LabEndpoints::kCustomPrintWord)};
    return kind;
}

const CustomAuth::DataKind& CustomAuth::schoolKind() {
    static const DataKind kind{QStringLiteral("CustomSchool"),
                               QLatin1String(LabEndpoints::kAuthKeyCustomSchool),
                               QLatin1String(LabEndpoints::kCustomSchoolWord)};
    return kind;
}

QString CustomAuth::strTomd5(const QString& password) {
    const std::optional<QString> answer =
        LabHttp::read(LabConfig::authServer() + QLatin1String(LabEndpoints::kAuthConvertMd5Path) +
                      queryValue(password));
    const QString prefix = QLatin1String(LabEndpoints::kAuthMd5Prefix);
    if (!answer || !answer->contains(prefix)) {
        return QString();
    }
    return QString(*answer).remove(prefix);
}

std::optional<QString> CustomAuth::authAnswerForCode(const QString& code, const QString& md5) {
    return LabHttp::read(checkUrl(code, md5));
}

bool CustomAuth::isNeedToAuthForCode(const std::optional<QString>& code) {
    if (!UserDef::isCustomCustomerForCode(code)) {
        return false;
    }
    const std::optional<QString> md5 = UserDef::passMD5();
    if (!md5) {
        return true;
    }
    // Only a refusal asks again; an unreachable server must not lock the studio out.
    const std::optional<QString> answer = authAnswerForCode(code.value_or(QString()), *md5);
    return answer && *answer == QLatin1String(LabEndpoints::kAuthNg);
}

bool CustomAuth::isNeedToAuth() {
    return isNeedToAuthForCode(UserDef::customerCode());
}

std::optional<QString> CustomAuth::readHttpCustomDataForCode(const QString& code,
                                                             const QString& dataKey) {
    const std::optional<QString> answer =
        LabHttp::read(dataUrl(code, UserDef::passMD5().value_or(QString()), dataKey));
    if (!answer) {
        return std::nullopt;
    }
    if (UserDef::isCustomDataDelete(*answer)) {
        return answer;
    }
    for (const DataKind& kind : allKinds()) {
        if (kind.requestKey == dataKey && answer->contains(kind.marker)) {
            return answer;
        }
    }
    qInfo().noquote() << QStringLiteral("CustomData-NG");
    return std::nullopt;
}

void CustomAuth::customDataLoadForCode(const QString& code) {
    if (isNeedToAuthForCode(code)) {
        return;
    }
    for (const DataKind& kind : allKinds()) {
        UserDef::customDataSaveOrDelete(readHttpCustomDataForCode(code, kind.requestKey), code,
                                        kind.storedKey);
    }
}

void CustomAuth::autoAllCustomDataLoad() {
    QStringList codes;
    const QVariantList customers =
        UserDef::arrayForKey(SettingsKey::Customers).value_or(QVariantList());
    for (const QVariant& entry : customers) {
        codes.append(customerPart(entry.toMap().value(SettingsKey::CustomerCode).toString()));
    }
    if (const std::optional<QString> current = UserDef::customerCode()) {
        codes.append(*current);
    }
    codes.removeDuplicates();
    for (const QString& code : std::as_const(codes)) {
        if (!code.isEmpty() && UserDef::isCustomCustomerForCode(code)) {
            customDataLoadForCode(code);
        }
    }
}
