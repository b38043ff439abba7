#pragma once

#include "app/FileIntake.h"
#include "app/OrderPool.h"
#include "app/PreflightBoard.h"
#include "app/PreflightService.h"
#include "app/StartUpCheck.h"
#include "job/JobThread.h"
#include "job/StopWatch.h"
#include "util/OrderTab.h"

#include <QFuture>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class AppWindowHooks;
class FileListRows;
class ProductPopUpButton;
class ProductData;
class ProgressTarget;

// What a Quit request comes to.
enum class QuitDecision {
    Terminate, // the termination path ran; the caller ends the event loop
    Stay,      // the user chose to stay (or the pool sheet opens instead)
};

// The application controller, the one object of the run (core half: no widgets). It owns the run
// flags, the per-tab selections, the minimal file-list rows, the catalogues, the order pool and
// the job runner, and tells the window through signals what changed. The window half
// (src/ui) presents and forwards.
class AppCtrl : public QObject, public FileIntakeHost, private JobMainThreadActions {
    Q_OBJECT
public:
    // Construction steps 2-11 (the single-instance guard ran before, in main). arguments: the
    // command line, program name first.
    explicit AppCtrl(const QStringList& arguments, QObject* parent = nullptr);
    // Cancels and waits for a running job while the event loop still turns.
    ~AppCtrl() override;

    // --- Single instance ---
    // The reaction of a refused second instance: the "Boot-NG" report and the alert. Writes no
    // setting.
    static void refuseMultipleBoot();

    // --- Start-up ---
    void fotoFusionCheck(const QStringList& arguments);
    void appStatusSetup();
    static void sendCustomSetInfo();
    // Window set-up, once the window exists. hooks must outlive the controller. The lab's pages,
    // the catalogue check and the version-up check go on in the background and are taken in when
    // the lab has answered.
    void awakeFromNib(AppWindowHooks& hooks);
    // The update information; empty until the lab has answered (or failed to).
    const QString& updateInfo() const { return _updateInfo; }
    // The lab's answer at start has been taken in (catalogues, version-up, custom mode).
    bool isStartUpCheckDone() const { return _startUpCheck.isDone() && _startUpCheckTaken; }
    // Turns the event loop until then.
    void waitForStartUpCheck();
    // Whether an order of tab must wait for that answer before it goes on: its catalogue may still
    // change, or (sendNow) it is sent at once and needs the lab's server choice.
    bool orderNeedsStartUpCheck(OrderTab tab, bool sendNow) const;
    // The dictionary as XML property-list text.
    static QString xmlDescriptionFromDic(const QVariantMap& dic);
    static bool isCustomerInfo();

    // --- Flags ---
    bool isJobExecuting() const { return _runner.isJobExecuting(); }
    void jobExecuteingOn() { _runner.jobExecuteingOn(); }
    void jobExecuteingOff() { _runner.jobExecuteingOff(); }
    bool isMenuUseOk() const { return _menuUse; }
    void menuUseOn();
    void menuUseOff();
    bool prefWindowVisible() const { return _prefWindowVisible; }
    void setPrefWindowVisible(bool visible);
    bool isFotoFusionMode() const { return _fotoFusionMode; }
    void fotoFusionModeOn() { _fotoFusionMode = true; }
    void fotoFusionModeOff() { _fotoFusionMode = false; }
    const QString& fotoFusionManifestPath() const { return _fotoFusionManifestPath; }
    const QString& fotoFusionArchivePath() const { return _fotoFusionArchivePath; }
    bool tabFlg(OrderTab tab) const { return _tabFlg[index(tab)]; }
    ProductData* productData() const { return _productData.get(); }
    OrderPool& orderPool() { return _orderPool; }
    FileIntake& fileIntake() { return _fileIntake; }

    // --- Photo check ---
    // The verdicts of a tab's files. The print and school lists give their rows themselves; the
    // album, resize and etc boards follow the tab's selected files.
    PreflightBoard& preflightBoard(OrderTab tab) { return *_preflightBoards[index(tab)]; }
    const PreflightBoard& preflightBoard(OrderTab tab) const {
        return *_preflightBoards[index(tab)];
    }
    // The print size the whole selection of a tab is ordered in (the resize tab's size).
    void setPreflightSizeName(OrderTab tab, const QString& sizeName);
    const OrderPool& orderPool() const { return _orderPool; }
    bool isDragDropOn() const { return _dragDropOn; }
    bool isTabLocked() const { return _tabLocked; }

