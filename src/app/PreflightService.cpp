#include "app/PreflightService.h"

#include <QFileInfo>
#include <QMutexLocker>
#include <QThread>
#include <algorithm>
#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {
// Paths announced per delivery; the rest follow in the next turn of the event loop, so a
// large drop never holds the main thread for long.
constexpr qsizetype kAnnounceBatch = 500;
// The checks yield to the main thread: on a busy two-core machine the window must stay quick
// while thousands of files are read. Linux gives each thread its own nice value.
void lowerThisThread() {
#ifdef __linux__
    static thread_local bool lowered = false;
    if (!lowered) {
        lowered = true;
        const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
        ::setpriority(PRIO_PROCESS, tid, ::getpriority(PRIO_PROCESS, tid) + 5);
    }
#endif
}

} // namespace

PreflightService::PreflightService(QObject* parent, int threads) : QObject(parent) {
    maxWorkers = threads > 0 ? threads : std::max(1, QThread::idealThreadCount());
    pool.setMaxThreadCount(maxWorkers);
    pool.setExpiryTimeout(5000);
}

PreflightService::~PreflightService() {
    stopping = true;
    {
        QMutexLocker lock(&mutex);
        queue.clear();
    }
    pool.waitForDone();
}

void PreflightService::enqueueLocked(const QString& path, Entry& entry) {
    entry.ticket = ++nextTicket;
    entry.queued = true;
    queue.emplace_back(path, entry.ticket);
}

void PreflightService::startWorkersLocked() {
    while (runningWorkers < maxWorkers && qsizetype(runningWorkers) < qsizetype(queue.size())) {
        ++runningWorkers;
        pool.start([this] { workerLoop(); });
    }
}

void PreflightService::watch(const QStringList& paths) {
    QMutexLocker lock(&mutex);
    for (const QString& path : paths) {
        Entry& entry = entries[path];
        if (++entry.holds == 1) {
            enqueueLocked(path, entry);
        } else if (entry.ready) {
            announceLocked(path);
        }
    }
    startWorkersLocked();
}

void PreflightService::release(const QStringList& paths) {
    QMutexLocker lock(&mutex);
    for (const QString& path : paths) {
        auto it = entries.find(path);
        if (it != entries.end() && --it->holds <= 0) {
            entries.erase(it); // a queued check of it is skipped by its missing entry
        }
    }
}

void PreflightService::recheck(const QStringList& paths) {
    QMutexLocker lock(&mutex);
    for (const QString& path : paths) {
        auto it = entries.find(path);
        if (it != entries.end() && !it->queued) {
            enqueueLocked(path, *it);
        }
    }
    startWorkersLocked();
}

std::optional<ImageHeaderFacts> PreflightService::facts(const QString& path) const {
    QMutexLocker lock(&mutex);
    const auto it = entries.constFind(path);
    if (it == entries.constEnd() || !it->ready) {
        return std::nullopt;
    }
    return it->facts;
}

std::optional<ImageHeaderFacts> PreflightService::readNow(const QString& path) {
    {
        QMutexLocker lock(&mutex);
        const auto it = entries.constFind(path);
        if (it == entries.constEnd()) {
            return std::nullopt;
        }
        if (it->ready) {
            return it->facts;
        }
    }
    const ImageHeaderFacts read = readImageHeader(path);
    ++reads;
    QMutexLocker lock(&mutex);
    auto it = entries.find(path);
    if (it == entries.end()) {
        return std::nullopt;
    }
    if (!it->ready) {
        it->facts = read;
        it->ready = true;
        it->queued = false;
        it->ticket = ++nextTicket; // the queued check is done already
    }
    return it->facts;
}

bool PreflightService::readNowIfChanged(const QString& path) {
    qint64 knownSize = 0;
    qint64 knownTime = 0;
    {
        QMutexLocker lock(&mutex);
        const auto it = entries.constFind(path);
        if (it == entries.constEnd() || !it->ready) {
            return false;
        }
        knownSize = it->facts.fileSize;
        knownTime = it->facts.mtimeMs;
    }
    const QFileInfo info(path);
    if (info.exists() && info.size() == knownSize &&
        info.lastModified().toMSecsSinceEpoch() == knownTime) {
        return false;
    }
    const ImageHeaderFacts read = readImageHeader(path);
    ++reads;
    QMutexLocker lock(&mutex);
    auto it = entries.find(path);
    if (it == entries.end()) {
        return false;
    }
    it->facts = read;
    it->ready = true;
    it->queued = false;
    it->ticket = ++nextTicket; // a check queued before is out of date
    announceLocked(path);
    return true;
}

bool PreflightService::isHeld(const QString& path) const {
    QMutexLocker lock(&mutex);
    return entries.contains(path);
}

bool PreflightService::isIdle() const {
    QMutexLocker lock(&mutex);
    return queue.empty() && runningWorkers == 0 && toAnnounce.isEmpty() && !deliveryPosted;
}

void PreflightService::announceLocked(const QString& path) {
    toAnnounce.append(path);
    if (!deliveryPosted) {
        deliveryPosted = true;
        QMetaObject::invokeMethod(this, &PreflightService::deliver, Qt::QueuedConnection);
    }
}

void PreflightService::workerLoop() {
    lowerThisThread();
    QMutexLocker lock(&mutex);
    while (!stopping && !queue.empty()) {
        const auto [path, ticket] = queue.front();
        queue.pop_front();
        auto it = entries.find(path);
        if (it == entries.end() || it->ticket != ticket) {
            continue; // released, or queued again since
        }
        const bool known = it->ready;
        const qint64 knownSize = it->facts.fileSize;
        const qint64 knownTime = it->facts.mtimeMs;
        lock.unlock();

        // A file is read again only when its size or time moved (still being copied, edited).
        const QFileInfo info(path);
        const bool unchanged = known && info.exists() && info.size() == knownSize &&
                               info.lastModified().toMSecsSinceEpoch() == knownTime;
        ImageHeaderFacts read;
        if (!unchanged) {
            read = readImageHeader(path);
            ++reads;
        }

        lock.relock();
        it = entries.find(path);
        if (it == entries.end() || it->ticket != ticket) {
            continue;
        }
        it->queued = false;
        if (!unchanged) {
            it->facts = read;
            it->ready = true;
            announceLocked(path);
        }
    }
    --runningWorkers;
}

void PreflightService::deliver() {
    QStringList batch;
    {
        QMutexLocker lock(&mutex);
        if (toAnnounce.size() > kAnnounceBatch) {
            batch = toAnnounce.mid(0, kAnnounceBatch);
            toAnnounce.remove(0, kAnnounceBatch);
            QMetaObject::invokeMethod(this, &PreflightService::deliver, Qt::QueuedConnection);
        } else {
            batch.swap(toAnnounce);
            deliveryPosted = false;
        }
    }
    // Files released meanwhile are not announced.
    batch.removeIf([this](const QString& path) { return !isHeld(path); });
    if (!batch.isEmpty()) {
        Q_EMIT factsReady(batch);
    }
}
