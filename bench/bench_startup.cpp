// Start-up time of halvix2: from process start to the breadcrumb "AppCtrl awakeFromNib end"
// (the main window filled and usable), with the lab reachable (on a first start and with the
// studio's customer set), refusing connections, and silent.
//
//   ninja -C build halvix2 bench_startup
//   build/bench/bench_startup [--runs 5] [--program build/bin/halvix2]
#include "util/PlistVariant.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString appStatus(const QString& home) {
    const std::optional<QVariant> plist =
        plistFromData(readAll(home + QStringLiteral("/.config/halvix2/settings.plist")));
    return plist ? plist->toMap().value(QStringLiteral("AppStatus")).toString() : QString();
}

// The lab substitute on free loopback ports; its lab.conf path, or "" when it did not come up.
struct Lab {
    QTemporaryDir dir;
    QProcess process;
    QString start(const QByteArray& faults) {
        if (!faults.isEmpty()) {
            QFile file(dir.filePath(QStringLiteral("faults.json")));
            if (!file.open(QIODevice::WriteOnly) || file.write(faults) != faults.size()) {
                return {};
            }
        }
        process.setProgram(QStringLiteral(HALVIX_SOURCE_DIR "/tools/labsim/labsim"));
        process.setArguments({QStringLiteral("--root"), dir.path()});
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
        if (!process.waitForStarted(10000)) {
            return {};
        }
        const QString conf = dir.filePath(QStringLiteral("lab.conf"));
        for (int i = 0; i < 200 && !QFile::exists(dir.filePath(QStringLiteral("ports"))); ++i) {
            QThread::msleep(50);
        }
        return QFile::exists(conf) ? conf : QString();
    }
    ~Lab() {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            process.waitForFinished(5000);
        }
    }
};

// The settings of a studio that has used the program before: its customer is set, so the
// preferences window does not open at start.
bool storeStudioSettings(const QString& home) {
    const QVariantMap settings{{QStringLiteral("PhotoStudioName"), QStringLiteral("青空写真館")},
                               {QStringLiteral("CustomerCode"), QStringLiteral("1234")},
                               {QStringLiteral("CustomerEmail"), QStringLiteral("a@example.jp")},
                               {QStringLiteral("MacAddr"), QStringLiteral("001122AABBCC")}};
    const QString folder = home + QStringLiteral("/.config/halvix2");
    QFile file(folder + QStringLiteral("/settings.plist"));
    const QByteArray xml = plistXmlFromVariant(QVariant(settings));
    return QDir().mkpath(folder) && file.open(QIODevice::WriteOnly) &&
           file.write(xml) == xml.size();
}

// One start: milliseconds until the breadcrumb, or -1.
double oneStart(const QString& program, const QString& labConf, bool studioSet) {
    QTemporaryDir home;
    if (studioSet && !storeStudioSettings(home.path())) {
        return -1;
    }
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.insert(QStringLiteral("HALVIX_UNATTENDED"), QStringLiteral("1"));
    env.insert(QStringLiteral("HALVIX_LAB_CONF"), labConf);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(program, {});
    if (!process.waitForStarted(10000)) {
        return -1;
    }
    double ms = -1;
    while (timer.elapsed() < 60000) {
        if (appStatus(home.path()) == QStringLiteral("AppCtrl awakeFromNib end")) {
            ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
            break;
        }
        QThread::usleep(2000);
    }
    process.terminate();
    process.waitForFinished(30000);
    return ms;
}

// Runs the start runs times; prints the figures and the goal line; true when the median met it.
bool scenario(const char* name, const QString& program, const QString& labConf, int runs,
              double goalMs, bool studioSet = false) {
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        times.append(oneStart(program, labConf, studioSet));
    }
    std::sort(times.begin(), times.end());
    const double median = times.at(times.size() / 2);
    const bool met = times.first() >= 0 && median <= goalMs;
    std::printf("%-32s runs %d  min %7.0f ms  median %7.0f ms  max %7.0f ms\n", name, runs,
                times.first(), median, times.last());
    std::printf("goal: %s, median <= %.0f ms: %s\n", name, goalMs, met ? "met" : "MISSED");
    std::fflush(stdout);
    return met;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    int runs = 5;
    QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/halvix2");
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QStringLiteral("--runs")) {
            runs = std::max(1, args[i + 1].toInt());
        } else if (args[i] == QStringLiteral("--program")) {
            program = args[i + 1];
        }
    }

    bool met = true;
    {
        Lab lab;
        const QString conf = lab.start({});
        if (conf.isEmpty()) {
            std::fprintf(stderr, "the lab substitute did not start\n");
            return 1;
        }
        met = scenario("lab reachable", program, conf, runs, 100) && met;
        // The everyday start: the customer set, no preferences window.
        met = scenario("lab reachable, studio set up", program, conf, runs, 100, true) && met;
    }
    {
        // Nothing listens on these ports: every connection is refused at once.
        QTemporaryDir dir;
        const QString conf = dir.filePath(QStringLiteral("lab.conf"));
        QFile file(conf);
        if (!file.open(QIODevice::WriteOnly)) {
            return 1;
        }
        file.write("info_server=http://127.0.0.1:9\nweb_server=http://127.0.0.1:9\n"
                   "analysis_server=http://127.0.0.1:9\nauth_server=http://127.0.0.1:9\n"
                   "order_ftp_host=127.0.0.1:9\nftp2_host=127.0.0.1:9\n"
                   "test_ftp_host=127.0.0.1:9\n");
        file.close();
        met = scenario("lab refusing connections", program, conf, runs, 1000) && met;
    }
    {
        // Every HTTP answer waits longer than the page time-out.
        Lab lab;
        const QString conf = lab.start("{\"http_delay\": 20}");
        if (conf.isEmpty()) {
            return 1;
        }
        met = scenario("lab silent (answers after 20 s)", program, conf, runs, 1000) && met;
    }
    return met ? 0 : 3;
}
