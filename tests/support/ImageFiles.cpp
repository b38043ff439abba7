#include "ImageFiles.h"

#include <QFile>
#include <QProcess>

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

} // namespace ImageFiles
