#include "AlertRecorder.h"
#include "PipelineTestKit.h"
#include "TestHome.h"
#include "job/JobInfo.h"
#include "job/NotificationCenter.h"
#include "job/ZipJob.h"
#include "job/ZipPacker.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "util/PathUtil.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QtTest>

namespace {

const QString kPassword = QStringLiteral("qelvoxa");

void setTab(const QString& label) {
    UserDef::setObject(label, QStringLiteral("MainTabLabel"));
}

void baseSettings(const QString& tab) {
    UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
    UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
    UserDef::setObject(QStringLiteral("AcAfterSend"), QStringLiteral("OrderActionType"));
    setTab(tab);
}

QStringList poolFiles() {
    return QDir(WorkFolder::orderZipPoolFolderPath()).entryList(QDir::Files);
}

} // namespace

class TestZipJob : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void printTabStoresBareNamesOnceEach();
    void folderTabsKeepTheTreeBelowTheChosenFolder();
    void etcTabWithoutFolderStoresAbsolutePaths();
    void resizeTabWithoutFolderStoresBareNames();
    void archiveNeedsThePasswordAndStoresPhotos();
    void forbiddenCharactersSwitchToCopyConvert();
    void printTabCopyConvertKeepsBareNames();
    void sizeRulesRejectTinyFiles_data();
    void sizeRulesRejectTinyFiles();
    void cancelRemovesArchiveAndResizeFolder();
    void saveActionMovesArchiveToSavePath();
    void unreachableSavePathFailsAndKeepsNothing();
    void passwordStopsAboveSizeLimit();
    void kineloFilesFollowTheOrderFiles();
    void kineloAddedFilesOfTheSameNameStayApart();
    void fotoFusionCleanupDeletesOnlyScrapPackages();
    void unzipExpandsBesideAndDeletesTheArchive();
};

void TestZipJob::printTabStoresBareNamesOnceEach() {
    TestHome home;
    AlertRecorder alerts;
    baseSettings(QStringLiteral("プリント"));
    QVERIFY(WorkFolder::checkWorkFolder());
    const QString a = home.filePath(QStringLiteral("Pictures/one/x.jpg"));
    const QString b = home.filePath(QStringLiteral("Pictures/two/y.txt"));
    QVERIFY(kit::writeFile(a, 5000, 1));
    QVERIFY(kit::writeText(b, "some text for the lab"));

    RecordingProgress progress;
    JobInfo info({a, b, a}, QString(), nullptr, &progress);
    ZipJob job(info);
    QVERIFY(job.start());
    QCOMPARE(alerts.count(), 0);

    QVERIFY(job.isDirectZip());
    const QString pooled = info.zipPoolFilePath();
    QCOMPARE(poolFiles(), QStringList{QStringLiteral("1234_001122AABBCC_0000001.zip")});
    QCOMPARE(kit::zipEntries(pooled),
             (QStringList{QStringLiteral("PrintReport4.txt"), QStringLiteral("x.jpg"),
                          QStringLiteral("y.txt")}));
    QCOMPARE(kit::zipContent(pooled, QStringLiteral("x.jpg"), kPassword), kit::readAll(a));
    // Work copies of the archive are gone; the duplicate counted once in the progress.
    QVERIFY(!QFileInfo::exists(info.zipFilePath()));
    QVERIFY(!QFileInfo::exists(info.zipFolderPath()));
    QVERIFY(progress.events().contains(QStringLiteral("range:0-2")));
    QVERIFY(progress.messages().contains(QStringLiteral("2 / 2  ファイル圧縮処理中")));
    QCOMPARE(progress.events().constLast(), QStringLiteral("clear"));
    // The stage itself never consumes the bag number.
    QCOMPARE(UserDef::integerForKey(QStringLiteral("BagNo")), 0);
}

