// A big order over a line that breaks: the upload continues the lab's temporary file within the
// job and after a restart, starts again whenever that file is not provably this archive's, and
// a retry ends at once on a refused login or a cancel. The lab substitute is real FTP on loopback.
#include "../job/PipelineTestKit.h"
#include "AlertRecorder.h"
#include "LabSim.h"
#include "TestHome.h"
#include "job/JobTestHook.h"
#include "job/JobThread.h"
#include "job/NotificationCenter.h"
#include "job/PoolArchiveRecord.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "util/WorkFolder.h"

#include <QJsonObject>
#include <QtTest>
#include <chrono>
#include <thread>

namespace {

const QString kRemote = QStringLiteral("/ntordrsm2/");
const QString kArchive = QStringLiteral("1234_001122AABBCC_0000001.zip");
const QString kTemp = QStringLiteral("upload_") + kArchive;
constexpr qint64 kArchiveSize = 4 * 1024 * 1024;

struct Road {
    TestHome home;
    LabSim lab;
    AlertRecorder alerts;
    DirectActions actions;
    RecordingProgress progress; // the tab's bar and message line as the job drives them
    JobThreadRunner runner{actions};
    QString pooled;
    QString sha256;

    Road() {
        JobTestHook::reset();
        JobTestHook::setRenameRetryPause(std::chrono::milliseconds(10));
        JobTestHook::setGrowthCheckPause(std::chrono::milliseconds(50));
        UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
        UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
        UserDef::setObject(QStringLiteral("BtSendOnly"), QStringLiteral("ExecuteBt"));
        WorkFolder::checkWorkFolder();
        pooled = WorkFolder::orderZipPoolFolderPath() + u'/' + kArchive;
        kit::writeFile(pooled, kArchiveSize, 7);
        sha256 = PoolArchiveRecord::sha256OfFile(pooled).value_or(QString());
        // The record the zip stage writes beside the archive.
        const std::optional<PoolArchiveRecord> packed = PoolArchiveRecord::forArchive(
            pooled, QString::fromLatin1(PoolArchiveRecord::kHashPacked), {});
        if (packed)
            packed->write(pooled);
    }
    ~Road() { JobTestHook::reset(); }

    bool poolSend() {
        return runner.jobThread({std::nullopt, {}, QString(), nullptr, &progress, false});
    }

    int count(const QString& cmd, const QString& name = kTemp) const {
        int n = 0;
        for (const QJsonObject& entry : lab.ftpLog())
            n += entry.value(QStringLiteral("cmd")).toString() == cmd &&
                 entry.value(QStringLiteral("path")).toString() == kRemote + name;
        return n;
    }
    QString labPath(const QString& name) const { return lab.ftpLocalPath(kRemote) + u'/' + name; }
    // The order arrived whole under its final name, once, and left the pool.
    bool deliveredWhole() const {
        return lab.ftpFolderFiles(kRemote) == QStringList{kArchive} &&
               PoolArchiveRecord::sha256OfFile(labPath(kArchive)) == sha256 &&
               count(QStringLiteral("RENAMED"), kArchive) == 1 && !QFileInfo::exists(pooled);
    }
    int logCount(const QString& text) const {
        return QString::fromUtf8(kit::readAll(Log::logFilePath())).count(text);
    }

