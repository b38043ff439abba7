#pragma once

#include "util/InstanceLock.h"

#include <QString>
#include <QStringList>
#include <optional>

// The single-instance guard. One program per settings folder and work area: each holds a lock file
// that names its holder, and a program runs only while it holds both, whatever executable it was
// started from (a packaged and a built copy see each other). It reads only the lock files and the
// order pool folder and writes no setting, so it runs before the settings are first read.
class InstanceGuard {
public:
    InstanceGuard() = delete;

    // "<settings folder>/halvix2.lock" and "~/MVL_WorkArea/.halvix2.lock".
    static QString settingsLockFilePath();
    static QString workAreaLockFilePath();

    // Takes the settings folder's lock, then the work area's. False, holding neither, when another
    // program holds either; a lock that cannot be made at all (an unwritable folder) does not stop
    // this one.
    static bool tryAcquire();
    // This process holds both locks of the current settings folder and work area.
    static bool holdsLocks();
    static void release();
    // The process of another program holding either lock; none when both are free or ours.
    static std::optional<LockHolder> otherInstance();
    // The dead holders whose locks this process took over, for the log.
    static QList<LockHolder> takenOverHolders();

    // A folder of ours whose file system refused its lock (a network disk without its lock
    // service): the program starts, but no job can run there.
    struct UnlockableFolder {
        QString label; // "設定フォルダ" or "作業フォルダ"
        QString folder;
        int error = 0;    // ENOLCK, EOPNOTSUPP
        QString variable; // the environment variable that puts it elsewhere
    };
    // Those of the last tryAcquire.
    static QList<UnlockableFolder> unlockableFolders();
    // Tells the studio at start, once, in the log and in an alert, which folders cannot be locked,
    // why, and which environment variable names another. True when there was something to tell.
    static bool tellUnlockableFolders();

    // The order pool holds at least one archive.
    static bool isZipPoolFile();
    // Ends the program holding the locks (when it runs on this machine) and waits until they are
    // free, at most timeoutMs.
    static void killMultipleApp(int timeoutMs = 30000);
    // Takes the locks; when another program holds them and the pool is empty, ends it first.
    // True when this process may not run: another program keeps the settings or the work area.
    static bool isAlreadyBooted();
};
