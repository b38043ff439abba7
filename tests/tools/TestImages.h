#pragma once

// Photo-like test images made with ImageMagick and libvips' command-line tools, and a small
// reader of JPEG marker segments to check what the image tool kept. Shared by the image tool's
// tests and the resize stage's tests.

#include "util/ProcessRunner.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QtEndian>
#include <optional>

namespace testimages {

// ImageMagick's own convert and identify (the ones under /usr/bin when present).
inline QString magickTool(const QString& name) {
    const QString system = QStringLiteral("/usr/bin/") + name;
    return QFileInfo::exists(system) ? system : name;
}

inline bool run(const QString& program, const QStringList& args) {
    ProcessOptions options;
    options.captureStdout = true;
    options.captureStderr = true;
    return runProcess(program, args, options).succeeded();
}

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeAll(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

// Fractal "plasma" with noise: detail everywhere like a photo, so JPEG sizes behave like real
// photos. Larger images are scaled up from a small plasma to keep the setup quick.
inline bool makePhoto(const QString& path, int width, int height, int seed = 1) {
    const int baseWidth = std::min(width, 600);
    const int baseHeight = std::max(1, height * baseWidth / width);
    return run(magickTool(QStringLiteral("convert")),
               {QStringLiteral("-size"), QStringLiteral("%1x%2").arg(baseWidth).arg(baseHeight),
                QStringLiteral("-seed"), QString::number(seed), QStringLiteral("plasma:fractal"),
                QStringLiteral("-resize"), QStringLiteral("%1x%2!").arg(width).arg(height),
                QStringLiteral("-attenuate"), QStringLiteral("0.3"), QStringLiteral("+noise"),
                QStringLiteral("Gaussian"), QStringLiteral("-quality"), QStringLiteral("92"),
                path});
}

// Left half red, right half blue: shows where the stored left side ends up.
inline bool makeTwoColourImage(const QString& path, int width, int height) {
    const QString half = QStringLiteral("%1x%2").arg(width / 2).arg(height);
    return run(magickTool(QStringLiteral("convert")),
               {QStringLiteral("-size"), half, QStringLiteral("xc:#ff0000"),
                QStringLiteral("-size"), half, QStringLiteral("xc:#0000ff"),
                QStringLiteral("+append"), QStringLiteral("-quality"), QStringLiteral("95"), path});
}

// Width, height and format as ImageMagick reads them; none when it cannot.
struct ImageFacts {
    QSize size;
    QString format;  // "JPEG", "PNG"
    int quality = 0; // estimated JPEG quality
};

inline std::optional<ImageFacts> imageFacts(const QString& path) {
    const ProcessResult result =
        runProcess(magickTool(QStringLiteral("identify")),
                   {QStringLiteral("-format"), QStringLiteral("%w %h %m %Q"), path});
    if (!result.succeeded()) {
        return std::nullopt;
    }
    const QStringList parts = QString::fromUtf8(result.stdoutData).split(u' ');
    if (parts.size() != 4) {
        return std::nullopt;
    }
    return ImageFacts{QSize(parts[0].toInt(), parts[1].toInt()), parts[2], parts[3].toInt()};
}

// "r,g,b" (0..255) of one pixel.
inline QList<int> pixelAt(const QString& path, int x, int y) {
    const ProcessResult result =
        runProcess(magickTool(QStringLiteral("convert")),
                   {path, QStringLiteral("-crop"), QStringLiteral("1x1+%1+%2").arg(x).arg(y),
                    QStringLiteral("-format"),
                    QStringLiteral("%[fx:int(255*r+.5)],%[fx:int(255*g+.5)],%[fx:int(255*b+.5)]"),
                    QStringLiteral("info:")});
    QList<int> rgb;
    for (const QByteArray& part : result.stdoutData.split(',')) {
        rgb.append(part.trimmed().toInt());
    }
    return rgb;
}

// --- JPEG marker segments ---

struct Segment {
    quint8 marker = 0;
    QByteArray payload; // without marker and length
};

// The segments before the scan, and the rest of the file from the scan on; none when the data
// does not start like a JPEG file.
struct JpegParts {
    QList<Segment> segments;
    QByteArray scan;
};

inline std::optional<JpegParts> splitJpeg(const QByteArray& data) {
    if (data.size() < 4 || quint8(data[0]) != 0xFF || quint8(data[1]) != 0xD8) {
        return std::nullopt;
    }
    JpegParts parts;
    qsizetype pos = 2;
    while (pos + 4 <= data.size()) {
        if (quint8(data[pos]) != 0xFF) {
            return std::nullopt;
        }
        const quint8 marker = quint8(data[pos + 1]);
        if (marker == 0xDA) {
            parts.scan = data.mid(pos);
            return parts;
        }
        const int length = qFromBigEndian<quint16>(data.constData() + pos + 2);
        if (length < 2 || pos + 2 + length > data.size()) {
            return std::nullopt;
        }
        parts.segments.append({marker, data.mid(pos + 4, length - 2)});
        pos += 2 + length;
    }
    return std::nullopt;
}

inline QByteArray joinJpeg(const JpegParts& parts) {
    QByteArray out("\xFF\xD8", 2);
    for (const Segment& segment : parts.segments) {
        out.append(char(0xFF));
        out.append(char(segment.marker));
        const quint16 length = quint16(segment.payload.size() + 2);
        out.append(char(length >> 8));
        out.append(char(length & 0xFF));
        out.append(segment.payload);
    }
    return out + parts.scan;
}

inline bool isExif(const Segment& s) {
    return s.marker == 0xE1 && s.payload.startsWith(QByteArray("Exif\0\0", 6));
}
inline bool isXmp(const Segment& s) {
    return s.marker == 0xE1 && s.payload.startsWith("http://ns.adobe.com/xap/1.0/");
}
inline bool isIcc(const Segment& s) {
    return s.marker == 0xE2 && s.payload.startsWith(QByteArray("ICC_PROFILE\0", 12));
}

// A big-endian EXIF block with the camera make and the orientation in IFD0.
inline QByteArray exifPayload(int orientation, const QByteArray& make) {
    QByteArray tiff("MM\0\x2A\0\0\0\x08", 8);
    const auto u16 = [&tiff](quint16 v) {
        tiff.append(char(v >> 8));
        tiff.append(char(v & 0xFF));
    };
    const auto u32 = [&tiff](quint32 v) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            tiff.append(char((v >> shift) & 0xFF));
        }
    };
    const QByteArray makeText = make + '\0';
    const quint32 makeOffset = 8 + 2 + 2 * 12 + 4;
    u16(2);
    u16(0x010F); // Make, ASCII
    u16(2);
    u32(quint32(makeText.size()));
    u32(makeOffset);
    u16(0x0112); // Orientation, SHORT
    u16(3);
    u32(1);
    u16(quint16(orientation));
    u16(0);
    u32(0); // no next IFD
    tiff.append(makeText);
    return QByteArray("Exif\0\0", 6) + tiff;
}

