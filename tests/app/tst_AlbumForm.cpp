// The album form without a window: the cascade of choices, captions and hiding the shipped album
// catalogue gives, the count limits and the checks before Send, the record the report reads and
// its restoring, and a small catalogue of the test's own for the edges.
#include "AlertRecorder.h"
#include "TestHome.h"
#include "app/AlbumForm.h"
#include "product/ProductAlbumData.h"
#include "settings/UserDef.h"
#include "util/Tool.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

namespace {

using Field = AlbumForm::CountField;

std::shared_ptr<ProductAlbumData> shippedCatalogue() {
    QFile file(Tool::resourcePath(QStringLiteral("AlbumData"), QStringLiteral("txt")));
    if (!file.open(QIODevice::ReadOnly)) {
        return nullptr;
    }
    return std::make_shared<ProductAlbumData>(QString::fromUtf8(file.readAll()));
}

QString section(const char* name, const QString& rows) {
    return QStringLiteral("<!--%1\n%2\n%1-->\n").arg(QLatin1String(name), rows);
}

// Two albums: one with thirteen options, a limit of 3, a page list without a caption and a
// catalogue page that is a local file; one with a script for its catalogue page.
std::shared_ptr<ProductAlbumData> smallCatalogue() {
    QStringList options;
    for (int i = 1; i <= 13; ++i) {
        options.append(
            QStringLiteral("試作アルバム,0,0,0,0,0,加工%1,\"8450,%2,11\"").arg(i).arg(3000 + i));
    }
    const QString text =
        QStringLiteral("MVL CSV_DATA_ALBUM 2030/01/01 00:00:00\n") +
        section("CSV_DATA_ALBUM_AL_ALBUM", QStringLiteral("試作アルバム\n台本アルバム")) +
        section("CSV_DATA_ALBUM_AL_SIZE", QStringLiteral("試作アルバム,20S,判型")) +
        section("CSV_DATA_ALBUM_AL_PAGE",
                QStringLiteral("試作アルバム,0,10,1,\n試作アルバム,0,20,1,")) +
        section("CSV_DATA_ALBUM_AL_OPT", options.join(u'\n')) +
        section("CSV_DATA_ALBUM_AL_ORDER_LIMIT", QStringLiteral("試作アルバム,3")) +
        section(
            "CSV_DATA_ALBUM_MAS_CATALOG",
            QStringLiteral("試作アルバム,file:///etc/passwd\n台本アルバム,javascript:alert(1)"));
    return std::make_shared<ProductAlbumData>(text);
}

// The user picks a title, as the page forwards it: choose, leave, refresh.
void pick(AlbumForm& form, const QString& key, const QString& title) {
    form.choose(key, title);
    form.normaliseCounts();
    form.albumUiRefresh();
}

// The user types a count and leaves the field.
void type(AlbumForm& form, Field field, const QString& text) {
    form.setCountText(field, text);
    form.normaliseCounts();
    form.albumUiRefresh();
}

QVariant record(const AlbumForm& form, const QString& key) {
    return form.nowAlbumUiDic().value(key);
}

QString text(const AlbumForm& form, const char* key) {
    return form.pop(QString::fromUtf8(key)).currentText();
}

} // namespace

class TestAlbumForm : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cascadeHidesAndCaptionsFromTheShippedCatalogue();
    void countLimitsAndSendChecks();
    void smallCatalogueKeepsEveryOptionAndOpensOnlyWebPages();
    void recordRestoresTheForm();
};

