// The controller without a window: its rules, start-up records, the order pool and the guard.
#include "AlertRecorder.h"
#include "TestHome.h"
#include "TestProcess.h"
#include "app/AppCtrl.h"
#include "app/InstanceGuard.h"
#include "app/OrderPool.h"
#include "product/ProductPopUpList.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "util/InstanceLock.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>
#include <unistd.h>

namespace {

bool writeFile(const QString& path, qint64 size) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    // Sparse: a 4 GB order without 4 GB of disk.
    return file.open(QIODevice::WriteOnly) && file.resize(size);
}

QString logText() {
    QFile file(Log::logFilePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void customer() {
    UserDef::setObject(QStringLiteral("スタジオ"), QStringLiteral("PhotoStudioName"));
    UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
    UserDef::setObject(QStringLiteral("a@example.jp"), QStringLiteral("CustomerEmail"));
}

} // namespace

class TestAppCtrl : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        // No lab in these tests: reports go to a closed loopback port and fail at once.
        qputenv("HALVIX_LAB_CONF", "/nonexistent/lab.conf");
    }
    void quantityRulesFallBackLikeNone();
    void popUpLabelAndTitle();
    void fotoFusionArgumentsNeedBothPaths();
    void previousRunAndCleanQuit();
    void menuRulesByTag();
    void orderSizeLimitByTab();
    void selectionInfoAndRows();
    void poolFollowsItsFolder();
    void guardTakesBothFoldersOrNeither();
};

void TestAppCtrl::quantityRulesFallBackLikeNone() {
    QCOMPARE(AppCtrl::orderNumCheckAndConvert(QStringLiteral("-5")), QStringLiteral("5"));
    QCOMPARE(AppCtrl::orderNumCheckAndConvert2(QStringLiteral("-5")), QStringLiteral("0"));
    QCOMPARE(AppCtrl::orderNumCheckAndConvert(QStringLiteral("0")), QStringLiteral("1"));
    QCOMPARE(AppCtrl::orderNumCheckAndConvert2(QStringLiteral("0")), QStringLiteral("0"));
    QCOMPARE(AppCtrl::orderNumCheckAndConvert(QStringLiteral("10000")), QStringLiteral("1"));
    QCOMPARE(AppCtrl::orderNumCheckAndConvert2(QStringLiteral("10000")), QStringLiteral("0"));
    QCOMPARE(AppCtrl::orderNumCheckAndConvert(QStringLiteral("9999")), QStringLiteral("9999"));
    QCOMPARE(AppCtrl::orderNumCheckAndConvert2(QStringLiteral("9999")), QStringLiteral("9999"));
    QCOMPARE(AppCtrl::orderNumCheckAndConvert(QStringLiteral(" 12枚")), QStringLiteral("12"));
    QCOMPARE(AppCtrl::orderNumCheckAndConvert(QString()), QStringLiteral("1"));
    QCOMPARE(AppCtrl::orderNumCheckAndConvert2(QStringLiteral("abc")), QStringLiteral("0"));
    // Out of range for any integer: like no number at all, never a wrapped value.
    const QString huge = QStringLiteral("99999999999999999999999");
    QCOMPARE(AppCtrl::orderNumCheckAndConvert(huge), QStringLiteral("1"));
    QCOMPARE(AppCtrl::orderNumCheckAndConvert2(huge), QStringLiteral("0"));
    QCOMPARE(AppCtrl::orderNumCheckAndConvert(QStringLiteral("-9223372036854775808")),
             QStringLiteral("1"));
}

void TestAppCtrl::popUpLabelAndTitle() {
    QCOMPARE(AppCtrl::labelFromPop(nullptr), std::nullopt);
    QCOMPARE(AppCtrl::popTitleNotNil(nullptr), QString());
    ProductPopUpList pop;
    QCOMPARE(AppCtrl::popTitleNotNil(&pop), QString());
    pop.addItemWithTitle(QStringLiteral("L判"), {{QStringLiteral("label"), QStringLiteral("L")}});
    pop.addItemWithTitle(QStringLiteral("2L判"), {{QStringLiteral("id"), QStringLiteral("7")}});
    QCOMPARE(AppCtrl::labelFromPop(&pop), std::optional<QString>(QStringLiteral("L")));
    QCOMPARE(AppCtrl::popTitleNotNil(&pop), QStringLiteral("L判"));
    QVERIFY(pop.selectItemFromRecordId(QStringLiteral("7")));
    QCOMPARE(AppCtrl::labelFromPop(&pop), std::nullopt); // a record without a label
    QCOMPARE(AppCtrl::popTitleNotNil(&pop), QStringLiteral("2L判"));
}

