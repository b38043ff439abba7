#include "ReportExpect.h"
#include "TestHome.h"
#include "job/JobInfo.h"
#include "product/ProductData.h"
#include "report/JobInfoAlbumReport.h"
#include "report/TabReports.h"
#include "settings/UserDef.h"

#include <QtTest>
#include <memory>

namespace {

using reportexpect::bodyLines;

// A small album catalogue whose codes make each rule visible.
const char* const kTestCatalogue = R"(MVL CSV_DATA_ALBUM test
<!--CSV_DATA_ALBUM_AL_ALBUM_CODE
テストアルバム,0,0,0,0,0,"8900,1001,11","8900,1101,11"
一冊アルバム,0,0,0,0,0,"8910,1001,11",0
写真セット,0,0,0,0,0,"8940,1050,11",0
婚礼アルバム中ページ追加,0,0,0,0,0,"8130,3001,11","8130,3002,11"
CSV_DATA_ALBUM_AL_ALBUM_CODE-->
<!--CSV_DATA_ALBUM_AL_HYOU
テストアルバム,0,0,布表紙,0,表紙
テストアルバム,0,0,革表紙,"8011,1001,11",表紙
CSV_DATA_ALBUM_AL_HYOU-->
<!--CSV_DATA_ALBUM_AL_HYOU_COL
テストアルバム,0,0,ローズ,"8001,5002,11",色
CSV_DATA_ALBUM_AL_HYOU_COL-->
<!--CSV_DATA_ALBUM_AL_HYOU_TEMP
テストアルバム,0,0,デザインA,"8005,6001,11",デザイン
CSV_DATA_ALBUM_AL_HYOU_TEMP-->
<!--CSV_DATA_ALBUM_AL_HYOU_SECOL
テストアルバム,0,0,0,ブラウン,"8005,7001,11",背表紙色
CSV_DATA_ALBUM_AL_HYOU_SECOL-->
<!--CSV_DATA_ALBUM_AL_HYOU_AUTOADD
テストアルバム,0,革表紙,革加工費,"8003,9001,11",表紙加工
CSV_DATA_ALBUM_AL_HYOU_AUTOADD-->
<!--CSV_DATA_ALBUM_AL_MINI
テストアルバム,0,0,0,ミニ,"8301,1015,11","8301,1115,11",ミニ
CSV_DATA_ALBUM_AL_MINI-->
<!--CSV_DATA_ALBUM_AL_OPT
テストアルバム,0,0,0,0,0,ページ補正,"8402,1001,11"
テストアルバム,0,0,0,0,0,名入れ,"8402,2001,11"
テストアルバム,0,0,0,0,0,デザイン料,"8402,3001,11"
CSV_DATA_ALBUM_AL_OPT-->
<!--CSV_DATA_ALBUM_AL_OPT_PAGE_QU
ページ補正
CSV_DATA_ALBUM_AL_OPT_PAGE_QU-->
<!--CSV_DATA_ALBUM_AL_OPT_PAGE_QUA
デザイン料
CSV_DATA_ALBUM_AL_OPT_PAGE_QUA-->
<!--CSV_DATA_ALBUM_AL_OPT_ORDER_QU
名入れ
革加工費
CSV_DATA_ALBUM_AL_OPT_ORDER_QU-->
)";

// The catalogue in use is the stored one while its time stamp is newer than the shipped copy's.
std::unique_ptr<ProductData> testCatalogue() {
    UserDef::setObject(QString::fromUtf8(kTestCatalogue), QStringLiteral("AlbumData"));
    UserDef::setObject(QStringLiteral("2030/01/01 00:00:00"), QStringLiteral("AlbumDataDateTime"));
    return std::make_unique<ProductData>(QString());
}

QString albumReport(ProductData& data, const QVariantMap& albumDic) {
    UserDef::setAlbumDic(albumDic);
    return printReportAlbumTab(JobInfo({QStringLiteral("/a/1.jpg")}, QString(), &data, nullptr));
}

