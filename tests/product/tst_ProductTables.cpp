#include "TestHome.h"
#include "product/ProductOneTableInfo.h"
#include "product/ProductPopUpList.h"
#include "product/ProductPrintData.h"
#include "product/ProductResizeData.h"
#include "product/ProductSchoolData.h"
#include "product/ProductXmlReader.h"
#include "settings/UserDef.h"

#include <QtTest>

namespace {

// A print catalogue small enough to reason about: categories 10, 2, 1 out of order, size 5
// linked to surfaces 3 and 7 (and a laminate), a NAME column in capitals.
const char* const kPrintXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<dataroot>
  <xml_ver><ver_no>3</ver_no></xml_ver>
  <tb_print_list><id>10</id><name>ウェルカムボードおよび販促グッズ</name></tb_print_list>
  <tb_print_list><id>2</id><name>ポストカード</name></tb_print_list>
  <tb_print_list><id>1</id><NAME>銀塩プリント</NAME></tb_print_list>
  <tb_print_size><id>5</id><list_id>1</list_id><name>Lサイズ</name><label>プリントサイズ</label><code>8814,1001,11</code></tb_print_size>
  <tb_print_size><id>6</id><list_id>1</list_id><name>2Lサイズ</name><code>8814,1002,11</code></tb_print_size>
  <tb_print_size><id>8</id><list_id>2</list_id><name>はがき</name><code>8830</code></tb_print_size>
  <tb_print_size_surface_link><id>1</id><size_id>5</size_id><surface_id>7</surface_id></tb_print_size_surface_link>
  <tb_print_size_surface_link><id>2</id><size_id>5</size_id><surface_id>3</surface_id></tb_print_size_surface_link>
  <tb_print_size_surface_link><id>3</id><size_id>6</size_id><surface_id>3</surface_id></tb_print_size_surface_link>
  <tb_print_size_surface_link><id>4</id><size_id>8</size_id><surface_id>9</surface_id></tb_print_size_surface_link>
  <tb_print_surface><id>3</id><name>光沢</name><code>11</code></tb_print_surface>
  <tb_print_surface><id>7</id><name>絹目</name><code>12</code></tb_print_surface>
  <tb_print_surface><id>9</id><name>光沢（片面）</name><code>1101,11</code></tb_print_surface>
  <tb_print_size_laminate_link><id>1</id><size_id>5</size_id><laminate_id>2</laminate_id></tb_print_size_laminate_link>
  <tb_print_laminate><id>2</id><name>UVラミネート</name><code>8850,9001,11</code></tb_print_laminate>
  <tb_print_laminate><id>4</id><name>防水ラミネート</name><code>8860,9001,11</code></tb_print_laminate>
  <other><tb_print_list><id>77</id><name>入れ子は数えない</name></tb_print_list></other>
</dataroot>
)";

QVariantMap query(const QString& column, const QString& value) {
    return {{column, value}};
}

QStringList ids(const QList<ProductRecord>& records) {
    QStringList list;
    for (const ProductRecord& record : records) {
        list.append(record.value(QStringLiteral("id")).toString());
    }
    return list;
}

} // namespace

class TestProductTables : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parsingReadsDirectChildrenAndLowerCasesColumns();
    void recordsAreOrderedByIntegerId();
    void sortingKeepsRecordsWithDamagedIds();
    void andAndOrQueries();
    void linkFillForSizeAndForNoSize();
    void duplicateNamesKeepTheHigherId();
    void selectKeepFallsBackToFirstItem();
    void tagsChooseTablesAndUnknownTagLeavesPopup();
    void resizeChainGoesThroughGoodsLinks();
    void testModeTitlesShowEveryColumn();
    void truncatedXmlGivesEmptyTables();
    void entityDeclarationsAreRefused_data();
    void entityDeclarationsAreRefused();
    void garbageAndEmptyTextGiveEmptyTables();
};

