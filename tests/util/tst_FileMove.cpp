#include "TestHome.h"
#include "util/FileMove.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>

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
};

QTEST_GUILESS_MAIN(TestFileMove)
#include "tst_FileMove.moc"
