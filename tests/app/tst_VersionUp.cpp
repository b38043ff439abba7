#include "AlertRecorder.h"
#include "LabSim.h"
#include "PreferencesHostRecorder.h"
#include "TestHome.h"
#include "app/VersionUp.h"
#include "settings/Log.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QTest>

namespace {

QString logText() {
    QFile file(Log::logFilePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString updateInfoWithVersion(const QString& version) {
    return QStringLiteral("<html>MVL_DATA\n<!--APP_VER_MAC\n%1\nAPP_VER_MAC-->\n</html>\n")
        .arg(version);
}

bool writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The lab's version-up archive: a folder of the archive's own name holding the installer
// script (or nothing when installer is empty).
QByteArray versionArchive(const TestHome& home, const QString& stem, const QByteArray& installer) {
    const QString source = home.filePath(QStringLiteral("archive-src"));
    QDir(source).removeRecursively();
    const QString folder = source + QLatin1Char('/') + stem;
    if (!QDir().mkpath(folder)) {
        return {};
    }
    if (!installer.isEmpty() &&
        !writeFile(folder + QStringLiteral("/Halvix2_Install.mpkg"), installer)) {
        return {};
    }
    if (installer.isEmpty() && !writeFile(folder + QStringLiteral("/readme.txt"), "x")) {
        return {};
    }
    const QString zip = home.filePath(QStringLiteral("archive.zip"));
    QFile::remove(zip);
    if (!Tool::zipWithOption(QStringLiteral("-r"), zip, stem, source)) {
        return {};
    }
    return readFile(zip);
}

QJsonObject lastReportNamed(const LabSim& lab, const QString& action) {
    const QList<QJsonObject> reports = lab.reports();
    for (auto it = reports.rbegin(); it != reports.rend(); ++it) {
        if (it->value(QStringLiteral("action")).toString() == action) {
            return *it;
        }
    }
    return {};
}

QString fieldOf(const QJsonObject& report, const QString& name) {
    for (const QJsonValue& pair : report.value(QStringLiteral("fields")).toArray()) {
        if (pair.toArray().at(0).toString() == name) {
            return pair.toArray().at(1).toString();
        }
    }
    return {};
}

} // namespace

class TestVersionUp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void comparesComponentByComponent_data() {
        QTest::addColumn<QString>("own");
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("newer");
        QTest::newRow("2.1.9 over 2.1.5") << "2.1.5"
                                          << "2.1.9" << true;
        QTest::newRow("2.1.5 under 2.1.9") << "2.1.9"
                                           << "2.1.5" << false;
        QTest::newRow("2.10 over 2.9") << "2.9"
                                       << "2.10" << true;
        QTest::newRow("2.9.1 under 2.10.0") << "2.9.1"
                                            << "2.10.0" << true;
        QTest::newRow("2.10.0 over 2.9.1") << "2.10.0"
                                           << "2.9.1" << false;
        QTest::newRow("2.1.5 under 2.2.0") << "2.1.5"
                                           << "2.2.0" << true;
        QTest::newRow("equal") << "2.1.5"
                               << "2.1.5" << false;
        QTest::newRow("trailing zero equal") << "2.1"
                                             << "2.1.0" << false;
        QTest::newRow("own version unknown") << ""
                                             << "9.9.9" << false;
        QTest::newRow("page without number") << "2.0.0"
                                             << "abcde" << false;
    }
    void comparesComponentByComponent() {
        QFETCH(QString, own);
        QFETCH(QString, page);
        QFETCH(bool, newer);
        TestHome home;
        QCOMPARE(VersionUp::isNewVersion(own, page), newer);
    }

    void namesTheArchiveAndTheInstaller() {
        TestHome home;
        QCOMPARE(VersionUp::newAppFileName(QStringLiteral("2.1.5")),
                 QStringLiteral("Halvix2_v215.zip"));
        QCOMPARE(VersionUp::installerPath(QStringLiteral("2.1.5")),
                 home.path() + QStringLiteral("/MVL_WorkArea/Halvix2_v215/Halvix2_Install.mpkg"));
        QVERIFY(VersionUp::isApplicationNewVersion(QStringLiteral("9.9.9")));
        QVERIFY(logText().contains(QStringLiteral("ThisVer=2.0.0 LastVer=9.9.9")));
    }

    // The lab announces 9.9.9: the archive is fetched, unpacked into the work area, its
    // installer runs with /bin/sh in its folder (it writes a marker) and the run is ended.
    void newVersionRunsTheInstallerAndQuits() {
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        PreferencesHostRecorder host;
        const QString marker = home.filePath(QStringLiteral("installer-ran.txt"));
        const QByteArray script = "#!/bin/sh\npwd > '" + marker.toUtf8() + "'\n";
        const QByteArray archive = versionArchive(home, QStringLiteral("Halvix2_v999"), script);
        QVERIFY(!archive.isEmpty());
        QVERIFY(lab.putFtpFile(QStringLiteral("/upver/m/"), QStringLiteral("Halvix2_v999.zip"),
                               archive));
        // Leftovers of an earlier attempt go to the Trash first.
        const QString unpack = home.path() + QStringLiteral("/MVL_WorkArea/Halvix2_v999");
        QVERIFY(writeFile(unpack + QStringLiteral("/stale.txt"), "old"));

        const VersionUp::Outcome outcome =
            VersionUp::applicationUpdateCheck(updateInfoWithVersion(QStringLiteral("9.9.9")), host);

        QCOMPARE(outcome, VersionUp::Outcome::Installing);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(readFile(marker).trimmed(), unpack.toUtf8(), 20000);
        QVERIFY(QFileInfo(unpack + QStringLiteral("/Halvix2_Install.mpkg")).isFile());
        QVERIFY(!QFileInfo::exists(unpack + QStringLiteral("/stale.txt")));
        QVERIFY(QFileInfo::exists(home.path() +
                                  QStringLiteral("/.local/share/Trash/files/Halvix2_v999")));
        QVERIFY(!QFileInfo::exists(home.path() + QStringLiteral("/MVL_WorkArea/Halvix2_v999.zip")));
        QVERIFY(host.terminateAsked);
        QCOMPARE(host.calls, (QStringList{QStringLiteral("wait:最新バージョンを読み込んでいます"),
                                          QStringLiteral("terminate")}));
        QCOMPARE(alerts.messages(),
                 QStringList{QStringLiteral("新しいバージョン（v9.9.9）があります")});
        QCOMPARE(alerts.last().information,
                 QStringLiteral("HALVIX 2の新しいバージョンをダウンロードします。"));
        const QJsonObject report = lastReportNamed(lab, QStringLiteral("VersionUp"));
        QCOMPARE(fieldOf(report, QStringLiteral("NewVersion")), QStringLiteral("9.9.9"));
        const QString log = logText();
        for (const char* line :
             {"バージョンアップを促す", "新バージョンのダウンロード開始", "ダウンロードと解凍成功",
              "新バージョンインストールの為にアプリケーション終了", "Halvix2(v2.0.0)終了"}) {
            QVERIFY2(log.contains(QString::fromUtf8(line)), line);
        }
    }

    void failuresLeaveTheOldVersionRunning_data() {
        QTest::addColumn<bool>("archiveMissing");
        QTest::addColumn<QString>("logLine");
        QTest::addColumn<QString>("alert");
        QTest::addColumn<VersionUp::Outcome>("outcome");
        QTest::newRow("no archive on the server")
            << true << QStringLiteral("ダウンロード失敗")
            << QStringLiteral("最新バージョンの読み込みに失敗しました")
            << VersionUp::Outcome::DownloadFailed;
        QTest::newRow("archive without installer")
            << false << QStringLiteral("インストーラーの起動に失敗")
            << QStringLiteral("インストーラーの起動に失敗しました")
            << VersionUp::Outcome::InstallerFailed;
    }
    void failuresLeaveTheOldVersionRunning() {
        QFETCH(bool, archiveMissing);
        QFETCH(QString, logLine);
        QFETCH(QString, alert);
        QFETCH(VersionUp::Outcome, outcome);
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        PreferencesHostRecorder host;
        if (archiveMissing) {
            QVERIFY(lab.setFaults({{QStringLiteral("upver_missing"), true}}));
        } else {
            const QByteArray archive = versionArchive(home, QStringLiteral("Halvix2_v301"), {});
            QVERIFY(lab.putFtpFile(QStringLiteral("/upver/m/"), QStringLiteral("Halvix2_v301.zip"),
                                   archive));
        }

        QCOMPARE(
            VersionUp::applicationUpdateCheck(updateInfoWithVersion(QStringLiteral("3.0.1")), host),
            outcome);

        QVERIFY(!host.terminateAsked);
        QCOMPARE(alerts.messages().size(), 2);
        QCOMPARE(alerts.messages().last(), alert);
        QCOMPARE(alerts.last().information, QStringLiteral("次に起動した時に再度行います"));
        QVERIFY(logText().contains(logLine));
        const QJsonObject report = lastReportNamed(lab, QStringLiteral("VersionUp-NG"));
        QCOMPARE(fieldOf(report, QStringLiteral("NewVersion")), QStringLiteral("3.0.1"));
        QCOMPARE(fieldOf(report, QStringLiteral("ErrorInfo")), logLine);
        // No truncated archive is left for the next start.
        QVERIFY(!QFileInfo::exists(home.path() + QStringLiteral("/MVL_WorkArea/Halvix2_v301.zip")));
    }

    void nothingHappensWithoutANewerVersion_data() {
        QTest::addColumn<QString>("updateInfo");
        QTest::addColumn<QString>("logLine");
        QTest::newRow("no block") << QStringLiteral("MVL_DATA")
                                  << QStringLiteral("バージョン情報の取得に失敗");
        QTest::newRow("4 characters") << updateInfoWithVersion(QStringLiteral("2.15"))
                                      << QStringLiteral("バージョン情報の取得に失敗");
        QTest::newRow("path in version") << updateInfoWithVersion(QStringLiteral("9/../9.9"))
                                         << QStringLiteral("バージョン情報の取得に失敗");
        QTest::newRow("same version") << updateInfoWithVersion(QStringLiteral("2.0.0"))
                                      << QStringLiteral("ThisVer=2.0.0 LastVer=2.0.0");
        QTest::newRow("older") << updateInfoWithVersion(QStringLiteral("1.10.9"))
                               << QStringLiteral("ThisVer=2.0.0 LastVer=1.10.9");
    }
    void nothingHappensWithoutANewerVersion() {
        QFETCH(QString, updateInfo);
        QFETCH(QString, logLine);
        TestHome home;
        AlertRecorder alerts;
        PreferencesHostRecorder host;
        const VersionUp::Outcome outcome = VersionUp::applicationUpdateCheck(updateInfo, host);
        QVERIFY(outcome == VersionUp::Outcome::NoVersionInfo ||
                outcome == VersionUp::Outcome::UpToDate);
        QCOMPARE(alerts.count(), 0);
        QVERIFY(host.calls.isEmpty());
        QVERIFY2(logText().contains(logLine), qPrintable(logText()));
    }
};

QTEST_GUILESS_MAIN(TestVersionUp)
#include "tst_VersionUp.moc"
