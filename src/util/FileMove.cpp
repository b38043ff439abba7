#include "util/FileMove.h"

#include "util/UniqueFd.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orbel {

namespace {

using Fd = UniqueFd;

bool writeAll(int fd, const char* data, ssize_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// Copies source's bytes into the open descriptor and makes them durable.
bool copyInto(const QByteArray& source, int out) {
    Fd in(::open(source.constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) {
        return false;
    }
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            break;
        }
        if (!writeAll(out, buffer, n)) {
            return false;
        }
    }
    return ::fsync(out) == 0;
}

// The permissions a file moved to target keeps: its own, without group and others when the target's
// folder admits neither (a copy must not open what the folder keeps private).
mode_t movedMode(mode_t own, const QByteArray& target) {
    struct stat folder {};
    const QByteArray parent = QFile::encodeName(QFileInfo(QFile::decodeName(target)).path());
    if (::stat(parent.constData(), &folder) == 0 && (folder.st_mode & 077) == 0) {
        own &= ~static_cast<mode_t>(077);
    }
    return own & 07777;
}

void keepPrivateInPrivateFolder(const QByteArray& target) {
    struct stat info {};
    if (::lstat(target.constData(), &info) == 0 && S_ISREG(info.st_mode)) {
        const mode_t wanted = movedMode(info.st_mode, target);
        if (wanted != (info.st_mode & 07777)) {
            ::chmod(target.constData(), wanted);
        }
    }
}

// Copies source into a new file at target, never over one that exists. The bytes go to a hidden
// name beside it first and take the target's name only when complete and on the disk, so an
// interrupted copy never leaves a short file under the target's (an order's) name.
bool copyToNewFile(const QByteArray& source, const QByteArray& target) {
    const QFileInfo info(QFile::decodeName(target));
    QByteArray temporary = QFile::encodeName(info.path() + QStringLiteral("/.") + info.fileName() +
                                             QStringLiteral(".part-XXXXXX"));
    struct stat sourceInfo {};
    if (::stat(source.constData(), &sourceInfo) != 0) {
        return false;
    }
    Fd out(::mkostemp(temporary.data(), O_CLOEXEC));
    if (out.get() < 0) {
        return false;
    }
    // mkostemp made it 0600; it takes the source's permissions (as a rename would keep them).
    ::fchmod(out.get(), movedMode(sourceInfo.st_mode, target));
    const bool copied = copyInto(source, out.get()) && out.closeChecked();
    // link() refuses a name that is taken, as the no-replace rename does.
    const bool linked = copied && ::link(temporary.constData(), target.constData()) == 0;
    ::unlink(temporary.constData());
    return linked;
}

} // namespace

bool moveFileNoReplace(const QString& source, const QString& destination) {
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(destination);
    if (from.isEmpty() || to.isEmpty() || !QFileInfo(source).isFile()) {
        return false;
    }
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        keepPrivateInPrivateFolder(to);
        return true;
    }
    if (errno == EEXIST) {
        return false;
    }
    if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
        // A file system without the no-replace rename: a hard link fails as well when the name
        // is taken, and is just as atomic.
        if (::link(from.constData(), to.constData()) == 0) {
            ::unlink(from.constData());
            keepPrivateInPrivateFolder(to);
            return true;
        }
        if (errno == EEXIST) {
            return false;
        }
    }
    // Another file system (or no links there): a copy into a file that did not exist.
    if (!copyToNewFile(from, to)) {
        return false;
    }
    ::unlink(from.constData());
    return true;
}

bool moveFileReplacing(const QString& source, const QString& destination) {
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(destination);
    if (from.isEmpty() || to.isEmpty() || !QFileInfo(source).isFile()) {
        return false;
    }
    if (::rename(from.constData(), to.constData()) == 0) {
        keepPrivateInPrivateFolder(to);
        return true;
    }
    if (errno != EXDEV) {
        return false;
    }
    const QByteArray part = to + ".part";
    ::unlink(part.constData());
    if (!copyToNewFile(from, part)) {
        return false;
    }
    if (::rename(part.constData(), to.constData()) != 0) {
        ::unlink(part.constData());
        return false;
    }
    ::unlink(from.constData());
    return true;
}

QStringList partialMoveFilesIn(const QString& folder) {
    static const QRegularExpression pattern(QStringLiteral("^\\..+\\.part-[A-Za-z0-9]{6}$"));
    QStringList found;
    const QDir dir(folder);
    const QStringList names =
        dir.entryList({QStringLiteral(".*.part-??????")},
                      QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks, QDir::Name);
    for (const QString& name : names) {
        if (pattern.match(name).hasMatch()) {
            found.append(dir.filePath(name));
        }
    }
    return found;
}

QStringList partialMoveFilesOf(const QString& destination) {
    const QFileInfo target(destination);
    const QString hidden = QStringLiteral(".") + target.fileName();
    QStringList found;
    for (const QString& path : partialMoveFilesIn(target.path())) {
        const QString name = QFileInfo(path).fileName();
        const QString stem = name.left(name.size() - QStringLiteral(".part-XXXXXX").size());
        if (stem == hidden || stem == hidden + QStringLiteral(".part")) {
            found.append(path);
        }
    }
    const QFileInfo replacing(destination + QStringLiteral(".part"));
    if (replacing.isFile() && !replacing.isSymLink()) {
        found.append(replacing.filePath());
    }
    return found;
}

} // namespace orbel
