#include "AlertRecorder.h"
#include "PipelineTestKit.h"
#include "TestHome.h"
#include "job/JobInfo.h"
#include "job/ZipJob.h"
#include "job/ZipPacker.h"
#include "settings/UserDef.h"
#include "util/Sha256.h"
#include "util/ShiftJisCodec.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QCryptographicHash>
#include <QtTest>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

const QString kPassword = QStringLiteral("qelvoxa");

// What a second reader (Python's zipfile) finds: per entry in archive order its name, whether it
// is stored, and the SHA-1 of its content read with the password; or an empty list when it fails.
const char* const kPythonReader = R"(
import hashlib, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for i in z.infolist():
        name = i.filename
        if not i.flag_bits & 0x800:
            name = name.encode('cp437').decode('utf-8')
        data = z.read(i, pwd=sys.argv[2].encode() if sys.argv[2] else None)
        method = 'stored' if i.compress_type == zipfile.ZIP_STORED else 'deflated'
        enc = 'enc' if i.flag_bits & 1 else 'plain'
        print(name + '\t' + method + '\t' + enc + '\t' + hashlib.sha1(data).hexdigest())
)";

QStringList pythonRead(const QString& archive, const QString& password) {
    const ProcessResult r =
        runProcess(QStringLiteral("/usr/bin/python3"),
                   {QStringLiteral("-c"), QString::fromLatin1(kPythonReader), archive, password});
    if (!r.succeeded()) {
        qWarning("python zipfile: %s", r.stderrData.constData());
        return {};
    }
    return QString::fromUtf8(r.stdoutData).split(u'\n', Qt::SkipEmptyParts);
}

QString sha1(const QByteArray& data) {
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex());
}

// unzip's own integrity test of every entry (CRC of the decrypted data).
bool unzipTests(const QString& archive, const QString& password) {
    QStringList args{QStringLiteral("-tq")};
    if (!password.isEmpty()) {
        args << QStringLiteral("-P") << password;
    }
    args << archive;
    return runProcess(ToolPaths::unzip(), args).succeeded();
}

// A small archive holding one report, made by zip as the stage's first step makes it.
bool makeReportArchive(const TestHome& home, const QString& archive) {
    const QString folder = home.filePath(QStringLiteral("report"));
    return kit::writeText(folder + QStringLiteral("/PrintReport4.txt"), "ORDER=1\r\n") &&
           Tool::passZipWithPass(kPassword, QStringLiteral("-gj"), archive,
                                 folder + QStringLiteral("/PrintReport4.txt"), folder);
}

// Gives the file fixed times, the access time ahead of the others so that reading the file does
// not move it: two packings of it then write the same header bytes.
bool fixTimes(const QString& path) {
    const std::time_t now = std::time(nullptr);
    const struct timespec times[2] = {{now + 3600, 0}, {now - 86400, 0}};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

// The archive's bytes, with the report archive made once and copied, so that two packings start
// from the same bytes.
struct PackRun {
    QByteArray bytes;
    std::optional<QString> sha256;
};

// Restores the drawn encryption headers whatever the test's outcome.
struct SeedGuard {
    explicit SeedGuard(quint32 seed) { ZipPacker::setHeaderSeed(seed); }
    ~SeedGuard() { ZipPacker::setHeaderSeed(std::nullopt); }
    SeedGuard(const SeedGuard&) = delete;
    SeedGuard& operator=(const SeedGuard&) = delete;
};

struct WideGuard {
    WideGuard() = default;
    ~WideGuard() { ZipPacker::setWideEncryption(true); }
    WideGuard(const WideGuard&) = delete;
    WideGuard& operator=(const WideGuard&) = delete;
};

struct Zip64LimitGuard {
    const quint64 saved = ZipPacker::zip64Limit();
    Zip64LimitGuard() = default;
    ~Zip64LimitGuard() { ZipPacker::setZip64Limit(saved); }
    Zip64LimitGuard(const Zip64LimitGuard&) = delete;
    Zip64LimitGuard& operator=(const Zip64LimitGuard&) = delete;
};

} // namespace

class TestZipPacker : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void stagePacksTwoThousandFilesInOrder();
    void sameNameReplacesTheEntryInItsPlace();
    void zip64FieldsReadBack_data();
    void zip64FieldsReadBack();
    void hashIsTheFinishedArchives();
    void unreadableFileFailsAndNamesIt();
    void cancelStopsInsideAFile();
    void storedSuffixesIgnoreCase();
    void decomposedNameIsPackedAsTheReportWritesIt();
    void announcedFilesPackAsFilesAddedInTurn();
};

