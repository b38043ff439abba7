#include "../job/PipelineTestKit.h"
#include "AlertRecorder.h"
#include "LabSim.h"
#include "TestHome.h"
#include "app/OrderPool.h"
#include "job/JobTestHook.h"
#include "job/JobThread.h"
#include "job/NotificationCenter.h"
#include "job/OrderHistory.h"
#include "job/PoolArchiveRecord.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "util/WorkFolder.h"

#include <QColor>
#include <QImage>
#include <QJsonArray>
#include <QtTest>

namespace {

const QString kPassword = QStringLiteral("qelvoxa");
const QString kRemote = QStringLiteral("/ntordrsm2/");
const QString kArchive1 = QStringLiteral("1234_001122AABBCC_0000001.zip");
const QString kAbortLine = QStringLiteral("***処理は完了せずに中止***************");
const QString kEndLine = QStringLiteral("***処理終了**************************");

// A real photo: a JPEG of the given size with a gradient, so it is not trivially compressible.
bool writeJpeg(const QString& path, int width, int height, int shade) {
    QDir().mkpath(QFileInfo(path).path());
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixelColor(x, y, QColor((x * 7 + shade) % 256, (y * 5) % 256, (x ^ y) % 256));
        }
    }
    return image.save(path, "JPEG", 90);
}

void etcSettings(const QString& action) {
    UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
    UserDef::setObject(QStringLiteral("studio@example.jp"), QStringLiteral("CustomerEmail"));
    UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
    UserDef::setObject(QStringLiteral("その他"), QStringLiteral("MainTabLabel"));
    UserDef::setObject(QStringLiteral("3 ファイル　テスト"), QStringLiteral("MainTabFileInfo"));
    UserDef::setObject(QStringLiteral("BtSend"), QStringLiteral("ExecuteBt"));
    UserDef::setObject(action, QStringLiteral("OrderActionType"));
    UserDef::setEtcDic({{QStringLiteral("EtcOrderMemoKey"), QStringLiteral("よろしく")}});
}

QString logText() {
    return QString::fromUtf8(kit::readAll(Log::logFilePath()));
}

QStringList pool() {
    return QDir(WorkFolder::orderZipPoolFolderPath()).entryList(QDir::Files);
}

} // namespace

class TestOrderRoad : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void etcOrderOfThreeFilesReachesTheLab();
    void resizeOrderPacksTheScaledTree();
    void cancelDuringZipKeepsTheBagNumber();
    void saveActionLeavesThePoolAlone();
    void failedSendKeepsTheArchiveInThePool();
    void blockedWorkAreaStopsBeforeAnyStage();
    void sendOnlyWithEmptyPoolFails();
    void damagedPoolArchiveIsNotSent_data();
    void damagedPoolArchiveIsNotSent();
};

