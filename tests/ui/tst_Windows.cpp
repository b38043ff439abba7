// Every window, sheet and alert on a small screen (1024×700): whole, nothing overlapping, one
// button order, and readable through the accessibility interface a screen reader uses.

#include "AppWindowFixture.h"
#include "SheetDriver.h"
#include "WidgetTree.h"
#include "job/KeptOrders.h"
#include "service/OrderHistoryTable.h"
#include "settings/SettingsKeys.h"
#include "ui/AlbumKineloSheet.h"
#include "ui/AlbumTabPage.h"
#include "ui/ConnectionTestWindow.h"
#include "ui/DragDropScrollView.h"
#include "ui/FileDownCtrl.h"
#include "ui/FileListTabPage.h"
#include "ui/MainTabViewCtrl.h"
#include "ui/MessageBoxResponder.h"
#include "ui/OrderHistoryWindow.h"
#include "ui/OrderSheets.h"
#include "ui/PassCheckWindow.h"
#include "ui/PreferencesCtrl.h"
#include "ui/PrintFileListCtrl.h"
#include "ui/PrintKineloSheet.h"
#include "ui/ReadingOrder.h"
#include "ui/ServiceWindows.h"
#include "util/ProcessRunner.h"
#include "util/ShiftJisCodec.h"
#include "util/ToolPaths.h"
#include "util/WorkFolder.h"

#include <QAccessible>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <QToolTip>
#include <QtTest>
#include <functional>

namespace {

QStringList writePhotos(const QString& folder, int count) {
    QDir().mkpath(folder);
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        QImage image(120, 80, QImage::Format_RGB32);
        image.fill(QColor(40 * i, 120, 90));
        const QString path = folder + QStringLiteral("/p%1.jpg").arg(i);
        if (image.save(path, "JPEG")) {
            paths.append(path);
        }
    }
    return paths;
}

// A history of a few orders: sent, waiting, saved under a long path, failed with a long error.
const QString kLongError = QStringLiteral(
    "ラボのサーバーにログインできませんでした。お客様コードとパスワードをご確認ください。"
    "オーダーは送信待ちフォルダに保存されています。");
const QString kSavedArchive = QStringLiteral(
    "/home/studio/デスクトップ/2026年の注文/卒業アルバム/1234_001122AABBCC_0000004.zip");

// The sent order 0000001 is still kept (a real archive with its report), and was sent again as
// 0000005.
void writeKeptOrder() {
    const QString folder = KeptOrders::folderPath();
    QVERIFY(QDir().mkpath(folder));
    const QString source = WorkFolder::workFolderPath() + QStringLiteral("/kept-source");
    const QStringList photos = writePhotos(source, 3);
    QFile report(source + QStringLiteral("/PrintReport4.txt"));
    QVERIFY(report.open(QIODevice::WriteOnly));
    report.write(shiftjis::encode(QStringLiteral(
        "CUSTOMER_NUMBER=1234\r\nLAB_ORDER_ID=0000001\r\nCUSTOMER_EMAIL=studio@example.jp\r\n"
        "CURRENT_DATE=2026/02/01\r\nCURRENT_TIME=09:58:12\r\n"
        "CUSTOMER_ORDER_ID=1234_001122AABBCC_0000001\r\nORDER_TYPE=プリント\r\n"
        "---------------------------------------\r\nUNIT_INDEX=1\r\n"
        "UNIT_PRODUCT_DESCRIPTION=プリント L判 2枚\r\nSpecial_Instraction=至急お願いします\r\n"
        "(^^)\r\n")));
    report.close();
    QStringList args{QStringLiteral("-q"),
                     QStringLiteral("-j"),
                     QStringLiteral("-P"),
                     QStringLiteral("qelvoxa"),
                     folder + QStringLiteral("/1234_001122AABBCC_0000001.zip"),
                     report.fileName()};
    args += photos;
    QVERIFY(runProcess(ToolPaths::zip(), args).succeeded());
    QDir(source).removeRecursively();
}

void writeHistory() {
    QVERIFY(WorkFolder::checkWorkFolder());
    writeKeptOrder();
    QFile file(OrderHistoryTable::historyFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const auto line = [&file](const QString& when, const QString& tab, const QString& archive,
                              const QString& outcome, const QString& error) {
        QJsonObject record{{QStringLiteral("dateTime"), when},
                           {QStringLiteral("tab"), tab},
                           {QStringLiteral("archive"), archive},
                           {QStringLiteral("fileCount"), 24},
                           {QStringLiteral("size"), 48200000},
                           {QStringLiteral("outcome"), outcome},
                           {QStringLiteral("errorCode"), error.isEmpty() ? 0 : 67},
                           {QStringLiteral("errorText"), error}};
        file.write(QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n');
    };
    line(QStringLiteral("2026-02-01T10:00:00"), QStringLiteral("プリント"),
         QStringLiteral("1234_001122AABBCC_0000001.zip"), QStringLiteral("sent"), QString());
    {
        QJsonObject resend{
            {QStringLiteral("dateTime"), QStringLiteral("2026-02-01T10:30:00")},
            {QStringLiteral("tab"), QStringLiteral("プリント")},
            {QStringLiteral("archive"), QStringLiteral("1234_001122AABBCC_0000005.zip")},
            {QStringLiteral("fileCount"), 24},
            {QStringLiteral("size"), 48200000},
            {QStringLiteral("outcome"), QStringLiteral("sent")},
            {QStringLiteral("resentFrom"), QStringLiteral("1234_001122AABBCC_0000001.zip")}};
        file.write(QJsonDocument(resend).toJson(QJsonDocument::Compact) + '\n');
    }
    line(QStringLiteral("2026-02-01T11:00:00"), QStringLiteral("アルバム"),
         QStringLiteral("1234_001122AABBCC_0000002.zip"), QStringLiteral("pooled"), QString());
    line(QStringLiteral("2026-02-01T12:00:00"), QStringLiteral("スクール"),
         QStringLiteral("1234_001122AABBCC_0000003.zip"), QStringLiteral("failed"), kLongError);
    line(QStringLiteral("2026-02-01T13:00:00"), QStringLiteral("その他"), kSavedArchive,
         QStringLiteral("saved"), QString());
}

QDialog* visibleDialog(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->objectName() == name) {
            return qobject_cast<QDialog*>(w);
        }
    }
    return nullptr;
}

