#include "TestHome.h"
#include "job/StopWatch.h"
#include "util/WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <sys/stat.h>

namespace {

bool makeFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write("x") == 1;
}

int modeOf(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777)
                                                                    : -1;
}

bool setMode(const QString& path, int mode) {
    return ::chmod(QFile::encodeName(path).constData(), static_cast<mode_t>(mode)) == 0;
}

} // namespace

class TestWorkFolder : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pathsLiveInTheHomeFolder() {
        TestHome home;
        QCOMPARE(WorkFolder::workFolderPath(), home.path() + QStringLiteral("/MVL_WorkArea"));
        QCOMPARE(WorkFolder::logFolderPath(),
                 home.path() + QStringLiteral("/MVL_WorkArea/Halvix2Log"));
        QCOMPARE(WorkFolder::orderZipPoolFolderPath(),
                 home.path() + QStringLiteral("/MVL_WorkArea/OrderZipPool"));

        // A home where the work area cannot be (a network disk without locks): it goes where the
        // environment says, when that is an absolute path, with its lock and pool.
        const QString local = home.filePath(QStringLiteral("local disk/work"));
        qputenv(WorkFolder::kWorkAreaVariable, QFile::encodeName(local + QStringLiteral("/")));
        QCOMPARE(WorkFolder::workFolderPath(), local);
        QCOMPARE(WorkFolder::lockFilePath(), local + QStringLiteral("/.halvix2.lock"));
        QVERIFY(QDir().mkpath(QFileInfo(local).path()));
        QVERIFY(WorkFolder::checkWorkFolder());
        QVERIFY(QFileInfo(local + QStringLiteral("/OrderZipPool")).isDir());
        QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("MVL_WorkArea"))));
        qputenv(WorkFolder::kWorkAreaVariable, "relative/work");
        QCOMPARE(WorkFolder::workFolderPath(), home.path() + QStringLiteral("/MVL_WorkArea"));
        qunsetenv(WorkFolder::kWorkAreaVariable);
    }

    void createsWhatIsMissing() {
        TestHome home;
        QVERIFY(WorkFolder::checkWorkFolder());
        QVERIFY(QFileInfo(WorkFolder::logFolderPath()).isDir());
        QVERIFY(QFileInfo(WorkFolder::orderZipPoolFolderPath()).isDir());
        // A lost folder is made again; what the others hold is left alone.
        const QString log = WorkFolder::logFolderPath() + QStringLiteral("/20260101.log");
        QVERIFY(makeFile(log));
        QVERIFY(QDir(WorkFolder::orderZipPoolFolderPath()).removeRecursively());
        QVERIFY(!QFileInfo::exists(WorkFolder::orderZipPoolFolderPath()));
        QVERIFY(WorkFolder::checkWorkFolder());
        QVERIFY(QFileInfo(WorkFolder::orderZipPoolFolderPath()).isDir());
        QCOMPARE(QFileInfo(log).size(), 1);
    }

    // The work area holds the customers' photos and orders: what the program makes there is the
    // user's alone.
    void madeFoldersAreTheUsersAlone() {
        TestHome home;
        QVERIFY(WorkFolder::checkWorkFolder());
        QCOMPARE(modeOf(WorkFolder::workFolderPath()), 0700);
        QCOMPARE(modeOf(WorkFolder::logFolderPath()), 0700);
        QCOMPARE(modeOf(WorkFolder::orderZipPoolFolderPath()), 0700);
    }

    // A work area of an earlier version, open to every local user, is closed at start; the owner's
    // own permissions (an installer script's execute bit) stay, links are not followed.
    void anOpenWorkAreaIsClosed() {
        TestHome home;
        const QString work = WorkFolder::workFolderPath();
        QVERIFY(QDir().mkpath(WorkFolder::orderZipPoolFolderPath()));
        QVERIFY(QDir().mkpath(WorkFolder::logFolderPath()));
        QVERIFY(QDir().mkpath(work + QStringLiteral("/Halvix2_v230/pkg")));
        const QString archive = WorkFolder::orderZipPoolFolderPath() + QStringLiteral("/a.zip");
        const QString log = WorkFolder::logFolderPath() + QStringLiteral("/20260101.log");
        const QString script = work + QStringLiteral("/Halvix2_v230/pkg/install.sh");
        const QString outside = home.filePath(QStringLiteral("outside.txt"));
        const QString link = work + QStringLiteral("/link");
        for (const QString& file : {archive, log, script, outside}) {
            QVERIFY(makeFile(file));
            QVERIFY(setMode(file, 0644));
        }
        QVERIFY(setMode(script, 0755));
        QVERIFY(QFile::link(outside, link));
        for (const QString& folder :
             {work, WorkFolder::logFolderPath(), WorkFolder::orderZipPoolFolderPath(),
              work + QStringLiteral("/Halvix2_v230")}) {
            QVERIFY(setMode(folder, 0755));
        }
        QVERIFY(setMode(work + QStringLiteral("/Halvix2_v230/pkg"), 0775));
        QVERIFY(WorkFolder::checkWorkFolder());

        const QStringList changed = WorkFolder::makePrivate();
        QCOMPARE(changed.size(), 8);
        QCOMPARE(modeOf(work), 0700);
        QCOMPARE(modeOf(WorkFolder::logFolderPath()), 0700);
        QCOMPARE(modeOf(WorkFolder::orderZipPoolFolderPath()), 0700);
        QCOMPARE(modeOf(work + QStringLiteral("/Halvix2_v230/pkg")), 0700);
        QCOMPARE(modeOf(archive), 0600);
        QCOMPARE(modeOf(log), 0600);
        QCOMPARE(modeOf(script), 0700);
        QCOMPARE(modeOf(outside), 0644);
        // Nothing is left to close.
        QVERIFY(WorkFolder::makePrivate().isEmpty());
    }

    void fileInThePlaceOfTheWorkAreaFails() {
        TestHome home;
        QVERIFY(makeFile(WorkFolder::workFolderPath()));
        QVERIFY(!WorkFolder::checkWorkFolder());
        QVERIFY(QFileInfo(WorkFolder::workFolderPath()).isFile());
        QCOMPARE(QFileInfo(WorkFolder::workFolderPath()).size(), 1);
    }

    void fileInThePlaceOfASubFolderFails() {
        TestHome home;
        QVERIFY(QDir(home.path()).mkdir(QStringLiteral("MVL_WorkArea")));
        QVERIFY(makeFile(WorkFolder::logFolderPath()));
        QVERIFY(!WorkFolder::checkWorkFolder());
        QVERIFY(QFileInfo(WorkFolder::logFolderPath()).isFile());
        // The other folder is still made.
        QVERIFY(QFileInfo(WorkFolder::orderZipPoolFolderPath()).isDir());
    }

    void stopWatchStates() {
        StopWatch watch;
        QCOMPARE(watch.lap(), 0.0);
        QCOMPARE(watch.total(), 0.0);
        watch.start();
        QVERIFY(watch.lap() >= 0.0);
        QCOMPARE(watch.total(), 0.0); // not stopped yet
        watch.stop();
        const double total = watch.total();
        QVERIFY(total >= 0.0);
        QVERIFY(watch.lap() >= total); // lap keeps counting, total stays
        QCOMPARE(watch.total(), total);
        watch.start();
        QCOMPARE(watch.total(), 0.0); // a new start clears the stop

        StopWatch stopOnly;
        stopOnly.stop();
        QCOMPARE(stopOnly.total(), 0.0);
        QVERIFY(stopOnly.lap() >= 0.0);
    }
};

QTEST_GUILESS_MAIN(TestWorkFolder)
#include "tst_WorkFolder.moc"
