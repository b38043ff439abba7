// The controller's construction, selections, refresh and order start.
#include "app/AppCtrl.h"

#include "app/FileListRows.h"
#include "job/NotificationCenter.h"
#include "job/ProgressTarget.h"
#include "product/ProductData.h"
#include "product/ProductPopUpButton.h"
#include "service/Analyzer.h"
#include "settings/Log.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "util/MiravellPath.h"
#include "util/PathUtil.h"
#include "util/PlistVariant.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

const QString kRule = QString(51, u'=');
const QString kFotoFusionDrive =
    QStringLiteral("/Library/Application Support/FotoFusion/Bottles/fotofusion/dosdevices/y:");

void breadcrumb(const char* text) {
    UserDef::setAppStatus(QString::fromUtf8(text));
}

// On the tab while an order waits for the lab's answer at start.
const QString kStartUpCheckWaitText =
    QStringLiteral("更新情報を確認しています。確認が終わりしだい続けます");

bool notEmptySetting(const QString& key) {
    return !UserDef::stringForKey(key).value_or(QString()).isEmpty();
}

// The leading integer of a quantity text ("12", " -5", "3個"); none for no number and for one
// that does not fit (a huge number falls back like no number at all).
std::optional<qint64> leadingInteger(const QString& text) {
    const QString t = text.trimmed();
    qsizetype end = 0;
    if (end < t.size() && (t[end] == u'-' || t[end] == u'+')) {
        ++end;
    }
    const qsizetype digitsStart = end;
    while (end < t.size() && t[end].unicode() >= u'0' && t[end].unicode() <= u'9') {
        ++end;
    }
    if (end == digitsStart) {
        return std::nullopt;
    }
    bool ok = false;
    const qint64 value = t.left(end).toLongLong(&ok);
    if (!ok) {
        return std::nullopt;
    }
    return value;
}

QVariantMap systemFields() {
    return {{QStringLiteral("OS"), Tool::operatingSystemVersionString()},
            {QStringLiteral("CPU"), Tool::processorType()},
            {QStringLiteral("MemorySize"), Tool::primaryMemory()}};
}

} // namespace

AppCtrl::AppCtrl(const QStringList& arguments, QObject* parent) : QObject(parent), _runner(*this) {
    breadcrumb("AppCtrl init");
    // Written through above: a crash from here on is reported by the next start. The set-up's
    // further breadcrumbs are written behind until the window is up.
    UserDef::beginAppStatusWriteBehind();
    for (auto& board : _preflightBoards) {
        board = std::make_unique<PreflightBoard>(_preflight);
    }
    UserDef::setObject(QString(), SettingsKey::WorkApp);
    _appStopWatch.start();
    // The boot date names the day's log, so it is written before the first line of this run.
    UserDef::setObject(Tool::nowDateTimeCompress(), QStringLiteral("BootDateTime"));
    UserDef::setObject(Tool::nowDateCompress(), QStringLiteral("BootDate"));
    UserDef::setObject(Tool::nowTimeCompress(), QStringLiteral("BootTime"));
    WorkFolder::checkWorkFolder();
    _orderPool.rescan();
    fotoFusionCheck(arguments);
    appStatusSetup();

    Log::blankLine();
    Log::outputLn(kRule);
    Log::outputLn(QStringLiteral("HALVIX 2 (v%1)起動").arg(Tool::applicationVersion()));
    Log::outputLn(QStringLiteral("OS：%1").arg(Tool::operatingSystemVersionString()));
    Log::outputLn(QStringLiteral("CPU：%1").arg(Tool::processorType()));
    Log::outputLn(QStringLiteral("MEM：%1").arg(Tool::primaryMemory()));
    if (_fotoFusionMode) {
        Log::outputLn(QStringLiteral("FotoFusionMode"));
        Log::outputLn(QStringLiteral("manifest=%1").arg(_fotoFusionManifestPath));
        Log::outputLn(QStringLiteral("archive=%1").arg(_fotoFusionArchivePath));
    }

    breadcrumb("AppCtrl init2");
    _prefWindowVisible = false;
    UserDef::setObject(qint64(1), QStringLiteral("ResizeCheck"));
    UserDef::setOrderActionType(QStringLiteral("AcNowSend"));
    jobExecuteingOff();
    breadcrumb("AppCtrl init3");

    QString version = Tool::applicationVersion();
    version.remove(u'.');
    const QString leftovers[] = {
        QStringLiteral("%1/Halvix2_v%2").arg(WorkFolder::workFolderPath(), version),
        QStringLiteral("%1/Halvix2_v%2b").arg(WorkFolder::workFolderPath(), version)};
    const char* crumbs[] = {"AppCtrl init4", "AppCtrl init5"};
    for (int i = 0; i < 2; ++i) {
        breadcrumb(crumbs[i]);
        if (QFileInfo(leftovers[i]).isDir()) {
            Log::outputLn(
                QStringLiteral("インストール用ファイル（%1）をゴミ箱へ").arg(leftovers[i]));
            orbel::limitMoveTrashFileOrFolder(leftovers[i]);
        }
    }
    breadcrumb("AppCtrl init end");

    connect(&_orderPool, &OrderPool::changed, this, &AppCtrl::orderPoolChanged);
}

