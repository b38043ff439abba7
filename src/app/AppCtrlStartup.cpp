// Window set-up: the steps that fill the main window after it exists.
#include "app/AppCtrl.h"
#include "app/AppWindowHooks.h"
#include "app/InstanceGuard.h"
#include "job/KeptOrders.h"
#include "product/ProductData.h"
#include "service/CustomAuth.h"
#include "service/LabConfig.h"
#include "service/UpdateInfo.h"
#include "settings/Log.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "settings/UserDef.h"
#include "util/FileMove.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

namespace {

void breadcrumb(const char* text) {
    UserDef::setAppStatus(QString::fromUtf8(text));
}

// What a previous run left in the work area, put right once this program keeps it: the locks of a
// run that died, permissions that let other users read the orders, and the partial copies of
// moves that were killed half-way (only the program keeping the work area may remove those: in
// another's they may be copies under way).
void workAreaStartUp() {
    for (const LockHolder& holder : InstanceGuard::takenOverHolders()) {
        Log::outputLn(QStringLiteral("終了していない前回のHALVIX 2（%1）のロックを引き継ぎました")
                          .arg(holder.text()));
    }
    if (!WorkFolder::checkWorkFolder()) {
        return;
    }
    if (const QStringList opened = WorkFolder::makePrivate(); !opened.isEmpty()) {
        Log::outputLn(
            QStringLiteral("作業フォルダ（%1）を本人だけが読み書きできるようにしました（%2件）")
                .arg(WorkFolder::workFolderPath())
                .arg(opened.size()));
    }
    // Settings written by an older version may still be readable by others; they hold the account.
    const QString settingsFolder = QFileInfo(SettingsStore::settingsFilePath()).absolutePath();
    if (const QStringList opened = WorkFolder::makePrivateTree(settingsFolder); !opened.isEmpty()) {
        Log::outputLn(
            QStringLiteral("設定フォルダ（%1）を本人だけが読み書きできるようにしました（%2件）")
                .arg(settingsFolder)
                .arg(opened.size()));
    }
    QStringList partial = orbel::partialMoveFilesIn(WorkFolder::orderZipPoolFolderPath());
    const QString savePath = UserDef::stringForKey(SettingsKey::OrderSavePath).value_or(QString());
    if (!savePath.isEmpty()) {
        partial += orbel::partialMoveFilesOf(savePath);
    }
    for (const QString& path : partial) {
        if (QFile::remove(path)) {
            Log::outputLn(QStringLiteral("中断されたコピーの残りを削除しました：%1").arg(path));
        }
    }
    // Sent orders past their days go even when nothing is sent for a while.
    KeptOrders::prune();
}

} // namespace

QString AppCtrl::fetchUpdateInfoInParallel() {
    // Both pages at once: an unreachable lab costs one time-out, not two. The event loop keeps
    // turning meanwhile, so the wait panel stays alive. A pool of their own: on a two-core
    // machine the shared pool may be busy with the start-up reports.
    QThreadPool pool;
    pool.setMaxThreadCount(2);
    QFuture<QString> app =
        QtConcurrent::run(&pool, [] { return UpdateInfo::readDataHttp(LabConfig::appInfoUrl()); });
    QFuture<QString> album = QtConcurrent::run(
        &pool, [] { return UpdateInfo::readDataHttp(LabConfig::albumInfoUrl()); });
    QFutureWatcher<QString> appWatcher;
    QFutureWatcher<QString> albumWatcher;
    QEventLoop loop;
    const auto quitWhenBoth = [&] {
        if (app.isFinished() && album.isFinished()) {
            loop.quit();
        }
    };
    QObject::connect(&appWatcher, &QFutureWatcher<QString>::finished, &loop, quitWhenBoth);
    QObject::connect(&albumWatcher, &QFutureWatcher<QString>::finished, &loop, quitWhenBoth);
    appWatcher.setFuture(app);
    albumWatcher.setFuture(album);
    if (!(app.isFinished() && album.isFinished())) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return QStringLiteral("%1\n%2").arg(app.result(), album.result());
}

