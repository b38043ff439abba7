// The application as a user meets it: start-up, an etc order from drop to lab, the pool, quit,
// the tab lock and a FotoFusion launch.
#include "AppShellFixture.h"
#include "settings/SettingsStore.h"
#include "ui/DragDropScrollView.h"
#include "ui/EtcTabPage.h"
#include "ui/OrderTabPage.h"
#include "util/PlistVariant.h"
#include "util/Tool.h"

#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

using namespace shell;

namespace {

const QString kArchive1 = QStringLiteral("1234_001122AABBCC_0000001.zip");
const QString kArchive2 = QStringLiteral("1234_001122AABBCC_0000002.zip");
const QString kArchive3 = QStringLiteral("1234_001122AABBCC_0000003.zip");
const QString kRemote = QStringLiteral("/ntordrsm2/");

QByteArray sjis(const QString& text) {
    return Tool::encodeText(text, TextEncoding::ShiftJis);
}

// The etc tab with a folder of two files dropped on it, the memo typed and Send pressed; the
// order information sheet confirmed. Leaves the order action sheet open.
void dropAndSend(App& app, const QString& folder, const QString& memo) {
    QVERIFY(app.selectTab(OrderTab::Etc));
    auto* view = app.find<QWidget>(QStringLiteral("etcDragDropView"));
    QVERIFY(view);
    QVERIFY(dropFiles(view, {folder}));
    QCOMPARE(app.ctrl->selectFilesOf(OrderTab::Etc).size(), 2);
    QCOMPARE(app.find<QLineEdit>(QStringLiteral("etcImageFolderPath"))->text(), folder);
    QVERIFY(app.find<QLabel>(QStringLiteral("etcImageFileNum"))
                ->text()
                .startsWith(QStringLiteral("2 ファイル　")));
    QCOMPARE(app.find<QPlainTextEdit>(QStringLiteral("etcFileInfoTextView"))->toPlainText(),
             QStringLiteral("a.jpg\nreadme.txt\n"));
    QVERIFY(!app.find<QLabel>(QStringLiteral("etcDragDropMsg"))->isVisible());
    app.find<QPlainTextEdit>(QStringLiteral("etcOrderMemo"))->setPlainText(memo);

    // For looking at it: HALVIX_SHOT_DIR keeps pictures of the filled tab and the first sheet.
    const QString shots = qEnvironmentVariable("HALVIX_SHOT_DIR");
    if (!shots.isEmpty()) {
        app.window->grab().save(shots + QStringLiteral("/etc-filled.png"));
    }
    auto* send = app.find<QPushButton>(QStringLiteral("etcSendButton"));
    QVERIFY(send && send->isEnabled());
    QTest::mouseClick(send, Qt::LeftButton);
    QVERIFY(waitSheet(QStringLiteral("orderInfoWindow")));
    if (!shots.isEmpty()) {
        SheetDriver::openSheet()->grab().save(shots + QStringLiteral("/order-info-sheet.png"));
    }
    // Drops stay off for the whole chain of sheets.
    QVERIFY(!app.ctrl->isDragDropOn());
    QVERIFY(SheetDriver::confirm(QStringLiteral("orderInfoWindow")));
    QVERIFY(waitSheet(QStringLiteral("orderAcWindow")));
}

} // namespace

class TestAppShell : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startUpFillsTheWindow();
    void silentLabLeavesTheWindowUsableAndSendWaits();
    void etcOrderThroughEachAction_data();
    void etcOrderThroughEachAction();
    void folderButtonAndCancelOfTheEtcTab();
    void poolSendFromTheMenuSendsBothArchives();
    void quitWithThreePooledArchivesAsksAndYesOpensThePoolSheet();
    void quitDuringAJobAsksCancelsAndEndsCleanly();
    void tabLockWithThePreferencesFlag();
    void aTabChosenDuringTheJobKeepsItsFiles();
    void fotoFusionArgumentsFeedTheAlbumTab();
};

