// An order on every tab from the keyboard alone: the tab chosen with Ctrl+Tab, the files or the
// folder added with Ctrl+O (the chooser answered by the recorder), the products picked by typing
// into the focused pop-up, Send with Ctrl+Enter and the sheets confirmed with Enter; the archive
// must reach the lab substitute.
#include "AppShellFixture.h"
#include "ImageFiles.h"
#include "ui/FileListTabPage.h"
#include "ui/MessageBoxResponder.h"
#include "ui/PrintFileListCtrl.h"
#include "ui/PrintFileListDataSource.h"
#include "ui/ProductPopUpComboBox.h"
#include "ui/QtJapanese.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <QTreeView>

using namespace shell;

namespace {

const QString kRemote = QStringLiteral("/ntordrsm2/");
const QString kArchive1 = QStringLiteral("1234_001122AABBCC_0000001.zip");

// Where a key goes: the focused widget, or the active window when nothing in it has the focus
// (after a sheet closes over a control that a running job switched off).
QWidget* focused() {
    QWidget* widget = QApplication::focusWidget();
    return widget != nullptr ? widget : QApplication::activeWindow();
}

void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = focused();
    QVERIFY2(target != nullptr, "no widget has the focus");
    QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
}

// Tab until target has the focus; false when a whole round never reaches it.
bool tabTo(QWidget* target) {
    for (int i = 0; i < 120; ++i) {
        QWidget* now = focused();
        if (now == target || (now != nullptr && target->isAncestorOf(now))) {
            return true;
        }
        if (now == nullptr) {
            return false;
        }
        QTest::keyClick(now, Qt::Key_Tab);
    }
    return false;
}

// Ctrl+Tab until the tab is on screen (from inside the tabs: Tab gets there first).
bool switchTo(App& app, OrderTab tab) {
    if (!tabTo(app.window->mainTabView())) {
        return false;
    }
    for (int i = 0; i < 6 && app.ctrl->selectedTab() != tab; ++i) {
        QWidget* now = focused();
        if (now == nullptr) {
            return false;
        }
        QTest::keyClick(now, Qt::Key_Tab, Qt::ControlModifier);
    }
    return app.ctrl->selectedTab() == tab;
}

