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
    void colourProfiles();
    void strayBytesBetweenSegments();
    void dataAfterThePicture();
    void tiffCutShort();
    void bigTiffAndImpossibleSizes();

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

namespace {
const QString kProfiles = QStringLiteral("/usr/share/color/icc/");
} // namespace

void TestImageHeader::colourProfiles() {
    const QString adobe = kProfiles + QStringLiteral("compatibleWithAdobeRGB1998.icc");
    const QString srgb = kProfiles + QStringLiteral("sRGB.icc");
    QVERIFY2(QFile::exists(adobe), "icc-profiles-free is not installed");
    const QString grad = QStringLiteral("gradient:#c03020-#2050c0");
    struct Case {
        QString name;
        QStringList args;
        QByteArray space;
        QString description;
    };
    const QList<Case> cases = {
        {QStringLiteral("adobe.jpg"),
         {QStringLiteral("-profile"), adobe},
         "RGB ",
         QStringLiteral("Compatible with Adobe RGB (1998)")},
        {QStringLiteral("srgb.jpg"),
         {QStringLiteral("-profile"), srgb},
         "RGB ",
         QStringLiteral("sRGB")},
        {QStringLiteral("PNG24:adobe.png"),
         {QStringLiteral("-profile"), adobe},
         "RGB ",
         QStringLiteral("Compatible with Adobe RGB (1998)")},
        {QStringLiteral("adobe.tif"),
         {QStringLiteral("-profile"), adobe},
         "RGB ",
         QStringLiteral("Compatible with Adobe RGB (1998)")},
        {QStringLiteral("gray.jpg"),
         {QStringLiteral("-colorspace"), QStringLiteral("Gray"), QStringLiteral("-profile"),
          kProfiles + QStringLiteral("Gray.icc")},
         "GRAY",
         QStringLiteral("Gray")},
    };
    for (const Case& c : cases) {
        const QString target = c.name.startsWith(QStringLiteral("PNG24:"))
                                   ? QStringLiteral("PNG24:") + path(c.name.mid(6))
                                   : path(c.name);
        QVERIFY2(ImageFiles::convert(
                     QStringList{QStringLiteral("-size"), QStringLiteral("64x48"), grad} + c.args +
                     QStringList{target}),
                 qPrintable(c.name));
        const ImageHeaderFacts facts =
            readImageHeader(path(QString(c.name).remove(QStringLiteral("PNG24:"))));
        QVERIFY2(facts.hasProfile, qPrintable(c.name));
        QCOMPARE(facts.profileColourSpace, c.space);
        QCOMPARE(facts.profileName, c.description);
        QVERIFY2(!facts.damaged && !facts.truncated, qPrintable(c.name));
    }
    // A version 4 profile in three pieces, written in reverse order: the pieces are read in
    // their sequence and the English description is taken.
    const QString p3 = path(QStringLiteral("p3.jpg"));
    QVERIFY(ImageFiles::jpeg(p3, 64, 48));
    const QByteArray profile = ImageFiles::iccProfileV4("RGB ", QStringLiteral("Display P3"),
                                                        QStringLiteral("ディスプレイP3"));
    QVERIFY(
        ImageFiles::embedJpegProfile(p3, profile, static_cast<int>(profile.size() / 3 + 1), true));
    const ImageHeaderFacts v4 = readImageHeader(p3);
    QVERIFY(v4.hasProfile);
    QCOMPARE(v4.profileName, QStringLiteral("Display P3"));
    QCOMPARE(v4.profileColourSpace, QByteArray("RGB "));
    QCOMPARE(v4.width, 64);
    // No profile: nothing to say.
    QVERIFY(!readImageHeader(path(QStringLiteral("sound.jpg"))).hasProfile);
}

