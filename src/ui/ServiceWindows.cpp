#include "ui/ServiceWindows.h"

#include "service/SupportBundle.h"
#include "settings/Log.h"
#include "ui/ConnectionTestWindow.h"
#include "ui/FileDownCtrl.h"
#include "ui/OrderHistoryWindow.h"
#include "ui/ServiceWindowHost.h"
#include "util/Tool.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QStandardPaths>

ServiceWindows::ServiceWindows(ServiceWindowHost& host, QObject* parent)
    : QObject(parent), host_(host) {}

ServiceWindows::~ServiceWindows() {
    // The windows are children of the main window; remove them with this owner.
    delete fileDown_.data();
    delete history_.data();
    delete connectionTest_.data();
}

FileDownCtrl* ServiceWindows::fileDownCtrl() {
    if (!fileDown_)
        fileDown_ = new FileDownCtrl(host_, host_.mainWindow());
    return fileDown_;
}

OrderHistoryWindow* ServiceWindows::orderHistoryWindow() {
    if (!history_)
        history_ = new OrderHistoryWindow(host_, host_.mainWindow());
    return history_;
}

ConnectionTestWindow* ServiceWindows::connectionTestWindow() {
    if (!connectionTest_)
        connectionTest_ = new ConnectionTestWindow(host_.mainWindow());
    return connectionTest_;
}

void ServiceWindows::fileDownloadCheckAction() {
    fileDownCtrl()->fileDownloadCheck();
}

void ServiceWindows::orderHistoryAction() {
    orderHistoryWindow()->orderHistoryWindowOpen();
}

void ServiceWindows::refreshOrderHistory() {
    if (history_ && history_->isVisible())
        history_->reload();
}

void ServiceWindows::connectionTestAction() {
    connectionTestWindow()->connectionTestOpen();
}

void ServiceWindows::supportBundleAction() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    std::optional<QString> path = Tool::saveFileSelect(QStringLiteral("サポート情報を保存"), folder,
                                                       SupportBundle::proposedFileName());
    if (!path)
        return;
    if (!path->endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive))
        *path += QStringLiteral(".zip");
    // The chooser leaves the question of an existing file to us.
    if (!Tool::confirmReplaceFile(*path)) {
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::optional<QString> error = SupportBundle::write(*path);
    QApplication::restoreOverrideCursor();
    if (error) {
        Log::outputLn(QStringLiteral("サポート情報の保存に失敗（%1）").arg(*error));
        Tool::alertWithMsg(QStringLiteral("サポート情報を保存できませんでした"), *error);
        return;
    }
    Log::outputLn(QStringLiteral("サポート情報を保存しました（%1）").arg(*path));
    Tool::doneAlertWithMsg(QStringLiteral("サポート情報を保存しました"),
                           QStringLiteral("%1\nこのファイルを当社営業へお送りください。"
                                          "パスワードなどの秘密の情報は含まれていません。")
                               .arg(*path));
}

void ServiceWindows::installMenuActions(QMenu* fileMenu, QMenu* helpMenu) {
    const auto add = [this](QMenu* menu, const QString& title, const char* name,
                            void (ServiceWindows::*slot)()) {
        if (!menu)
            return;
        QAction* action = menu->addAction(title);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
    };
    add(fileMenu, QStringLiteral("送信履歴…"), "orderHistoryMenuItem",
        &ServiceWindows::orderHistoryAction);
    if (helpMenu && !helpMenu->actions().isEmpty())
        helpMenu->addSeparator();
    add(helpMenu, QStringLiteral("接続テスト…"), "connectionTestMenuItem",
        &ServiceWindows::connectionTestAction);
    add(helpMenu, QStringLiteral("サポート情報を保存…"), "supportBundleMenuItem",
        &ServiceWindows::supportBundleAction);
}
