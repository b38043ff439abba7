#include "TestHome.h"
#include "product/OrbelCsv.h"
#include "product/ProductAlbumData.h"
#include "service/LabConfig.h"
#include "settings/UserDef.h"

#include <QtTest>

namespace {

QString section(const QString& name, const QString& rows) {
    return QStringLiteral("<!--%1\n%2\n%1-->\n").arg(name, rows);
}

// A small catalogue with CR LF line ends, as a server might send it.
QString catalogue() {
    QString text = QStringLiteral("CSV_DATA_ALBUM test\r\n");
    text += section(ProductAlbumData::kAlbum, "アルバムA\nアルバムB\nアルバムA");
    text += section(ProductAlbumData::kBox, "アルバムA,\"A4,A5\",桐箱,\"8201,1001,11\",ボックス\n"
                                            "アルバムA,!A4,布箱,\"8202,1001,11\",ボックス\n"
                                            "アルバムA,0,紙箱,\"8203,1001,11\",箱\n"
                                            "アルバムA,A4,桐箱,\"8201,1001,11\",ボックス\n"
                                            "アルバムA,A4S,革箱,\"8204,1001,11\",ボックス\n"
                                            "アルバムA,\"!A4,!A5\",木箱,\"8205,1001,11\",ボックス");
    text += section(ProductAlbumData::kHyou, "アルバムA,A4,0,レザー,\"8001,6002,11\",表紙\n"
                                             "アルバムA,A4,20,レザー,\"8001,7002,11\",表紙\n"
                                             "アルバムA,A4,0,クロス,\"8001,5002,11\",表紙\n"
                                             "アルバムA,A4,0,フォト,0,表紙\n"
                                             "アルバムA,A4,0,短い,\"8001,50\",表紙");
    text += section(
        ProductAlbumData::kAlbumCode,
        "アルバムA,A4,20,光沢,なし,\"クロス,フォト,短い\",\"9999,1234,11\",\"9999,4321,11\"\n"
        "アルバムA,A4,30,光沢,なし,クロス,\"9999,12,11\",0\n"
        "アルバムA,A4,20,光沢,なし,レザー,\"8900,1020,11\",0");
    text +=
        section(ProductAlbumData::kInUvMen, "アルバムA,A4,光沢,クロス,UV,\"8920,3001,11\",ラミ");
    text += section(ProductAlbumData::kBbStyle,
                    "アルバムA,0,光沢,\"!レイフラット\",フラット,\"8920,4002,11\",製本");
    text += section(ProductAlbumData::kMini,
                    "アルバムA,A4,20,UV,ミニ,\"8301,1015,11\",\"8301,1115,11\",ミニ");
    text += section(ProductAlbumData::kOpt,
                    "アルバムA,A4,0,0,0,0,レタッチ,\"8401,2001,11\"\n"
                    "キネロのお申し込み,0,0,0,0,0,キネロのお申し込み,\"8960,1002,11\"");
    text += section(ProductAlbumData::kOptPageQu, "レタッチ\n\"レイアウト編集,見開き追加\"");
    text += section(ProductAlbumData::kOrderLimit, "アルバムA,5\nアルバムB,3\nアルバムB,4");
    text += section(ProductAlbumData::kSalon3465, "銀座サロン,S01\n\n横浜サロン,S02");
    text += section(ProductAlbumData::kMasSize, "A4,A4判\nA5,A5判\nひとつだけ\nA4,A4スクエア");
    text += section(ProductAlbumData::kMasCatalog,
                    "アルバムA,https://lab.example/a.html\nCATALOG_TOP,https://lab.example/\n"
                    "アルバムB,");
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text;
}

QVariantMap choices(const QString& size, const QString& page, const QString& cover) {
    return QVariantMap{{"AlAlbumPop", QStringLiteral("アルバムA")},
                       {"AlSizePop", size},
                       {"AlPagePop", page},
                       {"AlInpMenPop", QStringLiteral("光沢")},
                       {"AlInpRamiPop", QStringLiteral("なし")},
                       {"AlHyouPop", cover}};
}

} // namespace

class TestProductAlbumData : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void csvRule_data();
    void csvRule();
    void sectionsAndLineEnds();
    void listNegationAndWildcardMatching();
    void codeAndLabelLookups();
    void codeReplacementOf9999();
    void lookupsReadTheSavedChoices();
    void mastersAndCatalogueAddresses();
    void limitsMembershipsAndWholeRows();
    void damagedTextNeitherCrashesNorHangs();
};