void TestOrderRoad::etcOrderOfThreeFilesReachesTheLab() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    etcSettings(QStringLiteral("AcNowSend"));
    const QString folder = home.filePath(QStringLiteral("Pictures/Shoot"));
    const QStringList files{folder + QStringLiteral("/a.jpg"), folder + QStringLiteral("/b.jpg"),
                            folder + QStringLiteral("/extra/c.jpg")};
    for (int i = 0; i < files.size(); ++i) {
        QVERIFY(writeJpeg(files[i], 320, 240, i * 40));
    }

    DirectActions actions;
    RecordingProgress progress;
    JobThreadRunner runner(actions);
    QVERIFY(runner.executeJobThread({OrderTab::Etc, files, folder, nullptr, &progress, false}));
    runner.waitForJob();
    QVERIFY(!runner.isJobExecuting());

    // Renamed on the server: the final name only.
    QCOMPARE(lab.ftpFolderFiles(kRemote), QStringList{kArchive1});
    const QString served = lab.ftpLocalPath(kRemote) + u'/' + kArchive1;
    QCOMPARE(kit::zipEntries(served),
             (QStringList{QStringLiteral("PrintReport4.txt"), QStringLiteral("Shoot/a.jpg"),
                          QStringLiteral("Shoot/b.jpg"), QStringLiteral("Shoot/extra/c.jpg")}));
    QVERIFY(!kit::zipContent(served, QStringLiteral("Shoot/a.jpg"), QStringLiteral("guess")));
    QCOMPARE(kit::zipContent(served, QStringLiteral("Shoot/extra/c.jpg"), kPassword),
             kit::readAll(files[2]));
    const std::optional<QByteArray> report =
        kit::zipContent(served, QStringLiteral("PrintReport4.txt"), kPassword);
    QVERIFY(report);
    QVERIFY(report->contains("CUSTOMER_ORDER_ID=1234_001122AABBCC_0000001\r\n"));
    QVERIFY(report->contains("UNIT_INDEX=3\r\n"));
    QVERIFY(report->endsWith("(^^)\r\n"));

    // Nothing left locally, the number is used, the lab heard of order, zip and upload.
    QVERIFY(pool().isEmpty());
    QVERIFY(QDir(WorkFolder::workFolderPath()).entryList({QStringLiteral("*.zip")}).isEmpty());
    QCOMPARE(UserDef::integerForKey(QStringLiteral("BagNo")), qint64(1));
    QCOMPARE(lab.reportActions(),
             (QStringList{QStringLiteral("Order"), QStringLiteral("ZIP"), QStringLiteral("FTP")}));
    QCOMPARE(lab.reportField(QStringLiteral("FTP"), QStringLiteral("FileName")), kArchive1);
    QCOMPARE(lab.reportField(QStringLiteral("Order"), QStringLiteral("MainTab")),
             QStringLiteral("その他"));
    QCOMPARE(lab.reportField(QStringLiteral("Order"), QStringLiteral("PoolZipCount")),
             QStringLiteral("0"));
    QCOMPARE(lab.reportField(QStringLiteral("ZIP"), QStringLiteral("Encryption")),
             QStringLiteral("ON"));
    QCOMPARE(actions.calls(),
             (QStringList{QStringLiteral("fileDragDropOff"), QStringLiteral("comViewRefresh"),
                          QStringLiteral("removeKineloOrder"),
                          QStringLiteral("selectFilesAndOrderMemoClear"),
                          QStringLiteral("albumDirectOrderNumClear"),
                          QStringLiteral("comViewRefresh"), QStringLiteral("dragDropOn")}));
    QCOMPARE(alerts.messages(), QStringList{QStringLiteral("データを送信しました")});
    QVERIFY(logText().contains(kEndLine));
    QVERIFY(logText().contains(QStringLiteral("zip sucsess ZipName[1234_001122AABBCC_0000001]")));
}