void AppCtrl::awakeFromNib(AppWindowHooks& hooks) {
    workAreaStartUp();

    // 1
    breadcrumb("AppCtrl awakeFromNib");
    const QString storedTabLabel =
        UserDef::stringForKey(SettingsKey::MainTabLabel).value_or(QString());
    Log::outputLn(QStringLiteral("更新情報の確認"));
    hooks.showWaitPanel(QStringLiteral("更新情報を確認しています"));

    // 2
    breadcrumb("AppCtrl awakeFromNib2");
    _updateInfo = fetchUpdateInfoInParallel();

    // 3
    const bool kineloOff = !UserDef::isDevelopMode() && UpdateInfo::isKineloOff(_updateInfo);
    hooks.setupKineloButtons(kineloOff);
    // 4
    UpdateInfo::storeCustomCustomerCode(_updateInfo);

    // 5
    breadcrumb("AppCtrl awakeFromNib3");
    _productData = std::make_unique<ProductData>(_updateInfo);
    CustomAuth::autoAllCustomDataLoad();

    // 6
    breadcrumb("AppCtrl awakeFromNib4");
    if (hooks.applicationUpdateCheck(_updateInfo)) {
        // The installer runs and the termination is on its way: nothing more is set up.
        hooks.closeWaitPanel();
        return;
    }
    UpdateInfo::storeFtp2TargetCode(_updateInfo);

    // 7
    breadcrumb("AppCtrl awakeFromNib5");
    hooks.closeWaitPanel();
    if (LabConfig::refusal()) {
        Tool::alertWithMsg(QStringLiteral("ラボ接続設定ファイルに誤りがあります"),
                           LabConfig::refusalAlertText());
    }

    // 8
    breadcrumb("AppCtrl awakeFromNib6");
    if (UserDef::isCustomCustomer()) {
        if (CustomAuth::isNeedToAuth()) {
            hooks.openCustomAuthWindow();
        }
        if (_productData->reloadData()) {
            Log::outputLn(QStringLiteral("カスタムデータを再読み込み"));
        }
    }

    // 9
    hooks.tabUIInit(OrderTab::Album);
    breadcrumb("AppCtrl awakeFromNib7");
    hooks.albumSetStartUp();
    breadcrumb("AppCtrl awakeFromNib8");
    hooks.tabUIInit(OrderTab::Print);
    breadcrumb("AppCtrl awakeFromNib9");
    hooks.tabUIInit(OrderTab::School);
    breadcrumb("AppCtrl awakeFromNib10");
    hooks.tabUIInit(OrderTab::Resize);
    hooks.tabUIInit(OrderTab::Etc);

    // 10
    breadcrumb("AppCtrl awakeFromNib11");
    _fileCountText[index(_selectedTab)].clear();
    jobMsgClear();
    breadcrumb("AppCtrl awakeFromNib11");
    _tabFlg.fill(true);
    fileDragDropOn();
    menuUseOn();
    for (const QString& key :
         {QStringLiteral("ThumbnailView"), QStringLiteral("AlbumSlectionSave")}) {
        if (!UserDef::objectForKey(key).isValid()) {
            UserDef::setObject(QStringLiteral("ON"), key);
        }
    }
    if (!UserDef::fileDownHistoryDic()) {
        UserDef::setFileDownHistoryDic({});
    }

    // 11
    breadcrumb("AppCtrl awakeFromNib14");
    if (!isCustomerInfo()) {
        if (hooks.openPreferencesWindow()) {
            setPrefWindowVisible(true);
        }
    }
    hooks.setTitles(QStringLiteral("HALVIX"),
                    QStringLiteral("HALVIX v%1").arg(Tool::applicationVersion()));
    UserDef::removePrintKineloFile();
    UserDef::removeAlbumKineloFile();

    // 12
    breadcrumb("AppCtrl awakeFromNib12");
    hooks.buildPhotoStudioNamePopup();
    breadcrumb("AppCtrl awakeFromNib13");
    comViewRefresh();

    // 13
    if (UserDef::isTestMode()) {
        QString args;
        const QStringList arguments = QCoreApplication::arguments();
        for (qsizetype i = 0; i < arguments.size(); ++i) {
            args += QStringLiteral("[ %1 ] : %2\n").arg(i).arg(arguments[i]);
        }
        Tool::alertWithMsg(QStringLiteral("args"), args);
    }

    // 14
    breadcrumb("AppCtrl awakeFromNib15");
    if (_fotoFusionMode) {
        hooks.selectTab(OrderTab::Album);
        setSelectedTab(OrderTab::Album);
        if (!UpdateInfo::isFfTabOn(_updateInfo)) {
            for (OrderTab tab :
                 {OrderTab::Print, OrderTab::School, OrderTab::Resize, OrderTab::Etc}) {
                hooks.removeTab(tab);
                _tabFlg[index(tab)] = false;
            }
        }
        // Both files go to the album tab as if dropped ("DragDropFolderAndFiles").
        _fileIntake.dragDropFolderAndFiles({_fotoFusionManifestPath, _fotoFusionArchivePath});
    } else if (const std::optional<OrderTab> tab = orderTabFromLabel(storedTabLabel)) {
        hooks.selectTab(*tab);
        setSelectedTab(*tab);
    }

    // 15
    hooks.enableKineloPathDrops();
    breadcrumb("AppCtrl awakeFromNib end");

    // 16
    if (_fotoFusionMode) {
        hooks.hideAlbumDropMessage();
        fileDragDropOff();
        comViewRefresh();
    }
}
