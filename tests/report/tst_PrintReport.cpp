#include "ReportExpect.h"
#include "TestHome.h"
#include "job/JobInfo.h"
#include "report/JobInfoPrintReport.h"
#include "report/TabReports.h"
#include "settings/UserDef.h"

#include <QtTest>
#include <optional>

namespace {

using reportexpect::bodyLines;
using reportexpect::shippedRecord;

QVariantMap printRecord(const char* table, int id) {
    const QVariantMap record =
        shippedRecord(QStringLiteral("tbl_print_new"), QString::fromLatin1(table), id);
    if (record.isEmpty()) {
        qWarning("shipped print catalogue lacks %s %d", table, id);
    }
    return record;
}

QVariantMap codeRecord(const QString& code) {
    return {{QStringLiteral("name"), QStringLiteral("名")}, {QStringLiteral("code"), code}};
}

// A print row whose size, surface and laminate records carry the given codes; an absent code
// leaves the record out.
QVariantMap rowWithCodes(const std::optional<QString>& size, const std::optional<QString>& surface,
                         const std::optional<QString>& laminate = std::nullopt) {
    QVariantMap row{{QStringLiteral("PrintFilePathKey"), QStringLiteral("/p/a.jpg")},
                    {QStringLiteral("PrintOrderNumKey"), QStringLiteral("1")}};
    if (size) {
        row.insert(QStringLiteral("PrintSizePopKey"), codeRecord(*size));
    }
    if (surface) {
        row.insert(QStringLiteral("PrintSurfacePopKey"), codeRecord(*surface));
    }
    if (laminate) {
        row.insert(QStringLiteral("PrintLaminatePopKey"), codeRecord(*laminate));
    }
    return row;
}

} // namespace

class TestPrintReport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void threeRowsWithMemosMatchByteForByte();
    void productCodeRules_data();
    void productCodeRules();
    void surfaceCodeEqualToTheProductCodeIsNotRepeated();
    void unitOptionsOnlyForTheRecordsTheRowHas();
    void characterOutsideShiftJisIsReplaced();
    void damagedRowsAreSkippedWithoutANumber();
};

void TestPrintReport::threeRowsWithMemosMatchByteForByte() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("プリント"));
    UserDef::setOrderInfoDic({{QStringLiteral("OrderInfoName"), QStringLiteral("山田様")}});
    const QString photo = home.filePath(QStringLiteral("order/写真A.jpg"));
    const QString group = home.filePath(QStringLiteral("order/sub/集合①.jpg"));
    const QVariantMap silver = printRecord("tb_print_list", 1);
    // Rows as the print tab hands them on: the first file twice (another size), memos typed on
    // two lines with LF and with CR LF.
    UserDef::setPrintOrderArray(
        {QVariantMap{
             {QStringLiteral("PrintFilePathKey"), photo},
             {QStringLiteral("PrintOrderNumKey"), QStringLiteral("2")},
             {QStringLiteral("PrintCateoryPopKey"), silver},
             {QStringLiteral("PrintSizePopKey"), printRecord("tb_print_size", 1)},
             {QStringLiteral("PrintSurfacePopKey"), printRecord("tb_print_surface", 1)},
             {QStringLiteral("PrintOrderMemoKey"), QStringLiteral("トリミング注意\n顔を中央に")}},
         QVariantMap{{QStringLiteral("PrintFilePathKey"), photo},
                     {QStringLiteral("PrintOrderNumKey"), QStringLiteral("1")},
                     {QStringLiteral("PrintCateoryPopKey"), silver},
                     {QStringLiteral("PrintSizePopKey"), printRecord("tb_print_size", 3)},
                     {QStringLiteral("PrintSurfacePopKey"), printRecord("tb_print_surface", 2)}},
         QVariantMap{
             {QStringLiteral("PrintFilePathKey"), group},
             {QStringLiteral("PrintOrderNumKey"), QStringLiteral("3")},
             {QStringLiteral("PrintCateoryPopKey"), printRecord("tb_print_list", 3)},
             {QStringLiteral("PrintSizePopKey"), printRecord("tb_print_size", 7)},
             {QStringLiteral("PrintSurfacePopKey"), printRecord("tb_print_surface", 7)},
             {QStringLiteral("PrintLaminatePopKey"), printRecord("tb_print_laminate", 2)},
             {QStringLiteral("PrintOrderMemoKey"), QStringLiteral("角を丸く\r\n裏に名前")}}});
    UserDef::setPrintDic({{QStringLiteral("PrintOrderMasterMemoKey"),
                           QStringLiteral("至急でお願いします\n2行目です")}});

    const JobInfo info({photo, photo, group}, home.filePath(QStringLiteral("order")), nullptr,
                       nullptr);
    reportexpect::compareBytes(
        reportexpect::writtenReport(home, info),
        reportexpect::expectedReport(QStringLiteral("print_three_rows.txt"), home, info));
}

