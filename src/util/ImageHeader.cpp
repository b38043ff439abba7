#include "util/ImageHeader.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace {

// The start of a file is read in one go; almost every picture has its size within it. Segments
// further in (large ICC or maker notes before the frame header) are reached by seeking.
constexpr qint64 kHeadBytes = 16 * 1024;
// The end marker is looked for in the last bytes; a few cameras append a little after it.
constexpr qint64 kTailBytes = 4096;
constexpr int kMaxSegments = 2000;

class FileSource : public ImageByteSource {
public:
    explicit FileSource(QFile& source) : file(source), fileSize(source.size()) {
        head = file.read(std::min(fileSize, kHeadBytes));
    }
    qint64 size() const override { return fileSize; }
    QByteArray read(qint64 offset, qint64 length) override {
        if (offset < 0 || length <= 0 || offset >= fileSize) {
            return {};
        }
        length = std::min(length, fileSize - offset);
        if (offset + length <= head.size()) {
            return head.mid(offset, length);
        }
        if (!file.seek(offset)) {
            return {};
        }
        return file.read(length);
    }

private:
    QFile& file;
    qint64 fileSize;
    QByteArray head;
};

quint8 u8(const QByteArray& b, qsizetype i) {
    return i < b.size() ? static_cast<quint8>(b.at(i)) : 0;
}
quint32 be16(const QByteArray& b, qsizetype i) {
    return (u8(b, i) << 8) | u8(b, i + 1);
}
quint32 be32(const QByteArray& b, qsizetype i) {
    return (be16(b, i) << 16) | be16(b, i + 2);
}

bool startsWith(const QByteArray& b, qsizetype at, const char* text) {
    const QByteArray wanted(text);
    return b.size() >= at + wanted.size() && b.mid(at, wanted.size()) == wanted;
}

// One TIFF directory (IFD0 of a TIFF file, or of the EXIF block of a JPEG).
struct TiffIfd {
    int width = 0;
    int height = 0;
    int bitsPerSample = 0;
    int samplesPerPixel = 0;
    int photometric = -1;
    int orientation = 1;
    bool extraSamples = false;
    bool ok = false;
};

TiffIfd readTiffIfd0(ImageByteSource& source, qint64 base) {
    TiffIfd ifd;
    const QByteArray header = source.read(base, 8);
    if (header.size() < 8) {
        return ifd;
    }
    bool little;
    if (startsWith(header, 0, "II")) {
        little = true;
    } else if (startsWith(header, 0, "MM")) {
        little = false;
    } else {
        return ifd;
    }
    auto get16 = [little](const QByteArray& b, qsizetype i) -> quint32 {
        return little ? (u8(b, i) | (u8(b, i + 1) << 8)) : be16(b, i);
    };
    auto get32 = [little, &get16](const QByteArray& b, qsizetype i) -> quint32 {
        return little ? (get16(b, i) | (get16(b, i + 2) << 16)) : be32(b, i);
    };
    if (get16(header, 2) != 42) {
        return ifd;
    }
    const qint64 ifdOffset = base + get32(header, 4);
    const QByteArray countBytes = source.read(ifdOffset, 2);
    if (countBytes.size() < 2) {
        return ifd;
    }
    const int count = static_cast<int>(get16(countBytes, 0));
    const QByteArray entries = source.read(ifdOffset + 2, qint64(count) * 12);
    if (entries.size() < qint64(count) * 12) {
        return ifd;
    }
    for (int i = 0; i < count; ++i) {
        const qsizetype e = qsizetype(i) * 12;
        const quint32 tag = get16(entries, e);
        const quint32 type = get16(entries, e + 2);
        const quint32 n = get32(entries, e + 4);
        // SHORT values sit in the first two bytes of the value field, LONG in all four.
        auto value = [&]() -> quint32 {
            return type == 3 ? get16(entries, e + 8) : get32(entries, e + 8);
        };
        switch (tag) {
        case 256:
            ifd.width = static_cast<int>(value());
            break;
        case 257:
            ifd.height = static_cast<int>(value());
            break;
        case 258:
            if (type == 3 && n > 2) {
                // One value per sample, kept elsewhere; the first tells the depth.
                const QByteArray v = source.read(base + get32(entries, e + 8), 2);
                ifd.bitsPerSample = v.size() == 2 ? static_cast<int>(get16(v, 0)) : 0;
            } else {
                ifd.bitsPerSample = static_cast<int>(get16(entries, e + 8));
            }
            break;
        case 262:
            ifd.photometric = static_cast<int>(value());
            break;
        case 274:
            ifd.orientation = static_cast<int>(value());
            break;
        case 277:
            ifd.samplesPerPixel = static_cast<int>(value());
            break;
        case 338:
            ifd.extraSamples = n > 0;
            break;
        default:
            break;
        }
    }
    if (ifd.orientation < 1 || ifd.orientation > 8) {
        ifd.orientation = 1;
    }
    ifd.ok = true;
    return ifd;
}

