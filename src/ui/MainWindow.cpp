#include "ui/MainWindow.h"

#include "app/AlbumSet.h"
#include "app/AppCtrl.h"
#include "app/PreferencesHost.h"
#include "job/NotificationCenter.h"
#include "product/ProductData.h"
#include "service/LabConfig.h"
#include "settings/Log.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "ui/AlbumKineloSheet.h"
#include "ui/AlbumTabPage.h"
#include "ui/DragDropScrollView.h"
#include "ui/EtcTabPage.h"
#include "ui/FileListTabPage.h"
#include "ui/MainTabViewCtrl.h"
#include "ui/MessageBoxResponder.h"
#include "ui/OrderSheets.h"
#include "ui/OrderTabPage.h"
#include "ui/PhotoStudioNamePop.h"
#include "ui/PreferencesCtrl.h"
#include "ui/PrintKineloSheet.h"
#include "ui/ReadingOrder.h"
#include "ui/ResizeTabPage.h"
#include "ui/ServiceWindowHost.h"
#include "ui/ServiceWindows.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

// The order sheets' view of the controller.
class MainWindow::SheetHost : public OrderSheetHost {
public:
    explicit SheetHost(AppCtrl& ctrl) : ctrl_(ctrl) {}
    bool isCharInputProduct() const override { return ctrl_.isCharInputProduct(); }
    bool is3465LayoutEditRequest() const override { return UserDef::is3465LayoutEditRequest(); }
    ProductData* productData() const override { return ctrl_.productData(); }
    int poolCount() const override { return ctrl_.orderPool().count(); }
    QString poolListText() const override { return ctrl_.orderPool().archiveListText(); }
    QString poolFolderPath() const override { return ctrl_.orderPool().folderPath(); }
    void menuUseOff() override { ctrl_.menuUseOff(); }
    void menuUseOn() override { ctrl_.menuUseOn(); }
    void dragDropOff() override { ctrl_.fileDragDropOff(); }
    void dragDropOn() override { ctrl_.fileDragDropOn(); }
    void executeJobThread() override { ctrl_.executeJobThread(); }
    void comViewRefresh() override { ctrl_.comViewRefresh(); }

private:
    AppCtrl& ctrl_;
};

// The preferences, password and version-up windows' view of the controller.
class MainWindow::PrefHost : public PreferencesHost {
public:
    PrefHost(AppCtrl& ctrl, MainWindow& window) : ctrl_(ctrl), window_(window) {}
    void setPrefWindowVisible(bool visible) override { ctrl_.setPrefWindowVisible(visible); }
    void comViewRefresh() override { ctrl_.comViewRefresh(); }
    void reloadDataAndUIInit() override {
        ProductData* data = ctrl_.productData();
        if (data && data->reloadData()) {
            for (OrderTab tab : {OrderTab::Album, OrderTab::Print, OrderTab::School}) {
                window_.tabUIInit(tab);
            }
        }
    }
    void setWaitPanelText(const QString& text) override { window_.showWaitPanel(text); }
    void terminateApplication() override {
        // At start-up the event loop is not turning yet: the termination waits for it.
        QMetaObject::invokeMethod(
            &ctrl_, [this] { ctrl_.terminateNow(); }, Qt::QueuedConnection);
    }
    bool openWithDesktop(const QString& path) override {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }

private:
    AppCtrl& ctrl_;
    MainWindow& window_;
};

// What the service windows need of the shell. A history row's "send" opens the pool-send sheet,
// which sends the waiting orders after the user confirms.
class MainWindow::ServiceHost : public ServiceWindowHost {
public:
    ServiceHost(AppCtrl& ctrl, MainWindow& window) : ctrl_(ctrl), window_(window) {}
    QWidget* mainWindow() const override { return &window_; }
    void menuUseOffAndViewRefresh() override { ctrl_.menuUseOffAndViewRefresh(); }
    void menuUseOnAndViewRefresh() override { ctrl_.menuUseOnAndViewRefresh(); }
    bool isJobExecuting() const override { return ctrl_.isJobExecuting(); }
    void sendPooledOrder(const QString&) override { window_.poolOrderSendAction(); }
    bool resendKeptOrder(const QString& keptPath) override {
        return ctrl_.resendKeptOrder(keptPath);
    }

private:
    AppCtrl& ctrl_;
    MainWindow& window_;
};

