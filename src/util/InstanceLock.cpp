#include "util/InstanceLock.h"

#include <QFile>
#include <QList>
#include <QSysInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray readFd(int fd) {
    QByteArray data;
    char buffer[1024];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0 || data.size() > 16 * 1024) {
            break;
        }
        data.append(buffer, n);
        offset += n;
    }
    return data;
}

std::optional<LockHolder> parseHolder(const QByteArray& data) {
    LockHolder holder;
    bool hasPid = false;
    for (const QByteArray& line : data.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0) {
            continue;
        }
        const QByteArray key = line.left(equals);
        const QByteArray value = line.mid(equals + 1);
        if (key == "pid") {
            holder.pid = static_cast<pid_t>(value.toInt(&hasPid));
        } else if (key == "start") {
            holder.startTime = value.toULongLong();
        } else if (key == "host") {
            holder.host = QString::fromUtf8(value);
        } else if (key == "exe") {
            holder.executable = QFile::decodeName(value);
        }
    }
    if (!hasPid || holder.pid <= 0) {
        return std::nullopt;
    }
    return holder;
}

QByteArray holderText(const LockHolder& holder) {
    return "pid=" + QByteArray::number(holder.pid) +
           "\nstart=" + QByteArray::number(holder.startTime) + "\nhost=" + holder.host.toUtf8() +
           "\nexe=" + QFile::encodeName(holder.executable) + '\n';
}

bool sameFile(int fd, const QString& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(QFile::encodeName(path).constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

bool writeAllAt(int fd, const QByteArray& data) {
    qsizetype offset = 0;
    while (offset < data.size()) {
        const ssize_t n = ::pwrite(fd, data.constData() + offset,
                                   static_cast<size_t>(data.size() - offset), offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        offset += n;
    }
    return true;
}

// Someone holds the file locked; a shared lock taken and dropped at once does not disturb a
// holder, and an acquirer that meets it tries again.
bool isLockedByAnyone(const QString& path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    int rc = 0;
    do {
        rc = ::flock(fd, LOCK_SH | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    const bool locked = rc != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return locked;
}

} // namespace

bool LockHolder::isThisHost() const {
    return host == QSysInfo::machineHostName();
}

bool LockHolder::isRunning() const {
    return isThisHost() && pid > 0 && processStartTime(pid) == startTime;
}

QString LockHolder::text() const {
    QString result = QStringLiteral("PID %1").arg(pid);
    if (!executable.isEmpty()) {
        result += QStringLiteral("（%1）").arg(executable);
    }
    if (!isThisHost() && !host.isEmpty()) {
        result += QStringLiteral(" ホスト %1").arg(host);
    }
    return result;
}

LockHolder LockHolder::thisProcess() {
    LockHolder holder;
    holder.pid = ::getpid();
    holder.startTime = processStartTime(holder.pid).value_or(0);
    holder.host = QSysInfo::machineHostName();
    QString exe = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    const QString deleted = QStringLiteral(" (deleted)");
    if (exe.endsWith(deleted)) {
        exe.chop(deleted.size());
    }
    holder.executable = exe;
    return holder;
}

std::optional<unsigned long long> LockHolder::processStartTime(pid_t pid) {
    if (pid <= 0) {
        return std::nullopt;
    }
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray stat = file.readAll();
    // The command name may hold blanks and parentheses: fields are counted after the last ")".
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0) {
        return std::nullopt;
    }
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    // Field 3 (state) is fields[0]; field 22 (starttime) is fields[19].
    if (fields.size() < 20) {
        return std::nullopt;
    }
    // A process that has ended but is not yet reaped is not running any more.
    if (fields[0] == "Z" || fields[0] == "X") {
        return std::nullopt;
    }
    bool ok = false;
    const unsigned long long start = fields[19].toULongLong(&ok);
    return ok ? std::optional<unsigned long long>(start) : std::nullopt;
}

InstanceLock::InstanceLock(QString lockFilePath) : _path(std::move(lockFilePath)) {}

InstanceLock::~InstanceLock() {
    unlock();
}

bool InstanceLock::isUnsupportedLockError(int error) {
    return error == ENOLCK || error == EOPNOTSUPP || error == ENOTSUP || error == ENOSYS;
}

InstanceLock::Result InstanceLock::tryLock() {
    if (isLocked()) {
        _error = 0;
        return Result::Acquired;
    }
    unlock(); // a lock on a file that is no longer at the path is worth nothing
    const QByteArray name = QFile::encodeName(_path);
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            _error = errno;
            return Result::Failed;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EINTR) {
                continue;
            }
            _error = error;
            if (isUnsupportedLockError(error)) {
                return Result::Unsupported;
            }
            if (error != EWOULDBLOCK) {
                return Result::Failed;
            }
            if (attempt >= 4) {
                return Result::Held;
            }
            // Someone looking (a shared lock held for an instant) or a holder for good.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        if (!sameFile(fd, _path)) {
            ::close(fd); // replaced between open and lock: lock the one that is there now
            continue;
        }
        _previous = parseHolder(readFd(fd));
        const bool named =
            ::ftruncate(fd, 0) == 0 && writeAllAt(fd, holderText(LockHolder::thisProcess()));
        if (!named) {
            _error = errno;
            ::close(fd);
            return Result::Failed;
        }
        _fd = fd;
        _error = 0;
        return Result::Acquired;
    }
    _error = EWOULDBLOCK;
    return Result::Held;
}

void InstanceLock::unlock() {
    if (_fd < 0) {
        return;
    }
    if (sameFile(_fd, _path)) {
        // Nobody holds it any more: the file names no one.
        [[maybe_unused]] const int truncated = ::ftruncate(_fd, 0);
    }
    ::close(_fd); // releases the lock
    _fd = -1;
}

bool InstanceLock::isLocked() const {
    return _fd >= 0 && sameFile(_fd, _path);
}

std::optional<LockHolder> InstanceLock::namedHolder(const QString& lockFilePath) {
    const int fd = ::open(QFile::encodeName(lockFilePath).constData(),
                          O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    const QByteArray data = readFd(fd);
    ::close(fd);
    return parseHolder(data);
}

std::optional<LockHolder> InstanceLock::otherHolder(const QString& lockFilePath) {
    const std::optional<LockHolder> named = namedHolder(lockFilePath);
    if (named && named->isThisHost() && named->pid == ::getpid()) {
        return std::nullopt;
    }
    // The lock tells whether someone holds it; the file only says who. A holder that has locked
    // the file but not named itself yet is someone too.
    if (!isLockedByAnyone(lockFilePath)) {
        return std::nullopt;
    }
    return named.value_or(LockHolder{});
}
