#pragma once

// What the upload benchmarks share: the lab substitute on loopback and an archive of random bytes.

#include "service/LabConfig.h"
#include "settings/SettingsStore.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <csignal>
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

} // namespace bench