AppCtrl::~AppCtrl() {
    UserDef::endAppStatusWriteBehind();
    if (isJobExecuting()) {
        NotificationCenter::defaultCenter().postNotification(kJobCancelNotification);
    }
    // Also a job that no longer counts as executing may still wait for its last main-thread
    // calls: they are served here, or joining the thread below would never return.
    waitForJobEnd();
    _runner.waitForJob();
    _startReports.waitForFinished();
}

// --- Single instance ---

void AppCtrl::refuseMultipleBoot() {
    QVariantMap fields = systemFields();
    fields.insert(QStringLiteral("ErrorInfo"), QStringLiteral("多重起動"));
    Analyzer::analyzerPost(QStringLiteral("Boot-NG"), fields);
    Tool::alertWithMsg(QStringLiteral("すでにHALVIX 2が動作中です"),
                       QStringLiteral("動作中のHALVIX 2を終了して再度実行して下さい"));
}

// --- Start-up ---

void AppCtrl::fotoFusionCheck(const QStringList& arguments) {
    std::optional<QString> manifest;
    std::optional<QString> archive;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i - 1] == QStringLiteral("-manifest")) {
            manifest = arguments[i];
        } else if (arguments[i - 1] == QStringLiteral("-archive")) {
            archive = arguments[i];
        }
    }
    if (manifest && archive) {
        fotoFusionModeOn();
        _fotoFusionManifestPath = QString(*manifest).remove(kFotoFusionDrive);
        _fotoFusionArchivePath = QString(*archive).remove(kFotoFusionDrive);
        UserDef::setFotoFusionDic({{QStringLiteral("ManifestPath"), _fotoFusionManifestPath},
                                   {QStringLiteral("ArchivePath"), _fotoFusionArchivePath}});
        UserDef::setObject(QStringLiteral("FF"), SettingsKey::WorkApp);
    } else {
        fotoFusionModeOff();
        _fotoFusionManifestPath.clear();
        _fotoFusionArchivePath.clear();
        UserDef::setFotoFusionDic({});
    }
}

void AppCtrl::appStatusSetup() {
    breadcrumb("appStatusSetup start");
    const QString previous = UserDef::previousAppStatus();
    if (!previous.isEmpty()) {
        Log::blankLine();
        Log::outputLn(kRule);
        Log::outputLn(QStringLiteral("前回使用時に正常終了していません。　状態：%1").arg(previous));
    }
    QVariantMap boot = systemFields();
    if (_fotoFusionMode) {
        boot.insert(QStringLiteral("FotoFusion"), QStringLiteral("ON"));
        boot.insert(QStringLiteral("Manifest"), _fotoFusionManifestPath);
        boot.insert(QStringLiteral("Archive"), _fotoFusionArchivePath);
    }
    if (!previous.isEmpty()) {
        boot.insert(QStringLiteral("PreStatus"), previous);
    }
    if (const qint64 sets = UserDef::albumSetNum(); sets > 0) {
        boot.insert(QStringLiteral("AlbumSet"), QString::number(sets));
    }
    const bool customerSet = isCustomerInfo();
    // The reports go out beside the window set-up: a silent lab must not hold the window back.
    _startReports = QtConcurrent::run([boot, customerSet] {
        Analyzer::analyzerPost(QStringLiteral("Boot"), boot);
        if (customerSet) {
            sendCustomSetInfo();
        }
    });
    breadcrumb("appStatusSetup end");
}

