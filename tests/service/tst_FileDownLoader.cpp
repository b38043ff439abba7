#include "AlertRecorder.h"
#include "LabSim.h"
#include "TestHome.h"
#include "job/NotificationCenter.h"
#include "service/FileDownLoader.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>
#include <memory>
#include <sys/stat.h>

namespace {

QByteArray bytes(qsizetype size, char fill) {
    return QByteArray(size, fill);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Leftover temporary files of the download in a folder.
QStringList partFiles(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral(".halvix-download-*")},
                                  QDir::Files | QDir::Hidden);
}

QList<QJsonObject> reportsOf(const LabSim& lab, const QString& action) {
    QList<QJsonObject> found;
    for (const QJsonObject& r : lab.reports()) {
        if (r.value(QStringLiteral("action")).toString() == action)
            found.append(r);
    }
    return found;
}

QString field(const QJsonObject& report, const QString& name) {
    for (const QJsonValue& pair : report.value(QStringLiteral("fields")).toArray()) {
        if (pair.toArray().at(0).toString() == name)
            return pair.toArray().at(1).toString();
    }
    return QStringLiteral("<absent>");
}

FileDownRequest request(const QString& folder, const QStringList& names,
                        const QList<double>& sizes) {
    FileDownRequest r;
    r.customerCode = QStringLiteral("1234");
    r.saveFolder = folder;
    r.fileNames = names;
    r.fileSizes = sizes;
    return r;
}

} // namespace

// The download of the file download window against the lab substitute: one curl per file into a
// temporary name, renamed when complete.
class TestFileDownLoader : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<LabSim> lab;
    const QString folder = QStringLiteral("/dwnld/1234/");