    // --- Selected tab (the window tells the controller which tab is shown) ---
    OrderTab selectedTab() const override { return _selectedTab; }
    void setSelectedTab(OrderTab tab);
    void setProgressTarget(OrderTab tab, ProgressTarget* target);

    // --- Selection of the selected tab ---
    QString selectInfo() const;
    void setSelectInfo(const QString& info) override;
    void selectInfoClear() { setSelectInfo(QString()); }
    QStringList selectFiles() const override;
    bool isSelectFiles() const { return !selectFiles().isEmpty(); }
    void setSelectFiles(const QStringList& files) override;
    void imageFilesInfoUpdate(const QStringList& files);
    void imageFilesInfoUpdate(OrderTab tab, const QStringList& files);
    void setSelectFilesOf(OrderTab tab, const QStringList& files);
    void selectFilesClear();
    void selectFilesClear(OrderTab tab);
    void selectFilesAndOrderMemoClear(std::optional<OrderTab> tab) override;
    // Per-tab reads for the tab pages.
    QStringList selectFilesOf(OrderTab tab) const { return _selectFiles[index(tab)]; }
    QString selectInfoOf(OrderTab tab) const { return _selectInfo[index(tab)]; }
    QString fileCountTextOf(OrderTab tab) const { return _fileCountText[index(tab)]; }
    QString fileInfoTextOf(OrderTab tab) const { return _fileInfoText[index(tab)]; }

    // --- File-list rows (print, school, Kinelo) ---
    QList<QVariantMap> listRows(FileListKind list) const;
    QStringList listFilePaths(FileListKind list) const override;
    void appendListRows(FileListKind list, const QStringList& paths) override;
    void reloadList(FileListKind list) override;
    static QString filePathKey(FileListKind list);
    // The print, school and Kinelo lists keep their rows in their own model; once it is plugged in,
    // the controller reads and appends through it (rows must outlive the controller's use).
    void setFileListRows(FileListKind list, FileListRows* rows);
    // kineloWindowFlg: while the Kinelo sheet is open, dropped files go to its list.
    bool kineloWindowOpen() const override { return _kineloWindowFlg; }
    void setKineloWindowFlg(bool open) { _kineloWindowFlg = open; }
    // After a packed order the Kinelo sheet of its tab empties its path fields; set by the window.
    std::function<void(OrderTab)> kineloPathFieldsClearHook;
    bool resizeExeChecked() const override;

    // --- Drop control ---
    void fileDragDropOn();
    void fileDragDropOff() override;
    void dragDropOn() override { fileDragDropOn(); }
    void dragDropOff() override { fileDragDropOff(); }
    void jobMsgClear();

    // --- Size limits ---
    bool isSelectFilesOverSize(qint64 limit) const;
    bool isSelectFilesOver2GB() const;
    bool isOrderFileSizeOver() const;
    static qint64 orderFileLimitSize();     // 4,147,000,000 bytes
    static QString orderFileLimitSizeStr(); // "4GB"

    // --- Order ---
    // The tabs' Send: the size check, then the sheets (orderChainRequested).
    void executeOrderActionJob();
    // The last sheet confirmed: the job of the selected tab on its own thread.
    bool executeJobThread();
    // The pool sheet confirmed: "PoolOrder送信実行", "BtSendOnly" and the job.
    bool poolOrderSendExecute();
    // A kept order sent again: a send-only job that first makes it a new order in the pool.
    bool resendKeptOrder(const QString& keptPath);
    void cancelBtJob();
    // Waits (the event loop turning) until a running job has ended.
    void waitForJobEnd();
    // Album tab's name-and-date rule; the album tab's own work fills isCharInputProductHook.
    bool isCharInputProduct() const;
    std::function<bool()> isCharInputProductHook;
    // The album tab puts "0" back into its direct count after a job; filled by the album tab.
    std::function<void()> albumDirectOrderNumClearHook;
    // The "label" of the pop-up's selected record, or none; the pop-up's title, or "".
    static std::optional<QString> labelFromPop(const ProductPopUpButton* pop);
    static QString popTitleNotNil(const ProductPopUpButton* pop);
    static QString orderNumCheckAndConvert(const QString& text);
    static QString orderNumCheckAndConvert2(const QString& text);

    // --- Refresh ---
    // Enabled: preferences closed, no job, customer information complete, menus usable.
    bool isEnabled() const;
    void comViewRefresh() override;
    void viewRefresh() { comViewRefresh(); }
    void menuUseOffAndViewRefresh();
    void menuUseOnAndViewRefresh();
    void mainAction(int tag);
    void removeKineloOrder(std::optional<OrderTab> tab) override;