void TestAlbumForm::cascadeHidesAndCaptionsFromTheShippedCatalogue() {
    TestHome home;
    AlertRecorder alerts;
    const auto catalogue = shippedCatalogue();
    QVERIFY(catalogue);
    AlbumForm form([catalogue] { return catalogue; });
    QSignalSpy changed(&form, &AlbumForm::formChanged);
    form.albumUIInit();
    QVERIFY(changed.count() >= 1);
    QCOMPARE(UserDef::appStatus(), QStringLiteral("albumUIInit end"));
    // Every album of the catalogue, in its order.
    QCOMPARE(form.pop(QStringLiteral("AlAlbumPop")).items,
             (QStringList{QStringLiteral("フォトブック スタンダード"),
                          QStringLiteral("婚礼デザインアルバム"),
                          QStringLiteral("婚礼アルバム中ページ追加"), QStringLiteral("ソレイナ"),
                          QStringLiteral("RAW現像"), QStringLiteral("ポストカード")}));

    // An empty list hides the pop-up with its caption; sizes show in their display form.
    pick(form, QStringLiteral("AlAlbumPop"), QStringLiteral("フォトブック スタンダード"));
    QCOMPARE(form.pop(QStringLiteral("AlSizePop")).items,
             (QStringList{QStringLiteral("A4スクエア（210×210）"),
                          QStringLiteral("A5スクエア（148×148）")}));
    QVERIFY(form.pop(QStringLiteral("AlBoxPop")).hidden);
    QVERIFY(form.pop(QStringLiteral("AlBoxPop")).captionHidden);
    QVERIFY(form.boxNum().hidden);
    QCOMPARE(record(form, QStringLiteral("AlBoxPop")).toString(), QString());
    QCOMPARE(record(form, QStringLiteral("AlBoxLabel")).toString(), QString());
    QCOMPARE(record(form, QStringLiteral("AlOrderBoxNum")).toString(), QStringLiteral("0"));
    // The cover's caption and its variations follow the cover; a ticked option survives a move to
    // another position.
    pick(form, QStringLiteral("AlHyouPop"), QStringLiteral("ハードカバー（布クロス）"));
    QCOMPARE(form.pop(QStringLiteral("AlHyouColPop")).caption, QStringLiteral("カバー色"));
    QCOMPARE(form.optionTitles(),
             (QStringList{QStringLiteral("ページ補正"), QStringLiteral("名入れ箔押し"),
                          QStringLiteral("追加プリント（1冊分）")}));
    form.setOptionTicked(2, true);
    form.albumUiRefresh();
    pick(form, QStringLiteral("AlHyouPop"), QStringLiteral("写真表紙"));
    QCOMPARE(form.pop(QStringLiteral("AlHyouColPop")).caption, QStringLiteral("表紙仕上げ"));
    QCOMPARE(form.optionTitles(),
             (QStringList{QStringLiteral("ページ補正"), QStringLiteral("追加プリント（1冊分）")}));
    QVERIFY(form.isOptionTicked(1));
    QCOMPARE(form.checkedOptionTitles(), QStringList{QStringLiteral("追加プリント（1冊分）")});
    QVERIFY(!form.isCharInputProduct());

    // A list of one "0" hides the page pop-up; the record keeps "0".
    pick(form, QStringLiteral("AlAlbumPop"), QStringLiteral("RAW現像"));
    QVERIFY(form.pop(QStringLiteral("AlPagePop")).hidden);
    QVERIFY(form.pop(QStringLiteral("AlPagePop")).captionHidden);
    QCOMPARE(record(form, QStringLiteral("AlPagePop")).toString(), QStringLiteral("0"));
    QCOMPARE(form.pop(QStringLiteral("AlSizePop")).caption, QStringLiteral("セット内容"));
    QVERIFY(form.isAlbumKineloMovFileOnly());
    // Order-number type 2: the direct count, starting at "0".
    QVERIFY(form.orderNum().hidden);
    QVERIFY(!form.orderNumDirect().hidden);
    QCOMPARE(form.orderNumDirect().text, QStringLiteral("0"));
    QCOMPARE(form.orderNumCaption(), QStringLiteral("セット数"));
    QCOMPARE(form.orderUnitCaption(), QStringLiteral("セット"));
    type(form, Field::OrderDirect, QStringLiteral("4"));
    form.albumDirectOrderNumClear();
    QCOMPARE(form.orderNumDirect().text, QStringLiteral("0"));

    // From a listed page count to free entry: the typed count starts at "1".
    pick(form, QStringLiteral("AlAlbumPop"), QStringLiteral("婚礼アルバム中ページ追加"));
    QVERIFY(!form.pageEntry().hidden);
    QVERIFY(form.pop(QStringLiteral("AlPagePop")).hidden);
    QCOMPARE(form.pageEntry().text, QStringLiteral("1"));
    QCOMPARE(form.pageEntryItems(),
             (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("4")}));
    QCOMPARE(form.pop(QStringLiteral("AlPagePop")).caption, QStringLiteral("追加見開き数"));
    QVERIFY(!form.pop(QStringLiteral("AlPagePop")).captionHidden);
    type(form, Field::Page, QStringLiteral("-7"));
    QCOMPARE(form.pageEntry().text, QStringLiteral("7"));
    QCOMPARE(record(form, QStringLiteral("AlPagePop")).toString(), QStringLiteral("7"));

    // Order-number type 3: no count at all, and the record orders one.
    pick(form, QStringLiteral("AlAlbumPop"), QStringLiteral("ポストカード"));
    QVERIFY(form.orderNum().hidden && form.orderNumDirect().hidden);
    QVERIFY(form.orderNumCaptionHidden());
    QCOMPARE(record(form, QStringLiteral("AlOrderNum")).toString(), QStringLiteral("1"));
    QCOMPARE(record(form, QStringLiteral("AlOrderNumLabel")).toString(), QString());

    // Covers without a variation list: the variation hides; "NoTitle" stands for no cover.
    pick(form, QStringLiteral("AlAlbumPop"), QStringLiteral("婚礼デザインアルバム"));
    QVERIFY(!form.isAlbumKineloMovFileOnly());
    pick(form, QStringLiteral("AlHyouPop"), QStringLiteral("フォトカバー"));
    QVERIFY(form.pop(QStringLiteral("AlHyouColPop")).hidden);
    QVERIFY(!form.pop(QStringLiteral("AlHyouTempPop")).hidden);
    QCOMPARE(form.pop(QStringLiteral("AlHyouTempPop")).caption, QStringLiteral("デザイン"));
    pick(form, QStringLiteral("AlHyouTempPop"), QStringLiteral("テンプレートC（モダン）"));
    QCOMPARE(form.pop(QStringLiteral("AlHyouSeColPop")).items,
             (QStringList{QStringLiteral("ブラウン"), QStringLiteral("ブラック")}));
    // A box of "-" hides its count and keeps "1" in it; a box asks for its count and colour.
    pick(form, QStringLiteral("AlBoxPop"), QStringLiteral("-"));
    QVERIFY(form.boxNum().hidden);
    QCOMPARE(form.boxNum().text, QStringLiteral("1"));
    pick(form, QStringLiteral("AlBoxPop"), QStringLiteral("布張りボックス"));
    QVERIFY(!form.boxNum().hidden);
    QVERIFY(!form.pop(QStringLiteral("AlBoxColPop")).hidden);
    QCOMPARE(record(form, QStringLiteral("AlBoxColLabel")).toString(),
             QStringLiteral("ボックスカラー"));
    QCOMPARE(record(form, QStringLiteral("AlOrderUnitBoxLabel")).toString(), QStringLiteral("個"));
    // The foil stamp needs a name and a date.
    pick(form, QStringLiteral("AlHyouPop"), QStringLiteral("レザー（ホワイト）"));
    pick(form, QStringLiteral("AlHyouColPop"), QStringLiteral("名入れ箔押し（ゴールド）"));
    QVERIFY(form.isCharInputProduct());
    QVERIFY(alerts.messages().isEmpty());
}

