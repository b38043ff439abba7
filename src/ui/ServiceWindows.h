#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

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

    // Adds the four items to the menus: ファイル gets the download and the order history, ヘルプ
    // the connection test and the support bundle.
    void installMenuActions(QMenu* fileMenu, QMenu* helpMenu);

    // Asks where to save the bundle (a save dialog); tests answer in place of the human.
    using SavePathChooser = std::function<std::optional<QString>(const QString& proposedPath)>;
    void setSavePathChooser(SavePathChooser chooser) { chooser_ = std::move(chooser); }

    FileDownCtrl* fileDownCtrl();
    OrderHistoryWindow* orderHistoryWindow();
    ConnectionTestWindow* connectionTestWindow();

private:
    ServiceWindowHost& host_;
    QPointer<FileDownCtrl> fileDown_;
    QPointer<OrderHistoryWindow> history_;
    QPointer<ConnectionTestWindow> connectionTest_;
    SavePathChooser chooser_;
};
