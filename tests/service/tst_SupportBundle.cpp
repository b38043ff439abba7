#include "TestHome.h"
#include "service/OrderHistoryTable.h"
#include "service/SupportBundle.h"
#include "settings/Log.h"
#include "settings/SettingsStore.h"
#include "settings/UserDef.h"
#include "util/ProcessRunner.h"
#include "util/ToolPaths.h"
#include "util/WorkFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

// Every file of an unpacked zip, by path relative to the folder.
QMap<QString, QByteArray> unpack(const QString& zipPath, const QString& into) {
    QMap<QString, QByteArray> files;
    const ProcessResult r =
        runProcess(ToolPaths::unzip(), {QStringLiteral("-q"), zipPath, QStringLiteral("-d"), into});
    if (!r.succeeded())
        return files;
    QDirIterator it(into, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            files.insert(QDir(into).relativeFilePath(path), f.readAll());
    }
    return files;
}

} // namespace

// The support bundle: what a studio sends to the lab, and that no secret travels with it.
class TestSupportBundle : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void bundleHoldsLogsHistorySystemAndCleanSettingsButNoSecret() {
        TestHome home;
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString digest = QStringLiteral("0f1e2d3c4b5a69788796a5b4c3d2e1f0");
        const QString customCatalogue =
            QStringLiteral("<order_set_print>secret catalogue 9999</order_set_print>");
        UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
        UserDef::setObject(QStringLiteral("写真館ひかり"), QStringLiteral("PhotoStudioName"));
        QVariantMap md5;
        md5.insert(QStringLiteral("9999"), digest);
        UserDef::setObject(md5, QStringLiteral("CustomerMD5Dic"));
        QVariantMap custom;
        custom.insert(QStringLiteral("9999-CustomPrint"), customCatalogue);
        UserDef::setObject(custom, QStringLiteral("CustomDataDic"));
        QVariantMap customer;
        customer.insert(QStringLiteral("CustomerCode"), QStringLiteral("5555"));
        customer.insert(QStringLiteral("CustomerPassword"), QStringLiteral("studio-pass-77"));
        UserDef::setObject(QVariantList{customer}, QStringLiteral("Customers"));

        // Log lines, one of them carrying secrets by mistake, and an old log beyond the limit.
        Log::outputLn(QStringLiteral("起動しました"));
        Log::outputLn(QStringLiteral("curl -u ntorder:47kdw9R5 digest ") + digest);
        const QString logFolder = WorkFolder::logFolderPath();
        for (int day = 1; day <= SupportBundle::kRecentLogCount + 2; ++day)
            writeFile(QDir(logFolder).filePath(
                          QStringLiteral("2000%1.log").arg(day, 4, 10, QLatin1Char('0'))),
                      "old day\n");
        writeFile(
            OrderHistoryTable::historyFilePath(),
            "{\"dateTime\":\"2026-01-02T10:00:00\",\"tab\":\"プリント\",\"archive\":\"a.zip\","
            "\"outcome\":\"sent\"}\n");

        QTemporaryDir out;
        const QString zipPath = out.filePath(QStringLiteral("bundle.zip"));
        writeFile(zipPath, "an older bundle"); // replaced only by a complete one
        const std::optional<QString> error = SupportBundle::write(zipPath);
        QVERIFY2(!error, qPrintable(error.value_or(QString())));
        // Logs and order history inside: the bundle is the user's alone.
        QCOMPARE(QFileInfo(zipPath).permissions() &
                     (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                      QFile::WriteOther | QFile::ExeOther),
                 QFile::Permissions());
        const QMap<QString, QByteArray> files = unpack(zipPath, out.filePath(QStringLiteral("x")));
        QVERIFY(files.contains(QStringLiteral("HALVIX2_support/system.txt")));
        QVERIFY(files.contains(QStringLiteral("HALVIX2_support/settings.plist")));
        QVERIFY(files.contains(QStringLiteral("HALVIX2_support/OrderHistory.jsonl")));
        QVERIFY(files.value(QStringLiteral("HALVIX2_support/system.txt"))
                    .contains("PRG_VER=HALVIX 2:Ver"));
        QVERIFY(files.value(QStringLiteral("HALVIX2_support/system.txt"))
                    .contains("CUSTOMER_NUMBER=1234"));
        const QByteArray settings = files.value(QStringLiteral("HALVIX2_support/settings.plist"));
        QVERIFY(settings.contains("写真館ひかり"));
        QVERIFY(settings.contains("5555"));
        QVERIFY(!settings.contains("CustomerMD5Dic"));
        QVERIFY(!settings.contains("CustomDataDic"));
        QVERIFY(!settings.contains("CustomerPassword"));
        int logs = 0;
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            logs += it.key().startsWith(QStringLiteral("HALVIX2_support/logs/")) ? 1 : 0;
        QCOMPARE(logs, SupportBundle::kRecentLogCount);
        // Today's log is the newest and is in; its secret-bearing line is masked.
        const QString today = QFileInfo(Log::logFilePath()).fileName();
        const QByteArray todayLog = files.value(QStringLiteral("HALVIX2_support/logs/") + today);
        QVERIFY(todayLog.contains("起動しました"));
        QVERIFY(todayLog.contains("ntorder:********"));

