#include "service/SupportBundle.h"

#include "job/ZipJob.h"
#include "service/LabConfig.h"
#include "service/LabEndpoints.h"
#include "service/OrderHistoryTable.h"
#include "settings/Log.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "settings/UserDef.h"
#include "util/FileMove.h"
#include "util/PlistVariant.h"
#include "util/ProcessRunner.h"
#include "util/Tool.h"
#include "util/ToolPaths.h"
#include "util/WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

const QString kMask = QStringLiteral("********");
// Shorter texts would mask ordinary words; no secret of the program is this short.
constexpr qsizetype kMinSecretLength = 4;

void collectStrings(const QVariant& value, QStringList& out) {
    switch (value.typeId()) {
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            out.append(it.key()); // a custom data key carries the customer code only, harmless
            collectStrings(it.value(), out);
        }
        break;
    }
    case QMetaType::QVariantList:
        for (const QVariant& item : value.toList())
            collectStrings(item, out);
        break;
    case QMetaType::QString:
        out.append(value.toString());
        break;
    default:
        break;
    }
}

void collectSecrets(const QVariant& value, QStringList& out) {
    if (value.typeId() == QMetaType::QVariantMap) {
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            if (SupportBundle::isSecretKey(it.key())) {
                QStringList texts;
                collectStrings(it.value(), texts);
                // Keys of a secret dictionary are codes (customer codes), not secrets.
                if (it.value().typeId() == QMetaType::QVariantMap) {
                    const QStringList keys = it.value().toMap().keys();
                    texts.erase(std::remove_if(texts.begin(), texts.end(),
                                               [&](const QString& t) { return keys.contains(t); }),
                                texts.end());
                }
                out.append(texts);
            } else {
                collectSecrets(it.value(), out);
            }
        }
    } else if (value.typeId() == QMetaType::QVariantList) {
        for (const QVariant& item : value.toList())
            collectSecrets(item, out);
    }
}

QVariant sanitized(const QVariant& value) {
    if (value.typeId() == QMetaType::QVariantMap)
        return SupportBundle::sanitizedSettings(value.toMap());
    if (value.typeId() == QMetaType::QVariantList) {
        QVariantList list;
        for (const QVariant& item : value.toList())
            list.append(sanitized(item));
        return list;
    }
    return value;
}

bool writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(data) == data.size() && file.flush();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

QString SupportBundle::proposedFileName() {
    return QStringLiteral("HALVIX2_サポート情報_%1.zip").arg(Tool::nowDateTimeCompress());
}

bool SupportBundle::isSecretKey(const QString& key) {
    const QString k = key.toLower();
    return k.contains(QLatin1String("pass")) || k.contains(QLatin1String("md5")) ||
           k.contains(QLatin1String("digest")) || k.contains(QLatin1String("secret")) ||
           k.contains(QLatin1String("token")) || k.startsWith(QLatin1String("customdata"));
}

QVariantMap SupportBundle::sanitizedSettings(const QVariantMap& settings) {
    QVariantMap clean;
    for (auto it = settings.cbegin(); it != settings.cend(); ++it) {
        if (!isSecretKey(it.key()))
            clean.insert(it.key(), sanitized(it.value()));
    }
    return clean;
}

