#include "AlertRecorder.h"
#include "LabSim.h"
#include "PreferencesHostRecorder.h"
#include "TestHome.h"
#include "app/VersionUp.h"
#include "service/UpdateInfo.h"
#include "settings/Log.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QCryptographicHash>
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
// script (or nothing when installer is empty) and any further files.
QByteArray versionArchive(const TestHome& home, const QString& stem, const QByteArray& installer,
                          const QList<QPair<QString, QByteArray>>& more = {}) {
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
    for (const auto& [name, data] : more) {
        if (!writeFile(folder + QLatin1Char('/') + name, data)) {
            return {};
        }
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

    // The lab announces 9.9.9 on its information page (with notes): the studio is told, the
    // archive is fetched and unpacked into the work area, and its installer script is never run
    // (the marker it would write stays absent); the run goes on.
    void newVersionIsAnnouncedAndNothingDownloadedRuns() {
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        QVERIFY(lab.putHttpFile(QStringLiteral("/halv_ix2/appinfo.html"),
                                "<html>MVL_DATA\n<!--APP_VER_MAC\n9.9.9\nAPP_VER_MAC-->\n"
                                "<!--APP_VER_NOTE\n\xE6\x96\xB0\xE5\x95\x86\xE5\x93\x81"
                                "\xE3\x81\xAB\xE5\xAF\xBE\xE5\xBF\x9C\nAPP_VER_NOTE-->\n"
                                "</html>\n"));
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
            VersionUp::applicationUpdateCheck(UpdateInfo::fetchUpdateInfo(), host);

        QCOMPARE(outcome, VersionUp::Outcome::Notified);
        QVERIFY(QFileInfo(unpack + QStringLiteral("/Halvix2_Install.mpkg")).isFile());
        QVERIFY(!QFileInfo::exists(unpack + QStringLiteral("/stale.txt")));
        QVERIFY(QFileInfo::exists(home.path() +
                                  QStringLiteral("/.local/share/Trash/files/Halvix2_v999")));
        QVERIFY(!QFileInfo::exists(home.path() + QStringLiteral("/MVL_WorkArea/Halvix2_v999.zip")));
        QCOMPARE(host.calls, QStringList{QStringLiteral("wait:最新バージョンを読み込んでいます")});
        QCOMPARE(alerts.messages(),
                 (QStringList{QStringLiteral("新しいバージョン（v9.9.9）があります"),
                              QStringLiteral("新しいバージョン（v9.9.9）をダウンロードしました")}));
        QCOMPARE(
            alerts.requests().first().information,
            QStringLiteral("HALVIX 2の新しいバージョンをダウンロードします。\n\n新商品に対応"));
        QVERIFY(alerts.last().information.contains(QStringLiteral("自動では実行しません")));
        QVERIFY(alerts.last().information.contains(unpack));
        const QJsonObject report = lastReportNamed(lab, QStringLiteral("VersionUp-NG"));
        QCOMPARE(fieldOf(report, QStringLiteral("NewVersion")), QStringLiteral("9.9.9"));
        QCOMPARE(fieldOf(report, QStringLiteral("ErrorInfo")),
                 QStringLiteral("インストーラーは実行せずに通知"));
        QVERIFY(lastReportNamed(lab, QStringLiteral("VersionUp")).isEmpty());
        const QString log = logText();
        for (const char* line : {"バージョンアップを促す", "新バージョンのダウンロード開始",
                                 "ダウンロードと解凍成功", "インストーラーは実行せずに通知"}) {
            QVERIFY2(log.contains(QString::fromUtf8(line)), line);
        }
        QVERIFY(
            !log.contains(QStringLiteral("新バージョンインストールの為にアプリケーション終了")));
        // A script started in the background would have written by now.
        QTest::qWait(1500);
        QVERIFY(!QFileInfo::exists(marker));
    }

    // The lab's archive holds a Debian package: its size and SHA-256 are shown and the studio
    // decides. "開かない" leaves it; "開く" hands it to the desktop's package installer and ends
    // the run; the installer script beside it is never run either way.
    void debianPackageIsOfferedToTheDesktop_data() {
        QTest::addColumn<bool>("open");
        QTest::newRow("studio opens it") << true;
        QTest::newRow("studio declines") << false;
    }
    void debianPackageIsOfferedToTheDesktop() {
        QFETCH(bool, open);
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        PreferencesHostRecorder host;
        const QString marker = home.filePath(QStringLiteral("installer-ran.txt"));
        const QByteArray deb = QByteArray("!<arch>\n") + QByteArray(5000, 'd');
        const QByteArray archive = versionArchive(
            home, QStringLiteral("Halvix2_v999"), "#!/bin/sh\ntouch '" + marker.toUtf8() + "'\n",
            {{QStringLiteral("halvix2_9.9.9_amd64.deb"), deb}});
        QVERIFY(!archive.isEmpty());
        QVERIFY(lab.putFtpFile(QStringLiteral("/upver/m/"), QStringLiteral("Halvix2_v999.zip"),
                               archive));
        alerts.enqueueOk(); // the news
        open ? alerts.enqueueOk() : alerts.enqueueNg();

        const VersionUp::Outcome outcome =
            VersionUp::applicationUpdateCheck(updateInfoWithVersion(QStringLiteral("9.9.9")), host);

        const QString package =
            home.path() + QStringLiteral("/MVL_WorkArea/Halvix2_v999/halvix2_9.9.9_amd64.deb");
        QCOMPARE(alerts.messages().size(), 2);
        QCOMPARE(alerts.last().message,
                 QStringLiteral("新しいバージョン（v9.9.9）のパッケージを開きますか？"));
        QCOMPARE(alerts.last().okTitle, QStringLiteral("開く"));
        QCOMPARE(alerts.last().ngTitle, QStringLiteral("開かない"));
        const QString sha =
            QString::fromLatin1(QCryptographicHash::hash(deb, QCryptographicHash::Sha256).toHex());
        QVERIFY2(alerts.last().information.contains(QStringLiteral("SHA-256：") + sha),
                 qPrintable(alerts.last().information));
        QVERIFY(alerts.last().information.contains(QStringLiteral("（5008バイト）")));
        QVERIFY(alerts.last().information.contains(QStringLiteral("halvix2_9.9.9_amd64.deb")));
        if (open) {
            QCOMPARE(outcome, VersionUp::Outcome::Installing);
            QCOMPARE(host.calls,
                     (QStringList{QStringLiteral("wait:最新バージョンを読み込んでいます"),
                                  QStringLiteral("open:") + package, QStringLiteral("terminate")}));
            QCOMPARE(fieldOf(lastReportNamed(lab, QStringLiteral("VersionUp")),
                             QStringLiteral("NewVersion")),
                     QStringLiteral("9.9.9"));
            QVERIFY(logText().contains(
                QStringLiteral("新バージョンインストールの為にアプリケーション終了")));
        } else {
            QCOMPARE(outcome, VersionUp::Outcome::Notified);
            QCOMPARE(host.calls,
                     QStringList{QStringLiteral("wait:最新バージョンを読み込んでいます")});
            QCOMPARE(fieldOf(lastReportNamed(lab, QStringLiteral("VersionUp-NG")),
                             QStringLiteral("ErrorInfo")),
                     QStringLiteral("新バージョンのパッケージを開かずに続行"));
        }
        QTest::qWait(1500);
        QVERIFY(!QFileInfo::exists(marker));
    }

    // dpkg knows the programs of packages, and nothing of a build folder.
    void tellsAPackagedProgramApart() {
        QCOMPARE(VersionUp::owningPackage(QStringLiteral("/usr/bin/curl")), QStringLiteral("curl"));
        QCOMPARE(VersionUp::owningPackage(QStringLiteral(HALVIX_BINARY_DIR "/bin/halvix2")),
                 std::nullopt);
        QCOMPARE(VersionUp::runningProgramPackage(), std::nullopt);
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
        QTest::newRow("the desktop cannot open the package")
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
        host.openAnswer = false;
        if (archiveMissing) {
            QVERIFY(lab.setFaults({{QStringLiteral("upver_missing"), true}}));
        } else {
            const QByteArray archive =
                versionArchive(home, QStringLiteral("Halvix2_v301"), {},
                               {{QStringLiteral("halvix2_3.0.1_amd64.deb"), "!<arch>\n"}});
            QVERIFY(lab.putFtpFile(QStringLiteral("/upver/m/"), QStringLiteral("Halvix2_v301.zip"),
                                   archive));
        }

        QCOMPARE(
            VersionUp::applicationUpdateCheck(updateInfoWithVersion(QStringLiteral("3.0.1")), host),
            outcome);

        QVERIFY(!host.terminateAsked);
        QCOMPARE(alerts.messages().size(), archiveMissing ? 2 : 3);
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