void TestPrintReport::productCodeRules_data() {
    using Code = std::optional<QString>;
    QTest::addColumn<Code>("size");
    QTest::addColumn<Code>("surface");
    QTest::addColumn<Code>("laminate");
    QTest::addColumn<QString>("expected");
    const Code none;
    const auto c = [](const char* text) { return Code(QString::fromLatin1(text)); };
    QTest::newRow("full size code wins")
        << c("8814,1001,11") << c("8840,2001,11") << none << QStringLiteral("8814,1001,11");
    QTest::newRow("10 characters")
        << c("8814,10011") << c("11") << none << QStringLiteral("8814,10011");
    QTest::newRow("8 + 2") << c("8814,100") << c("11") << none << QStringLiteral("8814,100,11");
    QTest::newRow("4 + 7") << c("1234") << c("5678,11") << none << QStringLiteral("1234,5678,11");
    QTest::newRow("4 + 6") << c("1234") << c("567,11") << none << QStringLiteral("1234,567,11");
    QTest::newRow("empty size, full surface")
        << c("") << c("8814,1089,11") << none << QStringLiteral("8814,1089,11");
    QTest::newRow("no size, full surface")
        << none << c("8814,1089,11") << none << QStringLiteral("8814,1089,11");
    QTest::newRow("9 + 12") << c("8814,1001") << c("8840,2001,11") << none
                            << QStringLiteral("8840,2001,11");
    QTest::newRow("else the laminate")
        << c("88") << c("11") << c("8850,9001,11") << QStringLiteral("8850,9001,11");
    QTest::newRow("4 + 2 falls to the laminate") << c("1234") << c("11") << none << QString();
    QTest::newRow("nothing at all") << none << none << none << QString();
}

void TestPrintReport::productCodeRules() {
    QFETCH(std::optional<QString>, size);
    QFETCH(std::optional<QString>, surface);
    QFETCH(std::optional<QString>, laminate);
    QFETCH(QString, expected);
    QCOMPARE(printProductCode(rowWithCodes(size, surface, laminate)), expected);
}

void TestPrintReport::surfaceCodeEqualToTheProductCodeIsNotRepeated() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("プリント"));
    UserDef::setPrintOrderArray(
        {rowWithCodes(QString(), QStringLiteral("8814,1089,11"), QStringLiteral("8850,9002,11"))});
    const JobInfo info({QStringLiteral("/p/a.jpg")}, QString(), nullptr, nullptr);
    const QStringList body = bodyLines(printReportPrintTab(info));
    QCOMPARE(body.mid(0, 7), (QStringList{QStringLiteral("UNIT_INDEX=1"),
                                          QStringLiteral("UNIT_PRODUCT_DESCRIPTION= 1枚"),
                                          QStringLiteral("UNIT_PRODUCT_CODE=8814,1089,11"),
                                          QStringLiteral("UNIT_QUANTITY=1"),
                                          QStringLiteral("PRODUCT_IMAGE_FILE_NAME=a.jpg"),
                                          QStringLiteral("ROES_OriginalFileName=/p/a.jpg"),
                                          QStringLiteral("UNIT_Instraction=")}));
    // Size option, then the surface (its code is the product code) and the laminate (a full code
    // of its own).
    QCOMPARE(
        body.mid(7, 15),
        (QStringList{
            QStringLiteral("UNIT_OPTION_INDEX=1"), QStringLiteral("UNIT_OPTION_LABEL=サイズ: 名"),
            QStringLiteral("UNIT_OPTION_ID=9999,9999,11"), QStringLiteral("UNIT_OPTION_TEXT="),
            QStringLiteral("UNIT_QUANTITY=1"), QStringLiteral("UNIT_OPTION_INDEX=2"),
            QStringLiteral("UNIT_OPTION_LABEL=面質: 名"),
            QStringLiteral("UNIT_OPTION_ID=9999,9999,11"), QStringLiteral("UNIT_OPTION_TEXT="),
            QStringLiteral("UNIT_QUANTITY=1"), QStringLiteral("UNIT_OPTION_INDEX=3"),
            QStringLiteral("UNIT_OPTION_LABEL=ラミネート: 名"),
            QStringLiteral("UNIT_OPTION_ID=8850,9002,11"), QStringLiteral("UNIT_OPTION_TEXT="),
            QStringLiteral("UNIT_QUANTITY=1")}));
}

