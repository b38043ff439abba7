#include "TestHome.h"
#include "job/OrderHistory.h"
#include "util/WorkFolder.h"

#include <QFile>
#include <QtTest>
#include <thread>
#include <vector>

namespace {

OrderHistoryRecord record(const QString& name, OrderHistoryRecord::Outcome outcome) {
    OrderHistoryRecord r;
    r.dateTime = QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30));
    r.archiveName = name;
    r.tab = QStringLiteral("プリント");
    r.customerCode = QStringLiteral("1234");
    r.fileCount = 21;
    r.size = 123456789;
    r.outcome = outcome;
    return r;
}

bool appendRaw(const QByteArray& bytes) {
    QFile file(OrderHistory::historyFilePath());
    return file.open(QIODevice::Append) && file.write(bytes) == bytes.size();
}

} // namespace

class TestOrderHistory : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every outcome survives the round trip through the file, in order, one JSON object a line.
    void recordsRoundTrip() {
        TestHome home;
        QVERIFY(WorkFolder::checkWorkFolder());
        QVERIFY(OrderHistory::records().isEmpty());
        QList<OrderHistoryRecord> written;
        for (const auto outcome :
             {OrderHistoryRecord::Outcome::Pooled, OrderHistoryRecord::Outcome::Saved,
              OrderHistoryRecord::Outcome::Sent, OrderHistoryRecord::Outcome::Failed,
              OrderHistoryRecord::Outcome::DuplicateSkipped}) {
            OrderHistoryRecord r = record(QStringLiteral("1234_001122AABBCC_0000001.zip"), outcome);
            if (outcome == OrderHistoryRecord::Outcome::Failed) {
                r.errorCode = 67;
                r.errorText = QStringLiteral("(67)エラーが発生（サーバーへのログインエラー）");
            }
            QVERIFY(OrderHistory::append(r));
            written.append(r);
        }
        QCOMPARE(OrderHistory::records(), written);

        QFile file(OrderHistory::historyFilePath());
        // It names every customer's orders: the user's alone from its first line.
        QCOMPARE(file.permissions() &
                     (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
                 QFile::Permissions());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 6); // five records and the empty rest after the last line feed
        QVERIFY(lines.at(3).contains("\"outcome\":\"failed\""));
        QVERIFY(lines.at(3).contains("\"errorCode\":67"));
        QVERIFY(lines.at(4).contains("\"outcome\":\"duplicate\""));
        QCOMPARE(OrderHistory::lastRecordForArchive(QStringLiteral("1234_001122AABBCC_0000001.zip"))
                     ->outcome,
                 OrderHistoryRecord::Outcome::DuplicateSkipped);
        QVERIFY(!OrderHistory::lastRecordForArchive(QStringLiteral("other.zip")));
    }

    // A record torn by a crash and a foreign line are skipped; the records after them are kept.
    void damagedLinesAreSkipped() {
        TestHome home;
        QVERIFY(WorkFolder::checkWorkFolder());
        QVERIFY(OrderHistory::append(
            record(QStringLiteral("a.zip"), OrderHistoryRecord::Outcome::Pooled)));
        QVERIFY(appendRaw("{\"archive\":\"torn.zip\",\"outc"));
        QVERIFY(OrderHistory::append(
            record(QStringLiteral("b.zip"), OrderHistoryRecord::Outcome::Sent)));
        QVERIFY(appendRaw("[1,2,3]\n{\"archive\":\"c.zip\",\"outcome\":\"lost\"}\n"));
        QVERIFY(OrderHistory::append(
            record(QStringLiteral("d.zip"), OrderHistoryRecord::Outcome::Saved)));

        QStringList names;
        for (const OrderHistoryRecord& r : OrderHistory::records())
            names.append(r.archiveName);
        QCOMPARE(names, (QStringList{QStringLiteral("a.zip"), QStringLiteral("b.zip"),
                                     QStringLiteral("d.zip")}));
    }

    // Writers on several threads: every record arrives whole, none interleaved.
    void concurrentAppendsStayWhole() {
        TestHome home;
        QVERIFY(WorkFolder::checkWorkFolder());
        constexpr int kThreads = 4;
        constexpr int kEach = 50;
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([t] {
                for (int i = 0; i < kEach; ++i) {
                    OrderHistoryRecord r = record(QStringLiteral("t%1_%2.zip").arg(t).arg(i),
                                                  OrderHistoryRecord::Outcome::Sent);
                    r.errorText = QString(500, QChar(u'あ')); // long lines
                    OrderHistory::append(r);
                }
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        QCOMPARE(OrderHistory::records().size(), kThreads * kEach);
    }

    // Without a work area nothing is written and nothing breaks.
    void missingWorkAreaRefusesQuietly() {
        TestHome home;
        QVERIFY(!OrderHistory::append(
            record(QStringLiteral("a.zip"), OrderHistoryRecord::Outcome::Sent)));
        QVERIFY(OrderHistory::records().isEmpty());
    }

    // A pooled archive sent later inherits the tab and file count of its pooled record.
    void sendRecordInheritsTheOrdersDetails() {
        TestHome home;
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString name = QStringLiteral("5678_001122AABBCC_0000009.zip");
        QVERIFY(OrderHistory::append(record(name, OrderHistoryRecord::Outcome::Pooled)));
        const QString path = WorkFolder::orderZipPoolFolderPath() + u'/' + name;
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write("12345"), qint64(5));
        file.close();

        const OrderHistoryRecord sent = OrderHistory::recordForArchive(
            path, OrderHistoryRecord::Outcome::Failed, 901, QStringLiteral("x"));
        QCOMPARE(sent.archiveName, name);
        QCOMPARE(sent.customerCode, QStringLiteral("5678"));
        QCOMPARE(sent.tab, QStringLiteral("プリント"));
        QCOMPARE(sent.fileCount, qint64(21));
        QCOMPARE(sent.size, qint64(5));
        QCOMPARE(sent.errorCode, 901);
    }
};

QTEST_GUILESS_MAIN(TestOrderHistory)
#include "tst_OrderHistory.moc"
