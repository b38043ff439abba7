#include "../job/PipelineTestKit.h"
#include "TestHome.h"
#include "job/JobInfo.h"
#include "report/TabReports.h"
#include "settings/UserDef.h"
#include "util/MiravellPath.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QtTest>

namespace {

const QByteArray kCrLf = "\r\n";

void standardSettings() {
    UserDef::setObject(QStringLiteral("1234-01"), QStringLiteral("CustomerCode"));
    UserDef::setObject(QStringLiteral("studio@example.jp"), QStringLiteral("CustomerEmail"));
    UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
    UserDef::setObject(qint64(41), QStringLiteral("BagNo"));
    UserDef::setObject(QStringLiteral("その他"), QStringLiteral("MainTabLabel"));
}

QStringList headLines(const JobInfo& info) {
    return info.reportHead().split(QStringLiteral("\r\n"));
}

} // namespace

class TestOrderReport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void etcReportMatchesTheLabFormatByteForByte();
    void headStartsWithTheOrderIdentity();
    void headWithoutWorkAppGoesStraightToTheSeparator();
    void headNamesTheFotoFusionWork();
    void standardCustomerWithOnlyANameGetsOneOption();
    void weddingCustomerOptionsInOrder();
    void singleLineValuesCannotStartNewKeys();
    void printKineloOptionNamesBothFiles();
    void unitOptionBuilderRules();
    void unitOptionShortForms();
    void reportWithoutTabIsEmpty();
    void guardedOperationsStayInsideTheirAreas();
};

void TestOrderReport::etcReportMatchesTheLabFormatByteForByte() {
    TestHome home;
    standardSettings();
    UserDef::setOrderInfoDic({{QStringLiteral("OrderInfoDate"), QStringLiteral("2024/05/01")},
                              {QStringLiteral("OrderInfoName"), QStringLiteral("髙橋様")},
                              {QStringLiteral("OrderInfoNo"), QStringLiteral("A-12")}});
    // A wave dash, a line break and a character Shift_JIS has no code for.
    UserDef::setEtcDic({{QStringLiteral("EtcOrderMemoKey"),
                         QStringLiteral("至急①でお願いします\n2行目\u301Cです\U0001F600")}});
    const QStringList files{home.filePath(QStringLiteral("etc/写真1.jpg")),
                            home.filePath(QStringLiteral("etc/sub/menu.pdf")),
                            home.filePath(QStringLiteral("etc/readme.txt"))};
    QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("out"))));
    JobInfo info(files, home.filePath(QStringLiteral("etc")), nullptr, nullptr);
    QVERIFY(info.createPrintReportFile(home.filePath(QStringLiteral("out"))));
    const QByteArray actual = kit::readAll(home.filePath(QStringLiteral("out/PrintReport4.txt")));

    const QByteArray expectedFile = kit::readAll(
        QStringLiteral(HALVIX_SOURCE_DIR "/tests/report/data/etc_report_expected.txt"));
    QVERIFY(!expectedFile.isEmpty());
    // The few values that depend on the moment and the machine are filled in line by line (CR and
    // LF never occur inside a Shift_JIS character).
    const QList<QPair<QByteArray, QString>> fills{{"@DATE@", info.dateStr()},
                                                  {"@TIME@", info.timeStr()},
                                                  {"@VERSION@", Tool::applicationVersion()},
                                                  {"@OS@", Tool::operatingSystemVersionString()},
                                                  {"@CPU@", Tool::processorType()},
                                                  {"@MEMORY@", Tool::primaryMemory()},
                                                  {"@HOME@", home.path()}};
    QList<QByteArray> expectedLines = expectedFile.split('\n');
    for (QByteArray& line : expectedLines) {
        for (const auto& [mark, value] : fills) {
            if (line.contains(mark)) {
                line.replace(mark, Tool::encodeText(value, TextEncoding::ShiftJis));
            }
        }
    }
    const QByteArray expected = expectedLines.join('\n');
    const QList<QByteArray> actualLines = actual.split('\n');
    QCOMPARE(actualLines.size(), expectedLines.size());
    for (qsizetype i = 0; i < actualLines.size(); ++i) {
        QCOMPARE(actualLines[i], expectedLines[i]);
    }
    QCOMPARE(actual, expected);
}

