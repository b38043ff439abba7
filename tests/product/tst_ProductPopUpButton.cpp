#include "TestHome.h"
#include "product/ProductPopUpList.h"
#include "product/ProductPrintData.h"

#include <QtTest>

namespace {

const char* const kChainXml = R"(<root>
  <tb_print_list><id>2</id><name>ポストカード</name></tb_print_list>
  <tb_print_list><id>1</id><name>銀塩プリント</name></tb_print_list>
  <tb_print_size><id>1</id><list_id>1</list_id><name>Lサイズ</name></tb_print_size>
  <tb_print_size><id>2</id><list_id>1</list_id><name>2Lサイズ</name></tb_print_size>
  <tb_print_size><id>3</id><list_id>2</list_id><name>はがき</name></tb_print_size>
  <tb_print_size><id>4</id><list_id>2</list_id><name>2Lサイズ</name></tb_print_size>
  <tb_print_size_surface_link><id>1</id><size_id>1</size_id><surface_id>1</surface_id></tb_print_size_surface_link>
  <tb_print_size_surface_link><id>2</id><size_id>1</size_id><surface_id>2</surface_id></tb_print_size_surface_link>
  <tb_print_size_surface_link><id>3</id><size_id>2</size_id><surface_id>1</surface_id></tb_print_size_surface_link>
  <tb_print_size_surface_link><id>4</id><size_id>2</size_id><surface_id>2</surface_id></tb_print_size_surface_link>
  <tb_print_size_surface_link><id>5</id><size_id>4</size_id><surface_id>2</surface_id></tb_print_size_surface_link>
  <tb_print_surface><id>1</id><name>光沢</name></tb_print_surface>
  <tb_print_surface><id>2</id><name>絹目</name></tb_print_surface>
</root>)";

// The chain of a print tab without its window: category, size, surface.
struct Chain {
    explicit Chain(const ProductPrintData& data) : print(data) {}

    void rebuildCategory() {
        print.makePopup(category, std::nullopt);
        category.addPleaseSelect();
        rebuildSize();
    }
    void rebuildSize() {
        print.makePopupSelectKeep(
            size, QVariantMap{{"list_id", category.selectedRecordId().value_or(QString())}});
        rebuildSurface();
    }
    void rebuildSurface() {
        print.makePopupSelectKeep(surface,
                                  QVariantMap{{"size_id", size.selectedRecordId().value_or("-1")}});
    }

    const ProductPrintData& print;
    ProductPopUpList category{ProductPrintData::kCategoryTag};
    ProductPopUpList size{ProductPrintData::kSizeTag};
    ProductPopUpList surface{ProductPrintData::kSurfaceTag};
};

} // namespace

class TestProductPopUpButton : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pleaseSelectItem();
    void selectByRecordId();
    void emptyButton();
    void autoDisableNeverEnables();
    void chainKeepsSelectionsByTitle();
};

void TestProductPopUpButton::pleaseSelectItem() {
    ProductPopUpList popup(301);
    popup.addItemWithTitle("銀塩プリント", {{"id", "1"}, {"name", "銀塩プリント"}});
    popup.addItemWithTitle("選択してください...", {{"id", "5"}, {"name", "選択してください..."}});
    popup.selectItemAtIndex(0);
    popup.addPleaseSelect();
    QVERIFY(popup.isPleaseSelect());
    QCOMPARE(popup.indexOfSelectedItem(), 0);
    QCOMPARE(popup.selectedRecordId(), std::optional<QString>(QStringLiteral("99999999999")));
    QCOMPARE(popup.selectedRecordName(), QStringLiteral("選択してください..."));
    // Titles stay unique: the catalogue row of the same title gave way.
    QCOMPARE(popup.itemTitles(), (QStringList{"選択してください...", "銀塩プリント"}));

    popup.selectItemAtIndex(1);
    QVERIFY(!popup.isPleaseSelect());
}

void TestProductPopUpButton::selectByRecordId() {
    ProductPopUpList popup(302);
    popup.addItemWithTitle("L", {{"id", "1"}, {"name", "L"}});
    popup.addItemWithTitle("2L", {{"id", "10"}, {"name", "2L"}});
    popup.addItemWithTitle("六切", {{"name", "六切"}});
    QVERIFY(popup.selectItemFromRecordId("10"));
    QCOMPARE(popup.selectedRecordName(), QStringLiteral("2L"));
    // No item carries the id: false, selection unchanged. String equality, not numbers.
    QVERIFY(!popup.selectItemFromRecordId("010"));
    QVERIFY(!popup.selectItemFromRecordId(""));
    QCOMPARE(popup.indexOfSelectedItem(), 1);
    QVERIFY(popup.isSelectedRecordDic());
}

void TestProductPopUpButton::emptyButton() {
    ProductPopUpList popup(303);
    QVERIFY(popup.isNoItem());
    QCOMPARE(popup.selectedRecordName(), QString());
    QCOMPARE(popup.selectedRecordDic(), std::nullopt);
    QCOMPARE(popup.selectedRecordId(), std::nullopt);
    QVERIFY(!popup.isSelectedRecordDic());
    QVERIFY(!popup.isPleaseSelect());
    QVERIFY(!popup.selectItemFromRecordId("1"));
}

void TestProductPopUpButton::autoDisableNeverEnables() {
    ProductPopUpList popup(304);
    popup.addItemWithTitle("UV", {{"id", "1"}, {"name", "UV"}});
    popup.setEnabled(false);
    popup.autoDisable();
    QVERIFY(!popup.isEnabled());
    popup.setEnabled(true);
    popup.autoDisable();
    QVERIFY(popup.isEnabled());
    popup.removeAllItems();
    popup.autoDisable();
    QVERIFY(!popup.isEnabled());
}

void TestProductPopUpButton::chainKeepsSelectionsByTitle() {
    TestHome home;
    const ProductPrintData print(QString::fromUtf8(kChainXml));
    Chain chain(print);
    chain.rebuildCategory();
    QCOMPARE(chain.category.itemTitles(),
             (QStringList{"選択してください...", "銀塩プリント", "ポストカード"}));
    QVERIFY(chain.size.isNoItem());
    QVERIFY(!chain.size.isEnabled());
    QVERIFY(chain.surface.isNoItem());

    QVERIFY(chain.category.selectItemFromRecordId("1"));
    chain.rebuildSize();
    QCOMPARE(chain.size.itemTitles(), (QStringList{"Lサイズ", "2Lサイズ"}));
    QVERIFY(chain.size.selectItemFromRecordId("2"));
    chain.rebuildSurface();
    QVERIFY(chain.surface.selectItemFromRecordId("2"));

    // Another category still offers "2Lサイズ" (a different record) and, for it, "絹目": both
    // titles stay chosen and the records are the new ones.
    QVERIFY(chain.category.selectItemFromRecordId("2"));
    chain.rebuildSize();
    QCOMPARE(chain.size.selectedRecordId(), std::optional<QString>(QStringLiteral("4")));
    QCOMPARE(chain.surface.selectedRecordName(), QStringLiteral("絹目"));
    QCOMPARE(chain.surface.itemTitles(), (QStringList{"絹目"}));

    // "はがき" has no surfaces: the surface button empties and is disabled.
    QVERIFY(chain.size.selectItemFromRecordId("3"));
    chain.rebuildSurface();
    QVERIFY(chain.surface.isNoItem());
    QVERIFY(!chain.surface.isEnabled());
}

QTEST_GUILESS_MAIN(TestProductPopUpButton)
#include "tst_ProductPopUpButton.moc"
