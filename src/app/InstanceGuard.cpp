#include "app/InstanceGuard.h"

#include "settings/Log.h"
#include "settings/SettingsStore.h"
#include "util/PathUtil.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cerrno>
#include <memory>
#include <mutex>
#include <sys/stat.h>

namespace {

std::mutex gMutex;
std::unique_ptr<InstanceLock> gSettingsLock;
// The errno with which the settings folder's file system refused its lock at the last try.
int gSettingsLockUnsupported = 0;

InstanceLock* settingsLockLocked() {
    return gSettingsLock && gSettingsLock->path() == InstanceGuard::settingsLockFilePath()
               ? gSettingsLock.get()
               : nullptr;
}

} // namespace

QString InstanceGuard::settingsLockFilePath() {
    return SettingsStore::lockFilePath();
}

QString InstanceGuard::workAreaLockFilePath() {
    return WorkFolder::lockFilePath();
}

bool InstanceGuard::tryAcquire() {
    std::lock_guard lock(gMutex);
    const QString folder = QFileInfo(settingsLockFilePath()).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        // The settings hold the customer's account data: a new folder is the user's alone.
        QDir().mkpath(QFileInfo(folder).absolutePath());
        ::mkdir(QFile::encodeName(folder).constData(), 0700);
    }
    if (!settingsLockLocked()) {
        gSettingsLock = std::make_unique<InstanceLock>(settingsLockFilePath());
    }
    // Only another holder stops this program. A lock that cannot be made at all (no work area can
    // be made, a folder that cannot be written) stops nothing here: the work area check then
    // refuses every job, as it does without a work area, and settings that cannot be written are
    // told as such.
    const InstanceLock::Result settings = gSettingsLock->tryLock();
    gSettingsLockUnsupported =
        settings == InstanceLock::Result::Unsupported ? gSettingsLock->lastError() : 0;
    if (settings != InstanceLock::Result::Acquired) {
        gSettingsLock.reset();
        if (settings == InstanceLock::Result::Held) {
            return false;
        }
    }
    if (WorkFolder::lockWorkArea() == InstanceLock::Result::Held) {
        WorkFolder::unlockWorkArea();
        gSettingsLock.reset();
        return false;
    }
    return true;
}

bool InstanceGuard::holdsLocks() {
    std::lock_guard lock(gMutex);
    const InstanceLock* settings = settingsLockLocked();
    return settings != nullptr && settings->isLocked() && WorkFolder::holdsWorkAreaLock();
}

void InstanceGuard::release() {
    std::lock_guard lock(gMutex);
    WorkFolder::unlockWorkArea();
    gSettingsLock.reset();
}

std::optional<LockHolder> InstanceGuard::otherInstance() {
    if (auto holder = InstanceLock::otherHolder(settingsLockFilePath())) {
        return holder;
    }
    return WorkFolder::otherWorkAreaHolder();
}

QList<LockHolder> InstanceGuard::takenOverHolders() {
    QList<LockHolder> holders;
    {
        std::lock_guard lock(gMutex);
        if (const InstanceLock* settings = settingsLockLocked()) {
            if (settings->previousHolder()) {
                holders.append(*settings->previousHolder());
            }
        }
    }
    if (const auto work = WorkFolder::previousWorkAreaHolder()) {
        if (holders.isEmpty() || holders.first().pid != work->pid ||
            holders.first().startTime != work->startTime) {
            holders.append(*work);
        }
    }
    return holders;
}

QList<InstanceGuard::UnlockableFolder> InstanceGuard::unlockableFolders() {
    QList<UnlockableFolder> folders;
    {
        std::lock_guard lock(gMutex);
        if (gSettingsLockUnsupported != 0) {
            folders.append({QStringLiteral("設定フォルダ"),
                            QFileInfo(settingsLockFilePath()).absolutePath(),
                            gSettingsLockUnsupported, QStringLiteral("XDG_CONFIG_HOME")});
        }
    }
    if (const std::optional<int> error = WorkFolder::workAreaLockUnsupported()) {
        folders.append({QStringLiteral("作業フォルダ"), WorkFolder::workFolderPath(), *error,
                        QString::fromLatin1(WorkFolder::kWorkAreaVariable)});
    }
    return folders;
}

bool InstanceGuard::tellUnlockableFolders() {
    const QList<UnlockableFolder> folders = unlockableFolders();
    if (folders.isEmpty()) {
        return false;
    }
    QStringList texts;
    for (const UnlockableFolder& folder : folders) {
        const bool workArea = folder.variable == QLatin1String(WorkFolder::kWorkAreaVariable);
        Log::outputLn(
            QStringLiteral("%1（%2）をロックできません（%3）。環境変数 %4 で別のフォルダを指定"
                           "してください%5")
                .arg(folder.label, folder.folder,
                     folder.error == ENOLCK
                         ? QStringLiteral("ロックのサービスがないディスク、ENOLCK")
                         : QStringLiteral("ロックに対応していないディスク、errno %1")
                               .arg(folder.error),
                     folder.variable,
                     workArea ? QStringLiteral("。それまで注文は処理できません") : QString()));
        texts.append(WorkFolder::lockUnsupportedText(folder.label, folder.folder, folder.error,
                                                     folder.variable));
    }
    Tool::alertWithMsg(QStringLiteral("フォルダをロックできません"),
                       texts.join(QStringLiteral("\n\n")));
    return true;
}

bool InstanceGuard::isZipPoolFile() {
    return !orbel::directoryZipPathArray(WorkFolder::orderZipPoolFolderPath()).isEmpty();
}

void InstanceGuard::killMultipleApp(int timeoutMs) {
    // A holder that has just taken a lock names itself a moment later.
    const QDeadlineTimer naming(2000);
    std::optional<LockHolder> other = otherInstance();
    while (other && other->pid <= 0 && !naming.hasExpired()) {
        QThread::msleep(50);
        other = otherInstance();
    }
    if (!other || other->pid <= 0 || !other->isRunning()) {
        return; // free by now, or a process this machine cannot end
    }
    Tool::simpleShell(QStringLiteral("kill %1").arg(other->pid));
    const QDeadlineTimer deadline(timeoutMs);
    // It writes its clean-exit mark and its settings before it lets go of its locks; this one
    // reads the settings only after that.
    while (!deadline.hasExpired()) {
        if (tryAcquire()) {
            return;
        }
        const std::optional<LockHolder> now = otherInstance();
        if (now && now->pid > 0 && (now->pid != other->pid || now->startTime != other->startTime)) {
            return; // yet another program took them meanwhile
        }
        QThread::msleep(50);
    }
}

bool InstanceGuard::isAlreadyBooted() {
    if (tryAcquire()) {
        return false;
    }
    if (!isZipPoolFile()) {
        killMultipleApp();
    }
    return !tryAcquire();
}