void TestAppShell::startUpFillsTheWindow() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    UserDef::setObject(QStringLiteral("その他"), QStringLiteral("MainTabLabel"));
    App app;
    QCOMPARE(UserDef::appStatus(), QStringLiteral("AppCtrl awakeFromNib end"));
    QCOMPARE(app.window->windowTitle(), QStringLiteral("HALVIX"));
    QCOMPARE(app.find<QLabel>(QStringLiteral("versionField"))->text(),
             QStringLiteral("HALVIX v%1").arg(Tool::applicationVersion()));
    QVERIFY(!app.find<QLabel>(QStringLiteral("testModeMsg"))->isVisible());
    // The remembered tab is selected again; the tabs are free and drops are on.
    QCOMPARE(app.window->tabViewCtrl().selectedMainTabLabel(), QStringLiteral("その他"));
    QCOMPARE(app.window->mainTabView()->objectName(), QStringLiteral("mainTab"));
    QCOMPARE(app.window->mainTabView()->count(), 5);
    QVERIFY(!app.window->tabViewCtrl().itemLockFlg());
    QVERIFY(app.ctrl->isDragDropOn());
    // The remembered tab's page is there with the window; every other tab's page follows as
    // soon as the event loop turns, without being shown: each has its drop area, message field,
    // bar and Send under the names the tabs use.
    QVERIFY(app.find<QWidget>(QStringLiteral("etcSendButton")));
    for (const QString& name :
         {QStringLiteral("printDragDropView"), QStringLiteral("schoolJobMsg"),
          QStringLiteral("albumJobIndicator"), QStringLiteral("resizeResizeAndSendButton"),
          QStringLiteral("printSendButton"), QStringLiteral("etcCancelButton"),
          QStringLiteral("etcImageFolderSelectButton"), QStringLiteral("etcJobIndicator")}) {
        QTRY_VERIFY2(app.find<QWidget>(name), qPrintable(name));
        QVERIFY2(!app.find<QWidget>(name)->accessibleName().isEmpty(), qPrintable(name));
    }
    QCOMPARE(app.window->tabViewCtrl().selectedMainTabLabel(), QStringLiteral("その他"));
    // Their set-up leaves the run's status where it rests, on disk too.
    QCOMPARE(UserDef::appStatus(), QStringLiteral("AppCtrl awakeFromNib end"));
    QFile onDisk(SettingsStore::settingsFilePath());
    QVERIFY(onDisk.open(QIODevice::ReadOnly));
    const std::optional<QVariant> stored = plistFromData(onDisk.readAll());
    QVERIFY(stored);
    QCOMPARE(stored->toMap().value(QStringLiteral("AppStatus")).toString(),
             QStringLiteral("AppCtrl awakeFromNib end"));
    // The pages built after the set-up come up as it left the others: drops on, the album's
    // Kinelo button offered.
    for (OrderTab tab : kAllOrderTabs) {
        QVERIFY2(app.window->page(tab)->dragDropView()->isDragDropOn(),
                 qPrintable(orderTabLabel(tab)));
    }
    QVERIFY(!app.find<QWidget>(QStringLiteral("albumKineloButton"))->isHidden());
    // A tab whose order form has not come yet cannot send, and says why.
    auto* printSend = app.find<QPushButton>(QStringLiteral("printSendButton"));
    app.selectTab(OrderTab::Print);
    QVERIFY(!printSend->isEnabled());
    QVERIFY(!printSend->toolTip().isEmpty());
    // Start-up told the lab, with the pages fetched.
    QVERIFY(QTest::qWaitFor([&] { return lab.hasReport(QStringLiteral("Boot")); }, 10000));
    QVERIFY(
        logText().contains(QStringLiteral("HALVIX 2 (v%1)起動").arg(Tool::applicationVersion())));
}