void TestImageHeader::strayBytesBetweenSegments() {
    const QString source = path(QStringLiteral("sound.jpg"));
    // Five junk bytes before the quantisation tables, as a decoder skips them with a warning.
    const QString junk = path(QStringLiteral("junk.jpg"));
    QVERIFY(QFile::copy(source, junk));
    QVERIFY(ImageFiles::insertBeforeMarker(junk, 0xDB, QByteArray("\x12\x34\x00\x56\x78", 5)));
    // A Photoshop block whose length says three bytes fewer than it holds, and an Adobe block
    // whose length says two bytes more (it runs into the next segment's length).
    const QByteArray photoshop = QByteArray("Photoshop 3.0\0", 14) + QByteArray(40, '\x20');
    QByteArray shortApp13 = ImageFiles::jpegSegment(0xED, photoshop);
    shortApp13[3] = char(shortApp13.at(3) - 3);
    const QString shortLength = path(QStringLiteral("short13.jpg"));
    QVERIFY(QFile::copy(source, shortLength));
    QVERIFY(ImageFiles::insertAfterStart(shortLength, shortApp13));
    QByteArray longApp14 =
        ImageFiles::jpegSegment(0xEE, QByteArray("Adobe\x00\x64\x00\x00\x00\x00\x01", 12));
    longApp14[3] = char(longApp14.at(3) + 2);
    const QString longLength = path(QStringLiteral("long14.jpg"));
    QVERIFY(QFile::copy(source, longLength));
    QVERIFY(ImageFiles::insertBeforeMarker(longLength, 0xDB, longApp14));
    for (const QString& file : {junk, shortLength, longLength}) {
        const ImageHeaderFacts facts = readImageHeader(file);
        QVERIFY2(!facts.damaged && !facts.truncated, qPrintable(file));
        QCOMPARE(facts.width, 600);
        QCOMPARE(facts.height, 400);
        QVERIFY2(facts.strayBytes > 0, qPrintable(file));
    }
    // Junk to the end: nothing to read the picture from.
    const QString hopeless = path(QStringLiteral("hopeless.jpg"));
    QVERIFY(ImageFiles::writeBytes(hopeless, QByteArray("\xFF\xD8\xFF\xE0\x00\x04\x00\x00", 8) +
                                                 QByteArray(3000, '\x42')));
    const ImageHeaderFacts none = readImageHeader(hopeless);
    QVERIFY(none.damaged || none.truncated);
    QVERIFY(!none.hasPixelSize());
}

void TestImageHeader::dataAfterThePicture() {
    const QString source = path(QStringLiteral("sound.jpg"));
    const QByteArray picture = ImageFiles::readBytes(source);
    const QByteArray video = ImageFiles::mp4Like(3 * 1024 * 1024);
    struct Case {
        const char* name;
        QByteArray bytes;
        bool whole;
    };
    auto withXmp = [&](const QString& description) {
        QByteArray bytes = picture;
        bytes.insert(2, ImageFiles::jpegSegment(0xE1, ImageFiles::xmpPayload(description)));
        return bytes;
    };
    const QString offset =
        QStringLiteral("<rdf:Description GCamera:MicroVideo=\"1\" GCamera:MicroVideoVersion=\"1\" "
                       "GCamera:MicroVideoOffset=\"%1\"/>")
            .arg(video.size());
    const QString container =
        QStringLiteral(
            "<rdf:Description GCamera:MotionPhoto=\"1\"><Container:Directory><rdf:Seq>"
            "<rdf:li rdf:parseType=\"Resource\"><Container:Item Item:Mime=\"image/jpeg\" "
            "Item:Semantic=\"Primary\" Item:Length=\"0\" Item:Padding=\"0\"/></rdf:li>"
            "<rdf:li rdf:parseType=\"Resource\"><Container:Item Item:Mime=\"video/mp4\" "
            "Item:Semantic=\"MotionPhoto\" Item:Length=\"%1\"/></rdf:li>"
            "</rdf:Seq></Container:Directory></rdf:Description>")
            .arg(video.size());
    // The MPF index of a picture followed by a second one (here cut short): the first entry
    // gives the primary picture's size.
    QByteArray mpf("MPF\0MM\0\x2A\0\0\0\x08\0\x03", 14);
    auto be = [](quint32 v, int n) {
        QByteArray b;
        for (int i = n - 1; i >= 0; --i) {
            b += char(v >> (8 * i));
        }
        return b;
    };
    mpf += be(0xB000, 2) + be(7, 2) + be(4, 4) + QByteArray("0100");
    mpf += be(0xB001, 2) + be(4, 2) + be(1, 4) + be(2, 4);
    mpf += be(0xB002, 2) + be(7, 2) + be(32, 4) + be(8 + 2 + 36 + 4, 4);
    mpf += be(0, 4);
    const qsizetype primarySize = picture.size() + mpf.size() + 32 + 4;
    mpf += be(0x20030000, 4) + be(quint32(primarySize), 4) + be(0, 4) + be(0, 4);
    mpf += be(0, 4) + be(50000, 4) + be(quint32(primarySize - 2 - 4 - 4), 4) + be(0, 4);
    QByteArray withMpf = picture;
    withMpf.insert(2, ImageFiles::jpegSegment(0xE2, mpf));
    QVERIFY(withMpf.size() == primarySize);
    const QString second = path(QStringLiteral("second.jpg"));
    QVERIFY(ImageFiles::convert({QStringLiteral("-size"), QStringLiteral("800x600"),
                                 QStringLiteral("xc:gray"), QStringLiteral("+noise"),
                                 QStringLiteral("Random"), second}));
    const QByteArray secondBytes = ImageFiles::readBytes(second);
    QVERIFY(secondBytes.size() > 40000);

    QByteArray cutPrimary = withXmp(offset);
    cutPrimary.chop(100); // the picture itself cut before its end marker
    const QList<Case> cases = {
        {"motion-offset.jpg", withXmp(offset) + video, true},
        {"motion-container.jpg", withXmp(container) + video, true},
        {"padded.jpg", picture + QByteArray(64 * 1024, '\0'), true},
        {"mpf.jpg", withMpf + secondBytes.left(secondBytes.size() / 2), true},
        // Without a pointer nobody can tell where the picture ended.
        {"unexplained.jpg", picture + video, false},
        {"motion-cut.jpg", cutPrimary + video, false},
    };
    for (const Case& c : cases) {
        const QString file = path(QString::fromLatin1(c.name));
        QVERIFY(ImageFiles::writeBytes(file, c.bytes));
        const ImageHeaderFacts facts = readImageHeader(file);
        QVERIFY2(facts.truncated == !c.whole, c.name);
        QCOMPARE(facts.width, 600);
    }
}

