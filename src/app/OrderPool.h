#pragma once

#include <QFileSystemWatcher>
#include <QFuture>
#include <QObject>
#include <QString>
#include <QStringList>

// The order pool: the folder "OrderZipPool" of the work area, where finished archives wait until
// they are sent all at once. Every ".zip" file in it is one waiting order; the hidden record beside
// each (PoolArchiveRecord) is not one. The folder is watched,
// so the menu title and the pool sheet follow what another job (or the user) does to it.
class OrderPool : public QObject {
    Q_OBJECT
public:
    // folder: the pool folder; empty means the work area's pool.
    explicit OrderPool(const QString& folder = QString(), QObject* parent = nullptr);
    ~OrderPool() override { waitForLabCleanup(); }

    QString folderPath() const { return _folder; }
    QStringList list() const;        // full paths of the archives, in directory order
    int count() const;               // number of archives
    qint64 totalSize() const;        // bytes of all archives
    QString archiveListText() const; // file names joined with LF
    // One archive of this pool; false for anything else. The lab's temporary file of an upload
    // begun for it is removed in the background (best effort, logged).
    bool remove(const QString& path);
    // Waits until that background removal has ended (for quitting, and for tests).
    void waitForLabCleanup();

    // Starts watching again (the folder may have been created since); called by the owner after
    // the work area was checked. Emits changed() when the count differs from the last one seen.
    void rescan();

Q_SIGNALS:
    void changed(int count);

private:
    void watch();

    QString _folder;
    QFileSystemWatcher _watcher;
    int _lastCount = -1;
    QFuture<void> _labCleanup;
};
