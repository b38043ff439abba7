// The album tab as a studio uses it, against the shipped album catalogue served by the lab
// substitute: an order that reaches the lab, the controls presenting the album form and
// forwarding to it, and album sets through the name sheet and the menu. The form's cascade and
// limits themselves are tested without a window (tests/app/tst_AlbumForm).
#include "AppShellFixture.h"
#include "app/AlbumSet.h"
#include "job/JobInfo.h"
#include "product/ProductData.h"
#include "report/TabReports.h"
#include "ui/AlbumTabPage.h"
#include "util/Tool.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace shell;

namespace {

const QString kRemote = QStringLiteral("/ntordrsm2/");

QComboBox* combo(App& app, const QString& name) {
    return app.find<QComboBox>(name);
}

// The user types into a count field and leaves it.
void typeCount(App& app, const QString& name, const QString& text) {
    if (auto* box = combo(app, name)) {
        box->lineEdit()->setText(text);
        Q_EMIT box->lineEdit()->editingFinished();
    } else if (auto* line = app.find<QLineEdit>(name)) {
        line->setText(text);
        Q_EMIT line->editingFinished();
    }
}

QString countText(App& app, const QString& name) {
    if (auto* box = combo(app, name)) {
        return box->currentText();
    }
    auto* line = app.find<QLineEdit>(name);
    return line ? line->text() : QString();
}

bool shown(App& app, const QString& name) {
    auto* widget = app.find<QWidget>(name);
    return widget != nullptr && !widget->isHidden();
}

QString label(App& app, const QString& name) {
    auto* l = app.find<QLabel>(name);
    return l ? l->text() : QString();
}

QStringList items(App& app, const QString& name) {
    QStringList list;
    QComboBox* box = combo(app, name);
    for (int i = 0; box && i < box->count(); ++i) {
        list.append(box->itemText(i));
    }
    return list;
}

QCheckBox* option(App& app, const QString& title) {
    for (QCheckBox* box : app.window->findChildren<QCheckBox*>()) {
        if (box->objectName().startsWith(QStringLiteral("alOptionCb")) && !box->isHidden() &&
            box->text() == title) {
            return box;
        }
    }
    return nullptr;
}

QStringList visibleOptions(App& app) {
    QStringList titles;
    AlbumTabPage* page = app.window->albumPage();
    for (int i = 1; i <= page->optionBoxCount(); ++i) {
        if (!page->optionBox(i)->isHidden()) {
            titles.append(page->optionBox(i)->text());
        }
    }
    return titles;
}

QVariant record(const QString& key) {
    return UserDef::albumDic().value_or(QVariantMap()).value(key);
}

// The report from "UNIT_INDEX=1" on: the head holds the time of writing.
QString unitPart(const QString& report) {
    return report.mid(report.indexOf(QStringLiteral("UNIT_INDEX=1")));
}

// A catalogue of our own, newer than the shipped one, so it is the one in use.
void storeCatalogue(const QString& text) {
    UserDef::setObject(text, QStringLiteral("AlbumData"));
    UserDef::setObject(QStringLiteral("2030/01/01 00:00:00"), QStringLiteral("AlbumDataDateTime"));
}

QString shippedCatalogue() {
    return QString::fromUtf8(
        readAll(Tool::resourcePath(QStringLiteral("AlbumData"), QStringLiteral("txt"))));
}

// Records the addresses the program hands to the system browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    UrlCatcher() {
        for (const char* scheme : {"http", "https", "file", "javascript", "ftp"}) {
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
        }
    }
    ~UrlCatcher() override {
        for (const char* scheme : {"http", "https", "file", "javascript", "ftp"}) {
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
        }
    }
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl& url) { opened.append(url); }
};

