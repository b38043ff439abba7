#include "TestHome.h"
#include "product/ProductAlbumData.h"
#include "product/ProductPopUpList.h"
#include "product/ProductPrintData.h"
#include "product/ProductResizeData.h"
#include "product/ProductSchoolData.h"
#include "product/ProductXmlReader.h"
#include "util/StringUtil.h"
#include "util/Tool.h"

#include <QFile>
#include <QSet>
#include <QtTest>

namespace {

QString readResource(const QString& name, const QString& type) {
    QFile file(Tool::resourcePath(name, type));
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

QSet<QString> columnValues(const ProductOneTableInfo& table, const QString& column) {
    QSet<QString> values;
    for (const ProductRecord& record : table.allRecords()) {
        values.insert(record.value(column).toString());
    }
    return values;
}

// Every table is filled, ids are unique, sizes name existing categories and link rows name
// existing records on both sides.
void checkIntegrity(const ProductXmlCatalog& catalog, const QString& prefix) {
    for (const ProductOneTableInfo& table : catalog.tableInfoDic()) {
        QVERIFY2(!table.allRecords().isEmpty(), qPrintable(table.tableName()));
        QCOMPARE(columnValues(table, "id").size(), table.allRecords().size());
    }
    const auto table = [&](const QString& suffix) {
        return *catalog.tableInfoForName(prefix + suffix);
    };
    const QSet<QString> categories = columnValues(table("_list"), "id");
    for (const QString& listId : columnValues(table("_size"), "list_id")) {
        QVERIFY2(categories.contains(listId), qPrintable(listId));
    }
    for (const QString& category : categories) {
        QVERIFY2(columnValues(table("_size"), "list_id").contains(category),
                 qPrintable(prefix + " category without sizes: " + category));
    }
    for (auto it = catalog.tableInfoDic().cbegin(); it != catalog.tableInfoDic().cend(); ++it) {
        if (!it.key().endsWith("_link")) {
            continue;
        }
        for (const ProductRecord& link : it.value().allRecords()) {
            for (auto col = link.cbegin(); col != link.cend(); ++col) {
                if (col.key() == "id") {
                    continue;
                }
                const QString target =
                    col.key() == "size_id" ? prefix + "_size" : prefix + "_" + col.key().chopped(3);
                const ProductOneTableInfo* linked = catalog.tableInfoForName(target);
                QVERIFY2(linked, qPrintable(target));
                QVERIFY2(columnValues(*linked, "id").contains(col.value().toString()),
                         qPrintable(it.key() + ": " + col.value().toString()));
            }
        }
    }
}

// The codes of the surfaces linked to a size.
QStringList surfaceCodes(const ProductXmlCatalog& catalog, int surfaceTag, const QString& sizeId) {
    ProductPopUpList surface(surfaceTag);
    catalog.makePopup(surface, QVariantMap{{"size_id", sizeId}});
    QStringList codes;
    for (int i = 0; i < surface.numberOfItems(); ++i) {
        codes.append(surface.itemRecordAtIndex(i).value("code").toString());
    }
    return codes;
}

qint64 xmlVersion(const QString& xml) {
    const auto elements = ProductXmlReader::rootChildElements(xml);
    if (!elements) {
        return 0;
    }
    for (const ProductXmlReader::Element& element : *elements) {
        if (element.name == "xml_ver") {
            return element.record.value("ver_no").toLongLong();
        }
    }
    return 0;
}

} // namespace

class TestShippedCatalogues : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void printAndSchoolTables_data();
    void printAndSchoolTables();
    void printCodesCoverEveryCompositionRule();
    void resizeTables();
    void albumSectionsAndMasters();
    void everyAlbumChoiceHasItsCodes();
    void placeholderPicture();
};

void TestShippedCatalogues::printAndSchoolTables_data() {
    QTest::addColumn<QString>("resource");
    QTest::addColumn<QString>("prefix");
    QTest::newRow("print") << "tbl_print_new"
                           << "tb_print";
    QTest::newRow("school") << "tbl_school"
                            << "tb_school";
}

void TestShippedCatalogues::printAndSchoolTables() {
    QFETCH(QString, resource);
    QFETCH(QString, prefix);
    TestHome home;
    const QString xml = readResource(resource, "xml");
    QVERIFY(!xml.isEmpty());
    QVERIFY(xmlVersion(xml) > 0);
    const ProductPrintData asPrint(xml);
    const ProductSchoolData asSchool(xml);
    const ProductXmlCatalog& catalog =
        prefix == "tb_print" ? static_cast<const ProductXmlCatalog&>(asPrint) : asSchool;
    checkIntegrity(catalog, prefix);

    const ProductOneTableInfo& list = *catalog.tableInfoForName(prefix + "_list");
    QCOMPARE(list.allRecords().at(0).value("id").toString(), QStringLiteral("10"));
    QCOMPARE(list.allRecords().at(1).value("id").toString(), QStringLiteral("2"));
    QCOMPARE(list.allRecords().at(2).value("id").toString(), QStringLiteral("1"));
    const QSet<QString> names = columnValues(list, "name");
    QVERIFY(names.contains("ポストカード"));
    QVERIFY(names.contains("ウェルカムボードおよび販促グッズ"));
    // Captions come from "label" for some sizes, the default for others.
    const QSet<QString> labels = columnValues(*catalog.tableInfoForName(prefix + "_size"), "label");
    QVERIFY(labels.size() >= 3);
    QVERIFY(labels.contains(QString()));
}