// The EXIF orientation in IFD0 of a JPEG file's data; none when there is no such tag.
inline std::optional<int> exifOrientation(const QByteArray& jpeg) {
    const auto parts = splitJpeg(jpeg);
    if (!parts) {
        return std::nullopt;
    }
    for (const Segment& segment : parts->segments) {
        if (!isExif(segment)) {
            continue;
        }
        const QByteArray tiff = segment.payload.mid(6);
        if (tiff.size() < 8) {
            return std::nullopt;
        }
        const bool little = tiff.startsWith("II");
        const auto u16 = [&](qsizetype at) -> quint32 {
            const auto* p = reinterpret_cast<const uchar*>(tiff.constData() + at);
            return little ? qFromLittleEndian<quint16>(p) : qFromBigEndian<quint16>(p);
        };
        const auto u32 = [&](qsizetype at) -> quint32 {
            const auto* p = reinterpret_cast<const uchar*>(tiff.constData() + at);
            return little ? qFromLittleEndian<quint32>(p) : qFromBigEndian<quint32>(p);
        };
        const qsizetype ifd = u32(4);
        if (ifd + 2 > tiff.size()) {
            return std::nullopt;
        }
        const quint32 count = u16(ifd);
        for (quint32 i = 0; i < count; ++i) {
            const qsizetype entry = ifd + 2 + qsizetype(i) * 12;
            if (entry + 12 > tiff.size()) {
                return std::nullopt;
            }
            if (u16(entry) == 0x0112) {
                return int(u16(entry + 8));
            }
        }
    }
    return std::nullopt;
}