void TestOrderReport::headStartsWithTheOrderIdentity() {
    TestHome home;
    standardSettings();
    JobInfo info({}, QString(), nullptr, nullptr);
    const QStringList lines = headLines(info);
    QCOMPARE(lines.mid(0, 3), (QStringList{QStringLiteral("CUSTOMER_NUMBER=1234-01"),
                                           QStringLiteral("LAB_ORDER_ID=0000042"),
                                           QStringLiteral("CUSTOMER_EMAIL=studio@example.jp")}));
    QCOMPARE(lines[3], QStringLiteral("CURRENT_DATE=") + info.dateStr());
    QCOMPARE(lines[4], QStringLiteral("CURRENT_TIME=") + info.timeStr());
    QCOMPARE(lines[5], QStringLiteral("CUSTOMER_ORDER_ID=1234_001122AABBCC_0000042"));
    QCOMPARE(lines[6], QStringLiteral("ORDER_TYPE=その他"));
    QCOMPARE(lines[7], QStringLiteral("PRG_VER=HALVIX 2:Ver") + Tool::applicationVersion());
    QCOMPARE(info.sysInfo().count(QStringLiteral("\r\n")), 4);
    QVERIFY(info.sysInfo().startsWith(QStringLiteral("PRG_VER=")));
    QVERIFY(info.reportHead().endsWith(QStringLiteral("\r\n")));
}

void TestOrderReport::headWithoutWorkAppGoesStraightToTheSeparator() {
    TestHome home;
    standardSettings();
    const QStringList lines = headLines(JobInfo({}, QString(), nullptr, nullptr));
    QVERIFY(lines[10].startsWith(QStringLiteral("PRIMARY_MEMORY=")));
    QCOMPARE(lines[11], QStringLiteral("---------------------------------------"));
    QCOMPARE(lines[12], QStringLiteral("---------------------------------------"));
    QCOMPARE(lines[13], QString()); // no order options: the head ends here
    QCOMPARE(lines.size(), 14);
}

void TestOrderReport::headNamesTheFotoFusionWork() {
    TestHome home;
    standardSettings();
    UserDef::setObject(QStringLiteral("FF"), QStringLiteral("WorkApp"));
    const QStringList lines = headLines(JobInfo({}, QString(), nullptr, nullptr));
    QCOMPARE(lines[11], QStringLiteral("WORK_APP=FF"));
    QCOMPARE(lines[12], QStringLiteral("---------------------------------------"));
}

void TestOrderReport::standardCustomerWithOnlyANameGetsOneOption() {
    TestHome home;
    standardSettings();
    UserDef::setOrderInfoDic({{QStringLiteral("OrderInfoName"), QStringLiteral("山田")}});
    const JobInfo info({}, QString(), nullptr, nullptr);
    QCOMPARE(info.orderOptions(),
             QStringLiteral("ORDER_OPTION_INDEX=1\r\nORDER_OPTION_LABEL=貴社お客様名など\r\n"
                            "ORDER_OPTION_ID=spec_NAME\r\nORDER_OPTION_TEXT=山田\r\n"
                            "ORDER_OPTION_QUANTITY=1\r\n"));
}

void TestOrderReport::weddingCustomerOptionsInOrder() {
    TestHome home;
    standardSettings();
    UserDef::setObject(QStringLiteral("9103"), QStringLiteral("CustomerCode"));
    UserDef::setOrderInfoDic({{QStringLiteral("OrderInfoSystemNo"), QStringLiteral("S-1")},
                              {QStringLiteral("OrderInfoBrideAndGroom"),
                               QStringLiteral("新郎 太郎\r\n新婦 花子\u2028様")},
                              {QStringLiteral("OrderInfoSalon"), QStringLiteral("銀座")},
                              // Standard keys do not count for the wedding group.
                              {QStringLiteral("OrderInfoName"), QStringLiteral("無視")}});
    const QString options = JobInfo({}, QString(), nullptr, nullptr).orderOptions();
    QCOMPARE(options, QStringLiteral("ORDER_OPTION_INDEX=1\r\nORDER_OPTION_LABEL=システムNo.\r\n"
                                     "ORDER_OPTION_ID=spec_NUMBER\r\nORDER_OPTION_TEXT=S-1\r\n"
                                     "ORDER_OPTION_QUANTITY=1\r\n"
                                     "ORDER_OPTION_INDEX=2\r\nORDER_OPTION_LABEL=新郎・新婦名\r\n"
                                     "ORDER_OPTION_ID=spec_NAME\r\n"
                                     "ORDER_OPTION_TEXT=新郎 太郎<br>新婦 花子<br>様\r\n"
                                     "ORDER_OPTION_QUANTITY=1\r\n"
                                     "ORDER_OPTION_INDEX=3\r\nORDER_OPTION_LABEL=サロン名\r\n"
                                     "ORDER_OPTION_ID=9999,9999,11\r\nORDER_OPTION_TEXT=銀座\r\n"
                                     "ORDER_OPTION_QUANTITY=1\r\n"));
}