bool isSof(quint8 marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

void parseJpeg(ImageByteSource& source, ImageHeaderFacts& facts) {
    const qint64 size = source.size();
    qint64 pos = 2;
    int adobeTransform = -1;
    bool sawSof = false;
    qint64 scanStart = -1;
    for (int n = 0; n < kMaxSegments; ++n) {
        QByteArray mark = source.read(pos, 2);
        if (mark.size() < 2) {
            facts.truncated = true; // the segments end before the picture data
            break;
        }
        if (u8(mark, 0) != 0xFF) {
            facts.damaged = true;
            break;
        }
        quint8 marker = u8(mark, 1);
        while (marker == 0xFF) { // fill bytes
            ++pos;
            mark = source.read(pos, 2);
            if (mark.size() < 2) {
                break;
            }
            marker = u8(mark, 1);
        }
        if (mark.size() < 2) {
            facts.truncated = true;
            break;
        }
        pos += 2;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            continue; // markers without a length
        }
        if (marker == 0xD9) {
            facts.damaged = true; // the end before any picture data
            break;
        }
        const QByteArray lengthBytes = source.read(pos, 2);
        const quint32 length = be16(lengthBytes, 0);
        if (lengthBytes.size() < 2 || pos + length > size) {
            facts.truncated = true;
            break;
        }
        if (length < 2) {
            facts.damaged = true;
            break;
        }
        const qint64 payload = pos + 2;
        const qint64 payloadLength = length - 2;
        if (isSof(marker) && !sawSof) {
            const QByteArray sof = source.read(payload, std::min<qint64>(payloadLength, 6));
            if (sof.size() >= 6) {
                sawSof = true;
                facts.bitsPerChannel = u8(sof, 0);
                facts.height = static_cast<int>(be16(sof, 1));
                facts.width = static_cast<int>(be16(sof, 3));
                facts.channels = u8(sof, 5);
            }
        } else if (marker == 0xEE && payloadLength >= 12) {
            const QByteArray app14 = source.read(payload, 12);
            if (startsWith(app14, 0, "Adobe")) {
                adobeTransform = u8(app14, 11);
            }
        } else if (marker == 0xE1 && payloadLength > 14) {
            // Only IFD0 of the EXIF block is read, where the orientation is.
            if (startsWith(source.read(payload, 6), 0, "Exif")) {
                const TiffIfd ifd = readTiffIfd0(source, payload + 6);
                if (ifd.ok) {
                    facts.orientation = ifd.orientation;
                }
            }
        } else if (marker == 0xDA) {
            scanStart = payload + payloadLength;
            break;
        }
        pos += length;
    }
    if (!sawSof && !facts.truncated) {
        facts.damaged = true;
    }
    switch (facts.channels) {
    case 1:
        facts.colour = ImageColour::Gray;
        break;
    case 3:
        facts.colour = adobeTransform == 0 ? ImageColour::Rgb : ImageColour::YCbCr;
        break;
    case 4:
        facts.colour = adobeTransform == 2 ? ImageColour::Ycck : ImageColour::Cmyk;
        break;
    default:
        break;
    }
    if (scanStart >= 0) {
        // The picture data runs to the end marker; it must be among the last bytes, after the
        // scan began (a thumbnail's own end marker earlier in the file does not count).
        const qint64 tailStart = std::max(scanStart, size - kTailBytes);
        const QByteArray tail = source.read(tailStart, size - tailStart);
        if (tail.lastIndexOf(QByteArrayView("\xFF\xD9", 2)) < 0) {
            facts.truncated = true;
        }
    } else if (!facts.damaged) {
        facts.truncated = true;
    }
}

