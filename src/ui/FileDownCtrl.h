#pragma once

#include "service/FileDownLoader.h"

#include <QDialog>
#include <optional>

class FileDownListDataSource;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class ServiceWindowHost;

// The file download window: lists the files the lab placed in the customer's download folder,
// marks the ones not downloaded before, shows the lab's information text, and downloads the
// marked files into a chosen folder on a thread of its own with a progress bar and cancel.
class FileDownCtrl : public QDialog {
    Q_OBJECT
public:
    explicit FileDownCtrl(ServiceWindowHost& host, QWidget* parent = nullptr);
    ~FileDownCtrl() override;

    // Opens the window (the application menu's file download item).
    void fileDownloadCheck();
    // Reads listing and information file, rebuilds the rows; the listing, none on failure.
    std::optional<QString> loadFileList();
    std::optional<QString> fileListStr() const;
    QString infoFileRead() const;

    void downloadExecuteAction();
    void downloadFolderSelectDidEnd(const std::optional<QString>& folder);
    void closeFileDownloadAction();
    void viewRefrash();

    bool isDownloading() const { return downloading_; }
    FileDownListDataSource* dataSource() const { return dataSource_; }

Q_SIGNALS:
    // The download thread has ended and the window is idle again.
    void downloadEnded(bool success);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void jobThread(const FileDownRequest& request);
    void jobThreadEnd(bool success, bool cancelled, const QString& errorMessage);
    void setProgress(double value, double max);
    void closeWindow();

    ServiceWindowHost& host_;
    FileDownListDataSource* dataSource_ = nullptr;
    FileDownLoader loader_;
    QPlainTextEdit* infoTextView_ = nullptr;
    QTableView* tableView_ = nullptr;
    QPushButton* downloadButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QProgressBar* progressIndicator_ = nullptr;
    QLabel* statusField_ = nullptr;
    QString saveFolderPath_;
    bool downloading_ = false;
    bool open_ = false;
};
