#include "job/ResizeJob.h"

#include "job/JobInfo.h"
#include "job/NotificationCenter.h"
#include "job/StopWatch.h"
#include "service/Analyzer.h"
#include "settings/Log.h"
#include "util/MiravellPath.h"
#include "util/PathUtil.h"
#include "util/ProcessRunner.h"
#include "util/Tool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QThread>
#include <QVariantMap>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

// A scaled photo smaller than this is taken as a failed conversion.
constexpr quint64 kMinResizedFileSize = 1000;
// How often the job thread looks at the cancel flag while files are being worked on (a cancel
// through the notification stops the image tools at once; this catches a direct jobCancel()).
constexpr std::chrono::milliseconds kCancelPoll{100};

// Finished files, handed from the worker threads to the job thread.
class FinishedQueue {
public:
    struct Entry {
        qsizetype index;
        ResizeJob::ItemOutcome outcome;
    };

    void push(Entry entry) {
        {
            std::lock_guard lock(mutex_);
            entries_.push_back(std::move(entry));
        }
        ready_.notify_one();
    }

    // Everything that arrived, waiting up to `wait` for the first.
    std::deque<Entry> take(std::chrono::milliseconds wait) {
        std::unique_lock lock(mutex_);
        ready_.wait_for(lock, wait, [this] { return !entries_.empty(); });
        return std::exchange(entries_, {});
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Entry> entries_;
};

// Stops the stage's image tools from the thread that posts "JobCancel", without waiting for the
// job thread; unsubscribes when it goes.
class CancelStopsTools {
public:
    explicit CancelStopsTools(ProcessStopper& stopper)
        : token_(NotificationCenter::defaultCenter().addObserver(
              kJobCancelNotification, [&stopper](const QVariant&) { stopper.stop(); })) {}
    ~CancelStopsTools() { NotificationCenter::defaultCenter().removeObserver(token_); }
    CancelStopsTools(const CancelStopsTools&) = delete;
    CancelStopsTools& operator=(const CancelStopsTools&) = delete;

private:
    NotificationCenter::Token token_;
};

QString fileNameOf(const QString& path) {
    return QFileInfo(path).fileName();
}

// Creates every missing folder from inside the resize folder down to folder (guarded: only
// inside the work area).
bool createFolderChain(const QString& resizeFolderPath, const QString& folder) {
    if (orbel::isFolderPath(folder)) {
        return true;
    }
    if (folder.size() <= resizeFolderPath.size() || !folder.startsWith(resizeFolderPath)) {
        return false;
    }
    const QString parent = QFileInfo(folder).path();
    if (!createFolderChain(resizeFolderPath, parent)) {
        return false;
    }
    return orbel::limitCreateFolder(folder) || orbel::isFolderPath(folder);
}

} // namespace

ResizeJob::ResizeJob(JobInfo& info) : Job(info) {}

QString ResizeJob::resizePathWithResizeFolderPath(const QString& resizeFolderPath,
                                                  const QString& filePath) {
    if (!isSelectFolder()) {
        return resizeFolderPath + u'/' + fileNameOf(filePath);
    }
    // Only the leading parent folder is replaced: the same text deeper in the path (or a parent
    // of "/") must not be rewritten.
    QString parent = QFileInfo(QDir::cleanPath(selectInfo())).path();
    if (!parent.endsWith(u'/')) {
        parent += u'/';
    }
    QString destination;
    if (filePath.startsWith(parent)) {
        destination = resizeFolderPath + u'/' + filePath.mid(parent.size());
    } else {
        destination = resizeFolderPath + u'/' + fileNameOf(filePath);
    }
    createFolderChain(resizeFolderPath, QFileInfo(destination).path());
    return destination;
}

int ResizeJob::maxProcesses() const {
    return maxProcesses_ > 0 ? maxProcesses_ : std::max(1, QThread::idealThreadCount());
}

void ResizeJob::setMaxProcesses(int count) {
    maxProcesses_ = std::max(0, count);
}