void TestProductAlbumData::csvRule_data() {
    QTest::addColumn<QString>("row");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("quoted list") << "a,\"b,c\",d" << QStringList{"a", "b,c", "d"};
    QTest::newRow("doubled quote") << "a\"\"b,c" << QStringList{"ab", "c"};
    QTest::newRow("joined parts") << "\"a,b\"\",c\",d" << QStringList{"a,b,c", "d"};
    QTest::newRow("unclosed quote") << "a,\"b,c" << QStringList{"a", "b", "c"};
    QTest::newRow("unclosed after pair") << "\"a\"b\"c,d" << QStringList{"abc", "d"};
    QTest::newRow("not trimmed") << " a , b " << QStringList{" a ", " b "};
    QTest::newRow("empty") << "" << QStringList{""};
    QTest::newRow("empty fields") << ",," << QStringList{"", "", ""};
}

void TestProductAlbumData::csvRule() {
    QFETCH(QString, row);
    QFETCH(QStringList, fields);
    QCOMPARE(orbel::csvStringSeparate(row), fields);
}

void TestProductAlbumData::sectionsAndLineEnds() {
    TestHome home;
    const ProductAlbumData album(catalogue());
    QVERIFY(!album.productCsvs().contains(u'\r'));
    QCOMPARE(UserDef::appStatus(), QStringLiteral("ProductAlbumData init end"));
    QCOMPARE(album.productArrayDic().size(), 27);
    QCOMPARE(album.productArrayDic().value(ProductAlbumData::kBox).size(), 6);
    // Missing sections have no rows.
    QVERIFY(album.productArrayDic().value(ProductAlbumData::kHyouCol).isEmpty());
    QVERIFY(album.itemsWithKey(ProductAlbumData::kHyouCol, QStringList{"アルバムA"}).isEmpty());
    QVERIFY(album.itemsWithKey(QStringLiteral("NO_SUCH_SECTION")).isEmpty());

    // Similar names do not run into each other; markers out of order give nothing.
    const QString text = section("X_HYOU_COL", "col") + section("X_HYOU", "hyou");
    QCOMPARE(ProductAlbumData::sectionText(text, "X_HYOU"), QStringLiteral("hyou"));
    QCOMPARE(ProductAlbumData::sectionText(text, "X_HYOU_COL"), QStringLiteral("col"));
    QCOMPARE(ProductAlbumData::sectionText("\nS-->\n<!--S\nrow", "S"), QString());
    QCOMPARE(ProductAlbumData::sectionText("<!--S\nrow", "S"), QString());
    QCOMPARE(ProductAlbumData::sectionText("<!--S\nS-->", "S"), QString());
}

void TestProductAlbumData::listNegationAndWildcardMatching() {
    TestHome home;
    const ProductAlbumData album(catalogue());
    const QString box = ProductAlbumData::kBox;
    QCOMPARE(album.itemsWithKey(box, QStringList{"アルバムA", "A4"}),
             (QStringList{"桐箱", "紙箱"}));
    QCOMPARE(album.itemsWithKey(box, QStringList{"アルバムA", "A5"}),
             (QStringList{"桐箱", "布箱", "紙箱"}));
    // "A4" is not a part of "A4S", and a "!" list excludes each of its values.
    QCOMPARE(album.itemsWithKey(box, QStringList{"アルバムA", "A4S"}),
             (QStringList{"布箱", "紙箱", "革箱", "木箱"}));
    QCOMPARE(album.itemsWithKey(box, QStringList{"アルバムA", "B5"}),
             (QStringList{"布箱", "紙箱", "木箱"}));
    // The key "0" matches any cell.
    QCOMPARE(album.itemsWithKey(box, QStringList{"アルバムA", "0"}),
             (QStringList{"桐箱", "布箱", "紙箱", "革箱", "木箱"}));
    QVERIFY(album.itemsWithKey(box, QStringList{"アルバムB", "A4"}).isEmpty());
    // No keys: the first column, each value once.
    QCOMPARE(album.itemsAlbum(), (QStringList{"アルバムA", "アルバムB"}));
    // Item columns beyond a row's fields contribute nothing.
    QVERIFY(album.itemsWithKey(box, QStringList{"アルバムA", "A4", "桐箱", "0", "0"}).isEmpty());
}