namespace {

const char kTagProperty[] = "tag";
const char kGeometryKey[] = "MainWindowGeometry";

} // namespace

MainWindow::MainWindow(AppCtrl& ctrl, QWidget* parent)
    : QMainWindow(parent), ctrl_(ctrl), sheetHost_(std::make_unique<SheetHost>(ctrl)),
      prefHost_(std::make_unique<PrefHost>(ctrl, *this)) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("HALVIX"));
    // 1024×700 is the smallest layout the tabs are drawn for; a desktop whose panels leave less
    // room still gets the whole window on screen rather than a bottom row below the panel.
    setMinimumSize(QSize(1024, 700).boundedTo(screen()->availableGeometry().size()));
    MessageBoxResponder::setMainWindow(this);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    versionField_ = new QLabel(central);
    versionField_->setObjectName(QStringLiteral("versionField"));
    testModeMsg_ = new QLabel(
        QStringLiteral("テスト送信モード：オーダーはラボのテスト用サーバーへ送信されます"),
        central);
    testModeMsg_->setObjectName(QStringLiteral("testModeMsg"));
    testModeMsg_->setAlignment(Qt::AlignCenter);
    testModeMsg_->setStyleSheet(QStringLiteral(
        "QLabel { background: #d00000; color: white; font-weight: bold; padding: 2px 8px; }"));
    testModeMsg_->setVisible(false);
    prefs_ = new PreferencesCtrl(this, *prefHost_);
    auto* studioLabel = new QLabel(QStringLiteral("写真館"), central);
    studioLabel->setBuddy(prefs_->photoStudioNamePop());
    auto* strip = new QHBoxLayout;
    strip->setContentsMargins(0, 0, 0, 0);
    strip->addWidget(versionField_);
    strip->addWidget(testModeMsg_, 1);
    strip->addStretch(0);
    strip->addWidget(studioLabel);
    strip->addWidget(prefs_->photoStudioNamePop());
    layout->addLayout(strip);

    auto* tabs = new QTabWidget(central);
    tabCtrl_ = new MainTabViewCtrl(tabs, this);
    // Each tab holds an empty page until its order page is built into it.
    for (OrderTab tab : kAllOrderTabs) {
        auto* holder = new QWidget(tabs);
        holder->setObjectName(OrderTabPage::prefix(tab) + QStringLiteral("TabHolder"));
        auto* holderLayout = new QVBoxLayout(holder);
        holderLayout->setContentsMargins(0, 0, 0, 0);
        holders_[static_cast<std::size_t>(tab)] = holder;
        tabCtrl_->addTab(holder, tab);
    }
    layout->addWidget(tabs, 1);
    setCentralWidget(central);
    // The tab of the last run is the one shown first: only its page is built before the window
    // is up.
    if (const std::optional<OrderTab> last = orderTabFromLabel(
            UserDef::stringForKey(SettingsKey::MainTabLabel).value_or(QString()))) {
        tabCtrl_->selectTabForLabel(orderTabLabel(*last));
    }
    connect(tabs, &QTabWidget::currentChanged, this, [this](int) {
        if (const std::optional<OrderTab> tab = tabCtrl_->selectedTab()) {
            page(*tab);
        }
    });
    if (const std::optional<OrderTab> shown = tabCtrl_->selectedTab()) {
        buildPage(*shown);
    }
    QTimer::singleShot(0, this, &MainWindow::buildNextPage);

    sheets_ = new OrderSheets(this, *sheetHost_, this);
    serviceHost_ = std::make_unique<ServiceHost>(ctrl_, *this);
    services_ = new ServiceWindows(*serviceHost_, this);
    fileDownloadOpener = [this] {
        services_->fileDownloadCheckAction();
        return true;
    };
    buildMenus();

    // The album tab's parts of the shell. A form not built yet has nothing typed in it.
    ctrl_.isCharInputProductHook = [this] {
        return albumPage_ != nullptr && albumPage_->form().isCharInputProduct();
    };
    ctrl_.albumDirectOrderNumClearHook = [this] {
        if (albumPage_ != nullptr) {
            albumPage_->form().albumDirectOrderNumClear();
        }
    };
    ctrl_.kineloPathFieldsClearHook = [this](OrderTab tab) {
        if (tab == OrderTab::Album) {
            if (kineloSheet_ != nullptr) {
                kineloSheet_->clearPathFields();
            }
        } else if (printKineloSheet_ != nullptr) {
            printKineloSheet_->clearPathFields();
        }
    };
    albumSetExporter = [] {
        AlbumSet::exportAlbumSet();
        return true;
    };
    albumSetImporter = [this] {
        AlbumSet::importAlbumSet();
        albumPage()->loadAlbumSetPop();
        return true;
    };

    // Size and place of the last run.
    if (const auto geometry = UserDef::stringForKey(QString::fromLatin1(kGeometryKey))) {
        restoreGeometry(QByteArray::fromBase64(geometry->toLatin1()));
    } else {
        // First run: a comfortable size that still fits the screen.
        const QRect available = screen()->availableGeometry();
        resize(std::max(minimumWidth(), std::min(1200, available.width())),
               std::max(minimumHeight(), std::min(820, available.height())));
    }

    connect(tabCtrl_, &MainTabViewCtrl::didSelectTab, this, [this](OrderTab tab) {
        ctrl_.setSelectedTab(tab);
        ctrl_.comViewRefresh();
    });
    connect(&ctrl_, &AppCtrl::viewRefreshRequested, this, &MainWindow::comViewRefresh);
    connect(&ctrl_, &AppCtrl::tabLockChanged, this, [this](bool locked) {
        if (locked) {
            tabCtrl_->mainTabItemLock();
        } else {
            tabCtrl_->mainTabItemUnLock();
        }
    });
    // Pages not built yet take the drop state when they are, and have no memo or message yet.
    connect(&ctrl_, &AppCtrl::dragDropChanged, this, [this](bool on) {
        for (OrderTab tab : kAllOrderTabs) {
            if (!ctrl_.tabFlg(tab) && on) {
                continue;
            }
            dragDropState_[static_cast<std::size_t>(tab)] = on;
            if (OrderTabPage* built = builtPage(tab)) {
                if (on) {
                    built->dragDropView()->dragDropOn();
                } else {
                    built->dragDropView()->dragDropOff();
                }
            }
        }
    });
    connect(&ctrl_, &AppCtrl::selectionChanged, this, [this](OrderTab tab) {
        if (OrderTabPage* built = builtPage(tab)) {
            built->viewRefresh();
        }
    });
    connect(&ctrl_, &AppCtrl::orderMemoClearRequested, this, [this](OrderTab tab) {
        if (tab == OrderTab::Etc && etcPage_ != nullptr) {
            etcPage_->orderMemoClear();
        } else if (tab == OrderTab::Print && printPage_ != nullptr) {
            printPage_->orderMemoClear();
        } else if (tab == OrderTab::School && schoolPage_ != nullptr) {
            schoolPage_->orderMemoClear();
        } else if (tab == OrderTab::Resize && resizePage_ != nullptr) {
            resizePage_->orderMemoClear();
        }
    });
    connect(&ctrl_, &AppCtrl::jobMsgClearRequested, this, [this] {
        for (OrderTabPage* p : pages_) {
            if (p != nullptr) {
                p->jobMsg()->clear();
            }
        }
    });
    connect(&ctrl_, &AppCtrl::orderChainRequested, sheets_, &OrderSheets::startOrderChain);
    connect(&ctrl_, &AppCtrl::poolSheetRequested, sheets_, &OrderSheets::poolOrderSendWindowSheet);
    connect(&ctrl_, &AppCtrl::orderPoolChanged, this, [this] {
        refreshMenus();
        sheets_->applicationWillBecomeActive();
    });
    connect(&ctrl_, &AppCtrl::menuUseChanged, this, &MainWindow::refreshMenus);
    // An open order history shows what the job just did (a sent order, a re-send's new row).
    connect(&ctrl_, &AppCtrl::jobFinished, this, [this] {
        if (services_ != nullptr)
            services_->refreshOrderHistory();
    });
    connect(&ctrl_, &AppCtrl::prefWindowVisibleChanged, this, &MainWindow::refreshMenus);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive) {
                    applicationWillBecomeActive();
                }
            });
    refreshMenus();
    // Tab goes as the eye reads: the studio above the tabs, the tab bar, the page top to bottom,
    // Send last.
    keepReadingOrder(central);
}

