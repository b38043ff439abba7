// The resize form without a window: the product chain of the shipped resize catalogue, the resize
// box's rules, the bounds of a resize product and the record the job reads.
#include "TestHome.h"
#include "app/ResizeForm.h"
#include "product/ProductData.h"
#include "settings/UserDef.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

const QString kPlease = QStringLiteral("選択してください...");
const QString kPrintResize = QStringLiteral("プリント（リサイズ）");

QStringList titles(const ProductPopUpButton& pop) {
    QStringList list;
    for (int i = 0; i < pop.numberOfItems(); ++i) {
        list.append(pop.itemTitleAtIndex(i));
    }
    return list;
}

// The user picks a title, then the tab refreshes.
bool pick(ResizeForm& form, ResizeForm::Pop which, const QString& title) {
    const int at = form.pop(which).indexOfItemWithTitle(title);
    if (at < 0) {
        return false;
    }
    form.choose(which, at);
    form.resizeViewRefresh(true);
    return true;
}

QString recordName(const QVariantMap& dic, const char* key) {
    return dic.value(QString::fromLatin1(key)).toMap().value(QStringLiteral("name")).toString();
}

} // namespace

class TestResizeForm : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void chainAndTheResizeBox();
    void resizeProductBoundaries();
};

void TestResizeForm::chainAndTheResizeBox() {
    TestHome home;
    ProductData products{QString()};
    ResizeForm form([&products] { return &products; });
    QSignalSpy changed(&form, &ResizeForm::formChanged);
    form.resizeUIInit();
    form.resizeViewRefresh(true);
    QVERIFY(changed.count() >= 1);
    QCOMPARE(form.pop(ResizeForm::Category).titleOfSelectedItem(), kPlease);
    QVERIFY(form.isNotOrderCategoryPop());
    QCOMPARE(form.resizeSendBlock(false),
             QStringLiteral("送信するファイルまたはフォルダをドロップしてください"));
    QCOMPARE(form.resizeSendBlock(true), QStringLiteral("商品を選択してください"));
    QVERIFY(!form.isResizeProduct());
    QVERIFY(!form.isResizeMode());

    // A resize product ticks the box by itself and the record says so.
    QVERIFY(pick(form, ResizeForm::Category, kPrintResize));
    QCOMPARE(form.pop(ResizeForm::Size).titleOfSelectedItem(), QStringLiteral("Lサイズ"));
    QVERIFY(form.isResizeProduct());
    QVERIFY(form.isResizeMode());
    QCOMPARE(form.resizeSendBlock(true), QString());
    form.saveResizetUiInfo();
    QCOMPARE(UserDef::resizeDic()->value(QStringLiteral("ResizeResizeCbKey")).toString(),
             QStringLiteral("On"));

    // Unticked by the user, it stays so: across refreshes and from one resize size to another.
    form.setResizeMode(false);
    form.resizeViewRefresh(true);
    QVERIFY(pick(form, ResizeForm::Size, QStringLiteral("2Lサイズ")));
    QVERIFY(!form.isResizeMode());
    QVERIFY(!form.nowResizeUiDic().contains(QStringLiteral("ResizeResizeCbKey")));
    // While the form is closed the box is left as it is; a size without resizing unticks it.
    QVERIFY(pick(form, ResizeForm::Size, QStringLiteral("四切（リサイズなし）")));
    QVERIFY(!form.isResizeMode());
    form.setResizeMode(true);
    form.resizeViewRefresh(false);
    QVERIFY(form.isResizeMode());
    form.resizeViewRefresh(true);
    QVERIFY(!form.isResizeMode());
    // A resize size after one without resizing ticks it again.
    QVERIFY(pick(form, ResizeForm::Size, QStringLiteral("六切")));
    QVERIFY(form.isResizeMode());

    // Goods and goods option follow their chain; a new category resets everything below it.
    QVERIFY(pick(form, ResizeForm::Category, QStringLiteral("インデックス・グッズ")));
    QCOMPARE(form.pop(ResizeForm::Size).titleOfSelectedItem(),
             QStringLiteral("インデックスプリント"));
    QCOMPARE(titles(form.pop(ResizeForm::Goods)),
             (QStringList{QStringLiteral("4分割シート"), QStringLiteral("1枚1カット")}));
    QVERIFY(form.pop(ResizeForm::GoodsOption).isNoItem());
    QVERIFY(pick(form, ResizeForm::Size, QStringLiteral("証明写真シート")));
    QCOMPARE(titles(form.pop(ResizeForm::GoodsOption)),
             (QStringList{QStringLiteral("縦3cm×横2.4cm"), QStringLiteral("縦4cm×横3cm")}));
    QVERIFY(pick(form, ResizeForm::GoodsOption, QStringLiteral("縦4cm×横3cm")));

    // Count and memo go into the record the job reads.
    form.setOrderNum(QStringLiteral("-3"));
    form.normaliseOrderNum();
    QCOMPARE(form.orderNum(), QStringLiteral("3"));
    form.setMemo(QStringLiteral("よろしく"));
    form.saveResizetUiInfo();
    const QVariantMap dic = UserDef::resizeDic().value_or(QVariantMap());
    QCOMPARE(recordName(dic, "ResizeGoodsPopKey"), QStringLiteral("証明写真（4面）"));
    QCOMPARE(recordName(dic, "ResizeGoodsOptionPopKey"), QStringLiteral("縦4cm×横3cm"));
    QCOMPARE(recordName(dic, "ResizeSurfacePopKey"), QStringLiteral("光沢"));
    QCOMPARE(dic.value(QStringLiteral("ResizeOrderNumKey")).toString(), QStringLiteral("3"));
    QCOMPARE(dic.value(QStringLiteral("ResizeOrderMemoKey")).toString(),
             QStringLiteral("よろしく"));
    // After the order the memo is emptied, in the record too.
    form.orderMemoClear();
    QVERIFY(form.memo().isEmpty());
    QCOMPARE(UserDef::resizeDic()->value(QStringLiteral("ResizeOrderMemoKey")).toString(),
             QString());
    form.setOrderNum(QStringLiteral("0"));
    form.settleOrderNum();
    QCOMPARE(form.orderNum(), QStringLiteral("1"));
}

void TestResizeForm::resizeProductBoundaries() {
    const auto pix = [](const char* value) {
        return QVariantMap{{QStringLiteral("resize_pix"), QString::fromLatin1(value)}};
    };
    QVERIFY(!ResizeForm::isResizeProductRecord(pix("100")));
    QVERIFY(ResizeForm::isResizeProductRecord(pix("101")));
    QVERIFY(ResizeForm::isResizeProductRecord(pix("4999")));
    QVERIFY(!ResizeForm::isResizeProductRecord(pix("5000")));
    QVERIFY(!ResizeForm::isResizeProductRecord(pix("")));
    QVERIFY(!ResizeForm::isResizeProductRecord(QVariantMap()));
}

QTEST_GUILESS_MAIN(TestResizeForm)
#include "tst_ResizeForm.moc"
