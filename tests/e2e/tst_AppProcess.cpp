// The program as processes: two instances side by side (also from two different executables), a
// run killed in the middle of a job, a run killed and taken over, and an installed copy. Every
// process a test starts is a direct child (no wrapper script) that is ended and reaped whatever
// the outcome.
#include "AlertRecorder.h"
#include "LabSim.h"
#include "TestHome.h"
#include "TestProcess.h"
#include "XvfbServer.h"
#include "job/JobThread.h"
#include "settings/SettingsStore.h"
#include "settings/UserDef.h"
#include "util/InstanceLock.h"
#include "util/PlistVariant.h"
#include "util/WorkFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QtTest>
#include <csignal>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace {

QString halvixPath() {
    return QStringLiteral(HALVIX_BINARY_DIR "/bin/halvix2");
}

// The program at another path under another name, as a packaged copy beside a built one.
QString copyOfHalvix(const TestHome& home) {
    const QString copy = home.filePath(QStringLiteral("elsewhere/bin/halvix2-packaged"));
    QDir().mkpath(QFileInfo(copy).path());
    return QFile::copy(halvixPath(), copy) ? copy : QString();
}

QString settingsPath(const QString& home) {
    return home + QStringLiteral("/.config/halvix2/settings.plist");
}

QString settingsLockPath(const QString& home) {
    return home + QStringLiteral("/.config/halvix2/halvix2.lock");
}

QString workAreaLockPath(const QString& home) {
    return home + QStringLiteral("/MVL_WorkArea/.halvix2.lock");
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
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

pid_t namedPid(const QString& lockPath) {
    const std::optional<LockHolder> holder = InstanceLock::namedHolder(lockPath);
    return holder ? holder->pid : 0;
}

// The program with its own HOME against the lab substitute, on the X server given or offscreen.
std::unique_ptr<TestProcess> startHalvix(const QString& home, const LabSim& lab,
                                         const QString& display = QString(),
                                         const QString& program = halvixPath()) {
    auto process = std::make_unique<TestProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.remove(QStringLiteral("XAUTHORITY"));
    env.insert(QStringLiteral("HALVIX_UNATTENDED"), QStringLiteral("1"));
    env.insert(QStringLiteral("HALVIX_LAB_CONF"), lab.labConfPath());
    if (display.isEmpty()) {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    } else {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), display);
    }
    process->setProcessEnvironment(env);
    process->start(program, {});
    return process;
}

// Up and running: the window is set up and the lab's answer at start taken in, so the settings
// are at rest. (The breadcrumb must not be left at its end by an earlier run.)
bool waitRunning(const QString& home, TestProcess& process) {
    return QTest::qWaitFor(
        [&] {
            return process.state() == QProcess::Running &&
                   settingOnDisk(home, QStringLiteral("AppStatus")) ==
                       QStringLiteral("AppCtrl awakeFromNib end") &&
                   logOnDisk(home).contains(QStringLiteral("更新情報の確認を終了"));
        },
        90000);
}

void storeSettings() {
    UserDef::setObject(QStringLiteral("スタジオ"), QStringLiteral("PhotoStudioName"));
    UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
    UserDef::setObject(QStringLiteral("a@example.jp"), QStringLiteral("CustomerEmail"));
    UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
    UserDef::setObject(qint64(41), QStringLiteral("BagNo"));
    QVERIFY(SettingsStore::flush());
}

bool writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// Photos that take a while to pack one by one.
bool makePhotos(const TestHome& home, int count) {
    QRandomGenerator random(7);
    for (int i = 0; i < count; ++i) {
        QByteArray data(16 * 1024, Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);
        if (!writeFile(
                home.filePath(QStringLiteral("photos/f%1.jpg").arg(i, 3, 10, QLatin1Char('0'))),
                data)) {
            return false;
        }
    }
    return true;
}

// The job of one etc order, run by the real job thread of this process.
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

