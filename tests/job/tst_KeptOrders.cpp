// The kept folder of sent orders: what the send stage's disposal does with a delivered archive,
// the days and the cap (with a clock of the test's choosing), the check before a re-send and the
// look inside, all on real files made with the real zip.
#include "AlertRecorder.h"
#include "TestHome.h"
#include "job/JobInfo.h"
#include "job/KeptOrders.h"
#include "job/OrderHistory.h"
#include "job/PoolArchiveRecord.h"
#include "job/ResendJob.h"
#include "settings/Log.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "util/ProcessRunner.h"
#include "util/ShiftJisCodec.h"
#include "util/ToolPaths.h"
#include "util/WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>
#include <sys/stat.h>

namespace {

const QString kPassword = QStringLiteral("qelvoxa");

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

QByteArray report(const QString& name, qint64 bag) {
    return shiftjis::encode(
        QStringLiteral("CUSTOMER_NUMBER=1234\r\nLAB_ORDER_ID=%1\r\nCUSTOMER_EMAIL=a@b.jp\r\n"
                       "CUSTOMER_ORDER_ID=%2\r\nORDER_TYPE=その他\r\n"
                       "---------------------------------------\r\n"
                       "Special_Instraction=至急お願いします\r\nLAB_ORDER_ID=不変\r\n(^^)\r\n")
            .arg(bag, 7, 10, QLatin1Char('0'))
            .arg(name.chopped(4)));
}

// An archive as the zip stage leaves it in the pool: the report first, then two files, password
// protected, with its packing record beside it.
QString pooledArchive(const QString& name, qint64 bag, int extraBytes = 1000) {
    const QString src = WorkFolder::workFolderPath() + QStringLiteral("/src-") + name;
    QByteArray photo(extraBytes, 'x');
    for (int i = 0; i < photo.size(); ++i)
        photo[i] = static_cast<char>((i * 131 + bag) % 251);
    if (!writeFile(src + QStringLiteral("/PrintReport4.txt"), report(name, bag)) ||
        !writeFile(src + QStringLiteral("/photos/a.jpg"), photo) ||
        !writeFile(src + QStringLiteral("/photos/メモ.txt"), "memo\n"))
        return {};
    QDir().mkpath(WorkFolder::orderZipPoolFolderPath());
    const QString archive = WorkFolder::orderZipPoolFolderPath() + u'/' + name;
    ProcessOptions options;
    options.workingDirectory = src;
    if (!runProcess(ToolPaths::zip(),
                    {QStringLiteral("-q"), QStringLiteral("-P"), kPassword, archive,
                     QStringLiteral("PrintReport4.txt"), QStringLiteral("photos/a.jpg"),
                     QStringLiteral("photos/メモ.txt")},
                    options)
             .succeeded())
        return {};
    QDir(src).removeRecursively();
    const auto record = PoolArchiveRecord::forArchive(
        archive, QString::fromLatin1(PoolArchiveRecord::kHashPacked), {});
    return record && record->write(archive) ? archive : QString();
}

QString logText() {
    return QString::fromUtf8(readAll(Log::logFilePath()));
}

QByteArray entry(const QString& archive, const QString& name) {
    return runProcess(ToolPaths::unzip(),
                      {QStringLiteral("-p"), QStringLiteral("-P"), kPassword, archive, name})
        .stdoutData;
}

KeptOrderPolicy policy(qint64 days, qint64 cap) {
    KeptOrderPolicy p;
    p.days = days;
    p.capBytes = cap;
    return p;
}

} // namespace

