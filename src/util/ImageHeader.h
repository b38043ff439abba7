#pragma once

#include <QByteArray>
#include <QString>

// What a picture file's first bytes and last bytes tell about it, without decoding a pixel.
// Read on a worker thread; a few small reads per file (the start, the segments that matter,
// the end), never the whole file.

// The content a file's own bytes announce, whatever its name says.
enum class ImageKind { Unknown, Empty, Jpeg, Png, Tiff, Heic, Pdf, Gif, Webp, Bmp, Psd };

enum class ImageColour { Unknown, Gray, Rgb, YCbCr, Cmyk, Ycck, Palette };

struct ImageHeaderFacts {
    bool readable = false; // the file could be opened and read
    qint64 fileSize = 0;
    qint64 mtimeMs = 0; // modification time, ms since the epoch
    ImageKind kind = ImageKind::Unknown;
    int width = 0; // pixels as stored (before orientation)
    int height = 0;
    int bitsPerChannel = 0; // JPEG precision, PNG bit depth, TIFF BitsPerSample
    int channels = 0;
    ImageColour colour = ImageColour::Unknown;
    bool alpha = false;
    int orientation = 1; // EXIF / TIFF orientation 1..8
    // JPEG: no end marker at the end, or a segment runs past the end of the file (damaged, or
    // still being copied). PNG: no IEND chunk at the end.
    bool truncated = false;
    // The header was recognised but its size/structure could not be read.
    bool damaged = false;
    // A side over 100,000 pixels or over 2 gigapixels: no camera or scanner makes one, the
    // header is damaged (damaged is set too).
    bool implausibleSize = false;
    // A TIFF in the 64-bit layout, which most printing software cannot open.
    bool bigTiff = false;
    // Bytes skipped between JPEG segments to find the next marker (a decoder warns and goes on).
    qint64 strayBytes = 0;
    // The embedded colour profile, if any: its colour space ("RGB ", "GRAY", "CMYK") and the
    // description it gives of itself ("Adobe RGB (1998)"). Read from the profile's header and
    // tag table; nothing is converted.
    bool hasProfile = false;
    QByteArray profileColourSpace;
    QString profileName;

    bool hasPixelSize() const { return width > 0 && height > 0; }
    // Width and height as the picture is shown (orientations 5 to 8 swap them).
    int shownWidth() const { return orientation >= 5 ? height : width; }
    int shownHeight() const { return orientation >= 5 ? width : height; }
};

// Short Japanese-neutral names of a kind for messages ("PNG", "HEIC", "PDF").
QString imageKindName(ImageKind kind);
// The kind a file name promises by its extension (letter case ignored); Unknown for names that
// are not picture or document names (".txt", no extension), which promise nothing.
ImageKind imageKindForName(const QString& fileName);

// Reads the facts of one file: its size and time, its first bytes, the segments up to the
// picture's size, its last bytes.
ImageHeaderFacts readImageHeader(const QString& path);

// Byte access for the parser: reading at an offset, either from a file or from memory.
class ImageByteSource {
public:
    virtual ~ImageByteSource() = default;
    virtual qint64 size() const = 0;
    // Up to length bytes at offset; fewer at the end of the data.
    virtual QByteArray read(qint64 offset, qint64 length) = 0;
};

// The facts of data already at hand (tests, and the file reader above).
ImageHeaderFacts parseImageHeader(ImageByteSource& source);

// What an ICC profile's header and its description tag say (version 2 'desc' or version 4
// 'mluc'); ok is false for data that is no profile.
struct IccProfileFacts {
    bool ok = false;
    QByteArray colourSpace; // "RGB ", "GRAY", "CMYK", ...
    int majorVersion = 0;
    QString description;
};
IccProfileFacts parseIccProfile(ImageByteSource& profile);