bool runEtcJob() {
    const QString folder = QDir::homePath() + QStringLiteral("/photos");
    QStringList files;
    for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name)) {
        files.append(folder + u'/' + name);
    }
    QuietActions actions;
    JobThreadRunner runner(actions);
    return runner.jobThread({OrderTab::Etc, files, folder, nullptr, nullptr, false});
}

// The child of killDuringAJobLeavesTheStageReached.
int zipChild(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    return runEtcJob() ? 0 : 1;
}

} // namespace

class TestAppProcess : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void secondInstanceIsRefusedWhileTheFirstHasPooledOrders();
    void secondInstanceEndsTheFirstWhenThePoolIsEmpty();
    void sigtermWhileTheLabIsSilentAtStartEndsTheRun();
    void aJobOfAProcessWithoutTheLocksNeverRuns();
    void killDuringAJobLeavesTheStageReached();
    void killedInstanceIsTakenOverAndItsLeftoversCleared();
    void killAtStartOrRightAfterTheWindowIsUpIsReported();
    void installedCopyFindsItsResources();
    void withoutADisplayNothingIsWritten();
};

// The first runs from the build folder, the second from a packaged copy elsewhere: still one home,
// one program.
void TestAppProcess::secondInstanceIsRefusedWhileTheFirstHasPooledOrders() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    XvfbServer x;
    QVERIFY2(x.isRunning(), qPrintable(x.errorText()));
    const QString copy = copyOfHalvix(home);
    QVERIFY(!copy.isEmpty());
    storeSettings();
    QVERIFY(WorkFolder::checkWorkFolder());
    QVERIFY(writeFile(WorkFolder::orderZipPoolFolderPath() +
                          QStringLiteral("/1234_001122AABBCC_0000041.zip"),
                      "PK"));

    const std::unique_ptr<TestProcess> first = startHalvix(home.path(), lab, x.display());
    QVERIFY2(waitRunning(home.path(), *first), qPrintable(first->errorText()));
    const pid_t firstPid = static_cast<pid_t>(first->processId());
    const QByteArray settingsBefore = readAll(settingsPath(home.path()));

    const std::unique_ptr<TestProcess> second = startHalvix(home.path(), lab, x.display(), copy);
    QVERIFY(second->waitForFinished(90000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 1);
    QVERIFY2(second->errorText().contains(QStringLiteral("すでにHALVIX 2が動作中です")),
             qPrintable(second->errorText()));
    // The refused instance wrote nothing: the first one's settings are as they were, its log has
    // one start, its locks are its own.
    QCOMPARE(readAll(settingsPath(home.path())), settingsBefore);
    QCOMPARE(logOnDisk(home.path()).count(QStringLiteral(")起動")), 1);
    QCOMPARE(namedPid(settingsLockPath(home.path())), firstPid);
    QCOMPARE(namedPid(workAreaLockPath(home.path())), firstPid);
    QCOMPARE(first->state(), QProcess::Running);
    QTRY_COMPARE_WITH_TIMEOUT(
        lab.reportField(QStringLiteral("Boot-NG"), QStringLiteral("ErrorInfo")),
        QStringLiteral("多重起動"), 10000);

    // The first ends through its termination path and lets go of both folders.
    QCOMPARE(::kill(firstPid, SIGTERM), 0);
    QVERIFY(first->waitForFinished(60000));
    QCOMPARE(first->exitStatus(), QProcess::NormalExit);
    QCOMPARE(settingOnDisk(home.path(), QStringLiteral("AppStatus")), QString());
    QCOMPARE(settingOnDisk(home.path(), QStringLiteral("BagNo")), QStringLiteral("41"));
    QVERIFY(lab.hasReport(QStringLiteral("Quit")));
    QCOMPARE(readAll(settingsLockPath(home.path())), QByteArray());
    QCOMPARE(readAll(workAreaLockPath(home.path())), QByteArray());
}