// The ICC profile carried in a JPEG file's APP2 segments, joined in order; empty when none.
inline QByteArray iccProfile(const QByteArray& jpeg) {
    QByteArray profile;
    const auto parts = splitJpeg(jpeg);
    if (parts) {
        for (const Segment& segment : parts->segments) {
            if (isIcc(segment)) {
                profile += segment.payload.mid(14);
            }
        }
    }
    return profile;
}

// The first EXIF segment's payload; empty when none.
inline QByteArray exifBlock(const QByteArray& jpeg) {
    const auto parts = splitJpeg(jpeg);
    if (parts) {
        for (const Segment& segment : parts->segments) {
            if (isExif(segment)) {
                return segment.payload;
            }
        }
    }
    return {};
}

// The JPEG with its EXIF replaced by the given payload (placed first, as cameras do).
inline QByteArray withExif(const QByteArray& jpeg, const QByteArray& exif) {
    auto parts = splitJpeg(jpeg);
    if (!parts) {
        return {};
    }
    parts->segments.removeIf([](const Segment& s) { return isExif(s); });
    parts->segments.prepend({0xE1, exif});
    return joinJpeg(*parts);
}

// The JPEG with its ICC profile replaced by the given one (a single APP2 segment).
inline QByteArray withIcc(const QByteArray& jpeg, const QByteArray& profile) {
    auto parts = splitJpeg(jpeg);
    if (!parts) {
        return {};
    }
    parts->segments.removeIf([](const Segment& s) { return isIcc(s); });
    parts->segments.append({0xE2, QByteArray("ICC_PROFILE\0\x01\x01", 14) + profile});
    return joinJpeg(*parts);
}

// A small ICC profile (Display P3, libvips' own) to embed in test photos; empty on failure.
inline QByteArray displayP3Profile(const QString& scratchFolder) {
    const QString png = scratchFolder + QStringLiteral("/icc-source.png");
    const QString jpeg = scratchFolder + QStringLiteral("/icc-source.jpg");
    if (!run(magickTool(QStringLiteral("convert")),
             {QStringLiteral("-size"), QStringLiteral("8x8"), QStringLiteral("xc:#808080"),
              QStringLiteral("PNG24:") + png}) ||
        !run(QStringLiteral("vips"),
             {QStringLiteral("icc_transform"), png, jpeg, QStringLiteral("p3"),
              QStringLiteral("--input-profile"), QStringLiteral("srgb")})) {
        return {};
    }
    return iccProfile(readAll(jpeg));
}

// The JPEG with an XMP packet of the given payload length (for padding files to a size).
inline QByteArray withXmpPadding(const QByteArray& jpeg, int length) {
    auto parts = splitJpeg(jpeg);
    if (!parts) {
        return {};
    }
    parts->segments.removeIf([](const Segment& s) { return isXmp(s); });
    parts->segments.append(
        {0xE1, QByteArray("http://ns.adobe.com/xap/1.0/\0", 29) + QByteArray(length, 'x')});
    return joinJpeg(*parts);
}

} // namespace testimages
