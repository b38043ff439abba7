#include "AppShellFixture.h"
#include "service/FileDownListDataSource.h"
#include "service/OrderHistoryTable.h"
#include "ui/ConnectionTestWindow.h"
#include "ui/FileDownCtrl.h"
#include "ui/OrderHistoryWindow.h"

#include <QPushButton>
#include <QTableView>

using namespace shell;

// The service tools reached through the application's own menus.
class TestAppServiceMenus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void downloadWindowTakesTheMenusWhileOpen() {
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        QVERIFY(lab.putFtpFile(QStringLiteral("/dwnld/1234/"), QStringLiteral("template a.zip"),
                               "zip"));
        App app;
        QAction* download = app.window->menuAction(QStringLiteral("fileDownloadMenuItem"));
        QAction* prefs = app.window->menuAction(QStringLiteral("preferencesMenuItem"));
        QVERIFY(download && download->isEnabled() && prefs->isEnabled());
        download->trigger();
        auto* window = app.find<FileDownCtrl>(QStringLiteral("fileDownWindow"));
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->dataSource()->checkFiles(), QStringList{QStringLiteral("template a.zip")});
        QVERIFY(!app.ctrl->isMenuUseOk());
        QTRY_VERIFY(!prefs->isEnabled());
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("fileDownCloseButton")),
                          Qt::LeftButton);
        QVERIFY(!window->isVisible());
        QVERIFY(app.ctrl->isMenuUseOk());
        QTRY_VERIFY(prefs->isEnabled());
    }

    void historySendOpensThePoolSheetAndTheHelpItemsOpenTheirWindows() {
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        const QString archive = QStringLiteral("1234_001122AABBCC_0000007.zip");
        QVERIFY(poolArchive(archive, home.filePath(QStringLiteral("src"))));
        QVERIFY(writeText(
            OrderHistoryTable::historyFilePath(),
            "{\"dateTime\":\"2026-01-02T10:00:00\",\"tab\":\"その他\",\"archive\":\"" +
                archive.toUtf8() + "\",\"fileCount\":1,\"size\":300,\"outcome\":\"pooled\"}\n"));
        App app;
        app.window->menuAction(QStringLiteral("orderHistoryMenuItem"))->trigger();
        auto* history = app.find<OrderHistoryWindow>(QStringLiteral("orderHistoryWindow"));
        QVERIFY(history && history->isVisible());
        auto* view = history->findChild<QTableView*>(QStringLiteral("orderHistoryTable"));
        QCOMPARE(view->model()->rowCount(), 1);
        view->selectRow(0);
        auto* send = history->findChild<QPushButton*>(QStringLiteral("orderHistorySendButton"));
        QVERIFY(send->isEnabled());
        send->click();
        // The history window stays open beside the sheet.
        QVERIFY(QTest::qWaitFor(
            [] { return SheetDriver::openSheet(QStringLiteral("poolOrderSendWindow")) != nullptr; },
            10000));
        QVERIFY(SheetDriver::confirm(QStringLiteral("poolOrderSendWindow")));
        QVERIFY(app.waitJob());
        QCOMPARE(lab.ftpFolderFiles(QStringLiteral("/ntordrsm2/")), QStringList{archive});

        app.window->menuAction(QStringLiteral("connectionTestMenuItem"))->trigger();
        auto* test = app.find<ConnectionTestWindow>(QStringLiteral("connectionTestWindow"));
        QVERIFY(test && test->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!test->isRunning(), 60000);
        QVERIFY(app.window->menuAction(QStringLiteral("supportBundleMenuItem")));
    }
};

QTEST_MAIN(TestAppServiceMenus)
#include "tst_AppServiceMenus.moc"