void TestZipPacker::stagePacksTwoThousandFilesInOrder() {
    TestHome home;
    AlertRecorder alerts;
    UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
    UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
    UserDef::setObject(QStringLiteral("AcAfterSend"), QStringLiteral("OrderActionType"));
    UserDef::setObject(QStringLiteral("その他"), QStringLiteral("MainTabLabel"));
    QVERIFY(WorkFolder::checkWorkFolder());

    // A folder order: sub-folders, Japanese names and blanks, photos (stored) and text (deflated),
    // listed in an order that is not the alphabetical one.
    const QString folder = home.filePath(QStringLiteral("Event 2026"));
    const QStringList suffixes{QStringLiteral(".jpg"), QStringLiteral(".JPG"),
                               QStringLiteral(".txt"), QStringLiteral(".csv")};
    QStringList files;
    QStringList expected{QStringLiteral("PrintReport4.txt")};
    QHash<QString, QString> hashes;
    for (int i = 0; i < 2000; ++i) {
        const int n = (i * 7919) % 2000;
        const QString relative = QStringLiteral("組%1/写真 %2%3")
                                     .arg(n % 13)
                                     .arg(n, 4, 10, QLatin1Char('0'))
                                     .arg(suffixes[n % suffixes.size()]);
        const QString path = folder + u'/' + relative;
        const bool text =
            relative.endsWith(QStringLiteral("t")) || relative.endsWith(QStringLiteral("v"));
        if (text) {
            QByteArray line = QStringLiteral("行 %1 ").arg(n).toUtf8();
            QVERIFY(kit::writeText(path, line.repeated(20 + n % 50)));
        } else {
            QVERIFY(kit::writeFile(path, 200 + (n * 37) % 3000, static_cast<quint32>(n + 1)));
        }
        files.append(path);
        const QString entry = QStringLiteral("Event 2026/") + relative;
        expected.append(entry);
        hashes.insert(entry, sha1(kit::readAll(path)));
    }

    RecordingProgress progress;
    JobInfo info(files, folder, nullptr, &progress);
    ZipJob job(info);
    QVERIFY(job.start());
    QCOMPARE(alerts.count(), 0);
    QVERIFY(progress.messages().contains(QStringLiteral("2000 / 2000  ファイル圧縮処理中")));
    const QString pooled = info.zipPoolFilePath();

    // unzip: names in order, and every entry decrypts to its CRC.
    QCOMPARE(kit::zipEntries(pooled), expected);
    QVERIFY(unzipTests(pooled, kPassword));
    QVERIFY(!unzipTests(pooled, QStringLiteral("wrong")));
    const QString out = home.filePath(QStringLiteral("out"));
    QVERIFY(runProcess(ToolPaths::unzip(), {QStringLiteral("-q"), QStringLiteral("-P"), kPassword,
                                            pooled, QStringLiteral("-d"), out})
                .succeeded());
    for (int i : {0, 1, 999, 1998, 1999}) {
        QCOMPARE(kit::readAll(out + u'/' + expected[i + 1]), kit::readAll(files[i]));
    }

    // Python's zipfile: the same order and names, every content, the method by suffix, and every
    // entry encrypted (the report included).
    const QStringList lines = pythonRead(pooled, kPassword);
    QCOMPARE(lines.size(), expected.size());
    QVERIFY(lines[0].startsWith(QStringLiteral("PrintReport4.txt\tdeflated\tenc\t")));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList parts = lines[i].split(u'\t');
        QCOMPARE(parts.size(), 4);
        QCOMPARE(parts[0], expected[i]);
        const bool photo = parts[0].endsWith(QStringLiteral(".jpg"), Qt::CaseInsensitive);
        QCOMPARE(parts[1], photo ? QStringLiteral("stored") : QStringLiteral("deflated"));
        QCOMPARE(parts[2], QStringLiteral("enc"));
        QCOMPARE(parts[3], hashes.value(parts[0]));
    }
}