// Types the start of an item's title into the focused pop-up, as a user picks by keyboard.
bool typeInto(App& app, const QString& popName, const QString& start) {
    auto* pop = app.find<QComboBox>(popName);
    if (pop == nullptr || !tabTo(pop)) {
        return false;
    }
    // keyClicks takes Latin-1 only: each character goes as the key event of its text.
    for (const QChar ch : start) {
        QTest::sendKeyEvent(QTest::Click, focused(), Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
    return pop->currentText().startsWith(start);
}

// For looking at it: HALVIX_SHOT_DIR keeps pictures of the filled tab at both screen sizes.
void shoot(App& app, const QString& name) {
    const QString dir = qEnvironmentVariable("HALVIX_SHOT_DIR");
    if (dir.isEmpty()) {
        return;
    }
    const QSize before = app.window->size();
    for (const QSize size : {QSize(1024, 700), QSize(1920, 1080)}) {
        app.window->resize(size);
        QTest::qWait(200);
        app.window->grab().save(
            QStringLiteral("%1/%2-%3x%4.png").arg(dir, name).arg(size.width()).arg(size.height()));
    }
    app.window->resize(before);
    QTest::qWait(50);
}

// The sheet is open, active and holds the keyboard focus, as a user sees it before typing.
bool sheetHasKeys(const QString& name) {
    if (!waitSheet(name)) {
        return false;
    }
    QDialog* sheet = SheetDriver::openSheet(name);
    return QTest::qWaitFor([sheet] {
        return QApplication::activeWindow() == sheet && focused() != nullptr &&
               sheet->isAncestorOf(focused());
    });
}

// Send with Ctrl+Enter and every sheet confirmed with Enter; waits for the job.
void sendByKeys(App& app, const AlertRecorder& alerts) {
    press(Qt::Key_Return, Qt::ControlModifier);
    QVERIFY2(sheetHasKeys(QStringLiteral("orderInfoWindow")),
             qPrintable(alerts.messages().join(u'|')));
    press(Qt::Key_Return);
    QVERIFY(sheetHasKeys(QStringLiteral("orderAcWindow")));
    QCOMPARE(SheetDriver::checkedOrderAction(), 301);
    press(Qt::Key_Return);
    QVERIFY(app.waitJob());
}

struct Keyboard {
    TestHome home;
    LabSim lab;
    AlertRecorder alerts;
    QString folder;
    QStringList files;
    std::unique_ptr<App> app;

    bool start() {
        folder = home.filePath(QStringLiteral("photos"));
        for (const char* name : {"a.jpg", "b.jpg"}) {
            files.append(folder + u'/' + QLatin1String(name));
            if (!writeJpeg(files.last(), 320, 240, int(files.size()) * 40)) {
                return false;
            }
        }
        app = std::make_unique<App>();
        app->window->activateWindow();
        return QTest::qWaitForWindowActive(app->window.get()) && focused() != nullptr;
    }
    // The archive the lab received holds the report and the two photos.
    void checkArchiveAtTheLab() {
        QCOMPARE(lab.ftpFolderFiles(kRemote), QStringList{kArchive1});
        const QString archive = lab.ftpLocalPath(kRemote) + u'/' + kArchive1;
        const QStringList entries = unzipList(archive);
        QVERIFY2(entries.contains(QStringLiteral("PrintReport4.txt")),
                 qPrintable(entries.join(u',')));
        QCOMPARE(entries.filter(QStringLiteral(".jpg")).size(), 2);
    }
};

// The hand on the program's own file chooser: once it is open, it types the folder and Enter,
// looks at the list (the filter the chooser opens on, its size, the dates and columns of the
// files), then types the names and Enter. What is wrong with the chooser goes into wrong.
class ChooserHand {
public:
    ChooserHand(const QString& folder, const QString& names, QStringList& wrong)
        : folder_(folder), names_(names), wrong_(wrong) {
        timer_.setInterval(50);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { look(); });
        timer_.start();
    }
    bool done = false;

private:
    void look() {
        QFileDialog* chooser = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog && dialog->isVisible()) {
                chooser = dialog;
            }
        }
        if (chooser == nullptr) {
            // Whatever else opened instead is closed, so the test ends and says so.
            if (++ticks_ > 200) {
                timer_.stop();
                QWidget* modal = QApplication::activeModalWidget();
                wrong_.append(QStringLiteral("no chooser, but %1")
                                  .arg(modal != nullptr
                                           ? QString::fromLatin1(modal->metaObject()->className())
                                           : QStringLiteral("nothing")));
                if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                    dialog->reject();
                }
            }
            return;
        }
        timer_.stop();
        done = true;
        auto* field = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* view = chooser->findChild<QTreeView*>();
        if (field == nullptr || view == nullptr) {
            wrong_.append(QStringLiteral("not Qt's own chooser"));
            chooser->reject();
            return;
        }
        // The filter it opens on shows every kind the list takes.
        const QString filter = chooser->selectedNameFilter();
        const QString inside = filter.section(u'(', 1).section(u')', 0, 0);
        for (const char* name : {"a.jpg", "c.png", "d.tif"}) {
            if (!QDir::match(inside.split(u' ', Qt::SkipEmptyParts), QString::fromLatin1(name))) {
                wrong_.append(QStringLiteral("「%1」 hides %2").arg(filter, QLatin1String(name)));
            }
        }
        const QSize room = chooser->screen()->availableGeometry().size();
        if (chooser->width() < std::min(800, room.width() - 16) ||
            chooser->height() < std::min(480, room.height() - 48)) {
            wrong_.append(
                QStringLiteral("opens at %1x%2").arg(chooser->width()).arg(chooser->height()));
        }
        chooser->setDirectory(folder_); // the user goes to the photos' folder
        // The photos' row: its date in Japanese, type and date whole in their columns.
        QModelIndex row;
        (void)QTest::qWaitFor([&] {
            const QAbstractItemModel* model = view->model();
            for (int r = 0; r < model->rowCount(view->rootIndex()); ++r) {
                const QModelIndex at = model->index(r, 0, view->rootIndex());
                if (at.data().toString() == QStringLiteral("a.jpg")) {
                    row = at;
                }
            }
            return row.isValid();
        });
        if (!row.isValid()) {
            wrong_.append(QStringLiteral("a.jpg never listed"));
        } else {
            const QString date = row.siblingAtColumn(3).data().toString();
            static const QRegularExpression japanese(
                QStringLiteral("^\\d{4}/\\d{2}/\\d{2} \\d{1,2}:\\d{2}$"));
            if (!japanese.match(date).hasMatch()) {
                wrong_.append(QStringLiteral("date 「%1」").arg(date));
            }
            const QFontMetrics metrics = view->fontMetrics();
            for (int column : {0, 2, 3}) {
                const QString text = row.siblingAtColumn(column).data().toString();
                if (metrics.horizontalAdvance(text) > view->header()->sectionSize(column)) {
                    wrong_.append(QStringLiteral("「%1」 cut in column %2").arg(text).arg(column));
                }
            }
        }
        // For looking at it: HALVIX_SHOT_DIR keeps a picture of the chooser in the photos' folder.
        if (const QString dir = qEnvironmentVariable("HALVIX_SHOT_DIR"); !dir.isEmpty()) {
            QTest::qWait(200);
            chooser->grab().save(QStringLiteral("%1/chooser-%2x%3.png")
                                     .arg(dir)
                                     .arg(chooser->width())
                                     .arg(chooser->height()));
        }
        // The names typed, then Open.
        field->setFocus();
        field->setText(names_);
        QCoreApplication::processEvents();
        static_cast<QDialog*>(chooser)->accept(); // Open
        if (chooser->isVisible()) {
            wrong_.append(QStringLiteral("Enter left the chooser open: 「%1」").arg(field->text()));
            chooser->reject();
        }
    }
    QString folder_;
    QString names_;
    QStringList& wrong_;
    QTimer timer_;
    int ticks_ = 0;
};

} // namespace

