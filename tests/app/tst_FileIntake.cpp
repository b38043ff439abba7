#include "AlertRecorder.h"
#include "FileIntakeTestHost.h"
#include "RawNames.h"
#include "TestHome.h"
#include "app/FileIntake.h"
#include "settings/Log.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Host = FileIntakeTestHost;

QString makeFile(const QString& path, qint64 size = 1) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size)) {
        qFatal("cannot create %s", qPrintable(path));
    }
    return path;
}

QStringList makeFiles(const QString& folder, int count,
                      const QString& suffix = QStringLiteral(".jpg")) {
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        paths.append(makeFile(
            QStringLiteral("%1/f%2%3").arg(folder).arg(i, 5, 10, QLatin1Char('0')).arg(suffix)));
    }
    return paths;
}

QString logText() {
    QFile file(Log::logFilePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

qsizetype logCount(const QString& line) {
    return logText().count(line);
}

} // namespace

class TestFileIntake : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Set intake (album and etc): 5,000 files pass, 5,001 do not; a folder may fill the tab up
    // to the allowance exactly, and its walk stops one file past it.
    void setIntakeCountLimits() {
        TestHome home;
        AlertRecorder alerts;
        Host host;
        FileIntake intake(host);
        const QStringList many = makeFiles(home.filePath(QStringLiteral("many")), 5001);

        intake.dragDropFolderAndFiles(many.mid(0, 5000));
        QCOMPARE(host.selection.size(), 5000);
        QCOMPARE(host.info, FileIntake::selectInfoFilesOnly());
        QCOMPARE(alerts.count(), 0);

        host.selection = {QStringLiteral("/kept")};
        intake.dragDropFolderAndFiles(many);
        QCOMPARE(alerts.messages(), QStringList{QStringLiteral("対象となるファイルが多過ぎます")});
        QCOMPARE(alerts.last().information, QStringLiteral("5000ファイル以下に調整してください"));
        QCOMPARE(host.selection, QStringList{QStringLiteral("/kept")});
        QVERIFY(logText().contains(QStringLiteral("ファイルの数が多すぎるのでNG（5001件）")));

        // 4,990 loose files and a folder of exactly the 10 that remain.
        const QString ten = home.filePath(QStringLiteral("ten"));
        makeFiles(ten, 10);
        alerts.clear();
        intake.dragDropFolderAndFiles(many.mid(0, 4990) + QStringList{ten});
        QCOMPARE(alerts.count(), 0);
        QCOMPARE(host.selection.size(), 5000);
        QCOMPARE(host.info, FileIntake::selectInfoFilesAndFolders());
        // One file fewer remains than the folder holds: refused once the walk found the 10th.
        const QString over = QStringLiteral("ファイルの数が多すぎるのでNG（5001件）");
        const qsizetype before = logCount(over);
        intake.dragDropFolderAndFiles(many.mid(0, 4991) + QStringList{ten});
        QCOMPARE(alerts.messages(), QStringList{QStringLiteral("対象となるファイルが多過ぎます")});
        QCOMPARE(logCount(over), before + 1);

        // A folder far over the limit is walked only one file past it, never to its end.
        alerts.clear();
        makeFiles(home.filePath(QStringLiteral("many/sub")), 300);
        intake.dragDropFolderAndFiles({home.filePath(QStringLiteral("many"))});
        QCOMPARE(alerts.count(), 1);
        QCOMPARE(logCount(over), before + 2);
        QCOMPARE(logCount(QStringLiteral("NG（5301件）")), 0);
    }

    // Select info, hidden files, folder order, files of any type, an empty result.
    void setIntakeSelectInfo() {
        TestHome home;
        AlertRecorder alerts;
        Host host;
        host.tab = OrderTab::Album;
        FileIntake intake(host);
        const QString a = home.filePath(QStringLiteral("a"));
        const QString b = home.filePath(QStringLiteral("b"));
        makeFile(a + QStringLiteral("/z.tif"));
        makeFile(a + QStringLiteral("/sub/y.jpg"));
        makeFile(a + QStringLiteral("/.DS_Store"));
        makeFile(b + QStringLiteral("/x.pdf"));
        const QString loose = makeFile(home.filePath(QStringLiteral("loose.psd")));

        intake.dragDropFolderAndFiles({a});
        QCOMPARE(host.info, a);
        QCOMPARE(host.selection,
                 (QStringList{a + QStringLiteral("/sub/y.jpg"), a + QStringLiteral("/z.tif")}));

        intake.dragDropFolderAndFiles({b, a});
        QCOMPARE(host.info, FileIntake::selectInfoSeveralFolders());
        QCOMPARE(host.selection.size(), 3);
        QCOMPARE(host.selection.first(),
                 a + QStringLiteral("/sub/y.jpg")); // folders in sorted order

        intake.dragDropFolderAndFiles({loose, b});
        QCOMPARE(host.info, FileIntake::selectInfoFilesAndFolders());
        QCOMPARE(host.selection, (QStringList{loose, b + QStringLiteral("/x.pdf")}));
        QCOMPARE(alerts.count(), 0);

        const QString hiddenOnly = home.filePath(QStringLiteral("hidden"));
        makeFile(hiddenOnly + QStringLiteral("/.secret.jpg"));
        intake.dragDropFolderAndFiles({hiddenOnly});
        QCOMPARE(alerts.messages(),
                 QStringList{QStringLiteral("対象となるファイルが含まれていません")});
        QCOMPARE(host.selection, (QStringList{loose, b + QStringLiteral("/x.pdf")}));
        QVERIFY(host.refreshes >= 4);
    }

    // A folder dropped together with files and folders inside it: each file counted and taken once.
    void folderWithItsOwnFilesCountsOnce() {
        TestHome home;
        AlertRecorder alerts;
        Host host;
        FileIntake intake(host);
        const QString folder = home.filePath(QStringLiteral("shoot"));
        const QStringList files = makeFiles(folder, 3);
        const QString sub = folder + QStringLiteral("/sub");
        makeFiles(sub, 2);

        intake.dragDropFolderAndFiles({folder, files.at(0), files.at(2), sub});
        QCOMPARE(alerts.count(), 0);
        QCOMPARE(host.selection.size(), 5);
        QCOMPARE(QSet<QString>(host.selection.cbegin(), host.selection.cend()).size(), 5);

        // The allowance is judged on distinct files too: 4,995 loose + this folder of 5 fits
        // only when the folder's own files dropped beside it are not counted twice.
        const QStringList loose = makeFiles(home.filePath(QStringLiteral("loose")), 4995);
        intake.dragDropFolderAndFiles(loose + QStringList{folder, files.at(1)});
        QCOMPARE(alerts.count(), 0);
        QCOMPARE(host.selection.size(), 5000);
    }

    // The size limit: 4,147,000,000 bytes ("4GB"), sparse files stand in for big photos.
    void sizeLimits() {
        TestHome home;
        AlertRecorder alerts;
        Host host;
        FileIntake intake(host);
        QCOMPARE(FileIntake::fileLimitSize(), 4147000000LL);
        QCOMPARE(FileIntake::fileLimitSizeStr(), QStringLiteral("4GB"));
        const QString exact =
            makeFile(home.filePath(QStringLiteral("big/exact.jpg")), 4147000000LL);
        const QString one = makeFile(home.filePath(QStringLiteral("big/one.jpg")), 1);
        QVERIFY(!FileIntake::isFileSizeOver({exact}));
        QVERIFY(FileIntake::isFileSizeOver({exact, one}));

        intake.dragDropFolderAndFiles({exact, one});
        QCOMPARE(alerts.messages(),
                 QStringList{QStringLiteral("ファイルの合計サイズが大きすぎます")});
        QVERIFY(alerts.last().information.startsWith(QStringLiteral("4GB以下になる様に")));
        QVERIFY(host.selection.isEmpty());

        // The resize tab with resizing asked for has no limit.
        host.tab = OrderTab::Resize;
        alerts.clear();
        intake.dragDropFolderAndFiles({exact, one});
        QCOMPARE(alerts.count(), 1);
        host.resizeExe = true;
        alerts.clear();
        intake.dragDropFolderAndFiles({exact, one});
        QCOMPARE(alerts.count(), 0);
        QCOMPARE(host.selection, (QStringList{exact, one}));

        // The print list adds the tab's current selection to the new files.
        host.tab = OrderTab::Print;
        host.selection = {exact};
        host.lists[static_cast<int>(FileListKind::Print)] = {exact};
        intake.dragDropFolderAndFiles({one});
        QCOMPARE(alerts.messages(),
                 QStringList{QStringLiteral("ファイルサイズの合計が大きすぎます")});
        QCOMPARE(alerts.last().information,
                 QStringLiteral("合計のファイルサイズが4GBを超えるので追加できません"));
        QCOMPARE(host.listFilePaths(FileListKind::Print), QStringList{exact});
    }

    // Resize intake: one folder, or JPEG-holding files of one folder.
    void resizeRoute() {
        TestHome home;
        AlertRecorder alerts;
        Host host;
        host.tab = OrderTab::Resize;
        FileIntake intake(host);
        const QString x = home.filePath(QStringLiteral("x"));
        const QString y = home.filePath(QStringLiteral("y"));
        const QString xa = makeFile(x + QStringLiteral("/a.JPG"));
        const QString xb = makeFile(x + QStringLiteral("/b.png"));
        const QString yc = makeFile(y + QStringLiteral("/c.jpeg"));
        makeFile(y + QStringLiteral("/d.txt"));
        const QString noJpeg = home.filePath(QStringLiteral("nojpeg"));
        const QString txt = makeFile(noJpeg + QStringLiteral("/e.txt"));

        intake.dragDropFolderAndFiles({xa, y});
        intake.dragDropFolderAndFiles({x, y});
        intake.dragDropFolderAndFiles({xa, yc});
        intake.dragDropFolderAndFiles({txt});
        QCOMPARE(alerts.messages(),
                 (QStringList{QStringLiteral("ファイルとフォルダを混在して選択できません"),
                              QStringLiteral("複数フォルダは選択できません"),
                              QStringLiteral("異なる階層のファイルはドロップできません"),
                              QStringLiteral("jpgファイルが含まれていません")}));
        QCOMPARE(host.info, QStringLiteral("(unchanged)"));
        QVERIFY(host.selection.isEmpty());

        // Non-JPEG files stay in the selection.
        alerts.clear();
        intake.dragDropFolderAndFiles({xb, xa});
        QCOMPARE(alerts.count(), 0);
        QCOMPARE(host.selection, (QStringList{xa, xb}));
        QCOMPARE(host.info, FileIntake::selectInfoFilesOnly());

        // A single folder is a folder choice.
        intake.dragDropFolderAndFiles({y});
        QCOMPARE(host.info, y);
        QCOMPARE(host.selection.size(), 2);
        QVERIFY(logText().contains(QStringLiteral("１フォルダのみでOK（file=0 folder=1）")));

        // A folder without a JPEG clears the selection and keeps the select info.
        intake.dragDropFolderAndFiles({noJpeg});
        QCOMPARE(alerts.last().information,
                 QStringLiteral("受注対象となるjpgファイルが含まれたフォルダを選択してください"));
        QVERIFY(host.selection.isEmpty());
        QCOMPARE(host.info, y);
    }

    // List intake of the print and school tabs.
    void listRoute() {
        TestHome home;
        AlertRecorder alerts;
        Host host;
        host.tab = OrderTab::Print;
        FileIntake intake(host);
        QStringList rows;
        for (int i = 0; i < 4999; ++i) {
            rows.append(QStringLiteral("/listed/r%1.jpg").arg(i));
        }
        host.lists[static_cast<int>(FileListKind::Print)] = rows;
        const QString one = makeFile(home.filePath(QStringLiteral("p/one.jpg")));
        const QString two = makeFile(home.filePath(QStringLiteral("p/two.jpg")));

        intake.dragDropFolderAndFiles({one, two});
        QCOMPARE(alerts.messages(),
                 QStringList{QStringLiteral("ドロップされたファイルが多過ぎます")});
        QVERIFY(logText().contains(QStringLiteral("ファイルの数が多すぎるのでNG（2件）")));
        QCOMPARE(host.listFilePaths(FileListKind::Print).size(), 4999);
        intake.dragDropFolderAndFiles({one});
        QCOMPARE(alerts.count(), 1);
        QCOMPARE(host.listFilePaths(FileListKind::Print).size(), 5000);
        QCOMPARE(host.selection.last(), one);

        // Folders are ignored; nothing else dropped: refused.
        host.tab = OrderTab::School;
        alerts.clear();
        intake.dragDropFolderAndFiles({home.filePath(QStringLiteral("p"))});
        QCOMPARE(alerts.messages(), QStringList{QStringLiteral("ファイルのみドロップ可能です")});
        intake.dragDropFolderAndFiles({one, two, home.filePath(QStringLiteral("p"))});
        QCOMPARE(host.listFilePaths(FileListKind::School), (QStringList{one, two}));
        QCOMPARE(host.selection, (QStringList{one, two}));
    }

    // The lab unpacks on a file system that ignores letter case: names equal but for case clash.
    void duplicateNamesIgnoreCase() {
        TestHome home;
        AlertRecorder alerts;
        Host host;
        host.tab = OrderTab::Print;
        FileIntake intake(host);
        const QString lower = makeFile(home.filePath(QStringLiteral("x/a.jpg")));
        const QString upper = makeFile(home.filePath(QStringLiteral("x/A.jpg")));
        const QString other = makeFile(home.filePath(QStringLiteral("y/a.jpg")));
        const QString shout = makeFile(home.filePath(QStringLiteral("z/A.JPG")));

        intake.dragDropFolderAndFiles({lower, upper});
        QCOMPARE(alerts.messages(), QStringList{QStringLiteral("同じファイル名が複数あります。")});
        QVERIFY(alerts.last().information.endsWith(
            QStringLiteral("\n同じファイル名は登録できません。")));
        intake.dragDropFolderAndFiles({lower, other});
        QCOMPARE(alerts.count(), 2);
        QVERIFY(host.listFilePaths(FileListKind::Print).isEmpty());

        intake.dragDropFolderAndFiles({lower});
        QCOMPARE(host.listFilePaths(FileListKind::Print), QStringList{lower});
        intake.dragDropFolderAndFiles({shout});
        QCOMPARE(alerts.messages().last(),
                 QStringLiteral("登録されているのと同じファイル名が含まれています。"));
        QCOMPARE(alerts.last().information,
                 QStringLiteral("A.JPG\n同じファイル名は登録できません。"));
        QCOMPARE(host.listFilePaths(FileListKind::Print), QStringList{lower});

        QCOMPARE(
            FileIntake::overlapFileName({QStringLiteral("/x/b.jpg"), QStringLiteral("/x/B.Jpg")}),
            std::optional<QString>(QStringLiteral("B.Jpg")));
        QCOMPARE(
            FileIntake::overlapFileName({QStringLiteral("/x/b.jpg"), QStringLiteral("/x/c.jpg")}),
            std::nullopt);
        // "ガ" as one character (Windows) and as カ with a combining mark (a Mac's folder) is one
        // name in the archive, which holds the composed form.
        const QString composed = QStringLiteral("ガ.jpg");
        const QString decomposed = composed.normalized(QString::NormalizationForm_D);
        QVERIFY(composed != decomposed);
        QCOMPARE(FileIntake::overlapFileName(
                     {QStringLiteral("/x/") + composed, QStringLiteral("/y/") + decomposed}),
                 std::optional<QString>(decomposed));
        QCOMPARE(FileIntake::registeredFileNameInList({QStringLiteral("/n/") + decomposed},
                                                      {QStringLiteral("/l/") + composed}),
                 std::optional<QString>(decomposed));
        QCOMPARE(
            FileIntake::allFileNameStr({QStringLiteral("/a/x.jpg"), QStringLiteral("/b/y.jpg")}),
            QStringLiteral(",x.jpg,y.jpg,"));
        QCOMPARE(FileIntake::registeredFileName({QStringLiteral("/n/Y.JPG")},
                                                QStringLiteral(",x.jpg,y.jpg,")),
                 std::optional<QString>(QStringLiteral("Y.JPG")));
        // A listed name holding a comma does not make a part of it "registered".
        QCOMPARE(FileIntake::registeredFileNameInList({QStringLiteral("/n/b.jpg")},
                                                      {QStringLiteral("/l/a,b.jpg")}),
                 std::nullopt);
    }

    // Pipes and devices are refused with an alert and never opened; inside folders they are
    // skipped.
    void onlyRegularFiles() {
        TestHome home;
        AlertRecorder alerts;
        Host host;
        FileIntake intake(host);
        const QString folder = home.filePath(QStringLiteral("f"));
        const QString photo = makeFile(folder + QStringLiteral("/photo.jpg"));
        const QString fifo = folder + QStringLiteral("/pipe.jpg");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

        // Opening the pipe would block this test for good.
        intake.dragDropFolderAndFiles({photo, fifo});
        QCOMPARE(alerts.messages(),
                 QStringList{QStringLiteral("通常のファイル以外はドロップできません")});
        QVERIFY(alerts.last().information.startsWith(QStringLiteral("pipe.jpg\n")));
        QVERIFY(host.selection.isEmpty());
        host.tab = OrderTab::Print;
        intake.dragDropFolderAndFiles({QStringLiteral("/dev/null")});
        QCOMPARE(alerts.count(), 2);
        QVERIFY(host.listFilePaths(FileListKind::Print).isEmpty());

        host.tab = OrderTab::Etc;
        intake.dragDropFolderAndFiles({folder});
        QCOMPARE(alerts.count(), 2);
        QCOMPARE(host.selection, QStringList{photo});
    }

    // The folder button and the one-folder choice.
    void folderChoice() {
        TestHome home;
        AlertRecorder alerts;
        Host host;
        FileIntake intake(host);
        const QString folder = home.filePath(QStringLiteral("chosen"));
        makeFiles(folder, 3, QStringLiteral(".png"));
        const QString empty = home.filePath(QStringLiteral("empty"));
        QDir().mkpath(empty);

        alerts.enqueueFolder(folder);
        intake.imageFolderSelect(nullptr);
        QCOMPARE(host.selection.size(), 3);
        QCOMPARE(host.info, folder);
        QCOMPARE(host.dropOff, 1);
        QCOMPARE(host.dropOn, 1);
        QVERIFY(logText().contains(QStringLiteral("画像フォルダ選択（3件のファイル）")));

        // Cancelled: nothing changes, drops are back on.
        intake.imageFolderSelect(nullptr);
        QCOMPARE(host.selection.size(), 3);
        QCOMPARE(host.dropOn, 2);

        intake.oneImageFolderSelected(empty);
        QVERIFY(host.selection.isEmpty());
        QCOMPARE(host.info, QString());
        QCOMPARE(alerts.last().information, QStringLiteral("この商品はJPEGファイルが対象です"));

        // Too many: the selection is cleared, the select info stays.
        host.info = folder;
        host.selection = {QStringLiteral("/before")};
        makeFiles(home.filePath(QStringLiteral("big")), 5001, QStringLiteral(".txt"));
        intake.oneImageFolderSelected(home.filePath(QStringLiteral("big")));
        QCOMPARE(alerts.messages().last(),
                 QStringLiteral("フォルダに含まれるファイルが多過ぎます"));
        QVERIFY(host.selection.isEmpty());
        QCOMPARE(host.info, folder);

        // The print and school tabs have no folder choice.
        host.tab = OrderTab::Print;
        host.selection = {QStringLiteral("/before")};
        intake.oneImageFolderSelected(folder);
        QCOMPARE(host.selection, QStringList{QStringLiteral("/before")});
    }

    // The Kinelo add-files window takes precedence and logs each check.
    void kineloRoute() {
        TestHome home;
        AlertRecorder alerts;
        Host host;
        host.tab = OrderTab::Album;
        host.kinelo = true;
        FileIntake intake(host);
        const QString mov = makeFile(home.filePath(QStringLiteral("k/mov.mp4")));
        intake.dragDropFolderAndFiles({mov});
        QCOMPARE(host.listFilePaths(FileListKind::Kinelo), QStringList{mov});
        QVERIFY(host.selection.isEmpty());
        const QString log = logText();
        for (const char* line : {"アルバムのキネロ追加ファイルとして処理", "ファイル数をチェック",
                                 "処理できるファイルがあるかチェック",
                                 "同じファイル名がすでにあるかチェック", "ファイルサイズチェック",
                                 "ドロップファイルの受け入れ処理", "fileInfoArray.count=1"}) {
            QVERIFY2(log.contains(QString::fromUtf8(line)), line);
        }
    }

    // A name with a line break or another control character (DEL included) is packed as it is
    // while the report writes it on one line: the lab cannot pair them. Refused on every route,
    // naming the file with the characters shown.
    void controlCharactersInNamesAreRefused() {
        TestHome home;
        AlertRecorder alerts;
        Host host;
        host.tab = OrderTab::Print;
        FileIntake intake(host);
        const QString fine = makeFile(home.filePath(QStringLiteral("in/fine.jpg")));
        const QString lineBreak = makeFile(home.filePath(QStringLiteral("in/a\nb.jpg")));
        const QString del = makeFile(home.filePath(QStringLiteral("in/c\x7f.jpg")));
        const QString separator = makeFile(home.filePath(QStringLiteral("in/d\u2028e.jpg")));
        const QString title = QStringLiteral("ファイル名に使えない文字が含まれています");

        intake.dragDropFolderAndFiles({fine, lineBreak});
        QCOMPARE(alerts.messages(), QStringList{title});
        QVERIFY2(
            alerts.last().information.startsWith(home.filePath(QStringLiteral("in/a\\nb.jpg\n"))),
            qPrintable(alerts.last().information));
        QVERIFY(host.listFilePaths(FileListKind::Print).isEmpty());
        QVERIFY(logText().contains(QStringLiteral("ファイル名に制御文字が含まれているのでNG(%1)")
                                       .arg(home.filePath(QStringLiteral("in/a\\nb.jpg")))));
        intake.dragDropFolderAndFiles({del});
        QVERIFY(
            alerts.last().information.startsWith(home.filePath(QStringLiteral("in/c\\x7F.jpg"))));
        intake.dragDropFolderAndFiles({separator});
        QVERIFY(alerts.last().information.startsWith(
            home.filePath(QStringLiteral("in/d\\u2028e.jpg"))));
        QCOMPARE(alerts.count(), 3);
        QVERIFY(host.listFilePaths(FileListKind::Print).isEmpty());

        // Inside a dropped folder, and in a folder's own name.
        host.tab = OrderTab::Etc;
        host.selection = {QStringLiteral("/kept")};
        intake.dragDropFolderAndFiles({home.filePath(QStringLiteral("in"))});
        QCOMPARE(alerts.count(), 4);
        QCOMPARE(alerts.last().message, title);
        QCOMPARE(host.selection, QStringList{QStringLiteral("/kept")});
        const QString tabFolder = home.filePath(QStringLiteral("day\t1"));
        makeFile(tabFolder + QStringLiteral("/ok.jpg"));
        intake.dragDropFolderAndFiles({tabFolder});
        QCOMPARE(alerts.count(), 5);
        QVERIFY(alerts.last().information.startsWith(home.filePath(QStringLiteral("day\\t1"))));

        // The folder button (and the resize tab's one folder): refused, the selection cleared.
        host.tab = OrderTab::Resize;
        intake.oneImageFolderSelected(home.filePath(QStringLiteral("in")));
        QCOMPARE(alerts.count(), 6);
        QCOMPARE(alerts.last().message, title);
        QVERIFY(host.selection.isEmpty());

        // Clean names pass.
        host.tab = OrderTab::Print;
        intake.dragDropFolderAndFiles({fine});
        QCOMPARE(alerts.count(), 6);
        QCOMPARE(host.listFilePaths(FileListKind::Print), QStringList{fine});
    }

    // A sub-folder whose name is not UTF-8 (from a memory card or an old archive) was left out
    // without a word. The readable photos still come in, and the studio hears once per drop which
    // folders could not be read.
    void unreadableFoldersAreNamedOncePerDrop() {
        TestHome home;
        AlertRecorder alerts;
        Host host;
        host.tab = OrderTab::Album;
        FileIntake intake(host);
        const QString shoot = home.filePath(QStringLiteral("shoot"));
        const QString photo = makeFile(shoot + QStringLiteral("/a.jpg"));
        const QByteArray raw = QFile::encodeName(shoot);
        RawNames names;
        QVERIFY(names.folder(raw + "/card\xff"));
        QVERIFY(names.folder(raw + "/\xe3\x81"));
        QVERIFY(names.file(raw + "/card\xff/b.jpg"));
        QVERIFY(names.file(raw + "/c\xfe.jpg"));
        const QString other = home.filePath(QStringLiteral("other"));
        const QString photo2 = makeFile(other + QStringLiteral("/d.jpg"));
        QVERIFY(names.folder(QFile::encodeName(other) + "/\x80"));

        intake.dragDropFolderAndFiles({shoot, other});
        QCOMPARE(host.selection, (QStringList{photo2, photo})); // folders in sorted order
        QCOMPARE(host.info, FileIntake::selectInfoSeveralFolders());
        QCOMPARE(alerts.messages(), QStringList{QStringLiteral("読み込めないフォルダがあります")});
        const QStringList shown = alerts.last().information.split(u'\n').mid(1);
        QCOMPARE(shown, (QStringList{other + QStringLiteral("/\\x80"),
                                     shoot + QStringLiteral("/card\\xFF"),
                                     shoot + QStringLiteral("/c\\xFE.jpg"),
                                     shoot + QStringLiteral("/\\xE3\\x81")}));
        QVERIFY(logText().contains(QStringLiteral("読み込めないフォルダを除外（4件）")));

        // The folder button says it too, once.
        alerts.clear();
        intake.oneImageFolderSelected(shoot);
        QCOMPARE(host.selection, QStringList{photo});
        QCOMPARE(host.info, shoot);
        QCOMPARE(alerts.messages(), QStringList{QStringLiteral("読み込めないフォルダがあります")});
        QVERIFY(alerts.last().information.contains(shoot + QStringLiteral("/card\\xFF")));

        // A clean folder says nothing.
        alerts.clear();
        intake.dragDropFolderAndFiles({home.filePath(QStringLiteral("shoot/a.jpg"))});
        QCOMPARE(alerts.count(), 0);
    }

    // A folder the studio may not open is named the same way (as root every folder opens).
    void folderWithoutPermissionIsNamed() {
        if (::geteuid() == 0) {
            QSKIP("root opens every folder");
        }
        TestHome home;
        AlertRecorder alerts;
        Host host;
        FileIntake intake(host);
        const QString shoot = home.filePath(QStringLiteral("shoot"));
        const QString photo = makeFile(shoot + QStringLiteral("/a.jpg"));
        const QString locked = shoot + QStringLiteral("/locked");
        makeFile(locked + QStringLiteral("/b.jpg"));
        QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
        intake.dragDropFolderAndFiles({shoot});
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
        QCOMPARE(host.selection, QStringList{photo});
        QCOMPARE(alerts.messages(), QStringList{QStringLiteral("読み込めないフォルダがあります")});
        QVERIFY(alerts.last().information.endsWith(u'\n' + locked));
    }

    void pathChecks() {
        QVERIFY(FileIntake::isEqualFolderWithFilesPath({}));
        QVERIFY(FileIntake::isEqualFolderWithFilesPath(
            {QStringLiteral("/a/b.jpg"), QStringLiteral("/a/c.jpg")}));
        QVERIFY(!FileIntake::isEqualFolderWithFilesPath(
            {QStringLiteral("/a/b.jpg"), QStringLiteral("/a/d/c.jpg")}));
        QVERIFY(FileIntake::isContanisJpegFileWithFilesPath(
            {QStringLiteral("/a/b.txt"), QStringLiteral("/a/c.JPEG")}));
        QVERIFY(!FileIntake::isContanisJpegFileWithFilesPath(
            {QStringLiteral("/a/.c.jpg"), QStringLiteral("/a/jpg")}));
    }
};

QTEST_GUILESS_MAIN(TestFileIntake)
#include "tst_FileIntake.moc"
