#pragma once

#include "app/AppWindowHooks.h"
#include "util/OrderTab.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class AlbumKineloSheet;
class PrintKineloSheet;
class AlbumTabPage;
class AppCtrl;
class EtcTabPage;
class MainTabViewCtrl;
class OrderSheets;
class OrderTabPage;
class PreferencesCtrl;
class PrintTabPage;
class ResizeTabPage;
class SchoolTabPage;
class QAction;
class QDialog;
class QLabel;
class QTabWidget;
class ServiceWindows;

// The single window of the program: the version strip with the test-mode banner, the five order
// tabs and the menus. It presents what the controller holds and forwards what the user does; the
// sheets of an order open over it.
class MainWindow : public QMainWindow, public AppWindowHooks {
    Q_OBJECT
public:
    explicit MainWindow(AppCtrl& ctrl, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The tab labels, in the order the tabs stand.
    static QStringList tabLabels();

    QTabWidget* mainTabView() const;
    MainTabViewCtrl& tabViewCtrl() const { return *tabCtrl_; }
    // A tab's page is built when it is first shown or asked for (the tab shown at start at once,
    // the others right after the window is up): each accessor builds what it returns.
    OrderTabPage* page(OrderTab tab) const;
    EtcTabPage* etcPage() const;
    PrintTabPage* printPage() const;
    SchoolTabPage* schoolPage() const;
    ResizeTabPage* resizePage() const;
    AlbumTabPage* albumPage() const;
    AlbumKineloSheet* albumKineloSheet() const;
    PrintKineloSheet* printKineloSheet() const;
    OrderSheets& orderSheets() const { return *sheets_; }
    // The preferences and custom-mode password windows, the studio pop-up and the version-up.
    PreferencesCtrl& preferences() const { return *prefs_; }
    QAction* menuAction(const QString& objectName) const;
    // The download window, the order history, the connection test and the support bundle.
    ServiceWindows& serviceWindows() const { return *services_; }

    // Plug points of later windows: each returns whether its window was opened.
    std::function<bool()> preferencesOpener;
    std::function<bool()> customAuthOpener;
    std::function<bool()> fileDownloadOpener;
    std::function<bool()> albumSetExporter;
    std::function<bool()> albumSetImporter;

    // --- Selected-tab accessors (the control of the selected tab, or null) ---
    QWidget* selectedTabImageFolderPath() const;
    QWidget* selectedTabImageFileNum() const;
    QWidget* selectedTabFileInfoTextView() const;
    QWidget* selectedTabJobIndicator() const;
    QWidget* selectedTabJobMsg() const;

    // --- Menu actions ---
    void preferencesAction();
    void QuitAction();
    void poolOrderSendAction();
    void albumSetExportAction();
    void albumSetImportAction();
    void fileDownloadCheckAction();
    void openWebSite();
    void openDocumentWebSite();
    // The menus follow the controller's rules (validateMenuItem by tag).
    void refreshMenus();
    void applicationWillBecomeActive();

    // --- AppWindowHooks ---
    void showWaitPanel(const QString& text) override;
    void closeWaitPanel() override;
    void setupKineloButtons(bool kineloOff) override;
    void tabUIInit(OrderTab tab) override;
    bool openCustomAuthWindow() override;
    bool openPreferencesWindow() override;
    void buildPhotoStudioNamePopup() override;
    bool applicationUpdateCheck(const QString& updateInfo) override;
    void setTitles(const QString& windowTitle, const QString& versionText) override;
    void selectTab(OrderTab tab) override;
    void removeTab(OrderTab tab) override;
    void hideAlbumDropMessage() override;
    void enableKineloPathDrops() override;
    void albumSetStartUp() override;
    void completeWindow() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class SheetHost;
    class PrefHost;
    class ServiceHost;
    void buildMenus();
    void comViewRefresh();
    // The page of tab, built and brought to the state the window's set-up gave the others.
    OrderTabPage* buildPage(OrderTab tab);
    // The next page not yet built, one per turn of the event loop so input is not held up; false
    // when none was left.
    bool buildNextPage();
    OrderTabPage* builtPage(OrderTab tab) const { return pages_[static_cast<std::size_t>(tab)]; }
    QAction* addMenuAction(class QMenu* menu, const QString& objectName, const QString& text,
                           int tag, std::function<void()> slot);

    AppCtrl& ctrl_;
    std::unique_ptr<SheetHost> sheetHost_;
    std::unique_ptr<PrefHost> prefHost_;
    std::unique_ptr<ServiceHost> serviceHost_;
    ServiceWindows* services_ = nullptr; // child of the window
    MainTabViewCtrl* tabCtrl_ = nullptr;
    // The tab view's page of each tab; the order page is built into it (null until then).
    std::array<QWidget*, 5> holders_{};
    std::array<OrderTabPage*, 5> pages_{};
    EtcTabPage* etcPage_ = nullptr;
    PrintTabPage* printPage_ = nullptr;
    SchoolTabPage* schoolPage_ = nullptr;
    ResizeTabPage* resizePage_ = nullptr;
    AlbumTabPage* albumPage_ = nullptr;
    AlbumKineloSheet* kineloSheet_ = nullptr;      // built with the album page
    PrintKineloSheet* printKineloSheet_ = nullptr; // built with the print page
    // What the set-up asked of pages not built yet, done when they are.
    std::array<bool, 5> uiInitAsked_{};
    std::array<std::optional<bool>, 5> dragDropState_{};
    std::optional<bool> kineloAllowed_;
    bool albumSetsLoaded_ = false;
    bool kineloPathDropsOn_ = false;
    OrderSheets* sheets_ = nullptr;
    PreferencesCtrl* prefs_ = nullptr;
    QLabel* versionField_ = nullptr;
    QLabel* testModeMsg_ = nullptr;
    QPointer<QDialog> waitPanel_;
    QList<QAction*> taggedActions_;
};