    // A send that dies (as a killed program would) while the lab holds `bytes` of it: the line
    // breaks there and the program ends before it notices.
    void sendKilledAt(qint64 bytes) {
        lab.setFaults({{QStringLiteral("drop_upload_after"), bytes},
                       {QStringLiteral("drop_upload_times"), 1}});
        const QString temp = labPath(kTemp);
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

class TestResumeRoad : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Broken at 60 %: the job waits, telling the studio so in the tab's message line, continues
    // with APPE from what the lab holds, and the lab's file is the archive byte for byte.
    void brokenLineResumesWithinTheJob() {
        Road road;
        QVERIFY2(road.lab.isRunning(), qPrintable(road.lab.errorText()));
        road.lab.setFaults({{QStringLiteral("drop_upload_after"), kArchiveSize * 6 / 10},
                            {QStringLiteral("drop_upload_match"), QStringLiteral("upload_*")},
                            {QStringLiteral("drop_upload_times"), 1}});
        QVERIFY(road.poolSend());
        QVERIFY(road.deliveredWhole());
        QCOMPARE(road.count(QStringLiteral("STOR")), 1);
        QCOMPARE(road.count(QStringLiteral("APPE")), 1);
        QCOMPARE(road.logCount(QStringLiteral("転送が途切れたため再送信を待つ")), 1);
        QVERIFY2(road.progress.messages().contains(QStringLiteral("再送信を待っています（1回目）")),
                 qPrintable(road.progress.messages().join(u'|')));
        QCOMPARE(road.alerts.messages(), QStringList{QStringLiteral("データを送信しました")});
    }

    // Killed during the upload, started again: the pool send continues the lab's file; a changed
    // modification time, a longer or foreign lab file make it start again instead.
    void restartResumesFromThePoolOrStartsAgain_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("resumes");
        QTest::newRow("nothing changed") << QString() << true;
        QTest::newRow("archive touched") << QStringLiteral("touch") << false;
        QTest::newRow("lab file longer") << QStringLiteral("longer") << false;
        QTest::newRow("lab file's end differs") << QStringLiteral("torn") << false;
    }
    void restartResumesFromThePoolOrStartsAgain() {
        QFETCH(QString, change);
        QFETCH(bool, resumes);
        Road road;
        QVERIFY2(road.lab.isRunning(), qPrintable(road.lab.errorText()));
        const qint64 held = kArchiveSize * 6 / 10;
        road.sendKilledAt(held);
        QCOMPARE(QFileInfo(road.labPath(kTemp)).size(), held);
        const std::optional<PoolArchiveRecord> record = PoolArchiveRecord::read(road.pooled);
        QVERIFY(record && record->upload);
        QCOMPARE(record->upload->temporaryName, kTemp);

        if (change == QStringLiteral("touch")) {
            QFile file(road.pooled);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(60),
                                     QFileDevice::FileModificationTime));
        } else if (change == QStringLiteral("longer")) {
            QByteArray bytes = kit::readAll(road.pooled) + QByteArray(1000, 'x');
            QVERIFY(kit::writeText(road.labPath(kTemp), bytes));
        } else if (change == QStringLiteral("torn")) {
            QFile file(road.labPath(kTemp));
            QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(held - 10));
            QVERIFY(file.write(QByteArray(10, '\0')) == 10);
        }
        road.alerts.clear();
        QVERIFY(road.poolSend());
        QVERIFY(road.deliveredWhole());
        QCOMPARE(road.count(QStringLiteral("APPE")), resumes ? 1 : 0);
        QCOMPARE(road.count(QStringLiteral("STOR")), resumes ? 1 : 2);
        QVERIFY(!QFileInfo::exists(PoolArchiveRecord::recordPathFor(road.pooled)));
    }

    // A retry that meets a refused login stops there: no more tries, one error alert, the
    // archive stays in the pool.
    void retryMeetingRefusedLoginStopsAtOnce() {
        Road road;
        QVERIFY2(road.lab.isRunning(), qPrintable(road.lab.errorText()));
        const QJsonObject drop{{QStringLiteral("drop_upload_after"), kArchiveSize / 3},
                               {QStringLiteral("drop_upload_times"), 1}};
        road.lab.setFaults(drop);
        JobTestHook::set([&road, drop](JobTestHook::Point point) {
            if (point != JobTestHook::Point::RetryPause)
                return;
            QJsonObject refused = drop;
            refused.insert(QStringLiteral("refuse_login"), true);
            road.lab.setFaults(refused);
        });
        QVERIFY(!road.poolSend());
        QCOMPARE(road.count(QStringLiteral("STOR")) + road.count(QStringLiteral("APPE")), 1);
        QCOMPARE(road.logCount(QStringLiteral("転送が途切れたため再送信を待つ")), 1);
        QCOMPARE(road.alerts.messages(), QStringList{QStringLiteral("エラーが発生しました")});
        QVERIFY2(road.alerts.last().information.contains(QStringLiteral("(67)")),
                 qPrintable(road.alerts.last().information));
        QVERIFY(QFileInfo::exists(road.pooled));
        QVERIFY(!road.lab.ftpFolderFiles(kRemote).contains(kArchive));
    }

    // Cancel while waiting to retry: the archive stays in the pool, the lab's part stays for the
    // next send, which continues it.
    void cancelDuringRetryPauseKeepsTheArchive() {
        Road road;
        QVERIFY2(road.lab.isRunning(), qPrintable(road.lab.errorText()));
        road.lab.setFaults({{QStringLiteral("drop_upload_after"), kArchiveSize / 3},
                            {QStringLiteral("drop_upload_times"), 1}});
        JobTestHook::setRenameRetryPause(std::chrono::seconds(60)); // would wait 5 minutes
        JobTestHook::set([](JobTestHook::Point point) {
            if (point == JobTestHook::Point::RetryPause)
                NotificationCenter::defaultCenter().postNotification(kJobCancelNotification);
        });
        const auto started = std::chrono::steady_clock::now();
        QVERIFY(!road.poolSend());
        QVERIFY(std::chrono::steady_clock::now() - started < std::chrono::seconds(60));
        QVERIFY(QFileInfo::exists(road.pooled));
        QCOMPARE(road.lab.ftpFolderFiles(kRemote), QStringList{kTemp});
        QCOMPARE(road.count(QStringLiteral("APPE")), 0);

        JobTestHook::set({});
        JobTestHook::setRenameRetryPause(std::chrono::milliseconds(10));
        QVERIFY(road.poolSend());
        QVERIFY(road.deliveredWhole());
        QCOMPARE(road.count(QStringLiteral("APPE")), 1);
    }
};

QTEST_MAIN(TestResumeRoad)
#include "tst_ResumeRoad.moc"