ResizeJob::ItemOutcome ResizeJob::resizeOneFile(const QString& path, const QString& resizePath,
                                                qint64 resizePix, const ProcessStopper* stopper) {
    ItemOutcome outcome;
    const bool resized = Tool::jpegFileResizeWithPathNarrowPix(path, resizePath, resizePix,
                                                               QStringLiteral("high"), stopper);
    if (stopper != nullptr && stopper->isStopped()) {
        outcome.stopped = true;
        return outcome;
    }
    const quint64 resizedSize = orbel::fileSize(resizePath);
    outcome.logLines.append(QStringLiteral("%1（%2→%3）")
                                .arg(fileNameOf(path))
                                .arg(orbel::fileSize(path))
                                .arg(resizedSize));
    if (resizedSize < kMinResizedFileSize) {
        outcome.logLines.append(QStringLiteral("変換後のファイルが1000バイト以下なのでエラー"));
        return outcome;
    }
    outcome.ok = resized;
    return outcome;
}

bool ResizeJob::oneResizeWithPath(const QString& path, const QString& resizePath) {
    const ItemOutcome outcome = resizeOneFile(path, resizePath, resizePix(), nullptr);
    for (const QString& line : outcome.logLines) {
        Log::outputLn(line);
    }
    return outcome.ok;
}

bool ResizeJob::oneCopyWithPath(const QString& path, const QString& toPath) {
    // QFile::copy writes to a temporary file and renames it, so a failed copy leaves nothing; the
    // size check catches a copy that ended short.
    const bool copied = QFile::copy(path, toPath);
    return copied && orbel::isFilePath(toPath) && orbel::fileSize(toPath) == orbel::fileSize(path);
}

ResizeJob::ItemOutcome ResizeJob::workOneFile(const QString& path, const QString& resizePath,
                                              qint64 resizePix, bool jpeg,
                                              const ProcessStopper* stopper) {
    if (jpeg) {
        return resizeOneFile(path, resizePath, resizePix, stopper);
    }
    // QFile::copy writes to a temporary file and renames it, so a failed copy leaves nothing; the
    // size check catches a copy that ended short.
    ItemOutcome outcome;
    outcome.ok = QFile::copy(path, resizePath) && orbel::isFilePath(resizePath) &&
                 orbel::fileSize(resizePath) == orbel::fileSize(path);
    return outcome;
}

qsizetype ResizeJob::runFiles(const QString& resizeFolder, const QStringList& files,
                              qint64& finished) {
    const qint64 count = files.size();
    const qint64 pix = resizePix();
    const int limit = maxProcesses();

    // Destroyed in reverse order: the workers are joined first, then the cancel observer goes,
    // and only then the queue and the stopper they use.
    ProcessStopper stopper;
    FinishedQueue queue;
    const CancelStopsTools cancelStopsTools(stopper);
    // Running workers by file index; each is joined as soon as its result is taken, so an order of
    // thousands of files never holds more than `limit` threads.
    std::map<qsizetype, std::jthread> workers;

    // Destinations handed out so far: two files of the order ending under one name would lose
    // the first, also while it is still being written.
    QSet<QString> claimed;
    qsizetype next = 0;
    int running = 0;
    bool startMore = true;
    qsizetype firstFailure = -1;
    finished = 0;

    for (;;) {
        if (isCancel()) {
            stopper.stop();
            startMore = false;
        }
        while (startMore && running < limit && next < files.size()) {
            const qsizetype index = next++;
            const QString file = files.at(index);
            const QString destination = resizePathWithResizeFolderPath(resizeFolder, file);
            ++running;
            if (claimed.contains(destination) || orbel::isFolderOrFilePath(destination)) {
                ItemOutcome outcome;
                outcome.logLines.append(
                    QStringLiteral("同じ名前のファイルが既にあります: %1").arg(destination));
                queue.push({index, outcome});
                startMore = false; // a failure: nothing new starts
                break;
            }
            claimed.insert(destination);
            const bool jpeg = orbel::isJpegFile(file);
            try {
                workers.emplace(
                    index, std::jthread([&queue, &stopper, index, file, destination, pix, jpeg] {
                        queue.push({index, workOneFile(file, destination, pix, jpeg, &stopper)});
                    }));
            } catch (const std::system_error&) {
                // No thread to be had: this file is worked on here instead.
                queue.push({index, workOneFile(file, destination, pix, jpeg, &stopper)});
            }
        }
        if (running == 0) {
            break;
        }
        for (FinishedQueue::Entry& entry : queue.take(kCancelPoll)) {
            --running;
            workers.erase(entry.index); // its last act was the push: the join returns at once
            if (entry.outcome.stopped || isCancel()) {
                continue; // the stage ends as cancelled: nothing more is counted
            }
            for (const QString& line : entry.outcome.logLines) {
                Log::outputLn(line);
            }
            ++finished;
            progressViewUpdateWithValue(
                static_cast<double>(finished),
                QStringLiteral("%1 / %2  画像リサイズ処理").arg(finished).arg(count));
            if (!entry.outcome.ok) {
                startMore = false;
                if (firstFailure < 0 || entry.index < firstFailure) {
                    firstFailure = entry.index;
                }
            }
        }
    }
    return firstFailure;
}