bool AppCtrl::isCustomerInfo() {
    return notEmptySetting(QStringLiteral("PhotoStudioName")) &&
           notEmptySetting(SettingsKey::CustomerCode) &&
           notEmptySetting(QStringLiteral("CustomerEmail"));
}

QString AppCtrl::xmlDescriptionFromDic(const QVariantMap& dic) {
    return QString::fromUtf8(plistXmlFromVariant(dic));
}

void AppCtrl::sendCustomSetInfo() {
    QVariantMap post;
    const auto titles = UserDef::arrayForKey(QStringLiteral("AlbumSetTitles"));
    const auto dics = UserDef::arrayForKey(QStringLiteral("AlbumSetDics"));
    if (UserDef::albumSetNum() > 0 && titles && dics) {
        post.insert(QStringLiteral("CustomSet"),
                    xmlDescriptionFromDic({{QStringLiteral("TitleArray"), *titles},
                                           {QStringLiteral("DicArray"), *dics}}));
    }
    const auto setting = [](const QString& key) {
        return UserDef::stringForKey(key).value_or(QString());
    };
    QVariantMap info{
        {QStringLiteral("SelectCustomer"),
         QVariantMap{
             {QStringLiteral("CustomerCode"), setting(SettingsKey::CustomerCode)},
             {QStringLiteral("PhotoStudioName"), setting(QStringLiteral("PhotoStudioName"))},
             {QStringLiteral("CustomerEmail"), setting(QStringLiteral("CustomerEmail"))}}}};
    if (UserDef::integerForKey(QStringLiteral("MultiCustomerCheck")) != 0) {
        if (const auto customers = UserDef::arrayForKey(SettingsKey::Customers)) {
            info.insert(QStringLiteral("Customers"), *customers);
        }
    }
    post.insert(QStringLiteral("CustomerInfo"), xmlDescriptionFromDic(info));
    Analyzer::analyzerCustomInfoPost(post);
}

// --- Flags ---

void AppCtrl::menuUseOn() {
    if (!_menuUse) {
        _menuUse = true;
        Q_EMIT menuUseChanged(true);
    }
}

void AppCtrl::menuUseOff() {
    if (_menuUse) {
        _menuUse = false;
        Q_EMIT menuUseChanged(false);
    }
}

void AppCtrl::setPrefWindowVisible(bool visible) {
    if (_prefWindowVisible != visible) {
        _prefWindowVisible = visible;
        Q_EMIT prefWindowVisibleChanged(visible);
    }
    comViewRefresh();
}

void AppCtrl::setSelectedTab(OrderTab tab) {
    if (_selectedTab == tab) {
        return;
    }
    _selectedTab = tab;
    UserDef::setObject(orderTabLabel(tab), SettingsKey::MainTabLabel);
}

void AppCtrl::setProgressTarget(OrderTab tab, ProgressTarget* target) {
    _progress[index(tab)] = target;
    // A tab that comes after the set-up says what the others say while the lab is awaited.
    if (target != nullptr && !_tabsText.isEmpty()) {
        target->setJobMsg(_tabsText);
    }
}

// --- Selection ---

QString AppCtrl::selectInfo() const {
    // The print and school tabs have no path field.
    if (_selectedTab == OrderTab::Print || _selectedTab == OrderTab::School) {
        return {};
    }
    return _selectInfo[index(_selectedTab)];
}

void AppCtrl::setSelectInfo(const QString& info) {
    if (_selectedTab == OrderTab::Print || _selectedTab == OrderTab::School) {
        return;
    }
    _selectInfo[index(_selectedTab)] = info;
    Q_EMIT selectionChanged(_selectedTab);
}

QStringList AppCtrl::selectFiles() const {
    return _selectFiles[index(_selectedTab)];
}

void AppCtrl::setSelectFiles(const QStringList& files) {
    setSelectFilesOf(_selectedTab, files);
}