void TestImageHeader::tiffCutShort() {
    const QString made = path(QStringLiteral("made.tif"));
    QVERIFY(ImageFiles::convert({QStringLiteral("-size"), QStringLiteral("200x150"),
                                 QStringLiteral("gradient:#c03020-#2050c0"),
                                 QStringLiteral("-depth"), QStringLiteral("8"),
                                 QStringLiteral("-compress"), QStringLiteral("None"), made}));
    const QString first = path(QStringLiteral("first.tif"));
    QVERIFY(ImageFiles::tiffDirectoryFirst(made, first));
    const ImageHeaderFacts whole = readImageHeader(first);
    QCOMPARE(whole.width, 200);
    QVERIFY(!whole.truncated && !whole.damaged);
    QVERIFY(ImageFiles::truncateTo(first, QFileInfo(first).size() / 2));
    const ImageHeaderFacts half = readImageHeader(first);
    QCOMPARE(half.width, 200); // the directory is whole...
    QVERIFY(half.truncated);   // ...its strips are not
}

void TestImageHeader::bigTiffAndImpossibleSizes() {
    // The 64-bit layout's header: "II", 43, 8, 0, the first directory at 16.
    const QString big = path(QStringLiteral("big.tif"));
    QVERIFY(ImageFiles::writeBytes(big, QByteArray("II\x2B\0\x08\0\0\0\x10\0\0\0\0\0\0\0", 16) +
                                            QByteArray(200, '\0')));
    const ImageHeaderFacts bigFacts = readImageHeader(big);
    QCOMPARE(bigFacts.kind, ImageKind::Tiff);
    QVERIFY(bigFacts.bigTiff);

    // A PNG header claiming 65,534 × 352,321,540 pixels.
    const QString png = path(QStringLiteral("huge.png"));
    QVERIFY(
        ImageFiles::convert({QStringLiteral("-size"), QStringLiteral("64x48"),
                             QStringLiteral("gradient:red-blue"), QStringLiteral("PNG24:") + png}));
    QByteArray bytes = ImageFiles::readBytes(png);
    const QByteArray size("\x00\x00\xFF\xFE\x15\x00\x00\x04", 8);
    bytes.replace(16, 8, size);
    QVERIFY(ImageFiles::writeBytes(png, bytes));
    const ImageHeaderFacts huge = readImageHeader(png);
    QCOMPARE(huge.width, 65534);
    QCOMPARE(huge.height, 352321540);
    QVERIFY(huge.implausibleSize);
    QVERIFY(huge.damaged);
    // 100,000 pixels a side is still a picture; one more is not.
    bytes.replace(16, 8, QByteArray("\x00\x01\x86\xA0\x00\x00\x4E\x20", 8)); // 100000 × 20000
    QVERIFY(ImageFiles::writeBytes(png, bytes));
    QVERIFY(!readImageHeader(png).implausibleSize);
    bytes.replace(16, 8, QByteArray("\x00\x01\x86\xA1\x00\x00\x00\x10", 8)); // 100001 × 16
    QVERIFY(ImageFiles::writeBytes(png, bytes));
    QVERIFY(readImageHeader(png).implausibleSize);
}

QTEST_GUILESS_MAIN(TestImageHeader)
#include "tst_ImageHeader.moc"