void TestProductTables::parsingReadsDirectChildrenAndLowerCasesColumns() {
    TestHome home;
    const QList<ProductRecord> categories = ProductOneTableInfo::allRecordDicFromXmlData(
        QStringLiteral("tb_print_list"), QString::fromUtf8(kPrintXml));
    // Document order, and the nested record under <other> does not count.
    QCOMPARE(ids(categories), (QStringList{"10", "2", "1"}));
    QCOMPARE(categories.at(2).value("name").toString(), QStringLiteral("銀塩プリント"));
    QVERIFY(!categories.at(2).contains("NAME"));

    // A later child with the same lower-case name overwrites the earlier one; nested text is
    // the column's text content.
    const QString xml = QStringLiteral(
        "<r><t><id>1</id><Name>古い</Name><NAME>新しい</NAME><memo>a<b>b</b>c</memo></t></r>");
    const ProductOneTableInfo table(QStringLiteral("t"), xml);
    QCOMPARE(table.tableName(), QStringLiteral("t"));
    QCOMPARE(table.allRecords().size(), 1);
    QCOMPARE(table.allRecords().first().value("name").toString(), QStringLiteral("新しい"));
    QCOMPARE(table.allRecords().first().value("memo").toString(), QStringLiteral("abc"));

    const auto elements = ProductXmlReader::rootChildElements(QString::fromUtf8(kPrintXml));
    QVERIFY(elements.has_value());
    QCOMPARE(elements->first().name, QStringLiteral("xml_ver"));
    QCOMPARE(elements->first().record.value("ver_no").toString(), QStringLiteral("3"));
}

void TestProductTables::recordsAreOrderedByIntegerId() {
    TestHome home;
    const ProductPrintData print(QString::fromUtf8(kPrintXml));
    ProductPopUpList category(ProductPrintData::kCategoryTag);
    print.makePopup(category, std::nullopt);
    QCOMPARE(category.itemTitles(),
             (QStringList{"銀塩プリント", "ポストカード", "ウェルカムボードおよび販促グッズ"}));
    QCOMPARE(category.indexOfSelectedItem(), 0);
    QVERIFY(category.isEnabled());
    QCOMPARE(category.selectedRecordId(), std::optional<QString>(QStringLiteral("1")));

    QCOMPARE(ids(ProductOneTableInfo::sortRecordsArray(
                 {{{"id", "10"}}, {{"id", "2"}}, {{"id", "100000000000"}}, {{"id", "1"}}})),
             (QStringList{"1", "2", "10", "100000000000"}));
}

void TestProductTables::sortingKeepsRecordsWithDamagedIds() {
    // Records whose id is missing, padded or repeated stay in the list instead of vanishing.
    const QList<ProductRecord> sorted =
        ProductOneTableInfo::sortRecordsArray({{{"id", "3"}, {"name", "c"}},
                                               {{"name", "no id"}},
                                               {{"id", "02"}, {"name", "b"}},
                                               {{"id", "3"}, {"name", "c2"}}});
    QCOMPARE(sorted.size(), 4);
    QStringList names;
    for (const ProductRecord& r : sorted) {
        names.append(r.value("name").toString());
    }
    QCOMPARE(names, (QStringList{"no id", "b", "c", "c2"}));
}

void TestProductTables::andAndOrQueries() {
    TestHome home;
    const ProductPrintData print(QString::fromUtf8(kPrintXml));
    const ProductOneTableInfo* sizes = print.tableInfoDicForTagNo(ProductPrintData::kSizeTag);
    QVERIFY(sizes);
    QCOMPARE(ids(sizes->andQueryForQueryDic(query("list_id", "1"))), (QStringList{"5", "6"}));
    QCOMPARE(sizes->andQueryForQueryDic(std::nullopt).size(), 3);
    // Every pair must hold; a record without the queried column fails.
    QCOMPARE(ids(sizes->andQueryForQueryDic(
                 QVariantMap{{"list_id", "1"}, {"name", QStringLiteral("2Lサイズ")}})),
             (QStringList{"6"}));
    QVERIFY(sizes->andQueryForQueryDic(query("label", "")).isEmpty());
    QVERIFY(sizes->andQueryForQueryDic(query("list_id", "01")).isEmpty());

    const QVariantList either{QVariantMap{{"column", "id"}, {"value", "8"}},
                              QVariantMap{{"column", "code"}, {"value", "8814,1002,11"}}};
    QCOMPARE(ids(sizes->orQueryForQueryArray(either)), (QStringList{"6", "8"}));
    QVERIFY(sizes->orQueryForQueryArray(QVariantList()).isEmpty());
    QCOMPARE(sizes->orQueryForQueryArray(std::nullopt).size(), 3);
}