void TestZipPacker::sameNameReplacesTheEntryInItsPlace() {
    TestHome home;
    const QString archive = home.filePath(QStringLiteral("order.zip"));
    QVERIFY(makeReportArchive(home, archive));
    const QString first = home.filePath(QStringLiteral("a/x.jpg"));
    const QString other = home.filePath(QStringLiteral("a/y.txt"));
    const QString second = home.filePath(QStringLiteral("b/x.jpg"));
    QVERIFY(kit::writeFile(first, 5000, 1));
    QVERIFY(kit::writeText(other, "text"));
    QVERIFY(kit::writeFile(second, 7000, 2));

    ZipPacker packer(archive, kPassword);
    QVERIFY(packer.open());
    QCOMPARE(packer.entryCount(), 1);
    QVERIFY(packer.addFile(first, QStringLiteral("x.jpg")));
    QVERIFY(packer.addFile(other, QStringLiteral("y.txt")));
    QVERIFY(packer.addFile(second, QStringLiteral("x.jpg")));
    QVERIFY(packer.finish());

    QCOMPARE(kit::zipEntries(archive),
             (QStringList{QStringLiteral("PrintReport4.txt"), QStringLiteral("x.jpg"),
                          QStringLiteral("y.txt")}));
    QCOMPARE(kit::zipContent(archive, QStringLiteral("x.jpg"), kPassword), kit::readAll(second));
    QCOMPARE(kit::zipContent(archive, QStringLiteral("PrintReport4.txt"), kPassword),
             QByteArray("ORDER=1\r\n"));
    QVERIFY(unzipTests(archive, kPassword));
    QCOMPARE(pythonRead(archive, kPassword).size(), 3);
}

void TestZipPacker::zip64FieldsReadBack_data() {
    QTest::addColumn<QString>("password");
    QTest::newRow("with password") << kPassword;
    QTest::newRow("without password") << QString();
}

// Orders above the password limit are archives beyond 4 GB; a lowered limit puts the same zip64
// fields into a small archive, where both readers must still find every size and offset.
void TestZipPacker::zip64FieldsReadBack() {
    QFETCH(QString, password);
    TestHome home;
    const QString archive = home.filePath(QStringLiteral("big.zip"));
    QVERIFY(makeReportArchive(home, archive));
    const QString photo = home.filePath(QStringLiteral("in/movie.mov"));
    const QString text = home.filePath(QStringLiteral("in/notes.txt"));
    QVERIFY(kit::writeFile(photo, 300000, 3));
    QVERIFY(kit::writeText(text, QByteArray("abcdefgh").repeated(40000)));

    const quint64 saved = ZipPacker::zip64Limit();
    ZipPacker::setZip64Limit(100000);
    ZipPacker packer(archive, password.isEmpty() ? std::nullopt : std::optional(password));
    const bool packed = packer.open() && packer.addFile(photo, QStringLiteral("movie.mov")) &&
                        packer.addFile(text, QStringLiteral("notes.txt")) &&
                        packer.addFile(photo, QStringLiteral("again/movie.mov")) && packer.finish();
    ZipPacker::setZip64Limit(saved);
    QVERIFY2(packed, qPrintable(packer.errorText()));

    QVERIFY(unzipTests(archive, kPassword));
    const QStringList lines = pythonRead(archive, kPassword);
    QCOMPARE(lines.size(), 4);
    const QString enc = password.isEmpty() ? QStringLiteral("plain") : QStringLiteral("enc");
    QCOMPARE(lines[1],
             QStringLiteral("movie.mov\tstored\t%1\t%2").arg(enc, sha1(kit::readAll(photo))));
    QCOMPARE(lines[2],
             QStringLiteral("notes.txt\tdeflated\t%1\t%2").arg(enc, sha1(kit::readAll(text))));
    QCOMPARE(lines[3],
             QStringLiteral("again/movie.mov\tstored\t%1\t%2").arg(enc, sha1(kit::readAll(photo))));
    QCOMPARE(packer.sha256(), orbel::Sha256::ofFile(archive));
}