QRect screenArea() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// One window of the program at a time, opened as the user opens it; `check` looks at it, then
// it is closed again.
using Check = std::function<void(const QString& what, QWidget* window)>;

// With HALVIX_SCREENSHOTS set (a folder), each window is also photographed from the screen, for
// a person to look at (run under Xvfb at the screen size wanted).
void screenshot(const QString& what) {
    const QString folder = qEnvironmentVariable("HALVIX_SCREENSHOTS");
    if (folder.isEmpty()) {
        return;
    }
    static int number = 0;
    QTest::qWait(300);
    const QSize size = QGuiApplication::primaryScreen()->geometry().size();
    QString name = what;
    name.replace(QRegularExpression(QStringLiteral("[ ,/]+")), QStringLiteral("_"));
    QGuiApplication::primaryScreen()->grabWindow(0).save(QStringLiteral("%1/%2x%3-%4-%5.png")
                                                             .arg(folder)
                                                             .arg(size.width())
                                                             .arg(size.height())
                                                             .arg(++number, 2, 10, QLatin1Char('0'))
                                                             .arg(name));
}

void showTab(AppWindowFixture& app, OrderTab tab) {
    app.window->selectTab(tab);
    app.ctrl->setSelectedTab(tab);
    app.ctrl->comViewRefresh();
    QCoreApplication::processEvents();
}

// An item of a pop-up by its place, as a user picks it.
bool chooseAt(AppWindowFixture& app, const QString& name, int index) {
    auto* pop = app.find<QComboBox>(name);
    if (pop == nullptr || !pop->isEnabled() || index >= pop->count()) {
        return false;
    }
    pop->setCurrentIndex(index);
    Q_EMIT pop->activated(index);
    return true;
}

// Photos on every tab and the print and school rows ordered, so that Send can be reached on
// them; the resize tab with a product.
void fillTabs(AppWindowFixture& app) {
    const QString folder = app.home.filePath(QStringLiteral("Order"));
    const QStringList photos = writePhotos(folder, 3);
    QCOMPARE(photos.size(), 3);
    for (OrderTab tab : {OrderTab::Print, OrderTab::School}) {
        showTab(app, tab);
        auto* page = static_cast<FileListTabPage*>(app.window->page(tab));
        Q_EMIT page->dragDropView()->filesDropped(photos);
        QCoreApplication::processEvents();
        page->fileListCtrl()->selectRows({0, 1, 2});
        const QString p = OrderTabPage::prefix(tab);
        QVERIFY(chooseAt(app, p + QStringLiteral("CategoryPop"), 1));
        QVERIFY(app.click(p + QStringLiteral("OrderSetButton")));
        app.ctrl->comViewRefresh();
        QVERIFY2(page->sendButton()->isEnabled(), qPrintable(page->sendButton()->toolTip()));
    }
    for (OrderTab tab : {OrderTab::Album, OrderTab::Resize, OrderTab::Etc}) {
        showTab(app, tab);
        Q_EMIT app.window->page(tab)->dragDropView()->filesDropped({folder});
        QCoreApplication::processEvents();
    }
    showTab(app, OrderTab::Resize);
    QVERIFY(chooseAt(app, QStringLiteral("resizeCategoryPop"), 1));
}

// The album with its most rows: a box with its count and colour, a mini book, options.
void showTheWholeAlbum(AppWindowFixture& app) {
    showTab(app, OrderTab::Album);
    QVERIFY(app.choose(QStringLiteral("alAlbumPop"), QStringLiteral("婚礼デザインアルバム")));
    QVERIFY(app.choose(QStringLiteral("alSizePop"), QStringLiteral("30cmスクエア")));
    QVERIFY(app.choose(QStringLiteral("alBoxPop"), QStringLiteral("布張りボックス")));
    QVERIFY(app.choose(QStringLiteral("alMiniPop"), QStringLiteral("ミニブック（15cm）")));
    QCoreApplication::processEvents();
    for (const char* name : {"alOrderBoxNum", "alBoxColPop", "alOrderMiniNum", "alOptionCb1"}) {
        QVERIFY2(app.find<QWidget>(QString::fromLatin1(name))->isVisible(), name);
    }
}

// The album whose mini book has a colour: a case with its count, the mini book with its count
// and colour.
void showTheMiniColour(AppWindowFixture& app) {
    showTab(app, OrderTab::Album);
    QVERIFY(app.choose(QStringLiteral("alAlbumPop"), QStringLiteral("ソレイナ")));
    QVERIFY(app.choose(QStringLiteral("alBoxPop"), QStringLiteral("ソレイナ専用ケース")));
    QVERIFY(app.choose(QStringLiteral("alMiniPop"), QStringLiteral("ソレイナミニ")));
    QCoreApplication::processEvents();
    for (const char* name : {"alOrderBoxNum", "alOrderMiniNum", "alMiniColPop"}) {
        QVERIFY2(app.find<QWidget>(QString::fromLatin1(name))->isVisible(), name);
    }
}

// On a large screen the window takes it, as a studio's would.
void useTheScreen(AppWindowFixture& app) {
    if (QGuiApplication::primaryScreen()->geometry().width() >= 1920) {
        app.window->setGeometry(screenArea());
        QCoreApplication::processEvents();
    }
}

