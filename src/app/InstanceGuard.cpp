#include "app/InstanceGuard.h"

#include "util/PathUtil.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString procPath(pid_t pid, const char* entry) {
    return QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(entry));
}

// The executable of a process; a rebuilt program's old copy reads "... (deleted)".
QString executableOf(pid_t pid) {
    QString target = QFile::symLinkTarget(procPath(pid, "exe"));
    const QString deleted = QStringLiteral(" (deleted)");
    if (target.endsWith(deleted)) {
        target.chop(deleted.size());
    }
    return target;
}

// The owner of /proc/<pid> is the user the process runs as.
std::optional<uid_t> ownerOf(pid_t pid) {
    struct stat info {};
    if (::stat(QFile::encodeName(procPath(pid, "")).constData(), &info) != 0) {
        return std::nullopt;
    }
    return info.st_uid;
}

QString homeOfUser(uid_t uid) {
    if (const passwd* entry = getpwuid(uid); entry != nullptr && entry->pw_dir != nullptr) {
        return QFile::decodeName(entry->pw_dir);
    }
    return {};
}

QString settingsFolderFrom(const QString& xdgConfigHome, const QString& home) {
    QString config = xdgConfigHome;
    if (config.isEmpty() || !QDir::isAbsolutePath(config)) {
        config = home + QStringLiteral("/.config");
    }
    return QDir::cleanPath(config + QStringLiteral("/halvix2"));
}

} // namespace

std::optional<unsigned long long> InstanceGuard::processStartTime(pid_t pid) {
    QFile file(procPath(pid, "stat"));
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

QString InstanceGuard::settingsFolderOfProcess(pid_t pid) {
    QFile file(procPath(pid, "environ"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QString xdg;
    QString home;
    for (const QByteArray& entry : file.readAll().split('\0')) {
        if (entry.startsWith("XDG_CONFIG_HOME=")) {
            xdg = QFile::decodeName(entry.mid(16));
        } else if (entry.startsWith("HOME=")) {
            home = QFile::decodeName(entry.mid(5));
        }
    }
    if (home.isEmpty()) {
        if (const std::optional<uid_t> owner = ownerOf(pid)) {
            home = homeOfUser(*owner);
        }
    }
    return settingsFolderFrom(xdg, home);
}

QString InstanceGuard::settingsFolderOfThisProcess() {
    return settingsFolderFrom(QFile::decodeName(qgetenv("XDG_CONFIG_HOME")), QDir::homePath());
}

QList<InstanceGuard::Instance> InstanceGuard::runningInstances() {
    const pid_t self = getpid();
    const QString exe = executableOf(self);
    const QString settings = settingsFolderOfThisProcess();
    const uid_t uid = getuid();
    QList<Instance> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& name : entries) {
        bool isPid = false;
        const pid_t pid = static_cast<pid_t>(name.toInt(&isPid));
        if (!isPid || pid <= 0) {
            continue;
        }
        if (ownerOf(pid) != uid) {
            continue;
        }
        if (pid != self && (executableOf(pid) != exe || settingsFolderOfProcess(pid) != settings)) {
            continue;
        }
        const std::optional<unsigned long long> start = processStartTime(pid);
        if (!start) {
            continue;
        }
        found.append({pid, *start});
    }
    // Oldest first; equal start ticks fall back to the process id only as a tie-break.
    std::sort(found.begin(), found.end(), [](const Instance& a, const Instance& b) {
        return a.startTime != b.startTime ? a.startTime < b.startTime : a.pid < b.pid;
    });
    return found;
}

bool InstanceGuard::isZipPoolFile() {
    return !orbel::directoryZipPathArray(WorkFolder::orderZipPoolFolderPath()).isEmpty();
}

void InstanceGuard::killMultipleApp() {
    const QList<Instance> instances = runningInstances();
    if (instances.size() < 2) {
        return;
    }
    const pid_t self = getpid();
    for (const Instance& instance : instances) {
        if (instance.pid == self) {
            continue;
        }
        Tool::simpleShell(QStringLiteral("kill %1").arg(instance.pid));
        // The other instance writes its clean-exit mark and its settings before it goes; this
        // one reads the settings only after that.
        for (int i = 0; i < 100; ++i) {
            const auto start = processStartTime(instance.pid);
            if (!start || *start != instance.startTime) {
                break;
            }
            QThread::msleep(50);
        }
        return; // only the oldest other one
    }
}

bool InstanceGuard::isAlreadyBooted() {
    if (!isZipPoolFile()) {
        killMultipleApp();
    }
    return runningInstances().size() >= 2;
}
