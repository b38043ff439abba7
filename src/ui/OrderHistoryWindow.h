#pragma once

#include <QDialog>

class OrderHistoryTable;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QTableView;
class ServiceWindowHost;

// The order history: every order once with its latest outcome, newest first, narrowed by outcome;
// the selected order's events below the table. An
// order that still waits in the pool can be sent from here; the pool folder can be opened. A sent
// order that is still kept can be sent again (as a new order, after one question), and the
// report and files of a kept or pooled archive can be looked at without unpacking it.
class OrderHistoryWindow : public QDialog {
    Q_OBJECT
public:
    explicit OrderHistoryWindow(ServiceWindowHost& host, QWidget* parent = nullptr);

    // Reads the history again and shows the window.
    void orderHistoryWindowOpen();
    void reload();
    OrderHistoryTable* table() const { return table_; }
    // The pooled archive of the selected row; "" when the row's archive is not in the pool.
    QString selectedPoolArchivePath() const;
    // The kept archive of the selected row; "" when the row's archive is not kept.
    QString selectedKeptArchivePath() const;
    // "もう一度送信…": asks once, naming the order, then has the shell send it again.
    void resendSelected();
    // "内容を表示…": the report and the file list of the selected kept or pooled archive.
    void showSelectedContents();
    // The window that showSelectedContents opened last (tests look at it).
    QDialog* contentsWindow() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The archive name's column gives way on a narrow window and shares a wide one with the
    // error text.
    void fitColumns();
    void filterChanged();
    void refreshButtons();
    void sendSelected();
    void openPoolFolder();
    void showEvents();
    void showContextMenu(const QPoint& at);
    void selectArchive(const QString& archive);

    ServiceWindowHost& host_;
    OrderHistoryTable* table_ = nullptr;
    QTableView* view_ = nullptr;
    QComboBox* filterPop_ = nullptr;
    QLabel* countField_ = nullptr;
    QListWidget* eventsList_ = nullptr;
    QPushButton* sendButton_ = nullptr;
    QPushButton* openPoolButton_ = nullptr;
    QPushButton* resendButton_ = nullptr;
    QPushButton* contentsButton_ = nullptr;
    QMenu* rowMenu_ = nullptr;
    QDialog* contents_ = nullptr;
    int archiveWidth_ = 0;
    int minimumArchiveWidth_ = 0;
    int minimumErrorWidth_ = 0;
};
