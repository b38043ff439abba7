// The product pop-up as a widget: the catalogue fills it through the pop-up interface, records
// ride along as item data, and only a user's choice is an action.
#include "TestHome.h"
#include "product/ProductPrintData.h"
#include "ui/ProductPopUpComboBox.h"
#include "util/Tool.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

class TestProductPopUpComboBox : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fillsFromTheShippedCatalogue();
};

void TestProductPopUpComboBox::fillsFromTheShippedCatalogue() {
    TestHome home;
    QFile shipped(Tool::resourcePath(QStringLiteral("tbl_print_new"), QStringLiteral("xml")));
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    const ProductPrintData print(QString::fromUtf8(shipped.readAll()));

    ProductPopUpComboBox category(ProductPrintData::kCategoryTag);
    ProductPopUpComboBox size(ProductPrintData::kSizeTag);
    QCOMPARE(category.property("tag").toInt(), 301);
    QSignalSpy activated(&category, &QComboBox::activated);
    QSignalSpy changed(&category, &QComboBox::currentIndexChanged);

    print.makePopup(category, std::nullopt);
    category.addPleaseSelect();
    QCOMPARE(category.count(), 6);
    QCOMPARE(category.itemText(0), QStringLiteral("選択してください..."));
    QVERIFY(category.isPleaseSelect());
    QCOMPARE(category.selectedRecordId(), QStringLiteral("99999999999"));
    // Ordered by id: 1 銀塩プリント, 2 ポストカード, 3, 4, 10.
    QCOMPARE(category.itemText(1), QStringLiteral("銀塩プリント"));
    QCOMPARE(category.itemText(5), QStringLiteral("ウェルカムボードおよび販促グッズ"));
    QCOMPARE(category.itemData(1).toMap().value(QStringLiteral("id")).toString(),
             QStringLiteral("1"));

    // The please-select id finds no size: the size pop-up is empty and disabled.
    print.makePopup(size, QVariantMap{{QStringLiteral("list_id"), *category.selectedRecordId()}});
    QVERIFY(size.isNoItem());
    QVERIFY(!size.isEnabled());
    QCOMPARE(size.selectedRecordName(), QString());
    QVERIFY(!size.selectedRecordDic());

    QVERIFY(category.selectItemFromRecordId(QStringLiteral("1")));
    QCOMPARE(category.currentText(), QStringLiteral("銀塩プリント"));
    QVERIFY(!category.selectItemFromRecordId(QStringLiteral("77")));
    QCOMPARE(category.currentText(), QStringLiteral("銀塩プリント"));
    print.makePopupSelectKeep(size, QVariantMap{{QStringLiteral("list_id"), QStringLiteral("1")}});
    QVERIFY(size.isEnabled());
    QCOMPARE(size.selectedRecordDic()->value(QStringLiteral("code")).toString(),
             QStringLiteral("8814,1001,11"));

    // Refills and selections in code change the index but are no user's action.
    QVERIFY(changed.size() > 0);
    QCOMPARE(activated.size(), 0);

    // autoDisable only disables.
    category.setEnabled(false);
    category.autoDisable();
    QVERIFY(!category.isEnabled());
    category.setEnabled(true);
    category.removeAllItems();
    category.autoDisable();
    QVERIFY(!category.isEnabled());
}

QTEST_MAIN(TestProductPopUpComboBox)
#include "tst_ProductPopUpComboBox.moc"