void TestProductTables::linkFillForSizeAndForNoSize() {
    TestHome home;
    const ProductPrintData print(QString::fromUtf8(kPrintXml));
    ProductPopUpList surface(ProductPrintData::kSurfaceTag);
    print.makePopup(surface, query("size_id", "5"));
    QCOMPARE(surface.itemTitles(), (QStringList{"光沢", "絹目"})); // ids 3 then 7
    QCOMPARE(surface.itemRecordAtIndex(1).value("code").toString(), QStringLiteral("12"));
    QVERIFY(surface.isEnabled());

    ProductPopUpList laminate(ProductPrintData::kLaminateTag);
    print.makePopup(laminate, query("size_id", "5"));
    QCOMPARE(laminate.itemTitles(), (QStringList{"UVラミネート"}));

    // No size selected: "-1" links nothing, the pop-up is emptied and disabled.
    print.makePopup(surface, query("size_id", "-1"));
    QVERIFY(surface.isNoItem());
    QVERIFY(!surface.isEnabled());
    QCOMPARE(surface.selectedRecordDic(), std::nullopt);

    // The please-select category's id finds no size.
    ProductPopUpList size(ProductPrintData::kSizeTag);
    print.makePopup(size, query("list_id", ProductPopUpButton::kPleaseSelectId));
    QVERIFY(size.isNoItem());
    QVERIFY(!size.isEnabled());
}

void TestProductTables::duplicateNamesKeepTheHigherId() {
    TestHome home;
    ProductPopUpList popup(302);
    ProductOneTableInfo::addPopup(
        popup,
        {{{"id", "9"}, {"name", "A"}}, {{"id", "4"}, {"name", "A"}}, {{"id", "6"}, {"name", "B"}}});
    QCOMPARE(popup.itemTitles(), (QStringList{"B", "A"}));
    QCOMPARE(popup.itemRecordAtIndex(1).value("id").toString(), QStringLiteral("9"));
    QCOMPARE(popup.indexOfSelectedItem(), 0);
}

void TestProductTables::selectKeepFallsBackToFirstItem() {
    TestHome home;
    const ProductPrintData print(QString::fromUtf8(kPrintXml));
    ProductPopUpList surface(ProductPrintData::kSurfaceTag);
    print.makePopup(surface, query("size_id", "5"));
    QVERIFY(surface.selectItemFromRecordId("7"));
    QCOMPARE(surface.selectedRecordName(), QStringLiteral("絹目"));

    // Size 6 offers only 光沢: the kept title 絹目 is gone, the first item is chosen.
    print.makePopupSelectKeep(surface, query("size_id", "6"));
    QCOMPARE(surface.itemTitles(), (QStringList{"光沢"}));
    QCOMPARE(surface.selectedRecordName(), QStringLiteral("光沢"));

    // Back to size 5 with 光沢 chosen: it stays chosen although it is no longer first-only.
    print.makePopup(surface, query("size_id", "5"));
    QVERIFY(surface.selectItemFromRecordId("3"));
    print.makePopupSelectKeep(surface, query("size_id", "5"));
    QCOMPARE(surface.selectedRecordId(), std::optional<QString>(QStringLiteral("3")));
    surface.selectItemAtIndex(1);
    print.makePopupSelectKeep(surface, query("size_id", "5"));
    QCOMPARE(surface.selectedRecordName(), QStringLiteral("絹目"));

    // The school twin behaves the same.
    const ProductSchoolData school(QStringLiteral(
        "<r><tb_school_size><id>1</id><list_id>1</list_id><name>L</name></tb_school_size>"
        "<tb_school_size><id>2</id><list_id>1</list_id><name>2L</name></tb_school_size>"
        "<tb_school_size><id>3</id><list_id>2</list_id><name>2L</name></tb_school_size></r>"));
    ProductPopUpList schoolSize(ProductSchoolData::kSizeTag);
    school.makePopup(schoolSize, query("list_id", "1"));
    schoolSize.selectItemAtIndex(1);
    school.makePopupSelectKeep(schoolSize, query("list_id", "2"));
    QCOMPARE(schoolSize.selectedRecordId(), std::optional<QString>(QStringLiteral("3")));
}

