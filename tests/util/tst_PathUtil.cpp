#include "RawNames.h"
#include "TestHome.h"
#include "util/PathUtil.h"
#include "util/PathWalk.h"
#include "util/ProcessRunner.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestPathUtil : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pathTestsExpandTilde();
    void suffixRules_data();
    void suffixRules();
    void treeWalkSkipsDotFilesButEntersDotFolders();
    void linksToFoldersAreNotFollowed();
    void limitedCountsStopOnePastTheLimit();
    void nonFoldersAndPathLists();
    void oneLevelListings();
    void windowsNames_data();
    void windowsNames();
    void imagePropertiesFromTheImageTool();
    void walkNamesWhatItCannotRead();
};

void TestPathUtil::pathTestsExpandTilde() {
    TestHome home;
    QVERIFY(home.isValid());
    QVERIFY(writeFile(home.filePath(QStringLiteral("photos/a.jpg")), "12345"));

    QCOMPARE(orbel::expandTilde(QStringLiteral("~")), QDir::homePath());
    QCOMPARE(orbel::expandTilde(QStringLiteral("~/photos")), home.path() + "/photos");
    QCOMPARE(orbel::expandTilde(QStringLiteral("/x/~/y")), QStringLiteral("/x/~/y"));

    QVERIFY(orbel::isFolderPath(QStringLiteral("~/photos")));
    QVERIFY(!orbel::isFilePath(QStringLiteral("~/photos")));
    QVERIFY(orbel::isFilePath(QStringLiteral("~/photos/a.jpg")));
    QVERIFY(!orbel::isFolderPath(QStringLiteral("~/photos/a.jpg")));
    QVERIFY(orbel::isFolderOrFilePath(QStringLiteral("~/photos/a.jpg")));
    QVERIFY(!orbel::isFolderOrFilePath(QStringLiteral("~/photos/missing.jpg")));
    QVERIFY(!orbel::isFolderOrFilePath(QString()));

    QCOMPARE(orbel::fileSize(QStringLiteral("~/photos/a.jpg")), quint64(5));
    QCOMPARE(orbel::fileSize(QStringLiteral("~/photos")), quint64(0));
    QCOMPARE(orbel::fileSize(QStringLiteral("~/photos/missing.jpg")), quint64(0));
    const std::optional<QFileInfo> attributes =
        orbel::fileAttributes(QStringLiteral("~/photos/a.jpg"));
    QVERIFY(attributes.has_value());
    QCOMPARE(attributes->size(), qint64(5));
    QVERIFY(!orbel::fileAttributes(QStringLiteral("~/photos")).has_value());
    QVERIFY(!orbel::fileAttributes(QStringLiteral("~/nothing")).has_value());

    // A link to a file is the file it points to.
    QVERIFY(QFile::link(home.filePath(QStringLiteral("photos/a.jpg")),
                        home.filePath(QStringLiteral("link.jpg"))));
    QCOMPARE(orbel::fileSize(QStringLiteral("~/link.jpg")), quint64(5));
}

void TestPathUtil::suffixRules_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("kind"); // which suffix test answers true ("" = none)
    QTest::addColumn<bool>("period");
    QTest::newRow("jpg") << "/a/b.jpg"
                         << "jpeg" << false;
    QTest::newRow("JPEG upper") << "/a/B.JPEG"
                                << "jpeg" << false;
    QTest::newRow("hidden jpg") << "/a/.b.jpg"
                                << "jpeg" << true;
    QTest::newRow("jpg folder trailing slash") << "/a/.b/"
                                               << "" << true;
    QTest::newRow("xlsm") << "/a/b.XLSM"
                          << "excel" << false;
    QTest::newRow("xls") << "b.xls"
                         << "excel" << false;
    QTest::newRow("text") << "/a/b.text"
                          << "text" << false;
    QTest::newRow("txt") << "/a/b.TXT"
                         << "text" << false;
    QTest::newRow("csv") << "/a/b.csv"
                         << "csv" << false;
    QTest::newRow("docm") << "/a/b.docm"
                          << "word" << false;
    QTest::newRow("zip") << "/a/b.Zip"
                         << "zip" << false;
    QTest::newRow("jpg in folder name only") << "/a.jpg/b"
                                             << "" << false;
    QTest::newRow("jpgx") << "/a/b.jpgx"
                          << "" << false;
}