void eachWindow(AppWindowFixture& app, const Check& userCheck) {
    const Check check = [&userCheck](const QString& what, QWidget* window) {
        screenshot(what);
        userCheck(what, window);
    };
    MainWindow* window = app.window.get();
    if (!qEnvironmentVariableIsEmpty("HALVIX_SCREENSHOTS")) {
        window->resize(QGuiApplication::primaryScreen()->availableGeometry().size());
    }
    for (OrderTab tab :
         {OrderTab::Print, OrderTab::School, OrderTab::Album, OrderTab::Resize, OrderTab::Etc}) {
        window->selectTab(tab);
        app.ctrl->setSelectedTab(tab);
        app.ctrl->comViewRefresh();
        QCoreApplication::processEvents();
        check(QStringLiteral("main window, tab %1").arg(orderTabLabel(tab)), window);
    }

    // The order sheets of the chain, and the pool sheet.
    OrderSheets& sheets = window->orderSheets();
    const std::pair<const char*, std::function<void()>> orderSheets[] = {
        {"orderCustomerCheckWindow", [&] { sheets.showOrderCustomerCheckWindowSheet(); }},
        {"orderInfo3465Window", [&] { sheets.showOrderInfo3465WindowSheet(); }},
        {"characterInputWindow", [&] { sheets.showCharacterInputWindowSheet(); }},
        {"orderInfoWindow", [&] { sheets.showOrderInfoWindowSheet(); }},
        {"orderAcWindow", [&] { sheets.showOrderAcWindowSheet(); }},
    };
    for (const auto& [name, open] : orderSheets) {
        open();
        QCoreApplication::processEvents();
        QDialog* sheet = sheets.currentSheet();
        QVERIFY2(sheet != nullptr, name);
        check(QString::fromLatin1(name) + u' ' + sheet->objectName(), sheet);
        sheet->reject();
        QCoreApplication::processEvents();
    }

    // The Kinelo sheets, the album's with its added-files pane.
    window->albumKineloSheet()->albumKineloAction();
    QCoreApplication::processEvents();
    QDialog* kinelo = visibleDialog(QStringLiteral("albumKineloInputWindow"));
    QVERIFY(kinelo != nullptr);
    kinelo->findChild<QRadioButton*>(QStringLiteral("kineloOrderType11"))->click();
    QCoreApplication::processEvents();
    check(QStringLiteral("album Kinelo sheet, added files"), kinelo);
    kinelo->reject();
    window->printKineloSheet()->printKineloAction();
    QCoreApplication::processEvents();
    QDialog* printKinelo = visibleDialog(QStringLiteral("printKineloInputWindow"));
    QVERIFY(printKinelo != nullptr);
    check(QStringLiteral("print Kinelo sheet"), printKinelo);
    printKinelo->reject();
    QCoreApplication::processEvents();

    // The memo sheet of the print tab.
    window->selectTab(OrderTab::Print);
    app.ctrl->setSelectedTab(OrderTab::Print);
    Q_EMIT window->printPage()->dragDropView()->filesDropped(
        writePhotos(app.home.filePath(QStringLiteral("Shoot")), 2));
    QCoreApplication::processEvents();
    QVERIFY(app.click(QStringLiteral("printAddMemoAllButton")));
    QDialog* memo = visibleDialog(QStringLiteral("printMemoInputWindow"));
    QVERIFY(memo != nullptr);
    check(QStringLiteral("memo sheet"), memo);
    memo->reject();
    QCoreApplication::processEvents();

    // Preferences: the first start (no e-mail address yet), the single-customer view, the
    // multi-customer view as reopened, and with the code's error.
    UserDef::setObject(QString(), QStringLiteral("CustomerEmail"));
    window->preferencesAction();
    QCoreApplication::processEvents();
    QDialog* prefs = visibleDialog(QStringLiteral("preferencesWindow"));
    QVERIFY(prefs != nullptr);
    QVERIFY(prefs->findChild<QLabel*>(QStringLiteral("firstStartMsg"))->isVisible());
    check(QStringLiteral("preferences, first start"), prefs);
    prefs->findChild<QAbstractButton*>(QStringLiteral("userPrefCancelBt"))->click();
    UserDef::setObject(QStringLiteral("studio@example.jp"), QStringLiteral("CustomerEmail"));
    QCoreApplication::processEvents();
    window->preferencesAction();
    QCoreApplication::processEvents();
    prefs = visibleDialog(QStringLiteral("preferencesWindow"));
    QVERIFY(prefs != nullptr);
    check(QStringLiteral("preferences, one customer"), prefs);
    UserDef::setObject(
        QVariantList{
            QVariantMap{{QStringLiteral("PhotoStudioName"), QStringLiteral("テスト写真館")},
                        {SettingsKey::CustomerCode, QStringLiteral("1234")}},
            QVariantMap{
                {QStringLiteral("PhotoStudioName"), QStringLiteral("フォトスタジオ青空 駅前店")},
                {SettingsKey::CustomerCode, QStringLiteral("5678-01")}}},
        SettingsKey::Customers);
    prefs->findChild<QAbstractButton*>(QStringLiteral("multiCustomerCb"))->click();
    prefs->findChild<QAbstractButton*>(QStringLiteral("userPrefCancelBt"))->click();
    QCoreApplication::processEvents();
    window->preferencesAction();
    QCoreApplication::processEvents();
    prefs = visibleDialog(QStringLiteral("preferencesWindow"));
    QVERIFY(prefs != nullptr);
    check(QStringLiteral("preferences, several customers"), prefs);
    prefs->findChild<QAbstractButton*>(QStringLiteral("multiCustomerCb"))->click();
    QCoreApplication::processEvents();
    auto* code = prefs->findChild<QLineEdit*>(QStringLiteral("customerCodeField"));
    code->setText(QStringLiteral("abc"));
    Q_EMIT code->editingFinished();
    QCoreApplication::processEvents();
    check(QStringLiteral("preferences, code error"), prefs);
    auto* error = prefs->findChild<QLabel*>(QStringLiteral("customerCodeErrorMsg"));
    QVERIFY(error->isVisible());
    // Every line of the wrapped error has room.
    QVERIFY2(error->height() >= error->heightForWidth(error->width()),
             qPrintable(QStringLiteral("%1 < %2")
                            .arg(error->height())
                            .arg(error->heightForWidth(error->width()))));
    code->setText(QStringLiteral("1234"));
    Q_EMIT code->editingFinished();
    prefs->findChild<QAbstractButton*>(QStringLiteral("userPrefCancelBt"))->click();
    QCoreApplication::processEvents();

    // The custom-mode password window.
    PassCheckWindow* pass = window->preferences().passCheckWindow();
    pass->openForCode(QStringLiteral("9999"));
    QCoreApplication::processEvents();
    check(QStringLiteral("password check"), pass);
    pass->reject();
    QCoreApplication::processEvents();

    // The service windows: order history (with orders), file download, connection test.
    writeHistory();
    ServiceWindows& services = window->serviceWindows();
    services.orderHistoryAction();
    QCoreApplication::processEvents();
    // The kept order chosen: it can be sent again and looked into.
    {
        OrderHistoryWindow* history = services.orderHistoryWindow();
        auto* view = history->findChild<QTableView*>(QStringLiteral("orderHistoryTable"));
        const int kept =
            history->table()->rowOfArchive(QStringLiteral("1234_001122AABBCC_0000001.zip"));
        QVERIFY(kept >= 0);
        view->selectRow(kept);
        QCoreApplication::processEvents();
        QVERIFY(history->findChild<QPushButton*>(QStringLiteral("orderHistoryResendButton"))
                    ->isEnabled());
    }
    check(QStringLiteral("order history"), services.orderHistoryWindow());
    services.orderHistoryWindow()->showSelectedContents();
    QCoreApplication::processEvents();
    QVERIFY(services.orderHistoryWindow()->contentsWindow() != nullptr);
    check(QStringLiteral("kept order contents"), services.orderHistoryWindow()->contentsWindow());
    services.orderHistoryWindow()->contentsWindow()->close();
    services.orderHistoryWindow()->close();
    services.fileDownCtrl()->show();
    QCoreApplication::processEvents();
    check(QStringLiteral("file download"), services.fileDownCtrl());
    services.fileDownCtrl()->hide();
    // The connection test with its results (the advice rows wrap).
    ConnectionTestWindow* connection = services.connectionTestWindow();
    QSignalSpy ended(connection, &ConnectionTestWindow::testEnded);
    services.connectionTestAction();
    QVERIFY(ended.wait(120000));
    check(QStringLiteral("connection test"), connection);
    services.connectionTestWindow()->hide();
    QCoreApplication::processEvents();
}

} // namespace

class TestWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theScreenIsSmall() {
        if (!qEnvironmentVariableIsEmpty("HALVIX_SCREENSHOTS") ||
            !qEnvironmentVariableIsEmpty("HALVIX_TEST_SCREEN")) {
            QSKIP("on the screen given");
        }
        QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), QSize(1024, 700));
    }

    // Every window and sheet inside the screen, no sibling controls overlapping.
    void everyWindowFitsTheSmallScreen() {
        AppWindowFixture app;
        QVERIFY(app.isReady());
        app.start(OrderTab::Print);
        QStringList problems;
        eachWindow(app, [&problems](const QString& what, QWidget* window) {
            for (const QString& problem : widgettree::fitProblems(window, screenArea())) {
                problems.append(what + QStringLiteral(": ") + problem);
            }
        });
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    // Tab goes as the eye reads, on every tab (filled, so that Send can be reached) and in every
    // window and sheet: from the studio above the tabs and the tab bar down the page, a block's
    // column before the next, Send last, and the album's scrolling form no stop of its own.
    void tabFollowsReadingOrder() {
        AppWindowFixture app;
        QVERIFY(app.isReady());
        app.start(OrderTab::Print);
        useTheScreen(app);
        fillTabs(app);
        if (QTest::currentTestFailed()) {
            return;
        }
        QStringList problems;
        const auto walk = [&](const QString& what, QWidget* start, QWidget* last) {
            const QList<QWidget*> chain = widgettree::tabChain(start);
            for (const QString& problem : widgettree::readingOrderProblems(chain, last)) {
                problems.append(what + QStringLiteral(": ") + problem);
            }
            return chain;
        };
        QTabBar* bar = app.window->mainTabView()->tabBar();
        for (OrderTab tab : kAllOrderTabs) {
            showTab(app, tab);
            OrderTabPage* page = app.window->page(tab);
            const QList<QWidget*> chain = walk(orderTabLabel(tab), bar, page->sendButton());
            if (tab != OrderTab::Album) {
                QVERIFY2(chain.contains(page->sendButton()), qPrintable(orderTabLabel(tab)));
            }
        }
        // The album with every row of the form, then with a product that can be sent.
        showTheWholeAlbum(app);
        OrderTabPage* album = app.window->page(OrderTab::Album);
        const QList<QWidget*> whole =
            walk(QStringLiteral("アルバム（全項目）"), bar, album->sendButton());
        for (const char* name : {"alOrderBoxNum", "alBoxColPop", "alOptionCb1"}) {
            QVERIFY2(whole.contains(app.find<QWidget>(QString::fromLatin1(name))), name);
        }
        showTheMiniColour(app);
        const QList<QWidget*> mini =
            walk(QStringLiteral("アルバム（ミニカラー）"), bar, album->sendButton());
        QVERIFY(mini.contains(app.find<QWidget>(QStringLiteral("alMiniColPop"))));
        QVERIFY(app.choose(QStringLiteral("alAlbumPop"), QStringLiteral("RAW現像")));
        auto* count = app.find<QLineEdit>(QStringLiteral("alOrderNum2"));
        QVERIFY(count != nullptr && count->isVisible());
        count->setText(QStringLiteral("2"));
        Q_EMIT count->editingFinished();
        app.ctrl->comViewRefresh();
        QVERIFY2(album->sendButton()->isEnabled(), qPrintable(album->sendButton()->toolTip()));
        QVERIFY(walk(QStringLiteral("アルバム（RAW）"), bar, album->sendButton())
                    .contains(album->sendButton()));

        // Every window and sheet, from the control that has the focus when it opens.
        eachWindow(app, [&](const QString& what, QWidget* window) {
            if (window == app.window.get()) {
                return; // the tabs above
            }
            QWidget* start = window->focusWidget();
            const QList<QWidget*> stops = readingOrder(window);
            for (qsizetype i = 0; start == nullptr && i < stops.size(); ++i) {
                if (stops[i]->isVisible() && stops[i]->isEnabled()) {
                    start = stops[i];
                }
            }
            QVERIFY2(start != nullptr, qPrintable(what));
            // The chain from its first stop in reading order; the default button stands at the
            // end of the bottom row and so comes last by position.
            walk(what, start, nullptr);
        });
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    // Through QAccessible, as a screen reader asks: every pop-up and count shown on every tab
    // (the album with its box, mini book and options) is labelled by the caption shown before
    // it, the mini book's colour too.
    void everyPopUpAndCountHasItsCaption() {
        AppWindowFixture app;
        QVERIFY(app.isReady());
        app.start(OrderTab::Print);
        useTheScreen(app);
        fillTabs(app);
        if (QTest::currentTestFailed()) {
            return;
        }
        QStringList problems;
        const auto check = [&](const QString& what) {
            for (const QString& problem : widgettree::captionProblems(app.window.get())) {
                problems.append(what + QStringLiteral(": ") + problem);
            }
        };
        for (OrderTab tab : kAllOrderTabs) {
            showTab(app, tab);
            check(orderTabLabel(tab));
        }
        showTheWholeAlbum(app);
        check(QStringLiteral("アルバム（全項目）"));
        const auto caption = [&app](const char* name) {
            QAccessibleInterface* face =
                QAccessible::queryAccessibleInterface(app.find<QWidget>(QString::fromLatin1(name)));
            const auto labels = face->relations(QAccessible::Label);
            return labels.isEmpty() ? QString() : labels.first().first->text(QAccessible::Name);
        };
        // The counts are read by their caption, not by their unit.
        QCOMPARE(caption("alOrderNum"), QStringLiteral("数量"));
        QCOMPARE(caption("alOrderBoxNum"), QStringLiteral("数量"));
        QCOMPARE(caption("alOrderMiniNum"), QStringLiteral("数量"));
        QCOMPARE(caption("alBoxColPop"), QStringLiteral("ボックスカラー"));
        showTheMiniColour(app);
        check(QStringLiteral("アルバム（ミニカラー）"));
        QCOMPARE(caption("alBoxPop"), QStringLiteral("ケース"));
        QCOMPARE(caption("alMiniColPop"), QStringLiteral("ミニカラー"));
        QVERIFY(app.choose(QStringLiteral("alAlbumPop"), QStringLiteral("RAW現像")));
        QCoreApplication::processEvents();
        QCOMPARE(caption("alOrderNum2"),
                 app.find<QLabel>(QStringLiteral("alOrderNumLabel"))->text());
        check(QStringLiteral("アルバム（RAW）"));
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    // A long alert: wide enough for its longest line, buttons キャンセル｜OK, over the main window.
    void aLongAlertFitsAndOrdersItsButtons() {
        AppWindowFixture app;
        QVERIFY(app.isReady());
        app.start(OrderTab::Etc);
        if (!qEnvironmentVariableIsEmpty("HALVIX_SCREENSHOTS")) {
            app.window->resize(screenArea().size());
        }
        MessageBoxResponder::install();
        const QString title =
            QStringLiteral("送信エラーが発生しました（サーバーへのログインエラー）");
        const QString text = QStringLiteral(
            "ラボのサーバーにログインできませんでした。お客様コードとパスワードをご確認ください。\n"
            "オーダーは送信待ちフォルダに保存されています。");
        QStringList problems;
        int width = 0;
        QWidget* parent = nullptr;
        int cancelX = -1;
        int okX = -1;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            QTest::qWait(50);
            screenshot(QStringLiteral("long alert"));
            problems = widgettree::fitProblems(box, screenArea());
            width = box->width();
            parent = box->parentWidget();
            for (QAbstractButton* button : box->buttons()) {
                const int x = button->mapTo(box, QPoint(0, 0)).x();
                (button->text() == QStringLiteral("OK") ? okX : cancelX) = x;
            }
            QTest::keyClick(box, Qt::Key_Escape);
        });
        const bool answered =
            Tool::alertOkNgWithMsg(title, text, QStringLiteral("OK"), QStringLiteral("キャンセル"));
        Tool::setAlertResponder(nullptr);
        QVERIFY(!answered); // Esc answers キャンセル
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        QVERIFY(width >= 420);
        const QFontMetrics metrics(app.window->font());
        QVERIFY(width > metrics.horizontalAdvance(title));
        QCOMPARE(parent, app.window.get());
        QVERIFY(cancelX >= 0 && okX >= 0);
        QVERIFY2(cancelX < okX, "キャンセル left of OK");
    }

    // Through QAccessible: every interactive control named or labelled, every label reading what
    // it shows, in every window.
    void everyWindowSpeaks() {
        AppWindowFixture app;
        QVERIFY(app.isReady());
        app.start(OrderTab::Print);
        QStringList problems;
        eachWindow(app, [&problems](const QString& what, QWidget* window) {
            for (const QString& problem : widgettree::accessibilityProblems(window)) {
                problems.append(what + QStringLiteral(": ") + problem);
            }
        });
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    // A screen reader's view of a window goes with the window: every accessible interface made
    // for its controls is dropped when they are destroyed. One left behind answers later for
    // whatever new control gets the freed address, and reading it crashes the program.
    void closedWindowsLeaveNoAccessibleInterfaces() {
        AppWindowFixture app;
        QVERIFY(app.isReady());
        app.start(OrderTab::Print);
        QList<QPair<QAccessible::Id, QString>> made;
        for (QWidget* widget : app.window->findChildren<QWidget*>()) {
            if (QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget)) {
                made.append({QAccessible::uniqueId(face), widgettree::describe(widget)});
            }
        }
        QVERIFY(made.size() > 100);
        app.stop();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QStringList left;
        for (const auto& [id, what] : std::as_const(made)) {
            if (QAccessible::accessibleInterface(id) != nullptr) {
                left.append(what);
            }
        }
        QVERIFY2(left.isEmpty(), qPrintable(left.join(u'\n')));
    }

    // Names follow the text when it changes: the file count, the memo button, an order sheet's
    // message line.
    void namesFollowTheirText() {
        AppWindowFixture app;
        QVERIFY(app.isReady());
        app.start(OrderTab::Print);
        auto* count = app.find<QLabel>(QStringLiteral("printImageFileNum"));
        QVERIFY(count != nullptr);
        Q_EMIT app.window->printPage()->dragDropView()->filesDropped(
            writePhotos(app.home.filePath(QStringLiteral("Shoot")), 3));
        QCoreApplication::processEvents();
        QVERIFY(!count->text().isEmpty());
        QCOMPARE(widgettree::accessibleName(count), count->text());

        auto* memoButton = app.find<QPushButton>(QStringLiteral("printAddMemoAllButton"));
        QCOMPARE(widgettree::accessibleName(memoButton), QStringLiteral("添付メモ"));
        QVERIFY(app.click(QStringLiteral("printAddMemoAllButton")));
        QDialog* memo = visibleDialog(QStringLiteral("printMemoInputWindow"));
        QVERIFY(memo != nullptr);
        auto* content = memo->findChild<QPlainTextEdit*>();
        content->setPlainText(QStringLiteral("急ぎでお願いします"));
        memo->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        QCoreApplication::processEvents();
        QCOMPARE(memoButton->text(), QStringLiteral("添付メモ有り"));
        QCOMPARE(widgettree::accessibleName(memoButton), QStringLiteral("添付メモ有り"));

        // An order sheet's message line after a refused entry.
        OrderSheets& sheets = app.window->orderSheets();
        sheets.showOrderInfoWindowSheet();
        QDialog* info = sheets.currentSheet();
        QVERIFY(info != nullptr);
        auto* date = info->findChild<QLineEdit*>(QStringLiteral("orderInfoDate"));
        if (date != nullptr) {
            date->setText(QStringLiteral("1999/12/31"));
            info->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
            QCoreApplication::processEvents();
            const QString message = SheetDriver::message(QStringLiteral("orderInfoWindow"));
            QVERIFY(!message.isEmpty());
            bool sawMessage = false;
            for (QLabel* label : info->findChildren<QLabel*>()) {
                if (label->isVisible() && label->text() == message) {
                    sawMessage = true;
                    QCOMPARE(widgettree::accessibleName(label), message);
                }
            }
            QVERIFY(sawMessage);
        }
        info->reject();
    }

    // Enter on a focused キャンセル cancels the memo sheet; the default takes Enter from fields.
    void enterOnAFocusedCancelCancelsTheMemo() {
        AppWindowFixture app;
        QVERIFY(app.isReady());
        app.start(OrderTab::Print);
        Q_EMIT app.window->printPage()->dragDropView()->filesDropped(
            writePhotos(app.home.filePath(QStringLiteral("Shoot")), 1));
        QCoreApplication::processEvents();
        QVERIFY(app.click(QStringLiteral("printAddMemoAllButton")));
        QPointer<QDialog> memo = visibleDialog(QStringLiteral("printMemoInputWindow"));
        QVERIFY(memo != nullptr);
        memo->findChild<QPlainTextEdit*>()->setPlainText(QStringLiteral("保存しないメモ"));
        auto* cancel = memo->findChild<QPushButton*>(QStringLiteral("cancelButton"));
        auto* ok = memo->findChild<QPushButton*>(QStringLiteral("okButton"));
        QVERIFY(cancel->x() < ok->x());
        cancel->setFocus();
        QTest::keyClick(cancel, Qt::Key_Return);
        QCoreApplication::processEvents();
        QVERIFY(memo.isNull() || !memo->isVisible());
        QCOMPARE(app.find<QPushButton>(QStringLiteral("printAddMemoAllButton"))->text(),
                 QStringLiteral("添付メモ"));

        // Esc cancels too.
        QVERIFY(app.click(QStringLiteral("printAddMemoAllButton")));
        memo = visibleDialog(QStringLiteral("printMemoInputWindow"));
        QVERIFY(memo != nullptr);
        memo->findChild<QPlainTextEdit*>()->setPlainText(QStringLiteral("これも保存しない"));
        QTest::keyClick(memo, Qt::Key_Escape);
        QCoreApplication::processEvents();
        QCOMPARE(app.find<QPushButton>(QStringLiteral("printAddMemoAllButton"))->text(),
                 QStringLiteral("添付メモ"));
    }

    // A locked tab cannot be chosen through the accessibility interface's press on the tab bar.
    void aLockedTabCannotBeChosenThroughAccessibility() {
        AppWindowFixture app;
        QVERIFY(app.isReady());
        app.start(OrderTab::Print);
        QTabBar* bar = app.window->mainTabView()->tabBar();
        QAccessibleInterface* barFace = QAccessible::queryAccessibleInterface(bar);
        QVERIFY(barFace != nullptr);
        const auto press = [barFace](int index) {
            QAccessibleInterface* tab = barFace->child(index);
            QVERIFY(tab != nullptr && tab->actionInterface() != nullptr);
            tab->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
            QCoreApplication::processEvents();
        };
        const int print = bar->currentIndex();
        const int etc = MainWindow::tabLabels().indexOf(orderTabLabel(OrderTab::Etc));
        QVERIFY(etc >= 0 && etc != print);

        app.window->tabViewCtrl().mainTabItemLock();
        press(etc);
        QCOMPARE(bar->currentIndex(), print);
        QCOMPARE(app.ctrl->selectedTab(), OrderTab::Print);

        app.window->tabViewCtrl().mainTabItemUnLock();
        press(etc);
        QCOMPARE(bar->currentIndex(), etc);
    }

    // The album tab's Tab key follows reading order: the rows above the form, the left column
    // down, then the right column, the memo, then Send.
    void albumTabOrderFollowsReading() {
        AppWindowFixture app;
        QVERIFY(app.isReady());
        app.start(OrderTab::Album);
        QWidget* page = app.window->albumPage();
        QStringList chain;
        QWidget* start = page->findChild<QWidget*>(QStringLiteral("albumImageFolderPath"));
        QVERIFY(start != nullptr);
        QWidget* w = start;
        do {
            if (!w->objectName().isEmpty()) {
                chain.append(w->objectName());
            }
            w = w->nextInFocusChain();
        } while (w != start && chain.size() < 400);
        const QStringList reading{
            QStringLiteral("albumImageFolderPath"), QStringLiteral("alSetPop"),
            QStringLiteral("alAlbumPop"),           QStringLiteral("alOrderNum"),
            QStringLiteral("alBaseColPop"),         QStringLiteral("alHyouPop"),
            QStringLiteral("alMiniColPop"),         QStringLiteral("alOrderMemo"),
            QStringLiteral("albumSendButton")};
        qsizetype last = -1;
        for (const QString& name : reading) {
            const qsizetype at = chain.indexOf(name);
            QVERIFY2(at > last, qPrintable(name + QStringLiteral(" out of order: ") +
                                           chain.join(QStringLiteral(", "))));
            last = at;
        }
    }

    // The history at 1024×700: its columns fit without sideways scrolling, the error text takes
    // the rest, and a cut archive name shows whole as a tooltip.
    void historyColumnsFitAndTellCutTexts() {
        AppWindowFixture app;
        QVERIFY(app.isReady());
        app.start(OrderTab::Print);
        writeHistory();
        ServiceWindows& services = app.window->serviceWindows();
        services.orderHistoryAction();
        OrderHistoryWindow* window = services.orderHistoryWindow();
        QCoreApplication::processEvents();
        QVERIFY(screenArea().contains(window->frameGeometry()));
        auto* view = window->findChild<QTableView*>(QStringLiteral("orderHistoryTable"));
        QVERIFY(view != nullptr && view->isVisible());
        QHeaderView* header = view->horizontalHeader();
        QVERIFY2(
            header->length() <= view->viewport()->width(),
            qPrintable(
                QStringLiteral("%1 > %2").arg(header->length()).arg(view->viewport()->width())));
        QVERIFY(!view->horizontalScrollBar()->isVisible());
        QVERIFY(header->sectionSize(OrderHistoryTable::Error) >=
                header->sectionSize(OrderHistoryTable::Outcome));

        // Newest first: the saved order with its long path is the first row.
        const QModelIndex saved = view->model()->index(0, OrderHistoryTable::Archive);
        QCOMPARE(saved.data().toString(), kSavedArchive);
        const auto toolTipAt = [view](const QModelIndex& index) {
            QToolTip::hideText(); // hides after a short delay
            if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); })) {
                return QStringLiteral("(the previous tooltip stays)");
            }
            const QPoint at = view->visualRect(index).center();
            QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
            QCoreApplication::sendEvent(view->viewport(), &help);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        QCOMPARE(toolTipAt(saved), kSavedArchive);
        QCOMPARE(toolTipAt(view->model()->index(0, OrderHistoryTable::DateTime)), QString());
        const QModelIndex failed = view->model()->index(1, OrderHistoryTable::Error);
        QCOMPARE(failed.data().toString(), kLongError);
        QCOMPARE(toolTipAt(failed), kLongError);
        QToolTip::hideText();
        window->close();
    }

    // On a full-HD screen the history uses the room and the preferences window is wide enough
    // for its fields without spreading over the screen.
    void windowsUseALargeScreen() {
        QScreen* large = QGuiApplication::primaryScreen();
        if (large->geometry().width() < 1920 || large->geometry().height() < 1080) {
            QSKIP("runs on a full-HD screen (HALVIX_TEST_SCREEN=1920x1080, ui/tst_Windows_fullHD)");
        }
        AppWindowFixture app;
        QVERIFY(app.isReady());
        app.start(OrderTab::Print);
        writeHistory();
        ServiceWindows& services = app.window->serviceWindows();

        // The main window at the first run's size: the history is no larger than the window it
        // belongs to and stands centred on it.
        app.window->setGeometry(QRect(QPoint(120, 80), QSize(1200, 820)));
        QCoreApplication::processEvents();
        services.orderHistoryAction();
        OrderHistoryWindow* history = services.orderHistoryWindow();
        QCoreApplication::processEvents();
        const QRect main = app.window->frameGeometry();
        QVERIFY2(history->frameGeometry().width() <= main.width() &&
                     history->frameGeometry().height() <= main.height(),
                 qPrintable(QStringLiteral("%1x%2 over %3x%4")
                                .arg(history->frameGeometry().width())
                                .arg(history->frameGeometry().height())
                                .arg(main.width())
                                .arg(main.height())));
        const QPoint off = history->frameGeometry().center() - main.center();
        QVERIFY2(off.manhattanLength() <= 4,
                 qPrintable(QStringLiteral("%1,%2 off the centre").arg(off.x()).arg(off.y())));
        history->close();

        // The main window over the whole screen: the history uses the room.
        app.window->setGeometry(large->availableGeometry());
        QCoreApplication::processEvents();
        services.orderHistoryAction();
        QCoreApplication::processEvents();
        QVERIFY(large->availableGeometry().contains(history->frameGeometry()));
        QVERIFY2(history->width() >= 1920 * 3 / 4, qPrintable(QString::number(history->width())));
        auto* view = history->findChild<QTableView*>(QStringLiteral("orderHistoryTable"));
        QVERIFY(view->horizontalHeader()->length() <= view->viewport()->width());
        // Most of an error text and a whole archive name are readable without a tooltip.
        const QFontMetrics metrics = view->fontMetrics();
        QVERIFY(view->columnWidth(OrderHistoryTable::Error) >
                metrics.horizontalAdvance(QString(40, QChar(0x3042))));
        QVERIFY(view->columnWidth(OrderHistoryTable::Archive) >
                metrics.horizontalAdvance(QStringLiteral("1234_001122AABBCC_0000003.zip")));
        history->close();

        app.window->preferencesAction();
        QCoreApplication::processEvents();
        QDialog* prefs = visibleDialog(QStringLiteral("preferencesWindow"));
        QVERIFY(prefs != nullptr);
        QVERIFY(large->availableGeometry().contains(prefs->frameGeometry()));
        const auto* field = prefs->findChild<QLineEdit*>(QStringLiteral("photoStudioNameField"));
        const int twentyLetters =
            field->fontMetrics().horizontalAdvance(QString(20, QChar(0x3042)));
        QVERIFY2(
            field->width() >= twentyLetters && prefs->width() <= 1920 / 2,
            qPrintable(
                QStringLiteral("field %1, window %2").arg(field->width()).arg(prefs->width())));
        prefs->findChild<QAbstractButton*>(QStringLiteral("userPrefCancelBt"))->click();
    }

    // The history window: an order pooled and sent at once is one row 送信済み; its two events
    // show when it is chosen.
    void historyShowsAnOrderOnce() {
        AppWindowFixture app;
        QVERIFY(app.isReady());
        app.start(OrderTab::Etc);
        QVERIFY(WorkFolder::checkWorkFolder());
        QFile file(OrderHistoryTable::historyFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "{\"dateTime\":\"2026-02-01T10:00:00\",\"tab\":\"その他\",\"archive\":\"B1.zip\","
            "\"outcome\":\"pooled\"}\n"
            "{\"dateTime\":\"2026-02-01T10:00:01\",\"tab\":\"その他\",\"archive\":\"B1.zip\","
            "\"outcome\":\"sent\"}\n");
        file.close();
        ServiceWindows& services = app.window->serviceWindows();
        services.orderHistoryAction();
        OrderHistoryWindow* window = services.orderHistoryWindow();
        auto* view = window->findChild<QTableView*>(QStringLiteral("orderHistoryTable"));
        QCOMPARE(view->model()->rowCount(), 1);
        QCOMPARE(view->model()->index(0, OrderHistoryTable::Outcome).data().toString(),
                 QStringLiteral("送信済み"));
        view->selectRow(0);
        auto* events = window->findChild<QListWidget*>(QStringLiteral("orderHistoryEventsList"));
        QCOMPARE(events->count(), 2);
        QVERIFY(events->item(0)->text().contains(QStringLiteral("送信待ち")));
        QVERIFY(events->item(1)->text().contains(QStringLiteral("送信済み")));
        window->close();
    }
};