void TestOrderReport::singleLineValuesCannotStartNewKeys() {
    TestHome home;
    standardSettings();
    UserDef::setObject(QStringLiteral("a@b.jp\nUNIT_QUANTITY=99"), QStringLiteral("CustomerEmail"));
    UserDef::setOrderInfoDic({{QStringLiteral("OrderInfoNo"), QStringLiteral("1\r\n2")}});
    const QStringList lines = headLines(JobInfo({}, QString(), nullptr, nullptr));
    QCOMPARE(lines[2], QStringLiteral("CUSTOMER_EMAIL=a@b.jp UNIT_QUANTITY=99"));
    QVERIFY(lines.contains(QStringLiteral("ORDER_OPTION_TEXT=1 2")));
}

void TestOrderReport::printKineloOptionNamesBothFiles() {
    TestHome home;
    standardSettings();
    UserDef::setObject(QStringLiteral("プリント"), QStringLiteral("MainTabLabel"));
    UserDef::setOrderInfoDic({{QStringLiteral("OrderInfoDate"), QStringLiteral("2024/01/02")}});
    UserDef::setPrintKineloMovFilePath(QStringLiteral("/v/movie.mov"),
                                       QStringLiteral("/p/pic.jpg"));
    // Without catalogues the option carries no code but is still written, numbered after the date.
    const QString options = JobInfo({}, QString(), nullptr, nullptr).orderOptions();
    QVERIFY(options.contains(QStringLiteral("ORDER_OPTION_INDEX=2\r\n"
                                            "ORDER_OPTION_LABEL=キネロのお申し込み\r\n"
                                            "ORDER_OPTION_ID=\r\n"
                                            "ORDER_OPTION_TEXT=movie.mov,pic.jpg\r\n")));
}

void TestOrderReport::unitOptionBuilderRules() {
    QCOMPARE(JobInfo::unitOptionWithOptIndex(1, QStringLiteral("ページ数"), QStringLiteral("30"),
                                             QStringLiteral("1,2,3"), QString(), 2),
             QStringLiteral("UNIT_OPTION_INDEX=1\r\nUNIT_OPTION_LABEL=ページ数 30\r\n"
                            "UNIT_OPTION_ID=1,2,3\r\nUNIT_OPTION_TEXT=\r\nUNIT_QUANTITY=2\r\n"));
    QCOMPARE(JobInfo::unitOptionWithOptIndex(1, QStringLiteral("ページ数"), QStringLiteral("-"),
                                             QStringLiteral("x"), QStringLiteral("text"), 1),
             QString());
    QCOMPARE(JobInfo::unitOptionWithOptIndex(1, QStringLiteral("ページ数"), QStringLiteral("0"),
                                             QStringLiteral("x"), QStringLiteral("text"), 1),
             QString());
    QCOMPARE(JobInfo::unitOptionWithOptIndex(1, QStringLiteral("ページ数"), QString(),
                                             QStringLiteral("x"), QString(), 1),
             QString());
    // Label alone when there is no label data; label data alone when there is no label.
    QVERIFY(JobInfo::unitOptionWithOptIndex(4, QStringLiteral("メモ"), QString(),
                                            QStringLiteral("x"), QStringLiteral("t"), 1)
                .contains(QStringLiteral("UNIT_OPTION_LABEL=メモ\r\n")));
    QVERIFY(JobInfo::unitOptionWithOptIndex(4, QString(), QStringLiteral("マット"),
                                            QStringLiteral("x"), QString(), 1)
                .contains(QStringLiteral("UNIT_OPTION_LABEL=マット\r\n")));
    QCOMPARE(JobInfo::makeOrderOptionStrFromOptIndex(7, QStringLiteral("L"), QStringLiteral("I"),
                                                     QStringLiteral("T")),
             QStringLiteral("ORDER_OPTION_INDEX=7\r\nORDER_OPTION_LABEL=L\r\nORDER_OPTION_ID=I\r\n"
                            "ORDER_OPTION_TEXT=T\r\nORDER_OPTION_QUANTITY=1\r\n"));
}

void TestOrderReport::unitOptionShortForms() {
    const auto block = [](const QString& label, const QString& id, const QString& text, int qty) {
        return QStringLiteral("UNIT_OPTION_INDEX=3\r\nUNIT_OPTION_LABEL=%1\r\nUNIT_OPTION_ID=%2\r\n"
                              "UNIT_OPTION_TEXT=%3\r\nUNIT_QUANTITY=%4\r\n")
            .arg(label, id, text)
            .arg(qty);
    };
    const QString l = QStringLiteral("箔押し");
    const QString d = QStringLiteral("金");
    const QString id = QStringLiteral("11,22,33");
    const QString none = QStringLiteral("9999,9999,11");
    QCOMPARE(JobInfo::unitOptionWithOptIndex(3, l, d, id), block(l + u' ' + d, id, {}, 1));
    QCOMPARE(JobInfo::unitOptionWithOptIndex(3, l, d, id, qint64(5)),
             block(l + u' ' + d, id, {}, 5));
    QCOMPARE(JobInfo::unitOptionWithOptIndexOptLabelData(3, d, id, qint64(6)), block(d, id, {}, 6));
    QCOMPARE(JobInfo::unitOptionWithOptIndexOptLabelData(3, d, id), block(d, id, {}, 1));
    QCOMPARE(JobInfo::unitOptionWithOptIndexOptLabelData(3, d), block(d, none, {}, 1));
    QCOMPARE(JobInfo::unitOptionWithOptIndexOptText(3, l, QStringLiteral("名入れ")),
             block(l, none, QStringLiteral("名入れ"), 1));
    QCOMPARE(JobInfo::unitOptionWithOptIndexOptLabelData(3, QStringLiteral("-")), QString());
    QCOMPARE(JobInfo::unitOptionWithOptIndexOptText(3, l, QString()), QString());
}