void TestAlbumForm::countLimitsAndSendChecks() {
    TestHome home;
    AlertRecorder alerts;
    const auto catalogue = shippedCatalogue();
    QVERIFY(catalogue);
    AlbumForm form([catalogue] { return catalogue; });
    form.albumUIInit();

    // A limit of 10: 12 is refused with the alert and reset to "1"; 10 stays.
    pick(form, QStringLiteral("AlAlbumPop"), QStringLiteral("婚礼アルバム中ページ追加"));
    QVERIFY(form.isOrderLimitCheck(QStringLiteral("11")));
    QVERIFY(!form.isOrderLimitCheck(QStringLiteral("10")));
    type(form, Field::Order, QStringLiteral("12"));
    QCOMPARE(alerts.last().message, QStringLiteral("注文数上限は 10 です"));
    QCOMPARE(alerts.last().information, QStringLiteral("10 以下の数量を入力してください"));
    QCOMPARE(form.orderNum().text, QStringLiteral("1"));
    type(form, Field::Order, QStringLiteral("10"));
    QCOMPARE(form.orderNum().text, QStringLiteral("10"));
    // A count typed but not yet checked stops Send.
    alerts.clear();
    form.setCountText(Field::Order, QStringLiteral("12"));
    QVERIFY(!form.albumSendChecks());
    QCOMPARE(alerts.messages(), QStringList{QStringLiteral("注文数上限は 10 です")});
    QCOMPARE(form.orderNum().text, QStringLiteral("1"));

    // Limit 0: anything up to 9999; above becomes 1 without an alert.
    alerts.clear();
    pick(form, QStringLiteral("AlAlbumPop"), QStringLiteral("フォトブック スタンダード"));
    type(form, Field::Order, QStringLiteral("9999"));
    QCOMPARE(form.orderNum().text, QStringLiteral("9999"));
    type(form, Field::Order, QStringLiteral("10000"));
    QCOMPARE(form.orderNum().text, QStringLiteral("1"));
    QVERIFY(alerts.messages().isEmpty());
    // The box count has the album's limit too.
    pick(form, QStringLiteral("AlAlbumPop"), QStringLiteral("婚礼デザインアルバム"));
    pick(form, QStringLiteral("AlBoxPop"), QStringLiteral("布張りボックス"));
    type(form, Field::Box, QStringLiteral("6"));
    QCOMPARE(alerts.last().message, QStringLiteral("注文数上限は 5 です"));
    QCOMPARE(form.boxNum().text, QStringLiteral("1"));

    // The direct count: "0" and "-3" (read as 0) block Send.
    pick(form, QStringLiteral("AlAlbumPop"), QStringLiteral("RAW現像"));
    QVERIFY(form.isPageChosen());
    QCOMPARE(form.albumSendBlock(false),
             QStringLiteral("アルバムにする画像をドロップしてください"));
    QCOMPARE(form.albumSendBlock(true), QString());
    for (const QString& typed : {QStringLiteral("0"), QStringLiteral("-3")}) {
        alerts.clear();
        type(form, Field::OrderDirect, typed);
        QCOMPARE(form.orderNumDirect().text, QStringLiteral("0"));
        QVERIFY(!form.albumSendChecks());
        QCOMPARE(alerts.last().message, QStringLiteral("数量を入力してください"));
        QCOMPARE(alerts.last().information, QStringLiteral("1以上の数量を入力してください"));
    }
    type(form, Field::OrderDirect, QStringLiteral("21"));
    QCOMPARE(alerts.last().message, QStringLiteral("注文数上限は 20 です"));
    QCOMPARE(form.orderNumDirect().text, QStringLiteral("0"));

    // Soleina without a mini asks; "いいえ" stops, "はい" goes on.
    pick(form, QStringLiteral("AlAlbumPop"), QStringLiteral("ソレイナ"));
    QCOMPARE(text(form, "AlMiniPop"), QStringLiteral("-"));
    alerts.clear();
    alerts.enqueueNg();
    QVERIFY(!form.albumSendChecks());
    QCOMPARE(alerts.last().message, QStringLiteral("ミニ指定がありません。"));
    QCOMPARE(alerts.last().information,
             QStringLiteral("ミニ指定がありません。このまま送信しますか？"));
    alerts.enqueueOk();
    QVERIFY(form.albumSendChecks());
    // Any other album with mini "-" goes without asking.
    pick(form, QStringLiteral("AlAlbumPop"), QStringLiteral("婚礼デザインアルバム"));
    pick(form, QStringLiteral("AlBoxPop"), QStringLiteral("-"));
    QCOMPARE(text(form, "AlMiniPop"), QStringLiteral("-"));
    alerts.clear();
    QVERIFY(form.albumSendChecks());
    QVERIFY(alerts.messages().isEmpty());
}

