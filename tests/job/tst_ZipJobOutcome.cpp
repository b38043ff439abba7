// The zip stage's outcome and the archive's place: the bag number never names an archive twice,
// nothing in the pool or at a save path is replaced without the user's word, a cancel after the
// move is too late, and a customer code that could break a name is refused.
#include "AlertRecorder.h"
#include "PipelineTestKit.h"
#include "TestHome.h"
#include "job/JobInfo.h"
#include "job/JobTestHook.h"
#include "job/JobThread.h"
#include "job/NotificationCenter.h"
#include "job/OrderHistory.h"
#include "job/SendJob.h"
#include "job/ZipJob.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "util/StringUtil.h"
#include "util/WorkFolder.h"

#include <QtTest>

namespace {

void baseSettings(const QString& action) {
    UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
    UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
    UserDef::setObject(action, QStringLiteral("OrderActionType"));
    UserDef::setObject(QStringLiteral("その他"), QStringLiteral("MainTabLabel"));
}

QString poolPath(const QString& name) {
    return WorkFolder::orderZipPoolFolderPath() + u'/' + name;
}

QStringList poolFiles() {
    return QDir(WorkFolder::orderZipPoolFolderPath()).entryList(QDir::Files, QDir::Name);
}

QString logText() {
    return QString::fromUtf8(kit::readAll(Log::logFilePath()));
}

// The order report inside a finished archive.
QByteArray reportOf(const QString& archive) {
    return kit::zipContent(archive, QStringLiteral("PrintReport4.txt"), ZipJob::zipPassword())
        .value_or(QByteArray());
}

struct HookGuard {
    ~HookGuard() { JobTestHook::reset(); }
};

} // namespace

