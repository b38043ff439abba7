// The print and school tabs as a studio uses them, driven by the controls' names against the
// shipped catalogues and the lab substitute. The form's chain and count rules themselves are
// tested without a window (tests/app/tst_FileListForm).
#include "AppWindowFixture.h"
#include "SheetDriver.h"
#include "ui/DragDropScrollView.h"
#include "ui/FileListTabPage.h"
#include "ui/PrintFileListCtrl.h"
#include "ui/PrintFileListDataSource.h"

#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

namespace {

const QString kPlease = QStringLiteral("選択してください...");
const QString kSilver = QStringLiteral("銀塩プリント");
const QString kL = QStringLiteral("Lサイズ（89×127）");
const QString k2L = QStringLiteral("2Lサイズ（127×178）");

QStringList writePhotos(const QString& folder, const QStringList& names) {
    QDir().mkpath(folder);
    QStringList paths;
    int shade = 0;
    for (const QString& name : names) {
        QImage image(120, 80, QImage::Format_RGB32);
        image.fill(QColor(shade, 120, 200 - shade));
        shade += 40;
        const QString path = folder + u'/' + name;
        if (image.save(path, "JPEG")) {
            paths.append(path);
        }
    }
    return paths;
}

QString recordName(const QVariantMap& row, const QString& key) {
    return row.value(key).toMap().value(QStringLiteral("name")).toString();
}

} // namespace

class TestPrintTab : public QObject {
    Q_OBJECT

private:
    // The tab's page, list and a drop of three photos onto it.
    struct Tab {
        FileListTabPage* page = nullptr;
        PrintFileListCtrl* list = nullptr;
        QStringList files;
    };
    static Tab dropThree(AppWindowFixture& app, OrderTab tab) {
        app.start(tab);
        Tab t;
        t.page = tab == OrderTab::Print ? static_cast<FileListTabPage*>(app.window->printPage())
                                        : app.window->schoolPage();
        t.list = t.page->fileListCtrl();
        t.files = writePhotos(
            app.home.filePath(QStringLiteral("Shoot")),
            {QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg")});
        Q_EMIT t.page->dragDropView()->filesDropped(t.files);
        return t;
    }
    static void typeCount(AppWindowFixture& app, const QString& name, const QString& text) {
        auto* box = app.find<QComboBox>(name);
        QVERIFY(box != nullptr);
        box->lineEdit()->setText(text);
        Q_EMIT box->lineEdit()->editingFinished();
    }
    // Types text into the open memo sheet and presses OK.
    static void answerMemo(const QString& sheetName, const QString& text) {
        QDialog* sheet = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == sheetName && w->isVisible()) {
                sheet = qobject_cast<QDialog*>(w);
            }
        }
        QVERIFY2(sheet != nullptr, qPrintable(sheetName));
        auto* content =
            sheet->findChild<QPlainTextEdit*>(QStringLiteral("printMemoInputContentTextView"));
        if (content == nullptr) {
            content =
                sheet->findChild<QPlainTextEdit*>(QStringLiteral("schoolMemoInputContentTextView"));
        }
        QVERIFY(content != nullptr);
        content->setPlainText(text);
        sheet->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        QCoreApplication::processEvents();
    }

private Q_SLOTS:
    void stampingRowsAndLoadingThemBack();
    void memosOnRowsAndOnTheOrder();
    void deleteWithAndWithoutSelection();
    void postcardCountsForTheSpecialGroupAndKineloButton();
    void schoolTabKeepsItsOwnRules();
};

