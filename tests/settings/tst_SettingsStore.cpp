#include "PlistBombs.h"
#include "TestHome.h"
#include "settings/SettingsStore.h"
#include "settings/UserDef.h"
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