void TestAppCtrl::fotoFusionArgumentsNeedBothPaths() {
    TestHome home;
    AppCtrl ctrl(
        {QStringLiteral("halvix2"), QStringLiteral("-manifest"), QStringLiteral("/m.xml")});
    QVERIFY(!ctrl.isFotoFusionMode());
    QCOMPARE(UserDef::fotoFusionDic().value_or(QVariantMap{{QStringLiteral("x"), 1}}),
             QVariantMap());
    QCOMPARE(UserDef::stringForKey(QStringLiteral("WorkApp")).value_or(QStringLiteral("?")),
             QString());

    // "-manifest" as the last argument has no value; a later pair overrides an earlier one.
    ctrl.fotoFusionCheck({QStringLiteral("halvix2"), QStringLiteral("-archive"),
                          QStringLiteral("/a1.zip"), QStringLiteral("-archive"),
                          QStringLiteral("/a2.zip"), QStringLiteral("-manifest")});
    QVERIFY(!ctrl.isFotoFusionMode());
    ctrl.fotoFusionCheck(
        {QStringLiteral("halvix2"), QStringLiteral("-archive"), QStringLiteral("/a1.zip"),
         QStringLiteral("-manifest"),
         QStringLiteral("/Library/Application Support/FotoFusion/Bottles/fotofusion/"
                        "dosdevices/y:/Users/s/m.xml"),
         QStringLiteral("-archive"), QStringLiteral("/a2.zip")});
    QVERIFY(ctrl.isFotoFusionMode());
    QCOMPARE(ctrl.fotoFusionManifestPath(), QStringLiteral("/Users/s/m.xml"));
    QCOMPARE(ctrl.fotoFusionArchivePath(), QStringLiteral("/a2.zip"));
    QCOMPARE(UserDef::objectForKeyFromFotoFusionDic(QStringLiteral("ArchivePath")).toString(),
             QStringLiteral("/a2.zip"));
    QCOMPARE(UserDef::stringForKey(QStringLiteral("WorkApp")).value_or(QString()),
             QStringLiteral("FF"));
}

void TestAppCtrl::previousRunAndCleanQuit() {
    TestHome home;
    UserDef::setAppStatus(QStringLiteral("JOB Thread Zip"));
    UserDef::backupPreviousAppStatus();
    {
        AppCtrl ctrl({QStringLiteral("halvix2")});
        QCOMPARE(UserDef::appStatus(), QStringLiteral("AppCtrl init end"));
        QVERIFY(logText().contains(
            QStringLiteral("前回使用時に正常終了していません。　状態：JOB Thread Zip")));
        QCOMPARE(UserDef::stringForKey(QStringLiteral("OrderActionType")).value_or(QString()),
                 QStringLiteral("AcNowSend"));
        QCOMPARE(UserDef::integerForKey(QStringLiteral("ResizeCheck")), qint64(1));
        QCOMPARE(UserDef::stringForKey(QStringLiteral("BootDate")).value_or(QString()),
                 Tool::nowDateCompress());
        ctrl.applicationShouldTerminate();
        QVERIFY(ctrl.isTerminated());
        QCOMPARE(UserDef::appStatus(), QString());
    }
    // The clean quit reached the file: the next start sees nothing to report.
    UserDef::backupPreviousAppStatus();
    const qsizetype before = logText().count(QStringLiteral("前回使用時"));
    AppCtrl next({QStringLiteral("halvix2")});
    QCOMPARE(logText().count(QStringLiteral("前回使用時")), before);
}

void TestAppCtrl::menuRulesByTag() {
    TestHome home;
    AppCtrl ctrl({QStringLiteral("halvix2")});
    ctrl.menuUseOn();
    AppCtrl::MenuItemState pool = ctrl.validateMenuItem(300);
    QCOMPARE(pool.title.value_or(QString()), QStringLiteral("オーダーを全て送信"));
    QVERIFY(!pool.enabled);
    QVERIFY(ctrl.validateMenuItem(100).enabled);

    QVERIFY(writeFile(WorkFolder::orderZipPoolFolderPath() + QStringLiteral("/a.zip"), 10));
    QVERIFY(writeFile(WorkFolder::orderZipPoolFolderPath() + QStringLiteral("/b.zip"), 10));
    QVERIFY(writeFile(WorkFolder::orderZipPoolFolderPath() + QStringLiteral("/note.txt"), 10));
    pool = ctrl.validateMenuItem(300);
    QCOMPARE(pool.title.value_or(QString()), QStringLiteral("オーダーを全て送信（2件）"));
    QVERIFY(pool.enabled);

    ctrl.setPrefWindowVisible(true);
    for (int tag : {100, 200, 201, 300, 400, 999}) {
        QVERIFY2(!ctrl.validateMenuItem(tag).enabled, qPrintable(QString::number(tag)));
    }
    QVERIFY(ctrl.validateMenuItem(7).enabled); // any other tag is left as it is
    QVERIFY(!ctrl.validateMenuItem(7).title);
    ctrl.setPrefWindowVisible(false);
    ctrl.menuUseOff();
    QVERIFY(!ctrl.validateMenuItem(200).enabled);
}

