// The print and school form without a window: the product chain the shipped catalogues give, the
// count rules, the stamped rows, a row's choices coming back, the saved form and the rows handed
// to the report.
#include "TestHome.h"
#include "app/FileListForm.h"
#include "product/ProductData.h"
#include "settings/UserDef.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

const QString kPlease = QStringLiteral("選択してください...");
const QString kSilver = QStringLiteral("銀塩プリント");
const QString kL = QStringLiteral("Lサイズ（89×127）");
const QString k2L = QStringLiteral("2Lサイズ（127×178）");

QStringList titles(const ProductPopUpButton& pop) {
    QStringList list;
    for (int i = 0; i < pop.numberOfItems(); ++i) {
        list.append(pop.itemTitleAtIndex(i));
    }
    return list;
}

// The user picks a title, as the page forwards it.
bool pick(FileListForm& form, FileListForm::Pop which, const QString& title) {
    const int at = form.pop(which).indexOfItemWithTitle(title);
    if (at < 0) {
        return false;
    }
    form.choose(which, at);
    return true;
}

QString recordName(const QVariantMap& row, const QString& key) {
    return row.value(key).toMap().value(QStringLiteral("name")).toString();
}

} // namespace

class TestFileListForm : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void chainAndCaptionsFromThePrintCatalogue();
    void countRules();
    void stampedRowsComeBackAndGoToTheReport();
    void savedFormComesBack();
};

void TestFileListForm::chainAndCaptionsFromThePrintCatalogue() {
    TestHome home;
    ProductData products{QString()};
    FileListForm form(FileListForm::Kind::Print, [&products] { return &products; });
    QSignalSpy changed(&form, &FileListForm::formChanged);
    form.tabUIInit();
    QVERIFY(changed.count() >= 1);
    // A fresh form asks for a category; nothing can be stamped and nothing lies below.
    QCOMPARE(form.pop(FileListForm::Category).titleOfSelectedItem(), kPlease);
    QVERIFY(!form.canOrderSet());
    QVERIFY(form.pop(FileListForm::Size).isNoItem());
    QVERIFY(!form.pop(FileListForm::Size).isEnabled());
    QCOMPARE(form.caption(FileListForm::Size), QStringLiteral("サイズ"));

    QVERIFY(pick(form, FileListForm::Category, kSilver));
    QVERIFY(form.canOrderSet());
    QCOMPARE(titles(form.pop(FileListForm::Size)),
             (QStringList{kL, k2L, QStringLiteral("六切（203×254）"),
                          QStringLiteral("四切（254×305）")}));
    QCOMPARE(form.caption(FileListForm::Size), QStringLiteral("プリントサイズ"));
    QCOMPARE(titles(form.pop(FileListForm::Surface)),
             (QStringList{QStringLiteral("光沢"), QStringLiteral("絹目")}));
    QVERIFY(form.pop(FileListForm::Laminate).isNoItem());
    QCOMPARE(form.caption(FileListForm::Laminate), QStringLiteral("ラミネート"));
    // A surface chosen stays when the size changes and the new list still holds it.
    QVERIFY(pick(form, FileListForm::Surface, QStringLiteral("絹目")));
    QVERIFY(pick(form, FileListForm::Size, k2L));
    QCOMPARE(form.pop(FileListForm::Surface).titleOfSelectedItem(), QStringLiteral("絹目"));
    // Back to please-select: nothing to stamp.
    QVERIFY(pick(form, FileListForm::Category, kPlease));
    QVERIFY(!form.canOrderSet());
}

void TestFileListForm::countRules() {
    TestHome home;
    ProductData products{QString()};
    FileListForm print(FileListForm::Kind::Print, [&products] { return &products; });
    print.tabUIInit();
    // What is typed is kept as 1 to 9999, signs dropped.
    const QList<QPair<QString, QString>> cases{{QStringLiteral("-5"), QStringLiteral("5")},
                                               {QStringLiteral("0"), QStringLiteral("1")},
                                               {QStringLiteral("10000"), QStringLiteral("1")},
                                               {QStringLiteral("abc"), QStringLiteral("1")},
                                               {QStringLiteral("9999"), QStringLiteral("9999")}};
    for (const auto& [typed, kept] : cases) {
        print.setOrderNum(typed);
        print.normaliseOrderNum();
        QCOMPARE(print.orderNum(), kept);
    }
    print.setOrderNum(QStringLiteral("0"));
    print.settleOrderNum();
    QCOMPARE(print.orderNum(), QStringLiteral("1"));

    // The special customer group orders postcards in tens or fifties, on print only.
    UserDef::setObject(QStringLiteral("3465"), QStringLiteral("CustomerCode"));
    QVERIFY(pick(print, FileListForm::Category, QStringLiteral("ポストカード")));
    QVERIFY(print.isSizePopPostcard());
    print.refreshOrderNumChoices();
    QCOMPARE(print.orderNumChoices(), (QStringList{QStringLiteral("10"), QStringLiteral("50")}));
    QCOMPARE(print.orderNum(), QStringLiteral("10"));
    QVERIFY(pick(print, FileListForm::Category, kSilver));
    print.refreshOrderNumChoices();
    QCOMPARE(print.orderNumChoices().size(), 10);
    QCOMPARE(print.orderNum(), QStringLiteral("1"));

    FileListForm school(FileListForm::Kind::School, [&products] { return &products; });
    school.tabUIInit();
    QVERIFY(pick(school, FileListForm::Category, QStringLiteral("ポストカード")));
    school.refreshOrderNumChoices();
    QCOMPARE(school.orderNumChoices().size(), 10);
}