void TestZipJob::folderTabsKeepTheTreeBelowTheChosenFolder() {
    TestHome home;
    AlertRecorder alerts;
    baseSettings(QStringLiteral("その他"));
    QVERIFY(WorkFolder::checkWorkFolder());
    const QString folder = home.filePath(QStringLiteral("P/Wedding"));
    const QString f1 = folder + QStringLiteral("/day1/001.jpg");
    // "P/" inside the tree must not be cut out of the entry as well.
    const QString f2 = folder + QStringLiteral("/P/002.txt");
    QVERIFY(kit::writeFile(f1, 3000, 2));
    QVERIFY(kit::writeText(f2, "memo of the studio"));

    for (const QString& tab :
         {QStringLiteral("その他"), QStringLiteral("アルバム"), QStringLiteral("リサイズ")}) {
        setTab(tab);
        JobInfo info({f1, f2}, folder, nullptr, nullptr);
        ZipJob job(info);
        QVERIFY2(job.start(), qPrintable(tab));
        QCOMPARE(
            kit::zipEntries(info.zipPoolFilePath()),
            (QStringList{QStringLiteral("PrintReport4.txt"), QStringLiteral("Wedding/day1/001.jpg"),
                         QStringLiteral("Wedding/P/002.txt")}));
        QVERIFY(QFile::remove(info.zipPoolFilePath()));
    }
    QCOMPARE(alerts.count(), 0);

    // Two files that would land on one name at the lab (letter case only; or the report's own
    // name) are refused: nothing may be left out silently.
    const QString upper = folder + QStringLiteral("/day1/IMG.JPG");
    const QString lower = folder + QStringLiteral("/day1/img.jpg");
    const QString report = folder + QStringLiteral("/PrintReport4.txt");
    QVERIFY(kit::writeFile(upper, 3000, 3));
    QVERIFY(kit::writeFile(lower, 3000, 4));
    QVERIFY(kit::writeText(report, "not the report"));
    for (const QStringList& files : {QStringList{upper, lower}, QStringList{f1, report}}) {
        // The print tab stores bare names: there a file may meet the report's name.
        setTab(files.contains(upper) ? QStringLiteral("その他") : QStringLiteral("プリント"));
        alerts.clear();
        JobInfo info(files, folder, nullptr, nullptr);
        ZipJob job(info);
        QVERIFY2(!job.start(), qPrintable(files.join(u' ')));
        QVERIFY(poolFiles().isEmpty());
        QCOMPARE(alerts.last().message, QStringLiteral("エラーが発生しました"));
        QVERIFY(kit::readAll(Log::logFilePath()).contains("同じ名前の項目が2つあります"));
    }
}

void TestZipJob::etcTabWithoutFolderStoresAbsolutePaths() {
    TestHome home;
    AlertRecorder alerts;
    baseSettings(QStringLiteral("その他"));
    QVERIFY(WorkFolder::checkWorkFolder());
    const QString file = home.filePath(QStringLiteral("Docs/order sheet.pdf"));
    QVERIFY(kit::writeFile(file, 2048, 3));

    JobInfo info({file}, QString(), nullptr, nullptr);
    ZipJob job(info);
    QVERIFY(job.start());
    QCOMPARE(kit::zipEntries(info.zipPoolFilePath()),
             (QStringList{QStringLiteral("PrintReport4.txt"), file.mid(1)}));
}

void TestZipJob::resizeTabWithoutFolderStoresBareNames() {
    TestHome home;
    AlertRecorder alerts;
    baseSettings(QStringLiteral("リサイズ"));
    QVERIFY(WorkFolder::checkWorkFolder());
    const QString file = home.filePath(QStringLiteral("Pictures/deep/inside/p.jpeg"));
    QVERIFY(kit::writeFile(file, 4096, 4));

    JobInfo info({file}, QString(), nullptr, nullptr);
    ZipJob job(info);
    QVERIFY(job.start());
    QCOMPARE(kit::zipEntries(info.zipPoolFilePath()),
             (QStringList{QStringLiteral("PrintReport4.txt"), QStringLiteral("p.jpeg")}));
}

void TestZipJob::archiveNeedsThePasswordAndStoresPhotos() {
    TestHome home;
    AlertRecorder alerts;
    baseSettings(QStringLiteral("プリント"));
    QVERIFY(WorkFolder::checkWorkFolder());
    const QString photo = home.filePath(QStringLiteral("in/UPPER.JPG"));
    const QString text = home.filePath(QStringLiteral("in/notes.txt"));
    QVERIFY(kit::writeFile(photo, 40000, 5));
    QVERIFY(kit::writeText(text, QByteArray(20000, 'a')));

    JobInfo info({photo, text}, QString(), nullptr, nullptr);
    ZipJob job(info);
    QVERIFY(job.start());
    const QString pooled = info.zipPoolFilePath();
    QVERIFY(!kit::zipContent(pooled, QStringLiteral("notes.txt"), QStringLiteral("wrong")));
    QVERIFY(!kit::zipContent(pooled, QStringLiteral("PrintReport4.txt"), QStringLiteral("wrong")));
    QCOMPARE(kit::zipContent(pooled, QStringLiteral("notes.txt"), kPassword), kit::readAll(text));
    QCOMPARE(kit::zipContent(pooled, QStringLiteral("UPPER.JPG"), kPassword), kit::readAll(photo));

    const QMap<QString, QString> methods = kit::zipMethods(pooled);
    QCOMPARE(methods.value(QStringLiteral("UPPER.JPG")), QStringLiteral("Stored"));
    QVERIFY(methods.value(QStringLiteral("notes.txt")).startsWith(QStringLiteral("Defl")));
}