void AppCtrl::setSelectFilesOf(OrderTab tab, const QStringList& files) {
    _selectFiles[index(tab)] = files;
    if (tab == OrderTab::Album || tab == OrderTab::Resize || tab == OrderTab::Etc) {
        imageFilesInfoUpdate(tab, files);
        preflightRowsRefresh(tab);
    }
    Q_EMIT selectionChanged(tab);
    comViewRefresh();
}

void AppCtrl::imageFilesInfoUpdate(const QStringList& files) {
    imageFilesInfoUpdate(_selectedTab, files);
}

void AppCtrl::imageFilesInfoUpdate(OrderTab tab, const QStringList& files) {
    QStringList sorted = files;
    std::sort(sorted.begin(), sorted.end());
    QString info;
    for (const QString& path : sorted) {
        info += QFileInfo(path).fileName() + u'\n';
    }
    QString count;
    if (!sorted.isEmpty()) {
        Log::outputLn(QStringLiteral("( [ files count ] > 0 )"));
        count = QStringLiteral("%1 ファイル　%2")
                    .arg(sorted.size())
                    .arg(Tool::autoDataByteStringWithByte(
                        static_cast<double>(orbel::arrayAllFilesSize(sorted))));
    }
    _fileCountText[index(tab)] = count;
    _fileInfoText[index(tab)] = info;
    // The setting mirrors the tab on screen only.
    if (tab == _selectedTab) {
        UserDef::setObject(count, QStringLiteral("MainTabFileInfo"));
    }
}

void AppCtrl::selectFilesClear() {
    selectFilesClear(_selectedTab);
}

void AppCtrl::selectFilesClear(OrderTab tab) {
    if (tab == OrderTab::Print || tab == OrderTab::School) {
        const FileListKind list =
            tab == OrderTab::Print ? FileListKind::Print : FileListKind::School;
        if (FileListRows* rows = _fileListRows[static_cast<std::size_t>(list)]) {
            rows->removeAllRecords();
        }
        (list == FileListKind::Print ? _printRows : _schoolRows).clear();
        Q_EMIT listReloaded(list);
    } else {
        _selectInfo[index(tab)].clear();
    }
    setSelectFilesOf(tab, {});
}

void AppCtrl::selectFilesAndOrderMemoClear(std::optional<OrderTab> tab) {
    onMain([this, tab] {
        // The tab whose order was packed, even when the studio has moved to another meanwhile.
        const OrderTab packed = tab.value_or(_selectedTab);
        selectFilesClear(packed);
        Q_EMIT orderMemoClearRequested(packed);
    });
}

// --- File-list rows ---

QString AppCtrl::filePathKey(FileListKind list) {
    switch (list) {
    case FileListKind::Print:
        return QStringLiteral("PrintFilePathKey");
    case FileListKind::School:
        return QStringLiteral("SchoolFilePathKey");
    case FileListKind::Kinelo:
        return QStringLiteral("KineloFilePathKey");
    }
    return {};
}

QList<QVariantMap> AppCtrl::listRows(FileListKind list) const {
    // A plugged-in list keeps the rows; the controller sees their paths.
    if (const FileListRows* rows = _fileListRows[static_cast<std::size_t>(list)]) {
        QList<QVariantMap> records;
        for (const QString& path : rows->filePaths()) {
            records.append({{filePathKey(list), path}});
        }
        return records;
    }
    switch (list) {
    case FileListKind::Print:
        return _printRows;
    case FileListKind::School:
        return _schoolRows;
    case FileListKind::Kinelo:
        return _kineloRows;
    }
    return {};
}

void AppCtrl::setFileListRows(FileListKind list, FileListRows* rows) {
    _fileListRows[static_cast<std::size_t>(list)] = rows;
}

QStringList AppCtrl::listFilePaths(FileListKind list) const {
    if (const FileListRows* rows = _fileListRows[static_cast<std::size_t>(list)]) {
        return rows->filePaths();
    }
    QStringList paths;
    const QString key = filePathKey(list);
    for (const QVariantMap& row : listRows(list)) {
        paths.append(row.value(key).toString());
    }
    return paths;
}

