#include "ui/WidgetProgressTarget.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QtTest>
#include <memory>
#include <thread>

class TestWidgetProgressTarget : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The job thread must never wait for the window: its calls return before the main thread
    // has handled any of them, and the widgets show the last state once it does.
    void jobThreadCallsAreQueuedInOrder() {
        QProgressBar bar;
        QLineEdit field;
        WidgetProgressTarget target(&bar, &field);
        std::thread job([&target] {
            target.indicatorIndeterminate();
            target.setJobMsg(QStringLiteral("1 / 3  送信中"));
            target.indicatorProgressWitMin(0.0, 4.147e9); // beyond int
            target.indicatorUpdate(2.0735e9);
            target.setJobMsg(QStringLiteral("2 / 3  送信中"));
        });
        job.join();
        QCOMPARE(field.text(), QString()); // nothing applied yet: all queued
        QTRY_COMPARE(field.text(), QStringLiteral("2 / 3  送信中"));
        QCOMPARE(bar.minimum(), 0);
        QCOMPARE(bar.maximum(), WidgetProgressTarget::kScale);
        QCOMPARE(bar.value(), WidgetProgressTarget::kScale / 2);
    }

    void mainThreadCallsActDirectly() {
        QProgressBar bar;
        QLineEdit field;
        WidgetProgressTarget target(&bar, &field);
        target.indicatorIndeterminate();
        QCOMPARE(bar.maximum(), 0);
        target.indicatorProgressWitMin(100.0, 200.0);
        target.indicatorUpdate(250.0); // past the end stays full
        QCOMPARE(bar.value(), WidgetProgressTarget::kScale);
        target.indicatorUpdate(50.0);
        QCOMPARE(bar.value(), 0);
        target.setJobMsg(QStringLiteral("ZIP作成中"));
        target.indicatorClear();
        target.jobMsgClear();
        QCOMPARE(field.text(), QString());
        QCOMPARE(bar.value(), 0);
        QCOMPARE(bar.maximum(), WidgetProgressTarget::kScale);
    }

    // A bar that is gone when the queued update arrives is skipped; the rest still applies.
    void deletedBarIgnoresLateUpdates() {
        auto bar = std::make_unique<QProgressBar>();
        QLineEdit field;
        WidgetProgressTarget target(bar.get(), &field);
        std::thread job([&target] {
            target.indicatorProgressWitMin(0.0, 10.0);
            target.indicatorUpdate(5.0);
            target.setJobMsg(QStringLiteral("データを送信しました"));
        });
        job.join();
        bar.reset();
        QTRY_COMPARE(field.text(), QStringLiteral("データを送信しました"));
    }
};

QTEST_MAIN(TestWidgetProgressTarget)
#include "tst_WidgetProgressTarget.moc"
