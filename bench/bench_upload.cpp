// Upload benchmark: the send stage for one 300 MB archive against a plain "curl -T" of the same
// file to the same lab substitute, in two settings:
//  - a real line: the lab paced at 20 MB/s and answering every FTP command 40 ms late. Goals: the
//    stage at most 1.05 times the plain upload, and at most 2 FTP connections (logins) for the
//    archive, counted in the lab's log with every command the stage sent;
//  - loopback: as fast as the machine goes, where the stage's check (a SHA-256 of the archive
//    beside the upload) shows; reported beside curl with a SHA-256 of the file meanwhile, the
//    least that check can cost (no goal: there the check competes with curl and the server for
//    the cores, which no real line does).
// Runs in a temporary HOME; never part of the tests.
//
//   ninja -C BUILD bench_upload && BUILD/bench/bench_upload [megabytes] [rounds] [--line-only]

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
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>
#include <thread>

namespace {

using bench::LabServer;
using bench::median;
using bench::writeArchive;

constexpr double kLineGoal = 1.05;
constexpr int kConnectionGoal = 2;

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

// The lab's log of FTP commands, one JSON object a line.
QList<QJsonObject> labLog(const QString& labRoot) {
    QList<QJsonObject> entries;
    QFile file(labRoot + QStringLiteral("/ftp_log.jsonl"));
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.isEmpty())
            entries.append(QJsonDocument::fromJson(line).object());
    return entries;
}

struct Exchange {
    int logins = 0;
    int commands = 0;
    QStringList sequence;
};

// The logins and commands in the lab's log from entry `from` on.
Exchange countSince(const QString& labRoot, qsizetype from) {
    Exchange counted;
    const QList<QJsonObject> entries = labLog(labRoot);
    for (qsizetype i = from; i < entries.size(); ++i) {
        const QString cmd = entries.at(i).value(QStringLiteral("cmd")).toString();
        if (cmd == QLatin1String("LOGIN"))
            ++counted.logins;
        else if (cmd != QLatin1String("RECEIVED") && cmd != QLatin1String("RENAMED")) {
            ++counted.commands;
            counted.sequence.append(cmd);
        }
    }
    return counted;
}

bool setFaults(const QString& labRoot, const QJsonObject& faults) {
    QFile file(labRoot + QStringLiteral("/faults.json"));
    const QByteArray json = QJsonDocument(faults).toJson(QJsonDocument::Compact);
    return file.open(QIODevice::WriteOnly) && file.write(json) == json.size();
}

void clearServerFolder(const QString& serverFolder) {
    for (const QString& file : QDir(serverFolder).entryList(QDir::Files))
        QFile::remove(serverFolder + QLatin1Char('/') + file);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool lineOnly = args.removeAll(QStringLiteral("--line-only")) > 0;
    const qint64 megabytes = args.size() > 0 ? args.at(0).toLongLong() : 300;
    const int rounds = args.size() > 1 ? args.at(1).toInt() : 3;

    const bench::BenchHome home(QStringLiteral("bench_upload"));
    if (!home.isValid() || megabytes <= 0 || rounds <= 0)
        return 2;

    LabServer lab(home.labRoot());
    if (!lab.up) {
        std::fprintf(stderr, "the lab substitute did not come up\n");
        return 1;
    }
    if (!WorkFolder::checkWorkFolder()) {
        std::fprintf(stderr, "the work area is not available\n");
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
    bool met = true;

    // A real line: 20 MB/s, 40 ms for every answer.
    {
        if (!setFaults(home.labRoot(), {{QStringLiteral("upload_rate"), 20'000'000},
                                        {QStringLiteral("command_delay_ms"), 40},
                                        {QStringLiteral("log_all_commands"), true}}))
            return 1;
        QList<double> plainTimes;
        QList<double> stageTimes;
        Exchange stage;
        Exchange plain;
        for (int round = 0; round < rounds; ++round) {
            clearServerFolder(serverFolder);
            const bool plainFirst = round % 2 == 0;
            for (int step = 0; step < 2; ++step) {
                const qsizetype from = labLog(home.labRoot()).size();
                if ((step == 0) == plainFirst) {
                    if (!runPlain(master, account, plainTimes))
                        return 1;
                    plain = countSince(home.labRoot(), from);
                } else {
                    if (!bench::timedSend(master, *packed, archive, stageTimes))
                        return 1;
                    stage = countSince(home.labRoot(), from);
                }
            }
            std::printf("line round %d: curl -T %.2f s, send stage %.2f s\n", round + 1,
                        plainTimes.last(), stageTimes.last());
        }
        const double ratio = median(stageTimes) / median(plainTimes);
        std::printf("line (20 MB/s, 40 ms an answer), %lld MB, %d rounds: curl -T median %.2f s, "
                    "send stage median %.2f s\n",
                    static_cast<long long>(megabytes), rounds, median(plainTimes),
                    median(stageTimes));
        std::printf("  send stage: %d connection(s), %d commands: %s\n", stage.logins,
                    stage.commands, qPrintable(stage.sequence.join(u' ')));
        std::printf("  curl -T:    %d connection(s), %d commands: %s\n", plain.logins,
                    plain.commands, qPrintable(plain.sequence.join(u' ')));
        std::printf("goal: line, send stage <= %.2fx curl -T: %.3fx  %s\n", kLineGoal, ratio,
                    ratio <= kLineGoal ? "met" : "MISSED");
        std::printf("goal: line, at most %d connections per archive: %d  %s\n", kConnectionGoal,
                    stage.logins, stage.logins <= kConnectionGoal ? "met" : "MISSED");
        met = met && ratio <= kLineGoal && stage.logins <= kConnectionGoal;
        if (!setFaults(home.labRoot(), {}))
            return 1;
    }
    if (lineOnly)
        return met ? 0 : 3;

    // Loopback: the machine's own pace.
    QList<double> plainTimes;
    QList<double> hashedTimes;
    QList<double> stageTimes;
    for (int round = 0; round < rounds; ++round) {
        clearServerFolder(serverFolder);
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
        std::printf("loopback round %d: curl -T %.2f s, curl -T beside a SHA-256 of the file "
                    "%.2f s, send stage %.2f s\n",
                    round + 1, plainTimes.last(), hashedTimes.last(), stageTimes.last());
    }
    const double plainMedian = median(plainTimes);
    const double hashedMedian = median(hashedTimes);
    const double stageMedian = median(stageTimes);
    const double ratio = stageMedian / plainMedian;
    std::printf("loopback, %lld MB, %d rounds: curl -T median %.2f s, curl -T beside a SHA-256 "
                "median %.2f s (%.2fx), send stage median %.2f s\n",
                static_cast<long long>(megabytes), rounds, plainMedian, hashedMedian,
                hashedMedian / plainMedian, stageMedian);
    std::printf("  the check's share: a SHA-256 beside the upload costs %.0f %% of curl -T here, "
                "of the stage's %.0f %% over it\n",
                (hashedMedian / plainMedian - 1.0) * 100.0, (ratio - 1.0) * 100.0);
    std::printf("loopback, send stage / curl -T: %.3fx (reported, no goal)\n", ratio);
    return met ? 0 : 3;
}