void AppCtrl::appendListRows(FileListKind list, const QStringList& paths) {
    if (FileListRows* rows = _fileListRows[static_cast<std::size_t>(list)]) {
        rows->appendFilePaths(paths);
        reloadList(list);
        return;
    }
    QList<QVariantMap>& rows = list == FileListKind::Print    ? _printRows
                               : list == FileListKind::School ? _schoolRows
                                                              : _kineloRows;
    for (const QString& path : paths) {
        rows.append({{filePathKey(list), path}});
    }
    reloadList(list);
}

void AppCtrl::reloadList(FileListKind list) {
    Q_EMIT listReloaded(list);
    // printSelectFilesRefrash / schoolSelectFilesRefrash: the tab's selection is its list.
    const OrderTab tab = list == FileListKind::Print ? OrderTab::Print : OrderTab::School;
    if (list != FileListKind::Kinelo) {
        _selectFiles[index(tab)] = listFilePaths(list);
        Q_EMIT selectionChanged(tab);
    }
}

bool AppCtrl::resizeExeChecked() const {
    const auto dic = UserDef::resizeDic();
    return dic && dic->contains(QStringLiteral("ResizeResizeCbKey"));
}

// --- Drop control ---

void AppCtrl::fileDragDropOn() {
    onMain([this] {
        if (_fotoFusionMode) {
            return;
        }
        _dragDropOn = true;
        Q_EMIT dragDropChanged(true);
    });
}

void AppCtrl::fileDragDropOff() {
    onMain([this] {
        _dragDropOn = false;
        Q_EMIT dragDropChanged(false);
    });
}

void AppCtrl::jobMsgClear() {
    Q_EMIT jobMsgClearRequested();
}

// --- Size limits ---

qint64 AppCtrl::orderFileLimitSize() {
    return 4147000000LL;
}

QString AppCtrl::orderFileLimitSizeStr() {
    return QStringLiteral("4GB");
}

bool AppCtrl::isSelectFilesOverSize(qint64 limit) const {
    return isSelectFiles() && static_cast<qint64>(orbel::arrayAllFilesSize(selectFiles())) > limit;
}

bool AppCtrl::isSelectFilesOver2GB() const {
    return isSelectFilesOverSize(2147000000LL);
}

bool AppCtrl::isOrderFileSizeOver() const {
    const bool resizeMode = _selectedTab == OrderTab::Resize && resizeExeChecked();
    if (_selectedTab == OrderTab::School || resizeMode) {
        return false;
    }
    if (!isSelectFilesOverSize(orderFileLimitSize())) {
        return false;
    }
    Tool::beep(QStringLiteral("Basso"));
    const QString format = _selectedTab == OrderTab::Resize
                               ? QStringLiteral("%1以下になる様にファイルを減らすか、『適切なサイズ"
                                                "にリサイズする』をチェックしてください")
                               : QStringLiteral("%1以下になる様にファイルを減らしてください");
    Tool::alertWithMsg(QStringLiteral("ファイルの合計サイズが大きすぎます"),
                       format.arg(orderFileLimitSizeStr()));
    return true;
}

// --- Order ---

void AppCtrl::setPreflightSizeName(OrderTab tab, const QString& sizeName) {
    if (_preflightSizeNames[index(tab)] != sizeName) {
        _preflightSizeNames[index(tab)] = sizeName;
        preflightRowsRefresh(tab);
    }
}

void AppCtrl::preflightRowsRefresh(OrderTab tab) {
    if (tab == OrderTab::Print || tab == OrderTab::School) {
        return; // their lists give their rows themselves
    }
    // In the order of the file names view: by full path.
    QStringList sorted = _selectFiles[index(tab)];
    std::sort(sorted.begin(), sorted.end());
    QList<PreflightRow> rows;
    rows.reserve(sorted.size());
    for (const QString& path : sorted) {
        rows.append({path, _preflightSizeNames[index(tab)]});
    }
    _preflightBoards[index(tab)]->setRows(rows);
}

