#include "AlertRecorder.h"
#include "TestHome.h"
#include "job/JobThread.h"
#include "job/NotificationCenter.h"

#include <QEventLoop>
#include <QThread>
#include <QtTest>
#include <thread>

class TestJobThread : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cancelButtonAsksFirst();
    void mainThreadCallsRunThereAndWait();
};

void TestJobThread::cancelButtonAsksFirst() {
    TestHome home;
    AlertRecorder alerts;
    bool cancelled = false;
    NotificationCenter& center = NotificationCenter::defaultCenter();
    const NotificationCenter::Token token =
        center.addObserver(kJobCancelNotification, [&](const QVariant&) { cancelled = true; });
    alerts.enqueueNg();
    JobThreadRunner::cancelBtJob();
    QVERIFY(!cancelled);
    QCOMPARE(alerts.last().message, QStringLiteral("処理を中止してよろしいですか？"));
    QCOMPARE(alerts.last().information,
             QStringLiteral("キャンセルボタンが押されました。\n処理を中止してよろしいですか？"));
    QCOMPARE(alerts.last().okTitle, QStringLiteral("はい"));
    QCOMPARE(alerts.last().ngTitle, QStringLiteral("いいえ"));
    alerts.enqueueOk();
    JobThreadRunner::cancelBtJob();
    QVERIFY(cancelled);
    center.removeObserver(token);
}

void TestJobThread::mainThreadCallsRunThereAndWait() {
    QObject context;
    QThread* mainThread = QThread::currentThread();
    QThread* ranOn = nullptr;
    bool returnedAfterRun = false;
    QEventLoop loop;
    std::thread worker([&] {
        JobThreadRunner::performOnThreadOf(&context, [&] { ranOn = QThread::currentThread(); });
        returnedAfterRun = ranOn != nullptr; // the call came back only after the work was done
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    QCOMPARE(ranOn, mainThread);
    QVERIFY(returnedAfterRun);

    // Already on the main thread: run directly.
    bool direct = false;
    JobThreadRunner::performOnThreadOf(&context, [&] { direct = true; });
    QVERIFY(direct);
}

QTEST_GUILESS_MAIN(TestJobThread)
#include "tst_JobThread.moc"