void TestPrintTab::stampingRowsAndLoadingThemBack() {
    AppWindowFixture app;
    QVERIFY2(app.isReady(), qPrintable(app.lab.errorText()));
    const Tab t = dropThree(app, OrderTab::Print);
    QCOMPARE(t.list->fileCount(), 3);
    QCOMPARE(app.ctrl->selectFilesOf(OrderTab::Print), t.files);
    QVERIFY(app.find<QLabel>(QStringLiteral("printImageFileNum"))
                ->text()
                .startsWith(QStringLiteral("3 ファイル　")));
    QVERIFY(!app.find<QLabel>(QStringLiteral("printDragDropMsg"))->isVisible());

    // A fresh tab asks for a category; nothing can be stamped before.
    QCOMPARE(app.find<QComboBox>(QStringLiteral("printCategoryPop"))->currentText(), kPlease);
    QVERIFY(!app.find<QComboBox>(QStringLiteral("printSizePop"))->isEnabled());
    t.list->selectRows({0, 1});
    QVERIFY(!app.click(QStringLiteral("printOrderSetButton")));

    QVERIFY(app.choose(QStringLiteral("printCategoryPop"), kSilver));
    QCOMPARE(app.popItems(QStringLiteral("printSizePop")),
             (QStringList{kL, k2L, QStringLiteral("六切（203×254）"),
                          QStringLiteral("四切（254×305）")}));
    QCOMPARE(app.find<QLabel>(QStringLiteral("printSizeLabel"))->text(),
             QStringLiteral("プリントサイズ"));
    QCOMPARE(app.popItems(QStringLiteral("printSurfacePop")),
             (QStringList{QStringLiteral("光沢"), QStringLiteral("絹目")}));
    QVERIFY(!app.find<QComboBox>(QStringLiteral("printLaminatePop"))->isEnabled());
    QCOMPARE(app.find<QLabel>(QStringLiteral("printLaminateLabel"))->text(),
             QStringLiteral("ラミネート"));

    // One stamp on a multi-row selection: both rows get the same choice.
    QVERIFY(app.click(QStringLiteral("printOrderSetButton")));
    for (int row : {0, 1}) {
        const QVariantMap r = t.list->fileInfoArray().at(row);
        QCOMPARE(r.value(QStringLiteral("PrintOrderNumKey")).toString(), QStringLiteral("1"));
        QCOMPARE(recordName(r, QStringLiteral("PrintCateoryPopKey")), kSilver);
        QCOMPARE(recordName(r, QStringLiteral("PrintSizePopKey")), kL);
        QCOMPARE(recordName(r, QStringLiteral("PrintSurfacePopKey")), QStringLiteral("光沢"));
        QVERIFY(!r.contains(QStringLiteral("PrintLaminatePopKey")));
    }
    QVERIFY(!t.list->fileInfoArray().at(2).contains(QStringLiteral("PrintOrderNumKey")));
    auto* send = app.find<QPushButton>(QStringLiteral("printSendButton"));
    QVERIFY(!send->isEnabled());
    QCOMPARE(send->toolTip(), QStringLiteral("すべての行に注文内容を設定してください"));

    // The third row in 2L, five prints.
    t.list->selectRows({2});
    QVERIFY(app.choose(QStringLiteral("printSizePop"), k2L));
    typeCount(app, QStringLiteral("printOrderNum"), QStringLiteral("5"));
    QVERIFY(app.click(QStringLiteral("printOrderSetButton")));
    QVERIFY(send->isEnabled());
    QCOMPARE(t.list->dataSource()
                 .data(t.list->dataSource().index(2, PrintFileListDataSource::Size))
                 .toString(),
             k2L);
    QCOMPARE(t.list->dataSource().orderInfo(t.list->fileInfoArray().at(2)),
             QStringLiteral(
                 "ファイル名: c.jpg\n【カテゴリ】 銀塩プリント\n【発注内容】 2Lサイズ（127×178）  "
                 "光沢    5枚\n"));

    // Selecting a stamped row shows its choice again.
    t.list->selectRows({0});
    QCOMPARE(app.find<QComboBox>(QStringLiteral("printSizePop"))->currentText(), kL);
    QCOMPARE(app.find<QComboBox>(QStringLiteral("printOrderNum"))->currentText(),
             QStringLiteral("1"));

    // Another size: a new row directly below its source, holding only the path, selected.
    t.list->selectRows({0, 2});
    QVERIFY(app.click(QStringLiteral("printAnotherSizeButton")));
    QCOMPARE(t.list->fileCount(), 5);
    QCOMPARE(t.list->selectedRowIndexes(), (QList<int>{1, 4}));
    QCOMPARE(t.list->fileInfoArray().at(1),
             (QVariantMap{{QStringLiteral("PrintFilePathKey"), t.files[0]}}));
    QCOMPARE(t.list->fileInfoArray().at(4),
             (QVariantMap{{QStringLiteral("PrintFilePathKey"), t.files[2]}}));
    QCOMPARE(app.ctrl->selectFilesOf(OrderTab::Print),
             (QStringList{t.files[0], t.files[0], t.files[1], t.files[2], t.files[2]}));
    QVERIFY(!send->isEnabled());

    app.shoot(QStringLiteral("print-tab"));

    // The please-select category stamps nothing.
    QVERIFY(app.choose(QStringLiteral("printCategoryPop"), kPlease));
    QVERIFY(!app.find<QPushButton>(QStringLiteral("printOrderSetButton"))->isEnabled());
    QVERIFY(!app.find<QPushButton>(QStringLiteral("printAnotherSizeButton"))->isEnabled());
}

