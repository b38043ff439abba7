// The send stage against a lab that misbehaves: every archive reaches the lab once under its
// final name, or stays in the pool with the lab holding no final name.
#include "AlertRecorder.h"
#include "LabSim.h"
#include "PoolArchives.h"
#include "TestHome.h"
#include "job/JobInfo.h"
#include "job/JobTestHook.h"
#include "job/NotificationCenter.h"
#include "job/OrderHistory.h"
#include "job/PoolArchiveRecord.h"
#include "job/SendJob.h"
#include "service/LabFtpExchange.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "util/CurlAccount.h"
#include "util/WorkFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTest>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

const QString kFolder = QStringLiteral("/ntordrsm2/");
const QString kName = QStringLiteral("1234_001122AABBCC_0000042.zip");
const QString kErrorTitle = QStringLiteral("エラーが発生しました");

QByteArray randomBytes(qsizetype size, quint32 seed) {
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    generator.fillRange(reinterpret_cast<quint32*>(data.data()), size / 4);
    return data;
}

// An archive waiting in the order pool, with the record the zip stage writes beside it.
QString poolArchive(const QString& name, const QByteArray& data) {
    return poolkit::poolWithRecord(name, data);
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString logText() {
    return QString::fromUtf8(fileBytes(Log::logFilePath()));
}

QStringList ftpCommands(const LabSim& lab, const QString& cmd) {
    QStringList result;
    for (const QJsonObject& entry : lab.ftpLog()) {
        if (entry.value(QStringLiteral("cmd")).toString() == cmd)
            result.append(entry.value(QStringLiteral("path")).toString());
    }
    return result;
}

// The command lines of this process's children, read from /proc as any user of the machine can.
QStringList childCommandLines() {
    QStringList lines;
    const QString self = QString::number(::getpid());
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& pid : pids) {
        if (pid.isEmpty() || !pid.at(0).isDigit())
            continue;
        const QByteArray stat = fileBytes(QStringLiteral("/proc/%1/stat").arg(pid));
        // "pid (comm) state ppid ...": comm may hold blanks, so count from its closing ")".
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 2 || QString::fromLatin1(fields.at(1)) != self)
            continue;
        QByteArray cmdline = fileBytes(QStringLiteral("/proc/%1/cmdline").arg(pid));
        cmdline.replace('\0', ' ');
        if (!cmdline.isEmpty())
            lines.append(QString::fromUtf8(cmdline));
    }
    return lines;
}

// Resets the test seam whatever happens in the test.
struct HookGuard {
    HookGuard() { JobTestHook::setRenameRetryPause(std::chrono::milliseconds(20)); }
    ~HookGuard() { JobTestHook::reset(); }
};

} // namespace