class TestZipJobOutcome : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A damaged settings file restarted BagNo: the pool already holds 1 and 2, and the history
    // knows 3 as sent. The new order becomes 4, report and name alike, and the pool is untouched.
    void bagNumberSkipsNamesInPoolAndHistory() {
        TestHome home;
        AlertRecorder alerts;
        baseSettings(QStringLiteral("AcAfterSend"));
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString one = QStringLiteral("1234_001122AABBCC_0000001.zip");
        const QString two = QStringLiteral("1234_001122AABBCC_0000002.zip");
        QVERIFY(kit::writeText(poolPath(one), "order one, waiting"));
        QVERIFY(kit::writeText(poolPath(two), "order two, waiting"));
        OrderHistoryRecord sent;
        sent.dateTime = QDateTime::currentDateTime();
        sent.archiveName = QStringLiteral("1234_001122AABBCC_0000003.zip");
        sent.outcome = OrderHistoryRecord::Outcome::Sent;
        QVERIFY(OrderHistory::append(sent));
        const QString file = home.filePath(QStringLiteral("d/f.jpg"));
        QVERIFY(kit::writeFile(file, 5000, 3));

        JobInfo info({file}, QString(), nullptr, nullptr);
        ZipJob job(info);
        QVERIFY(job.start());

        const QString four = QStringLiteral("1234_001122AABBCC_0000004.zip");
        QCOMPARE(poolFiles(), (QStringList{one, two, four}));
        QCOMPARE(kit::readAll(poolPath(one)), QByteArray("order one, waiting"));
        QCOMPARE(kit::readAll(poolPath(two)), QByteArray("order two, waiting"));
        const QByteArray report = reportOf(poolPath(four));
        QVERIFY(report.contains("LAB_ORDER_ID=0000004\r\n"));
        QVERIFY(report.contains("CUSTOMER_ORDER_ID=1234_001122AABBCC_0000004\r\n"));
        QCOMPARE(info.bagNo(), qint64(4));
        QVERIFY(logText().contains(
            QStringLiteral("BagNo 1 の名前は使用済み（オーダープールまたは履歴）のため 4 を使用")));
        QVERIFY(alerts.messages().isEmpty());
        // The history has the pooled order with its tab and count.
        const auto pooled = OrderHistory::lastRecordForArchive(four);
        QVERIFY(pooled);
        QCOMPARE(pooled->outcome, OrderHistoryRecord::Outcome::Pooled);
        QCOMPARE(pooled->tab, QStringLiteral("その他"));
        QCOMPARE(pooled->customerCode, QStringLiteral("1234"));
        QCOMPARE(pooled->fileCount, qint64(1));
        QCOMPARE(pooled->size, qint64(QFileInfo(poolPath(four)).size()));
    }

    // The cancel arrives right after the archive reached the pool: too late, the stage has
    // succeeded (usage report, return value, no alert) and the archive stays as it is.
    void cancelAfterTheMoveIsTooLate() {
        TestHome home;
        AlertRecorder alerts;
        HookGuard guard;
        baseSettings(QStringLiteral("AcAfterSend"));
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString file = home.filePath(QStringLiteral("d/f.jpg"));
        QVERIFY(kit::writeFile(file, 5000, 4));
        JobTestHook::set([](JobTestHook::Point point) {
            if (point == JobTestHook::Point::AfterPoolMove)
                NotificationCenter::defaultCenter().postNotification(kJobCancelNotification);
        });

        JobInfo info({file}, QString(), nullptr, nullptr);
        ZipJob job(info);
        QVERIFY(job.start());

        QVERIFY(job.isSucsess());
        QVERIFY(!job.isCancel());
        QCOMPARE(poolFiles(), QStringList{QStringLiteral("1234_001122AABBCC_0000001.zip")});
        QVERIFY(alerts.messages().isEmpty());
        QVERIFY(!logText().contains(QStringLiteral("処理がキャンセルされた")));
    }

    // The whole job: a cancel right after the move still steps the bag number, so the next order
    // gets a name of its own and the first archive is never replaced.
    void lateCancelStillStepsTheBagNumber() {
        TestHome home;
        AlertRecorder alerts;
        HookGuard guard;
        baseSettings(QStringLiteral("AcAfterSend"));
        UserDef::setObject(QStringLiteral("BtSend"), QStringLiteral("ExecuteBt"));
        const QString first = home.filePath(QStringLiteral("d/first.jpg"));
        const QString second = home.filePath(QStringLiteral("d/second.jpg"));
        QVERIFY(kit::writeFile(first, 5000, 8));
        QVERIFY(kit::writeFile(second, 6000, 9));
        JobTestHook::set([](JobTestHook::Point point) {
            if (point == JobTestHook::Point::AfterPoolMove)
                NotificationCenter::defaultCenter().postNotification(kJobCancelNotification);
        });
        DirectActions actions;
        JobThreadRunner runner(actions);

        QVERIFY(runner.jobThread({OrderTab::Etc, {first}, QString(), nullptr, nullptr, false}));
        QCOMPARE(UserDef::integerForKey(QStringLiteral("BagNo")), qint64(1));
        QVERIFY(actions.calls().contains(QStringLiteral("selectFilesAndOrderMemoClear")));
        JobTestHook::set({});
        QVERIFY(runner.jobThread({OrderTab::Etc, {second}, QString(), nullptr, nullptr, false}));

        const QString one = QStringLiteral("1234_001122AABBCC_0000001.zip");
        const QString two = QStringLiteral("1234_001122AABBCC_0000002.zip");
        QCOMPARE(poolFiles(), (QStringList{one, two}));
        QCOMPARE(kit::zipEntries(poolPath(one)).value(1), first.mid(1));
        QCOMPARE(kit::zipEntries(poolPath(two)).value(1), second.mid(1));
        QVERIFY(alerts.messages().isEmpty());
    }

    // ".zip" is added only when the chosen name lacks it.
    void savePathGetsZipOnlyWhenMissing() {
        QCOMPARE(ZipJob::orderSaveFinalPath(QStringLiteral("/m/order")),
                 QStringLiteral("/m/order.zip"));
        QCOMPARE(ZipJob::orderSaveFinalPath(QStringLiteral("/m/order.zip")),
                 QStringLiteral("/m/order.zip"));
        QCOMPARE(ZipJob::orderSaveFinalPath(QStringLiteral("/m/ORDER.ZIP")),
                 QStringLiteral("/m/ORDER.ZIP"));
        QCOMPARE(ZipJob::orderSaveFinalPath(QStringLiteral("/m/order.zip.txt")),
                 QStringLiteral("/m/order.zip.txt.zip"));
    }

    // A file at the save path is replaced only after the user confirmed that exact name; a "no"
    // keeps it and fails the stage, with the new archive kept in the work area.
    void savePathReplacedOnlyWhenConfirmed_data() {
        QTest::addColumn<int>("how"); // 0: asked, no; 1: asked, yes; 2: confirmed beforehand
        QTest::newRow("declined") << 0;
        QTest::newRow("confirmed at the question") << 1;
        QTest::newRow("confirmed in the save panel") << 2;
    }
    void savePathReplacedOnlyWhenConfirmed() {
        QFETCH(int, how);
        TestHome home;
        AlertRecorder alerts;
        baseSettings(QStringLiteral("AcSave"));
        const QString chosen = home.filePath(QStringLiteral("Desktop/for the lab"));
        const QString finalPath = chosen + QStringLiteral(".zip");
        QVERIFY(kit::writeText(finalPath, "the order saved yesterday"));
        UserDef::setObject(chosen, QStringLiteral("OrderSavePath"));
        if (how == 2)
            UserDef::setObject(finalPath, QStringLiteral("OrderSaveReplacePath"));
        if (how == 0)
            alerts.enqueueNg();
        if (how == 1)
            alerts.enqueueOk();
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString file = home.filePath(QStringLiteral("d/f.jpg"));
        QVERIFY(kit::writeFile(file, 5000, 5));

        JobInfo info({file}, QString(), nullptr, nullptr);
        ZipJob job(info);
        const bool ok = job.start();

        QVERIFY(poolFiles().isEmpty());
        QVERIFY(!UserDef::objectForKey(QStringLiteral("OrderSaveReplacePath")).isValid());
        if (how == 2) {
            QVERIFY(ok);
            QVERIFY(alerts.messages().isEmpty());
        } else {
            QCOMPARE(alerts.requests().first().kind, AlertRequest::Kind::OkNg);
            QCOMPARE(alerts.requests().first().message,
                     QStringLiteral("同じ名前のファイルがあります"));
            QCOMPARE(alerts.requests().first().information,
                     QStringLiteral("「%1」は既にあります。\n置き換えますか？").arg(finalPath));
            QCOMPARE(ok, how == 1);
        }
        if (ok) {
            QCOMPARE(kit::zipEntries(finalPath).value(0), QStringLiteral("PrintReport4.txt"));
            QVERIFY(!QFileInfo::exists(info.zipFilePath()));
            QCOMPARE(OrderHistory::lastRecordForArchive(QFileInfo(finalPath).fileName())->outcome,
                     OrderHistoryRecord::Outcome::Saved);
        } else {
            QCOMPARE(kit::readAll(finalPath), QByteArray("the order saved yesterday"));
            QCOMPARE(alerts.last().message, QStringLiteral("エラーが発生しました"));
            QVERIFY(alerts.last().information.contains(finalPath));
            QCOMPARE(kit::zipEntries(info.zipFilePath()).value(0),
                     QStringLiteral("PrintReport4.txt"));
            QVERIFY(OrderHistory::records().isEmpty());
        }
    }

    // The pool's file appears between the number's choice and the move (another program, a copy
    // by hand): the move refuses, both archives survive, the stage fails.
    void moveNeverReplacesAPooledArchive() {
        TestHome home;
        AlertRecorder alerts;
        baseSettings(QStringLiteral("AcAfterSend"));
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString file = home.filePath(QStringLiteral("d/f.jpg"));
        QVERIFY(kit::writeFile(file, 5000, 6));
        const QString name = QStringLiteral("1234_001122AABBCC_0000001.zip");
        RecordingProgress progress;
        // While the last file is packed the same name turns up in the pool.
        progress.onUpdate = [&](double) { kit::writeText(poolPath(name), "arrived meanwhile"); };

        JobInfo info({file}, QString(), nullptr, &progress);
        ZipJob job(info);
        QVERIFY(!job.start());

        QCOMPARE(kit::readAll(poolPath(name)), QByteArray("arrived meanwhile"));
        QCOMPARE(kit::zipEntries(info.zipFilePath()).value(0), QStringLiteral("PrintReport4.txt"));
        QCOMPARE(alerts.messages(), QStringList{QStringLiteral("エラーが発生しました")});
        QVERIFY(logText().contains(QStringLiteral("作成したファイルは作業フォルダに残す")));
    }

    // A customer code that is not digits (and a branch) never names an archive.
    void invalidCustomerCodeIsRefused_data() {
        QTest::addColumn<QString>("code");
        QTest::newRow("hash") << QStringLiteral("12#4");
        QTest::newRow("slash") << QStringLiteral("12/34");
        QTest::newRow("line feed") << QStringLiteral("1234\n");
        QTest::newRow("full-width digits") << QStringLiteral("１２３４");
    }
    void invalidCustomerCodeIsRefused() {
        QFETCH(QString, code);
        TestHome home;
        AlertRecorder alerts;
        baseSettings(QStringLiteral("AcAfterSend"));
        UserDef::setObject(code, QStringLiteral("CustomerCode"));
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString file = home.filePath(QStringLiteral("d/f.jpg"));
        QVERIFY(kit::writeFile(file, 5000, 7));

        JobInfo info({file}, QString(), nullptr, nullptr);
        ZipJob job(info);
        QVERIFY(!job.start());

        QVERIFY(poolFiles().isEmpty());
        QVERIFY(QDir(WorkFolder::workFolderPath()).entryList({QStringLiteral("*.zip")}).isEmpty());
        QCOMPARE(alerts.messages(), QStringList{QStringLiteral("お客様コードが正しくありません")});
        QVERIFY(alerts.last().information.contains(code));
        QVERIFY(logText().contains(QStringLiteral("お客様コードが正しくない")));
    }

    // Whatever the stored MAC address looks like, the archive gets a name the send stage takes.
    void archiveNameAlwaysHasTheSendableForm_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("name");
        QTest::newRow("as stored")
            << QStringLiteral("001122AABBCC") << QStringLiteral("1234_001122AABBCC_0000001");
        QTest::newRow("colons, lower case")
            << QStringLiteral("00:11:22:aa:bb:cc") << QStringLiteral("1234_001122AABBCC_0000001");
        QTest::newRow("damaged") << QStringLiteral("00#122AABBCC")
                                 << QStringLiteral("1234_000000000000_0000001");
    }
    void archiveNameAlwaysHasTheSendableForm() {
        QFETCH(QString, stored);
        QFETCH(QString, name);
        TestHome home;
        baseSettings(QStringLiteral("AcAfterSend"));
        UserDef::setObject(stored, QStringLiteral("MacAddr"));
        UserDef::setObject(QStringLiteral("1234-7"), QStringLiteral("CustomerCode"));
        JobInfo info({}, QString(), nullptr, nullptr);
        QCOMPARE(info.zipName(), name);
        QVERIFY(SendJob::isOrderArchiveName(info.zipName() + QStringLiteral(".zip")));
    }

    void customerCodeRule() {
        QVERIFY(orbel::isValidCustomerCode(QStringLiteral("1234")));
        // "0000" only stands in for a missing code in archive names; it names no customer.
        QVERIFY(!orbel::isValidCustomerCode(QStringLiteral("0000")));
        QVERIFY(orbel::isValidCustomerCode(QStringLiteral("1234-2")));
        QVERIFY(orbel::isValidCustomerCode(QStringLiteral("1234-B1")));
        QVERIFY(!orbel::isValidCustomerCode(QString()));
        QVERIFY(!orbel::isValidCustomerCode(QStringLiteral("-2")));
        QVERIFY(!orbel::isValidCustomerCode(QStringLiteral("1234-")));
        QVERIFY(!orbel::isValidCustomerCode(QStringLiteral("1234-2-3")));
        QVERIFY(!orbel::isValidCustomerCode(QStringLiteral("12 34")));
        QVERIFY(!orbel::isValidCustomerCode(QStringLiteral("1234%")));
        QVERIFY(!orbel::isValidCustomerCode(QStringLiteral("1234\n")));
    }
};

QTEST_GUILESS_MAIN(TestZipJobOutcome)
#include "tst_ZipJobOutcome.moc"
