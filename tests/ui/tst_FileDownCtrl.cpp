#include "AlertRecorder.h"
#include "LabSim.h"
#include "ServiceHostRecorder.h"
#include "TestHome.h"
#include "service/FileDownListDataSource.h"
#include "settings/UserDef.h"
#include "ui/FileDownCtrl.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>
#include <memory>

namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

template <typename T>
T* part(QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
}

} // namespace

// The file download window driven through its controls, against the lab substitute's
// "/dwnld/1234/" folder.
class TestFileDownCtrl : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<LabSim> lab;
    const QString folder = QStringLiteral("/dwnld/1234/");

    // A fresh customer folder on the server and a customer 1234 in the settings.
    void prepare(const QVariantMap& history = {}) {
        QDir(lab->ftpLocalPath(folder)).removeRecursively();
        UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
        QVariantMap all;
        all.insert(QStringLiteral("1234"), history);
        UserDef::setFileDownHistoryDic(all);
    }

private Q_SLOTS:
    void initTestCase() {
        lab = std::make_unique<LabSim>();
        QVERIFY2(lab->isRunning(), qPrintable(lab->errorText()));
    }
    void init() { lab->clearFaults(); }
    void cleanupTestCase() { lab.reset(); }

    void opensMarksNewFilesDownloadsAndUnmarks() {
        TestHome home;
        AlertRecorder alerts;
        QVariantMap history;
        history.insert(QStringLiteral("done before.pdf"), QStringLiteral("2024/01/01 10:00:00"));
        prepare(history);
        const QByteArray templ(300000, 't');
        QVERIFY(lab->putFtpFile(folder, QStringLiteral("template  one.zip"), templ));
        QVERIFY(lab->putFtpFile(folder, QStringLiteral("done before.pdf"), "pdf"));
        QVERIFY(lab->putFtpFile(folder, QStringLiteral("1234.txt"), "お知らせです"));
        QVERIFY(lab->putFtpFile(folder + QStringLiteral("sub folder/"), QStringLiteral("x"), "x"));

        ServiceHostRecorder host;
        FileDownCtrl window(host);
        QSignalSpy ended(&window, &FileDownCtrl::downloadEnded);
        window.fileDownloadCheck();
        QVERIFY(window.isVisible());
        QCOMPARE(host.menuOffCount, 1);
        QCOMPARE(part<QPlainTextEdit>(window, "fileDownInfoTextView")->toPlainText(),
                 QStringLiteral("お知らせです"));
        QTableView* table = part<QTableView>(window, "fileDownTableView");
        QAbstractItemModel* model = table->model();
        QCOMPARE(model->rowCount(), 2); // neither the folder nor the information file
        QStringList names;
        QList<int> marks;
        for (int row = 0; row < 2; ++row) {
            names.append(model->index(row, 0).data().toString());
            marks.append(model->index(row, 0).data(Qt::CheckStateRole).toInt());
        }
        QCOMPARE(names, (QStringList{QStringLiteral("done before.pdf (3 byte)"),
                                     QStringLiteral("template  one.zip (300 KB)")}));
        QCOMPARE(marks, (QList<int>{Qt::Unchecked, Qt::Checked}));
        QPushButton* download = part<QPushButton>(window, "fileDownDownloadButton");
        QVERIFY(download->isEnabled());
        QVERIFY(part<QProgressBar>(window, "fileDownProgressIndicator")->isHidden());

        // Unmark the new one: nothing to download; mark both again.
        model->setData(model->index(1, 0), Qt::Unchecked, Qt::CheckStateRole);
        QVERIFY(!download->isEnabled());
        model->setData(model->index(0, 0), Qt::Checked, Qt::CheckStateRole);
        model->setData(model->index(1, 0), Qt::Checked, Qt::CheckStateRole);

        QTemporaryDir save;
        alerts.enqueueFolder(save.path());
        download->click();
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 30000);
        QCOMPARE(ended.first().at(0).toBool(), true);
        QCOMPARE(alerts.last().message, QStringLiteral("ファイルのダウンロードが完了しました"));
        QCOMPARE(readFile(save.filePath(QStringLiteral("template  one.zip"))), templ);
        QCOMPARE(readFile(save.filePath(QStringLiteral("done before.pdf"))), QByteArray("pdf"));
        QVERIFY(!window.dataSource()->isCheckFile());
        QVERIFY(!download->isEnabled());
        QVERIFY(download->isVisible());

        part<QPushButton>(window, "fileDownCloseButton")->click();
        QVERIFY(!window.isVisible());
        QCOMPARE(host.menuOnCount, 1);

        // Next opening: every file is in the history now.
        window.fileDownloadCheck();
        QVERIFY(window.isVisible());
        QVERIFY(!window.dataSource()->isCheckFile());
        window.closeFileDownloadAction();
        QCOMPARE(host.menuOnCount, 2);
    }

    void noListingOrOnlyTheInformationFile() {
        TestHome home;
        AlertRecorder alerts;
        prepare();
        QDir(lab->ftpLocalPath(folder)).removeRecursively();
        ServiceHostRecorder host;
        FileDownCtrl window(host);
        window.fileDownloadCheck();
        QVERIFY(!window.isVisible());
        QCOMPARE(host.menuOffCount, 0);
        QCOMPARE(alerts.last().message, QStringLiteral("ダウンロードできるファイルはありません"));
        QCOMPARE(alerts.last().information,
                 QStringLiteral("現在ダウンロードできるファイルはありません。"));

        QVERIFY(lab->putFtpFile(folder, QStringLiteral("1234.txt"), "今月のお知らせ"));
        alerts.clear();
        window.fileDownloadCheck();
        QVERIFY(window.isVisible());
        QCOMPARE(alerts.count(), 0);
        QCOMPARE(part<QTableView>(window, "fileDownTableView")->model()->rowCount(), 0);
        QCOMPARE(part<QPlainTextEdit>(window, "fileDownInfoTextView")->toPlainText(),
                 QStringLiteral("今月のお知らせ"));
        QVERIFY(!part<QPushButton>(window, "fileDownDownloadButton")->isEnabled());
        window.closeFileDownloadAction();
    }

    void cancelAnsweredNoGoesOnAndYesStops() {
        TestHome home;
        AlertRecorder alerts;
        prepare();
        const QByteArray big(2000000, 'b');
        QVERIFY(lab->putFtpFile(folder, QStringLiteral("big one.zip"), big));
        QVERIFY(lab->setFaults(QJsonObject{{"hold_download_after", 600000}}));
        ServiceHostRecorder host;
        FileDownCtrl window(host);
        QSignalSpy ended(&window, &FileDownCtrl::downloadEnded);
        window.fileDownloadCheck();
        QTemporaryDir save;
        QPushButton* close = part<QPushButton>(window, "fileDownCloseButton");
        QLabel* status = part<QLabel>(window, "fileDownStatusField");

        alerts.enqueueFolder(save.path());
        part<QPushButton>(window, "fileDownDownloadButton")->click();
        QVERIFY(window.isDownloading());
        QCOMPARE(close->text(), QStringLiteral("キャンセル"));
        QVERIFY(part<QPushButton>(window, "fileDownDownloadButton")->isHidden());
        QVERIFY(!part<QTableView>(window, "fileDownTableView")->isEnabled());
        QVERIFY(part<QProgressBar>(window, "fileDownProgressIndicator")->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(status->text().contains(QStringLiteral(" / 2.0 MB")), 20000);

        // いいえ: the download goes on and completes once the line moves again.
        alerts.enqueueNg();
        close->click();
        QCOMPARE(alerts.last().message, QStringLiteral("ダウンロードを中止してよろしいですか？"));
        QCOMPARE(alerts.last().okTitle, QStringLiteral("はい"));
        QCOMPARE(alerts.last().ngTitle, QStringLiteral("いいえ"));
        QVERIFY(window.isDownloading());
        QVERIFY(window.isVisible());
        lab->clearFaults();
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 30000);
        QCOMPARE(ended.last().at(0).toBool(), true);
        QCOMPARE(readFile(save.filePath(QStringLiteral("big one.zip"))), big);

        // はい: the transfer stops; nothing under the real name, no temporary left, no error.
        QVERIFY(lab->setFaults(QJsonObject{{"hold_download_after", 600000}}));
        window.dataSource()->setCheck(0, true);
        QTemporaryDir save2;
        alerts.enqueueFolder(save2.path());
        part<QPushButton>(window, "fileDownDownloadButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(status->text().contains(QStringLiteral(" / 2.0 MB")), 20000);
        alerts.clear();
        alerts.enqueueOk();
        close->click();
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 2, 30000);
        QCOMPARE(ended.last().at(0).toBool(), false);
        QCOMPARE(alerts.count(), 1); // the question only: a cancel raises no error alert
        QVERIFY(QDir(save2.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        QVERIFY(window.dataSource()->isCheckFile()); // marks kept
        QCOMPARE(close->text(), QStringLiteral("閉じる"));
        QVERIFY(window.isVisible());
        window.closeFileDownloadAction();
        QVERIFY(!window.isVisible());
    }

    void droppedConnectionAndExistingFiles() {
        TestHome home;
        AlertRecorder alerts;
        prepare();
        QVERIFY(lab->putFtpFile(folder, QStringLiteral("album data.zip"), QByteArray(900000, 'a')));
        ServiceHostRecorder host;
        FileDownCtrl window(host);
        QSignalSpy ended(&window, &FileDownCtrl::downloadEnded);
        window.fileDownloadCheck();
        QTemporaryDir save;
        const QString target = save.filePath(QStringLiteral("album data.zip"));
        QFile mine(target);
        QVERIFY(mine.open(QIODevice::WriteOnly));
        mine.write("studio copy");
        mine.close();

        // The same name exists: いいえ starts nothing.
        alerts.enqueueFolder(save.path());
        alerts.enqueueNg();
        part<QPushButton>(window, "fileDownDownloadButton")->click();
        QCOMPARE(alerts.last().message, QStringLiteral("同じ名前のファイルがあります"));
        QVERIFY(!window.isDownloading());

        // はい, and the line drops halfway: an error, the studio's copy untouched.
        QVERIFY(lab->setFaults(QJsonObject{{"drop_download_after", 400000}}));
        alerts.enqueueFolder(save.path());
        alerts.enqueueOk();
        part<QPushButton>(window, "fileDownDownloadButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 30000);
        QCOMPARE(ended.first().at(0).toBool(), false);
        QCOMPARE(alerts.last().message, QStringLiteral("エラーが発生しました"));
        QVERIFY(!alerts.last().information.isEmpty());
        QCOMPARE(readFile(target), QByteArray("studio copy"));
        QCOMPARE(QDir(save.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("album data.zip")});
        QVERIFY(window.dataSource()->isCheckFile());
        QVERIFY(UserDef::fileDownHistoryDic()->value("1234").toMap().isEmpty());
        window.closeFileDownloadAction();
    }
};

QTEST_MAIN(TestFileDownCtrl)
#include "tst_FileDownCtrl.moc"