void TestOrderRoad::resizeOrderPacksTheScaledTree() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    etcSettings(QStringLiteral("AcAfterSend"));
    UserDef::setObject(QStringLiteral("リサイズ"), QStringLiteral("MainTabLabel"));
    UserDef::setResizeDic({{QStringLiteral("ResizeResizeCbKey"), QStringLiteral("On")},
                           {QStringLiteral("ResizeSizePopKey"),
                            QVariantMap{{QStringLiteral("name"), QStringLiteral("L")},
                                        {QStringLiteral("resize_pix"), QStringLiteral("300")}}}});
    const QString folder = home.filePath(QStringLiteral("Photos/Wedding"));
    const QString big = folder + QStringLiteral("/day1/001.jpg");
    const QString png = folder + QStringLiteral("/logo.png");
    QVERIFY(writeJpeg(big, 1200, 800, 9));
    QImage logo(40, 40, QImage::Format_RGB32);
    logo.fill(Qt::red);
    QVERIFY(logo.save(png, "PNG"));

    DirectActions actions;
    JobThreadRunner runner(actions);
    QVERIFY(runner.jobThread({OrderTab::Resize, {big, png}, folder, nullptr, nullptr, false}));

    // Pooled, not sent; the scaled tree below the chosen folder's name; resize folder gone.
    QCOMPARE(pool(), QStringList{kArchive1});
    const QString pooled = WorkFolder::orderZipPoolFolderPath() + u'/' + kArchive1;
    QStringList entries = kit::zipEntries(pooled);
    QCOMPARE(entries.takeFirst(), QStringLiteral("PrintReport4.txt"));
    entries.sort();
    QCOMPARE(entries, (QStringList{QStringLiteral("Wedding/day1/001.jpg"),
                                   QStringLiteral("Wedding/logo.png")}));
    const std::optional<QByteArray> scaled =
        kit::zipContent(pooled, QStringLiteral("Wedding/day1/001.jpg"), kPassword);
    QVERIFY(scaled);
    QImage result;
    QVERIFY(result.loadFromData(*scaled, "JPEG"));
    QCOMPARE(std::min(result.width(), result.height()), 300);
    QCOMPARE(kit::zipContent(pooled, QStringLiteral("Wedding/logo.png"), kPassword),
             kit::readAll(png));
    QVERIFY(!QFileInfo::exists(WorkFolder::workFolderPath() + QStringLiteral("/Wedding_mini")));
    QVERIFY(lab.ftpFolderFiles(kRemote).isEmpty());
    QCOMPARE(lab.reportActions(), (QStringList{QStringLiteral("Resize"), QStringLiteral("ZIP")}));
    QVERIFY(alerts.messages().isEmpty());
}

void TestOrderRoad::cancelDuringZipKeepsTheBagNumber() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    etcSettings(QStringLiteral("AcNowSend"));
    UserDef::setObject(qint64(9), QStringLiteral("BagNo"));
    const QString folder = home.filePath(QStringLiteral("Fifty"));
    QStringList files;
    for (int i = 0; i < 50; ++i) {
        files.append(folder + QStringLiteral("/%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
        QVERIFY(kit::writeFile(files.constLast(), 20000, static_cast<quint32>(i)));
    }

    DirectActions actions;
    RecordingProgress progress;
    // The user presses cancel while the third file is being packed.
    progress.onUpdate = [](double value) {
        if (value == 3) {
            NotificationCenter::defaultCenter().postNotification(kJobCancelNotification);
        }
    };
    JobThreadRunner runner(actions);
    QVERIFY(!runner.jobThread({OrderTab::Etc, files, folder, nullptr, &progress, false}));

    QCOMPARE(UserDef::integerForKey(QStringLiteral("BagNo")), qint64(9));
    QVERIFY(pool().isEmpty());
    QVERIFY(QDir(WorkFolder::workFolderPath()).entryList({QStringLiteral("*.zip")}).isEmpty());
    QVERIFY(lab.ftpFolderFiles(kRemote).isEmpty());
    QCOMPARE(lab.reportActions(), QStringList{QStringLiteral("ZIP-NG")});
    QCOMPARE(lab.reportField(QStringLiteral("ZIP-NG"), QStringLiteral("ErrorInfo")),
             QStringLiteral("キャンセルボタンによって処理が中止"));
    QCOMPARE(alerts.messages(), QStringList{QStringLiteral("処理を中止しました")});
    // The selection stays for another try; the window is given back.
    QCOMPARE(actions.calls(),
             (QStringList{QStringLiteral("comViewRefresh"), QStringLiteral("dragDropOn")}));
    QVERIFY(logText().contains(kAbortLine));
    QVERIFY(!runner.isJobExecuting());
    for (const QString& file : std::as_const(files)) {
        QVERIFY(QFileInfo::exists(file));
    }
}

void TestOrderRoad::saveActionLeavesThePoolAlone() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    etcSettings(QStringLiteral("AcSave"));
    const QString savePath = home.filePath(QStringLiteral("Desktop/for the lab.zip"));
    QVERIFY(QDir().mkpath(QFileInfo(savePath).path()));
    UserDef::setObject(savePath, QStringLiteral("OrderSavePath"));
    QVERIFY(WorkFolder::checkWorkFolder());
    const QString waiting = WorkFolder::orderZipPoolFolderPath() + QStringLiteral("/earlier.zip");
    QVERIFY(kit::writeText(waiting, "an earlier order"));
    const QString file = home.filePath(QStringLiteral("one/x.jpg"));
    QVERIFY(writeJpeg(file, 200, 100, 3));

    DirectActions actions;
    JobThreadRunner runner(actions);
    QVERIFY(runner.jobThread({OrderTab::Etc, {file}, QString(), nullptr, nullptr, false}));

    QCOMPARE(pool(), QStringList{QStringLiteral("earlier.zip")});
    QCOMPARE(kit::readAll(waiting), QByteArray("an earlier order"));
    QCOMPARE(kit::zipEntries(savePath),
             (QStringList{QStringLiteral("PrintReport4.txt"), file.mid(1)}));
    QVERIFY(lab.ftpFolderFiles(kRemote).isEmpty());
    QCOMPARE(UserDef::integerForKey(QStringLiteral("BagNo")), qint64(1));
    QVERIFY(alerts.messages().isEmpty());
    QVERIFY(logText().contains(QStringLiteral("OrderActionSave --- ") + savePath));
    QVERIFY(logText().contains(kEndLine));
}