void TestProductAlbumData::codeAndLabelLookups() {
    TestHome home;
    const ProductAlbumData album(catalogue());
    // One code repeated on two rows is that code; two different codes are no code.
    QCOMPARE(album.codeWithKey(ProductAlbumData::kBox, QStringList{"アルバムA", "A4", "桐箱"}),
             QStringLiteral("8201,1001,11"));
    QCOMPARE(
        album.codeWithKey(ProductAlbumData::kHyou, QStringList{"アルバムA", "A4", "20", "レザー"}),
        QString());
    QCOMPARE(
        album.codeWithKey(ProductAlbumData::kHyou, QStringList{"アルバムA", "A4", "30", "レザー"}),
        QStringLiteral("8001,6002,11"));
    // Labels take the first matching row.
    QCOMPARE(album.labelWithKey(ProductAlbumData::kBox, QStringList{"アルバムA", "0", "0", "0"}),
             QStringLiteral("ボックス"));
    QCOMPARE(album.labelWithKey(ProductAlbumData::kBox, QStringList{"アルバムA", "B5", "0", "0"}),
             QStringLiteral("ボックス"));
    QCOMPARE(album.labelWithKey(ProductAlbumData::kBox, QStringList{"アルバムC"}), QString());
}

void TestProductAlbumData::codeReplacementOf9999() {
    TestHome home;
    const ProductAlbumData album(catalogue());
    const QVariantMap cloth = choices("A4判", "20", "クロス");
    QCOMPARE(album.productCodePure(cloth), QStringLiteral("9999,1234,11"));
    QVERIFY(album.isProductCodeTop9999(cloth));
    QCOMPARE(album.productCode(cloth), QStringLiteral("8001,1234,11"));
    QCOMPARE(album.productCode2(cloth), QStringLiteral("5002,4321,11"));
    QCOMPARE(album.hyouCode(cloth), QStringLiteral("9999,9999,11"));

    // A cover code too short for either part leaves "9999" in place.
    QCOMPARE(album.productCode(choices("A4判", "20", "フォト")), QStringLiteral("9999,1234,11"));
    const QVariantMap shortCode = choices("A4判", "20", "短い");
    QCOMPARE(album.hyouCodeTop4(shortCode), QStringLiteral("8001"));
    QCOMPARE(album.hyouCodeSecond4(shortCode), QStringLiteral("9999"));
    QCOMPARE(album.productCode2(shortCode), QStringLiteral("9999,4321,11"));

    // Only a 12-character code starting with 9999 is replaced.
    const QVariantMap page30 = choices("A4判", "30", "クロス");
    QCOMPARE(album.productCode(page30), QStringLiteral("9999,12,11"));
    QVERIFY(!album.isProductCodeTop9999(page30));
    QCOMPARE(album.productCode2(page30), QStringLiteral("0"));

    const QVariantMap leather = choices("A4判", "20", "レザー");
    QCOMPARE(album.productCode(leather), QStringLiteral("8900,1020,11"));
    QVERIFY(ProductAlbumData::isCodeTop9999("9999,0000,00"));
    QVERIFY(!ProductAlbumData::isCodeTop9999("9999,000,000a"));
    QVERIFY(!ProductAlbumData::isCodeTop9999("8999,0000,00"));
}

void TestProductAlbumData::lookupsReadTheSavedChoices() {
    TestHome home;
    const ProductAlbumData album(catalogue());
    // Nothing saved: every lookup is empty.
    QCOMPARE(album.productCode(), QString());
    QCOMPARE(album.inUVMenCode(), QString());

    QVariantMap saved = choices("A4スクエア", "20", "クロス");
    saved.insert("AlInpRamiPop", QStringLiteral("UV"));
    saved.insert("AlBBStylePop", QStringLiteral("フラット"));
    saved.insert("AlMiniPop", QStringLiteral("ミニ"));
    UserDef::setAlbumDic(saved);
    // The view size is turned back into the catalogue's size; keys go in each table's order.
    QCOMPARE(album.inUVMenCode(), QStringLiteral("8920,3001,11"));
    QCOMPARE(album.bBStyleCode(), QStringLiteral("8920,4002,11"));
    QCOMPARE(album.miniCode(), QStringLiteral("8301,1015,11"));
    QCOMPARE(album.miniCode2(), QStringLiteral("8301,1115,11"));
    QCOMPARE(album.optCodeForOptName(QStringLiteral("レタッチ")), QStringLiteral("8401,2001,11"));
    QCOMPARE(album.optCodeForOptName(QStringLiteral("キネロのお申し込み")), QString());
    QCOMPARE(album.kineloCodeForOptName(QStringLiteral("キネロのお申し込み")),
             QStringLiteral("8960,1002,11"));
    QCOMPARE(album.boxCode(), QString());
}

