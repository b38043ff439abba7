#include "ReportExpect.h"
#include "TestHome.h"
#include "job/JobInfo.h"
#include "report/JobInfoResizeReport.h"
#include "report/TabReports.h"
#include "settings/UserDef.h"

#include <QtTest>

namespace {

using reportexpect::bodyLines;

QVariantMap resizeRecord(const char* table, int id) {
    const QVariantMap record =
        reportexpect::shippedRecord(QStringLiteral("tbl_resize"), QString::fromLatin1(table), id);
    if (record.isEmpty()) {
        qWarning("shipped resize catalogue lacks %s %d", table, id);
    }
    return record;
}

QVariantMap record(const QString& name, const QString& code, const QString& cut = QString()) {
    QVariantMap r{{QStringLiteral("name"), name}, {QStringLiteral("code"), code}};
    if (!cut.isNull()) {
        r.insert(QStringLiteral("cut"), cut);
    }
    return r;
}

QStringList jpegFiles(int count) {
    QStringList files;
    for (int i = 1; i <= count; ++i) {
        files.append(QStringLiteral("/r/p%1.jpg").arg(i));
    }
    return files;
}

QStringList resizeBody(const QVariantMap& dic, const QStringList& files) {
    UserDef::setResizeDic(dic);
    return bodyLines(printReportResizeTab(JobInfo(files, QString(), nullptr, nullptr)));
}

const QString kSeparator = QStringLiteral("---------------------------------------");

} // namespace

class TestResizeReport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cutFourOverTenJpegsWithAPdfMatchesByteForByte();
    void oneImagePerSheetWritesNoOptionLines();
    void plainPrintsCountEveryImage_data();
    void plainPrintsCountEveryImage();
    void sheetsWithoutSurfaceEndWithTheQuantityAlone();
    void goodsOptionCutCountsWhenTheGoodsHasNone();
    void productCodeRules_data();
    void productCodeRules();
    void descriptionNamesGoodsAndOption();
    void noAttachmentsNoListAndNoEmptyLine();
};

void TestResizeReport::cutFourOverTenJpegsWithAPdfMatchesByteForByte() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("リサイズ"));
    UserDef::setResizeDic({
        {QStringLiteral("ResizeCateoryPopKey"), resizeRecord("tb_resize_list", 2)},
        {QStringLiteral("ResizeSizePopKey"), resizeRecord("tb_resize_size", 5)},
        {QStringLiteral("ResizeSurfacePopKey"), resizeRecord("tb_resize_surface", 1)},
        {QStringLiteral("ResizeGoodsPopKey"), resizeRecord("tb_resize_goods", 1)},
        {QStringLiteral("ResizeOrderNumKey"), QStringLiteral("2")},
        {QStringLiteral("ResizeOrderMemoKey"), QStringLiteral("色味は標準で\nお願いします")},
    });
    const QString folder = home.filePath(QStringLiteral("resize"));
    QStringList files;
    for (int i = 1; i <= 8; ++i) {
        files.append(folder + QStringLiteral("/img%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
    }
    files.insert(4, folder + QStringLiteral("/注文書.pdf")); // the attachment among the images
    files.append(folder + QStringLiteral("/img09.JPG"));
    files.append(folder + QStringLiteral("/img10.jpeg"));
    const JobInfo info(files, folder, nullptr, nullptr);
    QCOMPARE(jpgOnlyOrderFilePassArray(info).size(), 10);
    QCOMPARE(notJpgFilePassArray(info), QStringList{folder + QStringLiteral("/注文書.pdf")});
    reportexpect::compareBytes(
        reportexpect::writtenReport(home, info),
        reportexpect::expectedReport(QStringLiteral("resize_cut4_ten_jpegs.txt"), home, info));
}

void TestResizeReport::oneImagePerSheetWritesNoOptionLines() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("リサイズ"));
    const QStringList body = resizeBody(
        {{QStringLiteral("ResizeSizePopKey"),
          record(QStringLiteral("インデックス"), QStringLiteral("8880"))},
         {QStringLiteral("ResizeSurfacePopKey"),
          record(QStringLiteral("光沢"), QStringLiteral("11"))},
         {QStringLiteral("ResizeGoodsPopKey"),
          record(QStringLiteral("1枚1カット"), QStringLiteral("2002"), QStringLiteral("1"))},
         {QStringLiteral("ResizeOrderNumKey"), QStringLiteral("3")}},
        jpegFiles(2));
    QCOMPARE(body, (QStringList{QStringLiteral("UNIT_INDEX=1"),
                                QStringLiteral("UNIT_PRODUCT_DESCRIPTION=インデックス(1枚1カット)"),
                                QStringLiteral("UNIT_PRODUCT_CODE=8880,2002,11"),
                                QStringLiteral("UNIT_QUANTITY=3"),
                                QStringLiteral("PRODUCT_IMAGE_FILE_NAME=p1.jpg"),
                                QStringLiteral("PRODUCT_IMAGE_FILE_NAME=p2.jpg"), kSeparator,
                                kSeparator, QStringLiteral("Special_Instraction="),
                                QStringLiteral("(^^)"), QString()}));
}

