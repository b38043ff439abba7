// A sent order sent again from the order history by the keyboard: the whole application, the lab
// substitute, the kept archive; the lab ends with two archives whose entries are the same bytes
// (the report but for the two lines that name the order) and whose names differ only in the bag
// number, and the history links the two rows.
#include "../ui/AppShellFixture.h"
#include "job/KeptOrders.h"
#include "job/ResendJob.h"
#include "service/OrderHistoryTable.h"
#include "ui/OrderHistoryWindow.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace shell;

namespace {

const QString kRemote = QStringLiteral("/ntordrsm2/");
const QString kFirst = QStringLiteral("1234_001122AABBCC_0000001.zip");
const QString kSecond = QStringLiteral("1234_001122AABBCC_0000002.zip");

QWidget* focused() {
    QWidget* widget = QApplication::focusWidget();
    return widget != nullptr ? widget : QApplication::activeWindow();
}

// Tab until target has the focus; false when a whole round never reaches it.
bool tabTo(QWidget* target) {
    for (int i = 0; i < 40; ++i) {
        QWidget* now = focused();
        if (now == target)
            return true;
        if (now == nullptr)
            return false;
        QTest::keyClick(now, Qt::Key_Tab);
    }
    return false;
}

// An etc order of a folder with a photo and a text, sent at once.
void sendAnOrder(App& app, const QString& folder) {
    QVERIFY(app.selectTab(OrderTab::Etc));
    QVERIFY(dropFiles(app.find<QWidget>(QStringLiteral("etcDragDropView")), {folder}));
    auto* send = app.find<QPushButton>(QStringLiteral("etcSendButton"));
    QVERIFY(send && send->isEnabled());
    QTest::mouseClick(send, Qt::LeftButton);
    QVERIFY(waitSheet(QStringLiteral("orderInfoWindow")));
    QVERIFY(SheetDriver::confirm(QStringLiteral("orderInfoWindow")));
    QVERIFY(waitSheet(QStringLiteral("orderAcWindow")));
    QVERIFY(SheetDriver::chooseOrderAction(301));
    QVERIFY(SheetDriver::confirm(QStringLiteral("orderAcWindow")));
    QVERIFY(app.waitJob());
}

QString cell(const QTableView* view, int row, int column) {
    return view->model()->index(row, column).data().toString();
}

} // namespace

class TestResendRoad : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sentOrderIsSentAgainFromTheHistoryByKeyboard();
};