// The name sheet: its name typed and its OK pressed.
bool answerNameSheet(const QString& name) {
    if (!waitSheet(QStringLiteral("albumSetNameEditWindow"))) {
        return false;
    }
    return SheetDriver::setText(QStringLiteral("albumSetNameEditWindow"),
                                QStringLiteral("albumSetNameTextField"), name) &&
           SheetDriver::clickButton(QStringLiteral("albumSetNameEditWindow"),
                                    QStringLiteral("albumSetOkButton"));
}

} // namespace

class TestAlbumTab : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void albumOrderWithSetAndNameReachesTheLab();
    void controlsPresentAndForwardTheForm();
    void albumSetsThroughTheNameSheetAndTheMenu();
};

void TestAlbumTab::albumOrderWithSetAndNameReachesTheLab() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    App app;
    QVERIFY(app.selectTab(OrderTab::Album));

    QVERIFY(choose(app, QStringLiteral("alAlbumPop"), QStringLiteral("婚礼デザインアルバム")));
    QVERIFY(choose(app, QStringLiteral("alSizePop"), QStringLiteral("30cmスクエア")));
    QCOMPARE(label(app, QStringLiteral("alSizeLabel")), QStringLiteral("アルバムサイズ"));
    QVERIFY(choose(app, QStringLiteral("alPagePop"), QStringLiteral("20")));
    QCOMPARE(label(app, QStringLiteral("alPageLabel")), QStringLiteral("見開き数"));
    typeCount(app, QStringLiteral("alOrderNum"), QStringLiteral("2"));
    QVERIFY(choose(app, QStringLiteral("alHyouPop"), QStringLiteral("レザー（ホワイト）")));
    QVERIFY(
        choose(app, QStringLiteral("alHyouColPop"), QStringLiteral("名入れ箔押し（ゴールド）")));
    QVERIFY(choose(app, QStringLiteral("alBaseColPop"), QStringLiteral("アイボリー")));
    QVERIFY(choose(app, QStringLiteral("alBoxPop"), QStringLiteral("桐箱")));
    QVERIFY(shown(app, QStringLiteral("alOrderBoxNum")));
    typeCount(app, QStringLiteral("alOrderBoxNum"), QStringLiteral("2"));
    QVERIFY(choose(app, QStringLiteral("alMiniPop"), QStringLiteral("ミニブック（15cm）")));
    QCOMPARE(label(app, QStringLiteral("alMiniLabel")), QStringLiteral("ミニブック"));
    QVERIFY(option(app, QStringLiteral("画像レタッチ")));
    option(app, QStringLiteral("画像レタッチ"))->click();
    option(app, QStringLiteral("ネームプレート"))->click();
    app.find<QPlainTextEdit>(QStringLiteral("alOrderMemo"))->setPlainText(QStringLiteral("至急"));
    QCOMPARE(record(QStringLiteral("AlOptoinArray")).toStringList(),
             (QStringList{QStringLiteral("画像レタッチ"), QStringLiteral("ネームプレート")}));
    // For looking at it: HALVIX_SHOT_DIR keeps a picture of the filled form.
    if (const QString shots = qEnvironmentVariable("HALVIX_SHOT_DIR"); !shots.isEmpty()) {
        app.window->grab().save(shots + QStringLiteral("/album-filled.png"));
    }

    // The choices become a set, and the set is picked for this order.
    QTest::mouseClick(app.find<QPushButton>(QStringLiteral("alSetAddButton")), Qt::LeftButton);
    QVERIFY(answerNameSheet(QStringLiteral("春の婚礼")));
    QCOMPARE(AlbumSet::titles(), QStringList{QStringLiteral("春の婚礼")});
    QVERIFY(choose(app, QStringLiteral("alSetPop"), QStringLiteral("春の婚礼")));
    QCOMPARE(UserDef::stringForKey(QStringLiteral("AlbumSetName")), QStringLiteral("春の婚礼"));

    const QString folder = home.filePath(QStringLiteral("photos"));
    QVERIFY(writeJpeg(folder + QStringLiteral("/p1.jpg")));
    QVERIFY(writeJpeg(folder + QStringLiteral("/p2.jpg"), 240, 320, 40));
    auto* send = app.find<QPushButton>(QStringLiteral("albumSendButton"));
    QVERIFY(!send->isEnabled());
    QVERIFY(!send->toolTip().isEmpty());
    QVERIFY(dropFiles(app.find<QWidget>(QStringLiteral("albumDragDropView")), {folder}));
    const QStringList files = app.ctrl->selectFilesOf(OrderTab::Album);
    QCOMPARE(files.size(), 2);
    QCOMPARE(app.find<QLineEdit>(QStringLiteral("albumImageFolderPath"))->text(), folder);
    QVERIFY(send->isEnabled());
    QVERIFY(app.ctrl->isCharInputProduct());

    QTest::mouseClick(send, Qt::LeftButton);
    // The foil stamp asks for the name and the date.
    QVERIFY(waitSheet(QStringLiteral("characterInputWindow")));
    QVERIFY(SheetDriver::setText(QStringLiteral("characterInputWindow"),
                                 QStringLiteral("charInputName"), QStringLiteral("山田 花子")));
    QVERIFY(SheetDriver::setText(QStringLiteral("characterInputWindow"),
                                 QStringLiteral("charInputDate"), QStringLiteral("2026/12/08")));
    QVERIFY(SheetDriver::confirm(QStringLiteral("characterInputWindow")));
    QVERIFY(waitSheet(QStringLiteral("orderInfoWindow")));
    QVERIFY(SheetDriver::confirm(QStringLiteral("orderInfoWindow")));
    QVERIFY(waitSheet(QStringLiteral("orderAcWindow")));
    QVERIFY(SheetDriver::chooseOrderAction(301));
    QVERIFY(SheetDriver::confirm(QStringLiteral("orderAcWindow")));
    QVERIFY(app.waitJob());

    const QStringList sent = lab.ftpFolderFiles(kRemote);
    QCOMPARE(sent.size(), 1);
    const QString archive = lab.ftpLocalPath(kRemote) + u'/' + sent.first();
    const QStringList entries = unzipList(archive);
    QCOMPARE(entries,
             (QStringList{QStringLiteral("PrintReport4.txt"), QStringLiteral("photos/p1.jpg"),
                          QStringLiteral("photos/p2.jpg")}));
    const QByteArray sjis = unzipEntry(archive, QStringLiteral("PrintReport4.txt"));
    QVERIFY(!sjis.isEmpty());
    // The report writer, fed the same records, writes the same order.
    const QString expected = printReportAlbumTab(
        JobInfo(OrderTab::Album, files, folder, app.ctrl->productData(), nullptr));
    QCOMPARE(sjis.mid(sjis.indexOf("UNIT_INDEX=1")),
             Tool::encodeText(unitPart(expected), TextEncoding::ShiftJis));
    const QString body = unitPart(expected);
    QVERIFY(body.contains(QStringLiteral("UNIT_OPTION_LABEL=ボックス 桐箱 2個")));
    QVERIFY(body.contains(QStringLiteral("UNIT_OPTION_LABEL=ミニブック ミニブック（15cm） 1冊")));
    QVERIFY(body.contains(QStringLiteral("UNIT_OPTION_LABEL=箔押し 名入れ箔押し（ゴールド）")));
    QVERIFY(body.contains(QStringLiteral("UNIT_OPTION_LABEL=画像レタッチ")));
    QVERIFY(body.contains(QStringLiteral("UNIT_OPTION_LABEL=ネームプレート")));
    QVERIFY(body.contains(QStringLiteral("UNIT_OPTION_TEXT=山田 花子")));
    QVERIFY(body.contains(QStringLiteral("Special_Instraction=春の婚礼\r\n至急")));
    // The order's usage report names the set.
    bool setReported = false;
    for (const QJsonObject& r : lab.reports()) {
        if (r.value(QStringLiteral("action")).toString() == QStringLiteral("Order") &&
            r.value(QStringLiteral("text")).toString().contains(QStringLiteral("春の婚礼"))) {
            setReported = true;
        }
    }
    QVERIFY(setReported);
    // The selection is gone, the memo stays.
    QVERIFY(app.ctrl->selectFilesOf(OrderTab::Album).isEmpty());
    QCOMPARE(app.find<QPlainTextEdit>(QStringLiteral("alOrderMemo"))->toPlainText(),
             QStringLiteral("至急"));
}

