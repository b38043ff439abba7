#include "ui/MainTabViewCtrl.h"

#include <QTabBar>
#include <QTabWidget>

MainTabViewCtrl::MainTabViewCtrl(QTabWidget* tabView, QObject* parent)
    : QObject(parent), mainTab_(tabView) {
    mainTab_->setObjectName(QStringLiteral("mainTab"));
    mainTab_->setAccessibleName(QStringLiteral("注文タブ"));
    // tabView:shouldSelectTabViewItem: the user's clicks reach the tab bar only while unlocked.
    mainTab_->tabBar()->setEnabled(!itemLockFlg_);
    connect(mainTab_, &QTabWidget::currentChanged, this, [this](int) {
        if (const std::optional<OrderTab> tab = selectedTab()) {
            Q_EMIT didSelectTab(*tab);
        }
    });
}

void MainTabViewCtrl::addTab(QWidget* page, OrderTab tab) {
    const QSignalBlocker blocker(mainTab_);
    mainTab_->addTab(page, orderTabLabel(tab));
}

void MainTabViewCtrl::mainTabItemLock() {
    itemLockFlg_ = true;
    applyLock();
}

void MainTabViewCtrl::mainTabItemUnLock() {
    itemLockFlg_ = false;
    applyLock();
}

void MainTabViewCtrl::applyLock() {
    mainTab_->tabBar()->setEnabled(!itemLockFlg_);
    // Ctrl+Tab switches tabs even with the bar disabled; it skips disabled tabs, so while locked
    // only the current tab stays enabled.
    for (int i = 0; i < mainTab_->count(); ++i) {
        const bool enabled = !itemLockFlg_ || i == mainTab_->currentIndex();
        if (mainTab_->isTabEnabled(i) != enabled) {
            mainTab_->setTabEnabled(i, enabled);
        }
    }
}

void MainTabViewCtrl::selectTabForLabel(const QString& label) {
    for (int i = 0; i < mainTab_->count(); ++i) {
        if (mainTab_->tabText(i) == label) {
            mainTab_->setCurrentIndex(i);
            applyLock(); // a tab chosen by the program while locked is the usable one
            return;
        }
    }
}

void MainTabViewCtrl::removeTabForLabel(const QString& label) {
    for (int i = 0; i < mainTab_->count(); ++i) {
        if (mainTab_->tabText(i) == label) {
            mainTab_->removeTab(i);
            return;
        }
    }
}

QString MainTabViewCtrl::selectedMainTabLabel() const {
    const int index = mainTab_->currentIndex();
    return index < 0 ? QString() : mainTab_->tabText(index);
}

std::optional<OrderTab> MainTabViewCtrl::selectedTab() const {
    return orderTabFromLabel(selectedMainTabLabel());
}