void TestZipJob::forbiddenCharactersSwitchToCopyConvert() {
    TestHome home;
    AlertRecorder alerts;
    baseSettings(QStringLiteral("その他"));
    QVERIFY(WorkFolder::checkWorkFolder());
    const QString folder = home.filePath(QStringLiteral("shoot"));
    const QString odd = folder + QStringLiteral("/a:b?.jpg");
    const QString plain = folder + QStringLiteral("/plain.jpg");
    QVERIFY(kit::writeFile(odd, 6000, 6));
    QVERIFY(kit::writeFile(plain, 6000, 7));

    JobInfo info({odd, plain}, folder, nullptr, nullptr);
    ZipJob job(info);
    QVERIFY(job.start());
    QVERIFY(!job.isDirectZip());
    const QString converted = QStringLiteral("shoot/a\uFF0Fb\uFF1F.jpg");
    QCOMPARE(kit::zipEntries(info.zipPoolFilePath()),
             (QStringList{QStringLiteral("PrintReport4.txt"), converted,
                          QStringLiteral("shoot/plain.jpg")}));
    QCOMPARE(kit::zipContent(info.zipPoolFilePath(), converted, kPassword), kit::readAll(odd));
    // The copies were made in the staging folder, which is gone again; the originals stay.
    QVERIFY(!QFileInfo::exists(ZipJob::zipWorkFolderPath()));
    QVERIFY(QFileInfo::exists(odd));
    QCOMPARE(info.selectWorkFiles().size(), 2);
    QCOMPARE(info.selectWorkFiles().constFirst(), ZipJob::zipWorkFolderPath() + u'/' + converted);
}

void TestZipJob::printTabCopyConvertKeepsBareNames() {
    TestHome home;
    AlertRecorder alerts;
    baseSettings(QStringLiteral("プリント"));
    QVERIFY(WorkFolder::checkWorkFolder());
    const QString odd = home.filePath(QStringLiteral("x/a:b?.jpg"));
    QVERIFY(kit::writeFile(odd, 6000, 8));

    JobInfo info({odd}, QString(), nullptr, nullptr);
    ZipJob job(info);
    QVERIFY(job.start());
    QVERIFY(!job.isDirectZip());
    QCOMPARE(
        kit::zipEntries(info.zipPoolFilePath()),
        (QStringList{QStringLiteral("PrintReport4.txt"), QStringLiteral("a\uFF0Fb\uFF1F.jpg")}));
}

void TestZipJob::sizeRulesRejectTinyFiles_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("passes");
    QTest::newRow("9-byte JPEG") << QStringLiteral("tiny.jpg") << 9 << false;
    QTest::newRow("10-byte JPEG") << QStringLiteral("small.jpg") << 10 << true;
    QTest::newRow("4-byte text") << QStringLiteral("four.txt") << 4 << false;
    QTest::newRow("9-byte text") << QStringLiteral("nine.txt") << 9 << true;
}

void TestZipJob::sizeRulesRejectTinyFiles() {
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(bool, passes);
    TestHome home;
    AlertRecorder alerts;
    baseSettings(QStringLiteral("プリント"));
    QVERIFY(WorkFolder::checkWorkFolder());
    const QString good = home.filePath(QStringLiteral("in/good.jpg"));
    const QString tested = home.filePath(QStringLiteral("in/") + name);
    QVERIFY(kit::writeFile(good, 5000, 9));
    QVERIFY(kit::writeText(tested, QByteArray(size, 'z')));

    JobInfo info({good, tested}, QString(), nullptr, nullptr);
    ZipJob job(info);
    QCOMPARE(job.start(), passes);
    if (passes) {
        QCOMPARE(alerts.count(), 0);
        QCOMPARE(kit::zipEntries(info.zipPoolFilePath()).size(), 3);
    } else {
        QCOMPARE(alerts.count(), 1);
        QCOMPARE(alerts.last().message, QStringLiteral("エラーが発生しました"));
        QCOMPARE(alerts.last().information,
                 QStringLiteral("ファイル圧縮中にエラーが発生しました\n[%1]\n処理を中止しました")
                     .arg(tested));
        QVERIFY(poolFiles().isEmpty());
        QVERIFY(!QFileInfo::exists(info.zipFilePath()));
    }
}