// Here the older one is the packaged copy: the new start ends it whatever its executable.
void TestAppProcess::secondInstanceEndsTheFirstWhenThePoolIsEmpty() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    XvfbServer x;
    QVERIFY2(x.isRunning(), qPrintable(x.errorText()));
    const QString copy = copyOfHalvix(home);
    QVERIFY(!copy.isEmpty());
    storeSettings();

    const std::unique_ptr<TestProcess> first = startHalvix(home.path(), lab, x.display(), copy);
    QVERIFY2(waitRunning(home.path(), *first), qPrintable(first->errorText()));

    const std::unique_ptr<TestProcess> second = startHalvix(home.path(), lab, x.display());
    // The older instance is ended (cleanly) and the new one starts up.
    QVERIFY(first->waitForFinished(90000));
    QCOMPARE(first->exitStatus(), QProcess::NormalExit);
    QCOMPARE(first->exitCode(), 0);
    QVERIFY2(waitRunning(home.path(), *second), qPrintable(second->errorText()));
    QCOMPARE(namedPid(settingsLockPath(home.path())), static_cast<pid_t>(second->processId()));
    // The first ended through its termination path, so the second saw a clean previous run.
    QVERIFY(!logOnDisk(home.path()).contains(QStringLiteral("前回使用時に正常終了していません")));
    QCOMPARE(settingOnDisk(home.path(), QStringLiteral("AppPreviousStatus")), QString());
    // SIGINT (Ctrl+C in a terminal) takes the same clean way out as SIGTERM.
    QCOMPARE(::kill(static_cast<pid_t>(second->processId()), SIGINT), 0);
    QVERIFY(second->waitForFinished(60000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(settingOnDisk(home.path(), QStringLiteral("AppStatus")), QString());
    QCOMPARE(readAll(workAreaLockPath(home.path())), QByteArray());
}

// The lab holds its information page past the program's time-out: the window is up meanwhile, and a
// SIGTERM while the lab still keeps it waiting ends the run through its termination path, at once
// (a signal that came while start-up waited for the page used to be lost, and the run went on).
void TestAppProcess::sigtermWhileTheLabIsSilentAtStartEndsTheRun() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    QVERIFY(lab.setFaults(QJsonObject{
        {QStringLiteral("http_delay"),
         QJsonObject{{QStringLiteral("value"), 120},
                     {QStringLiteral("path"), QStringLiteral("/halv_ix2/appinfo.html")}}}}));
    storeSettings();

    const std::unique_ptr<TestProcess> run = startHalvix(home.path(), lab);
    // The check has begun (its first log line is on disk) and the lab has not answered.
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     return run->state() == QProcess::Running &&
                            logOnDisk(home.path()).contains(QStringLiteral("更新情報の確認"));
                 },
                 90000),
             qPrintable(run->errorText()));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(::kill(static_cast<pid_t>(run->processId()), SIGTERM), 0);
    QVERIFY2(run->waitForFinished(60000), "the run did not end after SIGTERM");
    qInfo("ended %lld ms after SIGTERM", static_cast<long long>(timer.elapsed()));
    QCOMPARE(run->exitStatus(), QProcess::NormalExit);
    QCOMPARE(run->exitCode(), 0);
    QCOMPARE(settingOnDisk(home.path(), QStringLiteral("AppStatus")), QString());
    QVERIFY(logOnDisk(home.path()).contains(QStringLiteral(")終了")));
    QVERIFY(lab.hasReport(QStringLiteral("Quit")));
    QCOMPARE(readAll(settingsLockPath(home.path())), QByteArray());
    QCOMPARE(readAll(workAreaLockPath(home.path())), QByteArray());
}

