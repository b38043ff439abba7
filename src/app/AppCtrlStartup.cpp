// Window set-up: the steps that fill the main window after it exists.
#include "app/AppCtrl.h"
#include "app/AppWindowHooks.h"
#include "app/InstanceGuard.h"
#include "app/StartUpCheck.h"
#include "job/KeptOrders.h"
#include "job/ProgressTarget.h"
#include "product/ProductData.h"
#include "service/CustomAuth.h"
#include "service/LabConfig.h"
#include "service/SupportBundle.h"
#include "service/UpdateInfo.h"
#include "settings/Log.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "settings/UserDef.h"
#include "util/FileMove.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {

void breadcrumb(const char* text) {
    UserDef::setAppStatus(QString::fromUtf8(text));
}

// What a previous run left in the work area, put right once this program keeps it: the locks of a
// run that died, permissions that let other users read the orders, and the partial copies of
// moves that were killed half-way (only the program keeping the work area may remove those: in
// another's they may be copies under way).
void workAreaStartUp() {
    InstanceGuard::tellUnlockableFolders();
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
    partial += SupportBundle::leftoverFiles();
    for (const QString& path : partial) {
        if (QFile::remove(path)) {
            Log::outputLn(QStringLiteral("中断されたコピーの残りを削除しました：%1").arg(path));
        }
    }
    // Sent orders past their days go even when nothing is sent for a while.
    KeptOrders::prune();
}

} // namespace

void AppCtrl::awakeFromNib(AppWindowHooks& hooks) {
    _hooks = &hooks;
    workAreaStartUp();

    // 1
    breadcrumb("AppCtrl awakeFromNib");
    const QString storedTabLabel =
        UserDef::stringForKey(SettingsKey::MainTabLabel).value_or(QString());
    Log::outputLn(QStringLiteral("更新情報の確認"));

    // 2: the lab's pages, the catalogue check and the custom catalogues run in the background; the
    // tabs show the catalogues kept from the last run meanwhile, and what the lab says is taken in
    // by startUpCheckFinished(). A silent lab holds up only an order that needs its answer.
    breadcrumb("AppCtrl awakeFromNib2");
    connect(&_startUpCheck, &StartUpCheck::finished, this, &AppCtrl::startUpCheckFinished,
            Qt::UniqueConnection);
    _startUpCheck.start();

    // 3: shown until the lab says "KINELO-OFF".
    hooks.setupKineloButtons(false);

    // 5
    breadcrumb("AppCtrl awakeFromNib3");
    _productData = std::make_unique<ProductData>(ProductData::keptTexts());
    if (UserDef::isCustomCustomer()) {
        // The customer's own catalogues as kept; the password window waits for the lab's answer.
        _productData->reloadData();
    }

    // 7
    breadcrumb("AppCtrl awakeFromNib5");
    if (LabConfig::refusal()) {
        Tool::alertWithMsg(QStringLiteral("ラボ接続設定ファイルに誤りがあります"),
                           LabConfig::refusalAlertText());
    }
    if (_terminated) {
        return; // ended while the alert was open
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
        if (_terminated) {
            return;
        }
    }

    // 14
    breadcrumb("AppCtrl awakeFromNib15");
    if (_fotoFusionMode) {
        hooks.selectTab(OrderTab::Album);
        setSelectedTab(OrderTab::Album);
        // Which tabs stay ("FF-TAB-ON") is the lab's word: decided when it has answered.
        // Both files go to the album tab as if dropped ("DragDropFolderAndFiles").
        _fileIntake.dragDropFolderAndFiles({_fotoFusionManifestPath, _fotoFusionArchivePath});
    } else if (const std::optional<OrderTab> tab = orderTabFromLabel(storedTabLabel)) {
        hooks.selectTab(*tab);
        setSelectedTab(*tab);
    }

    // 15
    hooks.enableKineloPathDrops();
    breadcrumb("AppCtrl awakeFromNib end");
    // The window is up: this breadcrumb and everything before it reach the disk now.
    UserDef::endAppStatusWriteBehind();

    // 16
    if (_fotoFusionMode) {
        hooks.hideAlbumDropMessage();
        fileDragDropOff();
        comViewRefresh();
    }

    _windowSetUp = true;
    // Said on the tabs, not in a panel over them: the window is usable meanwhile.
    if (!_startUpCheck.isDone()) {
        showOnTabs(QStringLiteral("更新情報を確認しています"));
    }
    if (_startUpCheck.isDone()) {
        startUpCheckFinished(); // the lab answered while an alert of the set-up was open
    }
}

