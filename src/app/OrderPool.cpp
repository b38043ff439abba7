#include "app/OrderPool.h"

#include "job/PoolArchiveRecord.h"
#include "job/SendJob.h"
#include "util/PathUtil.h"
#include "util/WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

OrderPool::OrderPool(const QString& folder, QObject* parent)
    : QObject(parent), _folder(folder.isEmpty() ? WorkFolder::orderZipPoolFolderPath() : folder) {
    connect(&_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { rescan(); });
    watch();
    _lastCount = count();
}

void OrderPool::watch() {
    if (!_watcher.directories().contains(_folder) && QFileInfo(_folder).isDir()) {
        _watcher.addPath(_folder);
    }
    // Until the pool exists its parent is watched, so its creation is noticed too.
    const QString parentFolder = QFileInfo(_folder).path();
    if (!_watcher.directories().contains(parentFolder) && QFileInfo(parentFolder).isDir()) {
        _watcher.addPath(parentFolder);
    }
}

QStringList OrderPool::list() const {
    return orbel::directoryZipPathArray(_folder);
}

int OrderPool::count() const {
    return static_cast<int>(list().size());
}

qint64 OrderPool::totalSize() const {
    qint64 total = 0;
    for (const QString& path : list()) {
        total += QFileInfo(path).size();
    }
    return total;
}

QString OrderPool::archiveListText() const {
    return orbel::directoryZipFileString(_folder);
}

bool OrderPool::remove(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || QDir::cleanPath(info.absolutePath()) != QDir::cleanPath(_folder) ||
        !path.endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive)) {
        return false;
    }
    const bool removed = QFile::remove(path);
    if (removed) {
        // An upload begun at the lab stays there for good unless its temporary file goes too:
        // asked of the lab beside the window, then the hidden record goes with the archive.
        waitForLabCleanup();
        _labCleanup = QtConcurrent::run([path] {
            SendJob::removeLabLeftover(path);
            PoolArchiveRecord::remove(path);
        });
    }
    rescan();
    return removed;
}

void OrderPool::rescan() {
    watch();
    const int now = count();
    if (now != _lastCount) {
        _lastCount = now;
        Q_EMIT changed(now);
    }
}

void OrderPool::waitForLabCleanup() {
    _labCleanup.waitForFinished();
}