void TestProductTables::tagsChooseTablesAndUnknownTagLeavesPopup() {
    TestHome home;
    const ProductPrintData print(QString::fromUtf8(kPrintXml));
    QCOMPARE(print.tableInfoDic().size(), 6);
    QCOMPARE(print.tableInfoDicForTagNo(301)->tableName(), QStringLiteral("tb_print_list"));
    QCOMPARE(print.tableInfoDicForTagNo(304)->tableName(), QStringLiteral("tb_print_laminate"));
    QCOMPARE(print.tableInfoDicForTagNo(601), nullptr);
    QCOMPARE(print.xmlData(), QString::fromUtf8(kPrintXml));

    ProductPopUpList stranger(402);
    stranger.addItemWithTitle("そのまま", {{"id", "1"}, {"name", "そのまま"}});
    print.makePopup(stranger, std::nullopt);
    QCOMPARE(stranger.itemTitles(), (QStringList{"そのまま"}));

    const ProductSchoolData school(QString::fromUtf8(kPrintXml));
    QCOMPARE(school.tableInfoDicForTagNo(601)->tableName(), QStringLiteral("tb_school_list"));
    QVERIFY(school.tableInfoDicForTagNo(601)->allRecords().isEmpty());
    QCOMPARE(school.tableInfoDicForTagNo(301), nullptr);
}

void TestProductTables::resizeChainGoesThroughGoodsLinks() {
    TestHome home;
    const ProductResizeData resize(QStringLiteral(
        "<r><tb_resize_size><id>5</id><list_id>2</list_id><name>インデックス</name>"
        "<resize_pix>1999</resize_pix></tb_resize_size>"
        "<tb_resize_size_goods_link><id>1</id><size_id>5</size_id><goods_id>4</goods_id>"
        "</tb_resize_size_goods_link>"
        "<tb_resize_size_goods_link><id>2</id><size_id>6</size_id><goods_id>1</goods_id>"
        "</tb_resize_size_goods_link>"
        "<tb_resize_size_goods_link><id>3</id><size_id>5</size_id></tb_resize_size_goods_link>"
        "<tb_resize_goods><id>1</id><name>別サイズ用</name><cut>1</cut></tb_resize_goods>"
        "<tb_resize_goods><id>4</id><name>証明写真</name><cut>0</cut></tb_resize_goods>"
        "<tb_resize_goods_goods_option_link><id>1</id><goods_id>4</goods_id>"
        "<goods_option_id>2</goods_option_id></tb_resize_goods_goods_option_link>"
        "<tb_resize_goods_option><id>2</id><name>縦4cm</name><cut>4</cut>"
        "</tb_resize_goods_option></r>"));
    QCOMPARE(resize.tableInfoDic().size(), 8);
    ProductPopUpList goods(ProductResizeData::kGoodsTag);
    resize.makePopup(goods, query("size_id", "5"));
    // The link row without goods_id links nothing.
    QCOMPARE(goods.itemTitles(), (QStringList{"証明写真"}));
    ProductPopUpList option(ProductResizeData::kGoodsOptionTag);
    resize.makePopup(option, query("goods_id", goods.selectedRecordId().value()));
    QCOMPARE(option.itemTitles(), (QStringList{"縦4cm"}));
    QCOMPARE(option.selectedRecordDic()->value("cut").toString(), QStringLiteral("4"));
    resize.makePopup(option, query("goods_id", "-1"));
    QVERIFY(option.isNoItem());
}

void TestProductTables::testModeTitlesShowEveryColumn() {
    TestHome home;
    const ProductRecord record{
        {"id", "5"}, {"name", "Lサイズ"}, {"code", "8814"}, {"list_id", "1"}};
    QCOMPARE(ProductOneTableInfo::popupTitle(record, false), QStringLiteral("Lサイズ"));
    QCOMPARE(ProductOneTableInfo::popupTitle(record, true),
             QStringLiteral("5: Lサイズ\t [code]8814 [list_id]1"));

    UserDef::setObject(QStringLiteral("TestMode"), QStringLiteral("PhotoStudioName"));
    UserDef::setObject(QStringLiteral("3500"), QStringLiteral("CustomerCode"));
    QVERIFY(UserDef::isTestMode());
    ProductPopUpList popup(302);
    ProductOneTableInfo::addPopup(popup, {record});
    QCOMPARE(popup.itemTitles(), (QStringList{"5: Lサイズ\t [code]8814 [list_id]1"}));
    QCOMPARE(popup.selectedRecordName(), QStringLiteral("Lサイズ"));
}

