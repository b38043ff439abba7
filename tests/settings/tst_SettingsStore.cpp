#include "AlertRecorder.h"
#include "FileFaults.h"
#include "PlistBombs.h"
#include "TestHome.h"
#include "TestProcess.h"
#include "settings/Log.h"
#include "settings/SettingsStore.h"
#include "settings/UserDef.h"
#include "util/InstanceLock.h"
#include "util/PlistVariant.h"
#include "util/WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

QString settingsPath(const TestHome& home) {
    return home.filePath(QStringLiteral(".config/halvix2/settings.plist"));
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QStringList asideFiles(const TestHome& home) {
    return QDir(home.filePath(QStringLiteral(".config/halvix2")))
        .entryList({QStringLiteral("settings.plist.corrupt-*")}, QDir::Files, QDir::Name);
}

// What the file on disk holds now, read independently of the store.
QVariantMap fileContents(const TestHome& home) {
    const auto v = plistFromData(readAll(settingsPath(home)));
    return v ? v->toMap() : QVariantMap();
}

// A folder (with something in it) where the settings file belongs: no rename replaces it, for
// the superuser neither, as a full disk refuses every write.
bool blockSettingsFile(const TestHome& home) {
    return QFile::remove(settingsPath(home)) && QDir().mkpath(settingsPath(home)) &&
           writeFile(settingsPath(home) + QStringLiteral("/keep"), "x");
}

int countIn(const QString& text, const QString& part) {
    return static_cast<int>(text.count(part));
}

QString logText() {
    return QString::fromUtf8(readAll(Log::logFilePath()));
}

} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void valuesSurviveARestart() {
        TestHome home;
        QCOMPARE(SettingsStore::settingsFilePath(), settingsPath(home));
        const QVariantMap dic{{QStringLiteral("PrintSizePopKey"), QStringLiteral("L判")},
                              {QStringLiteral("Count"), qint64(3)}};
        UserDef::setObject(QStringLiteral("プリント"), QStringLiteral("MainTabLabel"));
        UserDef::setObject(41, QStringLiteral("BagNo"));
        UserDef::setObject(dic, QStringLiteral("PrintDic"));
        UserDef::setObject(QStringList{QStringLiteral("a"), QStringLiteral("b")},
                           QStringLiteral("AlbumSetTitles"));
        UserDef::setObject(QStringLiteral("gone"), QStringLiteral("Removed"));
        UserDef::removeObjectForKey(QStringLiteral("Removed"));
        QVERIFY(SettingsStore::flush());

        SettingsStore::resetForTesting();
        QCOMPARE(UserDef::stringForKey(QStringLiteral("MainTabLabel")),
                 std::optional<QString>(QStringLiteral("プリント")));
        QCOMPARE(UserDef::integerForKey(QStringLiteral("BagNo")), 41);
        QCOMPARE(UserDef::objectForKey(QStringLiteral("BagNo")).typeId(), int(QMetaType::LongLong));
        QCOMPARE(UserDef::dictionaryForKey(QStringLiteral("PrintDic")), std::optional(dic));
        QCOMPARE(UserDef::arrayForKey(QStringLiteral("AlbumSetTitles")),
                 std::optional(QVariantList{QStringLiteral("a"), QStringLiteral("b")}));
        QVERIFY(!UserDef::objectForKey(QStringLiteral("Removed")).isValid());
        // The file holds private data (password digests): only its owner may read it.
        QCOMPARE(QFileInfo(settingsPath(home)).permissions() &
                     (QFile::ReadOther | QFile::ReadGroup),
                 QFile::Permissions());
    }

    void locationFollowsXdgConfigHome() {
        TestHome home;
        qunsetenv("XDG_CONFIG_HOME");
        SettingsStore::resetForTesting();
        QCOMPARE(SettingsStore::settingsFilePath(), settingsPath(home));
        const QString other = home.filePath(QStringLiteral("elsewhere"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(other));
        SettingsStore::resetForTesting();
        UserDef::setObject(QStringLiteral("x"), QStringLiteral("K"), true);
        QVERIFY(QFile::exists(other + QStringLiteral("/halvix2/settings.plist")));
        QVERIFY(!QFile::exists(settingsPath(home)));
    }

    void unsyncedWriteIsKeptAtQuit() {
        TestHome home;
        // A child process writes without flushing and ends normally.
        const pid_t pid = ::fork();
        QVERIFY(pid >= 0);
        if (pid == 0) {
            UserDef::setObject(QStringLiteral("quit"), QStringLiteral("AtQuit"));
            std::exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(pid, &status, 0), pid);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(fileContents(home).value(QStringLiteral("AtQuit")).toString(),
                 QStringLiteral("quit"));
    }

    void unsyncedWriteReachesDiskWithoutQuit() {
        TestHome home;
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        const pid_t pid = ::fork();
        QVERIFY(pid >= 0);
        if (pid == 0) {
            ::close(fds[0]);
            UserDef::setObject(QStringLiteral("later"), QStringLiteral("Background"));
            const char done = 'd';
            [[maybe_unused]] const auto n = ::write(fds[1], &done, 1);
            for (;;) {
                ::pause();
            }
        }
        ::close(fds[1]);
        char byte = 0;
        QCOMPARE(::read(fds[0], &byte, 1), ssize_t(1));
        ::close(fds[0]);
        // The writer neither flushes nor quits: its background writer must save the change. The
        // bound only keeps a broken build from hanging; it is no speed goal.
        QTRY_VERIFY_WITH_TIMEOUT(
            fileContents(home).value(QStringLiteral("Background")).toString() ==
                QStringLiteral("later"),
            60000);
        QCOMPARE(::kill(pid, SIGKILL), 0);
        int status = 0;
        QCOMPARE(::waitpid(pid, &status, 0), pid);
    }

    void flushedKeySurvivesKill() {
        TestHome home;
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        const pid_t pid = ::fork();
        QVERIFY(pid >= 0);
        if (pid == 0) {
            ::close(fds[0]);
            UserDef::setObject(QStringLiteral("1"), QStringLiteral("Before"), true);
            UserDef::setObject(QStringLiteral("AcSave"), QStringLiteral("OrderActionType"), true);
            const char done = 'd';
            [[maybe_unused]] const auto n = ::write(fds[1], &done, 1);
            for (;;) {
                ::pause();
            }
        }
        ::close(fds[1]);
        char byte = 0;
        QCOMPARE(::read(fds[0], &byte, 1), ssize_t(1));
        ::close(fds[0]);
        QCOMPARE(::kill(pid, SIGKILL), 0);
        int status = 0;
        QCOMPARE(::waitpid(pid, &status, 0), pid);
        QVERIFY(WIFSIGNALED(status));

        QCOMPARE(fileContents(home).value(QStringLiteral("OrderActionType")).toString(),
                 QStringLiteral("AcSave"));
        SettingsStore::resetForTesting();
        QVERIFY(UserDef::isOrderActionSave());
        QCOMPARE(UserDef::stringForKey(QStringLiteral("Before")),
                 std::optional<QString>(QStringLiteral("1")));
        // No temporary file is left beside the settings.
        QCOMPARE(QDir(home.filePath(QStringLiteral(".config/halvix2"))).entryList(QDir::Files),
                 QStringList{QStringLiteral("settings.plist")});
    }

    void twoThreadsLoseNothing() {
        TestHome home;
        constexpr int kCount = 400;
        auto writer = [](const QString& prefix) {
            for (int i = 0; i < kCount; ++i) {
                UserDef::setObject(i, prefix + QString::number(i), i % 50 == 0);
            }
        };
        std::thread a(writer, QStringLiteral("A"));
        std::thread b(writer, QStringLiteral("B"));
        a.join();
        b.join();
        QVERIFY(SettingsStore::flush());
        SettingsStore::resetForTesting();
        const QVariantMap all = UserDef::stdUserDef().snapshot();
        QCOMPARE(all.size(), 2 * kCount);
        for (int i = 0; i < kCount; ++i) {
            QCOMPARE(UserDef::integerForKey(QStringLiteral("A") + QString::number(i)), i);
            QCOMPARE(UserDef::integerForKey(QStringLiteral("B") + QString::number(i)), i);
        }
    }

    void corruptFileIsKeptAside() {
        TestHome home;
        const QByteArray garbage("<?xml version=\"1.0\"?><plist><dict><key>Cust");
        QVERIFY(writeFile(settingsPath(home), garbage));
        QCOMPARE(UserDef::stringForKey(QStringLiteral("CustomerCode")), std::nullopt);
        const QStringList aside = asideFiles(home);
        QCOMPARE(aside.size(), 1);
        QVERIFY(QRegularExpression(QStringLiteral("^settings\\.plist\\.corrupt-\\d{14}$"))
                    .match(aside.first())
                    .hasMatch());
        const QString asidePath = home.filePath(QStringLiteral(".config/halvix2/") + aside.first());
        QCOMPARE(readAll(asidePath), garbage);

        // The event is in the log.
        const QStringList logs = QDir(WorkFolder::logFolderPath()).entryList(QDir::Files);
        QCOMPARE(logs.size(), 1);
        QVERIFY(QString::fromUtf8(
                    readAll(WorkFolder::logFolderPath() + QLatin1Char('/') + logs.first()))
                    .contains(aside.first()));

        // Work goes on with a fresh file; the kept copy is never touched again.
        UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"), true);
        QCOMPARE(fileContents(home).value(QStringLiteral("CustomerCode")).toString(),
                 QStringLiteral("1234"));

        // A second bad file in the same second gets a name of its own.
        SettingsStore::resetForTesting();
        QVERIFY(writeFile(settingsPath(home), QByteArray("bplist00broken")));
        QCOMPARE(UserDef::stringForKey(QStringLiteral("CustomerCode")), std::nullopt);
        QCOMPARE(asideFiles(home).size(), 2);
        QCOMPARE(readAll(asidePath), garbage);
    }

    // Writers killed between creating their temporary file and renaming it leave it behind;
    // the next load removes those, and only those.
    void deadWritersTemporaryFilesAreRemoved() {
        TestHome home;
        const QByteArray original = plistXmlFromVariant(
            QVariantMap{{QStringLiteral("CustomerCode"), QStringLiteral("77")}});
        QVERIFY(writeFile(settingsPath(home), original));
        const QString folder = home.filePath(QStringLiteral(".config/halvix2/"));
        const QStringList stale{QStringLiteral("settings.plist.tmp-a1B2c3"),
                                QStringLiteral("settings.plist.tmp-XXXXXX")};
        const QStringList others{QStringLiteral("settings.plist.tmp-toolong"),
                                 QStringLiteral("settings.plist.corrupt-20261208090000"),
                                 QStringLiteral("other.plist.tmp-a1B2c3")};
        for (const QString& name : stale + others) {
            QVERIFY(writeFile(folder + name, QByteArray("<?xml version=\"1.0\"?><plist><di")));
        }
        QCOMPARE(UserDef::stringForKey(QStringLiteral("CustomerCode")),
                 std::optional<QString>(QStringLiteral("77")));
        for (const QString& name : stale) {
            QVERIFY2(!QFile::exists(folder + name), qPrintable(name));
        }
        for (const QString& name : others) {
            QVERIFY2(QFile::exists(folder + name), qPrintable(name));
        }
        QCOMPARE(readAll(settingsPath(home)), original);
        const QStringList logs = QDir(WorkFolder::logFolderPath()).entryList(QDir::Files);
        QCOMPARE(logs.size(), 1);
        QVERIFY(
            QString::fromUtf8(
                readAll(WorkFolder::logFolderPath() + QLatin1Char('/') + logs.first()))
                .contains(QStringLiteral("書き込み途中で残った設定の一時ファイルを削除しました")));
    }

    void nulInAStringIsADamagedFile() {
        TestHome home;
        const QByteArray bad(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
            "<key>CustomerCode</key><string>35\0"
            "00</string></dict></plist>\n",
            127);
        QVERIFY(bad.contains('\0'));
        QVERIFY(bad.endsWith("</plist>\n"));
        QVERIFY(writeFile(settingsPath(home), bad));
        QVERIFY(UserDef::stdUserDef().snapshot().isEmpty());
        const QStringList aside = asideFiles(home);
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readAll(home.filePath(QStringLiteral(".config/halvix2/") + aside.first())), bad);
        UserDef::setObject(QStringLiteral("3500"), QStringLiteral("CustomerCode"), true);
        QCOMPARE(fileContents(home).value(QStringLiteral("CustomerCode")).toString(),
                 QStringLiteral("3500"));
    }

    // Settings that would expand past the budget (shared references, a cycle) are kept aside
    // like a damaged file, and the program starts at once with empty settings.
    void expandingFileIsKeptAside() {
        TestHome home;
        // Just past a million values, past billions, and never ending.
        const QList<QByteArray> bombs{plistbomb::sharedReferences("CustomerCode", 19, 2),
                                      plistbomb::sharedReferences("CustomerCode", 32, 2),
                                      plistbomb::cycle("CustomerCode")};
        for (qsizetype i = 0; i < bombs.size(); ++i) {
            SettingsStore::resetForTesting();
            QVERIFY(writeFile(settingsPath(home), bombs[i]));
            QVERIFY(UserDef::stdUserDef().snapshot().isEmpty());
            const QStringList aside = asideFiles(home);
            QCOMPARE(aside.size(), i + 1);
            QVERIFY(std::any_of(aside.cbegin(), aside.cend(), [&](const QString& name) {
                return readAll(home.filePath(QStringLiteral(".config/halvix2/") + name)) ==
                       bombs[i];
            }));
        }
        UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"), true);
        QCOMPARE(fileContents(home).value(QStringLiteral("CustomerCode")).toString(),
                 QStringLiteral("1234"));
    }

    void wrongRootIsKeptAside() {
        TestHome home;
        const QByteArray list = plistXmlFromVariant(QVariantList{QStringLiteral("a")});
        QVERIFY(writeFile(settingsPath(home), list));
        QVERIFY(UserDef::stdUserDef().snapshot().isEmpty());
        QCOMPARE(asideFiles(home).size(), 1);
    }

    // A disk that refuses the settings is told to the studio once, not once per save; after a save
    // that works, a new failure is told again.
    void aFailedSaveIsToldOnce() {
        TestHome home;
        AlertRecorder alerts;
        UserDef::setObject(QStringLiteral("1"), QStringLiteral("K"));
        QVERIFY(SettingsStore::flush());
        QVERIFY(blockSettingsFile(home));
        UserDef::setObject(QStringLiteral("2"), QStringLiteral("K"));
        QVERIFY(!SettingsStore::flush());
        UserDef::setObject(QStringLiteral("3"), QStringLiteral("K"), true);
        QVERIFY(!SettingsStore::flush());
        // The alert comes on the main thread, after the saving code has returned.
        QTRY_COMPARE(alerts.count(), 1);
        QCOMPARE(alerts.last().message, QStringLiteral("設定を保存できませんでした"));
        QVERIFY(
            alerts.last().information.contains(home.filePath(QStringLiteral(".config/halvix2"))));
        QTest::qWait(200);
        QCOMPARE(alerts.count(), 1);
        QCOMPARE(countIn(logText(), QStringLiteral("設定を保存できません：")), 1);

        QVERIFY(QDir(settingsPath(home)).removeRecursively());
        QVERIFY(SettingsStore::flush());
        QCOMPARE(fileContents(home).value(QStringLiteral("K")).toString(), QStringLiteral("3"));
        QVERIFY(blockSettingsFile(home));
        UserDef::setObject(QStringLiteral("4"), QStringLiteral("K"));
        QVERIFY(!SettingsStore::flush());
        QTRY_COMPARE(alerts.count(), 2);
        QVERIFY(QDir(settingsPath(home)).removeRecursively());
    }

    // While another program keeps the settings folder (this one refused, or a test beside it),
    // this one writes nothing there: no file of its own over theirs, no removal of a temporary
    // file that may be theirs, and no alert (the disk is fine).
    void settingsKeptByAnotherProgramAreNotWritten() {
        TestHome home;
        AlertRecorder alerts;
        UserDef::setObject(QStringLiteral("theirs"), QStringLiteral("K"));
        QVERIFY(SettingsStore::flush());
        const QByteArray theirs = readAll(settingsPath(home));
        const QString temporary = settingsPath(home) + QStringLiteral(".tmp-a1B2c3");
        QVERIFY(writeFile(temporary, "being written"));
        SettingsStore::resetForTesting();

        // One process that holds the lock itself (sh's descriptor, locked by flock, kept by sleep):
        // ending it lets go, and nothing of it is left behind.
        TestProcess holder;
        holder.start(QStringLiteral("/bin/sh"),
                     {QStringLiteral("-c"),
                      QStringLiteral("exec 9>>\"$1\" && flock -x 9 && exec sleep 60"),
                      QStringLiteral("sh"), SettingsStore::lockFilePath()});
        QVERIFY(holder.waitForStarted());
        QTRY_VERIFY(InstanceLock::otherHolder(SettingsStore::lockFilePath()).has_value());
        QCOMPARE(UserDef::stringForKey(QStringLiteral("K")),
                 std::optional<QString>(QStringLiteral("theirs")));
        QVERIFY(QFile::exists(temporary));
        UserDef::setObject(QStringLiteral("mine"), QStringLiteral("K"));
        QVERIFY(!SettingsStore::flush());
        QCOMPARE(readAll(settingsPath(home)), theirs);
        QTest::qWait(100);
        QCOMPARE(alerts.count(), 0);

        holder.stop();
        QVERIFY(SettingsStore::flush());
        QCOMPARE(fileContents(home).value(QStringLiteral("K")).toString(), QStringLiteral("mine"));
    }

    // A save that fails part-way (the disk full, stood in for by a file-size limit below the new
    // file's size) leaves the previous file byte for byte: the store writes a new file beside it
    // and renames it, never over the old one in place. The failure is reported and told.
    void aSaveThatFailsPartwayLeavesThePreviousFile() {
        TestHome home;
        AlertRecorder alerts;
        UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
        UserDef::setObject(41, QStringLiteral("BagNo"));
        QVERIFY(SettingsStore::flush());
        const QByteArray previous = readAll(settingsPath(home));
        QVERIFY(previous.size() < 4096);

        UserDef::setObject(42, QStringLiteral("BagNo"));
        UserDef::setObject(QString(512 * 1024, u'カ'), QStringLiteral("AlbumData"));
        {
            const FileSizeLimit full(64 * 1024);
            QVERIFY(full.isActive());
            QVERIFY(!SettingsStore::flush());
        }
        QCOMPARE(readAll(settingsPath(home)), previous);
        QCOMPARE(QDir(home.filePath(QStringLiteral(".config/halvix2")))
                     .entryList({QStringLiteral("settings.plist*")}, QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("settings.plist")});
        QTRY_COMPARE(alerts.count(), 1);
        QCOMPARE(alerts.last().message, QStringLiteral("設定を保存できませんでした"));

        // With room again the same changes are written whole.
        QVERIFY(SettingsStore::flush());
        SettingsStore::resetForTesting();
        QCOMPARE(UserDef::integerForKey(QStringLiteral("BagNo")), 42);
        QCOMPARE(UserDef::stringForKey(QStringLiteral("AlbumData"))->size(), 512 * 1024);
    }

    // Whatever the program holds, the file it writes is one the next start reads: a value that
    // would take the file past the reader's budget is not written (a changed value goes back to
    // what the file holds, a new one goes), memory says the same as the file, the log says which,
    // and the customer code and bag number stay. Here by the number of values (a list of a
    // million texts); the bytes have their own case below.
    void aValueTheReaderWouldRefuseIsNotWritten() {
        TestHome home;
        UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
        UserDef::setObject(41, QStringLiteral("BagNo"));
        UserDef::setObject(QStringLiteral("small catalogue"), QStringLiteral("PrintData"));
        QVERIFY(SettingsStore::flush());

        QVariantList many;
        many.reserve(kPlistMaxNodes + 1);
        for (qint64 i = 0; i <= kPlistMaxNodes; ++i)
            many.append(QStringLiteral("x"));
        UserDef::setObject(many, QStringLiteral("PrintData"));
        UserDef::setObject(many, QStringLiteral("AlbumSetTitles"));
        UserDef::setObject(42, QStringLiteral("BagNo"));
        QVERIFY(SettingsStore::flush());

        const PlistRead read = plistReadData(readAll(settingsPath(home)));
        QVERIFY(read.value);
        const QVariantMap onDisk = read.value->toMap();
        QCOMPARE(onDisk.value(QStringLiteral("PrintData")).toString(),
                 QStringLiteral("small catalogue"));
        QCOMPARE(onDisk.value(QStringLiteral("BagNo")).toLongLong(), 42);
        QCOMPARE(UserDef::stringForKey(QStringLiteral("PrintData")),
                 std::optional<QString>(QStringLiteral("small catalogue")));
        // A new value the reader would refuse is not kept either, in memory or in the file.
        QVERIFY(!onDisk.contains(QStringLiteral("AlbumSetTitles")));
        QVERIFY(!UserDef::objectForKey(QStringLiteral("AlbumSetTitles")).isValid());
        QCOMPARE(countIn(logText(), QStringLiteral("設定「PrintData」の値が大きすぎて")), 1);

        SettingsStore::resetForTesting();
        QVERIFY(asideFiles(home).isEmpty());
        QCOMPARE(UserDef::stringForKey(QStringLiteral("CustomerCode")),
                 std::optional<QString>(QStringLiteral("1234")));
        QCOMPARE(UserDef::integerForKey(QStringLiteral("BagNo")), 42);
    }

    // The fault as found: a data value of 200 MB is written as an XML list of about 288 MB, past
    // the reader's 256 MB. It is not written; the settings around it survive the next start.
    void aDataValuePastTheReadersBytesIsNotWritten() {
        TestHome home;
        UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
        UserDef::setObject(41, QStringLiteral("BagNo"));
        QVERIFY(SettingsStore::flush());
        {
            QByteArray big(200 * 1024 * 1024, 'd');
            UserDef::setObject(big, QStringLiteral("Attachment"));
        }
        UserDef::setObject(42, QStringLiteral("BagNo"));
        QVERIFY(SettingsStore::flush());
        QVERIFY(QFileInfo(settingsPath(home)).size() < kPlistMaxBytes);
        QVERIFY(!UserDef::objectForKey(QStringLiteral("Attachment")).isValid());
        QCOMPARE(countIn(logText(), QStringLiteral("設定「Attachment」の値が大きすぎて")), 1);

        SettingsStore::resetForTesting();
        QVERIFY(asideFiles(home).isEmpty());
        QCOMPARE(UserDef::stringForKey(QStringLiteral("CustomerCode")),
                 std::optional<QString>(QStringLiteral("1234")));
        QCOMPARE(UserDef::integerForKey(QStringLiteral("BagNo")), 42);
    }

    void unreadableFileIsNeverOverwritten() {
        if (::geteuid() == 0) {
            QSKIP("permissions do not bind the superuser");
        }
        TestHome home;
        const QByteArray original =
            plistXmlFromVariant(QVariantMap{{QStringLiteral("K"), QStringLiteral("v")}});
        QVERIFY(writeFile(settingsPath(home), original));
        QVERIFY(QFile::setPermissions(settingsPath(home), QFile::Permissions()));
        const QString folder = home.filePath(QStringLiteral(".config/halvix2"));
        // Folder read-only too: the file cannot even be moved aside, so nothing may be written.
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        UserDef::setObject(QStringLiteral("new"), QStringLiteral("K"));
        QVERIFY(!SettingsStore::flush());
        QVERIFY(
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(QFile::setPermissions(settingsPath(home), QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(readAll(settingsPath(home)), original);
        QVERIFY(asideFiles(home).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_SettingsStore.moc"