void TestZipJob::cancelRemovesArchiveAndResizeFolder() {
    TestHome home;
    AlertRecorder alerts;
    baseSettings(QStringLiteral("リサイズ"));
    UserDef::setResizeDic({{QStringLiteral("ResizeResizeCbKey"), QStringLiteral("On")}});
    QVERIFY(WorkFolder::checkWorkFolder());
    const QString folder = home.filePath(QStringLiteral("Photos/Wedding"));
    QVERIFY(QDir().mkpath(folder));

    RecordingProgress progress;
    JobInfo info({}, folder, nullptr, &progress);
    // What the resize stage left: 50 scaled copies.
    QVERIFY(info.createResizeFolder());
    for (int i = 0; i < 50; ++i) {
        QVERIFY(kit::writeFile(info.resizeFolderPath() + QStringLiteral("/Wedding/%1.jpg").arg(i),
                               2000, static_cast<quint32>(i)));
    }
    progress.onUpdate = [](double value) {
        if (value == 3) {
            NotificationCenter::defaultCenter().postNotification(kJobCancelNotification);
        }
    };
    ZipJob job(info);
    QVERIFY(!job.start());
    QVERIFY(job.isCancel());
    QCOMPARE(alerts.count(), 1);
    QCOMPARE(alerts.last().message, QStringLiteral("処理を中止しました"));
    QCOMPARE(alerts.last().information,
             QStringLiteral("キャンセルボタンによって処理が中止されました"));
    QVERIFY(!progress.events().contains(QStringLiteral("value:4")));
    QVERIFY(!QFileInfo::exists(info.zipFilePath()));
    QVERIFY(!QFileInfo::exists(info.resizeFolderPath()));
    QVERIFY(poolFiles().isEmpty());
    // The stage unsubscribed: a later cancel reaches nobody.
    QCOMPARE(NotificationCenter::defaultCenter().observerCount(kJobCancelNotification), 0);
}

void TestZipJob::saveActionMovesArchiveToSavePath() {
    TestHome home;
    AlertRecorder alerts;
    baseSettings(QStringLiteral("その他"));
    UserDef::setObject(QStringLiteral("AcSave"), QStringLiteral("OrderActionType"));
    const QString savePath = home.filePath(QStringLiteral("Desktop/order.zip"));
    QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("Desktop"))));
    UserDef::setObject(savePath, QStringLiteral("OrderSavePath"));
    QVERIFY(WorkFolder::checkWorkFolder());
    const QString file = home.filePath(QStringLiteral("d/f.jpg"));
    QVERIFY(kit::writeFile(file, 5000, 10));

    JobInfo info({file}, home.filePath(QStringLiteral("d")), nullptr, nullptr);
    ZipJob job(info);
    QVERIFY(job.start());
    QVERIFY(poolFiles().isEmpty());
    QCOMPARE(kit::zipEntries(savePath),
             (QStringList{QStringLiteral("PrintReport4.txt"), QStringLiteral("d/f.jpg")}));
    QVERIFY(!QFileInfo::exists(info.zipFilePath()));
}

void TestZipJob::unreachableSavePathFailsAndKeepsNothing() {
    TestHome home;
    AlertRecorder alerts;
    baseSettings(QStringLiteral("その他"));
    UserDef::setObject(QStringLiteral("AcSave"), QStringLiteral("OrderActionType"));
    const QString savePath = home.filePath(QStringLiteral("Removed stick/order.zip"));
    UserDef::setObject(savePath, QStringLiteral("OrderSavePath"));
    QVERIFY(WorkFolder::checkWorkFolder());
    const QString file = home.filePath(QStringLiteral("d/f.jpg"));
    QVERIFY(kit::writeFile(file, 5000, 11));

    JobInfo info({file}, QString(), nullptr, nullptr);
    ZipJob job(info);
    QVERIFY(!job.start());
    QCOMPARE(alerts.count(), 1);
    QCOMPARE(alerts.last().message, QStringLiteral("エラーが発生しました"));
    QVERIFY(alerts.last().information.contains(savePath));
    QVERIFY(!QFileInfo::exists(savePath));
    QVERIFY(!QFileInfo::exists(info.zipFilePath()));
    QVERIFY(poolFiles().isEmpty());
}

