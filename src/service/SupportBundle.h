#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

// The support bundle: one zip a studio sends to the lab when something goes wrong, holding the
// recent logs, the order history, the system information of the order report's head, and the
// settings without any password, digest or custom data. Every text in it is also scrubbed of the
// secrets the program knows, so a secret that slipped into a log line does not travel either.
class SupportBundle {
public:
    SupportBundle() = delete;

    static constexpr int kRecentLogCount = 14; // log files, one per start date

    static QString proposedFileName(); // "HALVIX2_サポート情報_<date>_<time>.zip"
    // Writes the bundle; none when done, else the reason in Japanese. An existing file at
    // zipPath is replaced only once the new bundle is complete.
    static std::optional<QString> write(const QString& zipPath);
    // What a save killed half-way left beside the last bundle's path (its hidden partial copy):
    // removed at start and before every save.
    static QStringList leftoverFiles();

    // The settings without any entry whose key names a password, digest or custom data, at any
    // depth.
    static QVariantMap sanitizedSettings(const QVariantMap& settings);
    static bool isSecretKey(const QString& key);
    // Every secret text the program knows of: fixed account passwords, the archive password and
    // the texts stored under secret keys.
    static QStringList secretTexts(const QVariantMap& settings);
    static QString scrub(QString text, const QStringList& secrets);
    // The lines of the order report's system information, and the lab's host configuration.
    static QString systemInformation();
};
