// The zip stage against one plain zip call over the same files, in the same run.
//   bench_zip [small-count... [--large large-count]]
//     (defaults: 1000 and 5000 files of 200 KB, 100 files of 5 MB)
// Goals: at most 1.2x the single call for the small files, at most 1.05x for the large ones, and
// the stage's time per small file flat (within 1.2x) from the smallest to the largest count.
// Runs in a temporary HOME of its own; nothing outside it is touched.

#include "job/JobInfo.h"
#include "job/WorkFolder.h"
#include "job/ZipJob.h"
#include "settings/UserDef.h"
#include "util/ProcessRunner.h"
#include "util/ToolPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

QStringList makeFiles(const QString& folder, int count, qint64 size) {
    QDir().mkpath(folder);
    QStringList files;
    QByteArray data(static_cast<qsizetype>(size), Qt::Uninitialized);
    QRandomGenerator generator(7);
    for (int i = 0; i < count; ++i) {
        generator.fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);
        const QString path = folder + QStringLiteral("/IMG_%1.jpg").arg(i, 5, 10, QLatin1Char('0'));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return {};
        }
        files.append(path);
    }
    return files;
}

double zipStageSeconds(const QStringList& files) {
    JobInfo info(files, QString(), nullptr, nullptr);
    ZipJob job(info);
    QElapsedTimer timer;
    timer.start();
    const bool ok = job.start();
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    QFile::remove(info.zipPoolFilePath());
    UserDef::setObject(qint64(0), QStringLiteral("BagNo"));
    return ok ? seconds : -1.0;
}

double singleCallSeconds(const QStringList& files, const QString& archive) {
    QStringList args{QStringLiteral("-q"),
                     QStringLiteral("-j"),
                     QStringLiteral("-P"),
                     ZipJob::zipPassword(),
                     QStringLiteral("-n"),
                     QStringLiteral(".jpg:.JPG:.jpeg:.JPEG"),
                     archive};
    args += files;
    QElapsedTimer timer;
    timer.start();
    const ProcessResult result = runProcess(ToolPaths::zip(), args);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    QFile::remove(archive);
    return result.succeeded() ? seconds : -1.0;
}

struct Result {
    double stage = -1;
    double single = -1;
};

Result run(const QString& root, const QString& label, int count, qint64 size, double goal) {
    const QString folder = root + QStringLiteral("/in_") + label;
    const QStringList files = makeFiles(folder, count, size);
    if (files.isEmpty()) {
        return {};
    }
    // Files are read once first, and each way runs twice in turn (best of two), so that neither
    // pays for a cold cache or for write-back of the files just made.
    for (const QString& file : files) {
        QFile in(file);
        if (in.open(QIODevice::ReadOnly)) {
            in.readAll();
        }
    }
    Result best;
    for (int round = 0; round < 2; ++round) {
        const double s1 = singleCallSeconds(files, root + QStringLiteral("/single.zip"));
        const double s2 = zipStageSeconds(files);
        best.single = best.single < 0 ? s1 : std::min(best.single, s1);
        best.stage = best.stage < 0 ? s2 : std::min(best.stage, s2);
    }
    const double ratio = best.single > 0 ? best.stage / best.single : 0;
    std::printf("%5d files of %8lld bytes: zip stage %7.2f s (%6.2f ms/file), one zip call "
                "%7.2f s, ratio %.2f (goal <= %.2f) %s\n",
                count, static_cast<long long>(size), best.stage, best.stage * 1000.0 / count,
                best.single, ratio, goal,
                best.stage >= 0 && best.single >= 0 && ratio <= goal ? "OK" : "MISSED");
    std::fflush(stdout);
    QDir(folder).removeRecursively();
    return best;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid()) {
        return 1;
    }
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/.config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/.local/share")));
    qputenv("HALVIX_LAB_CONF", QFile::encodeName(home.path() + QStringLiteral("/no-lab.conf")));
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QList<int> smallCounts;
    int largeCount = 100;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--large") && i + 1 < args.size()) {
            largeCount = args[++i].toInt();
        } else {
            smallCounts.append(args[i].toInt());
        }
    }
    if (smallCounts.isEmpty()) {
        smallCounts = {1000, 5000};
    }

    UserDef::setObject(QStringLiteral("プリント"), QStringLiteral("MainTabLabel"));
    UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
    UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
    UserDef::setObject(QStringLiteral("AcAfterSend"), QStringLiteral("OrderActionType"));
    if (!WorkFolder::checkWorkFolder()) {
        std::fprintf(stderr, "work area not available\n");
        return 1;
    }
    bool met = true;
    QList<double> perFile;
    for (const int count : std::as_const(smallCounts)) {
        const Result r =
            run(home.path(), QStringLiteral("small%1").arg(count), count, 200 * 1024, 1.2);
        met = met && r.stage > 0 && r.single > 0 && r.stage / r.single <= 1.2;
        perFile.append(r.stage / count);
    }
    if (perFile.size() > 1 && perFile.constFirst() > 0) {
        const double growth = perFile.constLast() / perFile.constFirst();
        std::printf("time per small file, %d against %d files: %.2fx (goal <= 1.20) %s\n",
                    smallCounts.constLast(), smallCounts.constFirst(), growth,
                    growth <= 1.2 ? "OK" : "MISSED");
        met = met && growth <= 1.2;
    }
    if (largeCount > 0) {
        const Result r =
            run(home.path(), QStringLiteral("large"), largeCount, 5 * 1024 * 1024, 1.05);
        met = met && r.stage > 0 && r.single > 0 && r.stage / r.single <= 1.05;
    }
    return met ? 0 : 3;
}
