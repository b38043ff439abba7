// The photo check at intake: 5,000 JPEGs of 6000×4000 (sound, Adobe RGB, CMYK, cut short, too
// small)
// dropped on the print list. Measures the intake alone, the intake with the check started, the
// time until every row is judged, the longest main-thread stall meanwhile and the memory growth;
// once with the files in the page cache and once with them evicted (cold).
//   bench_preflight [folder] [files]   (the folder is created and kept; default: a temporary one)
#include "app/FileIntake.h"
#include "app/PreflightJudge.h"
#include "app/PreflightService.h"
#include "util/Tool.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

class Host : public FileIntakeHost {
public:
    QStringList rows;
    PreflightService* service = nullptr;
    qint64 watchUs = 0;
    OrderTab selectedTab() const override { return OrderTab::Print; }
    bool kineloWindowOpen() const override { return false; }
    bool resizeExeChecked() const override { return false; }
    QStringList listFilePaths(FileListKind) const override { return rows; }
    void appendListRows(FileListKind, const QStringList& paths) override {
        rows += paths;
        if (service != nullptr) {
            QElapsedTimer t;
            t.start();
            service->watch(paths);
            watchUs += t.nsecsElapsed() / 1000;
        }
    }
    void reloadList(FileListKind) override {}
    QStringList selectFiles() const override { return rows; }
    void setSelectFiles(const QStringList& files) override { rows = files; }
    void setSelectInfo(const QString&) override {}
    void comViewRefresh() override {}
    void dragDropOff() override {}
    void dragDropOn() override {}
};

long residentKb() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

bool run(const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(QStringLiteral("convert"), args);
    return p.waitForFinished(300000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void evict(const QStringList& files) {
    for (const QString& file : files) {
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY);
        if (fd >= 0) {
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
    }
}

QStringList makeFiles(const QString& folder, int count) {
    QDir().mkpath(folder);
    const QString sound = folder + QStringLiteral("/t_sound.jpeg");
    const QString cmyk = folder + QStringLiteral("/t_cmyk.jpeg");
    const QString small = folder + QStringLiteral("/t_small.jpeg");
    if (!QFile::exists(sound) &&
        !run({QStringLiteral("-size"), QStringLiteral("6000x4000"), QStringLiteral("xc:#4070b0"),
              QStringLiteral("-sampling-factor"), QStringLiteral("2x2"), sound})) {
        return {};
    }
    if (!QFile::exists(cmyk) &&
        !run({QStringLiteral("-size"), QStringLiteral("6000x4000"), QStringLiteral("xc:#4070b0"),
              QStringLiteral("-colorspace"), QStringLiteral("CMYK"),
              QStringLiteral("-sampling-factor"), QStringLiteral("2x2"), cmyk})) {
        return {};
    }
    if (!QFile::exists(small) && !run({QStringLiteral("-size"), QStringLiteral("900x600"),
                                       QStringLiteral("xc:#4070b0"), small})) {
        return {};
    }
    // A camera's Adobe RGB setting: the colour profile is read from the header too.
    const QString adobe = folder + QStringLiteral("/t_adobe.jpeg");
    if (!QFile::exists(adobe) &&
        !run({QStringLiteral("-size"), QStringLiteral("6000x4000"), QStringLiteral("xc:#4070b0"),
              QStringLiteral("-sampling-factor"), QStringLiteral("2x2"), QStringLiteral("-profile"),
              QStringLiteral("/usr/share/color/icc/compatibleWithAdobeRGB1998.icc"), adobe})) {
        return {};
    }
    const QByteArray soundBytes = readAll(sound);
    const QByteArray kinds[] = {soundBytes, readAll(adobe), readAll(cmyk),
                                soundBytes.left(soundBytes.size() * 6 / 10), readAll(small)};
    QStringList files;
    for (int i = 0; i < count; ++i) {
        // 6 in 10 sound, then one each of Adobe RGB, CMYK, cut short and too small.
        const int kind = i % 10 < 6 ? 0 : i % 10 - 5;
        const QString file =
            QStringLiteral("%1/IMG_%2.jpg").arg(folder).arg(i, 5, 10, QLatin1Char('0'));
        if (!QFile::exists(file) || QFileInfo(file).size() != kinds[kind].size()) {
            QFile out(file);
            if (!out.open(QIODevice::WriteOnly) || out.write(kinds[kind]) != kinds[kind].size()) {
                return {};
            }
        }
        files << file;
    }
    return files;
}

struct Figures {
    qint64 intakeUs = 0;
    qint64 judgedMs = 0;
    qint64 longestStallMs = 0; // after the intake returned, while the rows are judged
    qint64 longestBatchUs = 0; // one announcement of read files, judged on the main thread
    qint64 watchUs = 0;        // inside the intake: handing the rows to the check
    long memoryGrowthKb = 0;
    int judged = 0;
    int attention = 0;
    int red = 0;
};

qint64 intakeOnly(const QStringList& files) {
    Host host;
    FileIntake intake(host);
    QElapsedTimer timer;
    timer.start();
    intake.dragDropFolderAndFiles(files);
    return timer.nsecsElapsed() / 1000;
}

Figures withPreflight(const QStringList& files, int threads) {
    Figures figures;
    const long before = residentKb();
    long peak = before;
    Host host;
    FileIntake intake(host);
    {
        PreflightService service(nullptr, threads);
        host.service = &service;
        const QString sizeName = QStringLiteral("Lサイズ（89×127）");
        QObject::connect(&service, &PreflightService::factsReady, [&](const QStringList& paths) {
            QElapsedTimer handling;
            handling.start();
            for (const QString& path : paths) {
                const auto facts = service.facts(path);
                if (!facts) {
                    continue;
                }
                const PreflightVerdict verdict =
                    PreflightJudge::judgeForSizeName(*facts, QFileInfo(path).fileName(), sizeName);
                ++figures.judged;
                figures.attention += verdict.needsAttention() ? 1 : 0;
                figures.red += verdict.level == PreflightLevel::Warning ? 1 : 0;
            }
            figures.longestBatchUs =
                std::max(figures.longestBatchUs, handling.nsecsElapsed() / 1000);
        });
        QElapsedTimer timer;
        timer.start();
        intake.dragDropFolderAndFiles(files);
        figures.intakeUs = timer.nsecsElapsed() / 1000;
        figures.watchUs = host.watchUs;

        // A 1 ms tick on the main thread: the longest gap between ticks is the longest stall.
        QElapsedTimer sinceTick;
        sinceTick.start();
        QTimer tick;
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            figures.longestStallMs = std::max(figures.longestStallMs, sinceTick.restart());
            peak = std::max(peak, residentKb());
        });
        tick.start();
        QElapsedTimer deadline;
        deadline.start();
        while (figures.judged < files.size() && deadline.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        figures.judgedMs = timer.elapsed();
        tick.stop();
        peak = std::max(peak, residentKb());
        figures.memoryGrowthKb = peak - before;
        host.service = nullptr;
    }
    return figures;
}

// The same 1 ms tick with nothing else to do: the stalls the machine itself causes (other
// processes on the same cores), to tell them from the check's own.
qint64 idleStallMs(qint64 forMs) {
    QElapsedTimer sinceTick;
    sinceTick.start();
    qint64 longest = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { longest = std::max(longest, sinceTick.restart()); });
    tick.start();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < forMs) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return longest;
}