void parsePng(ImageByteSource& source, ImageHeaderFacts& facts) {
    const QByteArray ihdr = source.read(8, 8 + 13);
    if (ihdr.size() < 21 || !startsWith(ihdr, 4, "IHDR")) {
        facts.damaged = ihdr.size() >= 21;
        facts.truncated = ihdr.size() < 21;
        return;
    }
    facts.width = static_cast<int>(be32(ihdr, 8));
    facts.height = static_cast<int>(be32(ihdr, 12));
    facts.bitsPerChannel = u8(ihdr, 16);
    const int colourType = u8(ihdr, 17);
    switch (colourType) {
    case 0:
        facts.colour = ImageColour::Gray;
        facts.channels = 1;
        break;
    case 2:
        facts.colour = ImageColour::Rgb;
        facts.channels = 3;
        break;
    case 3:
        facts.colour = ImageColour::Palette;
        facts.channels = 1;
        break;
    case 4:
        facts.colour = ImageColour::Gray;
        facts.channels = 2;
        facts.alpha = true;
        break;
    case 6:
        facts.colour = ImageColour::Rgb;
        facts.channels = 4;
        facts.alpha = true;
        break;
    default:
        facts.damaged = true;
        break;
    }
    // A transparency chunk before the picture data makes any colour type transparent.
    qint64 pos = 8;
    for (int n = 0; n < kMaxSegments && pos + 8 <= source.size(); ++n) {
        const QByteArray chunk = source.read(pos, 8);
        if (chunk.size() < 8) {
            break;
        }
        if (startsWith(chunk, 4, "tRNS")) {
            facts.alpha = true;
        }
        if (startsWith(chunk, 4, "IDAT")) {
            break;
        }
        pos += 12 + qint64(be32(chunk, 0));
    }
    const qint64 tailStart = std::max<qint64>(0, source.size() - kTailBytes);
    const QByteArray tail = source.read(tailStart, source.size() - tailStart);
    if (!tail.contains("IEND")) {
        facts.truncated = true;
    }
}

void parseTiff(ImageByteSource& source, ImageHeaderFacts& facts) {
    const TiffIfd ifd = readTiffIfd0(source, 0);
    if (!ifd.ok) {
        facts.damaged = true;
        return;
    }
    facts.width = ifd.width;
    facts.height = ifd.height;
    facts.bitsPerChannel = ifd.bitsPerSample > 0 ? ifd.bitsPerSample : 1;
    facts.channels = ifd.samplesPerPixel > 0 ? ifd.samplesPerPixel : 1;
    facts.orientation = ifd.orientation;
    switch (ifd.photometric) {
    case 0:
    case 1:
        facts.colour = ImageColour::Gray;
        break;
    case 2:
        facts.colour = ImageColour::Rgb;
        break;
    case 3:
        facts.colour = ImageColour::Palette;
        break;
    case 5:
        facts.colour = ImageColour::Cmyk;
        break;
    case 6:
        facts.colour = ImageColour::YCbCr;
        break;
    default:
        break;
    }
    facts.alpha = ifd.extraSamples;
    if (!facts.hasPixelSize()) {
        facts.damaged = true;
    }
}