// The lab holds its information page past the time-out: the window is set up with the kept
// catalogues meanwhile. A print order, whose catalogue may still change, waits at Send; an etc
// order sent now waits at the last sheet for the lab's server choice. Both say so on their tab and
// go on by themselves, once each, when the lab's answer is in.
void TestAppShell::silentLabLeavesTheWindowUsableAndSendWaits() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    QVERIFY(lab.setFaults(QJsonObject{
        {QStringLiteral("http_delay"),
         QJsonObject{{QStringLiteral("value"), 120},
                     {QStringLiteral("path"), QStringLiteral("/halv_ix2/appinfo.html")}}}}));
    AlertRecorder alerts;
    const QString folder = home.filePath(QStringLiteral("photos"));
    QVERIFY(writeJpeg(folder + QStringLiteral("/a.jpg")));
    QVERIFY(writeText(folder + QStringLiteral("/readme.txt"), "hello lab\n"));
    App app({QStringLiteral("halvix2")}, true, false);

    QCOMPARE(UserDef::appStatus(), QStringLiteral("AppCtrl awakeFromNib end"));
    QVERIFY(!app.ctrl->isStartUpCheckDone());
    QCOMPARE(app.window->mainTabView()->count(), 5);
    QVERIFY(app.ctrl->isDragDropOn());
    QVERIFY(app.ctrl->productData()->printData() != nullptr);
    // Also on a tab whose page came after the set-up.
    QTRY_VERIFY(app.find<QLineEdit>(QStringLiteral("etcJobMsg")));
    QCOMPARE(app.find<QLineEdit>(QStringLiteral("etcJobMsg"))->text(),
             QStringLiteral("更新情報を確認しています"));

    // Send on the print tab, twice: no sheet yet, one order later.
    QVERIFY(app.selectTab(OrderTab::Print));
    QSignalSpy chains(app.ctrl.get(), &AppCtrl::orderChainRequested);
    app.ctrl->executeOrderActionJob();
    app.ctrl->executeOrderActionJob();
    QVERIFY(chains.isEmpty());
    QCOMPARE(app.find<QLineEdit>(QStringLiteral("printJobMsg"))->text(),
             QStringLiteral("更新情報を確認しています。確認が終わりしだい続けます"));
    // Back on the etc tab, the print order is dropped when the answer comes: it was not the
    // tab on screen any more. The etc order's sheets open at once (no catalogue of its own).
    dropAndSend(app, folder, QStringLiteral("メモ"));
    QCOMPARE(chains.size(), 1);
    QVERIFY(SheetDriver::chooseOrderAction(301)); // send now
    QVERIFY(SheetDriver::confirm(QStringLiteral("orderAcWindow")));
    QVERIFY(!app.ctrl->isJobExecuting());
    QCOMPARE(app.find<QLineEdit>(QStringLiteral("etcJobMsg"))->text(),
             QStringLiteral("更新情報を確認しています。確認が終わりしだい続けます"));

    // The page's time-out ends the check (the lab's page failed); the etc order goes on.
    QVERIFY(app.waitJob());
    QVERIFY(app.ctrl->isStartUpCheckDone());
    QCOMPARE(chains.size(), 1);
    QCOMPARE(lab.ftpFolderFiles(kRemote), QStringList{kArchive1});
    const QString log = logText();
    QVERIFY(log.contains(QStringLiteral("サーバーとの通信に失敗")));
    QVERIFY(log.contains(QStringLiteral("更新情報の確認を終了")));
    QCOMPARE(log.count(QStringLiteral("更新情報の確認を待って続行：その他")), 1);
    QCOMPARE(log.count(QStringLiteral("更新情報の確認を待って続行：プリント")), 1);
}

void TestAppShell::etcOrderThroughEachAction_data() {
    QTest::addColumn<int>("tag");
    QTest::newRow("すぐに送信する") << 301;
    QTest::newRow("後で送信する") << 302;
    QTest::newRow("保存する") << 303;
}

