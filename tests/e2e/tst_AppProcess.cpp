// The program as processes: two instances side by side, and a run killed in the middle of a job.
#include "LabSim.h"
#include "TestHome.h"
#include "app/InstanceGuard.h"
#include "job/JobThread.h"
#include "settings/Log.h"
#include "settings/SettingsStore.h"
#include "settings/UserDef.h"
#include "util/PlistVariant.h"
#include "util/WorkFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <csignal>
#include <cstring>
#include <memory>

namespace {

QString halvixPath() {
    return QStringLiteral(HALVIX_BINARY_DIR "/bin/halvix2");
}

QString settingsPath(const QString& home) {
    return home + QStringLiteral("/.config/halvix2/settings.plist");
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One value of the settings file as it is on disk now.
QString settingOnDisk(const QString& home, const QString& key) {
    const std::optional<QVariant> plist = plistFromData(readAll(settingsPath(home)));
    return plist ? plist->toMap().value(key).toString() : QString();
}

QString logOnDisk(const QString& home) {
    QString text;
    const QDir logs(home + QStringLiteral("/MVL_WorkArea/Halvix2Log"));
    for (const QString& name : logs.entryList({QStringLiteral("*.log")}, QDir::Files)) {
        text += QString::fromUtf8(readAll(logs.filePath(name)));
    }
    return text;
}

// halvix2 with its own HOME against the lab substitute, under its own X server or offscreen.
std::unique_ptr<QProcess> startHalvix(const QString& home, const LabSim& lab, bool underXvfb) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.insert(QStringLiteral("HALVIX_UNATTENDED"), QStringLiteral("1"));
    env.insert(QStringLiteral("HALVIX_LAB_CONF"), lab.labConfPath());
    if (underXvfb) {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        process->setProcessEnvironment(env);
        process->start(QStringLiteral("xvfb-run"),
                       {QStringLiteral("-a"), QStringLiteral("-s"),
                        QStringLiteral("-screen 0 1024x768x24"), halvixPath()});
    } else {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process->setProcessEnvironment(env);
        process->start(halvixPath(), {});
    }
    return process;
}

// The halvix2 process working with that home (xvfb-run stands between the test and it).
pid_t halvixPidFor(const QString& home) {
    const QString settings = QDir::cleanPath(home + QStringLiteral("/.config/halvix2"));
    const QString exe = QFileInfo(halvixPath()).canonicalFilePath();
    for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const pid_t pid = static_cast<pid_t>(name.toInt(&ok));
        if (!ok || !InstanceGuard::processStartTime(pid)) {
            continue;
        }
        if (QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid)) == exe &&
            InstanceGuard::settingsFolderOfProcess(pid) == settings) {
            return pid;
        }
    }
    return 0;
}

bool waitStatus(const QString& home, const QString& status, int timeoutMs = 60000) {
    return QTest::qWaitFor(
        [&] { return settingOnDisk(home, QStringLiteral("AppStatus")) == status; }, timeoutMs);
}

bool waitGone(pid_t pid) {
    return QTest::qWaitFor([&] { return !InstanceGuard::processStartTime(pid).has_value(); },
                           30000);
}

QString reportField(const LabSim& lab, const QString& action, const QString& field) {
    for (const QJsonObject& report : lab.reports()) {
        if (report.value(QStringLiteral("action")).toString() != action) {
            continue;
        }
        for (const QJsonValue& pair : report.value(QStringLiteral("fields")).toArray()) {
            if (pair.toArray().at(0).toString() == field) {
                return pair.toArray().at(1).toString();
            }
        }
    }
    return {};
}

bool hasReport(const LabSim& lab, const QString& action) {
    for (const QJsonObject& report : lab.reports()) {
        if (report.value(QStringLiteral("action")).toString() == action) {
            return true;
        }
    }
    return false;
}

void storeSettings() {
    UserDef::setObject(QStringLiteral("スタジオ"), QStringLiteral("PhotoStudioName"));
    UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
    UserDef::setObject(QStringLiteral("a@example.jp"), QStringLiteral("CustomerEmail"));
    UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
    UserDef::setObject(qint64(41), QStringLiteral("BagNo"));
    QVERIFY(SettingsStore::flush());
}

// The child of killDuringAJobLeavesTheStageReached: one etc order packed by the real job thread.
class QuietActions : public JobMainThreadActions {
public:
    void fileDragDropOff() override {}
    void comViewRefresh() override {}
    void removeKineloOrder(std::optional<OrderTab>) override {}
    void selectFilesAndOrderMemoClear(std::optional<OrderTab>) override {}
    void albumDirectOrderNumClear() override {}
    void dragDropOn() override {}
    void terminateApplication() override {}
};

