#include "service/UpdateInfo.h"

#include "service/LabConfig.h"
#include "service/LabEndpoints.h"
#include "service/LabHttp.h"
#include "settings/Log.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "util/StringUtil.h"
#include "util/Tool.h"

#include <optional>

QString UpdateInfo::readDataHttp(const QString& url) {
    const std::optional<QString> body = LabHttp::read(url);
    Log::outputLn(url);
    if (!body) {
        Log::outputLn(QStringLiteral("サーバーとの通信に失敗"));
        return QString();
    }
    Log::outputLn(*body);
    if (!body->contains(QLatin1String(LabEndpoints::kPageMarkWord))) {
        Log::outputLn(QStringLiteral("正しくないデータを受信"));
        Log::outputLn(QStringLiteral("data(%1文字)=%2").arg(body->size()).arg(*body));
        return QString();
    }
    return orbel::convertLineFeedCodeToLF(*body);
}

QString UpdateInfo::fetchUpdateInfo() {
    const QString appInfo = readDataHttp(LabConfig::appInfoUrl());
    const QString albumInfo = readDataHttp(LabConfig::albumInfoUrl());
    return QLatin1String(LabEndpoints::kUpdateInfoJoinFormat).arg(appInfo, albumInfo);
}

QString UpdateInfo::markerValue(const QString& updateInfo, const QString& marker) {
    return orbel::extractionStartKey(updateInfo,
                                     QLatin1String(LabEndpoints::kMarkerOpenFormat).arg(marker),
                                     QLatin1String(LabEndpoints::kMarkerCloseFormat).arg(marker));
}

bool UpdateInfo::storeCustomCustomerCode(const QString& updateInfo) {
    const QString codes =
        markerValue(updateInfo, QLatin1String(LabEndpoints::kMarkerCustomCustomerCode));
    if (codes.isEmpty()) {
        return false;
    }
    UserDef::setObject(codes, SettingsKey::CustomCustomerCode, true);
    return true;
}

void UpdateInfo::storeFtp2TargetCode(const QString& updateInfo) {
    UserDef::setObject(markerValue(updateInfo, QLatin1String(LabEndpoints::kMarkerFtp2TargetCode)),
                       SettingsKey::Ftp2TargetCode, true);
}

bool UpdateInfo::isKineloOff(const QString& updateInfo) {
    return updateInfo.contains(QLatin1String(LabEndpoints::kWordKineloOff));
}

bool UpdateInfo::isFfTabOn(const QString& updateInfo) {
    return updateInfo.contains(QLatin1String(LabEndpoints::kWordFfTabOn));
}

QString UpdateInfo::appVersionNotes(const QString& updateInfo) {
    QString notes = markerValue(updateInfo, QStringLiteral("APP_VER_NOTE"));
    // The page comes in the clear: nothing in it may steer the alert that shows it.
    notes.removeIf([](QChar c) {
        return c != u'\n' &&
               (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format);
    });
    constexpr qsizetype kMaxNotes = 1000;
    if (notes.size() > kMaxNotes)
        notes = notes.left(kMaxNotes) + QStringLiteral("…");
    return notes.trimmed();
}