MainWindow::~MainWindow() {
    // The service windows use the host below; they go first (a download thread is joined).
    delete services_;
    services_ = nullptr;
    // A job shows its progress in this window's widgets: it ends before they go.
    if (ctrl_.isJobExecuting()) {
        NotificationCenter::defaultCenter().postNotification(kJobCancelNotification);
    }
    ctrl_.waitForJobEnd(); // also a job that is only making its last calls
    // The controller outlives this window: nothing of it may call back into it.
    ctrl_.isCharInputProductHook = nullptr;
    ctrl_.albumDirectOrderNumClearHook = nullptr;
    ctrl_.kineloPathFieldsClearHook = nullptr;
    for (OrderTab tab : kAllOrderTabs) {
        ctrl_.setProgressTarget(tab, nullptr);
    }
    UserDef::setObject(QString::fromLatin1(saveGeometry().toBase64()),
                       QString::fromLatin1(kGeometryKey));
}

QStringList MainWindow::tabLabels() {
    QStringList labels;
    for (OrderTab tab : kAllOrderTabs) {
        labels.append(orderTabLabel(tab));
    }
    return labels;
}

QTabWidget* MainWindow::mainTabView() const {
    return tabCtrl_->mainTab();
}

// --- Refresh ---

void MainWindow::comViewRefresh() {
    testModeMsg_->setVisible(UserDef::isTestSendMode());
    prefs_->photoStudioNamePop()->setEnabled(ctrl_.isEnabled());
    prefs_->selectPhotoStudioNamePop();
    // While the Kinelo sheet is open its view is the one to refresh.
    if (ctrl_.kineloWindowOpen()) {
        if (kineloSheet_ != nullptr) {
            kineloSheet_->albumKineloViewRefresh();
        }
        if (printKineloSheet_ != nullptr) {
            printKineloSheet_->printKineloViewRefresh();
        }
    } else if (const std::optional<OrderTab> tab = tabCtrl_->selectedTab()) {
        page(*tab)->viewRefresh();
    }
    refreshMenus();
}

