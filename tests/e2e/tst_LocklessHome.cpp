// A home on a disk that takes no locks (NFS without its lock service): the program starts and
// tells the studio at once which folders cannot be locked, why, and which environment variable
// names another, instead of refusing every order later with "cannot be made". The disk is stood
// in for by the kernel: a seccomp filter makes every flock() of the program fail with ENOLCK.
#include "FileFaults.h"
#include "LabSim.h"
#include "TestHome.h"
#include "TestProcess.h"
#include "settings/SettingsStore.h"
#include "settings/UserDef.h"
#include "util/PlistVariant.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QtTest>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

QString halvixPath() {
    return QStringLiteral(HALVIX_BINARY_DIR "/bin/halvix2");
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString settingOnDisk(const QString& home, const QString& key) {
    const std::optional<QVariant> plist =
        plistFromData(readAll(home + QStringLiteral("/.config/halvix2/settings.plist")));
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

// "--without-locks ERRNO PROGRAM ARGS...": this process takes the filter and becomes the program
// (same process: nothing is left behind when the test ends it).
int execWithoutLocks(int argc, char* argv[]) {
    if (!denyFileLocks(std::atoi(argv[2]))) {
        std::fputs("no-filter\n", stderr);
        return 3;
    }
    std::vector<char*> args(argv + 3, argv + argc);
    args.push_back(nullptr);
    ::execv(argv[3], args.data());
    return 4;
}

} // namespace

class TestLocklessHome : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startUpSaysWhichFolderCannotBeLocked();
};

void TestLocklessHome::startUpSaysWhichFolderCannotBeLocked() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    UserDef::setObject(QStringLiteral("スタジオ"), QStringLiteral("PhotoStudioName"));
    UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
    UserDef::setObject(QStringLiteral("a@example.jp"), QStringLiteral("CustomerEmail"));
    UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
    QVERIFY(SettingsStore::flush());

    TestProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.remove(QStringLiteral("HALVIX_WORK_AREA"));
    env.insert(QStringLiteral("HALVIX_UNATTENDED"), QStringLiteral("1"));
    env.insert(QStringLiteral("HALVIX_LAB_CONF"), lab.labConfPath());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--without-locks"), QString::number(ENOLCK), halvixPath()});
    const bool running = QTest::qWaitFor(
        [&] {
            return program.state() == QProcess::Running &&
                   settingOnDisk(home.path(), QStringLiteral("AppStatus")) ==
                       QStringLiteral("AppCtrl awakeFromNib end");
        },
        90000);
    if (!running && program.errorText().contains(QStringLiteral("no-filter"))) {
        QSKIP("the kernel takes no seccomp filter here");
    }
    QVERIFY2(running, qPrintable(program.errorText()));

    // The alert (written to standard error in an unattended run) names both folders, the reason
    // and the variables that move them.
    const QString work = home.path() + QStringLiteral("/MVL_WorkArea");
    const QString settings = home.path() + QStringLiteral("/.config/halvix2");
    const QString alert = program.errorText();
    QVERIFY2(alert.contains(QStringLiteral("フォルダをロックできません")), qPrintable(alert));
    QVERIFY(alert.contains(QStringLiteral("作業フォルダ（%1）をロックできません").arg(work)));
    QVERIFY(alert.contains(QStringLiteral("設定フォルダ（%1）をロックできません").arg(settings)));
    QVERIFY(alert.contains(QStringLiteral("ファイルをロックするサービスが動いていません")));
    QVERIFY(alert.contains(QStringLiteral("HALVIX_WORK_AREA")));
    QVERIFY(alert.contains(QStringLiteral("XDG_CONFIG_HOME")));
    QCOMPARE(alert.count(QStringLiteral("フォルダをロックできません")), 1);
    const QString log = logOnDisk(home.path());
    QVERIFY2(log.contains(QStringLiteral("作業フォルダ（%1）をロックできません（ロックのサービスが"
                                         "ないディスク、ENOLCK）")
                              .arg(work)),
             qPrintable(log));

    program.stop();
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
}

int main(int argc, char* argv[]) {
    if (argc > 3 && std::strcmp(argv[1], "--without-locks") == 0) {
        return execWithoutLocks(argc, argv);
    }
    QCoreApplication app(argc, argv);
    TestLocklessHome test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_LocklessHome.moc"