void TestAppCtrl::orderSizeLimitByTab() {
    TestHome home;
    AlertRecorder alerts;
    AppCtrl ctrl({QStringLiteral("halvix2")});
    const QString big = home.filePath(QStringLiteral("big/movie.mov"));
    const QString small = home.filePath(QStringLiteral("big/a.jpg"));
    QVERIFY(writeFile(big, 4147000000LL));
    QVERIFY(writeFile(small, 1));

    ctrl.setSelectedTab(OrderTab::Etc);
    ctrl.setSelectFiles({big});
    QVERIFY(!ctrl.isOrderFileSizeOver()); // exactly the limit is allowed
    QVERIFY(alerts.messages().isEmpty());
    ctrl.setSelectFiles({big, small});
    QVERIFY(ctrl.isOrderFileSizeOver());
    QCOMPARE(alerts.last().message, QStringLiteral("ファイルの合計サイズが大きすぎます"));
    QCOMPARE(alerts.last().information,
             QStringLiteral("4GB以下になる様にファイルを減らしてください"));
    QVERIFY(ctrl.isSelectFilesOver2GB());

    // Send stops at the size check: no sheet is asked for.
    QSignalSpy chain(&ctrl, &AppCtrl::orderChainRequested);
    ctrl.executeOrderActionJob();
    QCOMPARE(chain.count(), 0);

    ctrl.setSelectedTab(OrderTab::Resize);
    ctrl.setSelectFiles({big, small});
    alerts.clear();
    QVERIFY(ctrl.isOrderFileSizeOver());
    QVERIFY(alerts.last().information.contains(QStringLiteral("『適切なサイズにリサイズする』")));
    UserDef::setResizeDic({{QStringLiteral("ResizeResizeCbKey"), QStringLiteral("On")}});
    QVERIFY(!ctrl.isOrderFileSizeOver()); // the images are scaled first

    ctrl.setSelectedTab(OrderTab::School);
    ctrl.appendListRows(FileListKind::School, {big, small});
    QCOMPARE(ctrl.selectFiles(), (QStringList{big, small}));
    QVERIFY(!ctrl.isOrderFileSizeOver()); // never on the school tab
    ctrl.setSelectedTab(OrderTab::Etc);
    ctrl.setSelectFiles({small});
    ctrl.executeOrderActionJob();
    QCOMPARE(chain.count(), 1);
}

void TestAppCtrl::selectionInfoAndRows() {
    TestHome home;
    customer();
    AppCtrl ctrl({QStringLiteral("halvix2")});
    const QString b = home.filePath(QStringLiteral("x/b.txt"));
    const QString a = home.filePath(QStringLiteral("y/a.jpg"));
    QVERIFY(writeFile(b, 1000));
    QVERIFY(writeFile(a, 24));
    ctrl.setSelectedTab(OrderTab::Etc);
    ctrl.setSelectInfo(QStringLiteral("ファイルが直接選択されました"));
    ctrl.setSelectFiles({b, a});
    // Names in the order of their full paths; count and size with an ideographic space.
    QCOMPARE(ctrl.fileInfoTextOf(OrderTab::Etc), QStringLiteral("b.txt\na.jpg\n"));
    QVERIFY(ctrl.fileCountTextOf(OrderTab::Etc).startsWith(QStringLiteral("2 ファイル　")));
    QCOMPARE(UserDef::stringForKey(QStringLiteral("MainTabFileInfo")).value_or(QString()),
             ctrl.fileCountTextOf(OrderTab::Etc));
    QCOMPARE(ctrl.selectInfo(), QStringLiteral("ファイルが直接選択されました"));

    // The print tab has no path field; its selection is its list.
    ctrl.setSelectedTab(OrderTab::Print);
    QCOMPARE(ctrl.selectInfo(), QString());
    ctrl.appendListRows(FileListKind::Print, {a});
    QCOMPARE(ctrl.listRows(FileListKind::Print).first(),
             (QVariantMap{{QStringLiteral("PrintFilePathKey"), a}}));
    QCOMPARE(ctrl.selectFiles(), QStringList{a});
    ctrl.selectFilesClear();
    QVERIFY(ctrl.listFilePaths(FileListKind::Print).isEmpty());
    QVERIFY(!ctrl.isSelectFiles());
    // The etc selection was not touched by the print tab's clearing.
    QCOMPARE(ctrl.selectFilesOf(OrderTab::Etc).size(), 2);

    // Only the album tab knows name-and-date products.
    ctrl.isCharInputProductHook = [] { return true; };
    QVERIFY(!ctrl.isCharInputProduct());
    ctrl.setSelectedTab(OrderTab::Album);
    QVERIFY(ctrl.isCharInputProduct());
}