void AppCtrl::executeOrderActionJob() {
    // An order whose catalogue the lab may still replace waits for its answer at start; the
    // checks below then run on what is final.
    if (orderNeedsStartUpCheck(_selectedTab, false)) {
        waitForStartUpCheckThen(_selectedTab, kStartUpCheckWaitText,
                                [this] { executeOrderActionJob(); });
        return;
    }
    if (isOrderFileSizeOver()) {
        return;
    }
    // A photo the lab would likely reject is asked about once, before the first sheet; the
    // studio decides.
    if (!_preflightBoards[index(_selectedTab)]->confirmSend()) {
        Log::outputLn(QStringLiteral("印刷に向かない画像があるため送信を取りやめ"));
        return;
    }
    Q_EMIT orderChainRequested();
}

JobThreadInput AppCtrl::jobInput() const {
    JobThreadInput input;
    input.tab = _selectedTab;
    input.selectFiles = selectFiles();
    input.selectInfo = selectInfo();
    input.productData = _productData.get();
    input.progress = _progress[index(_selectedTab)];
    input.fotoFusionMode = _fotoFusionMode;
    return input;
}

bool AppCtrl::executeJobThread() {
    return executeJobThread(std::nullopt);
}

bool AppCtrl::executeJobThread(const std::optional<QString>& resendArchive) {
    // One job at a time; and the flag below belongs to a running job's thread, never reset here.
    if (isJobExecuting()) {
        return false;
    }
    // An order sent now needs the lab's server choice, which comes with its answer at start.
    if (orderNeedsStartUpCheck(_selectedTab, UserDef::isSend())) {
        waitForStartUpCheckThen(_selectedTab, kStartUpCheckWaitText,
                                [this] { executeJobThread(); });
        return false;
    }
    // A job that has ended may still be making its last calls to this thread: they are served
    // before its thread is joined for the next one.
    waitForJobEnd();
    // The tab label the "Order" report and the report head read is the tab of this order.
    UserDef::setObject(orderTabLabel(_selectedTab), SettingsKey::MainTabLabel);
    // Set before the thread can end, so a wait never misses its end.
    _jobThreadAlive.store(true);
    const bool started = _runner.executeJobThread(jobInput(), resendArchive);
    if (!started) {
        _jobThreadAlive.store(false);
    }
    if (started) {
        Q_EMIT jobStarted();
    }
    return started;
}

bool AppCtrl::resendKeptOrder(const QString& keptPath) {
    Log::outputLn(QStringLiteral("再送信実行 -- %1").arg(keptPath));
    UserDef::setExecuteButton(QStringLiteral("BtSendOnly"));
    return executeJobThread(keptPath);
}

bool AppCtrl::poolOrderSendExecute() {
    Log::outputLn(QStringLiteral("PoolOrder送信実行"));
    UserDef::setExecuteButton(QStringLiteral("BtSendOnly"));
    return executeJobThread();
}

void AppCtrl::cancelBtJob() {
    JobThreadRunner::cancelBtJob();
}

void AppCtrl::waitForJobEnd() {
    if (_jobThreadAlive.load()) {
        QEventLoop loop;
        connect(this, &AppCtrl::jobFinished, &loop, &QEventLoop::quit);
        // Also notices a job that ends between the check and exec(). "Executing" turns off before
        // the thread's last main-thread calls, so only the thread's own end is safe to join on.
        QTimer poll;
        connect(&poll, &QTimer::timeout, &loop, [this, &loop] {
            if (!_jobThreadAlive.load()) {
                loop.quit();
            }
        });
        poll.start(50);
        loop.exec();
    }
    _runner.waitForJob();
}

bool AppCtrl::isCharInputProduct() const {
    if (_selectedTab != OrderTab::Album) {
        return false;
    }
    return isCharInputProductHook ? isCharInputProductHook() : false;
}

std::optional<QString> AppCtrl::labelFromPop(const ProductPopUpButton* pop) {
    if (pop == nullptr) {
        return std::nullopt;
    }
    const std::optional<ProductRecord> record = pop->selectedRecordDic();
    if (!record || !record->contains(QStringLiteral("label"))) {
        return std::nullopt;
    }
    return record->value(QStringLiteral("label")).toString();
}

QString AppCtrl::popTitleNotNil(const ProductPopUpButton* pop) {
    return pop == nullptr ? QString() : pop->titleOfSelectedItem().value_or(QString());
}