void TestPrintTab::memosOnRowsAndOnTheOrder() {
    AppWindowFixture app;
    QVERIFY2(app.isReady(), qPrintable(app.lab.errorText()));
    const Tab t = dropThree(app, OrderTab::Print);
    const QString memoKey = QStringLiteral("PrintOrderMemoKey");

    t.list->selectRows({0, 2});
    QVERIFY(app.click(QStringLiteral("printAddMemoOneFileButton")));
    QDialog* sheet = t.page->memoInputWindow();
    QVERIFY(sheet != nullptr && sheet->isVisible());
    QCOMPARE(sheet->objectName(), QStringLiteral("printMemoInputWindow"));
    QCOMPARE(sheet->findChild<QLabel*>(QStringLiteral("printMemoInputMsgTextField"))->text(),
             QStringLiteral("選択中の2件のファイルにメモを登録します"));
    QVERIFY(!app.ctrl->isMenuUseOk());
    if (const QString dir = qEnvironmentVariable("HALVIX_SHOT_DIR"); !dir.isEmpty()) {
        QTest::qWait(300);
        sheet->grab().save(dir + QStringLiteral("/print-memo-sheet.png"));
    }
    answerMemo(QStringLiteral("printMemoInputWindow"), QStringLiteral("色補正なし\n明るめ"));
    QVERIFY(app.ctrl->isMenuUseOk());
    QCOMPARE(t.list->fileInfoArray().at(0).value(memoKey).toString(),
             QStringLiteral("色補正なし\n明るめ"));
    QVERIFY(!t.list->fileInfoArray().at(1).contains(memoKey));
    QCOMPARE(t.list->fileInfoArray().at(2).value(memoKey).toString(),
             QStringLiteral("色補正なし\n明るめ"));
    QCOMPARE(t.list->dataSource().orderInfo(t.list->fileInfoArray().at(0)),
             QStringLiteral("ファイル名: a.jpg\n\n【発注メモ】  色補正なし 明るめ"));

    // The sheet opens with the top row's memo; an empty text removes the key.
    t.list->selectRows({2});
    QVERIFY(app.click(QStringLiteral("printAddMemoOneFileButton")));
    QCOMPARE(t.page->memoInputWindow()
                 ->findChild<QPlainTextEdit*>(QStringLiteral("printMemoInputContentTextView"))
                 ->toPlainText(),
             QStringLiteral("色補正なし\n明るめ"));
    answerMemo(QStringLiteral("printMemoInputWindow"), QString());
    QVERIFY(!t.list->fileInfoArray().at(2).contains(memoKey));
    QVERIFY(t.list->fileInfoArray().at(0).contains(memoKey));

    // Cancel changes nothing.
    t.list->selectRows({0});
    QVERIFY(app.click(QStringLiteral("printAddMemoOneFileButton")));
    t.page->memoInputWindow()->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
    QCoreApplication::processEvents();
    QVERIFY(t.list->fileInfoArray().at(0).contains(memoKey));

    // The memo of the whole order, and its button title.
    auto* allButton = app.find<QPushButton>(QStringLiteral("printAddMemoAllButton"));
    QCOMPARE(allButton->text(), QStringLiteral("添付メモ"));
    QVERIFY(app.click(QStringLiteral("printAddMemoAllButton")));
    QCOMPARE(t.page->memoInputWindow()
                 ->findChild<QLabel*>(QStringLiteral("printMemoInputMsgTextField"))
                 ->text(),
             QStringLiteral("添付メモを登録します"));
    answerMemo(QStringLiteral("printMemoInputWindow"), QStringLiteral("急ぎでお願いします"));
    QCOMPARE(allButton->text(), QStringLiteral("添付メモ有り"));
    QCOMPARE(UserDef::printDic()->value(QStringLiteral("PrintOrderMasterMemoKey")).toString(),
             QStringLiteral("急ぎでお願いします"));
    QVERIFY(app.click(QStringLiteral("printAddMemoAllButton")));
    answerMemo(QStringLiteral("printMemoInputWindow"), QString());
    QCOMPARE(allButton->text(), QStringLiteral("添付メモ"));
    QCOMPARE(UserDef::printDic()->value(QStringLiteral("PrintOrderMasterMemoKey")).toString(),
             QString());
}

