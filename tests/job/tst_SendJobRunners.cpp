#include "AlertRecorder.h"
#include "LabSim.h"
#include "TestHome.h"
#include "job/JobInfo.h"
#include "job/SendJob.h"
#include "service/LabConfig.h"
#include "util/PathUtil.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QFile>
#include <QJsonObject>
#include <QTest>

// The send stage's own child-process runners and the FTP download of the version-up.
class tst_SendJobRunners : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // curl prints its meter on standard error, so the stage's shell runner keeps standard output
    // whatever standard error holds.
    void simpleShellKeepsOutputDespiteStderr() {
        TestHome home;
        JobInfo info({}, QString(), nullptr, nullptr);
        SendJob job(info);
        QCOMPARE(job.simpleShell(QStringLiteral("echo a; echo meter >&2")),
                 std::optional<QString>(QStringLiteral("a\n")));
        QCOMPARE(
            job.simpleShell(QStringLiteral("echo 'it''s' \"$HOME\"")),
            std::optional<QString>(QStringLiteral("its ") + home.path() + QStringLiteral("\n")));
        QCOMPARE(job.simpleShell(QStringLiteral("exit 3")), std::optional<QString>(QString()));
    }

    // The clean-up script reaches the server through the ftp client and removes the file.
    void ftpCmdExecuteDeletesOnServer() {
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        const QString folder = QStringLiteral("/ntordrsm2/");
        QVERIFY(lab.putFtpFile(folder, QStringLiteral("upload_a.zip"), "partial"));
        QVERIFY(lab.putFtpFile(folder, QStringLiteral("b.zip"), "other order"));
        JobInfo info({}, QString(), nullptr, nullptr);
        SendJob job(info);

        job.ftpCmdExecute(
            QStringLiteral("open %1\nuser %2 47kdw9R5\ndel %3upload_a.zip\nclose\nbye\n")
                .arg(LabConfig::ftpOpenHost(LabConfig::orderFtpHost()), LabConfig::orderFtpUser(),
                     folder));

        QCOMPARE(lab.ftpFolderFiles(folder), QStringList{QStringLiteral("b.zip")});
    }

    void ftpDownloadUnpacksAndDeletesZip() {
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString work = WorkFolder::workFolderPath();

        // The folder given with "~", as the version-up passes it.
        QVERIFY(Tool::ftpFileDownLoadAndUnzipWithHost(
            LabConfig::orderFtpHost(), QStringLiteral("/upver/m/Halvix2_v210.zip"),
            LabConfig::orderFtpUser(), QStringLiteral("47kdw9R5"),
            QStringLiteral("~/MVL_WorkArea")));

        QVERIFY(!QFile::exists(work + QStringLiteral("/Halvix2_v210.zip")));
        QVERIFY(orbel::isFolderPath(work + QStringLiteral("/Halvix2_v210")));
        const QStringList unpacked =
            orbel::allFilePathArray(work + QStringLiteral("/Halvix2_v210"));
        QVERIFY(std::any_of(unpacked.begin(), unpacked.end(), [](const QString& path) {
            return path.endsWith(QStringLiteral("/Halvix2_Install.mpkg"));
        }));
    }

    void ftpDownloadFailures_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QJsonObject>("faults");
        QTest::newRow("file missing")
            << QStringLiteral("47kdw9R5") << QJsonObject{{QStringLiteral("upver_missing"), true}};
        QTest::newRow("wrong password") << QStringLiteral("wrong") << QJsonObject();
    }
    void ftpDownloadFailures() {
        QFETCH(QString, password);
        QFETCH(QJsonObject, faults);
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        QVERIFY(lab.setFaults(faults));
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString work = WorkFolder::workFolderPath();

        QVERIFY(!Tool::ftpFileDownLoadAndUnzipWithHost(LabConfig::orderFtpHost(),
                                                       QStringLiteral("/upver/m/Halvix2_v210.zip"),
                                                       LabConfig::orderFtpUser(), password, work));

        QVERIFY(!orbel::isFolderPath(work + QStringLiteral("/Halvix2_v210")));
    }
};

QTEST_GUILESS_MAIN(tst_SendJobRunners)
#include "tst_SendJobRunners.moc"
