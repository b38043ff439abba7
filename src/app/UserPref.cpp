#include "app/UserPref.h"

#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "util/StringUtil.h"

#include <QVariantList>
#include <QVariantMap>
#include <algorithm>

namespace {

QString key(const char* name) {
    return QString::fromLatin1(name);
}

QString stored(const char* name) {
    return UserDef::stringForKey(key(name)).value_or(QString());
}

QString entryText(const QVariantMap& entry, const char* name) {
    const QVariant value = entry.value(key(name));
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

// Entries of "Customers" that are dictionaries, in order (anything else in the list is ignored).
QList<QVariantMap> customerEntries() {
    QList<QVariantMap> entries;
    if (const std::optional<QVariantList> list = UserDef::arrayForKey(SettingsKey::Customers)) {
        for (const QVariant& item : *list) {
            if (item.typeId() == QMetaType::QVariantMap) {
                entries.append(item.toMap());
            }
        }
    }
    return entries;
}

bool isComplete(const QVariantMap& entry) {
    return !entryText(entry, "PhotoStudioName").isEmpty() &&
           !entryText(entry, "CustomerCode").isEmpty();
}

QString onOff(bool on) {
    return on ? QStringLiteral("ON") : QStringLiteral("OFF");
}

} // namespace

bool UserPref::isCustomerInfo() {
    return !stored("PhotoStudioName").isEmpty() && !stored("CustomerCode").isEmpty() &&
           !stored("CustomerEmail").isEmpty();
}

QString UserPref::invalidCodeMessage() {
    return QStringLiteral("お客様コードが正しくありません");
}

QString UserPref::invalidCodeInformation(const QString& typed) {
    return QStringLiteral("「%1」はお客様コードとして使えないため、保存しませんでした。\n"
                          "お客様コードは1以上の数字で入力してください。支店番号がある場合は、"
                          "「-」に続けて英数字で入力します（例：1234、1234-01）。")
        .arg(typed.trimmed());
}

std::optional<QString> UserPref::editCustomerCode(const QString& text) {
    if (text.trimmed().isEmpty()) {
        return QString();
    }
    return orbel::normalizedCustomerCode(text);
}

void UserPref::customerCodeFilter() {
    const std::optional<QVariantList> list = UserDef::arrayForKey(SettingsKey::Customers);
    if (!list) {
        return;
    }
    QVariantList filtered;
    for (const QVariant& item : *list) {
        if (item.typeId() != QMetaType::QVariantMap) {
            continue;
        }
        const QVariantMap entry = item.toMap();
        QVariantMap out;
        out.insert(key("PhotoStudioName"), entryText(entry, "PhotoStudioName"));
        // A code that is not a customer code (also one written by an older version) is dropped,
        // never bent into another customer's number.
        if (const std::optional<QString> code =
                orbel::normalizedCustomerCode(entryText(entry, "CustomerCode"))) {
            out.insert(key("CustomerCode"), *code);
        }
        filtered.append(out);
    }
    UserDef::setObject(filtered, SettingsKey::Customers, true);
}

void UserPref::multiCustomerOn(const QString& studioName, const QString& code) {
    UserDef::setObject(studioName, key("PhotoStudioNameBk"));
    UserDef::setObject(code, key("CustomerCodeBk"));
    UserDef::setObject(qint64(1), key("MultiCustomerCheck"), true);
}

std::pair<QString, QString> UserPref::multiCustomerOff() {
    const QString name = stored("PhotoStudioNameBk");
    const QString code = stored("CustomerCodeBk");
    UserDef::setObject(name, key("PhotoStudioName"));
    // The copy holds the field as it was typed: only a real customer code is stored (the field
    // gets the typed text back, with its hint, for the user to correct).
    UserDef::setObject(editCustomerCode(code).value_or(QString()), SettingsKey::CustomerCode);
    UserDef::setObject(qint64(0), key("MultiCustomerCheck"), true);
    return {name, code};
}

bool UserPref::isMultiCustomer() {
    return UserDef::integerForKey(key("MultiCustomerCheck")) != 0;
}

std::optional<UserPref::Refusal> UserPref::save(const Input& input) {
    QString studioName;
    QString code;
    if (input.multiCustomer) {
        customerCodeFilter();
        const bool listAbsent = !UserDef::arrayForKey(SettingsKey::Customers).has_value();
        if ((!input.selectedName.isEmpty() && !input.selectedCode.isEmpty()) || listAbsent) {
            studioName = input.selectedName;
            code = input.selectedCode;
        } else {
            bool found = false;
            for (const QVariantMap& entry : customerEntries()) {
                if (isComplete(entry)) {
                    studioName = entryText(entry, "PhotoStudioName");
                    code = entryText(entry, "CustomerCode");
                    found = true;
                    break;
                }
            }
            if (!found) {
                return Refusal{QStringLiteral("お客様情報が入力されていません"),
                               QStringLiteral("一覧に写真館名とお客様コードの両方を入力してから"
                                              "保存してください。")};
            }
        }
        if (!code.isEmpty()) {
            const std::optional<QString> normalized = orbel::normalizedCustomerCode(code);
            if (!normalized) {
                return Refusal{invalidCodeMessage(), invalidCodeInformation(code)};
            }
            code = *normalized;
        }
    } else {
        const std::optional<QString> normalized = editCustomerCode(input.code);
        if (!normalized) {
            return Refusal{invalidCodeMessage(), invalidCodeInformation(input.code)};
        }
        code = *normalized;
        studioName = input.studioName.trimmed();
    }
    UserDef::setObject(studioName, key("PhotoStudioName"));
    UserDef::setObject(code, SettingsKey::CustomerCode);
    UserDef::setObject(input.email.trimmed(), key("CustomerEmail"));
    UserDef::setObject(onOff(input.thumbnailView), key("ThumbnailView"));
    UserDef::setObject(std::clamp<qint64>(input.keptOrderDays, 0, 365), SettingsKey::KeptOrderDays);
    UserDef::setObject(std::clamp<qint64>(input.keptOrderCapGB, 0, 100000),
                       SettingsKey::KeptOrderCapGB);
    UserDef::setObject(onOff(input.albumSelectionSave), key("AlbumSlectionSave"), true);
    return std::nullopt;
}

QStringList UserPref::photoStudioPopTitles() {
    QStringList titles;
    for (const QVariantMap& entry : customerEntries()) {
        if (isComplete(entry)) {
            titles.append(entryText(entry, "PhotoStudioName"));
        }
    }
    return titles;
}

std::optional<QString> UserPref::photoStudioPopSelection(const QStringList& titles) {
    const std::optional<QString> name = UserDef::stringForKey(key("PhotoStudioName"));
    if (!name || titles.isEmpty()) {
        return std::nullopt;
    }
    return titles.contains(*name) ? *name : titles.first();
}

void UserPref::choosePhotoStudio(const QString& title) {
    UserDef::setObject(title, key("PhotoStudioName"));
    UserDef::setObject(UserDef::customerCodeForPhotoStudioName(title), SettingsKey::CustomerCode,
                       true);
}