void TestPathUtil::suffixRules() {
    QFETCH(QString, path);
    QFETCH(QString, kind);
    QFETCH(bool, period);
    QCOMPARE(orbel::hasSuffixJpeg(path), kind == "jpeg");
    QCOMPARE(orbel::hasSuffixExcel(path), kind == "excel");
    QCOMPARE(orbel::hasSuffixText(path), kind == "text");
    QCOMPARE(orbel::hasSuffixCsv(path), kind == "csv");
    QCOMPARE(orbel::hasSuffixWord(path), kind == "word");
    QCOMPARE(orbel::hasSuffixZip(path), kind == "zip");
    QCOMPARE(orbel::hasPrefixPeriod(path), period);
    QCOMPARE(orbel::isJpegFile(path), kind == "jpeg" && !period);
    QCOMPARE(orbel::isZipFile(path), kind == "zip" && !period);
}

void TestPathUtil::treeWalkSkipsDotFilesButEntersDotFolders() {
    TestHome home;
    const QString root = home.filePath(QStringLiteral("drop"));
    QVERIFY(writeFile(root + "/b.jpg", "123"));
    QVERIFY(writeFile(root + "/.DS_Store", QByteArray(100, 'x')));
    QVERIFY(writeFile(root + "/.hidden/a.JPG", "12345"));
    QVERIFY(writeFile(root + "/.hidden/.DS_Store", QByteArray(50, 'x')));
    QVERIFY(writeFile(root + "/sub/c.txt", "1234567"));
    QVERIFY(writeFile(root + "/sub/deeper/d.jpeg", QByteArray(11, 'd')));
    QVERIFY(QDir().mkpath(root + "/empty"));

    QCOMPARE(orbel::fileCount(root), qint64(4));
    QCOMPARE(orbel::allFilesSize(root), quint64(3 + 5 + 7 + 11));
    // Depth first, in name order, whatever order the file system lists them in.
    const QStringList expected{root + "/.hidden/a.JPG", root + "/b.jpg", root + "/sub/c.txt",
                               root + "/sub/deeper/d.jpeg"};
    QCOMPARE(orbel::allFilePathArray(root), expected);
    QCOMPARE(orbel::allFilePathString(root), expected.join('\n'));
    QCOMPARE(orbel::allJpegFilePathArray(root),
             (QStringList{root + "/.hidden/a.JPG", root + "/b.jpg", root + "/sub/deeper/d.jpeg"}));
    QCOMPARE(orbel::jpegFileCountToLimit(root, 100), qint64(3));
    QVERIFY(orbel::isJpegFileCountOver(root, 2));
    QVERIFY(!orbel::isJpegFileCountOver(root, 3));

    // The folder's own name may start with "." and is walked all the same.
    const QString dotFolder = root + "/.hidden";
    QCOMPARE(orbel::fileCount(dotFolder), qint64(1));
    QCOMPARE(orbel::allFilesSize(dotFolder), quint64(5));
    QCOMPARE(orbel::allFilePathArray(dotFolder), QStringList{dotFolder + "/a.JPG"});

    // A trailing slash and "~" name the same folder.
    QCOMPARE(orbel::allFilePathArray(QStringLiteral("~/drop/")), expected);
}

void TestPathUtil::linksToFoldersAreNotFollowed() {
    TestHome home;
    const QString root = home.filePath(QStringLiteral("root"));
    const QString outside = home.filePath(QStringLiteral("outside"));
    QVERIFY(writeFile(root + "/a.jpg", "1"));
    QVERIFY(writeFile(outside + "/x.jpg", "22"));
    QVERIFY(writeFile(outside + "/y.jpg", "333"));
    QVERIFY(QFile::link(root, root + "/loop"));         // back up to itself
    QVERIFY(QFile::link(outside, root + "/elsewhere")); // out of the tree
    QVERIFY(QFile::link(outside + "/y.jpg", root + "/y-link.jpg"));
    QVERIFY(QFile::link(outside + "/gone.jpg", root + "/broken.jpg"));

    QCOMPARE(orbel::fileCount(root), qint64(2));
    QCOMPARE(orbel::allFilePathArray(root), (QStringList{root + "/a.jpg", root + "/y-link.jpg"}));
    QCOMPARE(orbel::allFilesSize(root), quint64(1 + 3));
}