// --- Selected-tab accessors ---

QWidget* MainWindow::selectedTabImageFolderPath() const {
    const std::optional<OrderTab> tab = tabCtrl_->selectedTab();
    if (tab == OrderTab::Etc) {
        return etcPage()->etcImageFolderPath();
    }
    if (tab == OrderTab::Resize) {
        return resizePage()->resizeImageFolderPath();
    }
    if (tab == OrderTab::Album) {
        return albumPage()->findChild<QWidget*>(QStringLiteral("albumImageFolderPath"));
    }
    return nullptr;
}

QWidget* MainWindow::selectedTabImageFileNum() const {
    const std::optional<OrderTab> tab = tabCtrl_->selectedTab();
    return tab ? page(*tab)->imageFileNum() : nullptr;
}

QWidget* MainWindow::selectedTabFileInfoTextView() const {
    const std::optional<OrderTab> tab = tabCtrl_->selectedTab();
    if (tab == OrderTab::Resize) {
        return resizePage()->resizeFileInfoTextView();
    }
    if (tab == OrderTab::Album) {
        return albumPage()->findChild<QWidget*>(QStringLiteral("albumFileInfoTextView"));
    }
    return tab == OrderTab::Etc ? etcPage()->etcFileInfoTextView() : nullptr;
}