// The pool record's hash comes from the bytes as they were written: it must be the hash of the
// archive on disk, also where headers are filled in after their data (a deflated entry beyond the
// write buffer, a file too large to wait in memory for its header) and where an entry is
// replaced.
void TestZipPacker::hashIsTheFinishedArchives() {
    TestHome home;
    const QString archive = home.filePath(QStringLiteral("order.zip"));
    QVERIFY(makeReportArchive(home, archive));
    const QString photo = home.filePath(QStringLiteral("in/a.jpg"));
    const QString text = home.filePath(QStringLiteral("in/notes.txt"));
    const QString movie = home.filePath(QStringLiteral("in/clip.mov"));
    QVERIFY(kit::writeFile(photo, 200000, 5));
    QVERIFY(kit::writeText(text, QByteArray("0123456789abcdef").repeated(200000)));
    QVERIFY(kit::writeFile(movie, 40 * 1024 * 1024, 6));

    ZipPacker packer(archive, kPassword);
    QVERIFY(packer.open());
    QVERIFY(packer.addFile(photo, QStringLiteral("a.jpg")));
    QVERIFY(packer.addFile(text, QStringLiteral("notes.txt")));
    QVERIFY(packer.addFile(movie, QStringLiteral("kinelo/clip.mov")));
    QVERIFY(packer.addFile(photo, QStringLiteral("b.jpg")));
    QVERIFY(packer.addFile(photo, QStringLiteral("a.jpg")));
    QVERIFY(!packer.sha256().has_value());
    QVERIFY2(packer.finish(), qPrintable(packer.errorText()));

    const std::optional<QString> onDisk = orbel::Sha256::ofFile(archive);
    QVERIFY(onDisk.has_value());
    QCOMPARE(packer.sha256(), onDisk);
    QVERIFY(unzipTests(archive, kPassword));
}

void TestZipPacker::unreadableFileFailsAndNamesIt() {
    TestHome home;
    const QString archive = home.filePath(QStringLiteral("order.zip"));
    QVERIFY(makeReportArchive(home, archive));
    ZipPacker packer(archive, kPassword);
    QVERIFY(packer.open());
    const QString missing = home.filePath(QStringLiteral("gone.jpg"));
    QVERIFY(!packer.addFile(missing, QStringLiteral("gone.jpg")));
    QVERIFY(packer.errorText().contains(missing));
    QVERIFY(!packer.wasCancelled());
    const QString folder = home.filePath(QStringLiteral("report"));
    QVERIFY(!packer.addFile(folder, QStringLiteral("report")));

    // An archive that is not one is refused before anything is written.
    const QString broken = home.filePath(QStringLiteral("broken.zip"));
    QVERIFY(kit::writeText(broken, QByteArray(100, 'x')));
    ZipPacker refused(broken, kPassword);
    QVERIFY(!refused.open());
    QVERIFY(refused.errorText().contains(broken));
    QVERIFY(!refused.addFile(missing, QStringLiteral("gone.jpg")));
    QVERIFY(!refused.finish());
    QCOMPARE(kit::readAll(broken), QByteArray(100, 'x'));
}

void TestZipPacker::cancelStopsInsideAFile() {
    TestHome home;
    const QString archive = home.filePath(QStringLiteral("order.zip"));
    QVERIFY(makeReportArchive(home, archive));
    const QString large = home.filePath(QStringLiteral("in/large.jpg"));
    QVERIFY(kit::writeFile(large, 4 * 1024 * 1024, 4));
    int asked = 0;
    ZipPacker packer(archive, kPassword);
    packer.setCancelCheck([&asked] { return ++asked > 2; });
    QVERIFY(packer.open());
    QVERIFY(!packer.addFile(large, QStringLiteral("large.jpg")));
    QVERIFY(packer.wasCancelled());
    // Asked between blocks, not only once per file.
    QCOMPARE(asked, 3);
}

void TestZipPacker::storedSuffixesIgnoreCase() {
    QVERIFY(ZipPacker::isStoredName(QStringLiteral("a/IMG_1.JPG")));
    QVERIFY(ZipPacker::isStoredName(QStringLiteral("clip.Mp4")));
    QVERIFY(ZipPacker::isStoredName(QStringLiteral("x.jpeg")));
    QVERIFY(!ZipPacker::isStoredName(QStringLiteral("x.jpg.txt")));
    QVERIFY(!ZipPacker::isStoredName(QStringLiteral("scan.tif")));
    QCOMPARE(ZipPacker::entryNameForPath(QStringLiteral("/home/u/Docs/a b.pdf")),
             QStringLiteral("home/u/Docs/a b.pdf"));
    QCOMPARE(ZipPacker::entryNameForPath(QStringLiteral("./W/1.jpg")), QStringLiteral("W/1.jpg"));
}