void AppCtrl::startUpCheckFinished() {
    if (_terminated || !_windowSetUp || _startUpCheckTaken) {
        return;
    }
    AppWindowHooks& hooks = *_hooks;
    _updateInfo = _startUpCheck.result().updateInfo;

    // 3
    const bool kineloOff = !UserDef::isDevelopMode() && UpdateInfo::isKineloOff(_updateInfo);
    hooks.setupKineloButtons(kineloOff);

    // 5: newer catalogues from the lab replace the kept ones (the check stored them).
    ProductData::Replaced replaced =
        _productData->replaceStandardTexts(_startUpCheck.result().catalogues);

    // 6
    breadcrumb("AppCtrl awakeFromNib4");
    if (hooks.applicationUpdateCheck(_updateInfo)) {
        // The installer runs and the termination is on its way: nothing more is set up.
        hooks.closeWaitPanel();
        return;
    }
    hooks.closeWaitPanel();
    if (_terminated) {
        return;
    }
    UpdateInfo::storeFtp2TargetCode(_updateInfo);

    // 8
    breadcrumb("AppCtrl awakeFromNib6");
    if (UserDef::isCustomCustomer()) {
        if (CustomAuth::isNeedToAuth()) {
            hooks.openCustomAuthWindow();
        }
        if (_productData->reloadData()) {
            Log::outputLn(QStringLiteral("カスタムデータを再読み込み"));
            replaced.album = replaced.print = replaced.school = true;
        }
    }
    if (replaced.album) {
        hooks.tabUIInit(OrderTab::Album);
    }
    if (replaced.print) {
        hooks.tabUIInit(OrderTab::Print);
    }
    if (replaced.school) {
        hooks.tabUIInit(OrderTab::School);
    }
    if (replaced.resize) {
        hooks.tabUIInit(OrderTab::Resize);
    }

    // 14, the part that needs the lab's word.
    if (_fotoFusionMode && !UpdateInfo::isFfTabOn(_updateInfo)) {
        for (OrderTab tab : {OrderTab::Print, OrderTab::School, OrderTab::Resize, OrderTab::Etc}) {
            hooks.removeTab(tab);
            _tabFlg[index(tab)] = false;
        }
    }
    hooks.completeWindow();
    _startUpCheckTaken = true;
    if (!isJobExecuting()) {
        showOnTabs(QString());
    }
    comViewRefresh();
    // Back at rest: the breadcrumb of a set-up that has ended, written through with everything
    // the lab's answer changed.
    breadcrumb("AppCtrl awakeFromNib end");
    Log::outputLn(QStringLiteral("更新情報の確認を終了"));

    // Orders that waited for this go on.
    std::vector<std::function<void()>> waiting;
    waiting.swap(_waitingForStartUpCheck);
    for (const std::function<void()>& resume : waiting) {
        resume();
    }
}

void AppCtrl::showOnTabs(const QString& text) {
    _tabsText = text;
    for (ProgressTarget* target : _progress) {
        if (target == nullptr) {
            continue;
        }
        if (text.isEmpty()) {
            target->jobMsgClear();
        } else {
            target->setJobMsg(text);
        }
    }
}

void AppCtrl::waitForStartUpCheck() {
    if (!_startUpCheck.isStarted()) {
        return;
    }
    _startUpCheck.waitForDone();
    if (!_startUpCheckTaken) {
        startUpCheckFinished();
    }
}

bool AppCtrl::orderNeedsStartUpCheck(OrderTab tab, bool sendNow) const {
    if (!_startUpCheck.isStarted() || isStartUpCheckDone()) {
        return false;
    }
    // The etc tab orders no catalogue product; any order sent now needs the lab's server choice.
    return tab != OrderTab::Etc || sendNow;
}

bool AppCtrl::waitForStartUpCheckThen(OrderTab tab, const QString& waitText,
                                      std::function<void()> resume) {
    const int bit = 1 << static_cast<int>(index(tab));
    if ((_tabsWaitingForStartUpCheck & bit) != 0) {
        return true; // Send pressed again while it waits: still one order
    }
    _tabsWaitingForStartUpCheck |= bit;
    Log::outputLn(QStringLiteral("更新情報の確認を待って続行：%1").arg(orderTabLabel(tab)));
    if (ProgressTarget* target = _progress[index(tab)]) {
        target->setJobMsg(waitText);
        target->indicatorIndeterminate();
    }
    _waitingForStartUpCheck.push_back([this, tab, bit, resume = std::move(resume)] {
        _tabsWaitingForStartUpCheck &= ~bit;
        if (ProgressTarget* target = _progress[index(tab)]) {
            target->jobMsgClear();
            target->indicatorClear();
        }
        if (_selectedTab == tab && !isJobExecuting()) {
            resume();
        }
    });
    return true;
}