void TestPrintTab::deleteWithAndWithoutSelection() {
    AppWindowFixture app;
    QVERIFY2(app.isReady(), qPrintable(app.lab.errorText()));
    const Tab t = dropThree(app, OrderTab::Print);
    auto* cancel = app.find<QPushButton>(QStringLiteral("printCancelButton"));
    QCOMPARE(cancel->text(), QStringLiteral("全削除"));

    // With a selection: only those rows, without a question.
    t.list->selectRows({1});
    QCOMPARE(cancel->text(), QStringLiteral("選択ファイルを削除"));
    QVERIFY(app.click(QStringLiteral("printCancelButton")));
    QCOMPARE(app.alerts.count(), 0);
    QCOMPARE(t.list->dataSource().filePaths(), (QStringList{t.files[0], t.files[2]}));
    QVERIFY(!t.list->isSelectedRow());
    QCOMPARE(app.ctrl->selectFilesOf(OrderTab::Print), (QStringList{t.files[0], t.files[2]}));
    QCOMPARE(cancel->text(), QStringLiteral("全削除"));

    // Without: the question first; cancelled, nothing goes.
    app.alerts.enqueueNg();
    QVERIFY(app.click(QStringLiteral("printCancelButton")));
    QCOMPARE(app.alerts.messages(),
             QStringList{QStringLiteral("登録されたファイルを全て削除します。")});
    QCOMPARE(t.list->fileCount(), 2);

    // Confirmed: every row and the order memo go.
    QVERIFY(app.click(QStringLiteral("printAddMemoAllButton")));
    answerMemo(QStringLiteral("printMemoInputWindow"), QStringLiteral("メモ"));
    app.alerts.enqueueOk();
    QVERIFY(app.click(QStringLiteral("printCancelButton")));
    QCOMPARE(t.list->fileCount(), 0);
    QVERIFY(!t.page->memo().has_value());
    QCOMPARE(app.find<QPushButton>(QStringLiteral("printAddMemoAllButton"))->text(),
             QStringLiteral("添付メモ"));
    QVERIFY(app.ctrl->selectFilesOf(OrderTab::Print).isEmpty());
    QCOMPARE(app.find<QLabel>(QStringLiteral("printImageFileNum"))->text(), QString());
    QVERIFY(app.find<QLabel>(QStringLiteral("printDragDropMsg"))->isVisible());
    QVERIFY(!cancel->isEnabled());
}