// The first four unit lines (index, description, code, quantity) without their keys.
QStringList unitHead(const QString& report) {
    QStringList values;
    for (const QString& line : bodyLines(report).mid(0, 4)) {
        values.append(line.section(u'=', 1));
    }
    return values;
}

// Each unit option block as "label|id|text|quantity"; fails the caller's check when the running
// numbers are not 1, 2, 3, ...
QStringList unitOptions(const QString& report) {
    const QStringList lines = bodyLines(report);
    QStringList blocks;
    for (qsizetype i = 0; i + 4 < lines.size(); ++i) {
        if (!lines[i].startsWith(QStringLiteral("UNIT_OPTION_INDEX="))) {
            continue;
        }
        if (lines[i] != QStringLiteral("UNIT_OPTION_INDEX=%1").arg(blocks.size() + 1)) {
            blocks.append(QStringLiteral("bad number: ") + lines[i]);
        }
        QStringList values;
        for (qsizetype k = 1; k <= 4; ++k) {
            values.append(lines[i + k].section(u'=', 1));
        }
        blocks.append(values.join(u'|'));
        i += 4;
    }
    return blocks;
}

QString instruction(const QString& report) {
    const QString key = QStringLiteral("Special_Instraction=");
    const qsizetype start = report.indexOf(key);
    const qsizetype end = report.lastIndexOf(QStringLiteral("(^^)\r\n"));
    return start < 0 || end < start ? QString()
                                    : report.mid(start + key.size(), end - start - key.size());
}

QVariantMap testAlbum(const QString& copies) {
    return {{QStringLiteral("AlAlbumPop"), QStringLiteral("テストアルバム")},
            {QStringLiteral("AlOrderNum"), copies},
            {QStringLiteral("AlOrderUnitLabel"), QStringLiteral("冊")}};
}

} // namespace

class TestAlbumReport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void weddingAlbumMatchesByteForByte();
    void pictureSetsCountPicturesAndWriteNoSizeOption();
    void innerPageAlbumCountsPages();
    void secondCopiesGoIntoTheirOwnOption();
    void coverWithoutCodeTakesTheVariationOrTemplateCode();
    void noCoverMeansNoCoverParts();
    void automaticAdditionFollowsTheCover();
    void optionQuantitiesFollowTheCatalogueLists();
    void miniBookSecondCodeForSeveralCopies();
    void albumSetHeadsTheMemo();
    void letteringWithoutMemo();
    void choiceTests();
};

