#include "ImageFiles.h"

#include <QFile>
#include <QProcess>
#include <algorithm>

namespace ImageFiles {

bool convert(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("convert"), arguments);
    if (!process.waitForStarted(10000)) {
        return false;
    }
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool jpeg(const QString& path, int width, int height, const QStringList& extra) {
    return convert(QStringList{QStringLiteral("-size"),
                               QStringLiteral("%1x%2").arg(width).arg(height),
                               QStringLiteral("gradient:#c03020-#2050c0")} +
                   extra + QStringList{path});
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool addExifOrientation(const QString& jpegPath, int orientation) {
    QByteArray data = readBytes(jpegPath);
    if (!data.startsWith("\xFF\xD8")) {
        return false;
    }
    // Big-endian TIFF header, IFD0 at 8 with one entry: 0x0112 SHORT 1 = orientation.
    QByteArray tiff("MM\x00\x2A\x00\x00\x00\x08", 8);
    tiff += QByteArray("\x00\x01", 2);
    tiff += QByteArray("\x01\x12\x00\x03\x00\x00\x00\x01", 8);
    tiff += char(0);
    tiff += char(orientation);
    tiff += QByteArray(2, '\0');
    tiff += QByteArray(4, '\0'); // no next IFD
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = static_cast<int>(payload.size()) + 2;
    QByteArray segment("\xFF\xE1", 2);
    segment += char(length >> 8);
    segment += char(length & 0xFF);
    segment += payload;
    data.insert(2, segment);
    return writeBytes(jpegPath, data);
}

namespace {
// Offset of the first segment with this marker, walking the segments from the start.
qsizetype segmentOffset(const QByteArray& data, auto matches) {
    qsizetype pos = 2;
    while (pos + 4 <= data.size() && static_cast<quint8>(data.at(pos)) == 0xFF) {
        const quint8 marker = static_cast<quint8>(data.at(pos + 1));
        if (matches(marker)) {
            return pos;
        }
        if (marker == 0xDA) {
            break;
        }
        const int length =
            (static_cast<quint8>(data.at(pos + 2)) << 8) | static_cast<quint8>(data.at(pos + 3));
        pos += 2 + length;
    }
    return -1;
}
} // namespace

bool patchSofPrecision(const QString& jpegPath, int bits) {
    QByteArray data = readBytes(jpegPath);
    const qsizetype at =
        segmentOffset(data, [](quint8 m) { return m == 0xC0 || m == 0xC1 || m == 0xC2; });
    if (at < 0) {
        return false;
    }
    data[at + 4] = char(bits);
    return writeBytes(jpegPath, data);
}

bool patchAdobeTransform(const QString& jpegPath, int transform) {
    QByteArray data = readBytes(jpegPath);
    const qsizetype at = segmentOffset(data, [](quint8 m) { return m == 0xEE; });
    if (at < 0 || data.mid(at + 4, 5) != "Adobe") {
        return false;
    }
    data[at + 4 + 11] = char(transform);
    return writeBytes(jpegPath, data);
}

bool truncateTo(const QString& path, qint64 keep) {
    QFile file(path);
    return file.resize(keep);
}

QByteArray jpegSegment(quint8 marker, const QByteArray& payload) {
    const int length = static_cast<int>(payload.size()) + 2;
    QByteArray segment;
    segment += char(0xFF);
    segment += char(marker);
    segment += char(length >> 8);
    segment += char(length & 0xFF);
    return segment + payload;
}

bool insertAfterStart(const QString& jpegPath, const QByteArray& bytes) {
    QByteArray data = readBytes(jpegPath);
    if (!data.startsWith("\xFF\xD8")) {
        return false;
    }
    data.insert(2, bytes);
    return writeBytes(jpegPath, data);
}

bool insertBeforeMarker(const QString& jpegPath, quint8 marker, const QByteArray& bytes) {
    QByteArray data = readBytes(jpegPath);
    const qsizetype at = segmentOffset(data, [marker](quint8 m) { return m == marker; });
    if (at < 0) {
        return false;
    }
    data.insert(at, bytes);
    return writeBytes(jpegPath, data);
}

bool embedJpegProfile(const QString& jpegPath, const QByteArray& profile, int pieceSize,
                      bool shuffled) {
    const int pieces = static_cast<int>((profile.size() + pieceSize - 1) / pieceSize);
    QList<QByteArray> segments;
    for (int i = 0; i < pieces; ++i) {
        QByteArray payload("ICC_PROFILE\0", 12);
        payload += char(i + 1);
        payload += char(pieces);
        payload += profile.mid(qsizetype(i) * pieceSize, pieceSize);
        segments.append(jpegSegment(0xE2, payload));
    }
    if (shuffled) {
        std::reverse(segments.begin(), segments.end());
    }
    QByteArray all;
    for (const QByteArray& segment : segments) {
        all += segment;
    }
    return insertAfterStart(jpegPath, all);
}

namespace {
void putBe32(QByteArray& b, qsizetype at, quint32 v) {
    b[at] = char(v >> 24);
    b[at + 1] = char(v >> 16);
    b[at + 2] = char(v >> 8);
    b[at + 3] = char(v);
}
QByteArray be32(quint32 v) {
    QByteArray b(4, '\0');
    putBe32(b, 0, v);
    return b;
}
QByteArray utf16be(const QString& text) {
    QByteArray out;
    for (QChar c : text) {
        out += char(c.unicode() >> 8);
        out += char(c.unicode() & 0xFF);
    }
    return out;
}
} // namespace

QByteArray iccProfileV4(const QByteArray& colourSpace, const QString& english,
                        const QString& japanese) {
    const QByteArray ja = utf16be(japanese);
    const QByteArray en = utf16be(english);
    QByteArray mluc("mluc\0\0\0\0", 8);
    mluc += be32(2) + be32(12);
    mluc += QByteArray("jaJP") + be32(quint32(ja.size())) + be32(16 + 24);
    mluc += QByteArray("enUS") + be32(quint32(en.size())) + be32(quint32(16 + 24 + ja.size()));
    mluc += ja + en;
    QByteArray header(128, '\0');
    header.replace(4, 4, "none");
    header[8] = 4;
    header[9] = 0x30;
    header.replace(12, 4, "mntr");
    header.replace(16, 4, colourSpace.left(4));
    header.replace(20, 4, "XYZ ");
    header.replace(36, 4, "acsp");
    QByteArray profile =
        header + be32(1) + QByteArray("desc") + be32(144) + be32(quint32(mluc.size())) + mluc;
    putBe32(profile, 0, quint32(profile.size()));
    return profile;
}

QByteArray xmpPayload(const QString& description) {
    return QByteArray("http://ns.adobe.com/xap/1.0/\0", 29) +
           QStringLiteral("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
                          "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">%1"
                          "</rdf:RDF></x:xmpmeta>")
               .arg(description)
               .toUtf8();
}

QByteArray mp4Like(qint64 bytes) {
    QByteArray ftyp = be32(24) + QByteArray("ftypmp42") + be32(0) + QByteArray("isommp42");
    return ftyp + be32(quint32(bytes + 8)) + QByteArray("mdat") + QByteArray(bytes, '\x11');
}

bool tiffDirectoryFirst(const QString& source, const QString& target) {
    const QByteArray in = readBytes(source);
    if (!in.startsWith("II*")) {
        return false;
    }
    auto u16 = [&in](qsizetype i) {
        return quint32(quint8(in.at(i))) | (quint32(quint8(in.at(i + 1))) << 8);
    };
    auto u32 = [&u16](qsizetype i) { return u16(i) | (u16(i + 2) << 16); };
    auto put32 = [](QByteArray& b, qsizetype at, quint32 v) {
        for (int k = 0; k < 4; ++k) {
            b[at + k] = char(v >> (8 * k));
        }
    };
    const qsizetype ifd = u32(4);
    const int count = static_cast<int>(u16(ifd));
    auto typeSize = [](quint32 type) { return type == 3 ? 2 : type == 4 ? 4 : type == 5 ? 8 : 1; };
    // Header and directory first, then every value that does not fit its field.
    QByteArray out("II*\0", 4);
    out += QByteArray(4, '\0');
    put32(out, 4, 8);
    out += char(count & 0xFF);
    out += char(count >> 8);
    const qsizetype entries = out.size();
    out += in.mid(ifd + 2, qsizetype(count) * 12);
    out += QByteArray(4, '\0');
    qsizetype stripOffsetsAt = -1;
    qsizetype stripCountsAt = -1;
    int countsWidth = 4;
    int strips = 0;
    for (int i = 0; i < count; ++i) {
        const qsizetype e = entries + qsizetype(i) * 12;
        const quint32 tag = u16(ifd + 2 + qsizetype(i) * 12);
        const quint32 type = u16(ifd + 2 + qsizetype(i) * 12 + 2);
        const quint32 n = u32(ifd + 2 + qsizetype(i) * 12 + 4);
        const qsizetype bytes = qsizetype(n) * typeSize(type);
        qsizetype valuesAt = e + 8;
        if (bytes > 4) {
            if (out.size() % 2 != 0) {
                out += '\0';
            }
            valuesAt = out.size();
            out += in.mid(u32(ifd + 2 + qsizetype(i) * 12 + 8), bytes);
            put32(out, e + 8, quint32(valuesAt));
        }
        if (tag == 273) {
            if (type != 4) {
                return false;
            }
            stripOffsetsAt = valuesAt;
            strips = static_cast<int>(n);
        } else if (tag == 279) {
            stripCountsAt = valuesAt;
            countsWidth = typeSize(type);
        }
    }
    if (stripOffsetsAt < 0 || stripCountsAt < 0) {
        return false;
    }
    auto outU32 = [&out](qsizetype i) {
        quint32 v = 0;
        for (int k = 0; k < 4; ++k) {
            v |= quint32(quint8(out.at(i + k))) << (8 * k);
        }
        return v;
    };
    for (int s = 0; s < strips; ++s) {
        const quint32 from = outU32(stripOffsetsAt + qsizetype(s) * 4);
        const quint32 length = countsWidth == 2
                                   ? (outU32(stripCountsAt + qsizetype(s) * 2) & 0xFFFF)
                                   : outU32(stripCountsAt + qsizetype(s) * 4);
        put32(out, stripOffsetsAt + qsizetype(s) * 4, quint32(out.size()));
        out += in.mid(from, length);
    }
    return writeBytes(target, out);
}

} // namespace ImageFiles
