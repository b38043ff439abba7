#include "job/SendJobProgressReader.h"

#include <QTest>

namespace {

// curl's meter as it writes it for a slowed-down upload (bar width 79: 72 columns of bar).
QByteArray meterLine(int hashes, const char* percent) {
    QByteArray line("\r");
    line += QByteArray(hashes, '#');
    line += QByteArray(72 - hashes, ' ');
    line += ' ';
    line += percent;
    return line;
}

QByteArray recordedMeter() {
    return meterLine(0, "  0.0%") + meterLine(7, " 10.9%") + meterLine(23, " 32.8%") +
           meterLine(47, " 65.5%") + meterLine(70, " 98.3%") + meterLine(72, "100.0%") + "\n";
}

QList<double> feedInPieces(const QByteArray& data, qsizetype cut1, qsizetype cut2) {
    SendJobProgressReader reader(1000.0);
    QList<double> seen;
    auto push = [&](const QByteArray& piece) {
        if (const auto value = reader.feed(piece))
            seen.append(*value);
    };
    push(data.left(cut1));
    push(data.mid(cut1, cut2 - cut1));
    push(data.mid(cut2));
    return seen;
}

} // namespace

class tst_SendJobProgressReader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // However the pipe splits the meter, the updates come out in order, none twice, and the last
    // one is the full size; a chunk holding several lines gives the latest of them.
    void readsMeterSplitAnywhere() {
        const QByteArray data = recordedMeter();
        const QList<double> expected{0.0, 10.9, 32.8, 65.5, 98.3, 100.0};
        for (qsizetype cut1 = 0; cut1 <= data.size(); cut1 += 7) {
            for (qsizetype cut2 = cut1; cut2 <= data.size(); cut2 += 13) {
                const QList<double> seen = feedInPieces(data, cut1, cut2);
                const QString where = QStringLiteral("cuts %1 %2").arg(cut1).arg(cut2);
                QVERIFY2(!seen.isEmpty() && seen.last() == 100.0, qPrintable(where));
                qsizetype next = 0;
                for (double value : seen) {
                    next = expected.indexOf(value, next);
                    QVERIFY2(next >= 0, qPrintable(where));
                    ++next;
                }
            }
        }
        // Line by line, every update is seen.
        SendJobProgressReader reader(1.0);
        QList<double> seen;
        for (const QByteArray& line : data.split('\r')) {
            if (const auto value = reader.feed('\r' + line))
                seen.append(*value);
        }
        QCOMPARE(seen, expected);
    }

    // Error texts and half lines are not progress; a comma decimal mark is.
    void ignoresWhatIsNotMeter() {
        SendJobProgressReader reader(100.0);
        QVERIFY(!reader.feed("curl: (7) Failed to connect to 127.0.0.1 port 9: 100%\n"));
        QVERIFY(!reader.feed("\r####      12"));
        QCOMPARE(reader.feed(",5%"), std::optional<double>(12.5));
        QVERIFY(!reader.feed("\r###   250.0%\n"));
        QCOMPARE(reader.percent(), 12.5);
        QVERIFY(!reader.feed(QByteArray(10000, '#')));
        QCOMPARE(reader.feed("\r# 13.0%"), std::optional<double>(13.0));
        QCOMPARE(reader.bytesSent(), 13.0);
    }
};

QTEST_GUILESS_MAIN(tst_SendJobProgressReader)
#include "tst_SendJobProgressReader.moc"