void TestAlbumReport::weddingAlbumMatchesByteForByte() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("アルバム"));
    UserDef::setOrderInfoDic({{QStringLiteral("OrderInfoDate"), QStringLiteral("2024/05/01")},
                              {QStringLiteral("OrderInfoName"), QStringLiteral("佐藤様")}});
    // As the album tab saves it for a wedding album of the shipped catalogue.
    UserDef::setAlbumDic({
        {QStringLiteral("AlAlbumPop"), QStringLiteral("婚礼デザインアルバム")},
        {QStringLiteral("AlSizePop"), QStringLiteral("30cmスクエア")},
        {QStringLiteral("AlPagePop"), QStringLiteral("15")},
        {QStringLiteral("AlInpMenPop"), QStringLiteral("銀塩プリント（ラスター）")},
        {QStringLiteral("AlInpRamiPop"), QString()},
        {QStringLiteral("AlBBStylePop"), QString()},
        {QStringLiteral("AlHyouPop"), QStringLiteral("レザー（ホワイト）")},
        {QStringLiteral("AlHyouColPop"), QStringLiteral("名入れ箔押し（ゴールド）")},
        {QStringLiteral("AlHyouTempPop"), QString()},
        {QStringLiteral("AlHyouSeColPop"), QString()},
        {QStringLiteral("AlBaseColPop"), QStringLiteral("アイボリー")},
        {QStringLiteral("AlBoxPop"), QStringLiteral("桐箱")},
        {QStringLiteral("AlBoxColPop"), QString()},
        {QStringLiteral("AlMiniPop"), QStringLiteral("ミニブック（15cm）")},
        {QStringLiteral("AlMiniColPop"), QString()},
        {QStringLiteral("AlOrderNum"), QStringLiteral("2")},
        {QStringLiteral("AlOrderBoxNum"), QStringLiteral("1")},
        {QStringLiteral("AlOrderMiniNum"), QStringLiteral("2")},
        {QStringLiteral("AlOptoinArray"),
         QVariantList{QStringLiteral("レイアウト編集"), QStringLiteral("ネームプレート"),
                      QStringLiteral("画像レタッチ")}},
        {QStringLiteral("AlOrderMemo"), QStringLiteral("表紙の箔押しは金色で")},
        {QStringLiteral("AlPageLabel"), QStringLiteral("見開き数")},
        {QStringLiteral("AlOrderUnitLabel"), QStringLiteral("冊")},
        {QStringLiteral("AlBaseColLabel"), QStringLiteral("台紙色")},
        {QStringLiteral("AlInpMenLabel"), QStringLiteral("中面")},
        {QStringLiteral("AlInpRamiLabel"), QString()},
        {QStringLiteral("AlBBStyleLabel"), QString()},
        {QStringLiteral("AlHyouLabel"), QStringLiteral("表紙")},
        {QStringLiteral("AlHyouColLabel"), QStringLiteral("箔押し")},
        {QStringLiteral("AlHyouTempLabel"), QString()},
        {QStringLiteral("AlHyouSeColLabel"), QString()},
        {QStringLiteral("AlBoxLabel"), QStringLiteral("ボックス")},
        {QStringLiteral("AlBoxColLabel"), QStringLiteral("ボックスカラー")},
        {QStringLiteral("AlMiniLabel"), QStringLiteral("ミニブック")},
        {QStringLiteral("AlMiniColLabel"), QStringLiteral("ミニブックカラー")},
    });
    UserDef::setObject(QStringLiteral("春の婚礼セット"), QStringLiteral("AlbumSetName"));
    UserDef::setCharInputDic({{QStringLiteral("OrderCharName"), QStringLiteral("Taro & Hanako")},
                              {QStringLiteral("OrderCharDate"), QStringLiteral("2024.06.01")}});

    ProductData data{QString()}; // the shipped album catalogue
    const QStringList files{home.filePath(QStringLiteral("album/p01.jpg")),
                            home.filePath(QStringLiteral("album/p02.jpg")),
                            home.filePath(QStringLiteral("album/表紙.jpg"))};
    const JobInfo info(files, home.filePath(QStringLiteral("album")), &data, nullptr);
    reportexpect::compareBytes(
        reportexpect::writtenReport(home, info),
        reportexpect::expectedReport(QStringLiteral("album_wedding.txt"), home, info));
}

void TestAlbumReport::pictureSetsCountPicturesAndWriteNoSizeOption() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("アルバム"));
    const auto data = testCatalogue();
    QVariantMap dic{{QStringLiteral("AlAlbumPop"), QStringLiteral("写真セット")},
                    {QStringLiteral("AlSizePop"), QStringLiteral("50枚セット")},
                    {QStringLiteral("AlOrderNum"), QStringLiteral("2")},
                    {QStringLiteral("AlOrderUnitLabel"), QStringLiteral("冊")}};
    QString report = albumReport(*data, dic);
    QCOMPARE(unitHead(report),
             (QStringList{QStringLiteral("1"), QStringLiteral("写真セット各100冊"),
                          QStringLiteral("8940,1050,11"), QStringLiteral("100")}));
    QCOMPARE(unitOptions(report), QStringList());

    dic.insert(QStringLiteral("AlSizePop"), QStringLiteral("追加10枚セット"));
    report = albumReport(*data, dic);
    QCOMPARE(unitHead(report)[1], QStringLiteral("写真セット各20冊"));
    QCOMPARE(unitOptions(report), QStringList());

    // A book size is an option of its own.
    dic.insert(QStringLiteral("AlSizePop"), QStringLiteral("A4スクエア"));
    report = albumReport(*data, dic);
    QCOMPARE(unitHead(report)[1], QStringLiteral("写真セット各2冊"));
    QCOMPARE(unitOptions(report), QStringList{QStringLiteral("A4スクエア|9999,9999,11||1")});
}