void TestOrderReport::reportWithoutTabIsEmpty() {
    TestHome home;
    standardSettings();
    UserDef::removeObjectForKey(QStringLiteral("MainTabLabel"));
    QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("out"))));
    const JobInfo info({}, QString(), nullptr, nullptr);
    QCOMPARE(info.printReport(), QString());
    // A record keeps the tab it was made for; a later tab switch does not change its report.
    UserDef::setObject(QStringLiteral("その他"), QStringLiteral("MainTabLabel"));
    QCOMPARE(info.printReport(), QString());
    const JobInfo etc({}, QString(), nullptr, nullptr);
    QCOMPARE(etc.printReport(), printReportEtcTab(etc));
    QVERIFY(etc.printReport().startsWith(etc.reportHead()));
}

void TestOrderReport::guardedOperationsStayInsideTheirAreas() {
    TestHome home;
    QVERIFY(WorkFolder::checkWorkFolder());
    const QString area = home.filePath(QStringLiteral("MVL_WorkArea"));
    QVERIFY(orbel::isInMiravellWorkFolder(QStringLiteral("~/MVL_WorkArea/x")));
    QVERIFY(orbel::isInMiravellWorkFolder(area));
    QVERIFY(!orbel::isInMiravellWorkFolder(home.filePath(QStringLiteral("MVL_WorkAreaOld/x"))));
    QVERIFY(!orbel::isInMiravellWorkFolder(area + QStringLiteral("/../Pictures")));
    QVERIFY(!orbel::isInMiravellWorkFolder(QString()));

    const QString outside = home.filePath(QStringLiteral("Pictures/keep.jpg"));
    QVERIFY(kit::writeText(outside, "precious"));
    QVERIFY(!orbel::limitDeleteFileOrFolder(area + QStringLiteral("/../Pictures/keep.jpg")));
    QVERIFY(!orbel::limitMoveTrashFileOrFolder(outside));
    QVERIFY(!orbel::limitZipDeleteFileOrFolder(outside));
    QVERIFY(!orbel::limitFotoFusionDeleteFileOrFolder(outside));
    QVERIFY(QFileInfo::exists(outside));

    QVERIFY(orbel::limitCreateFolder(area + QStringLiteral("/made")));
    QVERIFY(kit::writeText(area + QStringLiteral("/made/f"), "x"));
    QVERIFY(orbel::limitMoveTrashFileOrFolder(QStringLiteral("~/MVL_WorkArea/made")));
    QVERIFY(!QFileInfo::exists(area + QStringLiteral("/made")));
    QVERIFY(!orbel::limitCreateFolder(home.filePath(QStringLiteral("elsewhere"))));
    QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("elsewhere"))));

    const QString staging = home.filePath(QStringLiteral("_MivelZipW_"));
    QVERIFY(orbel::limitZipCreateFolder(staging));
    QVERIFY(!orbel::limitCreateFolder(staging + QStringLiteral("/sub"))); // not the work area
    QVERIFY(orbel::isInMiravellZipWorkFolder(staging + QStringLiteral("/a/b")));
    QVERIFY(orbel::limitZipDeleteFileOrFolder(staging));
    QVERIFY(!QFileInfo::exists(staging));

    const QString documents = home.filePath(QStringLiteral("Documents/HALVIX 2/job"));
    QVERIFY(kit::writeText(documents + QStringLiteral("/f"), "x"));
    QVERIFY(orbel::isInFotoFusionWorkFolder(documents));
    QVERIFY(!orbel::isInFotoFusionWorkFolder(home.filePath(QStringLiteral("Documents/HALVIX 20"))));
    QVERIFY(orbel::limitFotoFusionDeleteFileOrFolder(documents));
    QVERIFY(!QFileInfo::exists(documents));
}

QTEST_GUILESS_MAIN(TestOrderReport)
#include "tst_OrderReport.moc"
