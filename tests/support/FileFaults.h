#pragma once

#include <QtGlobal>
#include <csignal>
#include <sys/resource.h>

// Faults of the file system produced for real, for the tests of what a failing write leaves.

// While it lives, a file this process writes may grow to at most `bytes`: a write past that fails
// with EFBIG (SIGXFSZ ignored), as on a full disk. The previous limit and handler come back at
// the end (a soft limit may always be raised again up to the hard one).
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool isActive() const { return active; }

private:
    struct rlimit saved {};
    struct sigaction savedAction {};
    bool active = false;
};

// Makes every flock() of this process, and of the programs it then starts, fail with error, as on
// a disk that takes no locks (a network disk without its lock service gives ENOLCK). The kernel
// answers through a seccomp filter; it cannot be undone, so only a child process installs it (the
// "--without-locks" modes of the lock tests). False when the kernel refused the filter.
bool denyFileLocks(int error);