void TestAlbumReport::innerPageAlbumCountsPages() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("アルバム"));
    const auto data = testCatalogue();
    QVariantMap dic{{QStringLiteral("AlAlbumPop"), QStringLiteral("婚礼アルバム中ページ追加")},
                    {QStringLiteral("AlPagePop"), QStringLiteral("4")},
                    {QStringLiteral("AlPageLabel"), QStringLiteral("追加見開き数")},
                    {QStringLiteral("AlOrderNum"), QStringLiteral("3")},
                    {QStringLiteral("AlOrderUnitLabel"), QStringLiteral("部")}};
    QString report = albumReport(*data, dic);
    QCOMPARE(unitHead(report),
             (QStringList{QStringLiteral("1"), QStringLiteral("婚礼アルバム中ページ追加各3部"),
                          QStringLiteral("8130,3002,11"), QStringLiteral("12")}));
    // The further copies are in the quantity, never in a "2冊目以上" option.
    QCOMPARE(unitOptions(report), QStringList{QStringLiteral("追加見開き数 4|9999,9999,11||1")});

    dic.insert(QStringLiteral("AlPagePop"), QStringLiteral("3"));
    report = albumReport(*data, dic);
    QCOMPARE(unitHead(report).mid(2),
             (QStringList{QStringLiteral("8130,3001,11"), QStringLiteral("9")}));
}

void TestAlbumReport::secondCopiesGoIntoTheirOwnOption() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("アルバム"));
    const auto data = testCatalogue();
    QString report = albumReport(*data, testAlbum(QStringLiteral("3")));
    QCOMPARE(unitHead(report).mid(2),
             (QStringList{QStringLiteral("8900,1001,11"), QStringLiteral("1")}));
    QCOMPARE(unitOptions(report), QStringList{QStringLiteral("2冊目以上|8900,1101,11||2")});

    // One copy: nothing to add.
    report = albumReport(*data, testAlbum(QStringLiteral("1")));
    QCOMPARE(unitHead(report)[3], QStringLiteral("1"));
    QCOMPARE(unitOptions(report), QStringList());

    // Without a second product code the copies are the unit's quantity.
    QVariantMap single = testAlbum(QStringLiteral("3"));
    single.insert(QStringLiteral("AlAlbumPop"), QStringLiteral("一冊アルバム"));
    report = albumReport(*data, single);
    QCOMPARE(unitHead(report).mid(2),
             (QStringList{QStringLiteral("8910,1001,11"), QStringLiteral("3")}));
    QCOMPARE(unitOptions(report), QStringList());
}

void TestAlbumReport::coverWithoutCodeTakesTheVariationOrTemplateCode() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("アルバム"));
    const auto data = testCatalogue();
    QVariantMap dic = testAlbum(QStringLiteral("1"));
    dic.insert(QStringLiteral("AlHyouPop"), QStringLiteral("布表紙"));
    dic.insert(QStringLiteral("AlHyouLabel"), QStringLiteral("表紙"));
    dic.insert(QStringLiteral("AlHyouColPop"), QStringLiteral("ローズ"));
    dic.insert(QStringLiteral("AlHyouColLabel"), QStringLiteral("色"));
    dic.insert(QStringLiteral("AlHyouTempPop"), QStringLiteral("デザインA"));
    dic.insert(QStringLiteral("AlHyouTempLabel"), QStringLiteral("デザイン"));
    QCOMPARE(unitOptions(albumReport(*data, dic)),
             (QStringList{QStringLiteral("表紙 布表紙|8001,5002,11||1"),
                          QStringLiteral("色 ローズ|9999,9999,11||1"),
                          QStringLiteral("デザイン デザインA|8005,6001,11||1")}));

    // No variation: the template prices the cover.
    dic.insert(QStringLiteral("AlHyouColPop"), QStringLiteral("-"));
    QCOMPARE(unitOptions(albumReport(*data, dic)),
             (QStringList{QStringLiteral("表紙 布表紙|8005,6001,11||1"),
                          QStringLiteral("デザイン デザインA|9999,9999,11||1")}));
}

