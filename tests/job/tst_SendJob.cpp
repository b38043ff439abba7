#include "AlertRecorder.h"
#include "LabSim.h"
#include "PoolArchives.h"
#include "TestHome.h"
#include "job/JobInfo.h"
#include "job/JobTestHook.h"
#include "job/NotificationCenter.h"
#include "job/ProgressTarget.h"
#include "job/SendJob.h"
#include "service/LabFtpExchange.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "util/PathUtil.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTest>

namespace {

// The tab's bar and message field as the job drives them.
class RecordingTarget : public ProgressTarget {
public:
    QStringList messages;
    QList<double> maxima;
    QList<double> values;
    // Stands in for the cancel button: pressed when this message appears.
    QString cancelOnMessage;

    void setJobMsg(const QString& msg) override {
        messages.append(msg);
        if (!cancelOnMessage.isEmpty() && msg == cancelOnMessage)
            NotificationCenter::defaultCenter().postNotification(kJobCancelNotification);
    }
    void jobMsgClear() override { messages.append(QString()); }
    void indicatorIndeterminate() override {}
    void indicatorClear() override {}
    void indicatorProgressWitMin(double, double max) override { maxima.append(max); }
    void indicatorUpdate(double value) override { values.append(value); }
};

QString poolFolder() {
    return WorkFolder::orderZipPoolFolderPath();
}

QByteArray randomBytes(qsizetype size) {
    QByteArray data(size, Qt::Uninitialized);
    auto* words = reinterpret_cast<quint32*>(data.data());
    QRandomGenerator::global()->fillRange(words, size / 4);
    return data;
}

// An archive waiting in the order pool, with the record the zip stage writes beside it.
QString poolArchive(const QString& name, qsizetype size) {
    return poolkit::poolWithRecord(name, randomBytes(size));
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString logText() {
    return QString::fromUtf8(fileBytes(Log::logFilePath()));
}

// The usage reports of one action, each as its fields.
QList<QMap<QString, QString>> reportsOf(const LabSim& lab, const QString& action) {
    QList<QMap<QString, QString>> result;
    for (const QJsonObject& report : lab.reports()) {
        if (report.value(QStringLiteral("action")).toString() != action)
            continue;
        QMap<QString, QString> fields;
        for (const QJsonValue& field : report.value(QStringLiteral("fields")).toArray()) {
            const QJsonArray pair = field.toArray();
            fields.insert(pair.at(0).toString(), pair.at(1).toString());
        }
        result.append(fields);
    }
    return result;
}

// The FTP commands of one kind that reached the substitute, as "user path".
QStringList ftpCommands(const LabSim& lab, const QString& cmd) {
    QStringList result;
    for (const QJsonObject& entry : lab.ftpLog()) {
        if (entry.value(QStringLiteral("cmd")).toString() == cmd)
            result.append(entry.value(QStringLiteral("user")).toString() + QLatin1Char(' ') +
                          entry.value(QStringLiteral("path")).toString());
    }
    return result;
}

const QString kOrderFolder = QStringLiteral("/ntordrsm2/");
const QString kFtp2Folder = QStringLiteral("/halvyx_mac/ntordrsm2/");
const QString kTestFolder = QStringLiteral("/mivel/490_halvix2_test/");
const QString kErrorTitle = QStringLiteral("エラーが発生しました");

} // namespace

class tst_SendJob : public QObject {
    Q_OBJECT

private Q_SLOTS:

    void emptyPoolFailsWithoutAlert() {
        TestHome home;
        LabSim lab; // a fresh server: its folders and records belong to this test alone
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        QVERIFY(WorkFolder::checkWorkFolder());
        RecordingTarget target;
        JobInfo info({}, QString(), nullptr, &target);
        SendJob job(info);

        QVERIFY(!job.start());
        QCOMPARE(alerts.count(), 0);
        QVERIFY(logText().contains(QStringLiteral("送信ファイル数 = 0")));
        QVERIFY(ftpCommands(lab, QStringLiteral("STOR")).isEmpty());
    }