void TestAlbumForm::smallCatalogueKeepsEveryOptionAndOpensOnlyWebPages() {
    TestHome home;
    AlertRecorder alerts;
    std::shared_ptr<ProductAlbumData> catalogue;
    AlbumForm form([&catalogue] { return catalogue; });
    // No catalogue yet: empty lists, the default captions, nothing to send.
    form.albumUIInit();
    QVERIFY(form.pop(QStringLiteral("AlAlbumPop")).items.isEmpty());
    QCOMPARE(form.pop(QStringLiteral("AlSizePop")).caption, QStringLiteral("サイズ"));
    QVERIFY(form.pop(QStringLiteral("AlSizePop")).hidden);
    QCOMPARE(form.orderNumCaption(), QStringLiteral("数量"));

    catalogue = smallCatalogue();
    form.albumUIInit();
    QCOMPARE(text(form, "AlAlbumPop"), QStringLiteral("試作アルバム"));
    QCOMPARE(form.pop(QStringLiteral("AlSizePop")).caption, QStringLiteral("判型"));
    // A page list without a caption keeps the default one.
    QCOMPARE(form.pop(QStringLiteral("AlPagePop")).items,
             (QStringList{QStringLiteral("10"), QStringLiteral("20")}));
    QCOMPARE(form.pop(QStringLiteral("AlPagePop")).caption, QStringLiteral("ページ数"));
    // Thirteen options: none is dropped, the last can be ticked and is recorded.
    QCOMPARE(form.optionTitles().size(), 13);
    QCOMPARE(form.optionTitles().last(), QStringLiteral("加工13"));
    form.setOptionTicked(12, true);
    form.albumUiRefresh();
    QCOMPARE(record(form, QStringLiteral("AlOptoinArray")).toStringList(),
             QStringList{QStringLiteral("加工13")});
    // The limit of 3 holds for the main count.
    type(form, Field::Order, QStringLiteral("4"));
    QCOMPARE(alerts.last().message, QStringLiteral("注文数上限は 3 です"));

    // Catalogue pages: a local file and a script are refused with an alert.
    for (const QString& album : {QStringLiteral("試作アルバム"), QStringLiteral("台本アルバム")}) {
        alerts.clear();
        pick(form, QStringLiteral("AlAlbumPop"), album);
        QVERIFY(!form.catalogPageUrl().has_value());
        QCOMPARE(alerts.last().message, QStringLiteral("カタログのページを開けません"));
    }
    const auto shipped = shippedCatalogue();
    catalogue = shipped;
    form.albumUIInit();
    pick(form, QStringLiteral("AlAlbumPop"), QStringLiteral("婚礼デザインアルバム"));
    QCOMPARE(form.catalogPageUrl().value_or(QUrl()).toString(),
             QStringLiteral("https://www.miravell.example/catalog/wedding_design.html"));
}