QWidget* MainWindow::selectedTabJobIndicator() const {
    const std::optional<OrderTab> tab = tabCtrl_->selectedTab();
    return tab ? page(*tab)->jobIndicator() : nullptr;
}

QWidget* MainWindow::selectedTabJobMsg() const {
    const std::optional<OrderTab> tab = tabCtrl_->selectedTab();
    return tab ? page(*tab)->jobMsg() : nullptr;
}

// --- Menus ---

QAction* MainWindow::addMenuAction(QMenu* menu, const QString& objectName, const QString& text,
                                   int tag, std::function<void()> slot) {
    auto* action = new QAction(text, this);
    action->setObjectName(objectName);
    action->setProperty(kTagProperty, tag);
    connect(action, &QAction::triggered, this, [slot = std::move(slot)] { slot(); });
    menu->addAction(action);
    if (tag != 0) {
        taggedActions_.append(action);
    }
    return action;
}

void MainWindow::buildMenus() {
    QMenu* app = menuBar()->addMenu(QStringLiteral("HALVIX"));
    app->setObjectName(QStringLiteral("appMenu"));
    QAction* prefs =
        addMenuAction(app, QStringLiteral("preferencesMenuItem"), QStringLiteral("環境設定…"), 100,
                      [this] { preferencesAction(); });
    prefs->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    prefs->setMenuRole(QAction::PreferencesRole);
    app->addSeparator();
    QAction* quit = addMenuAction(app, QStringLiteral("quitMenuItem"), QStringLiteral("終了"), 0,
                                  [this] { QuitAction(); });
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);

    QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル"));
    file->setObjectName(QStringLiteral("fileMenu"));
    // What a drop does, from the keyboard: for the tab on screen, its own chooser.
    QAction* addFiles = addMenuAction(
        file, QStringLiteral("addFilesMenuItem"), QStringLiteral("ファイルを追加…"), 999, [this] {
            if (const std::optional<OrderTab> tab = tabCtrl_->selectedTab()) {
                page(*tab)->addFilesAction();
            }
        });
    addFiles->setShortcut(QKeySequence::Open);
    file->addSeparator();
    addMenuAction(file, QStringLiteral("poolOrderSendMenuItem"),
                  QStringLiteral("オーダーを全て送信"), 300, [this] { poolOrderSendAction(); });
    file->addSeparator();
    addMenuAction(file, QStringLiteral("albumSetExportMenuItem"),
                  QStringLiteral("アルバムセットの書き出し…"), 200,
                  [this] { albumSetExportAction(); });
    addMenuAction(file, QStringLiteral("albumSetImportMenuItem"),
                  QStringLiteral("アルバムセットの読み込み…"), 201,
                  [this] { albumSetImportAction(); });
    file->addSeparator();
    addMenuAction(file, QStringLiteral("fileDownloadMenuItem"),
                  QStringLiteral("ファイルダウンロード…"), 400,
                  [this] { fileDownloadCheckAction(); });

    QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ"));
    help->setObjectName(QStringLiteral("helpMenu"));
    addMenuAction(help, QStringLiteral("webSiteMenuItem"), QStringLiteral("ウェブサイト"), 0,
                  [this] { openWebSite(); });
    addMenuAction(help, QStringLiteral("documentMenuItem"), QStringLiteral("ドキュメント"), 0,
                  [this] { openDocumentWebSite(); });
    services_->installMenuActions(file, help);
}

QAction* MainWindow::menuAction(const QString& objectName) const {
    return findChild<QAction*>(objectName);
}

