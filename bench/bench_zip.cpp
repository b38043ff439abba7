// The zip stage against one plain zip call over the same files.
//   bench_zip [small-count [large-count]]     (defaults: 1000 files of 200 KB, 100 files of 5 MB)
// Goals: at most 2.0x the single call for the small files, at most 1.05x for the large ones.
// Runs in a temporary HOME of its own; nothing outside it is touched.

#include "job/JobInfo.h"
#include "job/ZipJob.h"
#include "settings/UserDef.h"
#include "util/ProcessRunner.h"
#include "util/ToolPaths.h"
#include "util/WorkFolder.h"

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

void run(const QString& root, const char* label, int count, qint64 size, double goal) {
    const QStringList files =
        makeFiles(root + QStringLiteral("/in_") + QString::fromLatin1(label), count, size);
    if (files.isEmpty()) {
        return;
    }
    // Files are read once first, and each way runs twice in turn (best of two), so that neither
    // pays for a cold cache or for write-back of the files just made.
    for (const QString& file : files) {
        QFile in(file);
        if (in.open(QIODevice::ReadOnly)) {
            in.readAll();
        }
    }
    double single = -1;
    double stage = -1;
    for (int round = 0; round < 2; ++round) {
        const double s1 = singleCallSeconds(files, root + QStringLiteral("/single.zip"));
        const double s2 = zipStageSeconds(files);
        single = single < 0 ? s1 : std::min(single, s1);
        stage = stage < 0 ? s2 : std::min(stage, s2);
    }
    const double ratio = single > 0 ? stage / single : 0;
    std::printf("%-6s %5d files of %8lld bytes: zip stage %7.2f s, one zip call %7.2f s, "
                "ratio %.2f (goal <= %.2f) %s\n",
                label, count, static_cast<long long>(size), stage, single, ratio, goal,
                stage >= 0 && single >= 0 && ratio <= goal ? "OK" : "MISSED");
    QDir(root + QStringLiteral("/in_") + QString::fromLatin1(label)).removeRecursively();
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
    const int smallCount = args.size() > 1 ? args[1].toInt() : 1000;
    const int largeCount = args.size() > 2 ? args[2].toInt() : 100;

    UserDef::setObject(QStringLiteral("プリント"), QStringLiteral("MainTabLabel"));
    UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
    UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
    UserDef::setObject(QStringLiteral("AcAfterSend"), QStringLiteral("OrderActionType"));
    if (!WorkFolder::checkWorkFolder()) {
        std::fprintf(stderr, "work area not available\n");
        return 1;
    }
    run(home.path(), "small", smallCount, 200 * 1024, 2.0);
    run(home.path(), "large", largeCount, 5 * 1024 * 1024, 1.05);
    return 0;
}