void TestAppShell::etcOrderThroughEachAction() {
    QFETCH(int, tag);
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    const QString folder = home.filePath(QStringLiteral("photos"));
    QVERIFY(writeJpeg(folder + QStringLiteral("/a.jpg")));
    QVERIFY(writeText(folder + QStringLiteral("/readme.txt"), "hello lab\n"));
    const QString memo = QStringLiteral("至急お願いします");
    App app;

    dropAndSend(app, folder, memo);
    QVERIFY(SheetDriver::chooseOrderAction(tag));
    const QString savePath = home.filePath(QStringLiteral("saved/order.zip"));
    QVERIFY(QDir().mkpath(QFileInfo(savePath).path()));
    if (tag == 303) {
        // An older file of that name: replaced after one question, not asked again later.
        QVERIFY(writeText(savePath, "an older order"));
        alerts.enqueueFile(savePath);
        alerts.enqueueOk(); // 置き換える
    }
    QVERIFY(SheetDriver::confirm(QStringLiteral("orderAcWindow")));
    QVERIFY(app.waitJob());
    if (tag == 303) {
        QCOMPARE(alerts.messages().filter(QStringLiteral("置き換えますか")).size(), 1);
        QVERIFY(!alerts.messages().contains(QStringLiteral("同じ名前のファイルがあります")));
    }

    QString archive;
    if (tag == 301) {
        QCOMPARE(lab.ftpFolderFiles(kRemote), QStringList{kArchive1});
        QVERIFY(poolFiles().isEmpty());
        archive = lab.ftpLocalPath(kRemote) + u'/' + kArchive1;
    } else if (tag == 302) {
        QVERIFY(lab.ftpFolderFiles(kRemote).isEmpty());
        QCOMPARE(poolFiles(), QStringList{kArchive1});
        archive = WorkFolder::orderZipPoolFolderPath() + u'/' + kArchive1;
    } else {
        QVERIFY(lab.ftpFolderFiles(kRemote).isEmpty());
        QVERIFY(poolFiles().isEmpty());
        archive = savePath;
    }
    QVERIFY2(QFileInfo::exists(archive), qPrintable(archive));

    // The archive holds the report of the etc tab with the memo, and both files unchanged.
    const QStringList entries = unzipList(archive);
    QVERIFY(entries.contains(QStringLiteral("PrintReport4.txt")));
    const QByteArray report = unzipEntry(archive, QStringLiteral("PrintReport4.txt"));
    QVERIFY(report.contains(sjis(QStringLiteral("ORDER_TYPE=その他"))));
    QVERIFY(report.contains(sjis(memo)));
    QVERIFY(report.contains("CUSTOMER_ORDER_ID=1234_001122AABBCC_0000001"));
    QString jpegEntry;
    for (const QString& entry : entries) {
        if (entry.endsWith(QStringLiteral("/a.jpg"))) {
            jpegEntry = entry;
        }
    }
    QVERIFY2(!jpegEntry.isEmpty(), qPrintable(entries.join(u',')));
    QCOMPARE(unzipEntry(archive, jpegEntry), readAll(folder + QStringLiteral("/a.jpg")));

    // After the order: the tab is empty again, drops and tabs are free, the bag number is used.
    QTRY_VERIFY(app.ctrl->selectFilesOf(OrderTab::Etc).isEmpty());
    QVERIFY(app.find<QPlainTextEdit>(QStringLiteral("etcOrderMemo"))->toPlainText().isEmpty());
    QVERIFY(app.find<QLabel>(QStringLiteral("etcImageFileNum"))->text().isEmpty());
    QVERIFY(app.ctrl->isDragDropOn());
    QVERIFY(!app.ctrl->isJobExecuting());
    QVERIFY(!app.window->tabViewCtrl().itemLockFlg());
    QVERIFY(!app.find<QPushButton>(QStringLiteral("etcSendButton"))->isEnabled());
    QCOMPARE(UserDef::integerForKey(QStringLiteral("BagNo")), qint64(1));
}

void TestAppShell::folderButtonAndCancelOfTheEtcTab() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    const QString folder = home.filePath(QStringLiteral("photos"));
    QVERIFY(writeJpeg(folder + QStringLiteral("/a.jpg")));
    QVERIFY(writeText(folder + QStringLiteral("/sub/b.pdf"), "%PDF-1.4\n"));
    QVERIFY(writeText(folder + QStringLiteral("/.hidden"), "x"));
    App app;
    QVERIFY(app.selectTab(OrderTab::Etc));

    // The folder button (tag 501): the chosen folder's files at every depth, hidden ones left out.
    alerts.enqueueFolder(folder);
    QTest::mouseClick(app.find<QPushButton>(QStringLiteral("etcImageFolderSelectButton")),
                      Qt::LeftButton);
    QCOMPARE(
        app.ctrl->selectFilesOf(OrderTab::Etc),
        (QStringList{folder + QStringLiteral("/a.jpg"), folder + QStringLiteral("/sub/b.pdf")}));
    QCOMPARE(app.find<QLineEdit>(QStringLiteral("etcImageFolderPath"))->text(), folder);
    QVERIFY(app.ctrl->isDragDropOn()); // on again after the chooser
    QVERIFY(logText().contains(QStringLiteral("Etc（501）")));

    // Cancel (tag 503) asks before anything is stopped; いいえ leaves everything as it was.
    alerts.enqueueNg();
    EtcTabPage* page = app.window->etcPage();
    page->etcAction(503);
    QCOMPARE(alerts.last().message, QStringLiteral("処理を中止してよろしいですか？"));
    QCOMPARE(app.ctrl->selectFilesOf(OrderTab::Etc).size(), 2);
    QVERIFY(logText().contains(QStringLiteral("Etc（503）")));
}

