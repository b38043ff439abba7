#pragma once

#include <QObject>
#include <QPointer>

class ConnectionTestWindow;
class FileDownCtrl;
class OrderHistoryWindow;
class QMenu;
class ServiceWindowHost;

// The studio's service tools behind the application menus: the file download window, the order
// history, the connection test and the support bundle. The shell makes one and adds the items.
class ServiceWindows : public QObject {
    Q_OBJECT
public:
    explicit ServiceWindows(ServiceWindowHost& host, QObject* parent = nullptr);
    ~ServiceWindows() override;

    void fileDownloadCheckAction();
    void orderHistoryAction();
    void connectionTestAction();
    void supportBundleAction();
    // Reads the history again into an open history window (after a job).
    void refreshOrderHistory();

    // Adds the order history to ファイル, the connection test and the support bundle to ヘルプ.
    // (The file download item belongs to the shell, which guards it with the other menu items.)
    void installMenuActions(QMenu* fileMenu, QMenu* helpMenu);

    FileDownCtrl* fileDownCtrl();
    OrderHistoryWindow* orderHistoryWindow();
    ConnectionTestWindow* connectionTestWindow();

private:
    ServiceWindowHost& host_;
    QPointer<FileDownCtrl> fileDown_;
    QPointer<OrderHistoryWindow> history_;
    QPointer<ConnectionTestWindow> connectionTest_;
};
