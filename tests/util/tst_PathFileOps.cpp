#include "TestHome.h"
#include "util/PathUtil.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

dev_t deviceOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_dev : 0;
}

} // namespace

class TestPathFileOps : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void deleteRefusesTildeRelativeAndHome();
    void deleteRemovesFoldersButNotLinkTargets();
    void createFolderMakesOneLevel();
    void trashMovesWithInfoFile();
    void trashRefusesNameAlreadyThere();
    void trashRefusesRelativeAndMissing();
    void trashAcrossFileSystems();
};

void TestPathFileOps::deleteRefusesTildeRelativeAndHome() {
    TestHome home;
    QVERIFY(writeFile(home.filePath(QStringLiteral("victim.txt")), "keep me"));
    QVERIFY(!orbel::deleteFileOrFolder(QStringLiteral("~/victim.txt")));
    QVERIFY(QFile::exists(home.filePath(QStringLiteral("victim.txt"))));

    QVERIFY(QDir::setCurrent(home.path()));
    QVERIFY(!orbel::deleteFileOrFolder(QStringLiteral("victim.txt")));
    QVERIFY(QFile::exists(home.filePath(QStringLiteral("victim.txt"))));

    // The home folder itself is never removed, however it is written.
    QVERIFY(!orbel::deleteFileOrFolder(home.path() + QStringLiteral("/")));
    QVERIFY(!orbel::deleteFileOrFolder(home.path() + QStringLiteral("/sub/..")));
    QVERIFY(QFile::exists(home.filePath(QStringLiteral("victim.txt"))));
    QVERIFY(!orbel::deleteFileOrFolder(home.filePath(QStringLiteral("missing"))));
}

void TestPathFileOps::deleteRemovesFoldersButNotLinkTargets() {
    TestHome home;
    const QString work = home.filePath(QStringLiteral("work"));
    QVERIFY(writeFile(work + "/a/b/c.jpg", "c"));
    QVERIFY(writeFile(work + "/.hidden", "h"));
    const QString precious = home.filePath(QStringLiteral("precious"));
    QVERIFY(writeFile(precious + "/photo.jpg", "p"));
    QVERIFY(QFile::link(precious, work + "/link"));

    QVERIFY(orbel::deleteFileOrFolder(work));
    QVERIFY(!QFileInfo::exists(work));
    // Removing a link to a folder removes the link, never the photographs behind it.
    QVERIFY(QFile::exists(precious + "/photo.jpg"));

    const QString single = home.filePath(QStringLiteral("single.txt"));
    QVERIFY(writeFile(single, "s"));
    QVERIFY(orbel::deleteFileOrFolder(single));
    QVERIFY(!QFile::exists(single));
    QVERIFY(!orbel::deleteFileOrFolder(single));
}

void TestPathFileOps::createFolderMakesOneLevel() {
    TestHome home;
    const QString folder = home.filePath(QStringLiteral("MVL_WorkArea"));
    QVERIFY(orbel::createFolder(folder));
    QVERIFY(QFileInfo(folder).isDir());
    QVERIFY(!orbel::createFolder(folder)); // already there
    QVERIFY(!orbel::createFolder(home.filePath(QStringLiteral("no/such/parent"))));
    QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("no"))));
    QVERIFY(!orbel::createFolder(QStringLiteral("~/tilde")));
    QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("tilde"))));
    QVERIFY(!orbel::createFolder(QStringLiteral("relative")));
}

void TestPathFileOps::trashMovesWithInfoFile() {
    TestHome home;
    QCOMPARE(orbel::trashFolderPath(), home.path() + QStringLiteral("/.local/share/Trash"));
    const QString name = QStringLiteral("注文 1%.txt");
    const QString original = home.filePath(QStringLiteral("orders/") + name);
    QVERIFY(writeFile(original, "order"));

    QVERIFY(orbel::moveTrashFileOrFolder(original));
    QVERIFY(!QFileInfo::exists(original));
    const QString trash = orbel::trashFolderPath();
    QCOMPARE(readFile(trash + QStringLiteral("/files/") + name), QByteArray("order"));

    const QByteArray info = readFile(trash + QStringLiteral("/info/") + name + ".trashinfo");
    const QList<QByteArray> lines = info.split('\n');
    QVERIFY2(lines.size() >= 3, info.constData());
    QCOMPARE(lines.at(0), QByteArray("[Trash Info]"));
    QCOMPARE(lines.at(1), "Path=" + QUrl::toPercentEncoding(original, "/"));
    QVERIFY(!lines.at(1).contains(' ')); // percent-encoded
    QVERIFY(lines.at(1).contains("%25"));
    QVERIFY(QRegularExpression(QStringLiteral(R"(^DeletionDate=\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d$)"))
                .match(QString::fromLatin1(lines.at(2)))
                .hasMatch());

    // A folder goes with everything in it.
    const QString folder = home.filePath(QStringLiteral("bag"));
    QVERIFY(writeFile(folder + "/in/side.jpg", "s"));
    QVERIFY(orbel::moveTrashFileOrFolder(folder + "/"));
    QVERIFY(!QFileInfo::exists(folder));
    QCOMPARE(readFile(trash + QStringLiteral("/files/bag/in/side.jpg")), QByteArray("s"));
    QVERIFY(QFile::exists(trash + QStringLiteral("/info/bag.trashinfo")));
}