void TestAppShell::poolSendFromTheMenuSendsBothArchives() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    QVERIFY(poolArchive(kArchive1, home.filePath(QStringLiteral("src1"))));
    QVERIFY(poolArchive(kArchive2, home.filePath(QStringLiteral("src2"))));
    App app;
    QAction* poolSend = app.window->menuAction(QStringLiteral("poolOrderSendMenuItem"));
    QVERIFY(poolSend);
    QCOMPARE(poolSend->text(), QStringLiteral("オーダーを全て送信（2件）"));
    QVERIFY(poolSend->isEnabled());

    poolSend->trigger();
    QVERIFY(waitSheet(QStringLiteral("poolOrderSendWindow")));
    QVERIFY(SheetDriver::confirm(QStringLiteral("poolOrderSendWindow")));
    QVERIFY(app.waitJob());

    QCOMPARE(lab.ftpFolderFiles(kRemote), (QStringList{kArchive1, kArchive2}));
    QVERIFY(poolFiles().isEmpty());
    QVERIFY(logText().contains(QStringLiteral("PoolOrder送信実行")));
    // The menu follows the emptied pool.
    QTRY_COMPARE(poolSend->text(), QStringLiteral("オーダーを全て送信"));
    QVERIFY(!poolSend->isEnabled());
}

void TestAppShell::quitWithThreePooledArchivesAsksAndYesOpensThePoolSheet() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    for (const QString& name : {kArchive1, kArchive2, kArchive3}) {
        QVERIFY(poolArchive(name, home.filePath(QStringLiteral("src_") + name)));
    }
    App app;
    alerts.clear();
    alerts.enqueueOk(); // はい
    app.window->menuAction(QStringLiteral("quitMenuItem"))->trigger();
    QVERIFY(alerts.messages().contains(
        QStringLiteral("3件の未送信オーダーがあります。\n送信しますか？")));
    QVERIFY(waitSheet(QStringLiteral("poolOrderSendWindow")));
    QVERIFY(!app.ctrl->isTerminated());
    QCOMPARE(UserDef::appStatus(), QStringLiteral("AppCtrl awakeFromNib end"));
    QVERIFY(logText().contains(QStringLiteral("未送信オーダー 3件")));

    // Leaving the sheet and answering いいえ ends the run cleanly; the archives stay.
    QVERIFY(SheetDriver::cancel(QStringLiteral("poolOrderSendWindow")));
    QTRY_VERIFY(SheetDriver::openSheetName().isEmpty());
    alerts.enqueueNg();
    app.window->close();
    QTRY_VERIFY(app.ctrl->isTerminated());
    QCOMPARE(UserDef::appStatus(), QString());
    QCOMPARE(poolFiles().size(), 3);
    QVERIFY(
        logText().contains(QStringLiteral("HALVIX 2 (v%1)終了").arg(Tool::applicationVersion())));
    QVERIFY(QTest::qWaitFor([&] { return lab.hasReport(QStringLiteral("Quit")); }, 10000));
}

