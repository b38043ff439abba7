// The image tool halvix-sips, run as the program runs it: sizes, fitting, qualities, what it keeps
// of a photo, and what it refuses.
#include "TestImages.h"
#include "util/PlistVariant.h"
#include "util/ProcessRunner.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sched.h>
#include <unistd.h>

using namespace testimages;

namespace {

QString sipsProgram() {
    const QString fromEnvironment = qEnvironmentVariable("HALVIX_SIPS");
    if (!fromEnvironment.isEmpty()) {
        return fromEnvironment;
    }
    return QStringLiteral(HALVIX_BINARY_DIR) + QStringLiteral("/bin/halvix-sips");
}

ProcessResult sips(const QStringList& args) {
    return runProcess(sipsProgram(), args);
}

ProcessResult fit(const QString& quality, int size, const QString& source, const QString& out) {
    return sips({QStringLiteral("-s"), QStringLiteral("formatOptions"), quality,
                 QStringLiteral("-Z"), QString::number(size), source, QStringLiteral("--out"),
                 out});
}

QByteArray sha(const QString& path) {
    return QCryptographicHash::hash(readAll(path), QCryptographicHash::Sha256);
}

// One core this test may run on, to hold the image tool to it: it then decodes and compresses on
// one thread. Empty when there is no second core, where it never uses two.
QString oneOfTwoCores() {
    cpu_set_t usable;
    CPU_ZERO(&usable);
    if (sched_getaffinity(0, sizeof usable, &usable) != 0 || CPU_COUNT(&usable) < 2) {
        return {};
    }
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &usable)) {
            return QString::number(cpu);
        }
    }
    return {};
}

// halvix-sips -s formatOptions high -Z size source --out out, started by a shell that runs
// shellSetup first (limits), held to core when one is given. Given up after two minutes: a
// hand-over between threads that waits on itself would otherwise hang the test.
ProcessResult fitHeld(const QString& core, const QString& shellSetup, int size,
                      const QString& source, const QString& out) {
    QStringList argv{QStringLiteral("-c"), shellSetup + QStringLiteral("; exec \"$@\""),
                     QStringLiteral("sh")};
    if (!core.isEmpty()) {
        argv << QStringLiteral("taskset") << QStringLiteral("-c") << core;
    }
    argv << sipsProgram() << QStringLiteral("-s") << QStringLiteral("formatOptions")
         << QStringLiteral("high") << QStringLiteral("-Z") << QString::number(size) << source
         << QStringLiteral("--out") << out;
    QElapsedTimer clock;
    clock.start();
    ProcessOptions options;
    options.shouldCancel = [clock] { return clock.elapsed() > 120'000; };
    return runProcess(QStringLiteral("/bin/sh"), argv, options);
}

} // namespace