// Files announced ahead are prepared by worker threads; the archive must come out byte for byte
// as when each file is read as it is added: photos, text, an empty file, one too large to be
// held, a name added twice, with and without the password; a caller that adds another file than
// announced, or an announced file that is gone, is served as without announcing.
void TestZipPacker::announcedFilesPackAsFilesAddedInTurn() {
    TestHome home;
    const QString report = home.filePath(QStringLiteral("report.zip"));
    QVERIFY(makeReportArchive(home, report));
    QList<QPair<QString, QString>> files; // path, entry
    for (int i = 0; i < 40; ++i) {
        const QString path = home.filePath(QStringLiteral("in/IMG_%1.jpg").arg(i));
        QVERIFY(kit::writeFile(path, 1000 + i * 7919, static_cast<quint32>(i + 1)));
        files.append({path, QStringLiteral("写真/IMG_%1.jpg").arg(i)});
    }
    const QString text = home.filePath(QStringLiteral("in/notes.txt"));
    QVERIFY(kit::writeText(text, QByteArray("行 0123456789\n").repeated(30000)));
    const QString empty = home.filePath(QStringLiteral("in/empty.txt"));
    QVERIFY(kit::writeText(empty, QByteArray()));
    const QString large = home.filePath(QStringLiteral("in/clip.mov"));
    QVERIFY(kit::writeFile(large, 9 * 1024 * 1024, 99));
    files.insert(3, {text, QStringLiteral("notes.txt")});
    files.insert(10, {empty, QStringLiteral("empty.txt")});
    files.insert(20, {large, QStringLiteral("kinelo/clip.mov")});
    files.append({files[5].first, QStringLiteral("写真/IMG_0.jpg")}); // replaces the first photo
    for (const auto& file : std::as_const(files)) {
        QVERIFY(fixTimes(file.first));
    }

    const auto pack = [&](const QString& name, const std::optional<QString>& password,
                          bool announce, std::optional<quint32> seed) -> PackRun {
        const QString archive = home.filePath(name);
        if (!QFile::copy(report, archive)) {
            return {};
        }
        std::optional<SeedGuard> guard;
        if (seed) {
            guard.emplace(*seed);
        }
        ZipPacker packer(archive, password);
        if (!packer.open()) {
            return {};
        }
        if (announce) {
            for (const auto& file : std::as_const(files)) {
                packer.expect(file.first, file.second);
            }
        }
        for (const auto& file : std::as_const(files)) {
            if (!packer.addFile(file.first, file.second)) {
                qWarning("%s", qPrintable(packer.errorText()));
                return {};
            }
        }
        if (!packer.finish()) {
            return {};
        }
        return {kit::readAll(archive), packer.sha256()};
    };

    // The third round gives most entries zip64 fields (sizes and offsets from 60,000 on); the
    // fourth encrypts without the CPU's wide registers, as on a CPU without them.
    const Zip64LimitGuard limit;
    const WideGuard wide;
    for (const int round : {0, 1, 2, 3}) {
        ZipPacker::setWideEncryption(round != 3);
        const bool encrypted = round != 1;
        const std::optional<QString> password =
            encrypted ? std::optional<QString>(kPassword) : std::nullopt;
        const QString suffix = QString::number(round);
        ZipPacker::setZip64Limit(round == 2 ? 60000 : limit.saved);
        const PackRun alone =
            pack(QStringLiteral("alone-") + suffix + QStringLiteral(".zip"), password, false, 4242);
        const PackRun ahead =
            pack(QStringLiteral("ahead-") + suffix + QStringLiteral(".zip"), password, true, 4242);
        QVERIFY(alone.bytes.size() > 9 * 1024 * 1024);
        QVERIFY(alone.bytes == ahead.bytes);
        QVERIFY(ahead.sha256.has_value());
        QCOMPARE(ahead.sha256, alone.sha256);
        QCOMPARE(*ahead.sha256,
                 QString::fromLatin1(
                     QCryptographicHash::hash(ahead.bytes, QCryptographicHash::Sha256).toHex()));
        QVERIFY(unzipTests(
            home.filePath(QStringLiteral("ahead-") + suffix + QStringLiteral(".zip")), kPassword));
    }
    ZipPacker::setZip64Limit(limit.saved);
    // Without fixed headers two encrypted packings differ (the headers are random), and both
    // are sound.
    const PackRun first = pack(QStringLiteral("r1.zip"), kPassword, true, std::nullopt);
    const PackRun second = pack(QStringLiteral("r2.zip"), kPassword, false, std::nullopt);
    QCOMPARE(first.bytes.size(), second.bytes.size());
    QVERIFY(first.bytes != second.bytes);
    QVERIFY(unzipTests(home.filePath(QStringLiteral("r1.zip")), kPassword));

    // Announced in one order, added in another: what was prepared is dropped, nothing is lost.
    const QString archive = home.filePath(QStringLiteral("other-order.zip"));
    QVERIFY(QFile::copy(report, archive));
    ZipPacker packer(archive, kPassword);
    QVERIFY(packer.open());
    packer.expect(files[0].first, files[0].second);
    packer.expect(files[1].first, files[1].second);
    QVERIFY(packer.addFile(files[1].first, files[1].second));
    QVERIFY(packer.addFile(files[0].first, files[0].second));
    const QString gone = home.filePath(QStringLiteral("in/gone.jpg"));
    packer.expect(gone, QStringLiteral("gone.jpg"));
    QVERIFY(!packer.addFile(gone, QStringLiteral("gone.jpg")));
    QVERIFY(packer.errorText().contains(gone));
    QVERIFY(!packer.finish() || !packer.sha256().has_value());
}