void TestFileListForm::stampedRowsComeBackAndGoToTheReport() {
    TestHome home;
    ProductData products{QString()};
    FileListForm form(FileListForm::Kind::Print, [&products] { return &products; });
    form.tabUIInit();
    QVERIFY(pick(form, FileListForm::Category, kSilver));
    QVERIFY(pick(form, FileListForm::Size, k2L));
    form.setOrderNum(QStringLiteral("5"));
    const QVariantMap path{{QStringLiteral("PrintFilePathKey"), QStringLiteral("/a.jpg")}};
    QVariantMap row = path;
    row.insert(QStringLiteral("PrintLaminatePopKey"), QVariantMap{{QStringLiteral("id"), "9"}});
    row = form.orderSetRow(row);
    QCOMPARE(row.value(QStringLiteral("PrintOrderNumKey")).toString(), QStringLiteral("5"));
    QCOMPARE(recordName(row, QStringLiteral("PrintCateoryPopKey")), kSilver);
    QCOMPARE(recordName(row, QStringLiteral("PrintSizePopKey")), k2L);
    QCOMPARE(recordName(row, QStringLiteral("PrintSurfacePopKey")), QStringLiteral("光沢"));
    // A pop-up with nothing chosen takes its old record off the row.
    QVERIFY(!row.contains(QStringLiteral("PrintLaminatePopKey")));
    QCOMPARE(row.value(QStringLiteral("PrintFilePathKey")).toString(), QStringLiteral("/a.jpg"));
    QVERIFY(!form.isKineroOrder({row, path}));

    // Another row selected: its choices come back; a row without an order changes nothing.
    QVERIFY(pick(form, FileListForm::Size, kL));
    form.setOrderNum(QStringLiteral("2"));
    form.tableViewSelectChange(row);
    QCOMPARE(form.pop(FileListForm::Size).titleOfSelectedItem(), k2L);
    QCOMPARE(form.orderNum(), QStringLiteral("5"));
    form.tableViewSelectChange(path);
    QCOMPARE(form.orderNum(), QStringLiteral("5"));

    QVERIFY(pick(form, FileListForm::Category, QStringLiteral("ポストカード")));
    const QVariantMap postcard = form.orderSetRow(path);
    QVERIFY(form.isKineroOrder({row, postcard}));

    // Send waits for rows, and for an order on every row.
    QCOMPARE(FileListForm::sendBlock(false, false),
             QStringLiteral("ファイルをドロップしてください"));
    QCOMPARE(FileListForm::sendBlock(true, false),
             QStringLiteral("すべての行に注文内容を設定してください"));
    QCOMPARE(FileListForm::sendBlock(true, true), QString());
    form.storeOrderArray({row, postcard});
    const QVariantList stored = UserDef::printOrderArray().value_or(QVariantList());
    QCOMPARE(stored.size(), 2);
    QCOMPARE(recordName(stored.at(1).toMap(), QStringLiteral("PrintCateoryPopKey")),
             QStringLiteral("ポストカード"));
}

void TestFileListForm::savedFormComesBack() {
    TestHome home;
    ProductData products{QString()};
    {
        FileListForm form(FileListForm::Kind::School, [&products] { return &products; });
        // Before its set-up the form never replaces the saved one.
        UserDef::setObject(QVariantMap{{QStringLiteral("SchoolOrderNumKey"), "4"}},
                           QStringLiteral("SchoolDic"));
        form.saveUiInfo();
        QCOMPARE(UserDef::schoolDic()->value(QStringLiteral("SchoolOrderNumKey")).toString(),
                 QStringLiteral("4"));
        form.tabUIInit();
        QCOMPARE(form.orderNum(), QStringLiteral("4"));
        QVERIFY(pick(form, FileListForm::Category, QStringLiteral("ポストカード")));
        const QString size = form.pop(FileListForm::Size).itemTitleAtIndex(0);
        QVERIFY(!size.isEmpty());
        QVERIFY(pick(form, FileListForm::Size, size));
        form.setOrderNum(QStringLiteral("7"));
        form.setMemo(QStringLiteral("急ぎ"));
        form.saveUiInfo();
        const QVariantMap saved = UserDef::schoolDic().value_or(QVariantMap());
        QCOMPARE(recordName(saved, QStringLiteral("SchoolCateoryPopKey")),
                 QStringLiteral("ポストカード"));
        QCOMPARE(saved.value(QStringLiteral("SchoolOrderMasterMemoKey")).toString(),
                 QStringLiteral("急ぎ"));
        form.setMemo(QString());
        QVERIFY(!form.memo().has_value());
    }
    FileListForm again(FileListForm::Kind::School, [&products] { return &products; });
    again.tabUIInit();
    QCOMPARE(again.pop(FileListForm::Category).titleOfSelectedItem(),
             QStringLiteral("ポストカード"));
    QCOMPARE(again.pop(FileListForm::Size).indexOfSelectedItem(), 0);
    QCOMPARE(again.orderNum(), QStringLiteral("7"));
    // The memo is for one order only: it is not restored.
    QVERIFY(!again.memo().has_value());
}

QTEST_GUILESS_MAIN(TestFileListForm)
#include "tst_FileListForm.moc"