void TestResizeReport::plainPrintsCountEveryImage_data() {
    QTest::addColumn<QString>("cut");
    QTest::newRow("cut 999") << QStringLiteral("999");
    QTest::newRow("cut 0") << QStringLiteral("0");
    QTest::newRow("no goods cut") << QString();
}

void TestResizeReport::plainPrintsCountEveryImage() {
    QFETCH(QString, cut);
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("リサイズ"));
    const QStringList body =
        resizeBody({{QStringLiteral("ResizeSizePopKey"),
                     record(QStringLiteral("フォトシール"), QStringLiteral("8881"))},
                    {QStringLiteral("ResizeSurfacePopKey"),
                     record(QStringLiteral("絹目"), QStringLiteral("12"))},
                    {QStringLiteral("ResizeGoodsPopKey"),
                     record(QStringLiteral("16面"), QStringLiteral("3001,11"), cut)},
                    {QStringLiteral("ResizeOrderNumKey"), QStringLiteral("2")}},
                   jpegFiles(3) + QStringList{QStringLiteral("/r/.hidden.jpg")});
    QCOMPARE(body, (QStringList{QStringLiteral("UNIT_INDEX=1"),
                                QStringLiteral("UNIT_PRODUCT_DESCRIPTION=フォトシール(16面) 各2枚"),
                                QStringLiteral("UNIT_PRODUCT_CODE=8881,3001,11"),
                                QStringLiteral("UNIT_QUANTITY=6"),
                                QStringLiteral("PRODUCT_IMAGE_FILE_NAME=p1.jpg"),
                                QStringLiteral("PRODUCT_IMAGE_FILE_NAME=p2.jpg"),
                                QStringLiteral("PRODUCT_IMAGE_FILE_NAME=p3.jpg"),
                                QStringLiteral("UNIT_OPTION_INDEX=1"),
                                QStringLiteral("UNIT_OPTION_LABEL=面質 絹目"),
                                QStringLiteral("UNIT_OPTION_ID=9999,9999,11"),
                                QStringLiteral("UNIT_OPTION_TEXT="),
                                QStringLiteral("UNIT_QUANTITY=1"),
                                kSeparator,
                                kSeparator,
                                QStringLiteral("Special_Instraction="),
                                QString(),
                                QStringLiteral("[添付ファイル]"),
                                QStringLiteral(".hidden.jpg"),
                                QStringLiteral("(^^)"),
                                QString()}));

    // Without a surface only the option number and the closing quantity stay.
    const QStringList bare =
        resizeBody({{QStringLiteral("ResizeSizePopKey"),
                     record(QStringLiteral("L"), QStringLiteral("8814,1001,11"))},
                    {QStringLiteral("ResizeOrderNumKey"), QStringLiteral("1")}},
                   jpegFiles(1));
    QCOMPARE(bare.mid(0, 7), (QStringList{QStringLiteral("UNIT_INDEX=1"),
                                          QStringLiteral("UNIT_PRODUCT_DESCRIPTION=L 各1枚"),
                                          QStringLiteral("UNIT_PRODUCT_CODE=8814,1001,11"),
                                          QStringLiteral("UNIT_QUANTITY=1"),
                                          QStringLiteral("PRODUCT_IMAGE_FILE_NAME=p1.jpg"),
                                          QStringLiteral("UNIT_OPTION_INDEX=1"),
                                          QStringLiteral("UNIT_QUANTITY=1")}));
    QCOMPARE(bare[7], kSeparator);
}

