#include "ImageFiles.h"
#include "util/ImageHeader.h"

#include <QTemporaryDir>
#include <QtTest>

// Header facts of real files written by convert (and patched where convert cannot write a
// case): what each kind of file tells from its start and its end.
class TestImageHeader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void jpegFacts();
    void jpegDamage();
    void pngAndTiffFacts();
    void contentSniffing();

private:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
};

void TestImageHeader::initTestCase() {
    QVERIFY(dir.isValid());
    QVERIFY(ImageFiles::jpeg(path(QStringLiteral("sound.jpg")), 600, 400));
}

void TestImageHeader::jpegFacts() {
    const ImageHeaderFacts sound = readImageHeader(path(QStringLiteral("sound.jpg")));
    QVERIFY(sound.readable);
    QCOMPARE(sound.kind, ImageKind::Jpeg);
    QCOMPARE(sound.width, 600);
    QCOMPARE(sound.height, 400);
    QCOMPARE(sound.bitsPerChannel, 8);
    QCOMPARE(sound.colour, ImageColour::YCbCr);
    QCOMPARE(sound.orientation, 1);
    QVERIFY(!sound.truncated);
    QVERIFY(!sound.damaged);
    QCOMPARE(sound.fileSize, QFileInfo(path(QStringLiteral("sound.jpg"))).size());

    // Orientation from the EXIF block: 6 turns the picture a quarter, so it shows 400 × 600.
    const QString turned = path(QStringLiteral("turned.jpg"));
    QVERIFY(QFile::copy(path(QStringLiteral("sound.jpg")), turned));
    QVERIFY(ImageFiles::addExifOrientation(turned, 6));
    const ImageHeaderFacts t = readImageHeader(turned);
    QCOMPARE(t.orientation, 6);
    QCOMPARE(t.shownWidth(), 400);
    QCOMPARE(t.shownHeight(), 600);
    QVERIFY(!t.truncated);

    // convert writes CMYK JPEGs with the Adobe YCCK transform; transform 0 is plain CMYK.
    const QString ycck = path(QStringLiteral("ycck.jpg"));
    QVERIFY(
        ImageFiles::jpeg(ycck, 300, 200, {QStringLiteral("-colorspace"), QStringLiteral("CMYK")}));
    QCOMPARE(readImageHeader(ycck).channels, 4);
    QCOMPARE(readImageHeader(ycck).colour, ImageColour::Ycck);
    QVERIFY(ImageFiles::patchAdobeTransform(ycck, 0));
    QCOMPARE(readImageHeader(ycck).colour, ImageColour::Cmyk);

    const QString twelve = path(QStringLiteral("twelve.jpg"));
    QVERIFY(QFile::copy(path(QStringLiteral("sound.jpg")), twelve));
    QVERIFY(ImageFiles::patchSofPrecision(twelve, 12));
    QCOMPARE(readImageHeader(twelve).bitsPerChannel, 12);
}

void TestImageHeader::jpegDamage() {
    const QString source = path(QStringLiteral("sound.jpg"));
    const qint64 size = QFileInfo(source).size();
    struct Cut {
        const char* name;
        qint64 keep;
    };
    // Cut in the picture data, just before the end marker, and inside the headers.
    const Cut cuts[] = {{"half.jpg", size * 6 / 10}, {"noend.jpg", size - 2}, {"head.jpg", 120}};
    for (const Cut& cut : cuts) {
        const QString file = path(QString::fromLatin1(cut.name));
        QVERIFY(QFile::copy(source, file));
        QVERIFY(ImageFiles::truncateTo(file, cut.keep));
        QVERIFY2(readImageHeader(file).truncated, cut.name);
    }
    // The size is known from the headers even when the data is cut short.
    QCOMPARE(readImageHeader(path(QStringLiteral("half.jpg"))).width, 600);

    // An EXIF thumbnail's own end marker near the start does not make a file cut in its
    // picture data whole: the end marker counts only after the scan began.
    const QString thumb = path(QStringLiteral("thumb.jpg"));
    QVERIFY(ImageFiles::jpeg(thumb, 16, 16));
    const QByteArray payload =
        QByteArray("Exif\0\0MM\x00\x2A\x00\x00\x00\x08\x00\x00\x00\x00\x00\x00", 20) +
        ImageFiles::readBytes(thumb);
    QByteArray bytes = ImageFiles::readBytes(source);
    QByteArray segment("\xFF\xE1", 2);
    segment += char((payload.size() + 2) >> 8);
    segment += char((payload.size() + 2) & 0xFF);
    bytes.insert(2, segment + payload);
    const QString withThumb = path(QStringLiteral("thumbcut.jpg"));
    QVERIFY(ImageFiles::writeBytes(withThumb, bytes));
    QVERIFY(!readImageHeader(withThumb).truncated);
    const qsizetype scan = bytes.lastIndexOf(QByteArray("\xFF\xDA", 2));
    QVERIFY(scan > 0);
    QVERIFY(ImageFiles::truncateTo(withThumb, scan + 200));
    QVERIFY(readImageHeader(withThumb).truncated);
}