int zipChild(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString folder = QDir::homePath() + QStringLiteral("/photos");
    QStringList files;
    for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name)) {
        files.append(folder + u'/' + name);
    }
    QuietActions actions;
    JobThreadRunner runner(actions);
    return runner.jobThread({OrderTab::Etc, files, folder, nullptr, nullptr, false}) ? 0 : 1;
}

} // namespace

class TestAppProcess : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void secondInstanceIsRefusedWhileTheFirstHasPooledOrders();
    void secondInstanceEndsTheFirstWhenThePoolIsEmpty();
    void killDuringAJobLeavesTheStageReached();
    void installedCopyFindsItsResources();
};

void TestAppProcess::secondInstanceIsRefusedWhileTheFirstHasPooledOrders() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    storeSettings();
    QVERIFY(WorkFolder::checkWorkFolder());
    QFile pooled(WorkFolder::orderZipPoolFolderPath() +
                 QStringLiteral("/1234_001122AABBCC_0000041.zip"));
    QVERIFY(pooled.open(QIODevice::WriteOnly) && pooled.write("PK") == 2);
    pooled.close();

    std::unique_ptr<QProcess> first = startHalvix(home.path(), lab, true);
    QVERIFY(first->waitForStarted());
    QVERIFY2(waitStatus(home.path(), QStringLiteral("AppCtrl awakeFromNib end")),
             first->readAllStandardError().constData());
    const pid_t firstPid = halvixPidFor(home.path());
    QVERIFY(firstPid != 0);
    const QByteArray settingsBefore = readAll(settingsPath(home.path()));

    std::unique_ptr<QProcess> second = startHalvix(home.path(), lab, true);
    QVERIFY(second->waitForStarted());
    QVERIFY(second->waitForFinished(60000));
    QCOMPARE(second->exitCode(), 1);
    QVERIFY(QString::fromUtf8(second->readAllStandardError())
                .contains(QStringLiteral("すでにHALVIX 2が動作中です")));
    // The refused instance wrote nothing: the first one's settings are as they were.
    QCOMPARE(readAll(settingsPath(home.path())), settingsBefore);
    QVERIFY(InstanceGuard::processStartTime(firstPid).has_value());
    QTRY_COMPARE_WITH_TIMEOUT(
        reportField(lab, QStringLiteral("Boot-NG"), QStringLiteral("ErrorInfo")),
        QStringLiteral("多重起動"), 10000);

    // The first ends through its termination path.
    QCOMPARE(::kill(firstPid, SIGTERM), 0);
    QVERIFY(waitGone(firstPid));
    // The process may already have been reaped while we waited for its pid to go.
    QVERIFY(first->state() == QProcess::NotRunning || first->waitForFinished(30000));
    QCOMPARE(settingOnDisk(home.path(), QStringLiteral("AppStatus")), QString());
    QCOMPARE(settingOnDisk(home.path(), QStringLiteral("BagNo")), QStringLiteral("41"));
    QVERIFY(hasReport(lab, QStringLiteral("Quit")));
}

void TestAppProcess::secondInstanceEndsTheFirstWhenThePoolIsEmpty() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    storeSettings();

    std::unique_ptr<QProcess> first = startHalvix(home.path(), lab, true);
    QVERIFY(first->waitForStarted());
    QVERIFY(waitStatus(home.path(), QStringLiteral("AppCtrl awakeFromNib end")));
    const pid_t firstPid = halvixPidFor(home.path());
    QVERIFY(firstPid != 0);

    std::unique_ptr<QProcess> second = startHalvix(home.path(), lab, true);
    QVERIFY(second->waitForStarted());
    // The older instance is ended (cleanly) and the new one starts up.
    QVERIFY(waitGone(firstPid));
    // The process may already have been reaped while we waited for its pid to go.
    QVERIFY(first->state() == QProcess::NotRunning || first->waitForFinished(30000));
    QVERIFY(QTest::qWaitFor(
        [&] {
            const pid_t pid = halvixPidFor(home.path());
            return pid != 0 && pid != firstPid &&
                   settingOnDisk(home.path(), QStringLiteral("AppStatus")) ==
                       QStringLiteral("AppCtrl awakeFromNib end");
        },
        60000));
    // The first ended through its termination path, so the second saw a clean previous run.
    QVERIFY(!logOnDisk(home.path()).contains(QStringLiteral("前回使用時に正常終了していません")));
    QCOMPARE(settingOnDisk(home.path(), QStringLiteral("AppPreviousStatus")), QString());
    // SIGINT (Ctrl+C in a terminal) takes the same clean way out as SIGTERM.
    const pid_t secondPid = halvixPidFor(home.path());
    QCOMPARE(::kill(secondPid, SIGINT), 0);
    QVERIFY(waitGone(secondPid));
    QVERIFY(second->state() == QProcess::NotRunning || second->waitForFinished(30000));
    QCOMPARE(settingOnDisk(home.path(), QStringLiteral("AppStatus")), QString());
}