void TestAlbumReport::noCoverMeansNoCoverParts() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("アルバム"));
    const auto data = testCatalogue();
    for (const QString& cover : {QString(), QStringLiteral("0"), QStringLiteral("-")}) {
        QVariantMap dic = testAlbum(QStringLiteral("1"));
        dic.insert(QStringLiteral("AlHyouPop"), cover);
        dic.insert(QStringLiteral("AlHyouColPop"), QStringLiteral("ローズ"));
        dic.insert(QStringLiteral("AlHyouTempPop"), QStringLiteral("デザインA"));
        dic.insert(QStringLiteral("AlHyouSeColPop"), QStringLiteral("ブラウン"));
        dic.insert(QStringLiteral("AlBaseColPop"), QStringLiteral("-"));
        QCOMPARE(unitOptions(albumReport(*data, dic)), QStringList());
    }
}

void TestAlbumReport::automaticAdditionFollowsTheCover() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("アルバム"));
    const auto data = testCatalogue();
    QVariantMap dic = testAlbum(QStringLiteral("1"));
    dic.insert(QStringLiteral("AlHyouPop"), QStringLiteral("革表紙"));
    dic.insert(QStringLiteral("AlHyouLabel"), QStringLiteral("表紙"));
    dic.insert(QStringLiteral("AlHyouSeColPop"), QStringLiteral("ブラウン"));
    dic.insert(QStringLiteral("AlHyouSeColLabel"), QStringLiteral("背表紙色"));
    dic.insert(QStringLiteral("AlOrderNum"), QStringLiteral("2"));
    // Two copies: the addition is counted per copy; the second copy follows last.
    QCOMPARE(unitOptions(albumReport(*data, dic)),
             (QStringList{QStringLiteral("表紙 革表紙|8011,1001,11||1"),
                          QStringLiteral("表紙加工 革加工費|8003,9001,11||2"),
                          QStringLiteral("背表紙色 ブラウン|8005,7001,11||1"),
                          QStringLiteral("2冊目以上|8900,1101,11||1")}));
}

void TestAlbumReport::optionQuantitiesFollowTheCatalogueLists() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("アルバム"));
    const auto data = testCatalogue();
    QVariantMap dic = testAlbum(QStringLiteral("2"));
    dic.insert(QStringLiteral("AlPagePop"), QStringLiteral("20"));
    dic.insert(QStringLiteral("AlPageLabel"), QStringLiteral("ページ数"));
    dic.insert(QStringLiteral("AlOptoinArray"),
               QVariantList{QStringLiteral("ページ補正"), QStringLiteral("名入れ"),
                            QStringLiteral("デザイン料"), QStringLiteral("未登録")});
    QCOMPARE(
        unitOptions(albumReport(*data, dic)),
        (QStringList{QStringLiteral("ページ数 20|9999,9999,11||1"),
                     QStringLiteral("ページ補正|8402,1001,11||40"),
                     QStringLiteral("名入れ|8402,2001,11||2"),
                     QStringLiteral("デザイン料|8402,3001,11||20"), QStringLiteral("未登録|||1"),
                     QStringLiteral("2冊目以上|8900,1101,11||1")}));
}

void TestAlbumReport::miniBookSecondCodeForSeveralCopies() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("アルバム"));
    const auto data = testCatalogue();
    QVariantMap dic = testAlbum(QStringLiteral("1"));
    dic.insert(QStringLiteral("AlMiniPop"), QStringLiteral("ミニ"));
    dic.insert(QStringLiteral("AlMiniLabel"), QStringLiteral("ミニブック"));
    dic.insert(QStringLiteral("AlOrderMiniNum"), QStringLiteral("1"));
    QCOMPARE(unitOptions(albumReport(*data, dic)),
             QStringList{QStringLiteral("ミニブック ミニ 1冊|8301,1015,11||1")});
    dic.insert(QStringLiteral("AlOrderMiniNum"), QStringLiteral("3"));
    QCOMPARE(unitOptions(albumReport(*data, dic)),
             QStringList{QStringLiteral("ミニブック ミニ 3冊|8301,1115,11||3")});
}