bool ResizeJob::start() {
    StopWatch stopWatch;
    stopWatch.start();
    QVariantMap postDic;

    Log::outputLn(QStringLiteral("リサイズ処理開始"));
    errClear();
    addCancelObserver();
    progressViewInit();

    const std::optional<QString> resizeFolder = createAndResizeFolderPath();
    if (!resizeFolder) {
        const QString errorInfo = QStringLiteral("作業フォルダが作成できない");
        postDic.insert(QStringLiteral("ErrorInfo"), errorInfo);
        Log::outputLn(errorInfo);
        Tool::alertWithMsg(QStringLiteral("作業フォルダが作成できません"),
                           QStringLiteral("画像変換用の作業フォルダが作成できませんでした"));
    } else {
        const QStringList files = jobFiles();
        progressViewSetupWithMax(static_cast<double>(files.size()));
        qint64 finished = 0;
        const qsizetype failed = runFiles(*resizeFolder, files, finished);
        const QString failedPath = failed >= 0 ? files.at(failed) : QString();
        setErr(failed >= 0);
        if (failed < 0 && finished == files.size()) {
            // Every file is written: a cancel from now on is too late to undo the stage.
            decideSucsess();
        }

        postDic.insert(QStringLiteral("JobTime"),
                       QString::number(static_cast<qint64>(stopWatch.lap())));
        if (isCancel() || isErr()) {
            progressViewClear(); // the tab's progress ends before the alert tells what happened
        }
        if (isCancel()) {
            postDic.insert(QStringLiteral("ErrorInfo"),
                           QStringLiteral("キャンセルボタンによって処理が中止"));
            Log::outputLn(QStringLiteral("処理がキャンセルされた"));
            Tool::doneAlertWithMsg(QStringLiteral("処理を中止しました"),
                                   QStringLiteral("キャンセルボタンによって処理が中止されました"));
            orbel::limitDeleteFileOrFolder(*resizeFolder);
        } else if (isErr()) {
            postDic.insert(
                QStringLiteral("ErrorInfo"),
                QStringLiteral("画像変換処理中にエラーが発生(%1)").arg(fileNameOf(failedPath)));
            Log::outputLn(QStringLiteral("変換中にエラーが発生"));
            Tool::alertWithMsg(
                QStringLiteral("エラーが発生しました"),
                QStringLiteral("画像変換処理中にエラーが発生しました\n[%1]\n処理を中止しました")
                    .arg(failedPath));
        } else {
            Log::outputLn(QStringLiteral("リサイズ成功（%1ファイル）").arg(finished));
        }
    }

    Analyzer::analyzerPost(isSucsess() ? QStringLiteral("Resize") : QStringLiteral("Resize-NG"),
                           postDic);
    progressViewClear();
    removeCancelObserver();
    return isSucsess();
}
