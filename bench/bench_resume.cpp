// Resume benchmark: one archive (1 GB unless told) to the lab substitute limited to 200 MB/s,
// once unbroken and once broken at 60 % (the job continues it after its first retry pause), in
// the same run. Goals: bytes over the line at most 1.01 x the archive plus the tail read back
// before the resume, and time at most 1.10 x the unbroken send plus the retry pause.
// Runs in a temporary HOME; never part of the tests.
//
//   ninja -C BUILD bench_resume && BUILD/bench/bench_resume [megabytes]

#include "BenchLab.h"
#include "job/JobInfo.h"
#include "job/JobTestHook.h"
#include "job/SendJob.h"
#include "service/LabConfig.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

using bench::LabServer;
using bench::writeArchive;

bool setFaults(const QString& root, const QJsonObject& faults) {
    QFile file(root + QStringLiteral("/faults.json"));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(QJsonDocument(faults).toJson()) > 0;
}

// Bytes that came over the line for uploads, from the lab's log, from its line `from` on.
qint64 receivedBytes(const QString& root, int& from) {
    QFile log(root + QStringLiteral("/ftp_log.jsonl"));
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> lines = log.readAll().split('\n');
    qint64 total = 0;
    for (int i = from; i < lines.size(); ++i) {
        const QJsonObject entry = QJsonDocument::fromJson(lines.at(i)).object();
        if (entry.value(QStringLiteral("cmd")).toString() == QStringLiteral("RECEIVED"))
            total += entry.value(QStringLiteral("arg")).toString().toLongLong();
    }
    from = static_cast<int>(lines.size()) - 1;
    return total;
}

bool send(const QString& master, const QString& archive, double& seconds) {
    QFile::remove(archive);
    QFile::remove(QFileInfo(archive).path() + QStringLiteral("/.") + QFileInfo(archive).fileName() +
                  QStringLiteral(".json"));
    if (::link(QFile::encodeName(master).constData(), QFile::encodeName(archive).constData()))
        return false;
    JobInfo info({}, QString(), nullptr, nullptr);
    SendJob job(info);
    QElapsedTimer timer;
    timer.start();
    const bool sent = job.start(archive);
    seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    return sent;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 1000;
    const qint64 size = megabytes * 1'000'000;
    constexpr int kRate = 200'000'000;
    constexpr double kTail = 1024 * 1024;

    const QString tempBase = QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm/bench_resume-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/bench_resume-XXXXXX");
    QTemporaryDir home(tempBase);
    QTemporaryDir labRoot(tempBase);
    if (!home.isValid() || !labRoot.isValid() || megabytes <= 0)
        return 2;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral(".local/share"))));
    Tool::setAlertResponder([](const AlertRequest&) { return AlertAnswer{}; });

    LabServer lab(labRoot.path());
    if (!lab.up || !WorkFolder::checkWorkFolder()) {
        std::fprintf(stderr, "the lab substitute or the work area is not available\n");
        return 1;
    }
    const QString master = home.filePath(QStringLiteral("master.bin"));
    if (!writeArchive(master, size))
        return 1;
    const QString archive =
        WorkFolder::orderZipPoolFolderPath() + QStringLiteral("/1234_001122AABBCC_0000001.zip");
    const QString serverFolder = labRoot.filePath(QStringLiteral("ftp/order/ntordrsm2"));
    int logLine = 0;

    setFaults(labRoot.path(), {{QStringLiteral("upload_rate"), kRate}});
    double plainSeconds = 0;
    if (!send(master, archive, plainSeconds))
        return 1;
    const qint64 plainBytes = receivedBytes(labRoot.path(), logLine);
    for (const QString& file : QDir(serverFolder).entryList(QDir::Files))
        QFile::remove(serverFolder + QLatin1Char('/') + file);

    setFaults(labRoot.path(), {{QStringLiteral("upload_rate"), kRate},
                               {QStringLiteral("drop_upload_after"), size * 6 / 10},
                               {QStringLiteral("drop_upload_times"), 1}});
    double brokenSeconds = 0;
    if (!send(master, archive, brokenSeconds))
        return 1;
    const qint64 brokenBytes = receivedBytes(labRoot.path(), logLine);
    const double pause = static_cast<double>(JobTestHook::renameRetryPause().count()) * 5 / 1000;

    const double bytesGoal = 1.01 * static_cast<double>(size) + kTail;
    const double timeGoal = 1.10 * plainSeconds + pause;
    std::printf("%lld MB at %d MB/s: unbroken %.2f s, %lld bytes; broken at 60 %% %.2f s "
                "(retry pause %.0f s), %lld bytes uploaded + up to %.0f read back\n",
                static_cast<long long>(megabytes), kRate / 1'000'000, plainSeconds,
                static_cast<long long>(plainBytes), brokenSeconds, pause,
                static_cast<long long>(brokenBytes), kTail);
    std::printf("bytes %.4f x archive (goal <= 1.01 + tail), time %.2f s (goal <= %.2f s)\n",
                static_cast<double>(brokenBytes) / static_cast<double>(size), brokenSeconds,
                timeGoal);
    return static_cast<double>(brokenBytes) <= bytesGoal && brokenSeconds <= timeGoal ? 0 : 3;
}
