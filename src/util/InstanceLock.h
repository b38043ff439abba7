#pragma once

#include <QString>
#include <optional>
#include <sys/types.h>

// The process a lock file names as its holder.
struct LockHolder {
    pid_t pid = 0;
    unsigned long long startTime = 0; // clock ticks after boot (/proc/<pid>/stat, field 22)
    QString host;
    QString executable;

    bool isThisHost() const;
    // The named process still runs: this host, that pid, started at that time (a pid the system
    // has given to another process since does not count).
    bool isRunning() const;
    // "PID 1234（/usr/bin/halvix2）" for log lines.
    QString text() const;

    static LockHolder thisProcess();
    // The start time of a process, none when it is gone (or ended and not yet reaped).
    static std::optional<unsigned long long> processStartTime(pid_t pid);
};

// A folder kept by one running program: a lock file in it that the kernel holds locked (flock) for
// as long as this process lives, whatever the executable is, and that names its holder. A holder
// that died leaves its name in the file but no lock, so the next program simply takes it over; one
// that ends cleanly empties the file.
class InstanceLock {
public:
    explicit InstanceLock(QString lockFilePath);
    ~InstanceLock(); // unlocks
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    enum class Result {
        Acquired, // this process holds the lock now (or did already)
        Held,     // another process holds it
        Failed,   // the lock file cannot be made or locked (no folder, no permission)
        // The file is there but its file system takes no locks: a network folder without its lock
        // service (NFS without lockd: ENOLCK) or one that has no locks at all (EOPNOTSUPP).
        Unsupported,
    };
    Result tryLock();
    // The errno of the last tryLock that did not acquire (0 after one that did).
    int lastError() const { return _error; }
    // The error is one of a file system that takes no locks.
    static bool isUnsupportedLockError(int error);
    void unlock();
    // This process holds the lock, and the file at the path is still the one it locked (a work
    // area removed and made again while the program runs has a new, unlocked file).
    bool isLocked() const;
    const QString& path() const { return _path; }
    // The holder the file named when this process took it over: a process that died holding it.
    const std::optional<LockHolder>& previousHolder() const { return _previous; }

    // What the lock file at path says now; none when it is missing, empty or unreadable.
    static std::optional<LockHolder> namedHolder(const QString& lockFilePath);
    // The process of another program that holds the lock at path now, none when it is free (or
    // this process's). Holders on other hosts (a shared home folder) are taken as running when
    // the file is locked.
    static std::optional<LockHolder> otherHolder(const QString& lockFilePath);

private:
    QString _path;
    int _fd = -1;
    int _error = 0;
    std::optional<LockHolder> _previous;
};