    // One archive all the way: upload under the temporary name, rename, verify, delete locally;
    // the bar follows the bytes really sent up to the full size, also for an archive smaller
    // than the first 200 KB step.
    void sendsOneArchiveWithProgress_data() {
        QTest::addColumn<qsizetype>("size");
        QTest::newRow("3 MB") << qsizetype(3'000'000);
        QTest::newRow("150 KB") << qsizetype(150'000);
    }
    void sendsOneArchiveWithProgress() {
        QFETCH(qsizetype, size);
        const bool beyond200kb = size >= 200'000;
        TestHome home;
        LabSim lab; // a fresh server: its folders and records belong to this test alone
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        const QString name = QStringLiteral("1234_001122AABBCC_0000042.zip");
        const QString path = poolArchive(name, size);
        QVERIFY(!path.isEmpty());
        const QByteArray sent = fileBytes(path);
        RecordingTarget target;
        JobInfo info({}, QString(), nullptr, &target);
        SendJob job(info);

        QVERIFY(job.start(path));

        QVERIFY(!QFile::exists(path));
        QCOMPARE(lab.ftpFolderFiles(kOrderFolder), QStringList{name});
        QCOMPARE(fileBytes(lab.ftpLocalPath(kOrderFolder) + QLatin1Char('/') + name), sent);
        const QString user = QStringLiteral("ntorder ");
        QCOMPARE(ftpCommands(lab, QStringLiteral("STOR")),
                 QStringList{user + kOrderFolder + QStringLiteral("upload_") + name});
        QCOMPARE(ftpCommands(lab, QStringLiteral("RNFR")),
                 QStringList{user + kOrderFolder + QStringLiteral("upload_") + name});
        QCOMPARE(ftpCommands(lab, QStringLiteral("RNTO")), QStringList{user + kOrderFolder + name});
        QVERIFY(ftpCommands(lab, QStringLiteral("DELE")).isEmpty());

        const QString total = Tool::autoDataByteStringWithByte(size);
        const QString prefix = QStringLiteral("全1ファイル中の1つ目");
        QVERIFY(target.messages.contains(prefix + QStringLiteral(" :ファイル送信先へ接続中...")));
        QVERIFY(target.messages.contains(
            QStringLiteral("%1 : 送信中(%2) しばらくお待ちください...").arg(prefix, total)));
        QVERIFY(
            target.messages.contains(QStringLiteral("%1 : %2 / %2  送信中").arg(prefix, total)));
        QVERIFY(target.maxima.contains(100.0));
        QVERIFY(!target.values.isEmpty());
        QVERIFY(std::is_sorted(target.values.begin(), target.values.end() - 1));
        QVERIFY(target.values.contains(100.0));
        QCOMPARE(
            target.messages.last(),
            QStringLiteral("データを送信しました。完了メールが届いた時点で受付完了となります。"));

        QCOMPARE(alerts.count(), 1);
        QCOMPARE(alerts.last().message, QStringLiteral("データを送信しました"));
        QCOMPARE(alerts.last().information,
                 QStringLiteral("完了メールが届いた時点で受付完了となります。\n"
                                "メールが届かない場合は当社営業へご連絡下さい。"));

        const QString log = logText();
        QVERIFY(log.contains(QStringLiteral("送信ファイル数 = 1")));
        QVERIFY(log.contains(QStringLiteral("送信ファイル -- ") + path));
        QVERIFY(log.contains(QStringLiteral("FTP処理開始（%1）").arg(total)));
        QCOMPARE(log.contains(QStringLiteral("最初の200KB成功")), beyond200kb);
        QVERIFY(log.contains(QStringLiteral("FTP送信成功")));
        QVERIFY(!log.contains(QStringLiteral("テストモードで送信")));

        const auto reports = reportsOf(lab, QStringLiteral("FTP"));
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports.first().value(QStringLiteral("FileName")), name);
        QCOMPARE(reports.first().value(QStringLiteral("FileSize")), total);
        QCOMPARE(reports.first().contains(QStringLiteral("First200kbTime")), beyond200kb);
        QVERIFY(reports.first().contains(QStringLiteral("JobTime")));
        QVERIFY(!reports.first().contains(QStringLiteral("ErrorInfo")));
        QVERIFY(!reports.first().contains(QStringLiteral("Send")));
    }