void TestPathFileOps::trashRefusesNameAlreadyThere() {
    TestHome home;
    const QString first = home.filePath(QStringLiteral("a/same.zip"));
    const QString second = home.filePath(QStringLiteral("b/same.zip"));
    QVERIFY(writeFile(first, "first"));
    QVERIFY(writeFile(second, "second"));
    QVERIFY(orbel::moveTrashFileOrFolder(first));

    QVERIFY(!orbel::moveTrashFileOrFolder(second));
    QCOMPARE(readFile(second), QByteArray("second")); // stays where it was
    const QString trash = orbel::trashFolderPath();
    QCOMPARE(readFile(trash + QStringLiteral("/files/same.zip")), QByteArray("first"));
    QVERIFY(readFile(trash + QStringLiteral("/info/same.zip.trashinfo"))
                .contains(QUrl::toPercentEncoding(first, "/")));

    // A left-over info file also holds the name.
    const QString third = home.filePath(QStringLiteral("c/orphan.zip"));
    QVERIFY(writeFile(third, "third"));
    QVERIFY(writeFile(trash + QStringLiteral("/info/orphan.zip.trashinfo"), "[Trash Info]\n"));
    QVERIFY(!orbel::moveTrashFileOrFolder(third));
    QVERIFY(QFile::exists(third));
    QCOMPARE(readFile(trash + QStringLiteral("/info/orphan.zip.trashinfo")),
             QByteArray("[Trash Info]\n"));
}

void TestPathFileOps::trashRefusesRelativeAndMissing() {
    TestHome home;
    QVERIFY(writeFile(home.filePath(QStringLiteral("keep.txt")), "k"));
    QVERIFY(!orbel::moveTrashFileOrFolder(QStringLiteral("~/keep.txt")));
    QVERIFY(QDir::setCurrent(home.path()));
    QVERIFY(!orbel::moveTrashFileOrFolder(QStringLiteral("keep.txt")));
    QVERIFY(QFile::exists(home.filePath(QStringLiteral("keep.txt"))));
    QVERIFY(!orbel::moveTrashFileOrFolder(home.filePath(QStringLiteral("missing.txt"))));
    QVERIFY(!QFileInfo::exists(orbel::trashFolderPath() + "/info/missing.txt.trashinfo"));
}

void TestPathFileOps::trashAcrossFileSystems() {
    TestHome home;
    QTemporaryDir other(QStringLiteral("/dev/shm/halvix-trash-XXXXXX"));
    if (!other.isValid()) {
        QSKIP("no second file system (/dev/shm) to move from");
    }
    QVERIFY(QDir().mkpath(orbel::trashFolderPath()));
    if (deviceOf(other.path()) == deviceOf(orbel::trashFolderPath())) {
        QSKIP("/dev/shm is on the same file system as the Trash here");
    }
    const QString folder = other.filePath(QStringLiteral("order"));
    QVERIFY(writeFile(folder + "/a.jpg", "aaa"));
    QVERIFY(writeFile(folder + "/sub/b.jpg", "bb"));

    QVERIFY(orbel::moveTrashFileOrFolder(folder));
    QVERIFY(!QFileInfo::exists(folder));
    const QString trash = orbel::trashFolderPath();
    QCOMPARE(readFile(trash + "/files/order/a.jpg"), QByteArray("aaa"));
    QCOMPARE(readFile(trash + "/files/order/sub/b.jpg"), QByteArray("bb"));
    QVERIFY(QFile::exists(trash + "/info/order.trashinfo"));
}

QTEST_GUILESS_MAIN(TestPathFileOps)
#include "tst_PathFileOps.moc"