void TestPathUtil::limitedCountsStopOnePastTheLimit() {
    TestHome home;
    const QString root = home.filePath(QStringLiteral("many"));
    QVERIFY(QDir().mkpath(root + "/sub"));
    for (int i = 0; i < 6000; ++i) {
        // Half of them one level down, every tenth not a JPEG.
        const QString folder = i % 2 == 0 ? root : root + "/sub";
        const QString suffix = i % 10 == 0 ? QStringLiteral(".png") : QStringLiteral(".jpg");
        QFile file(folder + QString::asprintf("/img%05d", i) + suffix);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    QCOMPARE(orbel::fileCount(root), qint64(6000));
    QCOMPARE(orbel::fileCountToLimit(root, 5000), qint64(5001));
    QVERIFY(orbel::isFileCountOver(root, 5000));
    QCOMPARE(orbel::fileCountToLimit(root, 6000), qint64(6000));
    QVERIFY(!orbel::isFileCountOver(root, 6000));
    QCOMPARE(orbel::jpegFileCountToLimit(root, 5000), qint64(5001));
    QCOMPARE(orbel::jpegFileCountToLimit(root, 6000), qint64(5400));
    QVERIFY(!orbel::isJpegFileCountOver(root, 5400));
    QCOMPARE(orbel::fileCountToLimit(root, 0), qint64(1));

    // The walk itself ends at the file that passes the limit: the rest are never visited.
    qint64 handed = 0;
    const qint64 visited =
        orbel::walk::walkFiles(root, [&handed](const QFileInfo&) { return ++handed < 5001; });
    QCOMPARE(visited, qint64(5001));
    QCOMPARE(handed, qint64(5001));
}

void TestPathUtil::nonFoldersAndPathLists() {
    TestHome home;
    const QString file = home.filePath(QStringLiteral(".single"));
    QVERIFY(writeFile(file, "abcd"));
    QVERIFY(writeFile(home.filePath("f/one.jpg"), "12"));

    QCOMPARE(orbel::fileCount(file), qint64(0));
    QCOMPARE(orbel::fileCountToLimit(home.filePath("missing"), 3), qint64(0));
    QVERIFY(orbel::allFilePathArray(file).isEmpty());
    // A file's size is its own, whatever its name.
    QCOMPARE(orbel::allFilesSize(file), quint64(4));
    QCOMPARE(orbel::allFilesSize(home.filePath("missing")), quint64(0));
    QCOMPARE(orbel::arrayAllFilesSize(
                 {file, home.filePath("f"), home.filePath("f/one.jpg"), home.filePath("missing")}),
             quint64(6));
}

void TestPathUtil::oneLevelListings() {
    TestHome home;
    const QString pool = home.filePath(QStringLiteral("pool"));
    QVERIFY(writeFile(pool + "/B_000000000000_0000002.zip", "z"));
    QVERIFY(writeFile(pool + "/A_000000000000_0000001.ZIP", "z"));
    QVERIFY(writeFile(pool + "/._A_000000000000_0000001.zip", "z"));
    QVERIFY(writeFile(pool + "/photo.jpg", "j"));
    QVERIFY(writeFile(pool + "/notes.txt", "t"));
    QVERIFY(writeFile(pool + "/deep/inner.zip", "z"));
    QVERIFY(QDir().mkpath(pool + "/folder.zip"));

    QCOMPARE(orbel::directoryContents(pool),
             (QStringList{"._A_000000000000_0000001.zip", "A_000000000000_0000001.ZIP",
                          "B_000000000000_0000002.zip", "deep", "folder.zip", "notes.txt",
                          "photo.jpg"}));
    const QStringList zips{pool + "/A_000000000000_0000001.ZIP",
                           pool + "/B_000000000000_0000002.zip"};
    QCOMPARE(orbel::directoryZipPathArray(pool), zips);
    QCOMPARE(orbel::directoryZipPathString(pool), zips.join('\n'));
    QCOMPARE(orbel::directoryZipFileString(pool),
             QStringLiteral("A_000000000000_0000001.ZIP\nB_000000000000_0000002.zip"));
    QCOMPARE(orbel::directoryJpegPathArray(pool), QStringList{pool + "/photo.jpg"});
    QCOMPARE(orbel::directoryJpegPathString(QStringLiteral("~/pool")), pool + "/photo.jpg");
    QVERIFY(orbel::directoryContents(home.filePath("missing")).isEmpty());
    QVERIFY(orbel::directoryZipFileString(home.filePath("missing")).isEmpty());
}

void TestPathUtil::windowsNames_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("converted");
    QTest::newRow("colon and question") << "a:b?.jpg" << QStringLiteral("a／b？.jpg");
    QTest::newRow("all eight") << QStringLiteral("\"¥:?*<>|") << QStringLiteral("”￥／？＊＜＞｜");
    QTest::newRow("slashes stay") << "a/b\\c.jpg"
                                  << "a/b\\c.jpg";
    QTest::newRow("japanese stays")
        << QStringLiteral("写真 01.jpg") << QStringLiteral("写真 01.jpg");
}