void TestAppShell::quitDuringAJobAsksCancelsAndEndsCleanly() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    const QString folder = home.filePath(QStringLiteral("photos"));
    QVERIFY(writeJpeg(folder + QStringLiteral("/a.jpg")));
    QVERIFY(writeText(folder + QStringLiteral("/readme.txt"), "hello lab\n"));
    App app;

    // Quit is chosen while the job runs: right when it has packed the order and asks the window
    // to clear the tab.
    bool asked = false;
    connect(app.ctrl.get(), &AppCtrl::orderMemoClearRequested, this, [&] {
        QTimer::singleShot(0, app.window.get(), [&] {
            asked = app.ctrl->isJobExecuting();
            alerts.enqueueOk(); // はい
            app.window->QuitAction();
        });
    });
    dropAndSend(app, folder, QStringLiteral("メモ"));
    QVERIFY(SheetDriver::chooseOrderAction(301));
    QVERIFY(SheetDriver::confirm(QStringLiteral("orderAcWindow")));
    QTRY_VERIFY_WITH_TIMEOUT(app.ctrl->isTerminated(), 60000);

    // The quit came while the job was still running (it had just asked for the tab's clearing).
    QVERIFY(asked);
    QVERIFY(alerts.messages().contains(QStringLiteral("処理中です。中止して終了しますか？")));
    QVERIFY(!app.ctrl->isJobExecuting());
    QCOMPARE(UserDef::appStatus(), QString());
    // The packed order is never lost: it waits in the pool or it reached the lab.
    const QStringList where = poolFiles() + lab.ftpFolderFiles(kRemote);
    QCOMPARE(where, QStringList{kArchive1});
}

void TestAppShell::tabLockWithThePreferencesFlag() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    QVERIFY(poolArchive(kArchive1, home.filePath(QStringLiteral("src1"))));
    App app;
    QVERIFY(app.selectTab(OrderTab::Print));
    QTabBar* bar = app.window->mainTabView()->tabBar();

    app.ctrl->setPrefWindowVisible(true);
    QVERIFY(app.window->tabViewCtrl().itemLockFlg());
    const QPoint etcTab = bar->tabRect(4).center();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, etcTab);
    QCOMPARE(app.window->tabViewCtrl().selectedMainTabLabel(), QStringLiteral("プリント"));
    for (const QString& name :
         {QStringLiteral("preferencesMenuItem"), QStringLiteral("albumSetExportMenuItem"),
          QStringLiteral("albumSetImportMenuItem"), QStringLiteral("fileDownloadMenuItem"),
          QStringLiteral("poolOrderSendMenuItem")}) {
        QVERIFY2(!app.window->menuAction(name)->isEnabled(), qPrintable(name));
    }
    // The pool item keeps its count in the title while it is off.
    QCOMPARE(app.window->menuAction(QStringLiteral("poolOrderSendMenuItem"))->text(),
             QStringLiteral("オーダーを全て送信（1件）"));
    // The shortcut obeys the same rule as the menu.
    QTest::keyClick(app.window.get(), Qt::Key_Comma, Qt::ControlModifier);
    QVERIFY(alerts.messages().isEmpty());

    app.ctrl->setPrefWindowVisible(false);
    QVERIFY(!app.window->tabViewCtrl().itemLockFlg());
    QVERIFY(app.window->menuAction(QStringLiteral("poolOrderSendMenuItem"))->isEnabled());
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, etcTab);
    QCOMPARE(app.window->tabViewCtrl().selectedMainTabLabel(), QStringLiteral("その他"));
    QCOMPARE(UserDef::stringForKey(QStringLiteral("MainTabLabel")).value_or(QString()),
             QStringLiteral("その他"));

    // Without customer information nothing can be ordered either.
    UserDef::removeObjectForKey(QStringLiteral("CustomerEmail"));
    app.ctrl->comViewRefresh();
    QVERIFY(app.window->tabViewCtrl().itemLockFlg());
    QVERIFY(!app.find<QWidget>(QStringLiteral("etcImageFolderSelectButton"))->isEnabled());
}