class TestKeyboardOrders : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void printOrderByKeys();
    void schoolOrderByKeys();
    void albumOrderByKeys();
    void resizeOrderByKeys();
    void etcOrderByKeys();
    void firstStartExplainsAndTakesTheKeyboard();
    void outcomesSayWhereTheOrderIs();
    void theChooserTakesWhatTheListTakes();

private:
    void listOrder(OrderTab tab);
    void folderOrder(OrderTab tab, const QString& popName, const QString& start);
};

// Print and school: Ctrl+O adds the files, Ctrl+A over the list, Tab leaves the list with the
// selection kept, Ctrl+Tab still switches tabs from the list, the product by keys, order set with
// Space, Send.
void TestKeyboardOrders::listOrder(OrderTab tab) {
    Keyboard k;
    QVERIFY(k.start());
    App& app = *k.app;
    QVERIFY(switchTo(app, tab));
    auto* page = static_cast<FileListTabPage*>(app.window->page(tab));
    const QString p = OrderTabPage::prefix(tab);

    // An outcome left from an earlier order is cleared by the new one.
    page->jobMsg()->setText(QStringLiteral("データを送信しました。"));
    k.alerts.enqueueFiles(k.files);
    press(Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(k.alerts.last().kind, AlertRequest::Kind::OpenFiles);
    QCOMPARE(page->fileListCtrl()->fileCount(), 2);
    QCOMPARE(app.ctrl->selectFilesOf(tab), k.files);
    QVERIFY(page->jobMsg()->text().isEmpty());
    QVERIFY(logText().contains(QStringLiteral("ファイル選択：2件")));

    // The same files once more: the drop's own refusal, nothing added.
    k.alerts.enqueueFiles({k.files.first()});
    press(Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(page->fileListCtrl()->fileCount(), 2);
    QVERIFY(k.alerts.count() >= 3);

    QTableView* view = page->fileListCtrl()->tableView();
    QVERIFY(tabTo(view));
    press(Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(view->selectionModel()->selectedRows().size(), 2);
    shoot(app, p + QStringLiteral("-list-focus")); // the focus frame on the current row
    press(Qt::Key_Tab);
    QVERIFY(focused() != view);
    QCOMPARE(view->selectionModel()->selectedRows().size(), 2);
    QVERIFY(tabTo(view));
    press(Qt::Key_Backtab);
    QVERIFY(focused() != view);
    QCOMPARE(view->selectionModel()->selectedRows().size(), 2);
    // Ctrl+Tab from inside the list goes to the next tab and Ctrl+Shift+Tab comes back.
    QVERIFY(tabTo(view));
    press(Qt::Key_Tab, Qt::ControlModifier);
    QVERIFY(app.ctrl->selectedTab() != tab);
    press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(app.ctrl->selectedTab(), tab);
    QCOMPARE(view->selectionModel()->selectedRows().size(), 2);

    QVERIFY(tabTo(page->categoryPop()));
    press(Qt::Key_Down);
    QVERIFY(page->categoryPop()->currentText() != FileListTabPage::kPleaseSelect);
    QVERIFY(page->orderSetButton()->isEnabled());
    QVERIFY(tabTo(page->orderSetButton()));
    press(Qt::Key_Space);
    QVERIFY2(page->sendButton()->isEnabled(), qPrintable(page->sendButton()->toolTip()));
    QCOMPARE(app.find<QPushButton>(p + QStringLiteral("SendButton")), page->sendButton());
    shoot(app, p);

    sendByKeys(app, k.alerts);
    k.checkArchiveAtTheLab();
    QCOMPARE(page->fileListCtrl()->fileCount(), 0);
}

// Album, resize and etc: Ctrl+O is the folder chooser of the tab; then the product, Send.
void TestKeyboardOrders::folderOrder(OrderTab tab, const QString& popName, const QString& start) {
    Keyboard k;
    QVERIFY(k.start());
    App& app = *k.app;
    QVERIFY(switchTo(app, tab));
    OrderTabPage* page = app.window->page(tab);
    QCOMPARE(app.window->menuAction(QStringLiteral("addFilesMenuItem"))->text(),
             QStringLiteral("フォルダ選択…"));
    k.alerts.enqueueFolder(k.folder);
    press(Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(k.alerts.last().kind, AlertRequest::Kind::FolderSelect);
    QCOMPARE(app.ctrl->selectFilesOf(tab), k.files);
    QVERIFY(app.ctrl->isDragDropOn());
    if (!popName.isEmpty()) {
        QVERIFY(typeInto(app, popName, start));
    }
    if (tab == OrderTab::Album) {
        // The direct count of the product: typed over.
        auto* count = app.find<QWidget>(QStringLiteral("alOrderNum2"));
        QVERIFY(count && tabTo(count));
        press(Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(focused(), QStringLiteral("2"));
    }
    // The memo, then Send from inside the tab.
    auto* memo =
        app.find<QPlainTextEdit>(OrderTabPage::prefix(tab) == QStringLiteral("album")
                                     ? QStringLiteral("alOrderMemo")
                                     : OrderTabPage::prefix(tab) + QStringLiteral("OrderMemo"));
    QVERIFY(memo && tabTo(memo));
    QTest::keyClicks(focused(), QStringLiteral("by keyboard"));
    QCOMPARE(memo->toPlainText(), QStringLiteral("by keyboard"));
    QVERIFY(!page->jobIndicator()->isVisible()); // status shows only while work runs
    shoot(app, OrderTabPage::prefix(tab));
    QVERIFY2(page->sendButton()->isEnabled(), qPrintable(page->sendButton()->toolTip()));
    sendByKeys(app, k.alerts);
    k.checkArchiveAtTheLab();
    QVERIFY(app.ctrl->selectFilesOf(tab).isEmpty());
    QVERIFY(!page->jobIndicator()->isVisible());
}

void TestKeyboardOrders::printOrderByKeys() {
    listOrder(OrderTab::Print);
}

void TestKeyboardOrders::schoolOrderByKeys() {
    listOrder(OrderTab::School);
}

void TestKeyboardOrders::albumOrderByKeys() {
    folderOrder(OrderTab::Album, QStringLiteral("alAlbumPop"), QStringLiteral("RAW"));
}

void TestKeyboardOrders::resizeOrderByKeys() {
    folderOrder(OrderTab::Resize, QStringLiteral("resizeCategoryPop"),
                QStringLiteral("プリント（リサイズ）"));
}

void TestKeyboardOrders::etcOrderByKeys() {
    folderOrder(OrderTab::Etc, QString(), QString());
}

// Without customer information the preferences window says why the tabs are grey, the focus is
// in the first empty field, and the three fields typed and Enter open the tabs.
void TestKeyboardOrders::firstStartExplainsAndTakesTheKeyboard() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    App app({QStringLiteral("halvix2")}, false);
    QDialog* prefs = app.find<QDialog>(QStringLiteral("preferencesWindow"));
    QVERIFY(prefs);
    QTRY_VERIFY(prefs->isVisible());
    auto* msg = prefs->findChild<QLabel*>(QStringLiteral("firstStartMsg"));
    QVERIFY(msg && msg->isVisible());
    QVERIFY(msg->text().contains(QStringLiteral("灰色")));
    prefs->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(prefs));
    auto* name = prefs->findChild<QLineEdit*>(QStringLiteral("photoStudioNameField"));
    QTRY_COMPARE(focused(), static_cast<QWidget*>(name));
    QTest::keyClicks(focused(), QStringLiteral("Studio Yamato"));
    press(Qt::Key_Tab);
    QTest::keyClicks(focused(), QStringLiteral("1234"));
    QVERIFY(tabTo(prefs->findChild<QLineEdit*>(QStringLiteral("customerEmailField"))));
    QTest::keyClicks(focused(), QStringLiteral("studio@example.jp"));
    press(Qt::Key_Return);
    QTRY_VERIFY(!prefs->isVisible());
    QVERIFY(AppCtrl::isCustomerInfo());
    QVERIFY(!app.window->tabViewCtrl().itemLockFlg());

    // Complete information: the explanation is not shown again.
    app.window->preferencesAction();
    QTRY_VERIFY(prefs->isVisible());
    QVERIFY(!msg->isVisible());
}

// Send later and a failed send each leave a message that says where the order waits and the
// menu item that sends it; the next order starts without the old message.
void TestKeyboardOrders::outcomesSayWhereTheOrderIs() {
    Keyboard k;
    QVERIFY(k.start());
    App& app = *k.app;
    QVERIFY(switchTo(app, OrderTab::Etc));
    OrderTabPage* page = app.window->page(OrderTab::Etc);
    QAction* poolItem = app.window->menuAction(QStringLiteral("poolOrderSendMenuItem"));
    const QString how = QStringLiteral("『ファイル』→『オーダーを全て送信』で送信できます。");
    QVERIFY(poolItem->text().startsWith(QStringLiteral("オーダーを全て送信")));

    const auto order = [&](int action) {
        app.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(app.window.get()));
        k.alerts.enqueueFolder(k.folder);
        press(Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(app.ctrl->selectFilesOf(OrderTab::Etc).size(), 2);
        QVERIFY(page->jobMsg()->text().isEmpty());
        QVERIFY(tabTo(app.find<QPlainTextEdit>(QStringLiteral("etcOrderMemo"))));
        press(Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(sheetHasKeys(QStringLiteral("orderInfoWindow")));
        press(Qt::Key_Return);
        QVERIFY(sheetHasKeys(QStringLiteral("orderAcWindow")));
        QVERIFY(SheetDriver::chooseOrderAction(action));
        press(Qt::Key_Return);
    };

    order(302);
    QVERIFY(app.waitJob());
    QCOMPARE(poolFiles().size(), 1);
    QVERIFY(k.lab.ftpFolderFiles(kRemote).isEmpty());
    QVERIFY2(page->jobMsg()->text().contains(QStringLiteral("未送信オーダーとして保管しました")),
             qPrintable(page->jobMsg()->text()));
    QVERIFY(page->jobMsg()->text().endsWith(how));
    QCOMPARE(page->jobMsg()->toolTip(), page->jobMsg()->text());

    QVERIFY(k.lab.setFaults(QJsonObject{{"refuse_login", true}}));
    order(301);
    QVERIFY(!app.waitJob());
    QCOMPARE(poolFiles().size(), 2);
    QVERIFY2(page->jobMsg()->text().contains(QStringLiteral("送信されていません")),
             qPrintable(page->jobMsg()->text()));
    QVERIFY(page->jobMsg()->text().endsWith(how));
    QVERIFY(!page->jobIndicator()->isVisible());
}

// "ファイルを追加…" on the print tab is Qt's own chooser, driven by keys: it opens on every kind
// the list takes, readable (whole columns, Japanese dates); a PNG and a TIFF typed into its name
// field beside a JPEG all become rows, as a drop of them would; a name already listed is told as
// for a drop.
void TestKeyboardOrders::theChooserTakesWhatTheListTakes() {
    Keyboard k;
    QVERIFY(k.start());
    App& app = *k.app;
    installQtJapanese(*qApp); // as the program starts
    QVERIFY(switchTo(app, OrderTab::Print));
    auto* page = static_cast<FileListTabPage*>(app.window->page(OrderTab::Print));
    const QString hint = page->dragDropMsg()->text();
    QVERIFY2(hint.contains(QStringLiteral("ファイルを追加…")) &&
                 hint.contains(QStringLiteral("Ctrl+O")),
             qPrintable(hint));
    const QString png = k.folder + QStringLiteral("/c.png");
    const QString tiff = k.folder + QStringLiteral("/d.tif");
    QVERIFY(ImageFiles::convert({QStringLiteral("-size"), QStringLiteral("64x48"),
                                 QStringLiteral("gradient:red-blue"), png}));
    QVERIFY(ImageFiles::convert({QStringLiteral("-size"), QStringLiteral("64x48"),
                                 QStringLiteral("gradient:green-yellow"), tiff}));
    k.alerts.passChoosersTo(&MessageBoxResponder::answer);

    QStringList wrong;
    const auto choose = [&](const QString& names) {
        wrong.clear();
        app.window->activateWindow(); // the keys go to the program again after a chooser
        QVERIFY(QTest::qWaitForWindowActive(app.window.get()));
        ChooserHand hand(k.folder, names, wrong);
        press(Qt::Key_O, Qt::ControlModifier);
        QVERIFY2(hand.done, qPrintable(wrong.join(u'\n')));
    };
    choose(QStringLiteral("\"a.jpg\" \"c.png\" \"d.tif\""));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
    QCOMPARE(k.alerts.last().kind, AlertRequest::Kind::OpenFiles);
    QCOMPARE(page->fileListCtrl()->dataSource().filePaths(),
             (QStringList{k.files.first(), png, tiff}));

    // A listed name typed once more: refused with the drop's own words, nothing added.
    choose(QStringLiteral("c.png"));
    QCOMPARE(page->fileListCtrl()->fileCount(), 3);
    QVERIFY2(k.alerts.messages().contains(
                 QStringLiteral("登録されているのと同じファイル名が含まれています。")),
             qPrintable(k.alerts.messages().join(u'|')));
}

QTEST_MAIN(TestKeyboardOrders)
#include "tst_KeyboardOrders.moc"