void TestAppProcess::killDuringAJobLeavesTheStageReached() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    storeSettings();
    UserDef::setObject(QStringLiteral("AcAfterSend"), QStringLiteral("OrderActionType"));
    UserDef::setObject(QStringLiteral("BtSend"), QStringLiteral("ExecuteBt"));
    QVERIFY(SettingsStore::flush());
    // Enough files that packing them one by one takes a while.
    QRandomGenerator random(7);
    for (int i = 0; i < 300; ++i) {
        QFile file(home.filePath(QStringLiteral("photos/f%1.jpg").arg(i, 3, 10, QLatin1Char('0'))));
        QDir().mkpath(QFileInfo(file).path());
        QByteArray data(16 * 1024, Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
    }
    SettingsStore::resetForTesting(); // the child writes the settings from here on

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--zip-child")});
    QVERIFY(child.waitForStarted());
    QVERIFY(QTest::qWaitFor(
        [&] {
            return settingOnDisk(home.path(), QStringLiteral("AppStatus"))
                .startsWith(QStringLiteral("JOB Thread Zip"));
        },
        60000));
    child.kill(); // SIGKILL: no handler, no clean-up
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    const QString stage = settingOnDisk(home.path(), QStringLiteral("AppStatus"));
    QVERIFY2(stage.startsWith(QStringLiteral("JOB Thread")), qPrintable(stage));

    std::unique_ptr<QProcess> next = startHalvix(home.path(), lab, false);
    QVERIFY(next->waitForStarted());
    QVERIFY(waitStatus(home.path(), QStringLiteral("AppCtrl awakeFromNib end")));
    QVERIFY(logOnDisk(home.path())
                .contains(QStringLiteral("前回使用時に正常終了していません。　状態：") + stage));
    QTRY_COMPARE_WITH_TIMEOUT(reportField(lab, QStringLiteral("Boot"), QStringLiteral("PreStatus")),
                              stage, 10000);
    next->terminate();
    QVERIFY(next->waitForFinished(30000));
    QCOMPARE(settingOnDisk(home.path(), QStringLiteral("AppStatus")), QString());
}

void TestAppProcess::installedCopyFindsItsResources() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    const QString prefix = home.filePath(QStringLiteral("prefix"));
    QProcess install;
    install.start(QStringLiteral("cmake"),
                  {QStringLiteral("--install"), QStringLiteral(HALVIX_BINARY_DIR),
                   QStringLiteral("--prefix"), prefix});
    QVERIFY(install.waitForFinished(120000));
    QCOMPARE(install.exitCode(), 0);
    for (const QString& path : {QStringLiteral("bin/halvix2"), QStringLiteral("bin/halvix-sips"),
                                QStringLiteral("share/halvix2/tbl_print_new.xml"),
                                QStringLiteral("share/applications/halvix2.desktop"),
                                QStringLiteral("share/icons/hicolor/256x256/apps/halvix2.png")}) {
        QVERIFY2(QFileInfo::exists(prefix + u'/' + path), qPrintable(path));
    }
    const QString desktop =
        QString::fromUtf8(readAll(prefix + QStringLiteral("/share/applications/halvix2.desktop")));
    QVERIFY(desktop.contains(QStringLiteral("\nExec=halvix2\n")));
    QVERIFY(desktop.contains(QStringLiteral("\nIcon=halvix2\n")));

    // The installed copy runs on its own: no variable points it at the build folder.
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("HALVIX_RESOURCE_DIR"));
    env.remove(QStringLiteral("HALVIX_SIPS"));
    env.insert(QStringLiteral("HALVIX_UNATTENDED"), QStringLiteral("1"));
    env.insert(QStringLiteral("HALVIX_LAB_CONF"), lab.labConfPath());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    run.setProcessEnvironment(env);
    run.start(prefix + QStringLiteral("/bin/halvix2"), {});
    QVERIFY(run.waitForStarted());
    QVERIFY(waitStatus(home.path(), QStringLiteral("AppCtrl awakeFromNib end")));
    run.terminate();
    QVERIFY(run.waitForFinished(30000));
    // The shipped catalogues were found beside the installed program.
    QVERIFY(logOnDisk(home.path()).contains(QStringLiteral("リソースのアルバムデータを読み込み")));
    QCOMPARE(settingOnDisk(home.path(), QStringLiteral("AppStatus")), QString());
}

int main(int argc, char* argv[]) {
    if (argc > 1 && std::strcmp(argv[1], "--zip-child") == 0) {
        return zipChild(argc, argv);
    }
    QCoreApplication app(argc, argv);
    TestAppProcess test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_AppProcess.moc"