void TestAlbumTab::controlsPresentAndForwardTheForm() {
    TestHome home;
    LabSim lab;
    AlertRecorder alerts;
    UrlCatcher urls;
    QString text = shippedCatalogue();
    text.replace(QStringLiteral("ソレイナ,https://www.miravell.example/catalog/soleina.html"),
                 QStringLiteral("ソレイナ,file:///etc/passwd"));
    // Thirteen options for one album: the form grows a box rather than dropping one.
    QString options;
    for (int i = 1; i <= 13; ++i) {
        options +=
            QStringLiteral("ポストカード,0,0,0,0,0,加工%1,\"8450,%2,11\"\n").arg(i).arg(3000 + i);
    }
    text.replace(QStringLiteral("CSV_DATA_ALBUM_AL_OPT-->"),
                 options + QStringLiteral("CSV_DATA_ALBUM_AL_OPT-->"));
    storeCatalogue(text);
    App app;
    QVERIFY(app.selectTab(OrderTab::Album));
    const QString folder = home.filePath(QStringLiteral("photos"));
    QVERIFY(writeJpeg(folder + QStringLiteral("/p1.jpg")));
    QVERIFY(dropFiles(app.find<QWidget>(QStringLiteral("albumDragDropView")), {folder}));

    // The catalogue page opens in the browser only when it is a web page.
    auto* catalog = app.find<QPushButton>(QStringLiteral("albumCatalogButton"));
    QVERIFY(choose(app, QStringLiteral("alAlbumPop"), QStringLiteral("婚礼デザインアルバム")));
    QTest::mouseClick(catalog, Qt::LeftButton);
    QCOMPARE(urls.opened.size(), 1);
    QCOMPARE(urls.opened.first().toString(),
             QStringLiteral("https://www.miravell.example/catalog/wedding_design.html"));
    QVERIFY(choose(app, QStringLiteral("alAlbumPop"), QStringLiteral("ソレイナ")));
    QTest::mouseClick(catalog, Qt::LeftButton);
    QCOMPARE(urls.opened.size(), 1);
    QCOMPARE(alerts.last().message, QStringLiteral("カタログのページを開けません"));

    // Captions, lists and hidden controls follow the form; a ticked box reaches the record.
    QVERIFY(choose(app, QStringLiteral("alAlbumPop"), QStringLiteral("フォトブック スタンダード")));
    QCOMPARE(items(app, QStringLiteral("alSizePop")),
             (QStringList{QStringLiteral("A4スクエア（210×210）"),
                          QStringLiteral("A5スクエア（148×148）")}));
    QVERIFY(!shown(app, QStringLiteral("alBoxPop")));
    QVERIFY(!shown(app, QStringLiteral("alBoxLabel")));
    QVERIFY(!shown(app, QStringLiteral("alOrderBoxNum")));
    QVERIFY(choose(app, QStringLiteral("alHyouPop"), QStringLiteral("ハードカバー（布クロス）")));
    QCOMPARE(label(app, QStringLiteral("alHyouColLabel")), QStringLiteral("カバー色"));
    option(app, QStringLiteral("追加プリント（1冊分）"))->click();
    QVERIFY(choose(app, QStringLiteral("alHyouPop"), QStringLiteral("写真表紙")));
    QCOMPARE(visibleOptions(app),
             (QStringList{QStringLiteral("ページ補正"), QStringLiteral("追加プリント（1冊分）")}));
    QVERIFY(app.window->findChild<QCheckBox*>(QStringLiteral("alOptionCb2"))->isChecked());
    QCOMPARE(record(QStringLiteral("AlOptoinArray")).toStringList(),
             QStringList{QStringLiteral("追加プリント（1冊分）")});
    // Free page entry: the combo box shows, and what is typed is normalised.
    QVERIFY(choose(app, QStringLiteral("alAlbumPop"), QStringLiteral("婚礼アルバム中ページ追加")));
    QVERIFY(shown(app, QStringLiteral("alPageComBox")));
    QVERIFY(!shown(app, QStringLiteral("alPagePop")));
    QCOMPARE(items(app, QStringLiteral("alPageComBox")),
             (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("4")}));
    QCOMPARE(label(app, QStringLiteral("alPageLabel")), QStringLiteral("追加見開き数"));
    typeCount(app, QStringLiteral("alPageComBox"), QStringLiteral("-7"));
    QCOMPARE(countText(app, QStringLiteral("alPageComBox")), QStringLiteral("7"));
    QCOMPARE(record(QStringLiteral("AlPagePop")).toString(), QStringLiteral("7"));
    // A limit of 10: a typed 12 is refused and reset.
    typeCount(app, QStringLiteral("alOrderNum"), QStringLiteral("12"));
    QCOMPARE(alerts.last().message, QStringLiteral("注文数上限は 10 です"));
    QCOMPARE(countText(app, QStringLiteral("alOrderNum")), QStringLiteral("1"));
    // Ctrl+Return while 12 is still being typed: the limit stops the order, no sheet opens.
    auto* orderNum = app.find<QComboBox>(QStringLiteral("alOrderNum"));
    app.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(app.window.get()));
    orderNum->setFocus();
    orderNum->lineEdit()->setText(QStringLiteral("12"));
    alerts.clear();
    QTest::keyClick(orderNum->lineEdit(), Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(alerts.messages().value(0), QStringLiteral("注文数上限は 10 です"));
    QCOMPARE(countText(app, QStringLiteral("alOrderNum")), QStringLiteral("1"));
    QVERIFY(SheetDriver::openSheetName().isEmpty());
    QVERIFY(!app.ctrl->isJobExecuting());
    // The wheel over a pop-up the user did not click into scrolls the form, never the choice.
    auto* sizePop = app.find<QComboBox>(QStringLiteral("alSizePop"));
    const QString sizeBefore = sizePop->currentText();
    app.find<QWidget>(QStringLiteral("alAlbumPop"))->setFocus();
    const QPointF at = sizePop->rect().center();
    QWheelEvent wheel(at, sizePop->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(sizePop, &wheel);
    QCOMPARE(sizePop->currentText(), sizeBefore);

    // The direct count: its own field and captions; "0" blocks Send.
    QVERIFY(choose(app, QStringLiteral("alAlbumPop"), QStringLiteral("RAW現像")));
    QVERIFY(!shown(app, QStringLiteral("alOrderNum")));
    QVERIFY(shown(app, QStringLiteral("alOrderNum2")));
    QCOMPARE(label(app, QStringLiteral("alOrderNumLabel")), QStringLiteral("セット数"));
    QCOMPARE(label(app, QStringLiteral("alOrderUnitLabel")), QStringLiteral("セット"));
    auto* send = app.find<QPushButton>(QStringLiteral("albumSendButton"));
    QVERIFY(send->isEnabled());
    alerts.clear();
    typeCount(app, QStringLiteral("alOrderNum2"), QStringLiteral("-3"));
    QCOMPARE(countText(app, QStringLiteral("alOrderNum2")), QStringLiteral("0"));
    QTest::mouseClick(send, Qt::LeftButton);
    QCOMPARE(alerts.last().message, QStringLiteral("数量を入力してください"));
    QVERIFY(SheetDriver::openSheetName().isEmpty());

    // Fourteen option boxes for the postcard's options; back to fewer, the extra ones hide.
    QVERIFY(choose(app, QStringLiteral("alAlbumPop"), QStringLiteral("ポストカード")));
    QCOMPARE(visibleOptions(app).size(), 14);
    auto* beyondTwelve = app.window->findChild<QCheckBox*>(QStringLiteral("alOptionCb14"));
    QVERIFY(beyondTwelve && !beyondTwelve->isHidden());
    beyondTwelve->click();
    QCOMPARE(record(QStringLiteral("AlOptoinArray")).toStringList(),
             QStringList{QStringLiteral("加工13")});
    QVERIFY(!shown(app, QStringLiteral("alOrderNumLabel")));
    QVERIFY(choose(app, QStringLiteral("alAlbumPop"), QStringLiteral("RAW現像")));
    QVERIFY(beyondTwelve->isHidden());
    QCOMPARE(visibleOptions(app).size(), 2);
    // Every set-up leaves its breadcrumbs.
    app.window->albumPage()->albumUIInit();
    QCOMPARE(UserDef::appStatus(), QStringLiteral("albumUIInit end"));
}

void TestAlbumTab::albumSetsThroughTheNameSheetAndTheMenu() {
    TestHome home;
    LabSim lab;
    AlertRecorder alerts;
    // A stored set from an earlier run is offered at start.
    AlbumSet::store(
        {QStringLiteral("定番")},
        {QVariantMap{{QStringLiteral("AlAlbumPop"), QStringLiteral("ソレイナ")},
                     {QStringLiteral("AlSizePop"), QStringLiteral("A4スクエア（210×210）")},
                     {QStringLiteral("AlPagePop"), QStringLiteral("30")},
                     {QStringLiteral("AlHyouPop"), QStringLiteral("ソレイナカバー（ネイビー）")},
                     {QStringLiteral("AlOptoinArray"), QStringList()}}});
    App app;
    QVERIFY(app.selectTab(OrderTab::Album));
    QCOMPARE(items(app, QStringLiteral("alSetPop")),
             (QStringList{QStringLiteral("-"), QStringLiteral("定番")}));
    auto* edit = app.find<QPushButton>(QStringLiteral("alSetEditButton"));
    auto* del = app.find<QPushButton>(QStringLiteral("alSetDelButton"));
    QVERIFY(!edit->isEnabled() && !del->isEnabled());

    // Picking a set fills the form.
    QVERIFY(choose(app, QStringLiteral("alSetPop"), QStringLiteral("定番")));
    QCOMPARE(combo(app, QStringLiteral("alAlbumPop"))->currentText(), QStringLiteral("ソレイナ"));
    QCOMPARE(combo(app, QStringLiteral("alPagePop"))->currentText(), QStringLiteral("30"));
    QCOMPARE(combo(app, QStringLiteral("alHyouPop"))->currentText(),
             QStringLiteral("ソレイナカバー（ネイビー）"));
    QVERIFY(edit->isEnabled() && del->isEnabled());
    // Picking "-" leaves the form and records "-".
    QVERIFY(choose(app, QStringLiteral("alSetPop"), QStringLiteral("-")));
    QCOMPARE(combo(app, QStringLiteral("alAlbumPop"))->currentText(), QStringLiteral("ソレイナ"));
    QCOMPARE(UserDef::stringForKey(QStringLiteral("AlbumSetName")), QStringLiteral("-"));

    // Add: an empty name does nothing; a used name re-opens the sheet with the clash message.
    QTest::mouseClick(app.find<QPushButton>(QStringLiteral("alSetAddButton")), Qt::LeftButton);
    QVERIFY(waitSheet(QStringLiteral("albumSetNameEditWindow")));
    QVERIFY(!app.ctrl->isMenuUseOk());
    QCOMPARE(SheetDriver::text(QStringLiteral("albumSetNameEditWindow"),
                               QStringLiteral("albumSetMsg1TextField")),
             QStringLiteral("現在のアルバム商品選択状態をセットとして登録します"));
    QVERIFY(SheetDriver::clickButton(QStringLiteral("albumSetNameEditWindow"),
                                     QStringLiteral("albumSetOkButton")));
    QCOMPARE(SheetDriver::openSheetName(), QStringLiteral("albumSetNameEditWindow"));
    QVERIFY(answerNameSheet(QStringLiteral("定番")));
    QVERIFY(waitSheet(QStringLiteral("albumSetNameEditWindow")));
    QCOMPARE(SheetDriver::text(QStringLiteral("albumSetNameEditWindow"),
                               QStringLiteral("albumSetMsg2TextField")),
             QStringLiteral("登録済の名称です。違う名称で登録して下さい"));
    QVERIFY(logText().contains(QStringLiteral("セット登録--タイトルNG: 定番")));
    QVERIFY(answerNameSheet(QStringLiteral("秋")));
    QVERIFY(QTest::qWaitFor([] { return SheetDriver::openSheetName().isEmpty(); }, 5000));
    QVERIFY(app.ctrl->isMenuUseOk());
    QCOMPARE(AlbumSet::titles(), (QStringList{QStringLiteral("定番"), QStringLiteral("秋")}));

    // Renaming a set to its own name is a clash; another name renames it.
    QVERIFY(choose(app, QStringLiteral("alSetPop"), QStringLiteral("秋")));
    QTest::mouseClick(edit, Qt::LeftButton);
    QVERIFY(waitSheet(QStringLiteral("albumSetNameEditWindow")));
    QCOMPARE(SheetDriver::text(QStringLiteral("albumSetNameEditWindow"),
                               QStringLiteral("albumSetNameTextField")),
             QStringLiteral("秋"));
    QVERIFY(answerNameSheet(QStringLiteral("秋")));
    QVERIFY(waitSheet(QStringLiteral("albumSetNameEditWindow")));
    QCOMPARE(SheetDriver::text(QStringLiteral("albumSetNameEditWindow"),
                               QStringLiteral("albumSetMsg2TextField")),
             QStringLiteral("登録済の名称です。違う名称に変更して下さい"));
    QVERIFY(answerNameSheet(QStringLiteral("晩秋")));
    QCOMPARE(AlbumSet::titles(), (QStringList{QStringLiteral("定番"), QStringLiteral("晩秋")}));

    // Delete: the name is shown, not editable.
    QVERIFY(choose(app, QStringLiteral("alSetPop"), QStringLiteral("定番")));
    QTest::mouseClick(del, Qt::LeftButton);
    QVERIFY(waitSheet(QStringLiteral("albumSetNameEditWindow")));
    auto* field =
        SheetDriver::openSheet()->findChild<QLineEdit*>(QStringLiteral("albumSetNameTextField"));
    QVERIFY(field->isReadOnly());
    QVERIFY(SheetDriver::clickButton(QStringLiteral("albumSetNameEditWindow"),
                                     QStringLiteral("albumSetOkButton")));
    QCOMPARE(AlbumSet::titles(), QStringList{QStringLiteral("晩秋")});
    QCOMPARE(items(app, QStringLiteral("alSetPop")),
             (QStringList{QStringLiteral("-"), QStringLiteral("晩秋")}));
    QVERIFY(logText().contains(QStringLiteral("セット削除: 定番")));

    // Export and import from the menu.
    const QString file = home.filePath(QStringLiteral("sets.plist"));
    alerts.enqueueFile(file);
    app.window->menuAction(QStringLiteral("albumSetExportMenuItem"))->trigger();
    QVERIFY(QFileInfo::exists(file));
    AlbumSet::delAlbumSet(0);
    alerts.enqueueFile(file);
    alerts.enqueueButton(3);
    app.window->menuAction(QStringLiteral("albumSetImportMenuItem"))->trigger();
    QCOMPARE(items(app, QStringLiteral("alSetPop")),
             (QStringList{QStringLiteral("-"), QStringLiteral("晩秋")}));
    QVERIFY(app.ctrl->isDragDropOn());
}

QTEST_MAIN(TestAlbumTab)
#include "tst_AlbumTab.moc"
