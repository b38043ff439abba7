#include "AlertRecorder.h"
#include "LabSim.h"
#include "ServiceHostRecorder.h"
#include "TestHome.h"
#include "service/ConnectionTest.h"
#include "service/OrderHistoryTable.h"
#include "settings/UserDef.h"
#include "ui/ConnectionTestWindow.h"
#include "ui/OrderHistoryWindow.h"
#include "ui/ServiceWindows.h"
#include "util/WorkFolder.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>
#include <memory>

namespace {

template <typename T>
T* part(QWidget* window, const char* name) {
    return window->findChild<T*>(QString::fromLatin1(name));
}

struct CheckRow {
    QString state;
    QString detail;
};

// Runs the connection test window to its end; one row per check.
QList<CheckRow> runConnectionTest(ConnectionTestWindow& window) {
    QSignalSpy ended(&window, &ConnectionTestWindow::testEnded);
    window.connectionTestOpen();
    [&] { QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 90000); }();
    QList<CheckRow> rows;
    auto* list = part<QTableWidget>(&window, "connectionTestList");
    for (int i = 0; i < list->rowCount(); ++i)
        rows.append({list->item(i, 1)->text(), list->item(i, 2)->text()});
    return rows;
}

QStringList states(const QList<CheckRow>& rows) {
    QStringList out;
    for (const CheckRow& r : rows)
        out.append(r.state);
    return out;
}

} // namespace

// The order history window, the connection test against each fault of the lab substitute, the
// support bundle and the menu items, driven through their controls.
class TestServiceTools : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<LabSim> lab;