QStringList SupportBundle::secretTexts(const QVariantMap& settings) {
    QStringList secrets{QString::fromLatin1(LabEndpoints::kProductionPassword),
                        QString::fromLatin1(LabEndpoints::kFtp2Password),
                        QString::fromLatin1(LabEndpoints::kTestPassword), ZipJob::zipPassword()};
    collectSecrets(settings, secrets);
    QStringList useful;
    for (const QString& s : secrets) {
        if (s.size() >= kMinSecretLength && !useful.contains(s))
            useful.append(s);
    }
    // Longest first, so a secret that contains another is masked whole.
    std::sort(useful.begin(), useful.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
    return useful;
}

QString SupportBundle::scrub(QString text, const QStringList& secrets) {
    for (const QString& secret : secrets)
        text.replace(secret, kMask);
    return text;
}

QString SupportBundle::systemInformation() {
    QString text;
    const auto line = [&text](const QString& l) { text += l + QLatin1Char('\n'); };
    line(QStringLiteral("PRG_VER=HALVIX 2:Ver") + Tool::applicationVersion());
    line(QStringLiteral("MACOS_VERSION=") + Tool::operatingSystemVersionString().simplified());
    line(QStringLiteral("PROCESSOR_TYPE=") + Tool::processorType().simplified());
    line(QStringLiteral("PRIMARY_MEMORY=") + Tool::primaryMemory().simplified());
    line(QStringLiteral("CUSTOMER_NUMBER=") + UserDef::customerCode().value_or(QString()));
    line(QStringLiteral("CREATED=") + Tool::nowDateTimeNomal());
    line(QString());
    line(QStringLiteral("LAB_CONF=") + LabConfig::configPath());
    line(QStringLiteral("INFO_SERVER=") + LabConfig::infoServer());
    line(QStringLiteral("WEB_SERVER=") + LabConfig::webServer());
    line(QStringLiteral("AUTH_SERVER=") + LabConfig::authServer());
    line(QStringLiteral("ORDER_FTP_HOST=") + LabConfig::orderFtpHost());
    line(QStringLiteral("FTP2_HOST=") + LabConfig::ftp2Host());
    line(QStringLiteral("TEST_FTP_HOST=") + LabConfig::testFtpHost());
    const QStringList pool = QDir(WorkFolder::orderZipPoolFolderPath())
                                 .entryList({QStringLiteral("*.zip")}, QDir::Files, QDir::Name);
    line(QStringLiteral("ORDER_POOL=%1").arg(pool.size()));
    for (const QString& name : pool)
        line(QStringLiteral("  ") + name);
    return text;
}

QStringList SupportBundle::leftoverFiles() {
    const QString last = UserDef::stringForKey(SettingsKey::SupportBundlePath).value_or(QString());
    if (last.isEmpty())
        return {};
    QStringList leftovers = orbel::partialMoveFilesOf(last);
    // Earlier versions copied to ".NAME.part" beside the bundle.
    const QFileInfo target(last);
    const QFileInfo earlier(
        target.dir().filePath(QStringLiteral(".%1.part").arg(target.fileName())));
    if (earlier.isFile() && !earlier.isSymLink())
        leftovers.append(earlier.filePath());
    return leftovers;
}

std::optional<QString> SupportBundle::write(const QString& zipPath) {
    for (const QString& path : leftoverFiles()) {
        if (QFile::remove(path))
            Log::outputLn(QStringLiteral("中断されたコピーの残りを削除しました：%1").arg(path));
    }
    QTemporaryDir staging;
    if (!staging.isValid())
        return QStringLiteral(
            "作業用のフォルダを作れませんでした。ディスクの空きを確認してください。");
    const QString contentName = QStringLiteral("HALVIX2_support");
    QDir content(staging.filePath(contentName));
    if (!content.mkpath(QStringLiteral("logs")))
        return QStringLiteral(
            "作業用のフォルダを作れませんでした。ディスクの空きを確認してください。");

    const QVariantMap settings = UserDef::stdUserDef().snapshot();
    const QStringList secrets = secretTexts(settings);
    const auto put = [&](const QString& name, const QString& text) {
        return writeFile(content.filePath(name), scrub(text, secrets).toUtf8());
    };

    bool ok = put(QStringLiteral("system.txt"), systemInformation());
    ok = ok && put(QStringLiteral("settings.plist"),
                   QString::fromUtf8(plistXmlFromVariant(sanitizedSettings(settings))));
    const QString history = OrderHistoryTable::historyFilePath();
    if (QFileInfo::exists(history))
        ok = ok && put(QStringLiteral("OrderHistory.jsonl"), QString::fromUtf8(readFile(history)));
    QStringList logs =
        QDir(WorkFolder::logFolderPath())
            .entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name | QDir::Reversed);
    logs = logs.mid(0, kRecentLogCount);
    for (const QString& name : logs) {
        ok = ok &&
             put(QStringLiteral("logs/") + name,
                 QString::fromUtf8(readFile(QDir(WorkFolder::logFolderPath()).filePath(name))));
    }
    if (!ok)
        return QStringLiteral(
            "サポート情報を書き出せませんでした。ディスクの空きを確認してください。");

    const QString built = staging.filePath(QStringLiteral("bundle.zip"));
    ProcessOptions options;
    options.workingDirectory = staging.path();
    const ProcessResult zip =
        runProcess(ToolPaths::zip(),
                   {QStringLiteral("-q"), QStringLiteral("-r"), built, contentName}, options);
    if (!zip.succeeded())
        return QStringLiteral("サポート情報を圧縮できませんでした。");

    // The bundle holds the logs and the order history: it is the user's alone wherever it goes
    // (a move keeps its permissions). It replaces the chosen file only once complete and on the
    // disk; until then it is a hidden partial copy beside it, which the next start removes.
    const QString target = QFileInfo(zipPath).absoluteFilePath();
    UserDef::setObject(target, SettingsKey::SupportBundlePath, true);
    if (!QFile::setPermissions(built, QFile::ReadOwner | QFile::WriteOwner) ||
        !orbel::moveFileReplacing(built, target)) {
        return QStringLiteral("保存先に書き込めませんでした。別の場所を選んでください。");
    }
    return std::nullopt;
}