void MainWindow::refreshMenus() {
    for (QAction* action : taggedActions_) {
        const AppCtrl::MenuItemState state =
            ctrl_.validateMenuItem(action->property(kTagProperty).toInt());
        action->setEnabled(state.enabled);
        if (state.title) {
            action->setText(*state.title);
        }
    }
    // The add item names what the tab on screen takes: files, or one folder.
    if (QAction* addFiles = menuAction(QStringLiteral("addFilesMenuItem"))) {
        const std::optional<OrderTab> tab = tabCtrl_->selectedTab();
        const bool folders = tab && *tab != OrderTab::Print && *tab != OrderTab::School;
        addFiles->setText(folders ? QStringLiteral("フォルダ選択…")
                                  : QStringLiteral("ファイルを追加…"));
    }
}

void MainWindow::preferencesAction() {
    if (openPreferencesWindow()) {
        ctrl_.setPrefWindowVisible(true);
    }
    ctrl_.comViewRefresh();
}

void MainWindow::QuitAction() {
    if (ctrl_.QuitAction() == QuitDecision::Terminate) {
        QCoreApplication::quit();
    }
}

void MainWindow::poolOrderSendAction() {
    sheets_->poolOrderSendWindowSheet();
    ctrl_.comViewRefresh();
}

void MainWindow::albumSetExportAction() {
    ctrl_.fileDragDropOff();
    if (!(albumSetExporter && albumSetExporter())) {
        Log::outputLn(QStringLiteral("アルバムセットの書き出しはこの版ではまだ使用できません"));
    }
    ctrl_.fileDragDropOn();
    ctrl_.comViewRefresh();
}

void MainWindow::albumSetImportAction() {
    ctrl_.fileDragDropOff();
    if (!(albumSetImporter && albumSetImporter())) {
        Log::outputLn(QStringLiteral("アルバムセットの読み込みはこの版ではまだ使用できません"));
    }
    ctrl_.fileDragDropOn();
    ctrl_.comViewRefresh();
}

void MainWindow::fileDownloadCheckAction() {
    if (!(fileDownloadOpener && fileDownloadOpener())) {
        Log::outputLn(QStringLiteral("ファイルダウンロードはこの版ではまだ使用できません"));
    }
}

void MainWindow::openWebSite() {
    QDesktopServices::openUrl(QUrl(LabConfig::webServer()));
}

void MainWindow::openDocumentWebSite() {
    QDesktopServices::openUrl(QUrl(LabConfig::webServer() + QStringLiteral("/formacdoc.html")));
}

void MainWindow::applicationWillBecomeActive() {
    sheets_->applicationWillBecomeActive();
}

// --- AppWindowHooks ---

void MainWindow::showWaitPanel(const QString& text) {
    if (waitPanel_) {
        // The same panel goes on with a new text (the version-up's download).
        if (auto* label = waitPanel_->findChild<QLabel*>(QStringLiteral("waitPanelMsg"))) {
            label->setText(text);
        }
        waitPanel_->setAccessibleName(text);
    } else {
        auto* panel = new QDialog(this, Qt::Dialog | Qt::FramelessWindowHint);
        panel->setObjectName(QStringLiteral("waitPanel"));
        panel->setAccessibleName(text);
        auto* label = new QLabel(text, panel);
        label->setObjectName(QStringLiteral("waitPanelMsg"));
        auto* bar = new QProgressBar(panel);
        bar->setObjectName(QStringLiteral("waitPanelIndicator"));
        bar->setAccessibleName(QStringLiteral("確認中"));
        bar->setRange(0, 0); // indeterminate and animated
        auto* box = new QVBoxLayout(panel);
        box->setContentsMargins(24, 16, 24, 16);
        box->addWidget(label);
        box->addWidget(bar);
        waitPanel_ = panel;
    }
    waitPanel_->adjustSize();
    const QRect area = isVisible() ? frameGeometry() : screen()->availableGeometry();
    waitPanel_->move(area.center() - waitPanel_->rect().center());
    waitPanel_->show();
}