void TestShippedCatalogues::printCodesCoverEveryCompositionRule() {
    TestHome home;
    const ProductPrintData print(readResource("tbl_print_new", "xml"));
    bool whole = false, withTwo = false, withSix = false, withSeven = false, fromSurface = false,
         midFromSurface = false, laminateOnly = false;
    for (const ProductRecord& size : print.tableInfoDicForTagNo(302)->allRecords()) {
        const QString code = size.value("code").toString();
        const qsizetype n = code.size();
        const QStringList surfaces = surfaceCodes(print, 303, size.value("id").toString());
        whole |= n >= 10 && n <= 12;
        for (const QString& f : surfaces) {
            withTwo |= n >= 7 && n <= 9 && f.size() == 2;
            withSix |= n >= 1 && n <= 4 && f.size() == 6;
            withSeven |= n >= 1 && n <= 4 && f.size() == 7;
            fromSurface |= n == 0 && f.size() >= 10 && f.size() <= 12;
            midFromSurface |= n >= 7 && n <= 9 && f.size() >= 10 && f.size() <= 12;
        }
        ProductPopUpList laminate(304);
        print.makePopup(laminate, QVariantMap{{"size_id", size.value("id")}});
        laminateOnly |= n == 0 && surfaces.isEmpty() && !laminate.isNoItem();
    }
    QVERIFY(whole);
    QVERIFY(withTwo);
    QVERIFY(withSix);
    QVERIFY(withSeven);
    QVERIFY(fromSurface);
    QVERIFY(midFromSurface);
    QVERIFY(laminateOnly);
}

void TestShippedCatalogues::resizeTables() {
    TestHome home;
    const QString xml = readResource("tbl_resize", "xml");
    QVERIFY(xmlVersion(xml) > 0);
    const ProductResizeData resize(xml);
    checkIntegrity(resize, "tb_resize");
    const QSet<QString> pixels =
        columnValues(*resize.tableInfoDicForTagNo(ProductResizeData::kSizeTag), "resize_pix");
    for (const char* pix : {"100", "101", "1999", "4999", "5000"}) {
        QVERIFY2(pixels.contains(pix), pix);
    }
    const QSet<QString> cuts =
        columnValues(*resize.tableInfoDicForTagNo(ProductResizeData::kGoodsTag), "cut");
    for (const char* cut : {"0", "1", "4", "999"}) {
        QVERIFY2(cuts.contains(cut), cut);
    }
    QVERIFY(!columnValues(*resize.tableInfoDicForTagNo(405), "cut").isEmpty());
}

void TestShippedCatalogues::albumSectionsAndMasters() {
    TestHome home;
    const std::optional<QString> text = Tool::readResourceTextFile("AlbumData");
    QVERIFY(text.has_value());
    QVERIFY(text->contains("CSV_DATA_ALBUM"));
    const std::optional<QString> stamp = Tool::readResourceTextFile("AlbumDateTime");
    QVERIFY(stamp.has_value());
    QVERIFY(orbel::isDateTimeStr(orbel::deleteLineFeedCode(*stamp)));

    const ProductAlbumData album(*text);
    for (const QString& name : ProductAlbumData::lookupSectionNames()) {
        const ProductAlbumData::Rows rows = album.productArrayDic().value(name);
        QVERIFY2(!rows.isEmpty(), qPrintable(name));
        for (const QStringList& row : rows) {
            QVERIFY2(!row.join(QString()).isEmpty(), qPrintable(name + " has a blank row"));
        }
    }
    const QStringList albums = album.itemsAlbum();
    QVERIFY(albums.contains("ソレイナ"));
    QVERIFY(albums.contains("RAW現像"));
    QVERIFY(albums.contains("ポストカード"));
    QVERIFY(std::any_of(albums.cbegin(), albums.cend(),
                        [](const QString& a) { return a.contains("中ページ"); }));
    QVERIFY(album.masSizeDic().size() >= 3);
    QVERIFY(album.masCatalogDic().contains("CATALOG_TOP"));
    QSet<QString> pageTypes, quantityTypes;
    for (const QString& name : albums) {
        QVERIFY2(album.masCatalogDic().contains(name), qPrintable(name));
        quantityTypes.insert(album.labelWithKey(ProductAlbumData::kOrderNum, QStringList{name}));
        for (const QString& size : album.itemsWithKey(ProductAlbumData::kSize, QStringList{name})) {
            pageTypes.insert(
                album.labelWithKey(ProductAlbumData::kPage, QStringList{name, size, "0"}));
        }
    }
    QCOMPARE(pageTypes, (QSet<QString>{"1", "2"}));
    QCOMPARE(quantityTypes, (QSet<QString>{"1", "2", "3"}));
    QCOMPARE(album.itemsWithKey(ProductAlbumData::kSize, QStringList{"RAW現像"}),
             (QStringList{"50枚セット", "追加10枚セット"}));
    QVERIFY(album.orderLimit("ソレイナ") > 0);
    QVERIFY(!album.kineloCodeForOptName("キネロデータの作成", QVariantMap()).isEmpty());
    QVERIFY(!album.kineloCodeForOptName("キネロのお申し込み", QVariantMap()).isEmpty());
    QVERIFY(album.productCsvs().contains(",!"));
    QVERIFY(album.productCsvs().contains("\"9999,"));
}