void TestZipJob::passwordStopsAboveSizeLimit() {
    TestHome home;
    baseSettings(QStringLiteral("プリント"));
    // Sparse files: the size counts, no disk space is used.
    const QString big = home.filePath(QStringLiteral("big/video.mov"));
    QVERIFY(kit::writeText(big, "x"));
    QFile bigFile(big);
    QVERIFY(bigFile.resize(4147000000LL));
    {
        JobInfo info({big}, QString(), nullptr, nullptr);
        ZipJob job(info);
        QVERIFY(job.isPassZip());
    }
    QVERIFY(bigFile.resize(4147000001LL));
    {
        JobInfo info({big}, QString(), nullptr, nullptr);
        ZipJob job(info);
        QVERIFY(!job.isPassZip());
    }
    // The Kinelo files of the print tab count too.
    QVERIFY(bigFile.resize(4147000000LL));
    const QString mov = home.filePath(QStringLiteral("k/m.mov"));
    QVERIFY(kit::writeText(mov, "12345"));
    UserDef::setPrintKineloMovFilePath(mov, mov);
    JobInfo info({big}, QString(), nullptr, nullptr);
    ZipJob job(info);
    QVERIFY(!job.isPassZip());
}

void TestZipJob::kineloFilesFollowTheOrderFiles() {
    TestHome home;
    AlertRecorder alerts;
    baseSettings(QStringLiteral("プリント"));
    QVERIFY(WorkFolder::checkWorkFolder());
    const QString photo = home.filePath(QStringLiteral("p/x.jpg"));
    const QString movie = home.filePath(QStringLiteral("k/clip:1.mov"));
    const QString picture = home.filePath(QStringLiteral("k/cover.jpg"));
    QVERIFY(kit::writeFile(photo, 4000, 12));
    QVERIFY(kit::writeFile(movie, 9000, 13));
    QVERIFY(kit::writeFile(picture, 3000, 14));
    UserDef::setPrintKineloMovFilePath(movie, picture);

    JobInfo info({photo}, QString(), nullptr, nullptr);
    ZipJob job(info);
    QVERIFY(job.start());
    const QString pooled = info.zipPoolFilePath();
    QCOMPARE(kit::zipEntries(pooled),
             (QStringList{QStringLiteral("PrintReport4.txt"), QStringLiteral("x.jpg"),
                          QStringLiteral("kinelo/MOV_clip\uFF0F1.mov"),
                          QStringLiteral("kinelo/PIC_cover.jpg")}));
    QCOMPARE(kit::zipContent(pooled, QStringLiteral("kinelo/MOV_clip\uFF0F1.mov"), kPassword),
             kit::readAll(movie));
    // The report and the Kinelo files are locked like the photos.
    for (const QString& entry :
         {QStringLiteral("PrintReport4.txt"), QStringLiteral("kinelo/PIC_cover.jpg")}) {
        QVERIFY(kit::zipContent(pooled, entry, kPassword));
        QVERIFY2(!kit::zipContent(pooled, entry, QStringLiteral("wrong")), qPrintable(entry));
    }
    QVERIFY(!QFileInfo::exists(ZipJob::zipWorkFolderPath()));
}