void TestPrintReport::unitOptionsOnlyForTheRecordsTheRowHas() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("プリント"));
    // A laminate only: it takes number 1; the short code is not an id of its own.
    UserDef::setPrintOrderArray({rowWithCodes(std::nullopt, std::nullopt, QStringLiteral("12"))});
    const QStringList body =
        bodyLines(printReportPrintTab(JobInfo({}, QString(), nullptr, nullptr)));
    QCOMPARE(
        body.mid(7),
        (QStringList{QStringLiteral("UNIT_OPTION_INDEX=1"),
                     QStringLiteral("UNIT_OPTION_LABEL=ラミネート: 名"),
                     QStringLiteral("UNIT_OPTION_ID=9999,9999,11"),
                     QStringLiteral("UNIT_OPTION_TEXT="), QStringLiteral("UNIT_QUANTITY=1"),
                     QStringLiteral("---------------------------------------"),
                     QStringLiteral("---------------------------------------"),
                     QStringLiteral("Special_Instraction="), QStringLiteral("(^^)"), QString()}));
    QCOMPARE(body[2], QStringLiteral("UNIT_PRODUCT_CODE=12"));
}

void TestPrintReport::characterOutsideShiftJisIsReplaced() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("プリント"));
    UserDef::setPrintOrderArray({rowWithCodes(QStringLiteral("8814,1001,11"), std::nullopt)});
    UserDef::setPrintDic(
        {{QStringLiteral("PrintOrderMasterMemoKey"), QStringLiteral("笑顔\U0001F600で〜")}});
    const JobInfo info({}, QString(), nullptr, nullptr);
    const QByteArray written = reportexpect::writtenReport(home, info);
    QVERIFY(written.endsWith("(^^)\r\n"));
    // 笑顔 and the wave dash in code page 932, the emoji as one "?".
    QVERIFY(
        written.contains("\r\nSpecial_Instraction=\x8f\xce\x8a\xe7?\x82\xc5\x81\x60\r\n(^^)\r\n"));
}

void TestPrintReport::damagedRowsAreSkippedWithoutANumber() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("プリント"));
    UserDef::setPrintOrderArray(
        {QStringLiteral("not a row"), rowWithCodes(QStringLiteral("8814,1001,11"), std::nullopt)});
    const QStringList body =
        bodyLines(printReportPrintTab(JobInfo({}, QString(), nullptr, nullptr)));
    QCOMPARE(body.count(QStringLiteral("UNIT_INDEX=1")), 1);
    QVERIFY(!body.contains(QStringLiteral("UNIT_INDEX=2")));

    // No rows at all: the head runs straight into the footer.
    UserDef::removeObjectForKey(QStringLiteral("PrintOrderArray"));
    QCOMPARE(bodyLines(printReportPrintTab(JobInfo({}, QString(), nullptr, nullptr))).first(),
             QStringLiteral("---------------------------------------"));
}

QTEST_GUILESS_MAIN(TestPrintReport)
#include "tst_PrintReport.moc"