void TestProductAlbumData::mastersAndCatalogueAddresses() {
    TestHome home;
    const ProductAlbumData album(catalogue());
    // A later row wins; a row with one field is skipped.
    QCOMPARE(album.viewSizeFromSize("A4"), QStringLiteral("A4スクエア"));
    QCOMPARE(album.sizeFromViewSize("A4スクエア"), QStringLiteral("A4"));
    QCOMPARE(album.sizeFromViewSize("A4判"), QStringLiteral("A4"));
    QCOMPARE(album.sizeFromViewSize("50枚セット"), QStringLiteral("50枚セット"));
    QCOMPARE(album.viewSizeFromSize("ひとつだけ"), QStringLiteral("ひとつだけ"));

    QCOMPARE(album.catalogURLFromKey("アルバムA"), QStringLiteral("https://lab.example/a.html"));
    QCOMPARE(album.catalogURLFromKey("アルバムZ"), QStringLiteral("https://lab.example/"));
    QCOMPARE(album.catalogURLFromKey("アルバムB"), QStringLiteral("https://lab.example/"));
    const ProductAlbumData bare(section(ProductAlbumData::kMasCatalog, "アルバムA,https://x/"));
    QCOMPARE(bare.catalogURLFromKey("アルバムZ"), LabConfig::webServer() + "/");
}

void TestProductAlbumData::limitsMembershipsAndWholeRows() {
    TestHome home;
    const ProductAlbumData album(catalogue());
    QCOMPARE(album.orderLimit("アルバムA"), 5);
    QCOMPARE(album.orderLimit("アルバムB"), 0); // two values: no limit rather than a guess
    QCOMPARE(album.orderLimit("アルバムZ"), 0);
    QVERIFY(album.isOptionPageQuantity("レタッチ"));
    QVERIFY(album.isOptionPageQuantity("レイアウト編集,見開き追加"));
    QVERIFY(!album.isOptionPageQuantity("レイアウト編集"));
    QVERIFY(!album.isOptionOrderQuantity("レタッチ"));
    QVERIFY(!album.isPutNameDateProduct("レタッチ"));
    // Blank rows stay in the rows read whole.
    const ProductAlbumData::Rows salons = album.salonArray3465();
    QCOMPARE(salons.size(), 3);
    QCOMPARE(salons.at(0), (QStringList{"銀座サロン", "S01"}));
    QCOMPARE(salons.at(1), QStringList{QString()});
    QVERIFY(album.venueArray3465().isEmpty());
}

void TestProductAlbumData::damagedTextNeitherCrashesNorHangs() {
    TestHome home;
    // 100,000 empty rows, then rows with quotes that never close.
    QString rows(100'000, u'\n');
    rows += QStringLiteral("アルバムA,\"A4,桐箱\n\"\"\"\n") + QString(50'000, u'"') + u',' +
            QString(20'000, u',') + QStringLiteral("\"x");
    const QString text = section(ProductAlbumData::kBox, rows) +
                         QStringLiteral("<!--CSV_DATA_ALBUM_AL_HYOU\nアルバムA,\"A4");
    const ProductAlbumData album(text);
    const ProductAlbumData::Rows box = album.productArrayDic().value(ProductAlbumData::kBox);
    QCOMPARE(box.size(), 100'003);
    QCOMPARE(box.at(100'000), (QStringList{"アルバムA", "A4", "桐箱"}));
    QCOMPARE(box.last().size(), 20'002);
    QCOMPARE(album.itemsWithKey(ProductAlbumData::kBox, QStringList{"アルバムA", "A4"}),
             (QStringList{"桐箱"}));
    QCOMPARE(album.itemsWithKey(ProductAlbumData::kBox), (QStringList{QString(), "アルバムA"}));
    // The unterminated section is empty.
    QVERIFY(album.productArrayDic().value(ProductAlbumData::kHyou).isEmpty());
    QCOMPARE(album.productCode(choices("A4", "20", "クロス")), QString());

    const ProductAlbumData empty{QString()};
    QVERIFY(empty.itemsAlbum().isEmpty());
    QCOMPARE(empty.orderLimit("アルバムA"), 0);
}

QTEST_GUILESS_MAIN(TestProductAlbumData)
#include "tst_ProductAlbumData.moc"