QTEST_GUILESS_MAIN(TestZipPacker)
#include "tst_ZipPacker.moc"

// A Mac keeps "ガ" as カ and a combining mark; the report writes it composed. The entry carries
// the report's form, so the lab pairs them, and unzip puts the file under that name. Two names
// that compose alike are not allowed to replace each other.
void TestZipPacker::decomposedNameIsPackedAsTheReportWritesIt() {
    TestHome home;
    AlertRecorder alerts;
    UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
    UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
    UserDef::setObject(QStringLiteral("AcAfterSend"), QStringLiteral("OrderActionType"));
    UserDef::setObject(QStringLiteral("その他"), QStringLiteral("MainTabLabel"));
    QVERIFY(WorkFolder::checkWorkFolder());
    const QString composed = QStringLiteral("ガイド写真.jpg");
    const QString decomposed = composed.normalized(QString::NormalizationForm_D);
    QVERIFY(decomposed.size() > composed.size());
    const QString folder = home.filePath(QStringLiteral("Shoot"));
    const QString photo = folder + u'/' + decomposed;
    QVERIFY(kit::writeFile(photo, 4000));

    RecordingProgress progress;
    JobInfo info({photo}, folder, nullptr, &progress);
    ZipJob job(info);
    QVERIFY(job.start());
    const QString pooled = info.zipPoolFilePath();
    const QStringList entries = kit::zipEntries(pooled);
    QCOMPARE(entries.size(), 2);
    const std::optional<QByteArray> report =
        kit::zipContent(pooled, QStringLiteral("PrintReport4.txt"), kPassword);
    QVERIFY(report);
    QString reportName;
    for (const QString& line : shiftjis::decode(*report).split(QStringLiteral("\r\n"))) {
        if (line.startsWith(QStringLiteral("PRODUCT_IMAGE_FILE_NAME="))) {
            reportName = line.mid(24);
        }
    }
    QCOMPARE(reportName, composed);
    QCOMPARE(entries[1], QStringLiteral("Shoot/") + reportName);

    const QString out = home.filePath(QStringLiteral("out"));
    QVERIFY(runProcess(ToolPaths::unzip(), {QStringLiteral("-q"), QStringLiteral("-P"), kPassword,
                                            pooled, QStringLiteral("-d"), out})
                .succeeded());
    QCOMPARE(QDir(out + QStringLiteral("/Shoot")).entryList(QDir::Files), QStringList{composed});
    QCOMPARE(kit::readAll(out + QStringLiteral("/Shoot/") + composed), kit::readAll(photo));

    const QString archive = home.filePath(QStringLiteral("order.zip"));
    QVERIFY(makeReportArchive(home, archive));
    const QString other = home.filePath(QStringLiteral("other.jpg"));
    QVERIFY(kit::writeFile(other, 3000, 2));
    ZipPacker packer(archive, kPassword);
    QVERIFY(packer.open());
    QVERIFY(packer.addFile(photo, composed));
    QVERIFY(!packer.addFile(other, decomposed));
    QVERIFY(packer.errorText().contains(QStringLiteral("同じ名前の項目が2つあります")));
}
