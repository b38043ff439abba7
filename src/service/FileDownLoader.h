#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <optional>
#include <thread>

// One download of the window: the marked files of a customer's download folder into a folder.
struct FileDownRequest {
    QString customerCode;
    QString saveFolder;
    QStringList fileNames;      // the marked names, in table order
    QList<double> fileSizes;    // their listed sizes in bytes, parallel to fileNames
    QStringList overwriteNames; // existing files the user agreed to replace
};

struct FileDownResult {
    bool success = false;
    bool cancelled = false;
    QString errorMessage; // the alert's informative text of a failure; "" otherwise
};

// The FTP side of the download window: the folder listing, the information file and the download
// itself, which runs on a thread of its own and reports through queued signals (never a widget).
//
// Each file is fetched by its own curl (URL globbing off) into a temporary file in the save
// folder and renamed to its name only when complete, so a failed or cancelled download leaves
// neither a truncated file under the real name nor a replaced file the user did not agree to.
class FileDownLoader : public QObject {
    Q_OBJECT
public:
    explicit FileDownLoader(QObject* parent = nullptr);
    ~FileDownLoader() override; // cancels a running download and joins its thread

    // The DOS-style listing of "/dwnld/<code>/"; none when curl fails.
    static std::optional<QString> fileListStr(const QString& customerCode);
    // The text of "<code>.txt" in that folder; "" when curl fails.
    static QString infoFileRead(const QString& customerCode);
    // The alert text of a curl exit status.
    static QString errorMessageForCode(int code);

    // Starts the download thread; false while one runs.
    bool start(const FileDownRequest& request);
    bool isRunning() const { return running_.load(); }
    // The whole download, on the calling thread (the download thread).
    FileDownResult downloadExecute(const FileDownRequest& request);

    // "fileDownLoadCancel": the running curl is stopped at its next poll.
    void cancel() { cancel_.store(true); }
    bool isCancel() const { return cancel_.load(); }

    // The stall-free temporary name pattern in the save folder (for tests and clean-up).
    static QString temporaryNameTemplate();

Q_SIGNALS:
    void statusChanged(const QString& text);
    // max above 0: a determinate bar of that maximum; 0: indeterminate (no total known).
    void progressChanged(double value, double max);
    void finished(bool success, bool cancelled, const QString& errorMessage);

private:
    void join();

    std::atomic<bool> cancel_{false};
    std::atomic<bool> running_{false};
    std::thread thread_;
};
