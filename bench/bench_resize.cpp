// Resize benchmark: halvix-sips scaling eight 6000 × 4000 photo-like JPEGs to the order pipeline's
// 1999-pixel short side (2998 × 1999), against vipsthumbnail, ImageMagick and the floor of
// libjpeg-turbo's own DCT scaling (djpeg -scale 1/2 | cjpeg). Prints wall and CPU time per image
// (best of several passes), the ratios, and each command's peak resident memory.
//
//   bench_resize [--images N] [--runs N] [--work FOLDER]
//   bench_resize --stage [--images N] [--runs N] [--processes N] [--work FOLDER]
//
// --work keeps the generated photos in FOLDER and reuses them on the next run.
//
// --stage runs the resize stage itself (ResizeJob, 32 photos unless told) with one image tool
// per core (or --processes) against the same stage with one image tool, alternating within the
// same run, and compares every output byte for byte with the one-tool run.
#include "job/JobInfo.h"
#include "job/ResizeJob.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <map>
#include <optional>
#include <sched.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct Measure {
    bool ok = false;
    double wallSeconds = 0;
    double cpuSeconds = 0;
    long peakKilobytes = 0; // the largest resident set of the command and its children
};

// Runs argv (no shell unless argv says so) with extra environment entries; times it with the
// wall clock and the child's rusage from wait4.
Measure runMeasured(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    std::vector<std::string> environment = env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const std::string key = entry.substr(0, entry.find('='));
        const bool overridden = std::any_of(env.begin(), env.end(), [&](const std::string& x) {
            return x.compare(0, key.size() + 1, key + "=") == 0;
        });
        if (!overridden) {
            environment.push_back(entry);
        }
    }
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : environment) {
        envp.push_back(const_cast<char*>(e.c_str()));
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    Measure measure;
    if (spawned != 0) {
        return measure;
    }
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid) {
        return measure;
    }
    const auto end = std::chrono::steady_clock::now();
    measure.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    measure.wallSeconds = std::chrono::duration<double>(end - start).count();
    measure.cpuSeconds = double(usage.ru_utime.tv_sec) + double(usage.ru_utime.tv_usec) / 1e6 +
                         double(usage.ru_stime.tv_sec) + double(usage.ru_stime.tv_usec) / 1e6;
    measure.peakKilobytes = usage.ru_maxrss;
    return measure;
}

std::string quoted(const QString& path) {
    QString text = path;
    text.replace(QStringLiteral("'"), QStringLiteral("'\\''"));
    return "'" + text.toStdString() + "'";
}

struct Contender {
    std::string name;
    std::function<std::vector<std::string>(const QString& in, const QString& out)> command;
    std::vector<std::string> env;
};

struct Result {
    double bestWall = 1e30; // seconds per image, best pass
    double bestCpu = 1e30;
    long peakKilobytes = 0;
    qint64 outputBytes = 0; // all outputs of the last pass
    bool ok = true;
};

QString sipsProgram() {
    const QString fromEnvironment = qEnvironmentVariable("HALVIX_SIPS");
    if (!fromEnvironment.isEmpty()) {
        return fromEnvironment;
    }
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/halvix-sips");
}

QString magick(const QString& name) {
    const QString system = QStringLiteral("/usr/bin/") + name;
    return QFileInfo::exists(system) ? system : name;
}

bool makePhoto(const QString& path, int seed) {
    // A fractal scaled up with fine noise on top: every block carries detail, as in a photo.
    const std::vector<std::string> argv{magick(QStringLiteral("convert")).toStdString(),
                                        "-size",
                                        "1500x1000",
                                        "-seed",
                                        std::to_string(seed),
                                        "plasma:fractal",
                                        "-resize",
                                        "6000x4000!",
                                        "-seed",
                                        std::to_string(seed),
                                        "-attenuate",
                                        "0.4",
                                        "+noise",
                                        "Gaussian",
                                        "-quality",
                                        "92",
                                        path.toStdString()};
    return runMeasured(argv, {}).ok;
}

// What one run of the stage gave.
struct StageRun {
    bool ok = false;
    double seconds = 0;
    QMap<QString, QByteArray> digests; // output file name -> SHA-256 of its bytes
};

StageRun runStage(const QStringList& photos, int processes) {
    StageRun run;
    JobInfo info(photos, QString(), nullptr, nullptr);
    ResizeJob job(info);
    job.setMaxProcesses(processes);
    const auto start = std::chrono::steady_clock::now();
    run.ok = job.start();
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const QDir folder(info.resizeFolderPath());
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly)) {
            run.digests.insert(
                name, QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256));
        }
    }
    return run;
}