    // Three pooled archives, the second refused: the first is sent and gone from the pool, the
    // second and third stay, the third is not even tried.
    void poolSendStopsAtFirstFailure() {
        TestHome home;
        LabSim lab; // a fresh server: its folders and records belong to this test alone
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        for (int bag = 1; bag <= 3; ++bag) {
            QVERIFY(!poolArchive(QStringLiteral("1234_001122AABBCC_000000%1.zip").arg(bag), 300'000)
                         .isEmpty());
        }
        const QStringList pool = orbel::directoryZipPathArray(poolFolder());
        QCOMPARE(pool.size(), 3);
        const QString first = QFileInfo(pool.at(0)).fileName();
        const QString second = QFileInfo(pool.at(1)).fileName();
        QVERIFY(
            lab.setFaults({{QStringLiteral("refuse_upload"), QStringLiteral("upload_") + second}}));
        RecordingTarget target;
        JobInfo info({}, QString(), nullptr, &target);
        SendJob job(info);

        QVERIFY(!job.start(std::nullopt));

        QCOMPARE(orbel::directoryZipPathArray(poolFolder()), pool.mid(1));
        QCOMPARE(lab.ftpFolderFiles(kOrderFolder), QStringList{first});
        QCOMPARE(ftpCommands(lab, QStringLiteral("STOR")).size(), 2);
        QCOMPARE(alerts.count(), 1);
        QCOMPARE(alerts.last().message, kErrorTitle);
        // curl's "upload failed" gets a text of its own (it used to read "（）").
        const QString refused =
            QStringLiteral("(25)エラーが発生（サーバーがファイルの書き込みを拒否した）");
        QCOMPARE(alerts.last().information, refused);
        QCOMPARE(reportsOf(lab, QStringLiteral("FTP")).size(), 1);
        const auto failed = reportsOf(lab, QStringLiteral("FTP-NG"));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.first().value(QStringLiteral("FileName")), second);
        QCOMPARE(failed.first().value(QStringLiteral("ErrorInfo")), refused);
        const QString log = logText();
        QVERIFY(log.contains(QStringLiteral("送信ファイル数 = 3")));
        QVERIFY(
            log.contains(QStringLiteral("エラー発生（サーバーがファイルの書き込みを拒否した）")));
    }

    // curl's failures: the alert names curl's code and its text, the archive stays in the pool;
    // a line that kept breaking (after its three retries) leaves the part at the lab for the
    // next send to continue.
    void curlFailureKeepsArchive_data() {
        QTest::addColumn<QJsonObject>("faults");
        QTest::addColumn<int>("code");
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<bool>("partKept");
        QTest::newRow("login refused") << QJsonObject{{QStringLiteral("refuse_login"), true}} << 67
                                       << qsizetype(300'000) << false;
        QTest::newRow("connection dropped mid-upload")
            << QJsonObject{{QStringLiteral("drop_upload_after"), 1'000'000}} << 55
            << qsizetype(40'000'000) << true;
    }
    void curlFailureKeepsArchive() {
        QFETCH(QJsonObject, faults);
        QFETCH(int, code);
        QFETCH(qsizetype, size);
        QFETCH(bool, partKept);
        JobTestHook::setRenameRetryPause(std::chrono::milliseconds(10));
        TestHome home;
        LabSim lab; // a fresh server: its folders and records belong to this test alone
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        const QString path = poolArchive(QStringLiteral("1234_001122AABBCC_0000007.zip"), size);
        QVERIFY(!path.isEmpty());
        QVERIFY(lab.setFaults(faults));
        RecordingTarget target;
        // What the tab says while the alert is up: no longer "…接続中…".
        QStringList shownAtAlert;
        alerts.watch([&](const AlertRequest&) {
            shownAtAlert.append(target.messages.isEmpty() ? QString() : target.messages.last());
        });
        JobInfo info({}, QString(), nullptr, &target);
        SendJob job(info);

        QVERIFY(!job.start(path));
        lab.clearFaults(); // the server delete has run; the check below lists freely
        QCOMPARE(shownAtAlert, QStringList{QString()});

        JobTestHook::reset();
        QVERIFY(QFile::exists(path));
        const QString temp = QStringLiteral("upload_1234_001122AABBCC_0000007.zip");
        QCOMPARE(lab.ftpFolderFiles(kOrderFolder), partKept ? QStringList{temp} : QStringList());
        if (partKept) {
            // Four tries, each continuing the last: the lab holds four broken pieces in a row.
            QCOMPARE(QFileInfo(lab.ftpLocalPath(kOrderFolder) + u'/' + temp).size(), 4'000'000);
            QCOMPARE(ftpCommands(lab, QStringLiteral("APPE")).size(), 3);
        }
        const QString text =
            QStringLiteral("(%1)エラーが発生（%2）")
                .arg(QString::number(code), LabFtpExchange::errorMessageForCode(code));
        QVERIFY(!LabFtpExchange::errorMessageForCode(code).isEmpty());
        QCOMPARE(alerts.messages(), QStringList{kErrorTitle});
        QCOMPARE(alerts.last().information, text);
        const auto failed = reportsOf(lab, QStringLiteral("FTP-NG"));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.first().value(QStringLiteral("ErrorInfo")), text);
        QVERIFY(ftpCommands(lab, QStringLiteral("RNFR")).isEmpty());
        QCOMPARE(target.messages.last(), QString()); // the bar and its text are cleared
    }

