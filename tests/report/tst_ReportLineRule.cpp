// Every writer of the order report keeps a value on its own line: a file name, path, memo-less
// value or option text that holds a line break cannot forge a KEY=value line of its own.
#include "TestHome.h"
#include "job/JobInfo.h"
#include "report/TabReports.h"
#include "settings/UserDef.h"

#include <QtTest>

namespace {

// The report's lines that begin with key.
QStringList linesWith(const QString& report, const QString& key) {
    QStringList found;
    for (const QString& line : report.split(QStringLiteral("\r\n"))) {
        if (line.startsWith(key))
            found.append(line);
    }
    return found;
}

} // namespace

class TestReportLineRule : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void etcFileNamesCannotForgeLines_data() {
        QTest::addColumn<QString>("breakText");
        QTest::newRow("LF") << QStringLiteral("\n");
        QTest::newRow("CR LF") << QStringLiteral("\r\n");
        QTest::newRow("CR") << QStringLiteral("\r");
        QTest::newRow("line separator") << QStringLiteral("\u2028");
        QTest::newRow("paragraph separator") << QStringLiteral("\u2029");
    }
    void etcFileNamesCannotForgeLines() {
        QFETCH(QString, breakText);
        TestHome home;
        UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
        UserDef::setObject(QStringLiteral("その他"), QStringLiteral("MainTabLabel"));
        UserDef::setEtcDic({{QStringLiteral("EtcOrderMemoKey"), QStringLiteral("memo")}});
        const QString folder = home.filePath(QStringLiteral("etc") + breakText +
                                             QStringLiteral("CUSTOMER_NUMBER=9999"));
        const QString file =
            folder + QStringLiteral("/a") + breakText + QStringLiteral("UNIT_QUANTITY=99.jpg");
        JobInfo info({file}, folder, nullptr, nullptr);

        const QString report = info.printReport();

        QCOMPARE(
            linesWith(report, QStringLiteral("UNIT_QUANTITY=")),
            (QStringList{QStringLiteral("UNIT_QUANTITY=1"), QStringLiteral("UNIT_QUANTITY=1")}));
        QCOMPARE(linesWith(report, QStringLiteral("CUSTOMER_NUMBER=")),
                 QStringList{QStringLiteral("CUSTOMER_NUMBER=1234")});
        QCOMPARE(linesWith(report, QStringLiteral("PRODUCT_IMAGE_FILE_NAME=")),
                 QStringList{QStringLiteral("PRODUCT_IMAGE_FILE_NAME=a UNIT_QUANTITY=99.jpg")});
        QCOMPARE(linesWith(report, QStringLiteral("ROES_OriginalFileName=")).size(), 1);
        // No bare CR or LF outside a CR LF pair.
        QString stripped = report;
        stripped.remove(QStringLiteral("\r\n"));
        QVERIFY(!stripped.contains(u'\r'));
        QVERIFY(!stripped.contains(u'\n'));
        QVERIFY(!stripped.contains(QChar(0x2028)));
        QVERIFY(!stripped.contains(QChar(0x2029)));
    }

    // The option blocks of the head and of a unit keep their values on one line too.
    void optionBlocksKeepValuesOnOneLine() {
        const QString order = JobInfo::makeOrderOptionStrFromOptIndex(
            1, QStringLiteral("撮影日\nORDER_OPTION_QUANTITY=9"), QStringLiteral("spec_DATE"),
            QStringLiteral("2024/05/01\rUNIT_INDEX=7"));
        QCOMPARE(order.count(QStringLiteral("\r\n")), 5);
        QCOMPARE(linesWith(order, QStringLiteral("ORDER_OPTION_QUANTITY=")),
                 QStringList{QStringLiteral("ORDER_OPTION_QUANTITY=1")});
        const QString unit = JobInfo::unitOptionWithOptIndexOptText(
            2, QStringLiteral("名入れ"), QStringLiteral("山田\u2029UNIT_QUANTITY=50"));
        QCOMPARE(unit.count(QStringLiteral("\r\n")), 5);
        QCOMPARE(linesWith(unit, QStringLiteral("UNIT_QUANTITY=")),
                 QStringList{QStringLiteral("UNIT_QUANTITY=1")});
    }
};

QTEST_GUILESS_MAIN(TestReportLineRule)
#include "tst_ReportLineRule.moc"