QString AppCtrl::orderNumCheckAndConvert(const QString& text) {
    qint64 value = leadingInteger(text).value_or(1);
    // Out of range before the sign is dropped: the smallest integer has no positive twin.
    if (value < -9999 || value > 9999 || value == 0) {
        value = 1;
    }
    value = value < 0 ? -value : value;
    return QString::number(value);
}

QString AppCtrl::orderNumCheckAndConvert2(const QString& text) {
    qint64 value = leadingInteger(text).value_or(0);
    if (value < 0 || value > 9999) {
        value = 0;
    }
    return QString::number(value);
}

// --- Refresh ---

bool AppCtrl::isEnabled() const {
    return !_prefWindowVisible && !isJobExecuting() && isCustomerInfo() && _menuUse;
}

void AppCtrl::comViewRefresh() {
    onMain([this] {
        const bool locked = !(isEnabled() || _fotoFusionMode);
        if (locked != _tabLocked) {
            _tabLocked = locked;
        }
        // "mainTabItemLock" / "mainTabItemUnLock": sent at every refresh.
        Q_EMIT tabLockChanged(_tabLocked);
        Q_EMIT viewRefreshRequested();
        UserDef::setObject(orderTabLabel(_selectedTab), SettingsKey::MainTabLabel);
    });
}

void AppCtrl::menuUseOffAndViewRefresh() {
    menuUseOff();
    comViewRefresh();
}

void AppCtrl::menuUseOnAndViewRefresh() {
    menuUseOn();
    comViewRefresh();
}

void AppCtrl::mainAction(int tag) {
    Log::outputLn(QStringLiteral("MainAction（%1）").arg(tag));
    comViewRefresh();
}

void AppCtrl::removeKineloOrder(std::optional<OrderTab> tab) {
    // Only the registration that was packed goes: a print registration waits through an album
    // order and the other way round (only the album and print tabs pack Kinelo files).
    if (tab != OrderTab::Album && tab != OrderTab::Print) {
        return;
    }
    onMain([this, tab] {
        if (tab == OrderTab::Album) {
            UserDef::removeAlbumKineloFile();
            if (FileListRows* rows =
                    _fileListRows[static_cast<std::size_t>(FileListKind::Kinelo)]) {
                rows->removeAllRecords();
            }
            _kineloRows.clear();
            Q_EMIT listReloaded(FileListKind::Kinelo);
        } else {
            UserDef::removePrintKineloFile();
        }
        if (kineloPathFieldsClearHook) {
            kineloPathFieldsClearHook(*tab);
        }
    });
}

void AppCtrl::albumDirectOrderNumClear() {
    onMain([this] {
        if (albumDirectOrderNumClearHook) {
            albumDirectOrderNumClearHook();
        }
    });
}

// --- Menus ---

AppCtrl::MenuItemState AppCtrl::validateMenuItem(int tag) const {
    MenuItemState state;
    const bool guarded = !_prefWindowVisible && !isJobExecuting() && _menuUse;
    switch (tag) {
    case 100:
    case 200:
    case 201:
    case 400:
    case 999:
        state.enabled = guarded;
        break;
    case 300: {
        const int count = _orderPool.count();
        if (count > 0) {
            state.title = QStringLiteral("オーダーを全て送信（%1件）").arg(count);
            state.enabled = guarded;
        } else {
            state.title = QStringLiteral("オーダーを全て送信");
            state.enabled = false;
        }
        break;
    }
    default:
        break;
    }
    return state;
}

// --- Job thread plumbing ---

void AppCtrl::onMain(const std::function<void()>& fn) {
    JobThreadRunner::performOnThreadOf(this, fn);
}

void AppCtrl::terminateApplication() {
    // Queued: the job thread is still ending and must not wait for the quit.
    QMetaObject::invokeMethod(
        this, [this] { terminateNow(); }, Qt::QueuedConnection);
}

void AppCtrl::jobThreadEnded(bool finished) {
    _jobThreadAlive.store(false);
    QMetaObject::invokeMethod(
        this, [this, finished] { Q_EMIT jobFinished(finished); }, Qt::QueuedConnection);
}
