#include "TestHome.h"
#include "service/OrderHistoryTable.h"
#include "util/WorkFolder.h"

#include <QFile>
#include <QtTest>

// The order history as a table: reading the JSON Lines file, newest first, the outcome filter.
class TestOrderHistoryTable : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsNewestFirstSkipsDamagedLinesAndFilters() {
        TestHome home;
        QVERIFY(WorkFolder::checkWorkFolder());
        QFile file(OrderHistoryTable::historyFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        // Records as the order job appends them; one damaged line, one without an archive name
        // and a half-written last line are skipped.
        file.write(
            "{\"dateTime\":\"2026-01-02T10:00:00\",\"tab\":\"プリント\",\"archive\":"
            "\"1234_A_0000001.zip\",\"customerCode\":\"1234\",\"fileCount\":3,\"size\":1500000,"
            "\"outcome\":\"sent\",\"errorCode\":0,\"errorText\":\"\"}\n"
            "not json at all\n"
            "{\"dateTime\":\"2026-01-03T09:00:00\",\"tab\":\"その他\",\"archive\":"
            "\"1234_A_0000002.zip\",\"fileCount\":2,\"size\":2048,\"outcome\":\"failed\","
            "\"errorCode\":67,\"errorText\":\"(67)エラーが発生（サーバーへのログインエラー）\"}\n"
            "{\"dateTime\":\"2026-01-03T09:00:00\",\"tab\":\"\",\"archive\":\"1234_A_0000003.zip\","
            "\"fileCount\":-1,\"size\":10,\"outcome\":\"pooled\"}\n"
            "{\"dateTime\":\"2026-01-05T09:00:00\",\"outcome\":\"sent\"}\n"
            "{\"dateTime\":\"2026-01-04T08:00:00\",\"tab\":\"リサイズ\",\"archive\":\"1234_A_"
            "0000004.zip\",");
        file.close();
        OrderHistoryTable table;
        QVERIFY(table.reload());
        QCOMPARE(table.recordCount(), 3);
        QCOMPARE(table.rowCount(), 3);
        QCOMPARE(table.columnCount(), int(OrderHistoryTable::ColumnCount));
        // Newest first; of two at the same second the later line first.
        QCOMPARE(table.rowAt(0).archive, QStringLiteral("1234_A_0000003.zip"));
        QCOMPARE(table.rowAt(1).archive, QStringLiteral("1234_A_0000002.zip"));
        QCOMPARE(table.rowAt(2).archive, QStringLiteral("1234_A_0000001.zip"));
        QCOMPARE(table.rowAt(1).files, 2);
        QCOMPARE(table.rowAt(1).size, 2048);
        QCOMPARE(table.rowAt(1).errorCode, 67);
        QCOMPARE(table.index(2, OrderHistoryTable::DateTime).data().toString(),
                 QStringLiteral("2026/01/02 10:00:00"));
        QCOMPARE(table.index(0, OrderHistoryTable::Files).data().toString(), QString()); // unknown
        QCOMPARE(table.index(2, OrderHistoryTable::Size).data().toString(),
                 QStringLiteral("1.5 MB"));
        QCOMPARE(table.index(1, OrderHistoryTable::Outcome).data().toString(),
                 QStringLiteral("失敗"));
        QCOMPARE(table.index(0, OrderHistoryTable::Outcome).data().toString(),
                 QStringLiteral("送信待ち"));
        QCOMPARE(table.index(1, OrderHistoryTable::Error).data().toString(),
                 QStringLiteral("(67)エラーが発生（サーバーへのログインエラー）"));

        table.setOutcomeFilter(QStringLiteral("failed"));
        QCOMPARE(table.rowCount(), 1);
        QCOMPARE(table.rowAt(0).archive, QStringLiteral("1234_A_0000002.zip"));
        table.setOutcomeFilter(QStringLiteral("saved"));
        QCOMPARE(table.rowCount(), 0);
        table.setOutcomeFilter(QString());
        QCOMPARE(table.rowCount(), 3);
    }

    // An order pooled and sent at once, and one that failed and was sent later from the pool: one
    // row each with its latest outcome, the earlier outcomes as its events.
    void showsEachOrderOnceWithItsLatestOutcome() {
        TestHome home;
        QVERIFY(WorkFolder::checkWorkFolder());
        QFile file(OrderHistoryTable::historyFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "{\"dateTime\":\"2026-02-01T10:00:00\",\"tab\":\"プリント\",\"archive\":\"A1.zip\","
            "\"fileCount\":3,\"size\":10,\"outcome\":\"pooled\"}\n"
            "{\"dateTime\":\"2026-02-01T10:00:00\",\"tab\":\"プリント\",\"archive\":\"A1.zip\","
            "\"fileCount\":3,\"size\":10,\"outcome\":\"sent\"}\n"
            "{\"dateTime\":\"2026-02-02T09:00:00\",\"tab\":\"その他\",\"archive\":\"A2.zip\","
            "\"outcome\":\"failed\",\"errorCode\":67,\"errorText\":\"ログインエラー\"}\n"
            "{\"dateTime\":\"2026-02-03T09:00:00\",\"tab\":\"その他\",\"archive\":\"A2.zip\","
            "\"outcome\":\"sent\"}\n"
            "{\"dateTime\":\"2026-02-04T09:00:00\",\"tab\":\"アルバム\",\"archive\":\"A3.zip\","
            "\"outcome\":\"pooled\"}\n");
        file.close();
        OrderHistoryTable table;
        QVERIFY(table.reload());
        QCOMPARE(table.recordCount(), 5);
        QCOMPARE(table.orderCount(), 3);
        QCOMPARE(table.rowCount(), 3);
        QCOMPARE(table.rowAt(0).archive, QStringLiteral("A3.zip"));
        QCOMPARE(table.rowAt(1).archive, QStringLiteral("A2.zip"));
        QCOMPARE(table.rowAt(2).archive, QStringLiteral("A1.zip"));
        QCOMPARE(table.index(2, OrderHistoryTable::Outcome).data().toString(),
                 QStringLiteral("送信済み"));
        QCOMPARE(table.index(1, OrderHistoryTable::Outcome).data().toString(),
                 QStringLiteral("送信済み"));
        const QList<OrderHistoryRow> events = table.eventsAt(1);
        QCOMPARE(events.size(), 2);
        QCOMPARE(events.at(0).outcome, QStringLiteral("failed"));
        QCOMPARE(events.at(0).error, QStringLiteral("ログインエラー"));
        QCOMPARE(events.at(1).outcome, QStringLiteral("sent"));
        QCOMPARE(table.eventsAt(2).size(), 2);
        // The filter asks for orders whose latest outcome it names: a sent order is not pending.
        table.setOutcomeFilter(QStringLiteral("pooled"));
        QCOMPARE(table.rowCount(), 1);
        QCOMPARE(table.rowAt(0).archive, QStringLiteral("A3.zip"));
        table.setOutcomeFilter(QStringLiteral("failed"));
        QCOMPARE(table.rowCount(), 0);
    }

    void missingFileIsAnEmptyHistory() {
        TestHome home;
        OrderHistoryTable table;
        QVERIFY(table.reload());
        QCOMPARE(table.rowCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestOrderHistoryTable)
#include "tst_OrderHistoryTable.moc"
