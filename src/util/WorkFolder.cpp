#include "util/WorkFolder.h"

#include "util/PathUtil.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <memory>
#include <mutex>
#include <sys/stat.h>

namespace {

bool isFolder(const QString& path) {
    return QFileInfo(path).isDir();
}

bool makePrivateFolder(const QString& path) {
    return ::mkdir(QFile::encodeName(path).constData(), 0700) == 0;
}

// Creates the folder only when nothing at all is at its path; true when a folder is there after.
bool ensureFolder(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        makePrivateFolder(path);
    }
    return isFolder(path);
}

bool ensureSubFolders() {
    const bool log = ensureFolder(WorkFolder::logFolderPath());
    const bool pool = ensureFolder(WorkFolder::orderZipPoolFolderPath());
    return log && pool;
}

bool ensureFolders() {
    const QString work = WorkFolder::workFolderPath();
    if (isFolder(work)) {
        return ensureSubFolders();
    }
    const QFileInfo info(work);
    if (info.exists() || info.isSymLink()) {
        return false; // a file (or a broken link) occupies the work area's name
    }
    if (!makePrivateFolder(work)) {
        return false;
    }
    return ensureSubFolders();
}

// The work area's lock of this process, for the work area it was taken in.
std::mutex gLockMutex;
std::unique_ptr<InstanceLock> gLock;

// The lock taken for the current work area, or null (none taken, or taken for another HOME).
InstanceLock* currentLockLocked() {
    return gLock && gLock->path() == WorkFolder::lockFilePath() ? gLock.get() : nullptr;
}

// Leaves the owner's permission bits only; a symbolic link is not followed.
bool tighten(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0 || S_ISLNK(info.st_mode) ||
        (info.st_mode & 077) == 0) {
        return false;
    }
    return ::chmod(name.constData(), info.st_mode & 07700) == 0;
}

} // namespace

QString WorkFolder::workFolderPath() {
    const QString chosen = qEnvironmentVariable(kWorkAreaVariable);
    if (QDir::isAbsolutePath(chosen)) {
        return QDir::cleanPath(chosen);
    }
    return orbel::expandTilde(QStringLiteral("~/MVL_WorkArea"));
}

QString WorkFolder::logFolderPath() {
    return workFolderPath() + QStringLiteral("/Halvix2Log");
}

QString WorkFolder::orderZipPoolFolderPath() {
    return workFolderPath() + QStringLiteral("/OrderZipPool");
}

QString WorkFolder::lockFilePath() {
    return workFolderPath() + QStringLiteral("/.halvix2.lock");
}

bool WorkFolder::checkWorkFolder() {
    if (!ensureFolders()) {
        return false;
    }
    std::lock_guard lock(gLockMutex);
    if (InstanceLock* held = currentLockLocked()) {
        return held->tryLock() == InstanceLock::Result::Acquired;
    }
    return !InstanceLock::otherHolder(lockFilePath()).has_value();
}

InstanceLock::Result WorkFolder::lockWorkArea() {
    if (!ensureFolders()) {
        return InstanceLock::Result::Failed;
    }
    std::lock_guard lock(gLockMutex);
    if (!currentLockLocked()) {
        gLock = std::make_unique<InstanceLock>(lockFilePath());
    }
    return gLock->tryLock();
}

void WorkFolder::unlockWorkArea() {
    std::lock_guard lock(gLockMutex);
    gLock.reset();
}

bool WorkFolder::holdsWorkAreaLock() {
    std::lock_guard lock(gLockMutex);
    const InstanceLock* held = currentLockLocked();
    return held != nullptr && held->isLocked();
}

std::optional<LockHolder> WorkFolder::previousWorkAreaHolder() {
    std::lock_guard lock(gLockMutex);
    const InstanceLock* held = currentLockLocked();
    return held != nullptr ? held->previousHolder() : std::nullopt;
}

std::optional<LockHolder> WorkFolder::otherWorkAreaHolder() {
    return InstanceLock::otherHolder(lockFilePath());
}

std::optional<int> WorkFolder::workAreaLockUnsupported() {
    std::lock_guard lock(gLockMutex);
    const InstanceLock* held = currentLockLocked();
    if (held == nullptr || held->isLocked() ||
        !InstanceLock::isUnsupportedLockError(held->lastError())) {
        return std::nullopt;
    }
    return held->lastError();
}

QString WorkFolder::lockUnsupportedText(const QString& label, const QString& folder, int error,
                                        const QString& variable) {
    const QString why =
        error == ENOLCK
            ? QStringLiteral("このフォルダのあるディスク（ネットワーク上のディスク）で、"
                             "ファイルをロックするサービスが動いていません。")
            : QStringLiteral("このフォルダのあるディスクは、ファイルのロックに対応していません。");
    // Only the work area's lock guards the orders; the settings' guards the settings file.
    const QString consequence =
        variable == QLatin1String(kWorkAreaVariable)
            ? QStringLiteral("ロックできないと、2つのHALVIX 2が同じフォルダを同時に使うのを防げない"
                             "ため、このままでは注文を作ることも送ることもできません。")
            : QStringLiteral("ロックできないと、2つのHALVIX 2が同じ設定を同時に書き換えるのを防げ"
                             "ません。");
    return QStringLiteral("%1（%2）をロックできません。%3\n%4\n"
                          "このコンピューター自身のディスクにあるフォルダを環境変数 %5 に指定して、"
                          "HALVIX 2を起動し直してください（例：%5=/var/local/halvix2/%6）。")
        .arg(label, folder, why, consequence, variable,
             qEnvironmentVariable("USER", QStringLiteral("ユーザー名")));
}

QStringList WorkFolder::makePrivate() {
    return makePrivateTree(workFolderPath());
}

QStringList WorkFolder::makePrivateTree(const QString& work) {
    QStringList changed;
    if (!isFolder(work) || QFileInfo(work).isSymLink()) {
        return changed;
    }
    if (tighten(work)) {
        changed.append(work);
    }
    QDirIterator it(work, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (tighten(path)) {
            changed.append(path);
        }
    }
    return changed;
}