void TestOrderRoad::failedSendKeepsTheArchiveInThePool() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    QVERIFY(lab.setFaults({{QStringLiteral("refuse_upload"), QStringLiteral("*")}}));
    AlertRecorder alerts;
    etcSettings(QStringLiteral("AcNowSend"));
    UserDef::setObject(QStringLiteral("FF"), QStringLiteral("WorkApp"));
    const QString file = home.filePath(QStringLiteral("one/x.jpg"));
    QVERIFY(writeJpeg(file, 200, 100, 5));

    DirectActions actions;
    JobThreadRunner runner(actions);
    QVERIFY(!runner.jobThread({OrderTab::Etc, {file}, QString(), nullptr, nullptr, true}));

    // The order is packed and safe in the pool for a later pool send.
    QCOMPARE(pool(), QStringList{kArchive1});
    QCOMPARE(UserDef::integerForKey(QStringLiteral("BagNo")), qint64(1));
    QVERIFY(actions.calls().contains(QStringLiteral("selectFilesAndOrderMemoClear")));
    QVERIFY(actions.calls().contains(QStringLiteral("albumDirectOrderNumClear")));
    QVERIFY(!actions.calls().contains(QStringLiteral("terminateApplication")));
    QCOMPARE(actions.calls().constLast(), QStringLiteral("dragDropOn"));
    QVERIFY(lab.reportActions().contains(QStringLiteral("FTP-NG")));
    QCOMPARE(alerts.messages(), QStringList{QStringLiteral("エラーが発生しました")});
    QVERIFY(logText().contains(kAbortLine));
    QVERIFY(!logText().contains(kEndLine));
    // In FotoFusion mode the work marker is cleared once the archive exists.
    QCOMPARE(UserDef::stringForKey(QStringLiteral("WorkApp")), std::optional<QString>(QString()));
}

void TestOrderRoad::blockedWorkAreaStopsBeforeAnyStage() {
    TestHome home;
    AlertRecorder alerts;
    etcSettings(QStringLiteral("AcNowSend"));
    QVERIFY(kit::writeText(home.filePath(QStringLiteral("MVL_WorkArea")), "a file, not a folder"));
    const QString file = home.filePath(QStringLiteral("one/x.jpg"));
    QVERIFY(kit::writeFile(file, 5000));

    DirectActions actions;
    JobThreadRunner runner(actions);
    QVERIFY(!runner.jobThread({OrderTab::Etc, {file}, QString(), nullptr, nullptr, false}));
    QCOMPARE(alerts.count(), 1);
    QCOMPARE(alerts.last().message, QStringLiteral("作業フォルダが作成できません"));
    QCOMPARE(alerts.last().information, QStringLiteral("作業フォルダが作成できませんでした"));
    QCOMPARE(actions.calls(),
             (QStringList{QStringLiteral("comViewRefresh"), QStringLiteral("dragDropOn")}));
    QCOMPARE(UserDef::integerForKey(QStringLiteral("BagNo")), qint64(0));
}

