#pragma once

// What the upload benchmarks share: their own home, the lab substitute on loopback, an archive of
// random bytes and a timed send.

#include "job/JobInfo.h"
#include "job/PoolArchiveRecord.h"
#include "job/SendJob.h"
#include "service/LabConfig.h"
#include "settings/SettingsStore.h"
#include "util/Tool.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace bench {

// What an interrupted benchmark would leave behind: its folders (archives of a gigabyte, in memory
// under /dev/shm) and the lab substitute. The handler uses only async-signal-safe calls.
namespace interrupted {
inline std::vector<std::string> rmArgs;
inline std::vector<char*> rmArgv;
inline volatile sig_atomic_t labPid = 0;

inline void onSignal(int signo) {
    if (const pid_t lab = labPid; lab > 0) {
        ::kill(lab, SIGTERM);
        const timespec step{0, 50'000'000};
        for (int i = 0; i < 100 && ::waitpid(lab, nullptr, WNOHANG) == 0; ++i)
            ::nanosleep(&step, nullptr);
    }
    if (const pid_t rm = ::fork(); rm == 0) {
        ::execv("/bin/rm", rmArgv.data());
        ::_exit(127);
    } else if (rm > 0) {
        while (::waitpid(rm, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    ::_exit(128 + signo);
}
} // namespace interrupted

// On SIGINT, SIGTERM or SIGHUP the folders are removed and the lab substitute ended before the
// benchmark exits; a normal end leaves that to the owners of the folders.
inline void removeOnSignal(const QStringList& folders) {
    interrupted::rmArgv.clear();
    interrupted::rmArgs = {"rm", "-rf", "--"};
    for (const QString& folder : folders)
        interrupted::rmArgs.push_back(QFile::encodeName(folder).toStdString());
    for (std::string& arg : interrupted::rmArgs)
        interrupted::rmArgv.push_back(arg.data());
    interrupted::rmArgv.push_back(nullptr);
    struct sigaction action {};
    action.sa_handler = interrupted::onSignal;
    sigemptyset(&action.sa_mask);
    for (const int signo : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signo, &action, nullptr);
}

// Declared after the temporary folders, so it ends before them: the settings reach the temporary
// home while it still exists, and nothing is left to write at exit (which would make the home
// anew after its removal).
struct SettingsFlushedFirst {
    SettingsFlushedFirst() = default;
    SettingsFlushedFirst(const SettingsFlushedFirst&) = delete;
    SettingsFlushedFirst& operator=(const SettingsFlushedFirst&) = delete;
    ~SettingsFlushedFirst() { SettingsStore::flush(); }
};

// A benchmark's own home and lab folder, in memory when the machine offers it (so the server's disk
// writes do not blur the figures), removed at the end and on an interrupt. HOME and the XDG
// folders point into it, and alerts answer themselves.
class BenchHome {
public:
    explicit BenchHome(const QString& name) : home_(tempBase(name)), labRoot_(tempBase(name)) {
        if (!isValid())
            return;
        removeOnSignal({home_.path(), labRoot_.path()});
        qputenv("HOME", QFile::encodeName(home_.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(filePath(QStringLiteral(".config"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(filePath(QStringLiteral(".local/share"))));
        Tool::setAlertResponder([](const AlertRequest&) { return AlertAnswer{}; });
    }
    bool isValid() const { return home_.isValid() && labRoot_.isValid(); }
    QString filePath(const QString& name) const { return home_.filePath(name); }
    QString labRoot() const { return labRoot_.path(); }
    QString labFilePath(const QString& name) const { return labRoot_.filePath(name); }

private:
    static QString tempBase(const QString& name) {
        const QString pattern = name + QStringLiteral("-XXXXXX");
        return QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                   ? QStringLiteral("/dev/shm/") + pattern
                   : QDir::tempPath() + u'/' + pattern;
    }

    QTemporaryDir home_;
    QTemporaryDir labRoot_;
    SettingsFlushedFirst settingsFlushed_; // ends before the folders
};

// The lab substitute on free loopback ports, with HALVIX_LAB_CONF pointing at it.
class LabServer {
public:
    explicit LabServer(const QString& root) {
        // This file's folder is bench/ of the source tree.
        process.setProgram(QFileInfo(QStringLiteral(__FILE__)).absolutePath() +
                           QStringLiteral("/../tools/labsim/labsim"));
        process.setArguments({QStringLiteral("--root"), root});
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
        const QString portsFile = root + QStringLiteral("/ports");
        const QDeadlineTimer deadline(15000);
        while (!deadline.hasExpired() && process.state() != QProcess::NotRunning) {
            QFile ports(portsFile);
            if (ports.open(QIODevice::ReadOnly) && ports.readAll().contains("ftp=")) {
                qputenv("HALVIX_LAB_CONF", QFile::encodeName(root + QStringLiteral("/lab.conf")));
                LabConfig::reload();
                interrupted::labPid = static_cast<pid_t>(process.processId());
                up = true;
                return;
            }
            process.waitForFinished(50);
        }
    }
    ~LabServer() {
        interrupted::labPid = 0;
        process.terminate();
        if (!process.waitForFinished(10000))
            process.kill();
        process.waitForFinished(5000);
    }
    LabServer(const LabServer&) = delete;
    LabServer& operator=(const LabServer&) = delete;

    bool up = false;

private:
    QProcess process;
};

inline double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

inline bool writeArchive(const QString& path, qint64 bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1 << 20, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(block.data()),
                                          block.size() / 4);
    for (qint64 written = 0; written < bytes; written += block.size()) {
        const qint64 n = std::min<qint64>(block.size(), bytes - written);
        if (file.write(block.constData(), n) != n)
            return false;
    }
    return file.flush();
}

// One send of the send stage, timed into times. The stage deletes the archive it sent, so each send
// gets a fresh link to the master's data and the packing record the zip stage would leave (packed).
inline bool timedSend(const QString& master, const PoolArchiveRecord& packed,
                      const QString& archive, QList<double>& times) {
    QFile::remove(archive);
    PoolArchiveRecord::remove(archive);
    if (::link(QFile::encodeName(master).constData(), QFile::encodeName(archive).constData()) ||
        !packed.write(archive))
        return false;
    JobInfo info({}, QString(), nullptr, nullptr);
    SendJob job(info);
    QElapsedTimer timer;
    timer.start();
    const bool sent = job.start(archive);
    times.append(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    if (!sent)
        std::fprintf(stderr, "the send stage failed\n");
    return sent;
}

} // namespace bench
