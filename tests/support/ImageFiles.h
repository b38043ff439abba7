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

// A JPEG segment (marker and its length before payload), inserted after the start marker.
QByteArray jpegSegment(quint8 marker, const QByteArray& payload);
bool insertAfterStart(const QString& jpegPath, const QByteArray& bytes);
// Inserts bytes right before the first segment with this marker.
bool insertBeforeMarker(const QString& jpegPath, quint8 marker, const QByteArray& bytes);
// Embeds a colour profile as APP2 "ICC_PROFILE" segments, split in pieces of at most
// pieceSize bytes, written in reverse order when shuffled (readers must follow the sequence).
bool embedJpegProfile(const QString& jpegPath, const QByteArray& profile, int pieceSize = 60000,
                      bool shuffled = false);
// A version 4 ICC profile of this colour space ("RGB ") whose description ('mluc') holds a
// Japanese text first and the English one after it.
QByteArray iccProfileV4(const QByteArray& colourSpace, const QString& english,
                        const QString& japanese);
// An XMP packet as an APP1 payload.
QByteArray xmpPayload(const QString& description);
// Something like a phone's motion-photo video: an MP4 "ftyp" box and an "mdat" box of
// bytes bytes without any 0xFF.
QByteArray mp4Like(qint64 bytes);
// Rewrites a little-endian TIFF with its directory first: header, directory, its values, then
// the strips (as a scanner's or an older tool's files are laid out).
bool tiffDirectoryFirst(const QString& source, const QString& target);

} // namespace ImageFiles