void TestOrderRoad::sendOnlyWithEmptyPoolFails() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    etcSettings(QStringLiteral("AcSave"));
    UserDef::setObject(QStringLiteral("BtSendOnly"), QStringLiteral("ExecuteBt"));
    const QString file = home.filePath(QStringLiteral("one/x.jpg"));
    QVERIFY(kit::writeFile(file, 5000));

    DirectActions actions;
    JobThreadRunner runner(actions);
    // No second start while a job runs.
    runner.jobExecuteingOn();
    QVERIFY(!runner.executeJobThread({OrderTab::Etc, {file}, QString(), nullptr, nullptr, false}));
    QVERIFY(actions.calls().isEmpty());
    runner.jobExecuteingOff();
    QVERIFY(runner.executeJobThread({OrderTab::Etc, {file}, QString(), nullptr, nullptr, false}));
    runner.waitForJob();
    QVERIFY(logText().contains(QStringLiteral("送信ファイル数 = 0")));
    QVERIFY(logText().contains(kAbortLine));
    QVERIFY(!logText().contains(QStringLiteral("ZIP処理開始")));
    QVERIFY(alerts.messages().isEmpty());
    QCOMPARE(UserDef::integerForKey(QStringLiteral("BagNo")), qint64(0));
    // The pool send reports no tab details.
    QCOMPARE(lab.reportActions(), QStringList{QStringLiteral("Order")});
    QCOMPARE(lab.reportField(QStringLiteral("Order"), QStringLiteral("MainTab")), QString());
}

// A pooled archive that is no longer the one packed never counts as delivered: damaged in place
// (same size), replaced by something that is not a zip, or changed while the upload reads it.
// It is refused with a plain message, stays in the pool as it is, and the lab gets no final name.
void TestOrderRoad::damagedPoolArchiveIsNotSent_data() {
    QTest::addColumn<QString>("damage");
    QTest::newRow("damaged in place") << QStringLiteral("in place");
    QTest::newRow("replaced by a non-zip") << QStringLiteral("replaced");
    QTest::newRow("changed during the upload") << QStringLiteral("during upload");
    // Changed and put back while curl reads: the lab may hold either, though the bytes now match.
    QTest::newRow("changed and restored during the upload")
        << QStringLiteral("during upload, restored");
}

