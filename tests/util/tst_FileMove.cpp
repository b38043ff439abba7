#include "FileFaults.h"
#include "TestHome.h"
#include "util/FileMove.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {

bool writeText(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

bool setMode(const QString& path, int mode) {
    return ::chmod(QFile::encodeName(path).constData(), static_cast<mode_t>(mode)) == 0;
}

} // namespace

class TestFileMove : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void noReplaceMovesOnlyToAFreeName() {
        TestHome home;
        const QString source = home.filePath(QStringLiteral("work/new.zip"));
        const QString taken = home.filePath(QStringLiteral("pool/a.zip"));
        const QString free = home.filePath(QStringLiteral("pool/b.zip"));
        QVERIFY(writeText(source, "new order"));
        QVERIFY(writeText(taken, "waiting order"));

        QVERIFY(!orbel::moveFileNoReplace(source, taken));
        QCOMPARE(readAll(taken), QByteArray("waiting order"));
        QCOMPARE(readAll(source), QByteArray("new order"));

        QVERIFY(orbel::moveFileNoReplace(source, free));
        QVERIFY(!QFile::exists(source));
        QCOMPARE(readAll(free), QByteArray("new order"));

        QVERIFY(!orbel::moveFileNoReplace(home.filePath(QStringLiteral("missing")), source));
        QVERIFY(!orbel::moveFileNoReplace(free, home.filePath(QStringLiteral("no/such/dir/x"))));
        QVERIFY(QFile::exists(free));
    }

    void replacingMoveReplaces() {
        TestHome home;
        const QString source = home.filePath(QStringLiteral("a"));
        const QString target = home.filePath(QStringLiteral("b"));
        QVERIFY(writeText(source, "new"));
        QVERIFY(writeText(target, "old"));
        QVERIFY(orbel::moveFileReplacing(source, target));
        QCOMPARE(readAll(target), QByteArray("new"));
        QVERIFY(!QFile::exists(source));
    }

    // A save path on another file system (RAM disk) gets a copy; a file there is still never
    // replaced by the no-replace move.
    void acrossFileSystems() {
        TestHome home;
        QTemporaryDir other(QStringLiteral("/dev/shm/halvix-filemove-XXXXXX"));
        if (!other.isValid() ||
            QStorageInfo(other.path()).device() == QStorageInfo(home.path()).device())
            QSKIP("no second file system to move across");
        const QString source = home.filePath(QStringLiteral("order.zip"));
        QVERIFY(writeText(source, QByteArray(300000, 'z')));
        const QString target = other.filePath(QStringLiteral("order.zip"));
        QVERIFY(orbel::moveFileNoReplace(source, target));
        QCOMPARE(readAll(target), QByteArray(300000, 'z'));
        QVERIFY(!QFile::exists(source));

        QVERIFY(writeText(source, "second"));
        QVERIFY(!orbel::moveFileNoReplace(source, target));
        QCOMPARE(readAll(target).size(), 300000);
        // The copy went by a hidden name that is gone again, also after the refused move.
        QCOMPARE(QDir(other.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("order.zip")});
        QVERIFY(orbel::moveFileReplacing(source, target));
        QCOMPARE(readAll(target), QByteArray("second"));
        QVERIFY(!QFile::exists(target + QStringLiteral(".part")));
    }

    // An archive moved into the private order pool is private too; one moved to a save folder
    // keeps the permissions it had, also when it is copied there from another file system.
    void movedFilesFollowAPrivateFolder() {
        TestHome home;
        const QString privateFolder = home.filePath(QStringLiteral("pool"));
        const QString openFolder = home.filePath(QStringLiteral("saved"));
        QVERIFY(QDir().mkpath(privateFolder) && setMode(privateFolder, 0700));
        QVERIFY(QDir().mkpath(openFolder) && setMode(openFolder, 0755));
        const QString source = home.filePath(QStringLiteral("order.zip"));
        QVERIFY(writeText(source, "a") && setMode(source, 0644));
        QVERIFY(orbel::moveFileNoReplace(source, privateFolder + QStringLiteral("/a.zip")));
        QCOMPARE(modeOf(privateFolder + QStringLiteral("/a.zip")), 0600);
        QVERIFY(writeText(source, "b") && setMode(source, 0640));
        QVERIFY(orbel::moveFileNoReplace(source, openFolder + QStringLiteral("/b.zip")));
        QCOMPARE(modeOf(openFolder + QStringLiteral("/b.zip")), 0640);

        QTemporaryDir other(QStringLiteral("/dev/shm/halvix-filemove-XXXXXX"));
        if (!other.isValid() ||
            QStorageInfo(other.path()).device() == QStorageInfo(home.path()).device())
            QSKIP("no second file system to move across");
        QVERIFY(setMode(other.path(), 0700));
        QVERIFY(writeText(source, "c") && setMode(source, 0644));
        QVERIFY(orbel::moveFileNoReplace(source, other.filePath(QStringLiteral("c.zip"))));
        QCOMPARE(modeOf(other.filePath(QStringLiteral("c.zip"))), 0600);
        QVERIFY(setMode(other.path(), 0755));
        QVERIFY(writeText(source, "d") && setMode(source, 0640));
        QVERIFY(orbel::moveFileNoReplace(source, other.filePath(QStringLiteral("d.zip"))));
        QCOMPARE(modeOf(other.filePath(QStringLiteral("d.zip"))), 0640);
    }

    // A move across file systems whose copy cannot be completed (the target's disk full, stood in
    // for by a file-size limit) keeps the source whole, leaves nothing under the target's name
    // (an existing target keeps its bytes) and no partial copy beside it; once the disk has room
    // the same move completes. Both ways: into the home's disk and out of it.
    void aCopyThatCannotCompleteKeepsTheSource() {
        TestHome home;
        QTemporaryDir other(QStringLiteral("/dev/shm/halvix-filemove-XXXXXX"));
        if (!other.isValid() ||
            QStorageInfo(other.path()).device() == QStorageInfo(home.path()).device())
            QSKIP("no second file system to move across");
        QByteArray order(1 << 20, '\0');
        for (int i = 0; i < order.size(); ++i)
            order[i] = char(i * 7 + i / 251);
        const QList<std::pair<QString, QString>> ways{
            {home.filePath(QStringLiteral("work/order.zip")),
             other.filePath(QStringLiteral("saved/order.zip"))},
            {other.filePath(QStringLiteral("work/order.zip")),
             home.filePath(QStringLiteral("saved/order.zip"))}};
        for (const auto& [source, target] : ways) {
            QVERIFY(writeText(source, order));
            const QString previous = QFileInfo(target).path() + QStringLiteral("/previous.zip");
            QVERIFY(writeText(previous, "previous order"));
            {
                const FileSizeLimit full(64 * 1024);
                QVERIFY(full.isActive());
                QVERIFY(!orbel::moveFileNoReplace(source, target));
                QVERIFY(!orbel::moveFileReplacing(source, previous));
            }
            QCOMPARE(readAll(source), order);
            QVERIFY(!QFileInfo::exists(target));
            QCOMPARE(readAll(previous), QByteArray("previous order"));
            QCOMPARE(QDir(QFileInfo(target).path())
                         .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                     QStringList{QStringLiteral("previous.zip")});

            QVERIFY(orbel::moveFileNoReplace(source, target));
            QVERIFY(!QFileInfo::exists(source));
            QCOMPARE(readAll(target), order);
            QVERIFY(writeText(source, "replacement"));
            QVERIFY(orbel::moveFileReplacing(source, previous));
            QVERIFY(!QFileInfo::exists(source));
            QCOMPARE(readAll(previous), QByteArray("replacement"));
            QVERIFY(orbel::partialMoveFilesIn(QFileInfo(target).path()).isEmpty());
        }
    }

    // Writing a file in place of another: a write that fails part-way leaves the previous file
    // byte for byte and no temporary file; one that succeeds replaces it whole.
    void atomicWriteKeepsThePreviousFileWhenItFails() {
        TestHome home;
        const QString path = home.filePath(QStringLiteral("state/record.plist"));
        QVERIFY(writeText(path, "previous"));
        const QByteArray next(256 * 1024, 'n');
        {
            const FileSizeLimit full(16 * 1024);
            QVERIFY(full.isActive());
            QVERIFY(!orbel::writeFileAtomically(path, next));
        }
        QCOMPARE(readAll(path), QByteArray("previous"));
        QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("record.plist")});
        QVERIFY(orbel::writeFileAtomically(path, next));
        QCOMPARE(readAll(path), next);
        QCOMPARE(modeOf(path), 0600);
    }

    // What a move killed in the middle of a copy leaves: found by the names the moves give them,
    // and nothing else.
    void partialCopiesAreFoundByName() {
        TestHome home;
        const QString folder = home.filePath(QStringLiteral("pool"));
        const QStringList partial{QStringLiteral(".a.zip.part-Ab12Cd"),
                                  QStringLiteral(".a.zip.part.part-Qw34Er"),
                                  QStringLiteral(".b.zip.part-Zz99Yy")};
        const QStringList others{QStringLiteral("a.zip"), QStringLiteral(".a.zip.part-short"),
                                 QStringLiteral("c.zip.part-Ab12Cd"),
                                 QStringLiteral(".d.zip.part-Ab12Cd.zip")};
        for (const QString& name : partial + others) {
            QVERIFY(writeText(folder + u'/' + name, "x"));
        }
        QVERIFY(QDir(folder).mkdir(QStringLiteral(".e.zip.part-Ab12Cd"))); // not a file
        QVERIFY(writeText(folder + QStringLiteral("/a.zip.part"), "x"));

        QStringList expected;
        for (const QString& name : partial) {
            expected.append(folder + u'/' + name);
        }
        QStringList found = orbel::partialMoveFilesIn(folder);
        found.sort();
        expected.sort();
        QCOMPARE(found, expected);
        found = orbel::partialMoveFilesOf(folder + QStringLiteral("/a.zip"));
        found.sort();
        QCOMPARE(found, QStringList({folder + QStringLiteral("/.a.zip.part-Ab12Cd"),
                                     folder + QStringLiteral("/.a.zip.part.part-Qw34Er"),
                                     folder + QStringLiteral("/a.zip.part")}));
        QVERIFY(orbel::partialMoveFilesOf(folder + QStringLiteral("/c.zip")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFileMove)
#include "tst_FileMove.moc"