void TestPathUtil::windowsNames() {
    QFETCH(QString, text);
    QFETCH(QString, converted);
    QCOMPARE(orbel::convertToWindowsPath(text), converted);
    QCOMPARE(orbel::isInNGCharForWindowsPath(text), text != converted);
    QVERIFY(!orbel::isInNGCharForWindowsPath(converted));
}

void TestPathUtil::imagePropertiesFromTheImageTool() {
    const QString sips = qEnvironmentVariable("HALVIX_SIPS");
    if (sips.isEmpty() || !QFileInfo(sips).isExecutable()) {
        QSKIP("the image tool is not built");
    }
    TestHome home;
    const QString image = home.filePath(QStringLiteral("写真 1.jpg"));
    const ProcessResult made = runProcess(
        QStringLiteral("/usr/bin/convert"),
        {QStringLiteral("-size"), QStringLiteral("40x30"), QStringLiteral("xc:red"), image});
    if (!made.succeeded()) {
        QSKIP("ImageMagick cannot write a test image here");
    }
    const std::optional<QVariantMap> properties = orbel::imageFilePropertys(image);
    QVERIFY(properties.has_value());
    QCOMPARE(properties->value(QStringLiteral("pixelWidth")).toLongLong(), qint64(40));
    QCOMPARE(properties->value(QStringLiteral("pixelHeight")).toLongLong(), qint64(30));
    QCOMPARE(orbel::narrowWidthOfImageFile(image), qint64(30));

    const QString notImage = home.filePath(QStringLiteral("fake.jpg"));
    QVERIFY(writeFile(notImage, "this is no picture"));
    QVERIFY(!orbel::imageFilePropertys(notImage).has_value());
    QCOMPARE(orbel::narrowWidthOfImageFile(notImage), qint64(0));
    QCOMPARE(orbel::narrowWidthOfImageFile(home.filePath("missing.jpg")), qint64(0));
}

QTEST_GUILESS_MAIN(TestPathUtil)
#include "tst_PathUtil.moc"

// Names that are not UTF-8 cannot be reached through Qt: the walk says which ones it left out
// (folders it would enter, files it would take), shown so people can read them, and lists the
// rest as before.
void TestPathUtil::walkNamesWhatItCannotRead() {
    TestHome home;
    const QString top = home.filePath(QStringLiteral("top"));
    QVERIFY(writeFile(top + "/ok/a.jpg", "a"));
    const QByteArray raw = QFile::encodeName(top);
    RawNames names;
    QVERIFY(names.folder(raw + "/bad\xff"));
    QVERIFY(names.file(raw + "/.hidden\xff"));
    QVERIFY(names.symlink(QFile::encodeName(top + "/ok"), raw + "/link\xfe"));
    QVERIFY(names.fifo(raw + "/pipe\xfe"));

    QStringList unreadable;
    QStringList files;
    orbel::walk::walkFiles(
        top,
        [&files](const QFileInfo& file) {
            files.append(file.filePath());
            return true;
        },
        &unreadable);
    QCOMPARE(files, QStringList{top + "/ok/a.jpg"});
    // The hidden file would not be taken, the link to a folder not entered, the pipe not read.
    QCOMPARE(unreadable, QStringList{top + "/bad\\xFF"});
    QCOMPARE(orbel::directoryContents(top), QStringList{"ok"});
    QCOMPARE(orbel::allFilePathArray(top), QStringList{top + "/ok/a.jpg"});

    QCOMPARE(orbel::walk::shownName(QByteArray("a\nb\r\tc\x7f\xc3\xa9\xe3\x82")),
             QStringLiteral("a\\nb\\r\\tc\\x7Fé\\xE3\\x82"));
    QCOMPARE(orbel::walk::shownName(QByteArray("\xc0\xaf\xed\xa0\x80")), // overlong, surrogate
             QStringLiteral("\\xC0\\xAF\\xED\\xA0\\x80"));
    QCOMPARE(orbel::walk::shownName(QStringLiteral("写真\u0085\u2028.jpg")),
             QStringLiteral("写真\\x85\\u2028.jpg"));
}