qint64 median(std::vector<qint64> v) {
    std::sort(v.begin(), v.end());
    return v.at(v.size() / 2);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Tool::setAlertResponder([](const AlertRequest& request) {
        std::fprintf(stderr, "alert: %s\n", qPrintable(request.message));
        return AlertAnswer{};
    });
    QTemporaryDir temp;
    const QString folder =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.filePath(QStringLiteral("photos"));
    const int count = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 5000;
    QElapsedTimer made;
    made.start();
    const QStringList files = makeFiles(folder, count);
    if (files.size() != count) {
        std::fprintf(stderr, "cannot make the photos in %s\n", qPrintable(folder));
        return 1;
    }
    qint64 bytes = 0;
    for (const QString& f : files) {
        bytes += QFileInfo(f).size();
    }
    std::printf("%d JPEGs of 6000x4000 (6/10 sound, 1/10 Adobe RGB, 1/10 CMYK, 1/10 cut short, "
                "1/10 900x600): "
                "%.0f MB, made in %lld ms\n",
                count, bytes / 1e6, static_cast<long long>(made.elapsed()));

    const int threads = 2;
    const int kRounds = 5;
    {
        // The check's own share of the intake, without the noise of the intake around it.
        std::vector<qint64> watchUs;
        for (int round = 0; round < kRounds; ++round) {
            PreflightService service(nullptr, threads);
            QElapsedTimer t;
            t.start();
            service.watch(files);
            watchUs.push_back(t.nsecsElapsed() / 1000);
            service.release(files);
        }
        std::printf("handing %d rows to the check: %.2f ms (median of %d)\n", count,
                    median(watchUs) / 1000.0, kRounds);
    }
    for (const bool cold : {false, true}) {
        std::vector<qint64> plain;
        std::vector<qint64> checked;
        Figures last;
        Figures worst;
        qint64 idle = 0;
        for (int round = 0; round < kRounds; ++round) {
            if (cold) {
                evict(files);
            }
            plain.push_back(intakeOnly(files));
            if (cold) {
                evict(files);
            }
            last = withPreflight(files, threads);
            checked.push_back(last.intakeUs);
            worst.judgedMs = std::max(worst.judgedMs, last.judgedMs);
            worst.longestStallMs = std::max(worst.longestStallMs, last.longestStallMs);
            worst.memoryGrowthKb = std::max(worst.memoryGrowthKb, last.memoryGrowthKb);
            worst.watchUs = std::max(worst.watchUs, last.watchUs);
            worst.longestBatchUs = std::max(worst.longestBatchUs, last.longestBatchUs);
            idle = std::max(idle, idleStallMs(last.judgedMs));
        }
        const qint64 p = median(plain);
        const qint64 c = median(checked);
        std::printf("\n%s page cache, %d worker threads, %d rounds:\n", cold ? "cold" : "warm",
                    threads, kRounds);
        std::printf("  intake without check: %.1f ms (median)\n", p / 1000.0);
        std::printf("  intake with check started: %.1f ms (median), %+.1f %%\n", c / 1000.0,
                    p > 0 ? (c - p) * 100.0 / p : 0.0);
        std::printf("  of which handing 5,000 rows to the check: %.1f ms (worst round)\n",
                    worst.watchUs / 1000.0);
        std::printf("  every row judged after: %lld ms (worst round)\n",
                    static_cast<long long>(worst.judgedMs));
        std::printf(
            "  longest main-thread stall: %lld ms (worst round, after the intake returned)\n",
            static_cast<long long>(worst.longestStallMs));
        std::printf("  longest stall of the same loop with nothing running: %lld ms\n",
                    static_cast<long long>(idle));
        std::printf("  longest batch of verdicts on the main thread: %.1f ms\n",
                    worst.longestBatchUs / 1000.0);
        std::printf("  memory growth: %.1f MB (worst round)\n", worst.memoryGrowthKb / 1024.0);
        std::printf("  verdicts: %d judged, %d need attention, %d red\n", last.judged,
                    last.attention, last.red);
    }
    return 0;
}
