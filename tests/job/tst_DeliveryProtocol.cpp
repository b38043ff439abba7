// The delivery protocol where its layers meet: a recorded rename, an upload record, a resume,
// the verification at the lab and the child processes. Each case is a way an order used to be
// lost, sent twice or reported sent without proof; the lab substitute is real FTP on loopback.
#include "AlertRecorder.h"
#include "LabSim.h"
#include "PoolArchives.h"
#include "TestHome.h"
#include "app/OrderPool.h"
#include "job/JobInfo.h"
#include "job/JobTestHook.h"
#include "job/OrderHistory.h"
#include "job/PoolArchiveRecord.h"
#include "job/SendJob.h"
#include "settings/Log.h"
#include "util/WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>
#include <unistd.h>

namespace {

const QString kFolder = QStringLiteral("/ntordrsm2/");
const QString kName = QStringLiteral("1234_001122AABBCC_0000042.zip");
const QString kTemp = QStringLiteral("upload_") + kName;
const QString kSent = QStringLiteral("データを送信しました");
const QString kAmbiguous = QStringLiteral("ラボに届いたか確認できない注文があります");

QByteArray randomBytes(qsizetype size, quint32 seed) {
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    generator.fillRange(reinterpret_cast<quint32*>(data.data()), size / 4);
    return data;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Log entries of cmd for the name in the order folder; with no name, every entry of cmd.
int count(const LabSim& lab, const QString& cmd, const QString& name) {
    int n = 0;
    for (const QJsonObject& entry : lab.ftpLog())
        n += entry.value(QStringLiteral("cmd")).toString() == cmd &&
             (name.isEmpty() || entry.value(QStringLiteral("path")).toString() == kFolder + name);
    return n;
}

// One send of the pool, as the send-only button runs it.
bool poolSend() {
    JobInfo info({}, QString(), nullptr, nullptr);
    SendJob job(info);
    return job.start(std::nullopt);
}

struct Fixture {
    TestHome home;
    LabSim lab;
    AlertRecorder alerts;
    QByteArray data = randomBytes(300'000, 42);
    QString path;

    Fixture() {
        JobTestHook::reset();
        JobTestHook::setRenameRetryPause(std::chrono::milliseconds(10));
        JobTestHook::setGrowthCheckPause(std::chrono::milliseconds(50));
        path = poolkit::poolWithRecord(kName, data);
    }
    ~Fixture() { JobTestHook::reset(); }
    bool ready() const { return lab.isRunning() && !path.isEmpty(); }
    QString labFile(const QString& name) const { return lab.ftpLocalPath(kFolder) + u'/' + name; }
    // The lab holds the order once, whole, and the pool no longer.
    bool deliveredOnce() const {
        return fileBytes(labFile(kName)) == data &&
               count(lab, QStringLiteral("RENAMED"), kName) == 1 && !QFile::exists(path);
    }
    // A send that ends (as a killed program would) at point.
    void sendKilledAt(JobTestHook::Point point, const QJsonObject& faults = {}) {
        lab.setFaults(faults);
        JobTestHook::setKillAt(point);
        poolSend();
        JobTestHook::setKillAt(std::nullopt);
        lab.clearFaults();
    }
    // A send killed while the lab holds `bytes` of the upload.
    void sendKilledMidUpload(qint64 bytes) {
        lab.setFaults({{QStringLiteral("drop_upload_after"), bytes},
                       {QStringLiteral("drop_upload_times"), 1}});
        const QString temp = labFile(kTemp);
        JobTestHook::set([temp, bytes](JobTestHook::Point point) {
            if (point != JobTestHook::Point::UploadStarted)
                return;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (QFileInfo(temp).size() < bytes && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            JobTestHook::setKillAt(JobTestHook::Point::UploadStarted);
        });
        poolSend();
        JobTestHook::set({});
        JobTestHook::setKillAt(std::nullopt);
        lab.clearFaults();
    }
};

} // namespace

class TestDeliveryProtocol : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Killed with the rename recorded but not asked; the next send finds the temporary file,
    // fails on a short upload and removes it. The recorded rename must not outlive that proof:
    // the send after it uploads again instead of reporting "sent" with nothing at the lab.
    void staleRenameIntentNeverMakesALaterSendDelivered() {
        Fixture f;
        QVERIFY2(f.ready(), qPrintable(f.lab.errorText()));
        f.sendKilledAt(JobTestHook::Point::RenameIntentWritten);
        QVERIFY(PoolArchiveRecord::read(f.path)->rename);
        QCOMPARE(f.lab.ftpFolderFiles(kFolder), QStringList{kTemp});

        f.lab.setFaults({{QStringLiteral("truncate_upload"), 1000},
                         {QStringLiteral("truncate_upload_match"), QStringLiteral("upload_*")}});
        QVERIFY(!poolSend());
        f.lab.clearFaults();
        QVERIFY(f.lab.ftpFolderFiles(kFolder).isEmpty());
        QVERIFY(!PoolArchiveRecord::read(f.path)->rename);

        f.alerts.clear();
        QVERIFY(poolSend());
        QVERIFY(f.deliveredOnce());
        QCOMPARE(f.alerts.messages(), QStringList{kSent});
    }

    // An unconfirmed rename and both names gone (the lab swept its stale temporary file, or took
    // the order away): absence proves nothing. The order stays, the studio is asked once; its
    // answer decides and goes into the history.
    void bothNamesGoneAsksTheStudio_data() {
        QTest::addColumn<int>("button");
        QTest::newRow("keep in the pool") << 1;
        QTest::newRow("send again") << 2;
        QTest::newRow("mark delivered") << 3;
    }
    void bothNamesGoneAsksTheStudio() {
        QFETCH(int, button);
        Fixture f;
        QVERIFY2(f.ready(), qPrintable(f.lab.errorText()));
        f.sendKilledAt(JobTestHook::Point::RenameIntentWritten);
        QVERIFY(QFile::remove(f.labFile(kTemp))); // the lab sweeps stale temporary files
        f.alerts.clear();
        f.alerts.enqueueButton(button);

        QCOMPARE(poolSend(), button != 1);

        QCOMPARE(f.alerts.messages().first(), kAmbiguous);
        QCOMPARE(f.alerts.messages().count(kAmbiguous), 1);
        QVERIFY2(f.alerts.requests().first().information.contains(kName),
                 qPrintable(f.alerts.requests().first().information));
        const auto last = OrderHistory::lastRecordForArchive(kName);
        QVERIFY(last);
        if (button == 1) {
            QCOMPARE(f.alerts.count(), 1); // told once, not once more as an error
            QVERIFY(QFile::exists(f.path));
            QCOMPARE(last->outcome, OrderHistoryRecord::Outcome::Failed);
            QVERIFY(
                last->errorText.contains(QStringLiteral("スタジオの判断でオーダープールに残した")));
            QVERIFY(PoolArchiveRecord::read(f.path)->rename); // asked again at the next send
        } else if (button == 2) {
            QVERIFY(f.deliveredOnce());
            QCOMPARE(last->outcome, OrderHistoryRecord::Outcome::Sent);
            QVERIFY(last->errorText.contains(QStringLiteral("スタジオの判断でもう一度送信")));
        } else {
            QVERIFY(!QFile::exists(f.path));
            QCOMPARE(count(f.lab, QStringLiteral("STOR"), kTemp), 1);
            QVERIFY(f.lab.ftpFolderFiles(kFolder).isEmpty());
            QCOMPARE(last->outcome, OrderHistoryRecord::Outcome::Sent);
            QVERIFY(last->errorText.contains(QStringLiteral("スタジオの判断で送信済み")));
        }
    }

    // The lab renamed, the reply was lost and the folder could not be listed (903): the rename
    // may have happened, so its record stays. Once the lab has taken the order away, the next
    // send does not deliver it a second time.
    void lostRenameReplyNeverSendsTwice() {
        Fixture f;
        QVERIFY2(f.ready(), qPrintable(f.lab.errorText()));
        f.lab.setFaults(
            {{QStringLiteral("rnto_drop_reply"), true}, {QStringLiteral("fail_nlst"), true}});
        QVERIFY(!poolSend());
        f.lab.clearFaults();
        QCOMPARE(f.alerts.last().information,
                 QStringLiteral("(903)エラーが発生（リネーム確認に失敗）"));
        QVERIFY(PoolArchiveRecord::read(f.path)->rename);
        QCOMPARE(count(f.lab, QStringLiteral("RENAMED"), kName), 1);
        QVERIFY(QFile::remove(f.labFile(kName))); // the lab takes the order

        f.alerts.clear();
        QVERIFY(!poolSend());
        QCOMPARE(count(f.lab, QStringLiteral("STOR"), kTemp), 1);
        QCOMPARE(count(f.lab, QStringLiteral("RENAMED"), kName), 1);
        QCOMPARE(f.alerts.messages(), QStringList{kAmbiguous});
        QVERIFY(QFile::exists(f.path));
    }

    // A line that breaks in the middle of every try: a failure told to the studio with its code,
    // never a cancel nobody asked for; nothing is renamed and the part waits for the next send.
    void lineBrokenOnEveryTryIsAFailure() {
        Fixture f;
        QVERIFY2(f.ready(), qPrintable(f.lab.errorText()));
        f.data = randomBytes(2'000'000, 4);
        f.path = poolkit::poolWithRecord(kName, f.data);
        f.lab.setFaults({{QStringLiteral("drop_upload_after"), 300'000}});

        QVERIFY(!poolSend());

        QCOMPARE(f.alerts.messages(), QStringList{QStringLiteral("エラーが発生しました")});
        QCOMPARE(count(f.lab, QStringLiteral("RNFR"), kTemp), 0);
        QVERIFY(count(f.lab, QStringLiteral("APPE"), kTemp) > 0);
        QVERIFY(QFile::exists(f.path));
        QVERIFY(PoolArchiveRecord::read(f.path)->upload);
        QVERIFY(QFileInfo(f.labFile(kTemp)).size() >= 300'000);
        const QString error =
            f.lab.reportField(QStringLiteral("FTP-NG"), QStringLiteral("ErrorInfo"));
        QVERIFY2(!error.isEmpty() && !error.contains(QStringLiteral("キャンセル")),
                 qPrintable(error));

        // The line is back: the next send continues the part and delivers once.
        f.lab.clearFaults();
        f.alerts.clear();
        QVERIFY(poolSend());
        QVERIFY(f.deliveredOnce());
    }

    // One login carries an archive's whole delivery (first look, upload, size check, rename);
    // a lab that ends the session after the upload gets a second login, and the order still
    // arrives once.
    void oneLoginCarriesTheDelivery_data() {
        QTest::addColumn<bool>("closedAfterUpload");
        QTest::addColumn<int>("logins");
        QTest::newRow("session kept") << false << 1;
        QTest::newRow("session ended by the lab after the upload") << true << 2;
    }
    void oneLoginCarriesTheDelivery() {
        QFETCH(bool, closedAfterUpload);
        QFETCH(int, logins);
        Fixture f;
        QVERIFY2(f.ready(), qPrintable(f.lab.errorText()));
        if (closedAfterUpload)
            f.lab.setFaults({{QStringLiteral("close_after_upload"), true}});

        QVERIFY(poolSend());

        QVERIFY(f.deliveredOnce());
        QCOMPARE(count(f.lab, QStringLiteral("STOR"), kTemp), 1);
        QCOMPARE(count(f.lab, QStringLiteral("LOGIN"), QString()), logins);
        QCOMPARE(f.alerts.messages(), QStringList{kSent});
    }

    // A lab file one byte short of the archive is not the archive, whether the lab tells its
    // size or the bytes have to be read back (a server answering SIZE with 550).
    void uploadOneByteShortIsNeverRenamed_data() {
        QTest::addColumn<bool>("sizeRefused");
        QTest::newRow("SIZE answered") << false;
        QTest::newRow("SIZE answered 550") << true;
    }
    void uploadOneByteShortIsNeverRenamed() {
        QFETCH(bool, sizeRefused);
        Fixture f;
        QVERIFY2(f.ready(), qPrintable(f.lab.errorText()));
        QJsonObject faults{{QStringLiteral("truncate_upload"), 1},
                           {QStringLiteral("truncate_upload_match"), QStringLiteral("upload_*")}};
        if (sizeRefused)
            faults.insert(QStringLiteral("size_550"), true);
        f.lab.setFaults(faults);

        QVERIFY(!poolSend());

        QCOMPARE(count(f.lab, QStringLiteral("RNFR"), kTemp), 0);
        QVERIFY(!f.lab.ftpFolderFiles(kFolder).contains(kName));
        QCOMPARE(f.alerts.last().information,
                 QStringLiteral("(18)エラーが発生（ファイルの一部分しか転送できなかった）"));
        QVERIFY(QFile::exists(f.path));
    }

    // An archive without a trustworthy record proves itself a whole order zip before it goes:
    // random bytes under an archive's name, or a damaged zip, stay in the pool and the studio is
    // told; a whole one is sent.
    void archiveWithoutRecordMustBeAWholeZip_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("random bytes, no record") << QStringLiteral("random");
        QTest::newRow("damaged zip, unreadable record") << QStringLiteral("damaged");
        QTest::newRow("whole zip, no record") << QStringLiteral("whole");
    }
    void archiveWithoutRecordMustBeAWholeZip() {
        QFETCH(QString, kind);
        Fixture f;
        QVERIFY2(f.ready(), qPrintable(f.lab.errorText()));
        QByteArray bytes =
            kind == QStringLiteral("random") ? randomBytes(1000, 3) : poolkit::orderZip(50'000, 5);
        QVERIFY(!bytes.isEmpty());
        if (kind == QStringLiteral("damaged"))
            bytes[bytes.size() / 2] = static_cast<char>(bytes.at(bytes.size() / 2) ^ 0x20);
        QVERIFY(PoolArchiveRecord::remove(f.path));
        QVERIFY(!poolkit::poolWithoutRecord(kName, bytes).isEmpty());
        if (kind == QStringLiteral("damaged"))
            QVERIFY(kit_writeText(PoolArchiveRecord::recordPathFor(f.path), "{\"size\": 1"));

        const bool whole = kind == QStringLiteral("whole");
        QCOMPARE(poolSend(), whole);

        if (whole) {
            QCOMPARE(fileBytes(f.labFile(kName)), bytes);
            QVERIFY(!QFile::exists(f.path));
            return;
        }
        QCOMPARE(count(f.lab, QStringLiteral("STOR"), kTemp), 0);
        QCOMPARE(fileBytes(f.path), bytes);
        QCOMPARE(f.alerts.messages(), QStringList{QStringLiteral("エラーが発生しました")});
        QVERIFY2(
            f.alerts.last().information.contains(QStringLiteral("zipファイルとしても正しく読め")),
            qPrintable(f.alerts.last().information));
    }

    // Killed mid-upload, the lab's part is continued; a lab that refuses APPE (a server that does
    // not allow resuming) gets the whole archive again within the same send.
    void refusedResumeStartsAgainAtOnce() {
        Fixture f;
        f.data = randomBytes(2'000'000, 9);
        f.path = poolkit::poolWithRecord(kName, f.data);
        QVERIFY2(f.ready(), qPrintable(f.lab.errorText()));
        f.sendKilledMidUpload(1'000'000);
        QCOMPARE(QFileInfo(f.labFile(kTemp)).size(), 1'000'000);
        f.lab.setFaults({{QStringLiteral("refuse_appe"), true}});
        f.alerts.clear();

        QVERIFY(poolSend());

        QVERIFY(f.deliveredOnce());
        QCOMPARE(count(f.lab, QStringLiteral("APPE"), kTemp), 1);
        QCOMPARE(count(f.lab, QStringLiteral("STOR"), kTemp), 2);
        QCOMPARE(f.alerts.messages(), QStringList{kSent});
    }

    // The lab's temporary file still grows (a curl of an earlier run still writing): no resume
    // onto it, no new upload over it; the order waits and the studio is told why.
    void growingTemporaryFileIsNotContinued() {
        Fixture f;
        f.data = randomBytes(2'000'000, 10);
        f.path = poolkit::poolWithRecord(kName, f.data);
        QVERIFY2(f.ready(), qPrintable(f.lab.errorText()));
        f.sendKilledMidUpload(1'000'000);
        JobTestHook::setGrowthCheckPause(std::chrono::milliseconds(300));
        std::atomic<bool> done{false};
        const QString temp = f.labFile(kTemp);
        std::thread writer([&] {
            while (!done.load()) {
                QFile file(temp);
                if (file.open(QIODevice::Append))
                    file.write(QByteArray(1000, 'x'));
                file.close();
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        f.alerts.clear();
        const bool sent = poolSend();
        done = true;
        writer.join();

        QVERIFY(!sent);
        QCOMPARE(count(f.lab, QStringLiteral("APPE"), kTemp), 0);
        QCOMPARE(count(f.lab, QStringLiteral("STOR"), kTemp), 1);
        QCOMPARE(count(f.lab, QStringLiteral("DELE"), kTemp), 0);
        QVERIFY2(f.alerts.last().information.contains(QStringLiteral("まだ書き込みが続いて")),
                 qPrintable(f.alerts.last().information));
        QVERIFY(QFile::exists(f.path));
    }

    // An order that leaves the pool without being sent takes its temporary file at the lab with
    // it: removed from the pool, refused before its upload, or gone from the pool folder.
    void temporaryFileLeavesTheLabWithTheOrder_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("removed from the pool") << QStringLiteral("removed");
        QTest::newRow("refused before its upload") << QStringLiteral("refused");
        QTest::newRow("deleted in the pool folder") << QStringLiteral("deleted");
    }
    void temporaryFileLeavesTheLabWithTheOrder() {
        QFETCH(QString, how);
        Fixture f;
        QVERIFY2(f.ready(), qPrintable(f.lab.errorText()));
        f.data = randomBytes(2'000'000, 11);
        f.path = poolkit::poolWithRecord(kName, f.data);
        f.sendKilledMidUpload(500'000);
        QCOMPARE(f.lab.ftpFolderFiles(kFolder), QStringList{kTemp});
        QVERIFY(PoolArchiveRecord::read(f.path)->upload);

        if (how == QStringLiteral("removed")) {
            OrderPool pool;
            QVERIFY(pool.remove(f.path));
            pool.waitForLabCleanup();
            QVERIFY(!QFile::exists(PoolArchiveRecord::recordPathFor(f.path)));
        } else if (how == QStringLiteral("refused")) {
            QFile file(f.path);
            QVERIFY(file.open(QIODevice::Append) && file.write("x") == 1);
            file.close();
            QVERIFY(!poolSend());
            QVERIFY(QFile::exists(f.path));
        } else {
            QVERIFY(QFile::remove(f.path));
            QVERIFY(!poolSend());
            QVERIFY(!QFile::exists(PoolArchiveRecord::recordPathFor(f.path)));
        }
        QVERIFY(f.lab.ftpFolderFiles(kFolder).isEmpty());
        QCOMPARE(count(f.lab, QStringLiteral("DELE"), kTemp), 1);
        QVERIFY(QString::fromUtf8(fileBytes(Log::logFilePath()))
                    .contains(QStringLiteral("送信しない注文の一時ファイルを送信先から削除 -- ")) ||
                how == QStringLiteral("refused"));
    }

    // A completed upload that is gone from the lab before the rename (someone removed it) is
    // caught by the verification: nothing is renamed, the order stays.
    void vanishedUploadIsCaughtBeforeTheRename() {
        Fixture f;
        QVERIFY2(f.ready(), qPrintable(f.lab.errorText()));
        f.lab.setFaults({{QStringLiteral("vanish_upload"), QStringLiteral("upload_*")}});
        QVERIFY(!poolSend());
        QCOMPARE(count(f.lab, QStringLiteral("RNFR"), kTemp), 0);
        QVERIFY(QFile::exists(f.path));
        QVERIFY2(
            f.alerts.last().information.contains(QStringLiteral("送信したファイルが送信先にない")),
            qPrintable(f.alerts.last().information));
    }

private:
    static bool kit_writeText(const QString& path, const QByteArray& text) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(text) == text.size();
    }
};

QTEST_GUILESS_MAIN(TestDeliveryProtocol)
#include "tst_DeliveryProtocol.moc"
