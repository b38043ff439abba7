#include "app/gui/MainWindow.h"

#include <QTabWidget>
#include <QWidget>

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("HALVIX"));
    tabView_ = new QTabWidget(this);
    tabView_->setObjectName(QStringLiteral("mainTabView"));
    for (const QString& label : tabLabels()) {
        auto* page = new QWidget(tabView_);
        tabView_->addTab(page, label);
    }
    setCentralWidget(tabView_);
    resize(1024, 720);
}

QStringList MainWindow::tabLabels() {
    return {QStringLiteral("プリント"), QStringLiteral("スクール"), QStringLiteral("アルバム"),
            QStringLiteral("リサイズ"), QStringLiteral("その他")};
}
