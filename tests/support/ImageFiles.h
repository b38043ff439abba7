#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Real picture files for tests: written by ImageMagick's convert, and, for what convert cannot
// write (12-bit JPEG, EXIF orientation, a HEIC or PDF head), patched from one of its files.
namespace ImageFiles {

// Runs "convert" with the arguments and waits for it; true when it ended well.
bool convert(const QStringList& arguments);
// A JPEG of width × height pixels (a colour gradient, so it stays RGB).
bool jpeg(const QString& path, int width, int height, const QStringList& extra = {});
bool writeBytes(const QString& path, const QByteArray& bytes);
QByteArray readBytes(const QString& path);
// Inserts an EXIF block holding only IFD0 with this orientation directly after the start marker.
bool addExifOrientation(const QString& jpegPath, int orientation);
// Sets the sample precision byte of the first frame header.
bool patchSofPrecision(const QString& jpegPath, int bits);
// Sets the colour transform byte of the Adobe block (0 CMYK/RGB, 1 YCbCr, 2 YCCK).
bool patchAdobeTransform(const QString& jpegPath, int transform);
// Keeps only the first bytes of the file.
bool truncateTo(const QString& path, qint64 keep);

} // namespace ImageFiles
