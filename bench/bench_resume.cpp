// Resume benchmark: one archive (1 GB unless told) to the lab substitute limited to 200 MB/s,
// unbroken and broken at 60 % (the job continues it after its first retry pause), alternating
// over the rounds. Goals: bytes over the line at most 1.01 x the archive plus the tail read back
// before the resume, and time (medians) at most 1.10 x the unbroken send plus the retry pause.
// Runs in a temporary HOME in memory, removed at the end, also when interrupted; never part of
// the tests.
//
//   ninja -C BUILD bench_resume && cd BUILD && bench/bench_resume [megabytes] [rounds]

#include "BenchLab.h"
#include "job/JobInfo.h"
#include "job/JobTestHook.h"
#include "job/PoolArchiveRecord.h"
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
#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

using bench::LabServer;
using bench::median;
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

// What the send hashes beside the line: the archive once, while it uploads.
double hashSeconds(const QString& path) {
    QElapsedTimer timer;
    timer.start();
    PoolArchiveRecord::sha256OfFile(path);
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 1000;
    const int rounds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 3;
    const qint64 size = megabytes * 1'000'000;
    constexpr int kRate = 200'000'000;
    constexpr double kTail = 1024 * 1024;

    const bench::BenchHome home(QStringLiteral("bench_resume"));
    if (!home.isValid() || megabytes <= 0 || rounds <= 0)
        return 2;

    LabServer lab(home.labRoot());
    if (!lab.up || !WorkFolder::checkWorkFolder()) {
        std::fprintf(stderr, "the lab substitute or the work area is not available\n");
        return 1;
    }
    const QString master = home.filePath(QStringLiteral("master.bin"));
    if (!writeArchive(master, size))
        return 1;
    const std::optional<PoolArchiveRecord> packed = PoolArchiveRecord::forArchive(
        master, QString::fromLatin1(PoolArchiveRecord::kHashPacked), {});
    if (!packed)
        return 1;
    const QString archive =
        WorkFolder::orderZipPoolFolderPath() + QStringLiteral("/1234_001122AABBCC_0000001.zip");
    const QString serverFolder = home.labFilePath(QStringLiteral("ftp/order/ntordrsm2"));
    const double pause = static_cast<double>(JobTestHook::renameRetryPause().count()) * 5 / 1000;
    int logLine = 0;
    int drops = 0; // the lab counts broken uploads from its start

    QList<double> plainTimes;
    QList<double> brokenTimes;
    qint64 plainBytes = 0;
    qint64 brokenBytes = 0; // the most of any round
    for (int round = 0; round < rounds; ++round) {
        // Alternate the order, so a burst of other load on the machine meets both alike.
        const bool plainFirst = round % 2 == 0;
        for (int step = 0; step < 2; ++step) {
            const bool broken = (step == 0) != plainFirst;
            QJsonObject faults{{QStringLiteral("upload_rate"), kRate}};
            if (broken) {
                faults.insert(QStringLiteral("drop_upload_after"), size * 6 / 10);
                faults.insert(QStringLiteral("drop_upload_times"), ++drops);
            }
            setFaults(home.labRoot(), faults);
            if (!bench::timedSend(master, *packed, archive, broken ? brokenTimes : plainTimes))
                return 1;
            const qint64 bytes = receivedBytes(home.labRoot(), logLine);
            if (broken)
                brokenBytes = std::max(brokenBytes, bytes);
            else
                plainBytes = bytes;
            // Each copy at the lab is as large as the archive, and in memory.
            for (const QString& file : QDir(serverFolder).entryList(QDir::Files))
                QFile::remove(serverFolder + QLatin1Char('/') + file);
        }
        std::printf("round %d: unbroken %.2f s, broken at 60 %% %.2f s (%+.2f s beyond the "
                    "unbroken send and the %.0f s pause)\n",
                    round + 1, plainTimes.last(), brokenTimes.last(),
                    brokenTimes.last() - plainTimes.last() - pause, pause);
    }

    const double plainMedian = median(plainTimes);
    const double brokenMedian = median(brokenTimes);
    const double bytesGoal = 1.01 * static_cast<double>(size) + kTail;
    const double timeGoal = 1.10 * plainMedian + pause;
    std::printf("%lld MB at %d MB/s, %d rounds: unbroken median %.2f s, %lld bytes; broken at "
                "60 %% median %.2f s (retry pause %.0f s), at most %lld bytes uploaded + up to "
                "%.0f read back\n",
                static_cast<long long>(megabytes), kRate / 1'000'000, rounds, plainMedian,
                static_cast<long long>(plainBytes), brokenMedian, pause,
                static_cast<long long>(brokenBytes), kTail);
    std::printf("bytes %.4f x archive (goal <= 1.01 + tail), time %.2f s (goal <= %.2f s); "
                "hashing the archive once takes %.2f s (the send does it beside the upload)\n",
                static_cast<double>(brokenBytes) / static_cast<double>(size), brokenMedian,
                timeGoal, hashSeconds(master));
    return static_cast<double>(brokenBytes) <= bytesGoal && brokenMedian <= timeGoal ? 0 : 3;
}