// Another process on the same home (this test, which never took the locks) cannot run a job while
// the program keeps the work area: no shared bag number, no archive of its own in the pool, no
// setting of its own written.
void TestAppProcess::aJobOfAProcessWithoutTheLocksNeverRuns() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    storeSettings();
    UserDef::setObject(QStringLiteral("AcAfterSend"), QStringLiteral("OrderActionType"));
    UserDef::setObject(QStringLiteral("BtSend"), QStringLiteral("ExecuteBt"));
    QVERIFY(SettingsStore::flush());
    QVERIFY(makePhotos(home, 3));

    const std::unique_ptr<TestProcess> program = startHalvix(home.path(), lab);
    QVERIFY2(waitRunning(home.path(), *program), qPrintable(program->errorText()));
    SettingsStore::resetForTesting(); // read what the program wrote
    const QByteArray settingsBefore = readAll(settingsPath(home.path()));

    AlertRecorder alerts;
    QVERIFY(!runEtcJob());
    QVERIFY(alerts.messages().contains(QStringLiteral("作業フォルダを使用できません")));
    QVERIFY(QDir(WorkFolder::orderZipPoolFolderPath())
                .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot)
                .isEmpty());
    QVERIFY(QDir(WorkFolder::workFolderPath())
                .entryList({QStringLiteral("1234_*")}, QDir::AllEntries | QDir::Hidden)
                .isEmpty());
    // Its breadcrumbs stay in memory: the program keeps the settings.
    QVERIFY(!SettingsStore::flush());
    QCOMPARE(readAll(settingsPath(home.path())), settingsBefore);
    QCOMPARE(program->state(), QProcess::Running);

    program->stop();
    QCOMPARE(program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(settingOnDisk(home.path(), QStringLiteral("BagNo")), QStringLiteral("41"));
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
    QVERIFY(makePhotos(home, 300));
    SettingsStore::resetForTesting(); // the child writes the settings from here on

    TestProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--zip-child")});
    QVERIFY(child.waitForStarted());
    QVERIFY(QTest::qWaitFor(
        [&] {
            return settingOnDisk(home.path(), QStringLiteral("AppStatus"))
                .startsWith(QStringLiteral("JOB Thread Zip"));
        },
        90000));
    child.kill(); // SIGKILL: no handler, no clean-up
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    const QString stage = settingOnDisk(home.path(), QStringLiteral("AppStatus"));
    QVERIFY2(stage.startsWith(QStringLiteral("JOB Thread")), qPrintable(stage));

    const std::unique_ptr<TestProcess> next = startHalvix(home.path(), lab);
    QVERIFY2(waitRunning(home.path(), *next), qPrintable(next->errorText()));
    QVERIFY(logOnDisk(home.path())
                .contains(QStringLiteral("前回使用時に正常終了していません。　状態：") + stage));
    QTRY_COMPARE_WITH_TIMEOUT(lab.reportField(QStringLiteral("Boot"), QStringLiteral("PreStatus")),
                              stage, 10000);
    next->stop();
    QCOMPARE(next->exitStatus(), QProcess::NormalExit);
    QCOMPARE(settingOnDisk(home.path(), QStringLiteral("AppStatus")), QString());
}