void TestAppCtrl::poolFollowsItsFolder() {
    TestHome home;
    QVERIFY(WorkFolder::checkWorkFolder());
    OrderPool pool;
    QCOMPARE(pool.count(), 0);
    QSignalSpy changed(&pool, &OrderPool::changed);
    const QString first = WorkFolder::orderZipPoolFolderPath() + QStringLiteral("/a.zip");
    QVERIFY(writeFile(first, 100));
    QVERIFY(changed.wait(10000));
    QCOMPARE(changed.last().first().toInt(), 1);
    QVERIFY(writeFile(WorkFolder::orderZipPoolFolderPath() + QStringLiteral("/b.zip"), 50));
    QTRY_COMPARE(pool.count(), 2);
    QCOMPARE(pool.totalSize(), qint64(150));
    QCOMPARE(pool.archiveListText(), QStringLiteral("a.zip\nb.zip"));
    // Only archives of this pool are removed.
    const QString outside = home.filePath(QStringLiteral("c.zip"));
    QVERIFY(writeFile(outside, 1));
    QVERIFY(!pool.remove(outside));
    QVERIFY(QFile::exists(outside));
    QVERIFY(pool.remove(first));
    QCOMPARE(pool.list(),
             QStringList{WorkFolder::orderZipPoolFolderPath() + QStringLiteral("/b.zip")});
}

// The guard takes the settings folder and the work area together, or neither.
void TestAppCtrl::guardTakesBothFoldersOrNeither() {
    TestHome home;
    QVERIFY(InstanceGuard::tryAcquire());
    QVERIFY(InstanceGuard::holdsLocks());
    QVERIFY(!InstanceGuard::otherInstance().has_value());
    const QString settingsLock = home.filePath(QStringLiteral(".config/halvix2/halvix2.lock"));
    const QString workLock = home.filePath(QStringLiteral("MVL_WorkArea/.halvix2.lock"));
    QCOMPARE(InstanceGuard::settingsLockFilePath(), settingsLock);
    QCOMPARE(InstanceGuard::workAreaLockFilePath(), workLock);
    QCOMPARE(InstanceLock::namedHolder(settingsLock)->pid, getpid());
    QCOMPARE(InstanceLock::namedHolder(workLock)->pid, getpid());
    QVERIFY(InstanceGuard::takenOverHolders().isEmpty());
    InstanceGuard::release();
    QVERIFY(!InstanceGuard::holdsLocks());
    QVERIFY(!InstanceLock::namedHolder(settingsLock).has_value());

    // Another program keeps the work area only (a second settings folder on the same home): this
    // one takes neither. With orders in the pool it is refused and ends nobody.
    TestProcess holder;
    holder.start(QStringLiteral("/bin/sh"),
                 {QStringLiteral("-c"),
                  QStringLiteral("exec 9>>\"$1\" && flock -x 9 && exec sleep 60"),
                  QStringLiteral("sh"), workLock});
    QVERIFY(holder.waitForStarted());
    QTRY_VERIFY(InstanceLock::otherHolder(workLock).has_value());
    QVERIFY(writeFile(WorkFolder::orderZipPoolFolderPath() + QStringLiteral("/a.zip"), 10));
    QVERIFY(!InstanceGuard::tryAcquire());
    QVERIFY(!InstanceGuard::holdsLocks());
    QVERIFY(!InstanceLock::namedHolder(settingsLock).has_value());
    QVERIFY(!InstanceLock::otherHolder(settingsLock).has_value());
    QVERIFY(InstanceGuard::otherInstance().has_value());
    QVERIFY(InstanceGuard::isAlreadyBooted());
    QCOMPARE(holder.state(), QProcess::Running);
    holder.stop();
    QVERIFY(!InstanceGuard::isAlreadyBooted());
    QVERIFY(InstanceGuard::holdsLocks());
    InstanceGuard::release();
}

QTEST_GUILESS_MAIN(TestAppCtrl)
#include "tst_AppCtrl.moc"