// The screen of a small notebook: 1024×700 (or the one HALVIX_TEST_SCREEN names).
int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsEmpty("HALVIX_SCREENSHOTS")) {
        QApplication app(argc, argv);
        QApplication::setStyle(QStringLiteral("Fusion"));
        TestWindows test;
        return QTest::qExec(&test, argc, argv);
    }
    // HALVIX_TEST_SCREEN=1920x1080 runs the large-screen checks on a full-HD screen instead.
    const QString size = qEnvironmentVariable("HALVIX_TEST_SCREEN", QStringLiteral("1024x700"));
    const QStringList sides = size.split(u'x');
    const int width = sides.size() == 2 ? sides.at(0).toInt() : 1024;
    const int height = sides.size() == 2 ? sides.at(1).toInt() : 700;
    const QString config =
        QDir::temp().filePath(QStringLiteral("halvix-screen-%1x%2.json").arg(width).arg(height));
    QFile file(config);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(QStringLiteral(R"({"windowFrameMargins": false, "screens": [{"name": "test",
            "x": 0, "y": 0, "width": %1, "height": %2, "logicalDpi": 96, "logicalBaseDpi": 96,
            "dpr": 1}]})")
                       .arg(width)
                       .arg(height)
                       .toUtf8());
        file.close();
    }
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + config.toUtf8());
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    TestWindows test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_Windows.moc"
