// Upload benchmark: the send stage for one 300 MB archive to the lab substitute on loopback
// against a plain "curl -T" of the same file to the same server. Goal: at most 1.15 times the
// plain upload. Runs in a temporary HOME; never part of the tests.
//
//   ninja -C BUILD bench_upload && BUILD/bench/bench_upload [megabytes] [rounds]

#include "BenchLab.h"
#include "job/JobInfo.h"
#include "job/PoolArchiveRecord.h"
#include "job/SendJob.h"
#include "service/LabConfig.h"
#include "util/ProcessRunner.h"
#include "util/Sha256.h"
#include "util/Tool.h"
#include "util/ToolPaths.h"
#include "util/WorkFolder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

using bench::LabServer;
using bench::median;
using bench::writeArchive;

// hashBeside: a SHA-256 of the same file on a second thread meanwhile, what the send stage's
// check costs at the least; the time counts until both are done.
bool runPlain(const QString& master, const QString& account, QList<double>& times,
              bool hashBeside = false) {
    QElapsedTimer timer;
    timer.start();
    std::thread hash;
    if (hashBeside)
        hash = std::thread([&master] { orbel::Sha256::ofFile(master); });
    const ProcessResult plain =
        runProcess(ToolPaths::curl(),
                   {QStringLiteral("-T"), master, QStringLiteral("-u"), account,
                    QStringLiteral("ftp://%1/ntordrsm2/plain.zip").arg(LabConfig::orderFtpHost())});
    if (hash.joinable())
        hash.join();
    times.append(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    if (!plain.succeeded())
        std::fprintf(stderr, "plain curl failed: %s\n", plain.stderrData.constData());
    return plain.succeeded();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 300;
    const int rounds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 3;

    const bench::BenchHome home(QStringLiteral("bench_upload"));
    if (!home.isValid() || megabytes <= 0 || rounds <= 0)
        return 2;

    LabServer lab(home.labRoot());
    if (!lab.up || !WorkFolder::checkWorkFolder()) {
        std::fprintf(stderr, "the lab substitute or the work area is not available\n");
        return 1;
    }
    const QString master = home.filePath(QStringLiteral("master.bin"));
    if (!writeArchive(master, megabytes * 1'000'000))
        return 1;
    const std::optional<PoolArchiveRecord> packed = PoolArchiveRecord::forArchive(
        master, QString::fromLatin1(PoolArchiveRecord::kHashPacked), {});
    if (!packed)
        return 1;
    const QString name = QStringLiteral("1234_001122AABBCC_0000001.zip");
    const QString archive = WorkFolder::orderZipPoolFolderPath() + QLatin1Char('/') + name;
    const QString serverFolder = home.labFilePath(QStringLiteral("ftp/order/ntordrsm2"));
    const QString account = LabConfig::orderFtpUser() + QStringLiteral(":47kdw9R5");

    QList<double> plainTimes;
    QList<double> hashedTimes;
    QList<double> stageTimes;
    for (int round = 0; round < rounds; ++round) {
        for (const QString& file : QDir(serverFolder).entryList(QDir::Files))
            QFile::remove(serverFolder + QLatin1Char('/') + file);

        // Alternate the order, so neither run always meets the server's disk writes of the other.
        const bool plainFirst = round % 2 == 0;
        for (int step = 0; step < 2; ++step) {
            if ((step == 0) == plainFirst) {
                if (!runPlain(master, account, plainTimes) ||
                    !runPlain(master, account, hashedTimes, true))
                    return 1;
            } else if (!bench::timedSend(master, *packed, archive, stageTimes)) {
                return 1;
            }
        }
        std::printf("round %d: curl -T %.2f s, curl -T beside a SHA-256 of the file %.2f s, send "
                    "stage %.2f s\n",
                    round + 1, plainTimes.last(), hashedTimes.last(), stageTimes.last());
    }
    const double plainMedian = median(plainTimes);
    const double hashedMedian = median(hashedTimes);
    const double stageMedian = median(stageTimes);
    std::printf("%lld MB, %d rounds: curl -T median %.2f s, curl -T beside a SHA-256 median %.2f s "
                "(%.2f), send stage median %.2f s, ratio %.2f (goal <= 1.15)\n",
                static_cast<long long>(megabytes), rounds, plainMedian, hashedMedian,
                hashedMedian / plainMedian, stageMedian, stageMedian / plainMedian);
    return stageMedian / plainMedian <= 1.15 ? 0 : 3;
}