void TestImageHeader::pngAndTiffFacts() {
    struct Case {
        const char* name;
        QStringList args;
        ImageKind kind;
        int bits;
        bool alpha;
        ImageColour colour;
    };
    const QString grad = QStringLiteral("gradient:#c03020-#2050c0");
    const QString size = QStringLiteral("-size");
    const QString dims = QStringLiteral("64x48");
    const QList<Case> cases = {
        {"rgb.png",
         {size, dims, grad, QStringLiteral("PNG24:%1")},
         ImageKind::Png,
         8,
         false,
         ImageColour::Rgb},
        {"deep.png",
         {size, dims, grad, QStringLiteral("-depth"), QStringLiteral("16"),
          QStringLiteral("PNG48:%1")},
         ImageKind::Png,
         16,
         false,
         ImageColour::Rgb},
        {"alpha.png",
         {size, dims, QStringLiteral("xc:none"), QStringLiteral("-fill"), QStringLiteral("red"),
          QStringLiteral("-draw"), QStringLiteral("circle 30,20 30,30"),
          QStringLiteral("PNG32:%1")},
         ImageKind::Png,
         8,
         true,
         ImageColour::Rgb},
        {"rgb.tif",
         {size, dims, grad, QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("%1")},
         ImageKind::Tiff,
         8,
         false,
         ImageColour::Rgb},
        {"deep.tif",
         {size, dims, grad, QStringLiteral("-depth"), QStringLiteral("16"), QStringLiteral("%1")},
         ImageKind::Tiff,
         16,
         false,
         ImageColour::Rgb},
        {"cmyk.tif",
         {size, dims, grad, QStringLiteral("-colorspace"), QStringLiteral("CMYK"),
          QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("%1")},
         ImageKind::Tiff,
         8,
         false,
         ImageColour::Cmyk},
        {"alpha.tif",
         {size, dims, grad, QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("-alpha"),
          QStringLiteral("set"), QStringLiteral("-channel"), QStringLiteral("A"),
          QStringLiteral("-evaluate"), QStringLiteral("set"), QStringLiteral("50%"),
          QStringLiteral("%1")},
         ImageKind::Tiff,
         8,
         true,
         ImageColour::Rgb},
    };
    for (const Case& c : cases) {
        const QString file = path(QString::fromLatin1(c.name));
        QStringList args = c.args;
        args.last() = args.last().arg(file);
        QVERIFY2(ImageFiles::convert(args), c.name);
        const ImageHeaderFacts facts = readImageHeader(file);
        QCOMPARE(facts.kind, c.kind);
        QCOMPARE(facts.width, 64);
        QCOMPARE(facts.height, 48);
        QVERIFY2(facts.bitsPerChannel == c.bits, c.name);
        QVERIFY2(facts.alpha == c.alpha, c.name);
        QVERIFY2(facts.colour == c.colour, c.name);
        QVERIFY2(!facts.truncated && !facts.damaged, c.name);
    }
    // A PNG without its closing chunk is cut short.
    const QString cut = path(QStringLiteral("cut.png"));
    QVERIFY(QFile::copy(path(QStringLiteral("deep.png")), cut));
    QVERIFY(ImageFiles::truncateTo(cut, QFileInfo(cut).size() - 12));
    QVERIFY(readImageHeader(cut).truncated);
}

void TestImageHeader::contentSniffing() {
    struct Case {
        const char* name;
        QByteArray bytes;
        ImageKind kind;
    };
    const QList<Case> cases = {
        {"empty.jpg", QByteArray(), ImageKind::Empty},
        {"phone.jpg",
         QByteArray("\0\0\0\x18"
                    "ftypheic\0\0\0\0mif1heic",
                    24),
         ImageKind::Heic},
        {"scan.jpg", QByteArray("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj\n<<>>\nendobj\n"),
         ImageKind::Pdf},
        {"web.jpg", QByteArray("RIFF\x24\0\0\0WEBPVP8 ", 16), ImageKind::Webp},
        {"notes.jpg", QByteArray("just some text\n"), ImageKind::Unknown},
    };
    for (const Case& c : cases) {
        const QString file = path(QString::fromLatin1(c.name));
        QVERIFY(ImageFiles::writeBytes(file, c.bytes));
        QVERIFY2(readImageHeader(file).kind == c.kind, c.name);
    }
    const QString gif = path(QStringLiteral("anim.jpg"));
    QVERIFY(ImageFiles::convert({QStringLiteral("-size"), QStringLiteral("8x8"),
                                 QStringLiteral("xc:red"), QStringLiteral("GIF:") + gif}));
    QCOMPARE(readImageHeader(gif).kind, ImageKind::Gif);
    QVERIFY(!readImageHeader(path(QStringLiteral("missing.jpg"))).readable);
    QCOMPARE(imageKindForName(QStringLiteral("IMG_1.JPEG")), ImageKind::Jpeg);
    QCOMPARE(imageKindForName(QStringLiteral("order.txt")), ImageKind::Unknown);
}

QTEST_GUILESS_MAIN(TestImageHeader)
#include "tst_ImageHeader.moc"