void TestOrderRoad::damagedPoolArchiveIsNotSent() {
    QFETCH(QString, damage);
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    AlertRecorder alerts;
    etcSettings(QStringLiteral("AcAfterSend"));
    const QString folder = home.filePath(QStringLiteral("Pictures/Day"));
    const QStringList files{folder + QStringLiteral("/a.jpg"), folder + QStringLiteral("/b.jpg")};
    for (int i = 0; i < files.size(); ++i)
        QVERIFY(writeJpeg(files[i], 900, 700, i * 30));
    DirectActions actions;
    JobThreadRunner runner(actions);
    QVERIFY(runner.jobThread({OrderTab::Etc, files, folder, nullptr, nullptr, false}));

    // Pooled with its packing record beside it: hidden, private, not an order of its own.
    const QString pooled = WorkFolder::orderZipPoolFolderPath() + u'/' + kArchive1;
    const QString recordPath = PoolArchiveRecord::recordPathFor(pooled);
    QCOMPARE(pool(), QStringList{kArchive1});
    QVERIFY(QFileInfo(recordPath).isHidden());
    QCOMPARE(QFileInfo(recordPath).permissions() & 0x7777,
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                 QFileDevice::WriteUser);
    const OrderPool orderPool;
    QCOMPARE(orderPool.list(), QStringList{pooled});
    QCOMPARE(orderPool.archiveListText(), kArchive1);
    QCOMPARE(orderPool.totalSize(), QFileInfo(pooled).size());
    const std::optional<PoolArchiveRecord> record = PoolArchiveRecord::read(pooled);
    QVERIFY(record);
    QCOMPARE(record->size, QFileInfo(pooled).size());
    QCOMPARE(record->sha256, PoolArchiveRecord::sha256OfFile(pooled).value_or(QString()));

    QByteArray bytes = kit::readAll(pooled);
    if (damage == QStringLiteral("in place")) {
        bytes[bytes.size() / 2] = static_cast<char>(bytes.at(bytes.size() / 2) ^ 0x5a);
        QVERIFY(kit::writeText(pooled, bytes));
    } else if (damage == QStringLiteral("replaced")) {
        bytes = "<html>not an order</html>";
        QVERIFY(kit::writeText(pooled, bytes));
    } else {
        // Slow upload; once curl reads the file, a byte near its end changes.
        QVERIFY(lab.setFaults({{QStringLiteral("upload_rate"), 200'000}}));
        const qsizetype at = bytes.size() - 100;
        const bool restore = damage.endsWith(QStringLiteral("restored"));
        const char original = bytes.at(at);
        bytes[at] = static_cast<char>(bytes.at(at) ^ 0x5a);
        const char changed = bytes.at(at);
        if (restore)
            bytes[at] = original;
        JobTestHook::set([pooled, at, changed, original, restore](JobTestHook::Point point) {
            if (point != JobTestHook::Point::UploadStarted)
                return;
            QFile file(pooled);
            if (!file.open(QIODevice::ReadWrite) || !file.seek(at))
                return;
            file.write(&changed, 1);
            file.flush();
            if (restore && file.seek(at))
                file.write(&original, 1);
        });
    }
    alerts.clear();
    UserDef::setObject(QStringLiteral("BtSendOnly"), QStringLiteral("ExecuteBt"));
    const bool sent = runner.jobThread({std::nullopt, {}, QString(), nullptr, nullptr, false});
    JobTestHook::reset();
    lab.clearFaults();

    QVERIFY(!sent);
    QCOMPARE(pool(), QStringList{kArchive1});
    QCOMPARE(kit::readAll(pooled), bytes);
    QVERIFY(lab.ftpFolderFiles(kRemote).isEmpty());
    int stores = 0;
    for (const QJsonObject& entry : lab.ftpLog()) {
        const QString cmd = entry.value(QStringLiteral("cmd")).toString();
        QVERIFY2(cmd != QStringLiteral("RENAMED"),
                 qPrintable(entry.value(QStringLiteral("path")).toString()));
        stores += cmd == QStringLiteral("STOR") ? 1 : 0;
    }
    QCOMPARE(stores, damage.startsWith(QStringLiteral("during upload")) ? 1 : 0);
    QCOMPARE(alerts.messages(), QStringList{QStringLiteral("エラーが発生しました")});
    QVERIFY2(alerts.last().information.contains(kArchive1) &&
                 alerts.last().information.contains(QStringLiteral("内容が")) &&
                 alerts.last().information.contains(QStringLiteral("オーダープールに残しました")),
             qPrintable(alerts.last().information));
    QVERIFY(lab.reportActions().contains(QStringLiteral("FTP-NG")));
    const auto last = OrderHistory::lastRecordForArchive(kArchive1);
    QVERIFY(last);
    QCOMPARE(last->outcome, OrderHistoryRecord::Outcome::Failed);
    QCOMPARE(last->errorText, alerts.last().information);
    // The packing record stays as it was: a later send refuses the archive again.
    const std::optional<PoolArchiveRecord> after = PoolArchiveRecord::read(pooled);
    QVERIFY(after);
    QCOMPARE(after->sha256, record->sha256);
    QVERIFY(!after->rename);
}

QTEST_MAIN(TestOrderRoad)
#include "tst_OrderRoad.moc"