void TestAlbumReport::albumSetHeadsTheMemo() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("アルバム"));
    const auto data = testCatalogue();
    UserDef::setObject(QStringLiteral("Spring"), QStringLiteral("AlbumSetName"));
    QVariantMap dic = testAlbum(QStringLiteral("1"));
    QCOMPARE(instruction(albumReport(*data, dic)), QStringLiteral("Spring\r\n"));

    dic.insert(QStringLiteral("AlOrderMemo"), QStringLiteral("一行目\n二行目"));
    QCOMPARE(instruction(albumReport(*data, dic)),
             QStringLiteral("Spring\r\n一行目\r\n二行目\r\n"));

    UserDef::setObject(QStringLiteral("-"), QStringLiteral("AlbumSetName"));
    QCOMPARE(instruction(albumReport(*data, dic)), QStringLiteral("一行目\r\n二行目\r\n"));
}

void TestAlbumReport::letteringWithoutMemo() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("アルバム"));
    const auto data = testCatalogue();
    UserDef::setCharInputDic({{QStringLiteral("OrderCharName"), QStringLiteral("山田家")},
                              {QStringLiteral("OrderCharDate"), QStringLiteral("2024年6月1日")}});
    const QString report = albumReport(*data, testAlbum(QStringLiteral("1")));
    QCOMPARE(instruction(report), QStringLiteral("プレート&箔押し用ネーム : 山田家\r\n"
                                                 "プレート&箔押し用日付 : 2024年6月1日\r\n\r\n"));
    QCOMPARE(unitOptions(report),
             (QStringList{QStringLiteral("プレート&箔押し用ネーム|9999,9999,11|山田家|1"),
                          QStringLiteral("プレート&箔押し用日付|9999,9999,11|2024年6月1日|1")}));
}

void TestAlbumReport::choiceTests() {
    const AlbumReportChoices choices({{QStringLiteral("AlSizePop"), QStringLiteral("A4")},
                                      {QStringLiteral("AlPagePop"), QStringLiteral("0")},
                                      {QStringLiteral("AlBoxPop"), QStringLiteral("-")},
                                      {QStringLiteral("AlMiniPop"), QString()},
                                      {QStringLiteral("AlAlbumPop"), QStringLiteral("中ページ")},
                                      {QStringLiteral("AlOrderNum"), QStringLiteral("12冊")},
                                      {QStringLiteral("AlOrderBoxNum"), QStringLiteral("x")}});
    QVERIFY(choices.isSizeValue());
    QVERIFY(!choices.isPageValue());
    QVERIFY(!choices.isBoxValue());
    QVERIFY(!choices.isMiniValue());
    QVERIFY(!choices.isHyouValue()); // absent
    QVERIFY(choices.isInPageType());
    QCOMPARE(choices.copies(), 12);
    QCOMPARE(choices.pages(), 1); // no page value
    QCOMPARE(choices.sheets(), 12);
    QCOMPARE(choices.boxCount(), 0);
    QVERIFY(AlbumReportChoices::isCheckBoxOn(QStringLiteral("1")));
    QVERIFY(AlbumReportChoices::isCheckBoxOn(qint64(1)));
    QVERIFY(!AlbumReportChoices::isCheckBoxOn(QStringLiteral("0")));
    QVERIFY(!AlbumReportChoices::isCheckBoxOn(QStringLiteral("ON")));
    // Without a catalogue every option counts once.
    QCOMPARE(choices.optionQuantity(nullptr, QStringLiteral("ページ補正")), 1);
}

QTEST_GUILESS_MAIN(TestAlbumReport)
#include "tst_AlbumReport.moc"