void MainWindow::closeWaitPanel() {
    if (waitPanel_) {
        waitPanel_->close();
        waitPanel_->deleteLater();
    }
}

void MainWindow::setupKineloButtons(bool kineloOff) {
    // The school and etc buttons stay hidden; the print button waits for a postcard order set;
    // the lab's "KINELO-OFF" keeps both the print and the album button away.
    kineloAllowed_ = !kineloOff;
    if (albumPage_ != nullptr) {
        albumPage_->setKineloButtonAllowed(!kineloOff);
    }
    if (printPage_ != nullptr) {
        printPage_->setKineloButtonAllowed(!kineloOff);
    }
}

void MainWindow::tabUIInit(OrderTab tab) {
    uiInitAsked_[static_cast<std::size_t>(tab)] = true;
    if (OrderTabPage* built = builtPage(tab)) {
        built->uiInit();
    }
}

bool MainWindow::openCustomAuthWindow() {
    if (customAuthOpener) {
        return customAuthOpener();
    }
    prefs_->passCheckWindowOpen();
    return true;
}

bool MainWindow::openPreferencesWindow() {
    if (preferencesOpener) {
        return preferencesOpener();
    }
    prefs_->preferencesAction();
    return true;
}

void MainWindow::buildPhotoStudioNamePopup() {
    prefs_->makePhotoStudioNamePop();
    prefs_->selectPhotoStudioNamePop();
}

bool MainWindow::applicationUpdateCheck(const QString& updateInfo) {
    return prefs_->applicationUpdateCheck(updateInfo);
}

void MainWindow::setTitles(const QString& windowTitle, const QString& versionText) {
    setWindowTitle(windowTitle);
    versionField_->setText(versionText);
}

void MainWindow::selectTab(OrderTab tab) {
    tabCtrl_->selectTabForLabel(orderTabLabel(tab));
}

void MainWindow::removeTab(OrderTab tab) {
    tabCtrl_->removeTabForLabel(orderTabLabel(tab));
}

void MainWindow::hideAlbumDropMessage() {
    if (QLabel* hint = page(OrderTab::Album)->dragDropMsg()) {
        hint->setVisible(false);
    }
}

void MainWindow::enableKineloPathDrops() {
    kineloPathDropsOn_ = true;
    if (kineloSheet_ != nullptr) {
        kineloSheet_->pathFieldsDragDropOn();
    }
    if (printKineloSheet_ != nullptr) {
        printKineloSheet_->pathFieldsDragDropOn();
    }
}

void MainWindow::albumSetStartUp() {
    AlbumSet::albumSetDicCheck();
    AlbumSet::albumSetAutoReset();
    AlbumSet::albumSetAutoConvert();
    albumSetsLoaded_ = true;
    if (albumPage_ != nullptr) {
        albumPage_->loadAlbumSetPop();
    }
}

// --- Pages ---

// Building a page changes no state the caller sees: the accessors stay const.
OrderTabPage* MainWindow::page(OrderTab tab) const {
    OrderTabPage* built = builtPage(tab);
    return built != nullptr ? built : const_cast<MainWindow*>(this)->buildPage(tab);
}

EtcTabPage* MainWindow::etcPage() const {
    page(OrderTab::Etc);
    return etcPage_;
}

PrintTabPage* MainWindow::printPage() const {
    page(OrderTab::Print);
    return printPage_;
}

SchoolTabPage* MainWindow::schoolPage() const {
    page(OrderTab::School);
    return schoolPage_;
}

ResizeTabPage* MainWindow::resizePage() const {
    page(OrderTab::Resize);
    return resizePage_;
}

AlbumTabPage* MainWindow::albumPage() const {
    page(OrderTab::Album);
    return albumPage_;
}

AlbumKineloSheet* MainWindow::albumKineloSheet() const {
    page(OrderTab::Album);
    return kineloSheet_;
}

PrintKineloSheet* MainWindow::printKineloSheet() const {
    page(OrderTab::Print);
    return printKineloSheet_;
}