void TestPrintTab::postcardCountsForTheSpecialGroupAndKineloButton() {
    AppWindowFixture app;
    QVERIFY2(app.isReady(), qPrintable(app.lab.errorText()));
    UserDef::setObject(QStringLiteral("3465"), QStringLiteral("CustomerCode"));
    const Tab t = dropThree(app, OrderTab::Print);
    auto* kinelo = app.find<QPushButton>(QStringLiteral("printKineloButton"));
    QVERIFY(!kinelo->isVisible());

    QVERIFY(app.choose(QStringLiteral("printCategoryPop"), QStringLiteral("ポストカード")));
    QCOMPARE(app.popItems(QStringLiteral("printOrderNum")),
             (QStringList{QStringLiteral("10"), QStringLiteral("50")}));
    QCOMPARE(app.find<QComboBox>(QStringLiteral("printOrderNum"))->currentText(),
             QStringLiteral("10"));
    QVERIFY(app.choose(QStringLiteral("printOrderNum"), QStringLiteral("50")));

    // A silver print row does not ask for Kinelo; a postcard row does.
    QVERIFY(app.choose(QStringLiteral("printCategoryPop"), kSilver));
    QCOMPARE(app.popItems(QStringLiteral("printOrderNum")).size(), 10);
    QCOMPARE(app.find<QComboBox>(QStringLiteral("printOrderNum"))->currentText(),
             QStringLiteral("1"));
    t.list->selectRows({0});
    QVERIFY(app.click(QStringLiteral("printOrderSetButton")));
    QVERIFY(!kinelo->isVisible());
    QVERIFY(app.choose(QStringLiteral("printCategoryPop"), QStringLiteral("ポストカード")));
    t.list->selectRows({1});
    QVERIFY(app.click(QStringLiteral("printOrderSetButton")));
    QCOMPARE(t.list->fileInfoArray().at(1).value(QStringLiteral("PrintOrderNumKey")).toString(),
             QStringLiteral("10"));
    QVERIFY(kinelo->isVisible());
    QVERIFY(kinelo->isEnabled());
    QCOMPARE(kinelo->text(), QStringLiteral("キネロのお申し込み"));
    app.shoot(QStringLiteral("print-tab-kinelo"));
    UserDef::setPrintKineloMovFilePath(t.files[0], t.files[1]);
    app.ctrl->comViewRefresh();
    QCOMPARE(kinelo->text(), QStringLiteral("キネロファイル登録済み"));
}

void TestPrintTab::schoolTabKeepsItsOwnRules() {
    AppWindowFixture app;
    QVERIFY2(app.isReady(), qPrintable(app.lab.errorText()));
    UserDef::setObject(QStringLiteral("3465"), QStringLiteral("CustomerCode"));
    const Tab t = dropThree(app, OrderTab::School);
    QCOMPARE(app.ctrl->selectFilesOf(OrderTab::School), t.files);
    const QStringList oneToTen{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                               QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"),
                               QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9"),
                               QStringLiteral("10")};
    QCOMPARE(app.popItems(QStringLiteral("schoolOrderNum")), oneToTen);
    QVERIFY(app.choose(QStringLiteral("schoolCategoryPop"), QStringLiteral("ポストカード")));
    QCOMPARE(app.popItems(QStringLiteral("schoolOrderNum")), oneToTen);
    QVERIFY(app.choose(QStringLiteral("schoolOrderNum"), QStringLiteral("7")));
    t.list->selectRows({0, 1, 2});
    QVERIFY(app.click(QStringLiteral("schoolOrderSetButton")));
    QVERIFY(!app.find<QPushButton>(QStringLiteral("schoolKineloButton"))->isVisible());
    QCOMPARE(recordName(t.list->fileInfoArray().at(2), QStringLiteral("SchoolSizePopKey")),
             QStringLiteral("ポストカード（はがき）"));
    QCOMPARE(UserDef::schoolDic()->value(QStringLiteral("SchoolOrderNumKey")).toString(),
             QStringLiteral("7"));
    QCOMPARE(recordName(*UserDef::schoolDic(), QStringLiteral("SchoolCateoryPopKey")),
             QStringLiteral("ポストカード"));

    app.shoot(QStringLiteral("school-tab"));

    // Send hands the rows on under the school's key and opens the order sheets.
    QVERIFY(app.click(QStringLiteral("schoolSendButton")));
    const QVariantList rows = UserDef::schoolOrderArray().value_or(QVariantList());
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(1).toMap().value(QStringLiteral("SchoolFilePathKey")).toString(), t.files[1]);
    QCOMPARE(rows.at(1).toMap().value(QStringLiteral("SchoolOrderNumKey")).toString(),
             QStringLiteral("7"));
    QCOMPARE(UserDef::stringForKey(QStringLiteral("ExecuteBt")), QStringLiteral("BtSend"));
    // The special group's order sheet opens; cancelled, the drops come back.
    QCOMPARE(SheetDriver::openSheetName(), QStringLiteral("orderInfo3465Window"));
    QVERIFY(SheetDriver::cancel(QStringLiteral("orderInfo3465Window")));
    QCoreApplication::processEvents();
    QVERIFY(app.ctrl->isDragDropOn());
}

QTEST_MAIN(TestPrintTab)
#include "tst_PrintTab.moc"
