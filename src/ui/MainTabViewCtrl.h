#pragma once

#include "util/OrderTab.h"

#include <QObject>
#include <QString>
#include <optional>

class QTabWidget;
class QWidget;

// The tab controller of the main window: which order tab is shown, and the lock that keeps the
// user from switching while the order cannot change (a job, an open sheet, the preferences).
// Switching in code is always allowed; only the user's clicks are held back.
class MainTabViewCtrl : public QObject {
    Q_OBJECT
public:
    // tabView: the window's tab view, named "mainTab"; not owned.
    explicit MainTabViewCtrl(QTabWidget* tabView, QObject* parent = nullptr);

    QTabWidget* mainTab() const { return mainTab_; }
    void addTab(QWidget* page, OrderTab tab);

    bool itemLockFlg() const { return itemLockFlg_; }
    void mainTabItemLock();
    void mainTabItemUnLock();

    void selectTabForLabel(const QString& label);
    void removeTabForLabel(const QString& label);
    QString selectedMainTabLabel() const;
    std::optional<OrderTab> selectedTab() const;
    bool isSelectedPrintTab() const { return selectedTab() == OrderTab::Print; }
    bool isSelectedSchoolTab() const { return selectedTab() == OrderTab::School; }
    bool isSelectedAlbumTab() const { return selectedTab() == OrderTab::Album; }
    bool isSelectedResizeTab() const { return selectedTab() == OrderTab::Resize; }
    bool isSelectedEtcTab() const { return selectedTab() == OrderTab::Etc; }

Q_SIGNALS:
    // tabView:didSelectTabViewItem: the new tab (the owner stores the label and refreshes).
    void didSelectTab(OrderTab tab);

private:
    void applyLock();
    QTabWidget* mainTab_;
    bool itemLockFlg_ = true;
};