OrderTabPage* MainWindow::buildPage(OrderTab tab) {
    const auto i = static_cast<std::size_t>(tab);
    if (pages_[i] != nullptr) {
        return pages_[i];
    }
    QWidget* holder = holders_[i];
    OrderTabPage* built = nullptr;
    switch (tab) {
    case OrderTab::Print:
        built = printPage_ = new PrintTabPage(ctrl_, holder);
        printKineloSheet_ = new PrintKineloSheet(this, ctrl_, this);
        printPage_->kineloOpener = [this] { printKineloSheet_->printKineloAction(); };
        // What the set-up has done to the Kinelo parts built before.
        if (kineloAllowed_) {
            printPage_->setKineloButtonAllowed(*kineloAllowed_);
        }
        if (kineloPathDropsOn_) {
            printKineloSheet_->pathFieldsDragDropOn();
        }
        break;
    case OrderTab::School:
        built = schoolPage_ = new SchoolTabPage(ctrl_, holder);
        break;
    case OrderTab::Album:
        built = albumPage_ = new AlbumTabPage(ctrl_, holder);
        kineloSheet_ = new AlbumKineloSheet(this, ctrl_, *albumPage_, this);
        albumPage_->albumKineloAction = [this] { kineloSheet_->albumKineloAction(); };
        if (kineloAllowed_) {
            albumPage_->setKineloButtonAllowed(*kineloAllowed_);
        }
        if (kineloPathDropsOn_) {
            kineloSheet_->pathFieldsDragDropOn();
        }
        break;
    case OrderTab::Resize:
        built = resizePage_ = new ResizeTabPage(ctrl_, holder);
        break;
    case OrderTab::Etc:
        built = etcPage_ = new EtcTabPage(ctrl_, holder);
        break;
    }
    pages_[i] = built;
    holder->layout()->addWidget(built);
    // On a tab already on screen the layout would show the page only on the next turn of the
    // event loop: shown now, its controls take the focus and the keys at once.
    built->show();

    // The album, resize and etc pages share one caption column.
    if (tab == OrderTab::Album || tab == OrderTab::Resize || tab == OrderTab::Etc) {
        QList<OrderTabPage*> sharing;
        for (OrderTabPage* p :
             {static_cast<OrderTabPage*>(albumPage_), static_cast<OrderTabPage*>(resizePage_),
              static_cast<OrderTabPage*>(etcPage_)}) {
            if (p != nullptr) {
                sharing.append(p);
            }
        }
        OrderTabPage::shareCaptionColumn(sharing);
    }
    // What the set-up has done to the pages built before.
    if (uiInitAsked_[i]) {
        built->uiInit();
    }
    if (tab == OrderTab::Album && albumSetsLoaded_) {
        albumPage_->loadAlbumSetPop();
    }
    if (const std::optional<bool> on = dragDropState_[i]) {
        if (*on) {
            built->dragDropView()->dragDropOn();
        } else {
            built->dragDropView()->dragDropOff();
        }
    }
    if (uiInitAsked_[i]) {
        built->viewRefresh();
    }
    if (QWidget* central = centralWidget()) {
        keepReadingOrder(central);
    }
    return built;
}

bool MainWindow::buildNextPage() {
    for (OrderTab tab : kAllOrderTabs) {
        const auto i = static_cast<std::size_t>(tab);
        // A tab the lab took away is not built.
        if (pages_[i] == nullptr && tabCtrl_->mainTab()->indexOf(holders_[i]) >= 0) {
            buildPage(tab);
            QTimer::singleShot(0, this, &MainWindow::buildNextPage);
            return true;
        }
    }
    return false;
}

void MainWindow::completeWindow() {
    // A page's set-up leaves breadcrumbs: they come before the set-up's last one.
    while (buildNextPage()) {
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (ctrl_.isTerminated()) {
        event->accept();
        return;
    }
    // The close box is a Quit: the same questions, the same termination path.
    event->ignore();
    QTimer::singleShot(0, this, [this] { QuitAction(); });
}