void TestShippedCatalogues::everyAlbumChoiceHasItsCodes() {
    TestHome home;
    const ProductAlbumData album(Tool::readResourceTextFile("AlbumData").value_or(QString()));
    const auto firstOr = [](const QStringList& list, const QString& fallback) {
        return list.isEmpty() ? fallback : list.first();
    };
    int combinations = 0, replaced = 0, coverZero = 0;
    for (const QString& name : album.itemsAlbum()) {
        for (const QString& size : album.itemsWithKey(ProductAlbumData::kSize, QStringList{name})) {
            for (const QString& page :
                 album.itemsWithKey(ProductAlbumData::kPage, QStringList{name, size})) {
                const QStringList covers =
                    album.itemsWithKey(ProductAlbumData::kHyou, QStringList{name, size, page});
                for (const QString& cover : covers.isEmpty() ? QStringList{QString()} : covers) {
                    const QString paper =
                        firstOr(album.itemsWithKey(ProductAlbumData::kInMen,
                                                   QStringList{name, size, cover}),
                                "");
                    const QString laminate =
                        firstOr(album.itemsWithKey(ProductAlbumData::kInUvMen,
                                                   QStringList{name, size, paper, cover}),
                                "");
                    QVariantMap dic{
                        {"AlAlbumPop", name},       {"AlSizePop", album.viewSizeFromSize(size)},
                        {"AlPagePop", page},        {"AlInpMenPop", paper},
                        {"AlInpRamiPop", laminate}, {"AlHyouPop", cover}};
                    const QString where = QStringList{name, size, page, cover}.join('/');
                    const QString code = album.productCode(dic);
                    QVERIFY2(code.size() == 12 && !code.startsWith("9999"), qPrintable(where));
                    replaced += album.isProductCodeTop9999(dic) ? 1 : 0;
                    coverZero += !cover.isEmpty() && album.hyouCode(dic) == "0" ? 1 : 0;
                    for (const QString& variation : album.itemsWithKey(
                             ProductAlbumData::kHyouCol, QStringList{name, size, cover})) {
                        dic.insert("AlHyouColPop", variation);
                        QVERIFY2(!album.hyouOpt1Code(dic).isEmpty(), qPrintable(where + variation));
                    }
                    for (const QString& option :
                         album.itemsWithKey(ProductAlbumData::kOpt,
                                            QStringList{name, size, page, cover, "", ""})) {
                        QVERIFY2(!album.optCodeForOptName(option, dic).isEmpty(),
                                 qPrintable(where + option));
                    }
                    ++combinations;
                }
            }
        }
    }
    QVERIFY(combinations > 20);
    QVERIFY(replaced > 0);
    QVERIFY(coverZero > 0);
}

void TestShippedCatalogues::placeholderPicture() {
    QFile file(Tool::resourcePath("not_image", "jpg"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray jpeg = file.readAll();
    QVERIFY(jpeg.startsWith("\xFF\xD8"));
    QVERIFY(jpeg.endsWith("\xFF\xD9"));
    // The frame header gives the picture's size.
    qsizetype at = 2;
    int width = 0, height = 0;
    while (at + 9 < jpeg.size()) {
        const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(jpeg.at(i)); };
        const unsigned char marker = byte(at + 1);
        const int length = byte(at + 2) << 8 | byte(at + 3);
        if (marker >= 0xC0 && marker <= 0xC2) {
            height = byte(at + 5) << 8 | byte(at + 6);
            width = byte(at + 7) << 8 | byte(at + 8);
            break;
        }
        at += 2 + length;
    }
    QCOMPARE(width, 200);
    QCOMPARE(height, 200);
}

QTEST_GUILESS_MAIN(TestShippedCatalogues)
#include "tst_ShippedCatalogues.moc"