void TestProductTables::truncatedXmlGivesEmptyTables() {
    TestHome home;
    const QString full = QString::fromUtf8(kPrintXml);
    // Cut in the middle of a record, in the middle of a tag, and just before the root closes.
    for (const qsizetype cut :
         {full.indexOf("<tb_print_size>") + 30, full.size() / 2, full.lastIndexOf("</dataroot>")}) {
        const ProductPrintData print(full.left(cut));
        for (const ProductOneTableInfo& table : print.tableInfoDic()) {
            QVERIFY2(table.allRecords().isEmpty(), qPrintable(table.tableName()));
        }
        ProductPopUpList category(301);
        print.makePopup(category, std::nullopt);
        QVERIFY(category.isNoItem());
        QVERIFY(!category.isEnabled());
    }
}

void TestProductTables::entityDeclarationsAreRefused_data() {
    QTest::addColumn<QString>("xml");
    // The classic exponential expansion: ten levels of ten references each.
    QString laughs = QStringLiteral("<?xml version=\"1.0\"?>\n<!DOCTYPE r [\n"
                                    "<!ENTITY l0 \"lol\">\n");
    for (int i = 1; i <= 9; ++i) {
        QString refs;
        for (int j = 0; j < 10; ++j) {
            refs += QStringLiteral("&l%1;").arg(i - 1);
        }
        laughs += QStringLiteral("<!ENTITY l%1 \"%2\">\n").arg(i).arg(refs);
    }
    laughs += QStringLiteral("]>\n<r><tb_print_list><id>1</id><name>&l9;</name></tb_print_list>"
                             "<tb_print_list><id>2</id><name>ok</name></tb_print_list></r>");
    QTest::newRow("billion laughs") << laughs;

    QString parameter = QStringLiteral("<!DOCTYPE r [\n<!ENTITY % p0 \"x\">\n");
    for (int i = 1; i <= 9; ++i) {
        QString refs;
        for (int j = 0; j < 10; ++j) {
            refs += QStringLiteral("%p%1;").arg(i - 1);
        }
        parameter += QStringLiteral("<!ENTITY % p%1 \"%2\">\n").arg(i).arg(refs);
    }
    parameter +=
        QStringLiteral("]>\n<r><tb_print_list><id>1</id><name>x</name></tb_print_list></r>");
    QTest::newRow("parameter entities") << parameter;

    QTest::newRow("external entity")
        << QStringLiteral("<!DOCTYPE r [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>"
                          "<r><tb_print_list><id>1</id><name>&e;</name></tb_print_list></r>");
    QTest::newRow("undeclared entity")
        << QStringLiteral("<r><tb_print_list><id>1</id><name>&nothere;</name></tb_print_list></r>");
}

void TestProductTables::entityDeclarationsAreRefused() {
    QFETCH(QString, xml);
    TestHome home;
    const ProductPrintData print(xml);
    QVERIFY(print.tableInfoDicForTagNo(301)->allRecords().isEmpty());
    QVERIFY(!ProductXmlReader::rootChildElements(xml).has_value());
}

void TestProductTables::garbageAndEmptyTextGiveEmptyTables() {
    TestHome home;
    for (const QString& text :
         {QString(), QStringLiteral("<html><body>503</body>"), QStringLiteral("not xml at all"),
          QStringLiteral("<r></r><r2></r2>")}) {
        const ProductResizeData resize(text);
        QCOMPARE(resize.tableInfoDic().size(), 8);
        for (const ProductOneTableInfo& table : resize.tableInfoDic()) {
            QVERIFY(table.allRecords().isEmpty());
        }
    }
    // A plain DOCTYPE without entities is an ordinary document.
    const ProductPrintData plain(QStringLiteral(
        "<!DOCTYPE r><r><tb_print_list><id>1</id><name>&amp;</name></tb_print_list></r>"));
    QCOMPARE(plain.tableInfoDicForTagNo(301)->allRecords().first().value("name").toString(),
             QStringLiteral("&"));
}

QTEST_GUILESS_MAIN(TestProductTables)
#include "tst_ProductTables.moc"
