// Resize benchmark: halvix-sips scaling eight 6000 × 4000 photo-like JPEGs to the order pipeline's
// 1999-pixel short side (2998 × 1999), against vipsthumbnail, ImageMagick and the floor of
// libjpeg-turbo's own DCT scaling (djpeg -scale 1/2 | cjpeg). Prints wall and CPU time per image
// (best of several passes), the ratios, and each command's peak resident memory.
//
//   bench_resize [--images N] [--runs N] [--work FOLDER]
//
// --work keeps the generated photos in FOLDER and reuses them on the next run.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <map>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int imageCount = 8;
    int runs = 3;
    QString workFolder;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QStringLiteral("--images")) {
            imageCount = std::max(1, args[i + 1].toInt());
        } else if (args[i] == QStringLiteral("--runs")) {
            runs = std::max(1, args[i + 1].toInt());
        } else if (args[i] == QStringLiteral("--work")) {
            workFolder = args[i + 1];
        }
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

    const std::string sipsPath = sips.toStdString();
    const std::vector<Contender> contenders{
        {"halvix-sips high (Q92 4:4:4)",
         [&](const QString& in, const QString& out) {
             return std::vector<std::string>{sipsPath,         "-s",    "formatOptions",
                                             "high",           "-Z",    "2998",
                                             in.toStdString(), "--out", out.toStdString()};
         },
         {}},
        {"halvix-sips high, VIPS_CONCURRENCY=1",
         [&](const QString& in, const QString& out) {
             return std::vector<std::string>{sipsPath,         "-s",    "formatOptions",
                                             "high",           "-Z",    "2998",
                                             in.toStdString(), "--out", out.toStdString()};
         },
         {"VIPS_CONCURRENCY=1"}},
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
    };

    std::vector<Result> results(contenders.size());
    // Passes interleave the contenders so that a burst of load elsewhere hits them alike.
    for (int run = 0; run < runs; ++run) {
        for (std::size_t c = 0; c < contenders.size(); ++c) {
            double wall = 0;
            double cpu = 0;
            qint64 bytes = 0;
            for (qsizetype i = 0; i < photos.size(); ++i) {
                const QString out = workFolder + QStringLiteral("/out/c%1-%2.jpg").arg(c).arg(i);
                QFile::remove(out);
                const Measure m =
                    runMeasured(contenders[c].command(photos[i], out), contenders[c].env);
                results[c].ok = results[c].ok && m.ok;
                results[c].peakKilobytes = std::max(results[c].peakKilobytes, m.peakKilobytes);
                wall += m.wallSeconds;
                cpu += m.cpuSeconds;
                bytes += QFileInfo(out).size();
            }
            const double n = double(photos.size());
            results[c].bestWall = std::min(results[c].bestWall, wall / n);
            results[c].bestCpu = std::min(results[c].bestCpu, cpu / n);
            results[c].outputBytes = bytes;
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
    std::printf("\ngoals: halvix-sips <= 1.0x vipsthumbnail, <= 1.5x the floor, peak < 100 MB\n");
    std::printf("cores: %ld, runs: %d (best pass counts), images: %lld\n",
                sysconf(_SC_NPROCESSORS_ONLN), runs, static_cast<long long>(photos.size()));
    return ours.ok ? 0 : 1;
}