class TestKeptOrders : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { KeptOrders::resetToldForTest(); }

    // Delivered: archive and record leave the pool together for a private kept folder, unchanged.
    void deliveredArchiveIsKeptWithItsRecord() {
        TestHome home;
        AlertRecorder alerts;
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString archive = pooledArchive(QStringLiteral("1234_001122AABBCC_0000042.zip"), 42);
        QVERIFY(!archive.isEmpty());
        const QByteArray bytes = readAll(archive);
        const QByteArray record = readAll(PoolArchiveRecord::recordPathFor(archive));

        QVERIFY(KeptOrders::keepDelivered(archive));

        QVERIFY(!QFileInfo::exists(archive));
        QVERIFY(!QFileInfo::exists(PoolArchiveRecord::recordPathFor(archive)));
        const std::optional<QString> kept =
            KeptOrders::keptArchivePath(QStringLiteral("1234_001122AABBCC_0000042.zip"));
        QVERIFY(kept);
        QCOMPARE(readAll(*kept), bytes);
        QCOMPARE(readAll(PoolArchiveRecord::recordPathFor(*kept)), record);
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(KeptOrders::folderPath()).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0700U);
        QCOMPARE(KeptOrders::check(*kept), KeptOrders::Check::Sound);
        QVERIFY(logText().contains(
            QStringLiteral("送信済みの注文を保管 -- 1234_001122AABBCC_0000042.zip")));
        QCOMPARE(alerts.count(), 0);
    }

    // 0 days: as before keeping existed, the archive and its record are deleted.
    void keepingOffDeletesAsBefore() {
        TestHome home;
        AlertRecorder alerts;
        QVERIFY(WorkFolder::checkWorkFolder());
        UserDef::setObject(qint64(0), SettingsKey::KeptOrderDays);
        const QString archive = pooledArchive(QStringLiteral("1234_001122AABBCC_0000001.zip"), 1);
        QVERIFY(!archive.isEmpty());
        QVERIFY(KeptOrders::keepDelivered(archive));
        QVERIFY(!QFileInfo::exists(archive));
        QVERIFY(!QFileInfo::exists(PoolArchiveRecord::recordPathFor(archive)));
        QVERIFY(!QFileInfo::exists(KeptOrders::folderPath()));
        QCOMPARE(alerts.count(), 0);
    }

    // A kept folder that cannot take the archive (its name taken by a file; a folder on another
    // file system, where a rename cannot reach): deleted as before, one line per archive, the
    // studio told once.
    void keptFolderThatCannotTakeItDegradesToDeletion_data() {
        QTest::addColumn<bool>("otherFileSystem");
        QTest::newRow("name taken by a file") << false;
        QTest::newRow("another file system") << true;
    }
    void keptFolderThatCannotTakeItDegradesToDeletion() {
        QFETCH(bool, otherFileSystem);
        TestHome home;
        AlertRecorder alerts;
        QVERIFY(WorkFolder::checkWorkFolder());
        QTemporaryDir shm(QStringLiteral("/dev/shm/halvix-kept-XXXXXX"));
        if (otherFileSystem) {
            QVERIFY(shm.isValid());
            struct stat a {
            }, b{};
            ::stat(QFile::encodeName(shm.path()).constData(), &a);
            ::stat(QFile::encodeName(WorkFolder::workFolderPath()).constData(), &b);
            if (a.st_dev == b.st_dev)
                QSKIP("/dev/shm is on the work area's file system here");
            QVERIFY(QFile::link(shm.path(), KeptOrders::folderPath()));
        } else {
            QVERIFY(writeFile(KeptOrders::folderPath(), "not a folder"));
        }
        for (int bag : {1, 2}) {
            const QString name =
                QStringLiteral("1234_001122AABBCC_%1.zip").arg(bag, 7, 10, QLatin1Char('0'));
            const QString archive = pooledArchive(name, bag);
            QVERIFY(!archive.isEmpty());
            QVERIFY(KeptOrders::keepDelivered(archive));
            QVERIFY(!QFileInfo::exists(archive));
            QVERIFY(!QFileInfo::exists(PoolArchiveRecord::recordPathFor(archive)));
            QVERIFY(logText().contains(
                QStringLiteral("送信済みの注文を保管できないため削除 -- %1").arg(name)));
        }
        QCOMPARE(alerts.messages(), QStringList{QStringLiteral("送信済みの注文を保管できません")});
        if (otherFileSystem)
            QVERIFY(QDir(shm.path()).isEmpty());
    }

    // Days first (by the kept time, with the test's clock), then the oldest until the cap holds.
    void daysAndCapRemoveTheOldestFirst() {
        TestHome home;
        QVERIFY(WorkFolder::checkWorkFolder());
        const QDateTime t0 = QDateTime::currentDateTime().addDays(-30);
        QStringList names;
        for (int i = 0; i < 4; ++i) {
            const QString name =
                QStringLiteral("1234_001122AABBCC_%1.zip").arg(i + 1, 7, 10, QLatin1Char('0'));
            const QString archive = pooledArchive(name, i + 1, 20000);
            QVERIFY(!archive.isEmpty());
            // Kept on four days in a row.
            QVERIFY(KeptOrders::keepDelivered(archive, t0.addDays(i)));
            names.append(name);
        }
        QCOMPARE(KeptOrders::list().size(), 4);
        QCOMPARE(KeptOrders::list().first().name, names.first());
        const qint64 one = KeptOrders::list().first().size;

        // Seven days after the second was kept: the first two are past their days.
        QCOMPARE(KeptOrders::prune(policy(7, qint64(1) << 40), t0.addDays(8)),
                 (QStringList{names.at(0), names.at(1)}));
        QVERIFY(!QFileInfo::exists(
            PoolArchiveRecord::recordPathFor(KeptOrders::folderPath() + u'/' + names.at(0))));
        // A cap that holds one archive and a half: the older of the two left goes.
        QCOMPARE(KeptOrders::prune(policy(7, one + one / 2), t0.addDays(8)),
                 QStringList{names.at(2)});
        QCOMPARE(KeptOrders::list().size(), 1);
        QCOMPARE(KeptOrders::list().first().name, names.at(3));
        const QString log = logText();
        QCOMPARE(log.count(QStringLiteral("保管期間（7日）を過ぎた送信済みの注文を削除")), 2);
        QCOMPARE(log.count(QStringLiteral("を超えたため送信済みの注文を削除")), 1);
        // Keeping switched off: what is kept goes at the next look.
        QCOMPARE(KeptOrders::prune(policy(0, qint64(1) << 40), t0.addDays(8)),
                 QStringList{names.at(3)});
        QVERIFY(KeptOrders::list().isEmpty());
    }

    // The automatic cap: 20 GB, or a tenth of the room without the kept archives when smaller.
    void automaticCapIsTheSmallerOfTwentyGBAndATenth() {
        QCOMPARE(KeptOrders::automaticCapBytes(qint64(500) * 1000 * 1000 * 1000, 0),
                 KeptOrders::kDefaultCapBytes);
        QCOMPARE(KeptOrders::automaticCapBytes(qint64(90) * 1000 * 1000 * 1000,
                                               qint64(10) * 1000 * 1000 * 1000),
                 qint64(10) * 1000 * 1000 * 1000);
        TestHome home;
        UserDef::setObject(qint64(3), SettingsKey::KeptOrderCapGB);
        QCOMPARE(KeptOrders::policyFromSettings().capBytes, qint64(3) * 1000 * 1000 * 1000);
        QCOMPARE(KeptOrders::policyFromSettings().days, qint64(7));
    }

    // The bytes must be the ones sent: a changed byte, a shorter file, or (without a record) a
    // broken entry is refused.
    void damagedKeptArchiveFailsItsCheck() {
        TestHome home;
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString archive =
            pooledArchive(QStringLiteral("1234_001122AABBCC_0000005.zip"), 5, 50000);
        QVERIFY(KeptOrders::keepDelivered(archive));
        const QString kept = *KeptOrders::keptArchivePath(QFileInfo(archive).fileName());
        QFile file(kept);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(file.size() / 2));
        const char flipped = static_cast<char>(file.peek(1).at(0) ^ 0x20);
        QVERIFY(file.write(&flipped, 1) == 1);
        file.close();
        QCOMPARE(KeptOrders::check(kept), KeptOrders::Check::Damaged);
        // Without its record the entries' CRCs decide.
        QVERIFY(PoolArchiveRecord::remove(kept));
        QCOMPARE(KeptOrders::check(kept), KeptOrders::Check::Damaged);
        const QString sound = pooledArchive(QStringLiteral("1234_001122AABBCC_0000006.zip"), 6);
        QVERIFY(PoolArchiveRecord::remove(sound));
        QCOMPARE(KeptOrders::check(sound), KeptOrders::Check::Sound);
    }

    // The look inside: the report decoded from Shift_JIS and the entries in order, nothing
    // unpacked next to the archive.
    void contentsShowReportAndFiles() {
        TestHome home;
        QVERIFY(WorkFolder::checkWorkFolder());
        const QString archive = pooledArchive(QStringLiteral("1234_001122AABBCC_0000007.zip"), 7);
        const QStringList before =
            QDir(WorkFolder::orderZipPoolFolderPath())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        const KeptOrderContents contents = KeptOrders::contents(archive);
        QVERIFY2(contents.error.isEmpty(), qPrintable(contents.error));
        QCOMPARE(contents.files,
                 (QStringList{QStringLiteral("PrintReport4.txt"), QStringLiteral("photos/a.jpg"),
                              QStringLiteral("photos/メモ.txt")}));
        QVERIFY(contents.report.contains(QStringLiteral("Special_Instraction=至急お願いします")));
        QVERIFY(contents.report.contains(QStringLiteral("ORDER_TYPE=その他")));
        QCOMPARE(QDir(WorkFolder::orderZipPoolFolderPath())
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 before);
        QVERIFY(!KeptOrders::contents(home.filePath(QStringLiteral("none.zip"))).error.isEmpty());
    }

    // Only the two lines that name the order change, and only in the head.
    void resendReportChangesOnlyTheTwoNamingLines() {
        const QByteArray before = report(QStringLiteral("1234_001122AABBCC_0000042.zip"), 42);
        OrderArchiveName name{QStringLiteral("1234"), QStringLiteral("001122AABBCC"), 43};
        const QByteArray after = ResendJob::reportForArchive(before, name);
        const QList<QByteArray> a = before.split('\n');
        const QList<QByteArray> b = after.split('\n');
        QCOMPARE(a.size(), b.size());
        QStringList changed;
        for (int i = 0; i < a.size(); ++i) {
            if (a.at(i) != b.at(i))
                changed.append(QString::fromLatin1(b.at(i)).trimmed());
        }
        QCOMPARE(changed,
                 (QStringList{QStringLiteral("LAB_ORDER_ID=0000043"),
                              QStringLiteral("CUSTOMER_ORDER_ID=1234_001122AABBCC_0000043")}));
        QVERIFY(after.endsWith("(^^)\r\n"));
    }

    // A damaged kept order is not sent again: the studio is told which order, nothing reaches
    // the pool, the bag number stays.
    void damagedKeptOrderIsRefusedForResend() {
        TestHome home;
        AlertRecorder alerts;
        QVERIFY(WorkFolder::checkWorkFolder());
        UserDef::setObject(qint64(42), SettingsKey::BagNo);
        const QString archive = pooledArchive(QStringLiteral("1234_001122AABBCC_0000042.zip"), 42);
        QVERIFY(KeptOrders::keepDelivered(archive));
        const QString kept = *KeptOrders::keptArchivePath(QFileInfo(archive).fileName());
        QFile file(kept);
        QVERIFY(file.open(QIODevice::Append));
        file.write("x");
        file.close();

        JobInfo info(std::nullopt, {}, QString(), nullptr, nullptr);
        ResendJob job(info, kept);
        QVERIFY(!job.start());
        QCOMPARE(alerts.messages(), QStringList{QStringLiteral("保管中の注文が壊れています")});
        QVERIFY(
            alerts.last().information.contains(QStringLiteral("1234_001122AABBCC_0000042.zip")));
        QVERIFY(alerts.last().information.contains(QStringLiteral("袋番号 0000042")));
        QVERIFY(QDir(WorkFolder::orderZipPoolFolderPath())
                    .entryList({QStringLiteral("*.zip")})
                    .isEmpty());
        QCOMPARE(UserDef::integerForKey(SettingsKey::BagNo), qint64(42));
        QVERIFY(QFileInfo::exists(kept)); // kept as it is, for the studio to look at
    }

    // A sound kept order becomes a new pooled order: next free bag number, a fresh record,
    // entries byte-identical but the report's two lines, the history linked, the kept one
    // untouched.
    void soundKeptOrderBecomesANewPooledOrder() {
        TestHome home;
        AlertRecorder alerts;
        QVERIFY(WorkFolder::checkWorkFolder());
        UserDef::setObject(qint64(42), SettingsKey::BagNo);
        const QString name = QStringLiteral("1234_001122AABBCC_0000042.zip");
        const QString archive = pooledArchive(name, 42, 300000);
        QVERIFY(KeptOrders::keepDelivered(archive));
        const QString kept = *KeptOrders::keptArchivePath(name);
        const QByteArray keptBytes = readAll(kept);
        // 43 is named in the history already (an order saved elsewhere): the next free one is 44.
        OrderHistoryRecord used;
        used.dateTime = QDateTime::currentDateTime();
        used.archiveName = QStringLiteral("1234_001122AABBCC_0000043.zip");
        used.outcome = OrderHistoryRecord::Outcome::Saved;
        QVERIFY(OrderHistory::append(used));

        JobInfo info(std::nullopt, {}, QString(), nullptr, nullptr);
        ResendJob job(info, kept);
        QVERIFY(job.start());
        const QString pooled =
            WorkFolder::orderZipPoolFolderPath() + QStringLiteral("/1234_001122AABBCC_0000044.zip");
        QCOMPARE(job.poolArchivePath(), pooled);
        QCOMPARE(UserDef::integerForKey(SettingsKey::BagNo), qint64(44));
        QCOMPARE(readAll(kept), keptBytes);
        const std::optional<PoolArchiveRecord> record = PoolArchiveRecord::read(pooled);
        QVERIFY(record);
        QCOMPARE(record->sha256, *PoolArchiveRecord::sha256OfFile(pooled));
        QCOMPARE(KeptOrders::contents(pooled).files, KeptOrders::contents(kept).files);
        for (const QString& e : {QStringLiteral("photos/a.jpg"), QStringLiteral("photos/メモ.txt")})
            QCOMPARE(entry(pooled, e), entry(kept, e));
        QCOMPARE(entry(pooled, QStringLiteral("PrintReport4.txt")),
                 ResendJob::reportForArchive(
                     entry(kept, QStringLiteral("PrintReport4.txt")),
                     {QStringLiteral("1234"), QStringLiteral("001122AABBCC"), 44}));
        const std::optional<OrderHistoryRecord> last =
            OrderHistory::lastRecordForArchive(QFileInfo(pooled).fileName());
        QVERIFY(last);
        QCOMPARE(last->outcome, OrderHistoryRecord::Outcome::Pooled);
        QCOMPARE(last->resentFrom, name);
        // Nothing left in the work area from the making.
        QVERIFY(!QFileInfo::exists(WorkFolder::workFolderPath() +
                                   QStringLiteral("/1234_001122AABBCC_0000044")));
        QVERIFY(!QFileInfo::exists(WorkFolder::workFolderPath() +
                                   QStringLiteral("/1234_001122AABBCC_0000044.zip")));
        QCOMPARE(alerts.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestKeptOrders)
#include "tst_KeptOrders.moc"