// A run killed outright leaves its locks named after a dead process, and perhaps the partial copy
// of a move to another disk; a work area of an earlier version is open to every local user. The
// next start takes the locks over and puts all of it right, and says so in the log.
void TestAppProcess::killedInstanceIsTakenOverAndItsLeftoversCleared() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    storeSettings();
    const QString saved = home.filePath(QStringLiteral("saved"));
    UserDef::setObject(saved + QStringLiteral("/order.zip"), QStringLiteral("OrderSavePath"));
    QVERIFY(SettingsStore::flush());
    SettingsStore::resetForTesting();

    const std::unique_ptr<TestProcess> first = startHalvix(home.path(), lab);
    QVERIFY2(waitRunning(home.path(), *first), qPrintable(first->errorText()));
    const pid_t firstPid = static_cast<pid_t>(first->processId());
    first->kill();
    QVERIFY(first->waitForFinished(30000));
    // As if it died packing an order; the next start's own breadcrumbs then tell when it is up.
    SettingsStore::resetForTesting();
    UserDef::setAppStatus(QStringLiteral("JOB Thread Zip"));
    SettingsStore::resetForTesting();

    const QString work = home.filePath(QStringLiteral("MVL_WorkArea"));
    const QString pool = work + QStringLiteral("/OrderZipPool");
    const QStringList partial{pool + QStringLiteral("/.1234_001122AABBCC_0000042.zip.part-Ab12Cd"),
                              saved + QStringLiteral("/.order.zip.part-Zz99Yy"),
                              saved + QStringLiteral("/order.zip.part")};
    const QString someoneElses = saved + QStringLiteral("/.other.zip.part-Qq11Ww");
    const QString archive = pool + QStringLiteral("/1234_001122AABBCC_0000041.zip");
    for (const QString& path : partial + QStringList{someoneElses, archive}) {
        QVERIFY(writeFile(path, QByteArray(4096, 'z')));
    }
    const QString log = QDir(work + QStringLiteral("/Halvix2Log"))
                            .entryInfoList({QStringLiteral("*.log")}, QDir::Files)
                            .value(0)
                            .filePath();
    QVERIFY(!log.isEmpty());
    const QString settings = QFileInfo(SettingsStore::settingsFilePath()).absolutePath();
    for (const QString& path : {work, work + QStringLiteral("/Halvix2Log"), pool, settings}) {
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0755) == 0);
    }
    for (const QString& path : {archive, log}) {
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
    }

    const std::unique_ptr<TestProcess> next = startHalvix(home.path(), lab);
    QVERIFY2(waitRunning(home.path(), *next), qPrintable(next->errorText()));
    const QString text = logOnDisk(home.path());
    QVERIFY2(text.contains(QStringLiteral("終了していない前回のHALVIX 2（PID %1").arg(firstPid)),
             qPrintable(text));
    for (const QString& path : partial) {
        QVERIFY2(!QFile::exists(path), qPrintable(path));
        QVERIFY2(text.contains(QStringLiteral("中断されたコピーの残りを削除しました：") + path),
                 qPrintable(path));
    }
    QVERIFY(QFile::exists(someoneElses));
    QVERIFY(text.contains(
        QStringLiteral("作業フォルダ（%1）を本人だけが読み書きできるようにしました").arg(work)));
    QCOMPARE(modeOf(work), 0700);
    QCOMPARE(modeOf(work + QStringLiteral("/Halvix2Log")), 0700);
    QCOMPARE(modeOf(pool), 0700);
    QCOMPARE(modeOf(archive), 0600);
    QCOMPARE(modeOf(log), 0600);
    QCOMPARE(modeOf(settings), 0700);

    next->stop();
    QCOMPARE(next->exitStatus(), QProcess::NormalExit);
    QCOMPARE(readAll(workAreaLockPath(home.path())), QByteArray());
}

// The start-up's breadcrumbs are written behind until the window is up: a run killed during the
// start still leaves a readable settings file naming a stage of its own, and one killed the moment
// the window is up leaves exactly that stage; the next start reports either.
void TestAppProcess::killAtStartOrRightAfterTheWindowIsUpIsReported() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    storeSettings();
    SettingsStore::resetForTesting(); // the program writes the settings from here on
    const QString windowUp = QStringLiteral("AppCtrl awakeFromNib end");

    // Killed as soon as the file names a stage of this run.
    std::unique_ptr<TestProcess> run = startHalvix(home.path(), lab);
    QVERIFY(QTest::qWaitFor(
        [&] {
            return settingOnDisk(home.path(), QStringLiteral("AppStatus"))
                .startsWith(QStringLiteral("AppCtrl"));
        },
        90000));
    run->kill(); // SIGKILL: no handler, no clean-up
    QVERIFY(run->waitForFinished(30000));
    QVERIFY(plistFromData(readAll(settingsPath(home.path()))).has_value());
    const QString stage = settingOnDisk(home.path(), QStringLiteral("AppStatus"));
    QVERIFY2(stage.startsWith(QStringLiteral("AppCtrl")), qPrintable(stage));

    // Killed the moment the window is up; this start reports the first kill.
    run = startHalvix(home.path(), lab);
    QVERIFY(QTest::qWaitFor(
        [&] { return settingOnDisk(home.path(), QStringLiteral("AppStatus")) == windowUp; },
        90000));
    run->kill();
    QVERIFY(run->waitForFinished(30000));
    QCOMPARE(settingOnDisk(home.path(), QStringLiteral("AppStatus")), windowUp);
    QVERIFY(logOnDisk(home.path())
                .contains(QStringLiteral("前回使用時に正常終了していません。　状態：") + stage));

    // The next start reports the second; its normal end leaves the run status on disk clean.
    run = startHalvix(home.path(), lab);
    QVERIFY2(waitRunning(home.path(), *run), qPrintable(run->errorText()));
    QVERIFY(logOnDisk(home.path())
                .contains(QStringLiteral("前回使用時に正常終了していません。　状態：") + windowUp));
    QCOMPARE(settingOnDisk(home.path(), QStringLiteral("AppPreviousStatus")), windowUp);
    run->stop();
    QCOMPARE(run->exitStatus(), QProcess::NormalExit);
    QCOMPARE(settingOnDisk(home.path(), QStringLiteral("AppStatus")), QString());
    QCOMPARE(settingOnDisk(home.path(), QStringLiteral("BagNo")), QStringLiteral("41"));
}