void TestAlbumForm::recordRestoresTheForm() {
    TestHome home;
    AlertRecorder alerts;
    const auto catalogue = shippedCatalogue();
    QVERIFY(catalogue);
    UserDef::setObject(QStringLiteral("ON"), QStringLiteral("AlbumSlectionSave"));
    {
        AlbumForm form([catalogue] { return catalogue; });
        // Before its set-up the form never replaces the record it will restore.
        UserDef::setAlbumDic(
            QVariantMap{{QStringLiteral("AlAlbumPop"), QStringLiteral("ソレイナ")}});
        form.saveAlbumUiInfo();
        QCOMPARE(UserDef::albumDic().value_or(QVariantMap()).size(), 1);
        form.albumUIInit();
        QCOMPARE(text(form, "AlAlbumPop"), QStringLiteral("ソレイナ"));
        pick(form, QStringLiteral("AlAlbumPop"), QStringLiteral("婚礼デザインアルバム"));
        pick(form, QStringLiteral("AlSizePop"), QStringLiteral("25cmスクエア"));
        pick(form, QStringLiteral("AlPagePop"), QStringLiteral("15"));
        type(form, Field::Order, QStringLiteral("3"));
        pick(form, QStringLiteral("AlHyouPop"), QStringLiteral("フォトカバー"));
        pick(form, QStringLiteral("AlHyouTempPop"), QStringLiteral("テンプレートB（ナチュラル）"));
        pick(form, QStringLiteral("AlHyouSeColPop"), QStringLiteral("ホワイト"));
        pick(form, QStringLiteral("AlBoxPop"), QStringLiteral("桐箱"));
        type(form, Field::Box, QStringLiteral("2"));
        pick(form, QStringLiteral("AlMiniPop"), QStringLiteral("ミニブック（12cm）"));
        type(form, Field::Mini, QStringLiteral("3"));
        const qsizetype dvd = form.optionTitles().indexOf(QStringLiteral("データ保存DVD"));
        QVERIFY(dvd >= 0);
        form.setOptionTicked(static_cast<int>(dvd), true);
        form.setMemo(QStringLiteral("memo"));
        form.albumUiRefresh();
        form.saveAlbumUiInfo();
        QCOMPARE(UserDef::albumDic().value_or(QVariantMap()).value(QStringLiteral("AlOrderMemo")),
                 QVariant(QStringLiteral("memo")));
    }
    AlbumForm again([catalogue] { return catalogue; });
    again.albumUIInit();
    QCOMPARE(text(again, "AlAlbumPop"), QStringLiteral("婚礼デザインアルバム"));
    QCOMPARE(text(again, "AlSizePop"), QStringLiteral("25cmスクエア"));
    QCOMPARE(text(again, "AlPagePop"), QStringLiteral("15"));
    QCOMPARE(text(again, "AlHyouTempPop"), QStringLiteral("テンプレートB（ナチュラル）"));
    QCOMPARE(text(again, "AlHyouSeColPop"), QStringLiteral("ホワイト"));
    QCOMPARE(text(again, "AlBoxPop"), QStringLiteral("桐箱"));
    QCOMPARE(again.boxNum().text, QStringLiteral("2"));
    QCOMPARE(text(again, "AlMiniPop"), QStringLiteral("ミニブック（12cm）"));
    QCOMPARE(again.miniNum().text, QStringLiteral("3"));
    QCOMPARE(again.checkedOptionTitles(), QStringList{QStringLiteral("データ保存DVD")});
    // The main count restarts at its start value, the memo empty.
    QCOMPARE(again.orderNum().text, QStringLiteral("1"));
    QVERIFY(again.memo().isEmpty());
    QVERIFY(alerts.messages().isEmpty());
}

QTEST_GUILESS_MAIN(TestAlbumForm)
#include "tst_AlbumForm.moc"
