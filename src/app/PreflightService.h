#pragma once

#include "util/ImageHeader.h"

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QThreadPool>
#include <atomic>
#include <deque>
#include <optional>

// Reads the header facts of the files in the order lists, off the main thread, as they arrive.
// Every list row holds its file with watch() and lets go with release(); a file no row holds
// any more is dropped from the queue and forgotten. The facts of a file are read once and kept;
// recheck() reads a file again only when its size or modification time has changed.
// Results reach the main thread in batches, through queued calls, so thousands of files never
// flood it.
class PreflightService : public QObject {
    Q_OBJECT

public:
    // threads: worker threads, at most; 0 takes the machine's core count.
    explicit PreflightService(QObject* parent = nullptr, int threads = 0);
    ~PreflightService() override;
    PreflightService(const PreflightService&) = delete;
    PreflightService& operator=(const PreflightService&) = delete;

    // One hold per row: a file on two rows (another size) is held twice. Files whose facts are
    // known already are announced again through factsReady.
    void watch(const QStringList& paths);
    void release(const QStringList& paths);
    // Before sending: files whose size or time changed since they were read are read again.
    void recheck(const QStringList& paths);

    // The facts of a held file, read here and now when no worker has come to it yet (a header
    // read, never a decode); none for a file not held.
    std::optional<ImageHeaderFacts> readNow(const QString& path);
    // At Send: a held file whose size or modification time moved since it was read (replaced,
    // edited, still being copied) is read again here and now; true when it was. Other rows of
    // the file hear of it through factsReady.
    bool readNowIfChanged(const QString& path);
    // The facts of a held file, once read.
    std::optional<ImageHeaderFacts> facts(const QString& path) const;
    bool isHeld(const QString& path) const;
    // Nothing queued, nothing being read, nothing waiting to be announced.
    bool isIdle() const;
    // How many files were read from disk (not answered from the kept facts); for tests.
    qint64 readCount() const { return reads.load(); }

Q_SIGNALS:
    // On the main thread: these held files have (new) facts.
    void factsReady(const QStringList& paths);

private:
    struct Entry {
        int holds = 0;
        quint64 ticket = 0; // the queued check that counts; older ones are skipped
        bool ready = false;
        bool queued = false;
        ImageHeaderFacts facts;
    };

    void enqueueLocked(const QString& path, Entry& entry);
    void startWorkersLocked();
    void workerLoop();
    void announceLocked(const QString& path);
    void deliver();

    mutable QMutex mutex;
    QHash<QString, Entry> entries;
    std::deque<std::pair<QString, quint64>> queue;
    QStringList toAnnounce;
    bool deliveryPosted = false;
    int runningWorkers = 0;
    int maxWorkers = 1;
    quint64 nextTicket = 0;
    std::atomic<bool> stopping{false};
    std::atomic<qint64> reads{0};
    QThreadPool pool;
};