void TestAppProcess::installedCopyFindsItsResources() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    const QString prefix = home.filePath(QStringLiteral("prefix"));
    TestProcess install;
    install.start(QStringLiteral("cmake"),
                  {QStringLiteral("--install"), QStringLiteral(HALVIX_BINARY_DIR),
                   QStringLiteral("--prefix"), prefix});
    QVERIFY(install.waitForFinished(120000));
    QCOMPARE(install.exitCode(), 0);
    for (const QString& path :
         {QStringLiteral("bin/halvix2"), QStringLiteral("libexec/halvix2/halvix-sips"),
          QStringLiteral("share/halvix2/tbl_print_new.xml"),
          QStringLiteral("share/applications/jp.miravell.halvix2.desktop"),
          QStringLiteral("share/icons/hicolor/256x256/apps/halvix2.png")}) {
        QVERIFY2(QFileInfo::exists(prefix + u'/' + path), qPrintable(path));
    }
    const QString desktop = QString::fromUtf8(
        readAll(prefix + QStringLiteral("/share/applications/jp.miravell.halvix2.desktop")));
    QVERIFY(desktop.contains(QStringLiteral("\nExec=halvix2\n")));
    QVERIFY(desktop.contains(QStringLiteral("\nIcon=halvix2\n")));

    // The installed copy runs on its own: no variable points it at the build folder.
    TestProcess run;
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
    QVERIFY2(waitRunning(home.path(), run), qPrintable(run.errorText()));
    run.stop();
    QCOMPARE(run.exitStatus(), QProcess::NormalExit);
    // The shipped catalogues were found beside the installed program.
    QVERIFY(logOnDisk(home.path()).contains(QStringLiteral("リソースのアルバムデータを読み込み")));
    QCOMPARE(settingOnDisk(home.path(), QStringLiteral("AppStatus")), QString());
}

// Started from ssh or a service, without any display: one Japanese line, exit 1, and no settings,
// work area or lock made before Qt would have aborted.
void TestAppProcess::withoutADisplayNothingIsWritten() {
    TestHome home;
    const QString fresh = home.filePath(QStringLiteral("fresh"));
    QVERIFY(QDir().mkpath(fresh));
    TestProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), fresh);
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "DISPLAY", "WAYLAND_DISPLAY",
                             "QT_QPA_PLATFORM", "HALVIX_UNATTENDED"})
        env.remove(QString::fromLatin1(name));
    run.setProcessEnvironment(env);
    run.start(halvixPath(), {});
    QVERIFY(run.waitForFinished(60000));
    QCOMPARE(run.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.exitCode(), 1);
    const QString err = QString::fromUtf8(run.readAllStandardError());
    QVERIFY2(err.count(u'\n') == 1 && err.contains(QStringLiteral("画面を表示できません")) &&
                 err.contains(QStringLiteral("DISPLAY")),
             qPrintable(err));
    QVERIFY(run.readAllStandardOutput().isEmpty());
    QCOMPARE(QDir(fresh).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
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