ImageKind sniff(const QByteArray& b) {
    if (b.size() >= 3 && u8(b, 0) == 0xFF && u8(b, 1) == 0xD8 && u8(b, 2) == 0xFF) {
        return ImageKind::Jpeg;
    }
    if (startsWith(b, 0, "\x89PNG\r\n\x1A\n")) {
        return ImageKind::Png;
    }
    if (b.size() >= 4 && (startsWith(b, 0, "II*") || startsWith(b, 0, "MM")) &&
        (be16(b, 2) == 0x2A00 || be16(b, 2) == 0x002A)) {
        return ImageKind::Tiff;
    }
    if (startsWith(b, 4, "ftyp")) {
        static const char* const brands[] = {"heic", "heix", "hevc", "hevx", "heim",
                                             "heis", "mif1", "msf1", "avif"};
        for (const char* brand : brands) {
            if (startsWith(b, 8, brand)) {
                return ImageKind::Heic;
            }
        }
    }
    if (startsWith(b, 0, "%PDF-")) {
        return ImageKind::Pdf;
    }
    if (startsWith(b, 0, "GIF87a") || startsWith(b, 0, "GIF89a")) {
        return ImageKind::Gif;
    }
    if (startsWith(b, 0, "RIFF") && startsWith(b, 8, "WEBP")) {
        return ImageKind::Webp;
    }
    if (startsWith(b, 0, "8BPS")) {
        return ImageKind::Psd;
    }
    if (startsWith(b, 0, "BM") && b.size() >= 26) {
        return ImageKind::Bmp;
    }
    return ImageKind::Unknown;
}

} // namespace

QString imageKindName(ImageKind kind) {
    switch (kind) {
    case ImageKind::Jpeg:
        return QStringLiteral("JPEG");
    case ImageKind::Png:
        return QStringLiteral("PNG");
    case ImageKind::Tiff:
        return QStringLiteral("TIFF");
    case ImageKind::Heic:
        return QStringLiteral("HEIC");
    case ImageKind::Pdf:
        return QStringLiteral("PDF");
    case ImageKind::Gif:
        return QStringLiteral("GIF");
    case ImageKind::Webp:
        return QStringLiteral("WebP");
    case ImageKind::Bmp:
        return QStringLiteral("BMP");
    case ImageKind::Psd:
        return QStringLiteral("PSD");
    case ImageKind::Empty:
    case ImageKind::Unknown:
        break;
    }
    return {};
}

ImageKind imageKindForName(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == u"jpg" || suffix == u"jpeg" || suffix == u"jpe") {
        return ImageKind::Jpeg;
    }
    if (suffix == u"png") {
        return ImageKind::Png;
    }
    if (suffix == u"tif" || suffix == u"tiff") {
        return ImageKind::Tiff;
    }
    if (suffix == u"heic" || suffix == u"heif" || suffix == u"avif") {
        return ImageKind::Heic;
    }
    if (suffix == u"pdf") {
        return ImageKind::Pdf;
    }
    if (suffix == u"gif") {
        return ImageKind::Gif;
    }
    if (suffix == u"webp") {
        return ImageKind::Webp;
    }
    if (suffix == u"bmp") {
        return ImageKind::Bmp;
    }
    if (suffix == u"psd") {
        return ImageKind::Psd;
    }
    return ImageKind::Unknown;
}

ImageHeaderFacts parseImageHeader(ImageByteSource& source) {
    ImageHeaderFacts facts;
    facts.readable = true;
    facts.fileSize = source.size();
    if (source.size() == 0) {
        facts.kind = ImageKind::Empty;
        return facts;
    }
    facts.kind = sniff(source.read(0, 32));
    switch (facts.kind) {
    case ImageKind::Jpeg:
        parseJpeg(source, facts);
        break;
    case ImageKind::Png:
        parsePng(source, facts);
        break;
    case ImageKind::Tiff:
        parseTiff(source, facts);
        break;
    default:
        break;
    }
    return facts;
}

ImageHeaderFacts readImageHeader(const QString& path) {
    ImageHeaderFacts facts;
    const QFileInfo info(path);
    QFile file(path);
    // Unbuffered: the few small reads past the start must not each pull in a full buffer.
    if (!info.isFile() || !file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        facts.fileSize = info.exists() ? info.size() : 0;
        return facts;
    }
    FileSource source(file);
    facts = parseImageHeader(source);
    facts.mtimeMs = info.lastModified().toMSecsSinceEpoch();
    return facts;
}
