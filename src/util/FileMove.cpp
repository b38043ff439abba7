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

// An error of fsync that means the bytes may not be on the disk; the others (EINVAL, EROFS, ...)
// say the file system has nothing to sync or cannot.
bool syncFailed(int error) {
    return error == EIO || error == ENOSPC || error == EDQUOT;
}

bool syncFd(int fd) {
    return ::fsync(fd) == 0 || !syncFailed(errno);
}

bool syncPath(const QByteArray& path, int flags) {
    Fd fd(::open(path.constData(), O_RDONLY | O_CLOEXEC | flags));
    if (fd.get() < 0) {
        return false;
    }
    return syncFd(fd.get());
}

QByteArray parentOf(const QByteArray& path) {
    return QFile::encodeName(QFileInfo(QFile::decodeName(path)).absolutePath());
}

// A moved file's bytes: false only when the disk reports that they may not be there (a file that
// cannot be opened to sync is left to the rename to refuse or not).
bool syncMoved(const QByteArray& path) {
    Fd fd(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    return fd.get() < 0 || syncFd(fd.get());
}

bool syncParent(const QByteArray& path) {
    return syncPath(parentOf(path), O_DIRECTORY);
}

// The source's folder lost a name (a rename out of it, an unlink): synced too when it is another
// folder than the target's, so a power loss does not bring the moved file back beside its copy.
void syncSourceFolder(const QByteArray& source, const QByteArray& target) {
    const QByteArray from = parentOf(source);
    if (from != parentOf(target)) {
        syncPath(from, O_DIRECTORY);
    }
}

// Copies source into a hidden file beside target (".NAME.part-XXXXXX") whose bytes are on the
// disk; its path, or empty when the copy failed (nothing is left then).
QByteArray copyBeside(const QByteArray& source, const QByteArray& target) {
    const QFileInfo info(QFile::decodeName(target));
    QByteArray temporary = QFile::encodeName(info.path() + QStringLiteral("/.") + info.fileName() +
                                             QStringLiteral(".part-XXXXXX"));
    struct stat sourceInfo {};
    if (::stat(source.constData(), &sourceInfo) != 0) {
        return {};
    }
    Fd out(::mkostemp(temporary.data(), O_CLOEXEC));
    if (out.get() < 0) {
        return {};
    }
    // mkostemp made it 0600; it takes the source's permissions (as a rename would keep them).
    ::fchmod(out.get(), movedMode(sourceInfo.st_mode, target));
    if (!copyInto(source, out.get()) || !out.closeChecked()) {
        ::unlink(temporary.constData());
        return {};
    }
    return temporary;
}

// Copies source into a new file at target, never over one that exists. The bytes go to a hidden
// name beside it first and take the target's name only when complete and on the disk, so an
// interrupted copy never leaves a short file under the target's (an order's) name; the name is on
// the disk too before this returns true.
bool copyToNewFile(const QByteArray& source, const QByteArray& target) {
    const QByteArray temporary = copyBeside(source, target);
    if (temporary.isEmpty()) {
        return false;
    }
    // link() refuses a name that is taken, as the no-replace rename does.
    const bool linked = ::link(temporary.constData(), target.constData()) == 0;
    ::unlink(temporary.constData());
    if (linked && !syncParent(target)) {
        // The name may not survive a power loss: the source stays the order's only sure copy.
        ::unlink(target.constData());
        return false;
    }
    return linked;
}

// The same over an existing target, replaced in one step.
bool copyOverFile(const QByteArray& source, const QByteArray& target) {
    const QByteArray temporary = copyBeside(source, target);
    if (temporary.isEmpty()) {
        return false;
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        ::unlink(temporary.constData());
        return false;
    }
    return syncParent(target);
}

} // namespace

bool syncFile(const QString& path) {
    return syncPath(QFile::encodeName(path), 0);
}

bool syncFolder(const QString& folder) {
    return syncPath(QFile::encodeName(folder), O_DIRECTORY);
}

bool writeFileAtomically(const QString& path, const QByteArray& data) {
    QByteArray temporary = QFile::encodeName(path + QStringLiteral(".tmp-XXXXXX"));
    Fd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        return false;
    }
    bool ok = writeAll(fd.get(), data.constData(), data.size()) && ::fsync(fd.get()) == 0;
    ok = fd.closeChecked() && ok;
    ok = ok && ::rename(temporary.constData(), QFile::encodeName(path).constData()) == 0;
    if (!ok) {
        ::unlink(temporary.constData());
        return false;
    }
    syncParent(QFile::encodeName(path));
    return true;
}

bool moveFileNoReplace(const QString& source, const QString& destination) {
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(destination);
    if (from.isEmpty() || to.isEmpty() || !QFileInfo(source).isFile()) {
        return false;
    }
    // The bytes first: a name that survives a power loss must not lead to an empty file.
    if (!syncMoved(from)) {
        return false;
    }
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        keepPrivateInPrivateFolder(to);
        syncParent(to);
        syncSourceFolder(from, to);
        return true;
    }
    if (errno == EEXIST) {
        return false;
    }
    if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
        // A file system without the no-replace rename: a hard link fails as well when the name
        // is taken, and is just as atomic.
        if (::link(from.constData(), to.constData()) == 0) {
            syncParent(to);
            ::unlink(from.constData());
            syncSourceFolder(from, to);
            keepPrivateInPrivateFolder(to);
            return true;
        }
        if (errno == EEXIST) {
            return false;
        }
    }
    // Another file system (or no links there): a copy into a file that did not exist, on the
    // target's disk with its name before the source goes.
    if (!copyToNewFile(from, to)) {
        return false;
    }
    ::unlink(from.constData());
    syncParent(from);
    return true;
}

bool moveFileReplacing(const QString& source, const QString& destination) {
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(destination);
    if (from.isEmpty() || to.isEmpty() || !QFileInfo(source).isFile()) {
        return false;
    }
    if (!syncMoved(from)) {
        return false;
    }
    if (::rename(from.constData(), to.constData()) == 0) {
        keepPrivateInPrivateFolder(to);
        syncParent(to);
        syncSourceFolder(from, to);
        return true;
    }
    if (errno != EXDEV) {
        return false;
    }
    if (!copyOverFile(from, to)) {
        return false;
    }
    ::unlink(from.constData());
    syncParent(from);
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