void TestResizeReport::sheetsWithoutSurfaceEndWithTheQuantityAlone() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("リサイズ"));
    const QStringList body =
        resizeBody({{QStringLiteral("ResizeSizePopKey"),
                     record(QStringLiteral("カレンダー"), QStringLiteral("8882"))},
                    {QStringLiteral("ResizeGoodsPopKey"),
                     record(QStringLiteral("卓上"), QStringLiteral("2001"), QStringLiteral("12"))},
                    {QStringLiteral("ResizeOrderNumKey"), QStringLiteral("1")}},
                   jpegFiles(13));
    QCOMPARE(body[3], QStringLiteral("UNIT_QUANTITY=2")); // 13 images, 12 per sheet
    QCOMPARE(body.mid(17, 2), (QStringList{QStringLiteral("UNIT_QUANTITY=1"), kSeparator}));
    QCOMPARE(body.count(QStringLiteral("UNIT_OPTION_INDEX=1")), 0);
}

void TestResizeReport::goodsOptionCutCountsWhenTheGoodsHasNone() {
    const QVariantMap dic{
        {QStringLiteral("ResizeGoodsPopKey"),
         record(QStringLiteral("証明写真"), QStringLiteral("4001"), QStringLiteral("0"))},
        {QStringLiteral("ResizeGoodsOptionPopKey"),
         record(QStringLiteral("縦4cm"), QStringLiteral("4102,11"), QStringLiteral("2"))}};
    QCOMPARE(resizeProdocutSheetsCalcInfo(dic), 2);
    QCOMPARE(resizeProdocutSheetsCalcInfo({}), 0);

    TestHome home;
    reportexpect::standardSettings(QStringLiteral("リサイズ"));
    QVariantMap order = dic;
    order.insert(QStringLiteral("ResizeSizePopKey"),
                 record(QStringLiteral("証明写真シート"), QStringLiteral("88")));
    order.insert(QStringLiteral("ResizeOrderNumKey"), QStringLiteral("4"));
    const QStringList body = resizeBody(order, jpegFiles(5));
    QCOMPARE(
        body.mid(1, 3),
        (QStringList{QStringLiteral("UNIT_PRODUCT_DESCRIPTION=証明写真シート(証明写真)(縦4cm)"),
                     QStringLiteral("UNIT_PRODUCT_CODE=4001,4102,11"),
                     QStringLiteral("UNIT_QUANTITY=12")})); // 3 sheets of 2, four times
}

void TestResizeReport::productCodeRules_data() {
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("surface");
    QTest::addColumn<QString>("goods");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("expected");
    QTest::newRow("4 + goods 4") << "1234"
                                 << ""
                                 << "5678"
                                 << ""
                                 << "1234,5678,11";
    QTest::newRow("4 + goods 7") << "1234"
                                 << ""
                                 << "5678,90"
                                 << ""
                                 << "1234,5678,90";
    QTest::newRow("4 + option 7") << "1234"
                                  << ""
                                  << "56"
                                  << "4101,11"
                                  << "1234,4101,11";
    QTest::newRow("4 without goods") << "1234"
                                     << "11"
                                     << ""
                                     << ""
                                     << "---";
    QTest::newRow("12") << "8814,1001,11"
                        << "12"
                        << "5678"
                        << ""
                        << "8814,1001,11";
    QTest::newRow("9 + surface") << "8814,1002"
                                 << "12"
                                 << ""
                                 << ""
                                 << "8814,1002,12";
    QTest::newRow("other + goods 4 + option 7") << "88"
                                                << ""
                                                << "4001"
                                                << "4101,11"
                                                << "4001,4101,11";
    QTest::newRow("other without option") << "88"
                                          << ""
                                          << "4001"
                                          << ""
                                          << "---";
    QTest::newRow("no size code") << ""
                                  << "11"
                                  << "5678"
                                  << ""
                                  << "---";
}