private Q_SLOTS:
    void initTestCase() {
        lab = std::make_unique<LabSim>();
        QVERIFY2(lab->isRunning(), qPrintable(lab->errorText()));
    }
    void init() { lab->clearFaults(); }
    void cleanupTestCase() { lab.reset(); }

    void listingAndInformationFile() {
        TestHome home;
        QVERIFY(lab->putFtpFile(folder, QStringLiteral("a b.zip"), "x"));
        QVERIFY(lab->putFtpFile(folder, QStringLiteral("1234.txt"), "お知らせです"));
        const std::optional<QString> listing = FileDownLoader::fileListStr(QStringLiteral("1234"));
        QVERIFY(listing);
        QVERIFY(listing->contains(QStringLiteral(" a b.zip")));
        QCOMPARE(FileDownLoader::infoFileRead(QStringLiteral("1234")),
                 QStringLiteral("お知らせです"));
        // No folder for the customer: no listing, an empty information text.
        QVERIFY(!FileDownLoader::fileListStr(QStringLiteral("5555")));
        QCOMPARE(FileDownLoader::infoFileRead(QStringLiteral("5555")), QString());
    }

    void downloadsEachFileUnderItsNameWithProgressAndHistory() {
        ::umask(022); // what a desktop session has; the permissions below follow it
        TestHome home;
        QTemporaryDir save;
        const QByteArray big = bytes(1500000, 'b');
        QVERIFY(lab->putFtpFile(folder, QStringLiteral("big file.zip"), big));
        QVERIFY(lab->putFtpFile(folder, QStringLiteral("写真 {1,2}.jpg"), "jpeg"));
        FileDownLoader loader;
        QSignalSpy progress(&loader, &FileDownLoader::progressChanged);
        QSignalSpy status(&loader, &FileDownLoader::statusChanged);
        const FileDownResult result = loader.downloadExecute(
            request(save.path(), {QStringLiteral("big file.zip"), QStringLiteral("写真 {1,2}.jpg")},
                    {1500000, 4}));
        QVERIFY2(result.success, qPrintable(result.errorMessage));
        QCOMPARE(readFile(save.filePath(QStringLiteral("big file.zip"))), big);
        QCOMPARE(readFile(save.filePath(QStringLiteral("写真 {1,2}.jpg"))), QByteArray("jpeg"));
        QVERIFY(partFiles(save.path()).isEmpty());
        // A downloaded file is a file like any other, not private to this account.
        QVERIFY(QFileInfo(save.filePath(QStringLiteral("big file.zip"))).permissions() &
                QFileDevice::ReadOther);
        // Progress from curl's meter: first indeterminate, then a determinate bar up to 100.
        QVERIFY(progress.count() >= 2);
        QCOMPARE(progress.first().at(1).toDouble(), 0.0);
        QCOMPARE(progress.last().at(1).toDouble(), 100.0);
        QVERIFY(progress.last().at(0).toDouble() > 50.0);
        QCOMPARE(status.first().at(0).toString(), QStringLiteral("接続中..."));
        QVERIFY(status.last().at(0).toString().endsWith(QStringLiteral(" / 1.5 MB")));

        const QVariantMap history =
            UserDef::fileDownHistoryDic().value_or(QVariantMap()).value("1234").toMap();
        QCOMPARE(history.keys(),
                 (QStringList{QStringLiteral("big file.zip"), QStringLiteral("写真 {1,2}.jpg")}));
        const QList<QJsonObject> ok = reportsOf(*lab, QStringLiteral("FTP-D"));
        QVERIFY(!ok.isEmpty());
        QCOMPARE(field(ok.last(), QStringLiteral("FileName")),
                 QStringLiteral("big file.zip,写真 {1,2}.jpg"));
        QVERIFY(field(ok.last(), QStringLiteral("First200kbTime")) != QStringLiteral("<absent>"));
    }

    void zeroTotalStaysIndeterminate() {
        TestHome home;
        QTemporaryDir save;
        QVERIFY(lab->putFtpFile(folder, QStringLiteral("empty.txt"), QByteArray()));
        FileDownLoader loader;
        QSignalSpy progress(&loader, &FileDownLoader::progressChanged);
        const FileDownResult result =
            loader.downloadExecute(request(save.path(), {QStringLiteral("empty.txt")}, {0}));
        QVERIFY2(result.success, qPrintable(result.errorMessage));
        QVERIFY(QFileInfo::exists(save.filePath(QStringLiteral("empty.txt"))));
        for (const QList<QVariant>& call : progress)
            QCOMPARE(call.at(1).toDouble(), 0.0);
    }

    void underTwoHundredKilobytesShowsNoDeterminateBar() {
        TestHome home;
        QTemporaryDir save;
        QVERIFY(lab->putFtpFile(folder, QStringLiteral("small.pdf"), bytes(150000, 'p')));
        FileDownLoader loader;
        QSignalSpy progress(&loader, &FileDownLoader::progressChanged);
        const FileDownResult result =
            loader.downloadExecute(request(save.path(), {QStringLiteral("small.pdf")}, {150000}));
        QVERIFY2(result.success, qPrintable(result.errorMessage));
        for (const QList<QVariant>& call : progress)
            QCOMPARE(call.at(1).toDouble(), 0.0);
        const QList<QJsonObject> ok = reportsOf(*lab, QStringLiteral("FTP-D"));
        QCOMPARE(field(ok.last(), QStringLiteral("FileName")), QStringLiteral("small.pdf"));
        QCOMPARE(field(ok.last(), QStringLiteral("First200kbTime")), QStringLiteral("<absent>"));
    }

    void droppedConnectionLeavesNoTruncatedFileAndKeepsTheOldOne() {
        TestHome home;
        QTemporaryDir save;
        QVERIFY(lab->putFtpFile(folder, QStringLiteral("new.zip"), bytes(800000, 'n')));
        QVERIFY(lab->putFtpFile(folder, QStringLiteral("old.zip"), bytes(900000, 'o')));
        QFile existing(save.filePath(QStringLiteral("old.zip")));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("the studio's own copy");
        existing.close();
        QVERIFY(lab->setFaults(
            QJsonObject{{"drop_download_after", 300000}, {"download_match", "old.zip"}}));
        FileDownLoader loader;
        FileDownRequest r = request(
            save.path(), {QStringLiteral("new.zip"), QStringLiteral("old.zip")}, {800000, 900000});
        r.overwriteNames = {QStringLiteral("old.zip")};
        const FileDownResult result = loader.downloadExecute(r);
        QVERIFY(!result.success);
        QVERIFY(!result.cancelled);
        QVERIFY(!result.errorMessage.isEmpty());
        // The file before the break is complete; the broken one never replaced the old copy.
        QCOMPARE(readFile(save.filePath(QStringLiteral("new.zip"))), bytes(800000, 'n'));
        QCOMPARE(readFile(save.filePath(QStringLiteral("old.zip"))),
                 QByteArray("the studio's own copy"));
        QVERIFY(partFiles(save.path()).isEmpty());
        QVERIFY(!UserDef::fileDownHistoryDic().value_or(QVariantMap()).contains("1234"));
        const QList<QJsonObject> ng = reportsOf(*lab, QStringLiteral("FTP-D-NG"));
        QVERIFY(!ng.isEmpty());
        QVERIFY(field(ng.last(), QStringLiteral("ErrorInfo"))
                    .startsWith(QStringLiteral("エラー発生（")));
    }

    void loginRefusedAndUnsafeNames() {
        TestHome home;
        QTemporaryDir save;
        QVERIFY(lab->putFtpFile(folder, QStringLiteral("a.zip"), "a"));
        QVERIFY(lab->setFaults(QJsonObject{{"refuse_login", true}}));
        FileDownLoader loader;
        FileDownResult result =
            loader.downloadExecute(request(save.path(), {QStringLiteral("a.zip")}, {1}));
        QVERIFY(!result.success);
        QCOMPARE(result.errorMessage, QStringLiteral("サーバーへのログインエラーが発生しました"));
        QVERIFY(QDir(save.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());

        lab->clearFaults();
        const qsizetype retrBefore = lab->ftpLog().size();
        result = loader.downloadExecute(request(save.path(), {QStringLiteral("-o/etc")}, {1}));
        QVERIFY(!result.success);
        QVERIFY(result.errorMessage.contains(QStringLiteral("-o/etc")));
        QCOMPARE(lab->ftpLog().size(), retrBefore); // nothing asked of the server
    }

    void cancelStopsTheRunningTransferOnItsThread() {
        TestHome home;
        QTemporaryDir save;
        QVERIFY(lab->putFtpFile(folder, QStringLiteral("slow.zip"), bytes(2000000, 's')));
        QVERIFY(lab->setFaults(QJsonObject{{"hold_download_after", 500000}}));
        FileDownLoader loader;
        QSignalSpy progress(&loader, &FileDownLoader::progressChanged);
        QSignalSpy finished(&loader, &FileDownLoader::finished);
        QVERIFY(loader.start(request(save.path(), {QStringLiteral("slow.zip")}, {2000000})));
        QVERIFY(!loader.start(request(save.path(), {QStringLiteral("slow.zip")}, {2000000})));
        // Wait until the transfer stalls at the server's limit (progress shown), then cancel.
        QTRY_VERIFY_WITH_TIMEOUT(progress.count() >= 2, 20000);
        NotificationCenter::defaultCenter().postNotification(QStringLiteral("fileDownLoadCancel"));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
        QCOMPARE(finished.first().at(0).toBool(), false);
        QCOMPARE(finished.first().at(1).toBool(), true);
        QVERIFY(!loader.isRunning());
        QVERIFY(QDir(save.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        const QList<QJsonObject> ng = reportsOf(*lab, QStringLiteral("FTP-D-NG"));
        QVERIFY(!ng.isEmpty());
        QCOMPARE(field(ng.last(), QStringLiteral("ErrorInfo")),
                 QStringLiteral("キャンセルボタンによって処理が中止"));
    }
};

QTEST_GUILESS_MAIN(TestFileDownLoader)
#include "tst_FileDownLoader.moc"