void TestAppShell::aTabChosenDuringTheJobKeepsItsFiles() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    const QString folder = home.filePath(QStringLiteral("photos"));
    QVERIFY(writeJpeg(folder + QStringLiteral("/a.jpg")));
    QVERIFY(writeText(folder + QStringLiteral("/readme.txt"), "hello lab\n"));
    App app;
    // Rows waiting on the print tab for a later order.
    QVERIFY(app.selectTab(OrderTab::Print));
    QVERIFY(writeJpeg(home.filePath(QStringLiteral("cards/c1.jpg"))));
    QVERIFY(dropFiles(app.find<QWidget>(QStringLiteral("printDragDropView")),
                      {home.filePath(QStringLiteral("cards/c1.jpg"))}));
    QCOMPARE(app.ctrl->selectFilesOf(OrderTab::Print).size(), 1);

    // While the etc order runs, Ctrl+Tab cannot leave the tab; a switch made anyway (the program
    // allows one in FotoFusion mode) must not cost the print tab its rows.
    QTabWidget* tabs = app.window->mainTabView();
    bool stayed = false;
    connect(app.ctrl.get(), &AppCtrl::jobStarted, this, [&] {
        QTest::keyClick(tabs, Qt::Key_Tab, Qt::ControlModifier);
        stayed = app.ctrl->selectedTab() == OrderTab::Etc;
        app.window->tabViewCtrl().selectTabForLabel(QStringLiteral("プリント"));
    });
    dropAndSend(app, folder, QStringLiteral("メモ"));
    QVERIFY(SheetDriver::chooseOrderAction(301));
    QVERIFY(SheetDriver::confirm(QStringLiteral("orderAcWindow")));
    QVERIFY(app.waitJob());
    QVERIFY(stayed);
    QCOMPARE(app.ctrl->selectedTab(), OrderTab::Print);
    QCOMPARE(lab.ftpFolderFiles(kRemote), QStringList{kArchive1});
    // The sent tab is emptied, the other keeps what it had.
    QVERIFY(app.ctrl->selectFilesOf(OrderTab::Etc).isEmpty());
    QVERIFY(app.find<QPlainTextEdit>(QStringLiteral("etcOrderMemo"))->toPlainText().isEmpty());
    QCOMPARE(app.ctrl->selectFilesOf(OrderTab::Print).size(), 1);
}

void TestAppShell::fotoFusionArgumentsFeedTheAlbumTab() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    const QString manifest = home.filePath(QStringLiteral("ff/album.xml"));
    const QString archive = home.filePath(QStringLiteral("ff/album.zip"));
    QVERIFY(writeText(manifest, "<manifest/>\n"));
    QVERIFY(writeText(archive, "PK-album\n"));
    const QString drive =
        QStringLiteral("/Library/Application Support/FotoFusion/Bottles/fotofusion/dosdevices/y:");
    const QStringList arguments{QStringLiteral("halvix2"), QStringLiteral("-manifest"),
                                drive + manifest, QStringLiteral("-archive"), archive};
    // The lab's page without "FF-TAB-ON": the album tab stands alone.
    const QString appInfo = QStringLiteral("/halv_ix2/appinfo.html");
    const QByteArray page = readAll(lab.httpFilePath(appInfo));
    QVERIFY(page.contains("FF-TAB-ON"));
    QVERIFY(lab.putHttpFile(appInfo, QByteArray(page).replace("FF-TAB-ON", "")));
    App app(arguments);

    QVERIFY(app.ctrl->isFotoFusionMode());
    QCOMPARE(app.ctrl->fotoFusionManifestPath(), manifest);
    QCOMPARE(UserDef::stringForKey(QStringLiteral("WorkApp")).value_or(QString()),
             QStringLiteral("FF"));
    // Only the album tab is left, and it holds both files as if dropped.
    QCOMPARE(app.window->mainTabView()->count(), 1);
    QCOMPARE(app.window->tabViewCtrl().selectedMainTabLabel(), QStringLiteral("アルバム"));
    QStringList expected{manifest, archive};
    expected.sort();
    QCOMPARE(app.ctrl->selectFilesOf(OrderTab::Album), expected);
    // No further drops in this mode, and the tabs are never locked.
    QVERIFY(!app.ctrl->isDragDropOn());
    QVERIFY(!app.window->tabViewCtrl().itemLockFlg());
    QVERIFY(logText().contains(QStringLiteral("FotoFusionMode")));
    QVERIFY(logText().contains(QStringLiteral("manifest=") + manifest));

    // With "FF-TAB-ON" every tab stays, the album tab selected.
    QVERIFY(lab.putHttpFile(appInfo, page));
    App withTabs(arguments);
    QCOMPARE(withTabs.window->mainTabView()->count(), 5);
    QCOMPARE(withTabs.window->tabViewCtrl().selectedMainTabLabel(), QStringLiteral("アルバム"));
    QCOMPARE(withTabs.ctrl->selectFilesOf(OrderTab::Album), expected);
}

QTEST_MAIN(TestAppShell)
#include "tst_AppShell.moc"