        for (const QByteArray& secret :
             {QByteArray("47kdw9R5"), QByteArray("qxz20190311"), QByteArray("plumtreehawk"),
              QByteArray("qelvoxa"), digest.toUtf8(), customCatalogue.toUtf8(),
              QByteArray("secret catalogue"), QByteArray("studio-pass-77")}) {
            for (auto it = files.cbegin(); it != files.cend(); ++it)
                QVERIFY2(!it.value().contains(secret),
                         qPrintable(it.key() + QStringLiteral(": ") + QString::fromUtf8(secret)));
        }
        QVERIFY(QDir(out.path())
                    .entryList(QDir::Files | QDir::Hidden)
                    .contains(QStringLiteral("bundle.zip")));
        QCOMPARE(QDir(out.path())
                     .entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden)
                     .size(),
                 0);
    }

    void failedSaveGivesAReasonAndLeavesNothingBehind() {
        TestHome home;
        QTemporaryDir out;
        // A folder of that name cannot be replaced by the bundle (not even by root).
        const QString taken = out.filePath(QStringLiteral("b.zip"));
        writeFile(taken + QStringLiteral("/inside.txt"), "keep");
        std::optional<QString> error = SupportBundle::write(taken);
        QVERIFY(error);
        QVERIFY(!error->isEmpty());
        QVERIFY(QFileInfo::exists(taken + QStringLiteral("/inside.txt")));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
        error = SupportBundle::write(out.filePath(QStringLiteral("missing/b.zip")));
        QVERIFY(error);
    }

    // A save killed half-way leaves a hidden partial copy beside the chosen name (today's and
    // earlier versions' names). The next save removes it, whatever name it saves under, and so
    // does the next start (it asks leftoverFiles); the finished bundle and other files stay.
    void aSaveKilledHalfwayLeavesNoPartialCopyBehind() {
        TestHome home;
        QTemporaryDir out;
        const QString first = out.filePath(QStringLiteral("first.zip"));
        QVERIFY(!SupportBundle::write(first));
        const QStringList left{out.filePath(QStringLiteral(".first.zip.part-Ab12Cd")),
                               out.filePath(QStringLiteral(".first.zip.part"))};
        for (const QString& path : left)
            writeFile(path, "half a bundle");
        writeFile(out.filePath(QStringLiteral("notes.txt")), "the studio's");
        QStringList found = SupportBundle::leftoverFiles();
        found.sort();
        QStringList expected = left;
        expected.sort();
        QCOMPARE(found, expected);

        QVERIFY(!SupportBundle::write(out.filePath(QStringLiteral("second.zip"))));
        QStringList names = QDir(out.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        QCOMPARE(names, QStringList({QStringLiteral("first.zip"), QStringLiteral("notes.txt"),
                                     QStringLiteral("second.zip")}));
        QVERIFY(SupportBundle::leftoverFiles().isEmpty());
    }

    void secretKeysAtAnyDepth() {
        QVariantMap inner;
        inner.insert(QStringLiteral("Name"), QStringLiteral("a"));
        inner.insert(QStringLiteral("passMD5"), QStringLiteral("abcd1234"));
        QVariantMap settings;
        settings.insert(QStringLiteral("Customers"), QVariantList{inner});
        settings.insert(QStringLiteral("FtpPassword"), QStringLiteral("zzzz9999"));
        settings.insert(
            QStringLiteral("CustomDataDic"),
            QVariantMap{{QStringLiteral("1-CustomAlbum"), QStringLiteral("album text")}});
        const QVariantMap clean = SupportBundle::sanitizedSettings(settings);
        QCOMPARE(clean.keys(), QStringList{QStringLiteral("Customers")});
        QCOMPARE(clean.value(QStringLiteral("Customers")).toList().first().toMap().keys(),
                 QStringList{QStringLiteral("Name")});
        const QStringList secrets = SupportBundle::secretTexts(settings);
        QVERIFY(secrets.contains(QStringLiteral("abcd1234")));
        QVERIFY(secrets.contains(QStringLiteral("zzzz9999")));
        QVERIFY(secrets.contains(QStringLiteral("album text")));
        QVERIFY(!secrets.contains(QStringLiteral("1-CustomAlbum")));
        QCOMPARE(SupportBundle::scrub(QStringLiteral("x zzzz9999 y"), secrets),
                 QStringLiteral("x ******** y"));
    }
};

QTEST_GUILESS_MAIN(TestSupportBundle)
#include "tst_SupportBundle.moc"