    // --- Menus ---
    struct MenuItemState {
        bool enabled = true;
        std::optional<QString> title; // a new title, or none to keep it
    };
    MenuItemState validateMenuItem(int tag) const;
    static QString lablWebSiteUrl();
    static QString documentWebSiteUrl();

    // --- Quit ---
    // Menu Quit and the close box: the job question, the pool question, then termination.
    QuitDecision QuitAction();
    // The single termination path (also the signals and the session manager): clean-exit mark,
    // tab label, settings written, "Quit" report. Runs once; later calls do nothing.
    void applicationShouldTerminate();
    // Termination without questions (SIGTERM, SIGINT, session end): a running job is cancelled
    // and waited for; then the termination path; then the event loop is asked to end.
    void terminateNow();
    bool isTerminated() const { return _terminated; }

Q_SIGNALS:
    void jobStarted();
    void jobFinished(bool finished);
    void viewRefreshRequested();
    void menuUseChanged(bool use);
    void orderPoolChanged(int count);
    void prefWindowVisibleChanged(bool visible);
    void tabLockChanged(bool locked);
    void dragDropChanged(bool on);
    void selectionChanged(OrderTab tab);
    void orderMemoClearRequested(OrderTab tab);
    void listReloaded(FileListKind list);
    void jobMsgClearRequested();
    void orderChainRequested();
    void poolSheetRequested();

private:
    static constexpr std::size_t index(OrderTab tab) { return static_cast<std::size_t>(tab); }
    // JobMainThreadActions, called by the job thread: each runs on the main thread.
    void albumDirectOrderNumClear() override;
    void terminateApplication() override;
    void jobThreadEnded(bool finished) override;
    void onMain(const std::function<void()>& fn);
    JobThreadInput jobInput() const;
    bool executeJobThread(const std::optional<QString>& resendArchive);

    void startUpReports(const QStringList& lines);
    void startUpCheckFinished();
    // The same text in every tab's message field; "" clears them.
    void showOnTabs(const QString& text);
    // Runs resume once the lab's answer at start is in, saying so on tab's message field meanwhile;
    // false when it runs now. A resume for a tab that is no longer selected then is dropped.
    bool waitForStartUpCheckThen(OrderTab tab, const QString& waitText,
                                 std::function<void()> resume);
    void preflightRowsRefresh(OrderTab tab);

    bool _menuUse = false;
    bool _prefWindowVisible = false;
    bool _fotoFusionMode = false;
    bool _dragDropOn = false;
    bool _tabLocked = true;
    bool _terminated = false;
    bool _kineloWindowFlg = false;
    QString _fotoFusionManifestPath;
    QString _fotoFusionArchivePath;
    std::array<bool, 5> _tabFlg{};
    StopWatch _appStopWatch;
    QString _updateInfo;
    std::unique_ptr<ProductData> _productData;
    AppWindowHooks* _hooks = nullptr; // set by awakeFromNib
    bool _windowSetUp = false;        // awakeFromNib has run to its end
    bool _startUpCheckTaken = false;  // startUpCheckFinished has run to its end
    StartUpCheck _startUpCheck;
    std::vector<std::function<void()>> _waitingForStartUpCheck;
    int _tabsWaitingForStartUpCheck = 0; // one bit per tab
    OrderTab _selectedTab = OrderTab::Print;
    std::array<QStringList, 5> _selectFiles;
    std::array<QString, 5> _selectInfo;
    std::array<QString, 5> _fileCountText;
    std::array<QString, 5> _fileInfoText;
    std::array<ProgressTarget*, 5> _progress{};
    QString _tabsText; // what showOnTabs put on every tab, until cleared
    QList<QVariantMap> _printRows;
    QList<QVariantMap> _schoolRows;
    QList<QVariantMap> _kineloRows;
    std::array<FileListRows*, 3> _fileListRows{};
    QFuture<void> _startReports; // the start-up usage reports, sent beside the window set-up
    OrderPool _orderPool;
    // The service before the boards: a board lets go of its files in the service as it goes.
    PreflightService _preflight;
    std::array<std::unique_ptr<PreflightBoard>, 5> _preflightBoards;
    std::array<QString, 5> _preflightSizeNames;
    FileIntake _fileIntake{*this};
    // The job thread has started and not yet made its last call (jobThreadEnded).
    std::atomic<bool> _jobThreadAlive{false};
    JobThreadRunner _runner; // last: destroyed first, while the rest still exists
};
