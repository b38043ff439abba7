// bench_kept: keeping a delivered 1 GB archive costs a rename, not a copy. Each run puts a sparse
// 1 GB archive with its record into the order pool of a home of its own (on the disk of the
// temporary folder, or --folder), times KeptOrders::keepDelivered (the move, the record, the kept
// time and the pruning after it) and checks that the kept file is the same inode. Goal: the median
// under 10 ms. Exit status 1 when missed or when a file was copied.
#include "job/KeptOrders.h"
#include "job/PoolArchiveRecord.h"
#include "settings/SettingsStore.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr qint64 kArchiveBytes = 1LL << 30;
constexpr double kGoalMs = 10.0;

ino_t inodeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

// A sparse archive of the full size and the record the zip stage writes beside it.
bool makePooledArchive(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    if (fd < 0)
        return false;
    const bool sized = ::ftruncate(fd, kArchiveBytes) == 0;
    ::close(fd);
    PoolArchiveRecord record;
    record.size = kArchiveBytes;
    record.modified = QFileInfo(path).lastModified();
    record.sha256 = QString(64, u'0');
    record.hashSource = QString::fromLatin1(PoolArchiveRecord::kHashPacked);
    return sized && record.write(path);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString base = QDir::tempPath();
    int runs = 20;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == QStringLiteral("--folder"))
            base = args.at(i + 1);
        if (args.at(i) == QStringLiteral("--runs"))
            runs = std::max(1, args.at(i + 1).toInt());
    }
    QTemporaryDir home(base + QStringLiteral("/bench_kept-XXXXXX"));
    if (!home.isValid()) {
        std::fprintf(stderr, "no temporary folder in %s\n", qPrintable(base));
        return 2;
    }
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
    Tool::setAlertResponder([](const AlertRequest&) { return AlertAnswer{}; });
    if (!WorkFolder::checkWorkFolder()) {
        std::fprintf(stderr, "work area not made\n");
        return 2;
    }

    std::vector<double> ms;
    bool copied = false;
    for (int run = 1; run <= runs; ++run) {
        const QString name =
            QStringLiteral("1234_001122AABBCC_%1.zip").arg(run, 7, 10, QChar(u'0'));
        const QString pooled = WorkFolder::orderZipPoolFolderPath() + u'/' + name;
        if (!makePooledArchive(pooled)) {
            std::fprintf(stderr, "archive not made: %s\n", qPrintable(pooled));
            return 2;
        }
        const ino_t before = inodeOf(pooled);
        QElapsedTimer timer;
        timer.start();
        const bool gone = KeptOrders::keepDelivered(pooled);
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        const std::optional<QString> kept = KeptOrders::keptArchivePath(name);
        if (!gone || !kept || inodeOf(*kept) != before) {
            copied = true;
            std::fprintf(stderr, "run %d: not moved by a rename\n", run);
        }
    }
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[sorted.size() / 2];
    std::printf("bench_kept: %d moves of a 1 GB archive into the kept folder (%s)\n", runs,
                qPrintable(KeptOrders::folderPath()));
    std::printf("  median %.3f ms, fastest %.3f ms, slowest %.3f ms; same inode: %s\n", median,
                sorted.front(), sorted.back(), copied ? "no" : "yes");
    const bool met = median < kGoalMs && !copied;
    std::printf("goal: keeping a 1 GB archive < %.0f ms (a rename, not a copy): %s\n", kGoalMs,
                met ? "met" : "MISSED");
    SettingsStore::flush();
    return met ? 0 : 1;
}