std::string firstUsableCore() {
    cpu_set_t usable;
    CPU_ZERO(&usable);
    if (sched_getaffinity(0, sizeof usable, &usable) == 0) {
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &usable)) {
                return std::to_string(cpu);
            }
        }
    }
    return "0";
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The bare image tool over every photo with `processes` commands at once, no stage around it:
// what the machine itself allows, to tell the stage's own cost from other load on the machine.
double bareTools(const QStringList& photos, const QString& outFolder, const std::string& sips,
                 int processes) {
    std::atomic<qsizetype> next{0};
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (int t = 0; t < processes; ++t) {
        threads.emplace_back([&] {
            for (qsizetype i = next++; i < photos.size(); i = next++) {
                const QString out = outFolder + QStringLiteral("/bare%1.jpg").arg(i);
                runMeasured({sips, "-s", "formatOptions", "high", "-Z", "2998",
                             photos[i].toStdString(), "--out", out.toStdString()},
                            {});
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The stage with `processes` image tools against the stage with one, alternating the order from
// round to round so that other load on the machine hits both alike.
int stageBenchmark(const QStringList& photos, int processes, int rounds, const QString& outFolder,
                   const std::string& sips) {
    UserDef::setObject(QStringLiteral("リサイズ"), SettingsKey::MainTabLabel);
    UserDef::setResizeDic({{SettingsKey::ResizeResizeCbKey, QStringLiteral("ON")},
                           {SettingsKey::ResizeSizePopKey,
                            QVariantMap{{QStringLiteral("name"), QStringLiteral("2L判")},
                                        {QStringLiteral("resize_pix"), QStringLiteral("1999")}}}});
    std::vector<double> one;
    std::vector<double> many;
    QMap<QString, QByteArray> reference;
    bool identical = true;
    bool ok = true;
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool parallel = (round + turn) % 2 == 1;
            const StageRun run = runStage(photos, parallel ? processes : 1);
            ok = ok && run.ok && run.digests.size() == photos.size();
            if (reference.isEmpty() && !parallel) {
                reference = run.digests;
            } else if (!reference.isEmpty()) {
                identical = identical && run.digests == reference;
            }
            (parallel ? many : one).push_back(run.seconds);
            std::printf("round %d: %d image tool%s  %6.2f s%s\n", round + 1,
                        parallel ? processes : 1, parallel && processes > 1 ? "s" : " ",
                        run.seconds, run.ok ? "" : "  (FAILED)");
            std::fflush(stdout);
        }
    }
    if (reference.isEmpty()) {
        ok = false;
    }
    std::vector<double> bareOne;
    std::vector<double> bareMany;
    for (int round = 0; round < rounds; ++round) {
        bareOne.push_back(bareTools(photos, outFolder, sips, 1));
        bareMany.push_back(bareTools(photos, outFolder, sips, processes));
    }
    struct rusage children {};
    getrusage(RUSAGE_CHILDREN, &children);
    const double ratio = median(many) / median(one);
    std::printf("\nresize stage, %lld photos of 6000x4000 to a 1999-pixel short side\n",
                static_cast<long long>(photos.size()));
    std::printf("  1 image tool:  median %.2f s, best %.2f s\n", median(one),
                *std::min_element(one.begin(), one.end()));
    std::printf("  %d image tools: median %.2f s, best %.2f s\n", processes, median(many),
                *std::min_element(many.begin(), many.end()));
    std::printf("  ratio (median): %.2fx   goal <= 0.60x on 2 cores\n", ratio);
    std::printf("  outputs identical to the one-tool run: %s\n", identical ? "yes" : "NO");
    std::printf("  bare image tools, no stage: 1 at a time median %.2f s, %d at a time %.2f s, "
                "ratio %.2fx (what the machine allows now)\n",
                median(bareOne), processes, median(bareMany), median(bareMany) / median(bareOne));
    std::printf("  largest image tool: %.1f MB resident   goal < 100 MB\n",
                double(children.ru_maxrss) / 1024.0);
    std::printf("cores: %ld (ideal thread count %d), rounds: %d\n", sysconf(_SC_NPROCESSORS_ONLN),
                QThread::idealThreadCount(), rounds);
    return ok && identical ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    const bool stage = args.removeAll(QStringLiteral("--stage")) > 0;
    int imageCount = stage ? 32 : 8;
    int runs = stage ? 2 : 3;
    int processes = std::max(1, QThread::idealThreadCount());
    QString workFolder;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QStringLiteral("--images")) {
            imageCount = std::max(1, args[i + 1].toInt());
        } else if (args[i] == QStringLiteral("--runs")) {
            runs = std::max(1, args[i + 1].toInt());
        } else if (args[i] == QStringLiteral("--processes")) {
            processes = std::max(1, args[i + 1].toInt());
        } else if (args[i] == QStringLiteral("--work")) {
            workFolder = args[i + 1];
        }
    }
    // The stage keeps its settings, work area and log in a home of its own, and its usage
    // reports go nowhere.
    QTemporaryDir stageHome;
    if (stage) {
        if (!stageHome.isValid()) {
            std::fprintf(stderr, "no temporary folder\n");
            return 1;
        }
        QFile conf(stageHome.filePath(QStringLiteral("lab.conf")));
        if (!conf.open(QIODevice::WriteOnly) ||
            conf.write("analysis_server=http://127.0.0.1:9\n") < 0) {
            std::fprintf(stderr, "cannot write the lab configuration\n");
            return 1;
        }
        conf.close();
        qputenv("HOME", QFile::encodeName(stageHome.path()));
        qputenv("XDG_CONFIG_HOME",
                QFile::encodeName(stageHome.filePath(QStringLiteral(".config"))));
        qputenv("XDG_DATA_HOME",
                QFile::encodeName(stageHome.filePath(QStringLiteral(".local/share"))));
        qputenv("HALVIX_LAB_CONF", QFile::encodeName(conf.fileName()));
    }
    QTemporaryDir temporary;
    if (workFolder.isEmpty()) {
        if (!temporary.isValid()) {
            std::fprintf(stderr, "no temporary folder\n");
            return 1;
        }
        workFolder = temporary.path();
    }
    QDir().mkpath(workFolder + QStringLiteral("/out"));

    const QString sips = sipsProgram();
    if (!QFileInfo(sips).isExecutable()) {
        std::fprintf(stderr, "halvix-sips not found at %s (build it, or set HALVIX_SIPS)\n",
                     qPrintable(sips));
        return 1;
    }

    std::printf("generating %d photos of 6000x4000 in %s ...\n", imageCount,
                qPrintable(workFolder));
    std::fflush(stdout);
    QStringList photos;
    for (int i = 0; i < imageCount; ++i) {
        const QString photo = workFolder + QStringLiteral("/photo%1.jpg").arg(i + 1);
        if (!QFileInfo::exists(photo) && !makePhoto(photo, 100 + i)) {
            std::fprintf(stderr, "cannot make %s\n", qPrintable(photo));
            return 1;
        }
        photos.append(photo);
    }

    if (stage) {
        qputenv("HALVIX_SIPS", QFile::encodeName(sips));
        return stageBenchmark(photos, processes, runs, workFolder + QStringLiteral("/out"),
                              sips.toStdString());
    }

    const std::string sipsPath = sips.toStdString();
    // halvix-sips decodes on one thread and encodes on another where it has two cores, as the
    // floor's two processes do; held to one core, both show what the overlap gives.
    const std::string oneCore = firstUsableCore();
    const std::vector<Contender> contenders{
        {"halvix-sips high (Q92 4:4:4)",
         [&](const QString& in, const QString& out) {
             return std::vector<std::string>{sipsPath,         "-s",    "formatOptions",
                                             "high",           "-Z",    "2998",
                                             in.toStdString(), "--out", out.toStdString()};
         },
         {}},
        {"halvix-sips high, held to one core",
         [&](const QString& in, const QString& out) {
             return std::vector<std::string>{
                 "taskset", "-c", oneCore, sipsPath,         "-s",    "formatOptions",
                 "high",    "-Z", "2998",  in.toStdString(), "--out", out.toStdString()};
         },
         {}},
        {"vipsthumbnail --size 2998x2998 (Q75 4:2:0)",
         [](const QString& in, const QString& out) {
             return std::vector<std::string>{"vipsthumbnail",  "--size", "2998x2998",
                                             in.toStdString(), "-o",     out.toStdString()};
         },
         {}},
        {"vipsthumbnail --size 2998x2998 [Q=92]",
         [](const QString& in, const QString& out) {
             return std::vector<std::string>{
                 "vipsthumbnail",  "--size", "2998x2998",
                 in.toStdString(), "-o",     out.toStdString() + "[Q=92]"};
         },
         {}},
        {"convert -resize 2998x2998 -quality 92",
         [](const QString& in, const QString& out) {
             return std::vector<std::string>{magick(QStringLiteral("convert")).toStdString(),
                                             in.toStdString(),
                                             "-resize",
                                             "2998x2998",
                                             "-quality",
                                             "92",
                                             out.toStdString()};
         },
         {}},
        {"floor djpeg -scale 1/2 | cjpeg (Q75 4:2:0)",
         [](const QString& in, const QString& out) {
             return std::vector<std::string>{
                 "/bin/sh", "-c", "djpeg -scale 1/2 " + quoted(in) + " | cjpeg > " + quoted(out)};
         },
         {}},
        {"floor djpeg -scale 1/2 | cjpeg -quality 92 -sample 1x1",
         [](const QString& in, const QString& out) {
             return std::vector<std::string>{"/bin/sh", "-c",
                                             "djpeg -scale 1/2 " + quoted(in) +
                                                 " | cjpeg -quality 92 -sample 1x1 > " +
                                                 quoted(out)};
         },
         {}},
        {"floor ... -quality 92 -sample 1x1, held to one core",
         [&](const QString& in, const QString& out) {
             return std::vector<std::string>{
                 "taskset",
                 "-c",
                 oneCore,
                 "/bin/sh",
                 "-c",
                 "djpeg -scale 1/2 " + quoted(in) + " | cjpeg -quality 92 -sample 1x1 > " + quoted(out)};
         },
         {}},
    };

    double loadBefore[3] = {};
    getloadavg(loadBefore, 3);
    std::vector<Result> results(contenders.size());
    // Passes interleave the contenders photo by photo, so that a burst of load elsewhere (a
    // compile, a link) hits them alike; each contender's best pass counts.
    for (int run = 0; run < runs; ++run) {
        std::vector<double> wall(contenders.size(), 0.0);
        std::vector<double> cpu(contenders.size(), 0.0);
        std::vector<qint64> bytes(contenders.size(), 0);
        for (qsizetype i = 0; i < photos.size(); ++i) {
            for (std::size_t c = 0; c < contenders.size(); ++c) {
                const QString out = workFolder + QStringLiteral("/out/c%1-%2.jpg").arg(c).arg(i);
                QFile::remove(out);
                const Measure m =
                    runMeasured(contenders[c].command(photos[i], out), contenders[c].env);
                results[c].ok = results[c].ok && m.ok;
                results[c].peakKilobytes = std::max(results[c].peakKilobytes, m.peakKilobytes);
                wall[c] += m.wallSeconds;
                cpu[c] += m.cpuSeconds;
                bytes[c] += QFileInfo(out).size();
            }
        }
        const double n = double(photos.size());
        for (std::size_t c = 0; c < contenders.size(); ++c) {
            results[c].bestWall = std::min(results[c].bestWall, wall[c] / n);
            results[c].bestCpu = std::min(results[c].bestCpu, cpu[c] / n);
            results[c].outputBytes = bytes[c];
        }
    }

    const Result& ours = results[0];
    std::printf("\n%-58s %9s %9s %8s %8s %9s %8s\n", "command", "wall ms", "cpu ms", "sips/x",
                "sips/x", "peak MB", "out KB");
    std::printf("%-58s %9s %9s %8s %8s %9s %8s\n", "", "(/image)", "(/image)", "(wall)", "(cpu)",
                "", "(/image)");
    for (std::size_t c = 0; c < contenders.size(); ++c) {
        const Result& r = results[c];
        std::printf("%-58s %9.0f %9.0f %8.2f %8.2f %9.1f %8lld%s\n", contenders[c].name.c_str(),
                    r.bestWall * 1000, r.bestCpu * 1000, ours.bestWall / r.bestWall,
                    ours.bestCpu / r.bestCpu, double(r.peakKilobytes) / 1024.0,
                    static_cast<long long>(r.outputBytes / photos.size() / 1024),
                    r.ok ? "" : "  (FAILED)");
    }
    // The goals, against contenders measured in this same run: the floor at the same quality and
    // sampling (index 6), the faster of the two vipsthumbnail lines (2, 3).
    const Result& floorSame = results[6];
    const double thumbnail = std::min(results[2].bestWall, results[3].bestWall);
    const double floorRatio = ours.bestWall / floorSame.bestWall;
    const double thumbnailRatio = ours.bestWall / thumbnail;
    const double peakMb = double(ours.peakKilobytes) / 1024.0;
    const auto verdict = [](bool met) { return met ? "met" : "MISSED"; };
    const bool floorMet = floorRatio <= 1.2;
    const bool thumbnailMet = thumbnailRatio <= 0.85;
    const bool peakMet = peakMb < 100.0;
    std::printf("\ngoal: halvix-sips <= 1.20x the floor at Q92 4:4:4 (%.0f ms): %.2fx  %s\n",
                floorSame.bestWall * 1000, floorRatio, verdict(floorMet));
    std::printf("goal: halvix-sips <= 0.85x vipsthumbnail (faster line, %.0f ms): %.2fx  %s\n",
                thumbnail * 1000, thumbnailRatio, verdict(thumbnailMet));
    std::printf("goal: halvix-sips peak < 100 MB: %.1f MB  %s\n", peakMb, verdict(peakMet));
    double loadAfter[3] = {};
    getloadavg(loadAfter, 3);
    std::printf("cores: %ld, runs: %d (best pass counts), images: %lld, load average (1 min) "
                "%.2f before, %.2f after: other work on the machine shifts the wall figures\n",
                sysconf(_SC_NPROCESSORS_ONLN), runs, static_cast<long long>(photos.size()),
                loadBefore[0], loadAfter[0]);
    if (!ours.ok || !floorSame.ok) {
        return 1;
    }
    return floorMet && thumbnailMet && peakMet ? 0 : 3;
}