class TestSips : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString landscape; // 600 × 400 photo with a Display P3 profile and EXIF (orientation 1)
    QString portrait;  // 400 × 600 photo
    QString twoColour; // 600 × 400, left red, right blue, with the same profile
    QByteArray profile;

    QString path(const QString& name) const { return dir.filePath(name); }

    // The two-colour photo with the given EXIF orientation.
    QString orientedCopy(int orientation) const {
        const QString out = path(QStringLiteral("oriented-%1.jpg").arg(orientation));
        writeAll(out, withExif(readAll(twoColour),
                               exifPayload(orientation, QByteArrayLiteral("HalvixTestCam"))));
        return out;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir.isValid());
        QVERIFY2(QFileInfo(sipsProgram()).isExecutable(), qPrintable(sipsProgram()));
        profile = displayP3Profile(dir.path());
        QVERIFY(profile.size() > 128);

        const QString plain = path(QStringLiteral("plain.jpg"));
        QVERIFY(makePhoto(plain, 600, 400, 3));
        landscape = path(QStringLiteral("landscape.jpg"));
        QVERIFY(writeAll(landscape, withExif(withIcc(readAll(plain), profile),
                                             exifPayload(1, QByteArrayLiteral("HalvixTestCam")))));
        portrait = path(QStringLiteral("portrait.jpg"));
        QVERIFY(makePhoto(portrait, 400, 600, 4));
        const QString colours = path(QStringLiteral("colours.jpg"));
        QVERIFY(makeTwoColourImage(colours, 600, 400));
        twoColour = path(QStringLiteral("two-colour.jpg"));
        QVERIFY(writeAll(twoColour, withIcc(readAll(colours), profile)));
    }

    // --- -g allxml ---

    void allxmlReportsSizeAndFormat_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<qint64>("width");
        QTest::addColumn<qint64>("height");
        QTest::addColumn<QString>("format");
        QTest::newRow("landscape jpeg") << QStringLiteral("landscape.jpg") << qint64(600)
                                        << qint64(400) << QStringLiteral("jpeg");
        QTest::newRow("portrait jpeg") << QStringLiteral("portrait.jpg") << qint64(400)
                                       << qint64(600) << QStringLiteral("jpeg");
        QTest::newRow("png") << QStringLiteral("picture.png") << qint64(321) << qint64(123)
                             << QStringLiteral("png");
    }
    void allxmlReportsSizeAndFormat() {
        QFETCH(QString, file);
        QFETCH(qint64, width);
        QFETCH(qint64, height);
        QFETCH(QString, format);
        if (file.endsWith(QStringLiteral(".png"))) {
            QVERIFY(makePhoto(path(file), int(width), int(height), 9));
        }
        const ProcessResult result =
            sips({QStringLiteral("-g"), QStringLiteral("allxml"), path(file)});
        QVERIFY2(result.succeeded(), result.stderrData.constData());
        QVERIFY(result.stdoutData.startsWith("<?xml"));
        QVERIFY(result.stdoutData.contains("<plist version=\"1.0\">"));
        const std::optional<QVariant> plist = plistFromData(result.stdoutData);
        QVERIFY(plist.has_value());
        const QVariantMap map = plist->toMap();
        QCOMPARE(map.value(QStringLiteral("pixelWidth")).typeId(), QMetaType::LongLong);
        QCOMPARE(map.value(QStringLiteral("pixelWidth")).toLongLong(), width);
        QCOMPARE(map.value(QStringLiteral("pixelHeight")).toLongLong(), height);
        QCOMPARE(map.value(QStringLiteral("format")).toString(), format);
        QCOMPARE(map.value(QStringLiteral("hasAlpha")).toBool(), false);
    }

    void allxmlReportsStoredPixelsOrientationAndProfile() {
        const ProcessResult result =
            sips({QStringLiteral("-g"), QStringLiteral("allxml"), orientedCopy(6)});
        QVERIFY(result.succeeded());
        const QVariantMap map = plistFromData(result.stdoutData).value_or(QVariant()).toMap();
        // Stored pixels, as the short-side arithmetic expects: the long side stays the long side.
        QCOMPARE(map.value(QStringLiteral("pixelWidth")).toLongLong(), 600);
        QCOMPARE(map.value(QStringLiteral("pixelHeight")).toLongLong(), 400);
        QCOMPARE(map.value(QStringLiteral("orientation")).toLongLong(), 6);
        QCOMPARE(map.value(QStringLiteral("profile")).toString(), QStringLiteral("sP3C"));

        const ProcessResult bare = sips({QStringLiteral("-g"), QStringLiteral("allxml"), portrait});
        const QVariantMap bareMap = plistFromData(bare.stdoutData).value_or(QVariant()).toMap();
        QVERIFY(!bareMap.isEmpty());
        QVERIFY(!bareMap.contains(QStringLiteral("profile")));
    }

    void allxmlRefusesWhatIsNoImage_data() {
        QTest::addColumn<QByteArray>("content"); // empty name: the file is not created
        QTest::addColumn<bool>("create");
        QTest::newRow("text") << QByteArrayLiteral("これは画像ではありません\n") << true;
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("missing") << QByteArray() << false;
    }
    void allxmlRefusesWhatIsNoImage() {
        QFETCH(QByteArray, content);
        QFETCH(bool, create);
        const QString file = path(QStringLiteral("not-an-image.jpg"));
        QFile::remove(file);
        if (create) {
            QVERIFY(writeAll(file, content));
        }
        const ProcessResult result = sips({QStringLiteral("-g"), QStringLiteral("allxml"), file});
        QVERIFY(result.started);
        QVERIFY(result.exitStatus != 0);
        QVERIFY(result.stdoutData.isEmpty());
        QVERIFY(!result.stderrData.isEmpty());
    }

    // --- -Z: fitting into a square ---

    void fitsIntoSquareKeepingAspect_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("box");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("shrink landscape") << 600 << 400 << 300 << QSize(300, 200);
        QTest::newRow("shrink portrait") << 400 << 600 << 300 << QSize(200, 300);
        QTest::newRow("enlarge") << 300 << 200 << 900 << QSize(900, 600);
        QTest::newRow("square") << 500 << 500 << 1999 << QSize(1999, 1999);
        // The order pipeline's case: short side 1999 from a 3000 × 2000 photo.
        QTest::newRow("3000x2000 to 2998") << 3000 << 2000 << 2998 << QSize(2998, 1999);
        QTest::newRow("2000x3000 to 2998") << 2000 << 3000 << 2998 << QSize(1999, 2998);
        QTest::newRow("quarter on load, then resampled") << 2400 << 1600 << 500 << QSize(500, 333);
        QTest::newRow("odd size") << 601 << 401 << 300 << QSize(300, 200);
    }
    void fitsIntoSquareKeepingAspect() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, box);
        QFETCH(QSize, expected);
        const QString source = path(QStringLiteral("fit-%1x%2.jpg").arg(width).arg(height));
        if (!QFileInfo::exists(source)) {
            QVERIFY(makePhoto(source, width, height, width + height));
        }
        const QString out = path(QStringLiteral("fit-out.jpg"));
        const ProcessResult result = fit(QStringLiteral("high"), box, source, out);
        QVERIFY2(result.succeeded(), result.stderrData.constData());
        const auto facts = imageFacts(out);
        QVERIFY(facts.has_value());
        QCOMPARE(facts->size, expected);
        QCOMPARE(facts->format, QStringLiteral("JPEG"));
    }

    // The scaled photo looks like a careful reference scaling: no shift, no colour mix-up.
    void matchesAReferenceScaling() {
        const QString source = path(QStringLiteral("reference-source.jpg"));
        QVERIFY(makePhoto(source, 1200, 800, 12));
        const QString out = path(QStringLiteral("reference-out.jpg"));
        QVERIFY(fit(QStringLiteral("high"), 600, source, out).succeeded());
        const QString reference = path(QStringLiteral("reference.png"));
        QVERIFY(run(magickTool(QStringLiteral("convert")),
                    {source, QStringLiteral("-resize"), QStringLiteral("600x400"), reference}));
        const ProcessResult compared =
            runProcess(magickTool(QStringLiteral("compare")),
                       {QStringLiteral("-metric"), QStringLiteral("PSNR"), out, reference,
                        QStringLiteral("null:")});
        QVERIFY(compared.started);
        const double psnr = QString::fromUtf8(compared.stderrData).trimmed().toDouble();
        // About 36 dB here; a one-pixel shift already drops it to about 31.
        QVERIFY2(psnr > 33.5, compared.stderrData.constData());
    }

    void cmykAndGreyJpegs() {
        const QString cmyk = path(QStringLiteral("cmyk.jpg"));
        QVERIFY(run(magickTool(QStringLiteral("convert")),
                    {landscape, QStringLiteral("-colorspace"), QStringLiteral("CMYK"), cmyk}));
        const QString grey = path(QStringLiteral("grey.jpg"));
        QVERIFY(run(magickTool(QStringLiteral("convert")),
                    {landscape, QStringLiteral("-colorspace"), QStringLiteral("Gray"), grey}));
        for (const auto& [source, space] :
             {std::pair{cmyk, QStringLiteral("sRGB")}, std::pair{grey, QStringLiteral("Gray")}}) {
            const QString out = path(QStringLiteral("space-out.jpg"));
            QVERIFY(fit(QStringLiteral("high"), 300, source, out).succeeded());
            QCOMPARE(imageFacts(out).value_or(ImageFacts{}).size, QSize(300, 200));
            const ProcessResult result =
                runProcess(magickTool(QStringLiteral("identify")),
                           {QStringLiteral("-format"), QStringLiteral("%[colorspace]"), out});
            QCOMPARE(QString::fromUtf8(result.stdoutData), space);
        }
    }

    void qualityWordsAndPercentages() {
        QHash<QString, QByteArray> outputs;
        QHash<QString, int> estimated;
        for (const QString& quality :
             {QStringLiteral("low"), QStringLiteral("normal"), QStringLiteral("high"),
              QStringLiteral("best"), QStringLiteral("85%"), QStringLiteral("85")}) {
            const QString out = path(QStringLiteral("q-%1.jpg").arg(quality));
            const ProcessResult result = fit(quality, 400, landscape, out);
            QVERIFY2(result.succeeded(), qPrintable(quality));
            outputs.insert(quality, readAll(out));
            estimated.insert(quality, imageFacts(out).value_or(ImageFacts{}).quality);
        }
        QVERIFY(outputs[QStringLiteral("low")].size() < outputs[QStringLiteral("normal")].size());
        QVERIFY(outputs[QStringLiteral("normal")].size() < outputs[QStringLiteral("high")].size());
        QVERIFY(outputs[QStringLiteral("high")].size() < outputs[QStringLiteral("best")].size());
        // "high" is what orders are scaled with: it must be a print quality.
        QVERIFY2(estimated[QStringLiteral("high")] >= 90,
                 qPrintable(QString::number(estimated[QStringLiteral("high")])));
        QCOMPARE(estimated[QStringLiteral("best")], 100);
        QCOMPARE(estimated[QStringLiteral("85%")], 85);
        QCOMPARE(outputs[QStringLiteral("85%")], outputs[QStringLiteral("85")]);
    }

    void refusesBadArguments_data() {
        QTest::addColumn<QStringList>("args");
        const QString src = QStringLiteral("SRC");
        const QString out = QStringLiteral("OUT");
        QTest::newRow("quality word")
            << QStringList{"-s", "formatOptions", "ultra", "-Z", "100", src, "--out", out};
        QTest::newRow("quality 0")
            << QStringList{"-s", "formatOptions", "0", "-Z", "100", src, "--out", out};
        QTest::newRow("quality 101%")
            << QStringList{"-s", "formatOptions", "101%", "-Z", "100", src, "--out", out};
        QTest::newRow("size 0") << QStringList{"-Z", "0", src, "--out", out};
        QTest::newRow("size text") << QStringList{"-Z", "big", src, "--out", out};
        QTest::newRow("no output") << QStringList{"-Z", "100", src};
        QTest::newRow("no action") << QStringList{src};
        QTest::newRow("two sources") << QStringList{"-Z", "100", src, src, "--out", out};
    }
    void refusesBadArguments() {
        QFETCH(QStringList, args);
        const QString source = path(QStringLiteral("args-source.jpg"));
        QVERIFY(QFile::copy(landscape, source) || QFileInfo::exists(source));
        const QByteArray before = sha(source);
        const QString out = path(QStringLiteral("args-out.jpg"));
        QFile::remove(out);
        args.replaceInStrings(QStringLiteral("SRC"), source);
        args.replaceInStrings(QStringLiteral("OUT"), out);
        const ProcessResult result = sips(args);
        QVERIFY(result.started);
        QCOMPARE(result.exitStatus, 2);
        QVERIFY(!result.stderrData.isEmpty());
        QVERIFY(!QFileInfo::exists(out));
        QCOMPARE(sha(source), before);
    }

    // --- What the scaled photo keeps ---

    void keepsProfileAndExif() {
        const QString out = path(QStringLiteral("kept.jpg"));
        QVERIFY(fit(QStringLiteral("high"), 300, landscape, out).succeeded());
        const QByteArray result = readAll(out);
        QCOMPARE(iccProfile(result), profile);
        const QByteArray exif = exifBlock(result);
        QVERIFY(exif.contains("HalvixTestCam"));
        QCOMPARE(exifOrientation(result), std::optional<int>(1));
    }

    // The photo is turned upright from its EXIF orientation and the tag becomes 1.
    void appliesOrientation_data() {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QSize>("expected");
        QTest::addColumn<QPoint>("redAt");
        QTest::addColumn<QPoint>("blueAt");
        QTest::newRow("1 upright") << 1 << QSize(300, 200) << QPoint(40, 100) << QPoint(260, 100);
        QTest::newRow("3 upside down")
            << 3 << QSize(300, 200) << QPoint(260, 100) << QPoint(40, 100);
        QTest::newRow("6 rotate right")
            << 6 << QSize(200, 300) << QPoint(100, 40) << QPoint(100, 260);
        QTest::newRow("8 rotate left")
            << 8 << QSize(200, 300) << QPoint(100, 260) << QPoint(100, 40);
    }
    void appliesOrientation() {
        QFETCH(int, orientation);
        QFETCH(QSize, expected);
        QFETCH(QPoint, redAt);
        QFETCH(QPoint, blueAt);
        const QString source = orientedCopy(orientation);
        QCOMPARE(exifOrientation(readAll(source)), std::optional<int>(orientation));
        const QString out = path(QStringLiteral("upright.jpg"));
        QVERIFY(fit(QStringLiteral("high"), 300, source, out).succeeded());
        QCOMPARE(imageFacts(out).value_or(ImageFacts{}).size, expected);
        QCOMPARE(exifOrientation(readAll(out)), std::optional<int>(1));
        const QList<int> red = pixelAt(out, redAt.x(), redAt.y());
        const QList<int> blue = pixelAt(out, blueAt.x(), blueAt.y());
        QCOMPARE(red.size(), 3);
        QCOMPARE(blue.size(), 3);
        QVERIFY2(red[0] > 200 && red[2] < 60,
                 qPrintable(QStringLiteral("%1,%2,%3").arg(red[0]).arg(red[1]).arg(red[2])));
        QVERIFY2(blue[2] > 200 && blue[0] < 60,
                 qPrintable(QStringLiteral("%1,%2,%3").arg(blue[0]).arg(blue[1]).arg(blue[2])));
    }

    // --- The source is never written ---

    void neverOverwritesItsSource_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("same path") << QStringLiteral("same");
        QTest::newRow("same path spelled differently") << QStringLiteral("dotted");
        QTest::newRow("symbolic link") << QStringLiteral("symlink");
        QTest::newRow("hard link") << QStringLiteral("hardlink");
    }
    void neverOverwritesItsSource() {
        QFETCH(QString, how);
        const QString source = path(QStringLiteral("precious.jpg"));
        QFile::remove(source);
        QVERIFY(QFile::copy(landscape, source));
        const QByteArray before = sha(source);
        QString out = source;
        const QString link = path(QStringLiteral("link-to-precious.jpg"));
        QFile::remove(link);
        if (how == QStringLiteral("dotted")) {
            out = dir.path() + QStringLiteral("/./") + QStringLiteral("precious.jpg");
        } else if (how == QStringLiteral("symlink")) {
            QVERIFY(QFile::link(source, link));
            out = link;
        } else if (how == QStringLiteral("hardlink")) {
            QVERIFY(::link(QFile::encodeName(source).constData(),
                           QFile::encodeName(link).constData()) == 0);
            out = link;
        }
        const ProcessResult result = fit(QStringLiteral("high"), 100, source, out);
        QVERIFY(result.started);
        QCOMPARE(result.exitStatus, 1);
        QVERIFY(!result.stderrData.isEmpty());
        QCOMPARE(sha(source), before);
        QCOMPARE(QFileInfo(source).size(), QFileInfo(landscape).size());
    }

    void writesIntoAFolderAndOddNames() {
        const QString folder = path(QStringLiteral("into"));
        QVERIFY(QDir().mkpath(folder));
        // libvips would read "[...]" at the end of a name as options; the tool must not.
        const QString odd = path(QStringLiteral("写真 [1]"));
        QVERIFY(QFile::copy(landscape, odd) || QFileInfo::exists(odd));
        QVERIFY(fit(QStringLiteral("high"), 150, odd, folder).succeeded());
        // ImageMagick, too, reads "[1]" as options: look at a copy under a plain name.
        const QString plain = path(QStringLiteral("plain-copy.jpg"));
        QFile::remove(plain);
        QVERIFY(QFile::copy(folder + QStringLiteral("/写真 [1]"), plain));
        QCOMPARE(imageFacts(plain).value_or(ImageFacts{}).size, QSize(150, 100));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    // --- The usual photo on two cores: the next rows decode while the last ones are compressed ---

    // Byte for byte what one thread gives, for an intact photo and for one damaged in the middle
    // of its picture data, which the second thread is then compressing when the damage is found
    // (the photo then goes to the libvips road, as on one thread).
    void twoThreadsGiveWhatOneGives() {
        const QString core = oneOfTwoCores();
        if (core.isEmpty()) {
            QSKIP("one core only: the image tool never uses a second thread here");
        }
        QTemporaryDir work;
        QVERIFY(work.isValid());
        const QString intact = work.filePath(QStringLiteral("intact.jpg"));
        QVERIFY(makePhoto(intact, 2400, 1610, 28)); // decoded at 1200 × 805: fifty bands and a bit
        QByteArray bytes = readAll(intact);
        bytes.replace(bytes.size() / 2, 4, QByteArray("\xFF\xD9\x00\x00", 4));
        const QString damaged = work.filePath(QStringLiteral("damaged.jpg"));
        QVERIFY(writeAll(damaged, bytes));
        for (const QString& source : {intact, damaged}) {
            const QString free = work.filePath(QStringLiteral("two-threads.jpg"));
            const QString held = work.filePath(QStringLiteral("one-thread.jpg"));
            const ProcessResult onTwo = fitHeld({}, QStringLiteral(":"), 1000, source, free);
            const ProcessResult onOne = fitHeld(core, QStringLiteral(":"), 1000, source, held);
            QVERIFY2(!onTwo.cancelled && !onTwo.crashed, qPrintable(source));
            QVERIFY2(onTwo.succeeded(), onTwo.stderrData.constData());
            QVERIFY2(onOne.succeeded(), onOne.stderrData.constData());
            QCOMPARE(imageFacts(free).value_or(ImageFacts{}).size, QSize(1000, 671));
            QVERIFY2(readAll(free) == readAll(held), qPrintable(source));
            QVERIFY(QFile::remove(free) && QFile::remove(held));
        }
        // No scratch file left behind by either road.
        QCOMPARE(QDir(work.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (QStringList{QStringLiteral("damaged.jpg"), QStringLiteral("intact.jpg")}));
    }

    // The output cannot be written (a file size limit): the compressing thread fails part-way,
    // the decoding one stops, and the run fails as on one thread, the old output untouched.
    void writeErrorEndsTheRun() {
        QTemporaryDir work;
        QVERIFY(work.isValid());
        const QString source = work.filePath(QStringLiteral("photo.jpg"));
        QVERIFY(makePhoto(source, 2400, 1600, 29));
        const QString out = work.filePath(QStringLiteral("result.jpg"));
        QVERIFY(writeAll(out, QByteArrayLiteral("the previous result")));
        QList<QByteArray> messages;
        for (const QString& core : {QString(), oneOfTwoCores()}) {
            if (!messages.isEmpty() && core.isEmpty()) {
                break; // one core only: no second way to compare with
            }
            // 32 KB: the header and the first rows fit, the rest does not.
            const ProcessResult result =
                fitHeld(core, QStringLiteral("trap '' XFSZ; ulimit -f 64"), 1000, source, out);
            QVERIFY2(!result.cancelled && !result.crashed, qPrintable(core));
            QCOMPARE(result.exitStatus, 1);
            QVERIFY2(result.stderrData.contains("画像の変換に失敗しました"),
                     result.stderrData.constData());
            QCOMPARE(readAll(out), QByteArrayLiteral("the previous result"));
            QCOMPARE(QDir(work.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                     (QStringList{QStringLiteral("photo.jpg"), QStringLiteral("result.jpg")}));
            messages.append(result.stderrData);
        }
        if (messages.size() == 2) {
            QCOMPARE(messages[0], messages[1]);
        }
    }

    // --- Damaged input: a clear failure, the old output untouched, no leftovers ---

    void damagedInputFails_data() {
        QTest::addColumn<QString>("damage");
        QTest::newRow("truncated") << QStringLiteral("truncated");
        QTest::newRow("broken header") << QStringLiteral("header");
        QTest::newRow("text") << QStringLiteral("text");
        QTest::newRow("empty") << QStringLiteral("empty");
        QTest::newRow("missing") << QStringLiteral("missing");
    }
    void damagedInputFails() {
        QFETCH(QString, damage);
        QTemporaryDir work;
        QVERIFY(work.isValid());
        const QString source = work.filePath(QStringLiteral("damaged.jpg"));
        const QByteArray photo = readAll(landscape);
        if (damage == QStringLiteral("truncated")) {
            QVERIFY(writeAll(source, photo.left(photo.size() * 6 / 10)));
        } else if (damage == QStringLiteral("header")) {
            auto parts = splitJpeg(photo);
            QVERIFY(parts.has_value());
            for (Segment& segment : parts->segments) {
                if (segment.marker == 0xC4 || segment.marker == 0xC0) { // Huffman tables, frame
                    segment.payload.fill('\x7F');
                }
            }
            QVERIFY(writeAll(source, joinJpeg(*parts)));
        } else if (damage == QStringLiteral("text")) {
            QVERIFY(writeAll(source, QByteArrayLiteral("not a photo\n")));
        } else if (damage == QStringLiteral("empty")) {
            QVERIFY(writeAll(source, QByteArray()));
        }
        const QString out = work.filePath(QStringLiteral("result.jpg"));
        QVERIFY(writeAll(out, QByteArrayLiteral("the previous result")));
        const ProcessResult result = fit(QStringLiteral("high"), 200, source, out);
        QVERIFY(result.started);
        QVERIFY(!result.crashed);
        QCOMPARE(result.exitStatus, 1);
        QVERIFY(!result.stderrData.isEmpty());
        QCOMPARE(readAll(out), QByteArrayLiteral("the previous result"));
        QStringList expected{QStringLiteral("result.jpg")};
        if (damage != QStringLiteral("missing")) {
            expected.prepend(QStringLiteral("damaged.jpg"));
        }
        QCOMPARE(QDir(work.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
    }

    // --- Other formats in ---

    void pngInBecomesJpegOnWhite() {
        const QString png = path(QStringLiteral("transparent.png"));
        // Left half transparent, right half opaque blue.
        QVERIFY(run(magickTool(QStringLiteral("convert")),
                    {QStringLiteral("-size"), QStringLiteral("200x200"), QStringLiteral("xc:none"),
                     QStringLiteral("-size"), QStringLiteral("200x200"),
                     QStringLiteral("xc:#0000ff"), QStringLiteral("+append"), png}));
        const QString out = path(QStringLiteral("from-png.jpg"));
        QVERIFY(fit(QStringLiteral("high"), 200, png, out).succeeded());
        const auto facts = imageFacts(out);
        QVERIFY(facts.has_value());
        QCOMPARE(facts->format, QStringLiteral("JPEG"));
        QCOMPARE(facts->size, QSize(200, 100));
        QCOMPARE(pixelAt(out, 40, 50), (QList<int>{255, 255, 255}));
        const QList<int> blue = pixelAt(out, 160, 50);
        QVERIFY(blue.size() == 3 && blue[2] > 240 && blue[0] < 15);
    }
};

QTEST_GUILESS_MAIN(TestSips)
#include "tst_Sips.moc"