    // The server keeps the temporary name: ten attempts, then 901, and the temporary file is
    // removed from the server.
    void renameNotDoneFailsWith901() {
        TestHome home;
        LabSim lab; // a fresh server: its folders and records belong to this test alone
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        const QString name = QStringLiteral("1234_001122AABBCC_0000008.zip");
        const QString path = poolArchive(name, 300'000);
        QVERIFY(!path.isEmpty());
        QVERIFY(lab.setFaults({{QStringLiteral("rename_keeps_temp"), true}}));
        RecordingTarget target;
        JobInfo info({}, QString(), nullptr, &target);
        SendJob job(info);

        QVERIFY(!job.start(path));

        QCOMPARE(ftpCommands(lab, QStringLiteral("RNFR")).size(), 10);
        // One listing per attempt, after the look before the upload (the upload's check reads
        // its SIZE alone).
        QCOMPARE(ftpCommands(lab, QStringLiteral("NLST")).size(), 11);
        QCOMPARE(ftpCommands(lab, QStringLiteral("DELE")),
                 QStringList{QStringLiteral("ntorder ") + kOrderFolder + QStringLiteral("upload_") +
                             name});
        QCOMPARE(lab.ftpFolderFiles(kOrderFolder), QStringList());
        QVERIFY(QFile::exists(path));
        QCOMPARE(alerts.messages(), QStringList{kErrorTitle});
        QCOMPARE(alerts.last().information,
                 QStringLiteral("(901)エラーが発生（ファイルリネーム失敗）"));
        const auto failed = reportsOf(lab, QStringLiteral("FTP-NG"));
        QCOMPARE(failed.size(), 1);
        QVERIFY(!failed.first().contains(QStringLiteral("WarningInfo")));
        QVERIFY(logText().contains(QStringLiteral("エラー発生（ファイルリネーム失敗）")));
    }

    // A listing that cannot be read is no confirmation, even though curl printed nothing, unless
    // the server accepted the rename (then that answer is the evidence: see tst_SendJobSafety).
    void unreadableListingFailsWith903() {
        TestHome home;
        LabSim lab; // a fresh server: its folders and records belong to this test alone
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        const QString path = poolArchive(QStringLiteral("1234_001122AABBCC_0000009.zip"), 300'000);
        QVERIFY(!path.isEmpty());
        QVERIFY(lab.setFaults(
            {{QStringLiteral("fail_nlst"), true}, {QStringLiteral("refuse_rnto"), true}}));
        RecordingTarget target;
        JobInfo info({}, QString(), nullptr, &target);
        SendJob job(info);

        QVERIFY(!job.start(path));

        // One listing per attempt, after the look before the upload (the upload's check reads
        // its SIZE alone).
        QCOMPARE(ftpCommands(lab, QStringLiteral("NLST")).size(), 11);
        QVERIFY(QFile::exists(path));
        QCOMPARE(alerts.messages(), QStringList{kErrorTitle});
        QCOMPARE(alerts.last().information,
                 QStringLiteral("(903)エラーが発生（リネーム確認に失敗）"));
        QCOMPARE(reportsOf(lab, QStringLiteral("FTP-NG")).size(), 1);
    }

    void cancelStopsUploadAndCleansServer() {
        TestHome home;
        LabSim lab; // a fresh server: its folders and records belong to this test alone
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        const QString name = QStringLiteral("1234_001122AABBCC_0000010.zip");
        const QString path = poolArchive(name, 20'000'000);
        QVERIFY(!path.isEmpty());
        RecordingTarget target;
        target.cancelOnMessage = QStringLiteral("全1ファイル中の1つ目 :ファイル送信先へ接続中...");
        QStringList shownAtAlert;
        alerts.watch([&](const AlertRequest&) {
            shownAtAlert.append(target.messages.isEmpty() ? QString() : target.messages.last());
        });
        JobInfo info({}, QString(), nullptr, &target);
        SendJob job(info);

        QVERIFY(!job.start(path));
        QCOMPARE(shownAtAlert, QStringList{QString()}); // the progress ended before the alert

        QVERIFY(job.isCancel());
        QVERIFY(QFile::exists(path));
        QCOMPARE(lab.ftpFolderFiles(kOrderFolder), QStringList());
        QVERIFY(ftpCommands(lab, QStringLiteral("RNFR")).isEmpty());
        QCOMPARE(alerts.messages(), QStringList{QStringLiteral("処理を中止しました")});
        QCOMPARE(alerts.last().information,
                 QStringLiteral("キャンセルボタンによって送信処理が中止されました"));
        const auto failed = reportsOf(lab, QStringLiteral("FTP-NG"));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.first().value(QStringLiteral("ErrorInfo")),
                 QStringLiteral("キャンセルボタンによって処理が中止"));
        QVERIFY(logText().contains(QStringLiteral("送信処理がキャンセルされた")));
    }

    // Which server: FTP2 for the listed customers, even in test-send mode; the test server in
    // test-send mode otherwise.
    void choosesServerProfile_data() {
        QTest::addColumn<QString>("ftp2Codes");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("ftp2");
        QTest::newRow("FTP2 over test-send")
            << QStringLiteral("1234,3500,77") << kFtp2Folder << true;
        QTest::newRow("test-send") << QStringLiteral("1234,35") << kTestFolder << false;
    }
    void choosesServerProfile() {
        QFETCH(QString, ftp2Codes);
        QFETCH(QString, folder);
        QFETCH(bool, ftp2);
        TestHome home;
        LabSim lab; // a fresh server: its folders and records belong to this test alone
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        UserDef::setObject(QStringLiteral("オーベルテスト送信"), QStringLiteral("PhotoStudioName"));
        UserDef::setObject(QStringLiteral("3500"), QStringLiteral("CustomerCode"));
        UserDef::setObject(ftp2Codes, QStringLiteral("Ftp2TargetCode"));
        const QString name = QStringLiteral("3500_001122AABBCC_0000001.zip");
        const QString path = poolArchive(name, 300'000);
        QVERIFY(!path.isEmpty());
        RecordingTarget target;
        JobInfo info({}, QString(), nullptr, &target);
        SendJob job(info);

        QVERIFY(job.start(path));

        QCOMPARE(lab.ftpFolderFiles(folder), QStringList{name});
        QCOMPARE(lab.ftpFolderFiles(kOrderFolder), QStringList());
        QCOMPARE(lab.ftpFolderFiles(ftp2 ? kTestFolder : kFtp2Folder), QStringList());
        QCOMPARE(ftpCommands(lab, QStringLiteral("STOR")),
                 QStringList{(ftp2 ? QStringLiteral("halvix_mac ") : QStringLiteral("mivel ")) +
                             folder + QStringLiteral("upload_") + name});
        const auto reports = reportsOf(lab, QStringLiteral("FTP"));
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports.first().value(QStringLiteral("Send")),
                 ftp2 ? QStringLiteral("FTP2") : QString());
        QCOMPARE(logText().contains(QStringLiteral("テストモードで送信")), !ftp2);
    }
};

QTEST_GUILESS_MAIN(tst_SendJob)
#include "tst_SendJob.moc"