void TestResendRoad::sentOrderIsSentAgainFromTheHistoryByKeyboard() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    const QString folder = home.filePath(QStringLiteral("photos"));
    QVERIFY(writeJpeg(folder + QStringLiteral("/a.jpg")));
    QVERIFY(writeText(folder + QStringLiteral("/readme.txt"), "hello lab\n"));
    App app;

    sendAnOrder(app, folder);
    QCOMPARE(lab.ftpFolderFiles(kRemote), QStringList{kFirst});
    QVERIFY(poolFiles().isEmpty());
    const std::optional<QString> kept = KeptOrders::keptArchivePath(kFirst);
    QVERIFY(kept);
    const QString atLab = lab.ftpLocalPath(kRemote) + u'/';
    QCOMPARE(readAll(*kept), readAll(atLab + kFirst));
    alerts.clear();

    // The history, opened from its menu item; the window takes the keyboard.
    QAction* item = app.window->findChild<QAction*>(QStringLiteral("orderHistoryMenuItem"));
    QVERIFY(item);
    item->trigger();
    auto* history = app.window->findChild<OrderHistoryWindow*>();
    QVERIFY(history && history->isVisible());
    history->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(history));
    auto* view = history->findChild<QTableView*>(QStringLiteral("orderHistoryTable"));
    auto* resend = history->findChild<QPushButton*>(QStringLiteral("orderHistoryResendButton"));
    QVERIFY(tabTo(view));
    QTest::keyClick(view, Qt::Key_Home);  // the first (only) row
    QTest::keyClick(view, Qt::Key_Space); // chosen
    QCOMPARE(cell(view, 0, OrderHistoryTable::Archive), kFirst);
    QVERIFY(resend->isEnabled());
    QVERIFY(tabTo(resend));
    alerts.enqueueOk(); // 送信
    QTest::keyClick(resend, Qt::Key_Space);
    QVERIFY(app.waitJob());

    // Asked once, naming the order; then the send's own "sent" alert.
    QCOMPARE(alerts.requests().first().message, QStringLiteral("この注文をもう一度送信しますか？"));
    const QString question = alerts.requests().first().information;
    for (const QString& part : {QStringLiteral("お客様コード：1234"),
                                QStringLiteral("袋番号：0000001"), QStringLiteral("送信日時：")})
        QVERIFY2(question.contains(part), qPrintable(question));
    QCOMPARE(alerts.messages().count(QStringLiteral("この注文をもう一度送信しますか？")), 1);
    QVERIFY(alerts.messages().contains(QStringLiteral("データを送信しました")));

    // Two archives at the lab, the names differ in the bag number only.
    QCOMPARE(lab.ftpFolderFiles(kRemote), (QStringList{kFirst, kSecond}));
    const QString first = atLab + kFirst;
    const QString second = atLab + kSecond;
    QCOMPARE(unzipList(second), unzipList(first));
    for (const QString& entry : unzipList(first)) {
        if (entry == QStringLiteral("PrintReport4.txt"))
            continue;
        QCOMPARE(unzipEntry(second, entry), unzipEntry(first, entry));
    }
    // The report: the kept one but for LAB_ORDER_ID and CUSTOMER_ORDER_ID.
    const QByteArray firstReport = unzipEntry(first, QStringLiteral("PrintReport4.txt"));
    QVERIFY(firstReport.contains("LAB_ORDER_ID=0000001\r\n"));
    QCOMPARE(unzipEntry(second, QStringLiteral("PrintReport4.txt")),
             ResendJob::reportForArchive(
                 firstReport, {QStringLiteral("1234"), QStringLiteral("001122AABBCC"), qint64(2)}));
    QCOMPARE(UserDef::integerForKey(QStringLiteral("BagNo")), qint64(2));
    // Sent as any order: the usage report of each upload, both archives kept, the pool empty.
    QCOMPARE(lab.reportActions().count(QStringLiteral("FTP")), 2);
    QVERIFY(KeptOrders::keptArchivePath(kFirst));
    QVERIFY(KeptOrders::keptArchivePath(kSecond));
    QVERIFY(poolFiles().isEmpty());

    // The history (read again after the job) links the two rows; the re-send is its own row.
    QTRY_COMPARE(view->model()->rowCount(), 2);
    const int resent = history->table()->rowOfArchive(kSecond);
    const int original = history->table()->rowOfArchive(kFirst);
    QVERIFY(resent >= 0 && original >= 0);
    QCOMPARE(cell(view, resent, OrderHistoryTable::Outcome), QStringLiteral("送信済み"));
    QCOMPARE(cell(view, resent, OrderHistoryTable::Error), QStringLiteral("再送信：") + kFirst);
    QCOMPARE(cell(view, original, OrderHistoryTable::Error),
             QStringLiteral("再送信済み：") + kSecond);

    // Looking inside the re-sent order, by keyboard too: its report and files.
    view->setFocus();
    view->selectRow(resent);
    auto* contents = history->findChild<QPushButton*>(QStringLiteral("orderHistoryContentsButton"));
    QVERIFY(contents->isEnabled());
    QVERIFY(tabTo(contents));
    QTest::keyClick(contents, Qt::Key_Space);
    QDialog* window = history->contentsWindow();
    QVERIFY(window && window->isVisible());
    const QString report =
        window->findChild<QPlainTextEdit*>(QStringLiteral("orderContentsReport"))->toPlainText();
    QVERIFY(report.contains(QStringLiteral("LAB_ORDER_ID=0000002")));
    QVERIFY(report.contains(QStringLiteral("ORDER_TYPE=その他")));
    auto* files = window->findChild<QListWidget*>(QStringLiteral("orderContentsFileList"));
    QCOMPARE(files->count(), unzipList(second).size());
    window->close();
    history->close();
}

QTEST_MAIN(TestResendRoad)
#include "tst_ResendRoad.moc"
