#include "TestHome.h"
#include "job/StopWatch.h"
#include "util/WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {

bool makeFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write("x") == 1;
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