void TestResizeReport::productCodeRules() {
    QFETCH(QString, size);
    QFETCH(QString, surface);
    QFETCH(QString, goods);
    QFETCH(QString, option);
    QFETCH(QString, expected);
    QVariantMap dic{{QStringLiteral("ResizeSizePopKey"), record(QStringLiteral("s"), size)}};
    const auto put = [&dic](const char* key, const QString& code) {
        if (!code.isEmpty()) {
            dic.insert(QString::fromLatin1(key), record(QStringLiteral("n"), code));
        }
    };
    put("ResizeSurfacePopKey", surface);
    put("ResizeGoodsPopKey", goods);
    put("ResizeGoodsOptionPopKey", option);
    QCOMPARE(resizeProductCode(dic), expected);
}

void TestResizeReport::descriptionNamesGoodsAndOption() {
    TestHome home;
    const QVariantMap dic{{QStringLiteral("ResizeSizePopKey"),
                           record(QStringLiteral("カレンダー（卓上）"), QString())},
                          {QStringLiteral("ResizeSurfacePopKey"),
                           record(QStringLiteral("光沢"), QStringLiteral("11"))},
                          {QStringLiteral("ResizeGoodsOptionPopKey"),
                           record(QStringLiteral("4月始まり（12枚）"), QStringLiteral("2002,11"))}};
    QCOMPARE(resizeUnitProductDescription(dic),
             QStringLiteral("カレンダー（卓上）(4月始まり（12枚）)"));
    QCOMPARE(resizeProductQuality(dic), QStringLiteral("光沢"));
    QCOMPARE(resizeProductQuality({}), QString());
    // The saved tab record is what the defaults read.
    UserDef::setResizeDic(dic);
    QCOMPARE(resizeUnitProductDescription(), resizeUnitProductDescription(dic));
    QCOMPARE(resizeProductCode(), QStringLiteral("---"));
}

void TestResizeReport::noAttachmentsNoListAndNoEmptyLine() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("リサイズ"));
    UserDef::setResizeDic({{QStringLiteral("ResizeSizePopKey"),
                            record(QStringLiteral("L%2"), QStringLiteral("8814,1001,11"))},
                           {QStringLiteral("ResizeOrderNumKey"), QStringLiteral("1")},
                           {QStringLiteral("ResizeOrderMemoKey"), QStringLiteral("メモ")}});
    const JobInfo info(jpegFiles(2), QString(), nullptr, nullptr);
    QCOMPARE(notJpgFileListText(info), QString());
    const QString report = printReportResizeTab(info);
    QVERIFY(report.endsWith(QStringLiteral("\r\nSpecial_Instraction=メモ\r\n(^^)\r\n")));
    QVERIFY(!report.contains(QStringLiteral("ROES_OriginalFileName")));
    // A name that looks like a placeholder is written as it is.
    QVERIFY(report.contains(QStringLiteral("\r\nUNIT_PRODUCT_DESCRIPTION=L%2 各1枚\r\n")));

    const JobInfo withPdf(jpegFiles(1) +
                              QStringList{QStringLiteral("/r/a.pdf"), QStringLiteral("/r/b.txt")},
                          QString(), nullptr, nullptr);
    QCOMPARE(notJpgFileListText(withPdf), QStringLiteral("[添付ファイル]\r\na.pdf\r\nb.txt"));
}

QTEST_GUILESS_MAIN(TestResizeReport)
#include "tst_ResizeReport.moc"