void TestZipJob::kineloAddedFilesOfTheSameNameStayApart() {
    TestHome home;
    AlertRecorder alerts;
    baseSettings(QStringLiteral("アルバム"));
    QVERIFY(WorkFolder::checkWorkFolder());
    const QString photo = home.filePath(QStringLiteral("album/p1.jpg"));
    const QString add1 = home.filePath(QStringLiteral("cut1/extra.jpg"));
    const QString add2 = home.filePath(QStringLiteral("cut2/extra.jpg"));
    QVERIFY(kit::writeFile(photo, 4000, 15));
    QVERIFY(kit::writeFile(add1, 4000, 16));
    QVERIFY(kit::writeFile(add2, 4000, 17));
    UserDef::setAlbumKineloAddFiles({add1, add2});

    JobInfo info({photo}, home.filePath(QStringLiteral("album")), nullptr, nullptr);
    ZipJob job(info);
    // The Kinelo files land beyond the zip64 mark (lowered here from 4 GB): the archive must
    // still come out whole, as it does for an album of several gigabytes with a video.
    const quint64 saved = ZipPacker::zip64Limit();
    ZipPacker::setZip64Limit(5000);
    const bool started = job.start();
    ZipPacker::setZip64Limit(saved);
    QVERIFY(started);
    const QString pooled = info.zipPoolFilePath();
    QCOMPARE(kit::zipEntries(pooled),
             (QStringList{QStringLiteral("PrintReport4.txt"), QStringLiteral("album/p1.jpg"),
                          QStringLiteral("kinelo/soucefile/extra.jpg"),
                          QStringLiteral("kinelo/soucefile/extra_2.jpg")}));
    QCOMPARE(kit::zipContent(pooled, QStringLiteral("kinelo/soucefile/extra_2.jpg"), kPassword),
             kit::readAll(add2));
}

void TestZipJob::fotoFusionCleanupDeletesOnlyScrapPackages() {
    TestHome home;
    const QString documents = home.filePath(QStringLiteral("Documents/HALVIX 2"));
    QVERIFY(kit::writeText(documents + QStringLiteral("/job1/book.ScrapPackage/data"), "x"));
    QVERIFY(kit::writeText(documents + QStringLiteral("/job2/keep.txt"), "x"));
    UserDef::setFotoFusionDic({{QStringLiteral("ManifestPath"), QStringLiteral("/m")},
                               {QStringLiteral("ArchivePath"), QStringLiteral("/a")}});
    ZipJob::deleteFotoFusionTemp();
    QVERIFY(!QFileInfo::exists(documents + QStringLiteral("/job1")));
    QVERIFY(QFileInfo::exists(documents + QStringLiteral("/job2/keep.txt")));
    QCOMPARE(UserDef::fotoFusionDic(), std::optional<QVariantMap>(QVariantMap()));
}

void TestZipJob::unzipExpandsBesideAndDeletesTheArchive() {
    TestHome home;
    // The lab's archive holds its own top folder: it lands beside the archive, not a level deeper.
    const QString source = home.filePath(QStringLiteral("src/Halvix2_v210/readme.txt"));
    QVERIFY(kit::writeText(source, "new version"));
    const QString archive = home.filePath(QStringLiteral("down/Halvix2_v210.zip"));
    QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("down"))));
    QVERIFY(Tool::zipWithOption(QStringLiteral("-r"), archive, QStringLiteral("Halvix2_v210"),
                                home.filePath(QStringLiteral("src"))));
    QVERIFY(Tool::unzipAndDeleteWithPath(archive));
    QVERIFY(!QFileInfo::exists(archive));
    QCOMPARE(kit::readAll(home.filePath(QStringLiteral("down/Halvix2_v210/readme.txt"))),
             QByteArray("new version"));
    QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("down/Halvix2_v210/Halvix2_v210"))));

    // An archive without the folder of its own name is not what the lab sends: refused, kept.
    const QString other = home.filePath(QStringLiteral("down/Halvix2_v211.zip"));
    QVERIFY(kit::writeText(home.filePath(QStringLiteral("src/loose.txt")), "x"));
    QVERIFY(Tool::zipWithOption(QStringLiteral("-r"), other, QStringLiteral("loose.txt"),
                                home.filePath(QStringLiteral("src"))));
    QVERIFY(!Tool::unzipAndDeleteWithPath(other));
    QVERIFY(QFileInfo::exists(other));

    const QString notZip = home.filePath(QStringLiteral("down/file.tar"));
    QVERIFY(kit::writeText(notZip, "x"));
    QVERIFY(!Tool::unzipAndDeleteWithPath(notZip));
    QVERIFY(QFileInfo::exists(notZip));
    const QString broken = home.filePath(QStringLiteral("down/broken.zip"));
    QVERIFY(kit::writeText(broken, "not an archive"));
    QVERIFY(!Tool::unzipAndDeleteWithPath(broken));
    QVERIFY(QFileInfo::exists(broken));
}

QTEST_GUILESS_MAIN(TestZipJob)
#include "tst_ZipJob.moc"