class tst_SendJobSafety : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // An earlier run delivered the archive but lost its confirmation: the lab holds the final
    // name with these bytes (read back, or hashed by the server when its FEAT offers a command).
    // No second upload; the archive leaves the pool as sent.
    void duplicateAtTheLabIsNotSentTwice_data() {
        QTest::addColumn<QString>("hashCommand"); // the lab's, "" for none
        QTest::newRow("read back") << QString();
        QTest::newRow("server HASH") << QStringLiteral("HASH");
        QTest::newRow("server XSHA256") << QStringLiteral("XSHA256");
    }
    void duplicateAtTheLabIsNotSentTwice() {
        QFETCH(QString, hashCommand);
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        const QByteArray data = randomBytes(100'000, 1);
        const QString path = poolArchive(kName, data);
        QVERIFY(!path.isEmpty());
        QVERIFY(lab.putFtpFile(kFolder, kName, data));
        if (!hashCommand.isEmpty())
            QVERIFY(lab.setFaults({{QStringLiteral("hash_command"), hashCommand}}));
        JobInfo info({}, QString(), nullptr, nullptr);
        SendJob job(info);

        QVERIFY(job.start(std::nullopt));

        QVERIFY(!QFile::exists(path));
        QVERIFY(ftpCommands(lab, QStringLiteral("STOR")).isEmpty());
        QCOMPARE(ftpCommands(lab, QStringLiteral("RETR")),
                 hashCommand.isEmpty() ? QStringList{kFolder + kName} : QStringList());
        if (!hashCommand.isEmpty())
            QCOMPARE(ftpCommands(lab, hashCommand), QStringList{kFolder + kName});
        QVERIFY(logText().contains(
            QStringLiteral("送信先の同じ名前のファイルを確認（%1）-- %2：同じ内容")
                .arg(hashCommand.isEmpty() ? QStringLiteral("RETR") : hashCommand, kName)));
        QCOMPARE(lab.ftpFolderFiles(kFolder), QStringList{kName});
        QCOMPARE(lab.reportActions(), QStringList{QStringLiteral("FTP")});
        QCOMPARE(lab.reportField(QStringLiteral("FTP"), QStringLiteral("FileName")), kName);
        QCOMPARE(alerts.messages(), QStringList{QStringLiteral("データを送信しました")});
        QVERIFY(logText().contains(
            QStringLiteral("送信先に同じファイルがあるため送信済みとする -- ") + kName));
        QCOMPARE(OrderHistory::lastRecordForArchive(kName)->outcome,
                 OrderHistoryRecord::Outcome::DuplicateSkipped);
    }

    // Another order under the same name at the lab: neither is replaced. Same size is no proof
    // of the same order: the content is read back and compared, and other bytes of the same size
    // used to be taken for "already sent", which deleted the order.
    void sameNameOtherContentAtTheLabIsNotReplaced_data() {
        QTest::addColumn<bool>("sameSize");
        QTest::addColumn<QString>("hashCommand"); // the lab's, "" for none
        QTest::newRow("other size") << false << QString();
        QTest::newRow("same size, other bytes") << true << QString();
        QTest::newRow("same size, other bytes, server HASH") << true << QStringLiteral("HASH");
    }
    void sameNameOtherContentAtTheLabIsNotReplaced() {
        QFETCH(bool, sameSize);
        QFETCH(QString, hashCommand);
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        const QByteArray data = randomBytes(100'000, 2);
        const QString path = poolArchive(kName, data);
        QVERIFY(!path.isEmpty());
        const QByteArray other = sameSize ? randomBytes(100'000, 22) : QByteArray("another order");
        QVERIFY(lab.putFtpFile(kFolder, kName, other));
        if (!hashCommand.isEmpty())
            QVERIFY(lab.setFaults({{QStringLiteral("hash_command"), hashCommand}}));
        JobInfo info({}, QString(), nullptr, nullptr);
        SendJob job(info);

        QVERIFY(!job.start(path));

        QCOMPARE(fileBytes(path), data);
        QVERIFY(ftpCommands(lab, QStringLiteral("STOR")).isEmpty());
        QVERIFY(ftpCommands(lab, QStringLiteral("RNFR")).isEmpty());
        QCOMPARE(ftpCommands(lab, QStringLiteral("RETR")).size(),
                 sameSize && hashCommand.isEmpty() ? 1 : 0);
        QCOMPARE(lab.ftpFolderFiles(kFolder), QStringList{kName});
        QCOMPARE(fileBytes(lab.ftpLocalPath(kFolder) + u'/' + kName), other);
        QCOMPARE(alerts.messages(), QStringList{kErrorTitle});
        QVERIFY(alerts.last().information.contains(QStringLiteral("同じ名前の別のファイル")));
        QCOMPARE(lab.reportActions(), QStringList{QStringLiteral("FTP-NG")});
        const auto failed = OrderHistory::lastRecordForArchive(kName);
        QVERIFY(failed);
        QCOMPARE(failed->outcome, OrderHistoryRecord::Outcome::Failed);
        QCOMPARE(failed->errorText, alerts.last().information);
    }

    // Killed between the rename at the lab and the local delete: the next pool send finds the
    // recorded rename. When the lab still holds the file, the content decides; when the rename
    // never happened, the archive goes again; when the lab has since taken the file away, nothing
    // proves the delivery and the studio decides (here: it was delivered). The lab gets the order
    // exactly once in every case. (That last case used to conclude "delivered" from the absence
    // of both names alone.)
    void killAfterRenameDeliversOnce_data() {
        QTest::addColumn<QString>("lab"); // what the lab did in between
        QTest::newRow("lab took it away") << QStringLiteral("took");
        QTest::newRow("lab still holds it") << QStringLiteral("holds");
        QTest::newRow("rename not done") << QStringLiteral("not renamed");
    }
    void killAfterRenameDeliversOnce() {
        QFETCH(QString, lab);
        TestHome home;
        LabSim server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        AlertRecorder alerts;
        HookGuard guard;
        // A real order zip without its record: it proves itself a whole zip before it goes.
        const QByteArray data = poolkit::orderZip(150'000, 8);
        QVERIFY(!data.isEmpty());
        const QString path = poolkit::poolWithoutRecord(kName, data);
        QVERIFY(!path.isEmpty());
        if (lab == QStringLiteral("not renamed"))
            QVERIFY(server.setFaults({{QStringLiteral("rename_keeps_temp"), true}}));
        JobTestHook::setKillAt(JobTestHook::Point::AfterRename);
        {
            JobInfo info({}, QString(), nullptr, nullptr);
            SendJob job(info);
            QVERIFY(!job.start(std::nullopt));
        }
        JobTestHook::setKillAt(std::nullopt);
        server.clearFaults();
        QCOMPARE(fileBytes(path), data);
        // What was about to happen was on disk before the rename.
        const std::optional<PoolArchiveRecord> recorded = PoolArchiveRecord::read(path);
        QVERIFY(recorded && recorded->rename);
        QCOMPARE(recorded->rename->temporaryName, QStringLiteral("upload_") + kName);
        QCOMPARE(recorded->rename->finalName, kName);
        QCOMPARE(recorded->rename->size, data.size());
        QCOMPARE(recorded->rename->sha256,
                 QString::fromLatin1(
                     QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex()));
        QVERIFY(!recorded->rename->confirmed);
        // An archive pooled without a record was hashed once before its first send.
        QVERIFY(logText().contains(
            QStringLiteral("作成時の記録がないため送信前のハッシュを記録 -- ") + kName));
        if (lab == QStringLiteral("took")) {
            QVERIFY(QFile::remove(server.ftpLocalPath(kFolder) + u'/' + kName));
            // While the folder cannot be listed nothing proves where the order is: it waits.
            QVERIFY(server.setFaults({{QStringLiteral("fail_nlst"), true}}));
            JobInfo info({}, QString(), nullptr, nullptr);
            SendJob job(info);
            QVERIFY(!job.start(std::nullopt));
            server.clearFaults();
            QCOMPARE(fileBytes(path), data);
            QCOMPARE(ftpCommands(server, QStringLiteral("STOR")).size(), 1);
            QCOMPARE(PoolArchiveRecord::read(path)->rename, recorded->rename);
        }
        alerts.clear();
        if (lab == QStringLiteral("took"))
            alerts.enqueueButton(3); // "送信済みにする": the lab confirmed it has the order

        JobInfo info({}, QString(), nullptr, nullptr);
        SendJob job(info);
        QVERIFY(job.start(std::nullopt));

        QVERIFY(!QFile::exists(path));
        QVERIFY(QDir(QFileInfo(path).path())
                    .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty());
        const int stores = lab == QStringLiteral("not renamed") ? 2 : 1;
        QCOMPARE(ftpCommands(server, QStringLiteral("STOR")).size(), stores);
        QCOMPARE(ftpCommands(server, QStringLiteral("RENAMED")), QStringList{kFolder + kName});
        QCOMPARE(server.ftpFolderFiles(kFolder),
                 lab == QStringLiteral("took") ? QStringList() : QStringList{kName});
        const auto last = OrderHistory::lastRecordForArchive(kName);
        QVERIFY(last);
        if (lab == QStringLiteral("took")) {
            QCOMPARE(alerts.messages(),
                     (QStringList{QStringLiteral("ラボに届いたか確認できない注文があります"),
                                  QStringLiteral("データを送信しました")}));
            QCOMPARE(last->outcome, OrderHistoryRecord::Outcome::Sent);
            QVERIFY(last->errorText.contains(QStringLiteral("スタジオの判断で送信済み")));
            QVERIFY(
                logText().contains(QStringLiteral("スタジオの判断で送信済みとする -- ") + kName));
        } else {
            QCOMPARE(alerts.messages(), QStringList{QStringLiteral("データを送信しました")});
        }
        if (lab == QStringLiteral("took")) {
        } else if (lab == QStringLiteral("holds")) {
            QCOMPARE(last->outcome, OrderHistoryRecord::Outcome::DuplicateSkipped);
        } else {
            QCOMPARE(last->outcome, OrderHistoryRecord::Outcome::Sent);
            QCOMPARE(fileBytes(server.ftpLocalPath(kFolder) + u'/' + kName), data);
        }
    }

    // The FTP account never appears on a command line, where every user of the machine can read
    // it: the send talks FTP in-process, so no program runs for the upload or the exchanges
    // around it, and any other child (the zip check) never carries the account.
    void passwordNeverOnACommandLine() {
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        HookGuard guard;
        const QString path = poolArchive(kName, randomBytes(400'000, 9));
        QVERIFY(!path.isEmpty());
        // A second archive the lab already holds: it is read back, not sent.
        const QString held = QStringLiteral("1234_001122AABBCC_0000043.zip");
        const QByteArray heldData = randomBytes(300'000, 10);
        QVERIFY(!poolArchive(held, heldData).isEmpty());
        QVERIFY(lab.putFtpFile(kFolder, held, heldData));
        // Slow enough that a program running the upload would be caught running.
        QVERIFY(lab.setFaults({{QStringLiteral("upload_rate"), 100'000}}));
        QStringList atUpload;
        JobTestHook::set([&](JobTestHook::Point point) {
            if (point == JobTestHook::Point::UploadStarted)
                atUpload = childCommandLines();
        });
        std::atomic<bool> done{false};
        QStringList seen;
        std::mutex seenMutex;
        std::thread watcher([&] {
            while (!done.load()) {
                const QStringList now = childCommandLines();
                {
                    std::lock_guard lock(seenMutex);
                    seen += now;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        JobInfo info({}, QString(), nullptr, nullptr);
        SendJob job(info);
        const bool sent = job.start(std::nullopt);
        done = true;
        watcher.join();

        QVERIFY(sent);
        QCOMPARE(lab.ftpFolderFiles(kFolder), (QStringList{kName, held}));
        QCOMPARE(ftpCommands(lab, QStringLiteral("RETR")), QStringList{kFolder + held});
        QCOMPARE(ftpCommands(lab, QStringLiteral("STOR")).size(), 1);
        const QString password = QStringLiteral("47kdw9R5");
        QVERIFY2(
            std::none_of(atUpload.cbegin(), atUpload.cend(),
                         [](const QString& line) { return line.contains(QStringLiteral("curl")); }),
            qPrintable(atUpload.join(u'\n')));
        std::lock_guard lock(seenMutex);
        for (const QString& line : atUpload + seen)
            QVERIFY2(!line.contains(password), qPrintable(line));
        QVERIFY(orbel::curlAccountConfig(QStringLiteral("a\"b"), QStringLiteral("c\\d:e")) ==
                QByteArray("user = \"a\\\"b:c\\\\d:e\"\n"));
    }

    // The server stores less than was sent and says 226: the size check catches it (18), the
    // temporary file is removed, nothing is renamed, the archive stays.
    void silentTruncationFailsWith18() {
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        const QString path = poolArchive(kName, randomBytes(300'000, 3));
        QVERIFY(!path.isEmpty());
        QVERIFY(
            lab.setFaults({{QStringLiteral("truncate_upload"), 1000},
                           {QStringLiteral("truncate_upload_match"), QStringLiteral("upload_*")}}));
        JobInfo info({}, QString(), nullptr, nullptr);
        SendJob job(info);

        QVERIFY(!job.start(path));

        QVERIFY(QFile::exists(path));
        QVERIFY(ftpCommands(lab, QStringLiteral("RNFR")).isEmpty());
        QCOMPARE(ftpCommands(lab, QStringLiteral("DELE")),
                 QStringList{kFolder + QStringLiteral("upload_") + kName});
        QCOMPARE(lab.ftpFolderFiles(kFolder), QStringList());
        QCOMPARE(alerts.messages(), QStringList{kErrorTitle});
        QCOMPARE(alerts.last().information,
                 QStringLiteral("(18)エラーが発生（ファイルの一部分しか転送できなかった）"));
        const auto failed = OrderHistory::lastRecordForArchive(kName);
        QVERIFY(failed);
        QCOMPARE(failed->outcome, OrderHistoryRecord::Outcome::Failed);
        QCOMPARE(failed->errorCode, 18);
    }

    // A large archive is checked while it uploads: damaged in the pool, its upload stops long
    // before the end, the lab's temporary file goes and nothing is renamed.
    void largeArchiveDamagedInThePoolStopsItsUpload() {
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        QByteArray data = randomBytes(24 * 1024 * 1024, 5);
        const QString path = poolArchive(kName, data);
        QVERIFY(!path.isEmpty());
        const std::optional<PoolArchiveRecord> packed = PoolArchiveRecord::forArchive(
            path, QString::fromLatin1(PoolArchiveRecord::kHashPacked), {});
        QVERIFY(packed && packed->write(path));
        data[data.size() / 2] = static_cast<char>(data.at(data.size() / 2) ^ 0x5a);
        QVERIFY(!poolkit::poolWithoutRecord(kName, data).isEmpty()); // the record stays
        // About 5 s for the whole archive.
        QVERIFY(lab.setFaults({{QStringLiteral("upload_rate"), 5'000'000}}));
        JobInfo info({}, QString(), nullptr, nullptr);
        SendJob job(info);

        QVERIFY(!job.start(path));

        QCOMPARE(fileBytes(path), data);
        // The check may stop it even before its STOR: 24 MB hash in a few milliseconds.
        const QStringList stored = ftpCommands(lab, QStringLiteral("STOR"));
        QVERIFY2(stored.isEmpty() ||
                     stored == QStringList{kFolder + QStringLiteral("upload_") + kName},
                 qPrintable(stored.join(u' ')));
        qint64 received = -1;
        for (const QJsonObject& entry : lab.ftpLog()) {
            if (entry.value(QStringLiteral("cmd")).toString() == QStringLiteral("RECEIVED"))
                received = entry.value(QStringLiteral("arg")).toString().toLongLong();
        }
        QVERIFY2(received < data.size() / 2 && (received >= 0) == !stored.isEmpty(),
                 qPrintable(QString::number(received)));
        QVERIFY(ftpCommands(lab, QStringLiteral("RNFR")).isEmpty());
        QCOMPARE(lab.ftpFolderFiles(kFolder), QStringList());
        QCOMPARE(alerts.messages(), QStringList{kErrorTitle});
        QVERIFY2(alerts.last().information.contains(QStringLiteral("作成した時から内容が変わって")),
                 qPrintable(alerts.last().information));
        const std::optional<PoolArchiveRecord> after = PoolArchiveRecord::read(path);
        QVERIFY(after && after->sha256 == packed->sha256 && !after->upload && !after->rename);
    }

    // The rename check's answers. The old check took "temporary name not listed" alone for a
    // delivery, which lost the order when the temporary file had vanished.
    void renameCheck_data() {
        QTest::addColumn<QJsonObject>("faults");
        QTest::addColumn<int>("code"); // 0: delivered
        QTest::newRow("RNTO refused") << QJsonObject{{QStringLiteral("refuse_rnto"), true}} << 901;
        QTest::newRow("rename answered but not done")
            << QJsonObject{{QStringLiteral("rename_keeps_temp"), true}} << 901;
        QTest::newRow("listing fails, RNTO refused")
            << QJsonObject{{QStringLiteral("fail_nlst"), true},
                           {QStringLiteral("refuse_rnto"), true}}
            << 903;
        QTest::newRow("listing fails, RNTO accepted")
            << QJsonObject{{QStringLiteral("fail_nlst"), true}} << 0;
        QTest::newRow("write-only folder, empty listing")
            << QJsonObject{{QStringLiteral("write_only"), true}} << 0;
    }
    void renameCheck() {
        QFETCH(QJsonObject, faults);
        QFETCH(int, code);
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        HookGuard guard;
        const QByteArray data = randomBytes(200'000, 4);
        const QString path = poolArchive(kName, data);
        QVERIFY(!path.isEmpty());
        QVERIFY(lab.setFaults(faults));
        JobInfo info({}, QString(), nullptr, nullptr);
        SendJob job(info);

        QCOMPARE(job.start(path), code == 0);
        lab.clearFaults();

        // The look before the upload lists the folder; then one listing per rename attempt that
        // the final name's SIZE did not prove (the upload's check reads its SIZE alone).
        const int attempts = code == 0 ? 1 : 10;
        QCOMPARE(ftpCommands(lab, QStringLiteral("RNFR")).size(), attempts);
        QCOMPARE(ftpCommands(lab, QStringLiteral("NLST")).size(), code == 0 ? 1 : attempts + 1);
        if (code == 0) {
            QVERIFY(!QFile::exists(path));
            QCOMPARE(lab.ftpFolderFiles(kFolder), QStringList{kName});
            QCOMPARE(fileBytes(lab.ftpLocalPath(kFolder) + u'/' + kName), data);
            QVERIFY(ftpCommands(lab, QStringLiteral("DELE")).isEmpty());
            QCOMPARE(alerts.messages(), QStringList{QStringLiteral("データを送信しました")});
        } else {
            QVERIFY(QFile::exists(path));
            QCOMPARE(lab.ftpFolderFiles(kFolder), QStringList());
            QCOMPARE(ftpCommands(lab, QStringLiteral("DELE")),
                     QStringList{kFolder + QStringLiteral("upload_") + kName});
            QCOMPARE(alerts.messages(), QStringList{kErrorTitle});
            QCOMPARE(alerts.last().information,
                     QStringLiteral("(%1)エラーが発生（%2）")
                         .arg(code)
                         .arg(LabFtpExchange::errorMessageForCode(code)));
        }
    }

    // Cancel right after the RNTO: a confirmed rename is latched (no delete on the server, no
    // cancel alert, the archive leaves the pool); an unconfirmed one is cancelled at once.
    void cancelAfterRename_data() {
        QTest::addColumn<bool>("renameWorks");
        QTest::newRow("confirmed") << true;
        QTest::newRow("not confirmed") << false;
    }
    void cancelAfterRename() {
        QFETCH(bool, renameWorks);
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        HookGuard guard;
        const QString path = poolArchive(kName, randomBytes(100'000, 5));
        QVERIFY(!path.isEmpty());
        if (!renameWorks)
            QVERIFY(lab.setFaults({{QStringLiteral("rename_keeps_temp"), true}}));
        JobTestHook::set([](JobTestHook::Point point) {
            if (point == JobTestHook::Point::AfterRename)
                NotificationCenter::defaultCenter().postNotification(kJobCancelNotification);
        });
        JobInfo info({}, QString(), nullptr, nullptr);
        SendJob job(info);

        QCOMPARE(job.start(path), renameWorks);
        lab.clearFaults();

        QCOMPARE(ftpCommands(lab, QStringLiteral("RNFR")).size(), 1);
        if (renameWorks) {
            QVERIFY(!QFile::exists(path));
            QCOMPARE(lab.ftpFolderFiles(kFolder), QStringList{kName});
            QVERIFY(ftpCommands(lab, QStringLiteral("DELE")).isEmpty());
            QCOMPARE(lab.reportActions(), QStringList{QStringLiteral("FTP")});
            QCOMPARE(alerts.messages(), QStringList{QStringLiteral("データを送信しました")});
        } else {
            QVERIFY(QFile::exists(path));
            QCOMPARE(lab.ftpFolderFiles(kFolder), QStringList());
            QCOMPARE(lab.reportActions(), QStringList{QStringLiteral("FTP-NG")});
            QCOMPARE(alerts.messages(), QStringList{QStringLiteral("処理を中止しました")});
        }
    }

    // A name with "#", "?" or "%" reaches the server whole (percent-encoded in the URLs).
    void hostileCharactersTravelWhole() {
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        const QString name = QStringLiteral("12#4?x%41 y_0000001.zip");
        const QByteArray data = randomBytes(50'000, 6);
        const QString path = poolArchive(name, data);
        QVERIFY(!path.isEmpty());
        JobInfo info({}, QString(), nullptr, nullptr);
        SendJob job(info);

        QVERIFY(job.oneZipSend(path, QStringLiteral("全1ファイル中の1つ目")));

        QCOMPARE(ftpCommands(lab, QStringLiteral("STOR")),
                 QStringList{kFolder + QStringLiteral("upload_") + name});
        QCOMPARE(lab.ftpFolderFiles(kFolder), QStringList{name});
        QCOMPARE(fileBytes(lab.ftpLocalPath(kFolder) + u'/' + name), data);
        QVERIFY(!QFile::exists(path));
    }

    // Names the zip stage does not make never reach the server: reported, left in the pool. A
    // name with a line feed and "!" used to become a local shell command in the ftp script.
    void foreignNamesInThePoolAreNeverSent() {
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        AlertRecorder alerts;
        const QString good = poolArchive(kName, randomBytes(50'000, 7));
        const QString hash = poolArchive(QStringLiteral("12#4_001122AABBCC_0000001.zip"), "x");
        const QString shell = poolArchive(QStringLiteral("a\n!touch pwned.zip"), "y");
        QVERIFY(!good.isEmpty() && !hash.isEmpty() && !shell.isEmpty());
        JobInfo info({}, QString(), nullptr, nullptr);
        SendJob job(info);

        QVERIFY(!job.start(std::nullopt));

        QVERIFY(!QFile::exists(good));
        QVERIFY(QFile::exists(hash));
        QVERIFY(QFile::exists(shell));
        QCOMPARE(lab.ftpFolderFiles(kFolder), QStringList{kName});
        QCOMPARE(ftpCommands(lab, QStringLiteral("STOR")).size(), 1);
        QVERIFY(!QFile::exists(home.filePath(QStringLiteral("pwned.zip"))));
        QVERIFY(!QFile::exists(QDir::current().filePath(QStringLiteral("pwned.zip"))));
        QCOMPARE(alerts.messages(), QStringList{kErrorTitle});
        QVERIFY(alerts.last().information.contains(QFileInfo(hash).fileName()));
        QVERIFY(logText().contains(QStringLiteral("送信できないファイル名のため送信しない -- ") +
                                   hash));
        QCOMPARE(OrderHistory::lastRecordForArchive(QFileInfo(hash).fileName())->outcome,
                 OrderHistoryRecord::Outcome::Failed);
        QCOMPARE(OrderHistory::lastRecordForArchive(kName)->outcome,
                 OrderHistoryRecord::Outcome::Sent);

        // One upload on its own refuses a name that could carry a second server command.
        QVERIFY(!job.oneZipSend(shell, QStringLiteral("全1ファイル中の1つ目")));
        QCOMPARE(ftpCommands(lab, QStringLiteral("STOR")).size(), 1);
        QVERIFY(ftpCommands(lab, QStringLiteral("DELE")).isEmpty());
    }

    void archiveNameForm() {
        QVERIFY(SendJob::isOrderArchiveName(QStringLiteral("1234_001122AABBCC_0000042.zip")));
        QVERIFY(SendJob::isOrderArchiveName(QStringLiteral("0000_000000000000_12345678.zip")));
        QVERIFY(!SendJob::isOrderArchiveName(QStringLiteral("1234_001122aabbcc_0000042.zip")));
        QVERIFY(!SendJob::isOrderArchiveName(QStringLiteral("1234_001122AABBCC_42.zip")));
        QVERIFY(!SendJob::isOrderArchiveName(QStringLiteral("1234-2_001122AABBCC_0000042.zip")));
        QVERIFY(!SendJob::isOrderArchiveName(QStringLiteral("earlier.zip")));
        QVERIFY(!SendJob::isOrderArchiveName(QStringLiteral("1234_001122AABBCC_0000042.zip\n")));
    }
};

QTEST_GUILESS_MAIN(tst_SendJobSafety)
#include "tst_SendJobSafety.moc"