private Q_SLOTS:
    void initTestCase() {
        lab = std::make_unique<LabSim>();
        QVERIFY2(lab->isRunning(), qPrintable(lab->errorText()));
    }
    void init() { lab->clearFaults(); }
    void cleanupTestCase() { lab.reset(); }

    void orderHistoryShowsThousandsFiltersAndSendsAPooledOrder() {
        TestHome home;
        QVERIFY(WorkFolder::checkWorkFolder());
        QFile history(OrderHistoryTable::historyFilePath());
        QVERIFY(history.open(QIODevice::WriteOnly));
        const QStringList outcomes = OrderHistoryTable::knownOutcomes();
        for (int i = 0; i < 5000; ++i) {
            const QString outcome = outcomes.at(i % outcomes.size());
            history.write(
                QStringLiteral("{\"dateTime\":\"2026-01-01T%1:%2:%3\",\"tab\":\"プリント\","
                               "\"archive\":\"1234_A_%4.zip\",\"fileCount\":2,\"size\":1000,"
                               "\"outcome\":\"%5\",\"errorCode\":0,\"errorText\":\"\"}\n")
                    .arg(i / 3600, 2, 10, QLatin1Char('0'))
                    .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                    .arg(i % 60, 2, 10, QLatin1Char('0'))
                    .arg(i, 7, 10, QLatin1Char('0'))
                    .arg(outcome)
                    .toUtf8());
        }
        history.close();
        // The newest record (4999, "duplicate"... 4999 % 5 = 4) and a pooled one still waiting.
        const QString pooled = QDir(WorkFolder::orderZipPoolFolderPath())
                                   .filePath(QStringLiteral("1234_A_0004996.zip"));
        QFile zip(pooled);
        QVERIFY(zip.open(QIODevice::WriteOnly));
        zip.write("PK");
        zip.close();

        ServiceHostRecorder host;
        ServiceWindows tools(host);
        tools.orderHistoryAction();
        OrderHistoryWindow* window = tools.orderHistoryWindow();
        QVERIFY(window->isVisible());
        auto* view = part<QTableView>(window, "orderHistoryTable");
        QCOMPARE(view->model()->rowCount(), 5000);
        QCOMPARE(view->model()->index(0, OrderHistoryTable::Archive).data().toString(),
                 QStringLiteral("1234_A_0004999.zip"));
        QCOMPARE(part<QLabel>(window, "orderHistoryCountField")->text(),
                 QStringLiteral("5000件 / 全5000件"));

        auto* filter = part<QComboBox>(window, "orderHistoryFilterPop");
        filter->setCurrentIndex(filter->findText(QStringLiteral("送信待ち")));
        QCOMPARE(view->model()->rowCount(), 1000);
        QCOMPARE(view->model()->index(0, OrderHistoryTable::Archive).data().toString(),
                 QStringLiteral("1234_A_0004996.zip"));
        auto* send = part<QPushButton>(window, "orderHistorySendButton");
        QVERIFY(!send->isEnabled()); // nothing selected
        view->selectRow(1);          // pooled once, but not in the pool any more
        QVERIFY(!send->isEnabled());
        view->selectRow(0);
        QVERIFY(send->isEnabled());
        send->click();
        QCOMPARE(host.sentPoolOrders, QStringList{pooled});

        host.jobExecuting = true;
        view->clearSelection();
        view->selectRow(0);
        QVERIFY(!send->isEnabled());
        QVERIFY(!send->toolTip().isEmpty());
        QVERIFY(part<QPushButton>(window, "orderHistoryOpenPoolButton")->isEnabled());
    }

    void connectionTestAllGoodPostsNothing() {
        TestHome home;
        ServiceHostRecorder host;
        ConnectionTestWindow window;
        const qsizetype reportsBefore = lab->reports().size();
        const QList<CheckRow> rows = runConnectionTest(window);
        QCOMPARE(states(rows), (QStringList{"OK", "OK", "OK", "OK", "OK"}));
        // The last row says whether the line is private: the substitute speaks no TLS.
        QVERIFY2(
            rows.at(ConnectionTest::FtpPrivacy).detail.startsWith(QStringLiteral("暗号化なし")),
            qPrintable(rows.at(ConnectionTest::FtpPrivacy).detail));
        QCOMPARE(ConnectionTest::checkTitle(ConnectionTest::FtpPrivacy),
                 QStringLiteral("注文サーバーとの通信の暗号化"));
        QCOMPARE(lab->reports().size(), reportsBefore); // nothing to the analysis server
        QVERIFY(!lab->ftpFolderFiles(QStringLiteral("/ntordrsm2/"))
                     .contains(ConnectionTest::probeFileName()));
        bool stored = false;
        for (const QJsonObject& e : lab->ftpLog()) {
            if (e.value("cmd").toString() == QStringLiteral("STOR") &&
                e.value("path").toString() == QStringLiteral("/ntordrsm2/upload_halvix_probe"))
                stored = e.value("user").toString() == QStringLiteral("ntorder");
        }
        QVERIFY(stored);
        QVERIFY(part<QLabel>(&window, "connectionTestSummary")
                    ->text()
                    .contains(QStringLiteral("問題はありません")));
        QVERIFY(part<QPushButton>(&window, "connectionTestCloseButton")->isEnabled());
    }

    void connectionTestInTestSendModeUsesTheTestServer() {
        TestHome home;
        UserDef::setObject(QStringLiteral("オーベルテスト送信"), QStringLiteral("PhotoStudioName"));
        UserDef::setObject(QStringLiteral("3500"), QStringLiteral("CustomerCode"));
        ConnectionTestWindow window;
        QCOMPARE(states(runConnectionTest(window)), (QStringList{"OK", "OK", "OK", "OK", "OK"}));
        QString user;
        for (const QJsonObject& e : lab->ftpLog()) {
            if (e.value("cmd").toString() == QStringLiteral("STOR"))
                user = e.value("user").toString();
        }
        QCOMPARE(user, QStringLiteral("mivel"));
    }

    void connectionTestNamesEachFault_data() {
        QTest::addColumn<QJsonObject>("faults");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("check");
        QTest::addColumn<QString>("words");
        QTest::newRow("refuse_login")
            << QJsonObject{{"refuse_login", true}} << QStringList{"OK", "OK", "NG", "NG", "NG"} << 2
            << QStringLiteral("ログインできませんでした");
        QTest::newRow("fail_nlst")
            << QJsonObject{{"fail_nlst", true}} << QStringList{"OK", "OK", "NG", "OK", "OK"} << 2
            << QStringLiteral("フォルダを読めませんでした");
        QTest::newRow("refuse_upload") << QJsonObject{{"refuse_upload", "upload_*"}}
                                       << QStringList{"OK", "OK", "OK", "NG", "OK"} << 3
                                       << QStringLiteral("ファイルを置けませんでした");
        QTest::newRow("drop_upload_after")
            << QJsonObject{{"drop_upload_after", 0}} << QStringList{"OK", "OK", "OK", "NG", "OK"}
            << 3 << QStringLiteral("注文サーバー");
        QTest::newRow("refuse_delete") << QJsonObject{{"refuse_delete", "upload_*"}}
                                       << QStringList{"OK", "OK", "OK", "注意", "OK"} << 3
                                       << QStringLiteral("削除できませんでした");
        QTest::newRow("http_status")
            << QJsonObject{{"http_status", 500}} << QStringList{"NG", "NG", "OK", "OK", "OK"} << 0
            << QStringLiteral("HTTP 500");
        QTest::newRow("http_no_mvl_data")
            << QJsonObject{{"http_no_mvl_data", true}} << QStringList{"NG", "OK", "OK", "OK", "OK"}
            << 0 << QStringLiteral("当社のページではない");
        QTest::newRow("http_non_utf8")
            << QJsonObject{{"http_non_utf8", true}} << QStringList{"NG", "NG", "OK", "OK", "OK"}
            << 1 << QStringLiteral("想定外の応答");
        QTest::newRow("http_delay")
            << QJsonObject{{"http_delay", 7}} << QStringList{"NG", "NG", "OK", "OK", "OK"} << 0
            << QStringLiteral("応答がありませんでした");
        QTest::newRow("upver_missing (not used here)")
            << QJsonObject{{"upver_missing", true}} << QStringList{"OK", "OK", "OK", "OK", "OK"}
            << 0 << QStringLiteral("情報ページ");
    }

    void connectionTestNamesEachFault() {
        QFETCH(QJsonObject, faults);
        QFETCH(QStringList, expected);
        QFETCH(int, check);
        QFETCH(QString, words);
        TestHome home;
        QVERIFY(lab->setFaults(faults));
        ConnectionTestWindow window;
        const QList<CheckRow> rows = runConnectionTest(window);
        lab->clearFaults();
        QCOMPARE(states(rows), expected);
        QVERIFY2(rows.at(check).detail.contains(words), qPrintable(rows.at(check).detail));
        for (const CheckRow& row : rows)
            QVERIFY(!row.detail.isEmpty());
        if (expected != QStringList{"OK", "OK", "OK", "OK", "OK"})
            QVERIFY(part<QLabel>(&window, "connectionTestSummary")
                        ->text()
                        .contains(QStringLiteral("問題が見つかりました")));
        // A probe the server kept is removed for the next case.
        QFile::remove(lab->ftpLocalPath(QStringLiteral("/ntordrsm2/")) +
                      QStringLiteral("/upload_halvix_probe"));
    }

    void supportBundleSavesWhereChosenAndMenusCarryTheTools() {
        TestHome home;
        AlertRecorder alerts;
        ServiceHostRecorder host;
        ServiceWindows tools(host);
        QTemporaryDir out;
        QMenu fileMenu;
        QMenu helpMenu;
        helpMenu.addAction(QStringLiteral("ウェブサイト"));
        tools.installMenuActions(&fileMenu, &helpMenu);
        QCOMPARE(fileMenu.actions().size(), 1);
        QCOMPARE(helpMenu.actions().size(), 4); // after the shell's own item and a separator
        QAction* bundle = helpMenu.findChild<QAction*>(QStringLiteral("supportBundleMenuItem"));
        QVERIFY(bundle);
        // Each item opens a window or a chooser, and says so with "…".
        QCOMPARE(bundle->text(), QStringLiteral("サポート情報を保存…"));
        QCOMPARE(fileMenu.findChild<QAction*>(QStringLiteral("orderHistoryMenuItem"))->text(),
                 QStringLiteral("送信履歴…"));
        QCOMPARE(helpMenu.findChild<QAction*>(QStringLiteral("connectionTestMenuItem"))->text(),
                 QStringLiteral("接続テスト…"));

        alerts.enqueueFile(QString()); // the save dialog cancelled: nothing written, nothing said
        bundle->trigger();
        QCOMPARE(alerts.count(), 1);
        QCOMPARE(alerts.last().kind, AlertRequest::Kind::SaveFile);
        QVERIFY(alerts.last().proposedName.startsWith(QStringLiteral("HALVIX2_サポート情報_")));
        QVERIFY(alerts.last().proposedName.endsWith(QStringLiteral(".zip")));

        const QString path = out.filePath(QStringLiteral("support.zip"));
        alerts.enqueueFile(out.filePath(QStringLiteral("support"))); // ".zip" is added
        bundle->trigger();
        QVERIFY(QFileInfo(path).size() > 0);
        QCOMPARE(alerts.last().message, QStringLiteral("サポート情報を保存しました"));

        // The same name again: いいえ keeps the file as it is, はい replaces it.
        QFile::resize(path, 3);
        alerts.enqueueFile(path);
        alerts.enqueueNg();
        bundle->trigger();
        QCOMPARE(alerts.last().message, QStringLiteral("同じ名前のファイルがあります"));
        QCOMPARE(QFileInfo(path).size(), 3);
        alerts.enqueueFile(path);
        alerts.enqueueOk();
        bundle->trigger();
        QCOMPARE(alerts.last().message, QStringLiteral("サポート情報を保存しました"));
        QVERIFY(QFileInfo(path).size() > 3);
    }

    void connectionTestWithTheLabGone() {
        TestHome home;
        lab->stop();
        ConnectionTestWindow window;
        QCOMPARE(states(runConnectionTest(window)), (QStringList{"NG", "NG", "NG", "NG", "NG"}));
    }
};

QTEST_MAIN(TestServiceTools)
#include "tst_ServiceTools.moc"
