#include "util/ImageHeader.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <optional>
#include <utility>
#include <vector>
#include <zlib.h>

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

class MemorySource : public ImageByteSource {
public:
    explicit MemorySource(QByteArray data) : bytes(std::move(data)) {}
    qint64 size() const override { return bytes.size(); }
    QByteArray read(qint64 offset, qint64 length) override {
        if (offset < 0 || length <= 0 || offset >= bytes.size()) {
            return {};
        }
        return bytes.mid(offset, std::min(length, bytes.size() - offset));
    }

private:
    QByteArray bytes;
};

// Pieces of another source read as one: a colour profile split over several JPEG segments.
class SpanSource : public ImageByteSource {
public:
    SpanSource(ImageByteSource& parent, std::vector<std::pair<qint64, qint64>> pieces)
        : source(parent), spans(std::move(pieces)) {
        for (const auto& span : spans) {
            total += span.second;
        }
    }
    qint64 size() const override { return total; }
    QByteArray read(qint64 offset, qint64 length) override {
        QByteArray out;
        qint64 at = 0;
        for (const auto& [start, span] : spans) {
            if (length <= 0) {
                break;
            }
            if (offset < at + span) {
                const qint64 inside = std::max<qint64>(0, offset - at);
                const qint64 take = std::min(length, span - inside);
                const QByteArray piece = source.read(start + inside, take);
                out += piece;
                if (piece.size() < take) {
                    break;
                }
                offset += take;
                length -= take;
            }
            at += span;
        }
        return out;
    }

private:
    ImageByteSource& source;
    std::vector<std::pair<qint64, qint64>> spans;
    qint64 total = 0;
};

// One TIFF structure (a TIFF file, the EXIF block of a JPEG, the MPF index): its byte order
// and the entries of one directory.
struct TiffEntry {
    quint32 tag = 0;
    quint32 type = 0;
    quint32 count = 0;
    QByteArray field; // the 4 bytes of the value field
};

struct TiffStructure {
    ImageByteSource& source;
    qint64 base = 0;
    bool little = false;

    quint32 get16(const QByteArray& b, qsizetype i) const {
        return little ? (u8(b, i) | (u8(b, i + 1) << 8)) : be16(b, i);
    }
    quint32 get32(const QByteArray& b, qsizetype i) const {
        return little ? (get16(b, i) | (get16(b, i + 2) << 16)) : be32(b, i);
    }
    static int typeSize(quint32 type) {
        switch (type) {
        case 3:
        case 8:
            return 2;
        case 4:
        case 9:
        case 11:
        case 13:
            return 4;
        case 5:
        case 10:
        case 12:
            return 8;
        default:
            return 1;
        }
    }
    // The first value of an entry (SHORT or LONG), where it sits in the value field.
    quint32 first(const TiffEntry& e) const {
        return e.type == 3 ? get16(e.field, 0) : get32(e.field, 0);
    }
    // Where an entry's values are: in its field, or at the offset the field holds.
    qint64 valuesAt(const TiffEntry& e, qint64 fieldAt) const {
        return qint64(e.count) * typeSize(e.type) <= 4 ? fieldAt : base + get32(e.field, 0);
    }
    // Up to max of an entry's SHORT or LONG values.
    std::vector<quint32> values(const TiffEntry& e, qint64 fieldAt, quint32 max) const {
        std::vector<quint32> out;
        if (e.count == 0 || e.count > max || (e.type != 3 && e.type != 4)) {
            return out;
        }
        const int width = typeSize(e.type);
        const QByteArray bytes = qint64(e.count) * width <= 4
                                     ? e.field
                                     : source.read(valuesAt(e, fieldAt), qint64(e.count) * width);
        if (bytes.size() < qint64(e.count) * width) {
            return out;
        }
        out.reserve(e.count);
        for (quint32 i = 0; i < e.count; ++i) {
            out.push_back(width == 2 ? get16(bytes, qsizetype(i) * 2)
                                     : get32(bytes, qsizetype(i) * 4));
        }
        return out;
    }
};

// The header at base: byte order, the 42 and the first directory's offset. bigTiff is set for
// the 64-bit layout (43), which is not read further.
std::optional<quint32> readTiffHeader(TiffStructure& tiff, bool* bigTiff = nullptr) {
    const QByteArray header = tiff.source.read(tiff.base, 8);
    if (header.size() < 8) {
        return std::nullopt;
    }
    if (startsWith(header, 0, "II")) {
        tiff.little = true;
    } else if (startsWith(header, 0, "MM")) {
        tiff.little = false;
    } else {
        return std::nullopt;
    }
    const quint32 version = tiff.get16(header, 2);
    if (version == 43 && bigTiff != nullptr) {
        *bigTiff = true;
    }
    if (version != 42) {
        return std::nullopt;
    }
    return tiff.get32(header, 4);
}

// The entries of the directory at offset (from base), each with where its value field is.
bool readTiffDirectory(const TiffStructure& tiff, quint32 offset,
                       std::vector<std::pair<TiffEntry, qint64>>& entries) {
    const qint64 at = tiff.base + offset;
    const QByteArray countBytes = tiff.source.read(at, 2);
    if (countBytes.size() < 2) {
        return false;
    }
    const int count = static_cast<int>(tiff.get16(countBytes, 0));
    const QByteArray bytes = tiff.source.read(at + 2, qint64(count) * 12);
    if (bytes.size() < qint64(count) * 12) {
        return false;
    }
    entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        const qsizetype e = qsizetype(i) * 12;
        TiffEntry entry;
        entry.tag = tiff.get16(bytes, e);
        entry.type = tiff.get16(bytes, e + 2);
        entry.count = tiff.get32(bytes, e + 4);
        entry.field = bytes.mid(e + 8, 4);
        entries.emplace_back(entry, at + 2 + e + 8);
    }
    return true;
}

// Directory 0 of a TIFF file or of a JPEG's EXIF block.
struct TiffIfd {
    int width = 0;
    int height = 0;
    int bitsPerSample = 0;
    int samplesPerPixel = 0;
    int photometric = -1;
    int orientation = 1;
    bool extraSamples = false;
    bool bigTiff = false;
    // Where the picture data ends by the strips' or tiles' offsets and byte counts; 0 unknown.
    qint64 dataEnd = 0;
    // The embedded colour profile (tag 34675): offset and length.
    qint64 profileAt = 0;
    qint64 profileLength = 0;
    bool ok = false;
};

// More strips or tiles than this are not checked against the file's size (no camera or scanner
// writes so many; reading their tables would cost more than the check is worth).
constexpr quint32 kMaxPieces = 1 << 18;

TiffIfd readTiffIfd0(ImageByteSource& source, qint64 base, bool withData) {
    TiffIfd ifd;
    TiffStructure tiff{source, base};
    const std::optional<quint32> first = readTiffHeader(tiff, &ifd.bigTiff);
    std::vector<std::pair<TiffEntry, qint64>> entries;
    if (!first || !readTiffDirectory(tiff, *first, entries)) {
        return ifd;
    }
    const std::pair<TiffEntry, qint64>* offsets = nullptr;
    const std::pair<TiffEntry, qint64>* counts = nullptr;
    for (const auto& item : entries) {
        const TiffEntry& e = item.first;
        switch (e.tag) {
        case 256:
            ifd.width = static_cast<int>(tiff.first(e));
            break;
        case 257:
            ifd.height = static_cast<int>(tiff.first(e));
            break;
        case 258: {
            // One value per sample; the first tells the depth.
            const std::vector<quint32> bits = tiff.values(e, item.second, 16);
            ifd.bitsPerSample = bits.empty() ? 0 : static_cast<int>(bits.front());
            break;
        }
        case 262:
            ifd.photometric = static_cast<int>(tiff.first(e));
            break;
        case 274:
            ifd.orientation = static_cast<int>(tiff.first(e));
            break;
        case 277:
            ifd.samplesPerPixel = static_cast<int>(tiff.first(e));
            break;
        case 338:
            ifd.extraSamples = e.count > 0;
            break;
        case 273: // strips
        case 324: // tiles
            offsets = &item;
            break;
        case 279:
        case 325:
            counts = &item;
            break;
        case 34675:
            if (e.count > 4) {
                ifd.profileAt = tiff.valuesAt(e, item.second);
                ifd.profileLength = e.count;
            }
            break;
        default:
            break;
        }
    }
    if (withData && offsets != nullptr && counts != nullptr &&
        offsets->first.count == counts->first.count) {
        const std::vector<quint32> at = tiff.values(offsets->first, offsets->second, kMaxPieces);
        const std::vector<quint32> length = tiff.values(counts->first, counts->second, kMaxPieces);
        if (!at.empty() && at.size() == length.size()) {
            for (size_t i = 0; i < at.size(); ++i) {
                ifd.dataEnd = std::max(ifd.dataEnd, base + qint64(at[i]) + qint64(length[i]));
            }
        }
    }
    if (ifd.orientation < 1 || ifd.orientation > 8) {
        ifd.orientation = 1;
    }
    ifd.ok = true;
    return ifd;
}

// Inflates at most limit bytes of a zlib stream (a PNG's compressed profile).
QByteArray inflateSome(const QByteArray& compressed, qsizetype limit) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return {};
    }
    QByteArray out(limit, Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.constData()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&stream, Z_FINISH);
    const qsizetype produced = out.size() - stream.avail_out;
    inflateEnd(&stream);
    if (result != Z_STREAM_END && result != Z_BUF_ERROR && result != Z_OK) {
        return {};
    }
    out.truncate(produced);
    return out;
}

void takeProfile(ImageByteSource& profile, ImageHeaderFacts& facts) {
    const IccProfileFacts icc = parseIccProfile(profile);
    if (icc.ok) {
        facts.hasProfile = true;
        facts.profileColourSpace = icc.colourSpace;
        facts.profileName = icc.description;
    }
}

bool isSof(quint8 marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// How far stray bytes between segments are skipped looking for the next marker.
constexpr qint64 kMaxResync = 1024 * 1024;
// How much zero padding after the end marker is looked through.
constexpr qint64 kMaxPadding = 4 * 1024 * 1024;

// The offset of the next marker's 0xFF at or after pos: stray bytes are skipped, as a decoder
// does with a warning. -1 when none follows within reach; *atEnd tells it was the file's end.
qint64 nextMarker(ImageByteSource& source, qint64 pos, bool* atEnd) {
    const qint64 limit = std::min(source.size(), pos + kMaxResync);
    *atEnd = limit == source.size();
    while (pos + 1 < limit) {
        const QByteArray chunk = source.read(pos, std::min<qint64>(4096, limit - pos));
        if (chunk.size() < 2) {
            break;
        }
        for (qsizetype i = 0; i + 1 < chunk.size(); ++i) {
            if (u8(chunk, i) == 0xFF && u8(chunk, i + 1) != 0x00 && u8(chunk, i + 1) != 0xFF) {
                return pos + i;
            }
        }
        pos += chunk.size() - 1; // a 0xFF at the chunk's end pairs with the next chunk
    }
    return -1;
}

// A number given in XMP either as an attribute (name="123") or an element (<name>123<).
qint64 xmpNumber(const QByteArray& xmp, qsizetype from, const char* name) {
    const qsizetype at = xmp.indexOf(name, from);
    if (at < 0) {
        return -1;
    }
    qsizetype i = at + qstrlen(name);
    while (i < xmp.size() && (xmp.at(i) == '=' || xmp.at(i) == '"' || xmp.at(i) == '\'' ||
                              xmp.at(i) == '>' || xmp.at(i) == ' ')) {
        ++i;
    }
    qint64 value = 0;
    bool any = false;
    while (i < xmp.size() && xmp.at(i) >= '0' && xmp.at(i) <= '9' && value < (qint64(1) << 50)) {
        value = value * 10 + (xmp.at(i) - '0');
        any = true;
        ++i;
    }
    return any ? value : -1;
}

// Where a motion photo's primary picture ends by its XMP: the video's offset from the end of
// the file (older phones), or the container directory's items after the primary (newer ones).
std::vector<qint64> primaryEndsFromXmp(const QByteArray& xmp, qint64 fileSize) {
    std::vector<qint64> ends;
    const qint64 offset = xmpNumber(xmp, 0, "MicroVideoOffset");
    if (offset > 0 && offset < fileSize) {
        ends.push_back(fileSize - offset);
    }
    qint64 after = 0;
    bool secondary = false;
    for (qsizetype at = xmp.indexOf("Container:Item"); at >= 0;
         at = xmp.indexOf("Container:Item", at + 1)) {
        const qsizetype next = xmp.indexOf("Container:Item", at + 1);
        const QByteArray item = xmp.mid(at, next < 0 ? -1 : next - at);
        if (item.contains("Semantic=\"Primary\"") || !item.contains("Item:Length")) {
            continue;
        }
        const qint64 length = xmpNumber(item, 0, "Item:Length");
        if (length > 0) {
            after += length;
            secondary = true;
        }
    }
    if (secondary && after < fileSize) {
        ends.push_back(fileSize - after);
    }
    return ends;
}

// The primary picture's size from the MPF index (its first entry), or 0.
qint64 primaryEndFromMpf(ImageByteSource& source, qint64 tiffBase) {
    TiffStructure tiff{source, tiffBase};
    const std::optional<quint32> first = readTiffHeader(tiff);
    std::vector<std::pair<TiffEntry, qint64>> entries;
    if (!first || !readTiffDirectory(tiff, *first, entries)) {
        return 0;
    }
    for (const auto& [entry, fieldAt] : entries) {
        if (entry.tag == 0xB002 && entry.count >= 16) {
            const QByteArray image = source.read(tiff.valuesAt(entry, fieldAt), 16);
            // Attribute, size, offset: the primary picture starts the file.
            if (image.size() == 16 && tiff.get32(image, 8) == 0) {
                return tiff.get32(image, 4);
            }
        }
    }
    return 0;
}

bool endMarkerBefore(ImageByteSource& source, qint64 end, qint64 window, qint64 notBefore) {
    const qint64 from = std::max(notBefore, end - window);
    if (end <= from) {
        return false;
    }
    const QByteArray bytes = source.read(from, end - from);
    return bytes.lastIndexOf(QByteArrayView("\xFF\xD9", 2)) >= 0;
}

void parseJpeg(ImageByteSource& source, ImageHeaderFacts& facts) {
    const qint64 size = source.size();
    qint64 pos = 2;
    int adobeTransform = -1;
    bool sawSof = false;
    qint64 scanStart = -1;
    std::vector<std::pair<int, std::pair<qint64, qint64>>> profilePieces; // sequence, span
    std::vector<qint64> primaryEnds;
    for (int n = 0; n < kMaxSegments; ++n) {
        QByteArray mark = source.read(pos, 2);
        if (mark.size() < 2) {
            facts.truncated = true; // the segments end before the picture data
            break;
        }
        if (u8(mark, 0) != 0xFF || u8(mark, 1) == 0x00) {
            bool atEnd = false;
            const qint64 next = nextMarker(source, pos, &atEnd);
            if (next < 0) {
                (atEnd ? facts.truncated : facts.damaged) = true;
                break;
            }
            facts.strayBytes += next - pos;
            pos = next;
            continue;
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
            const QByteArray head = source.read(payload, 29);
            if (startsWith(head, 0, "Exif")) {
                // Only IFD0 of the EXIF block is read, where the orientation is.
                const TiffIfd ifd = readTiffIfd0(source, payload + 6, false);
                if (ifd.ok) {
                    facts.orientation = ifd.orientation;
                }
            } else if (startsWith(head, 0, "http://ns.adobe.com/xap/1.0/")) {
                // The motion-photo pointers sit in the first few kilobytes of the packet.
                const QByteArray xmp = source.read(payload, std::min<qint64>(payloadLength, 65536));
                for (qint64 end : primaryEndsFromXmp(xmp, size)) {
                    primaryEnds.push_back(end);
                }
            }
        } else if (marker == 0xE2 && payloadLength > 14) {
            const QByteArray head = source.read(payload, 14);
            if (startsWith(head, 0, "ICC_PROFILE")) {
                profilePieces.push_back({u8(head, 12), {payload + 14, payloadLength - 14}});
            } else if (startsWith(head, 0, "MPF")) {
                if (const qint64 end = primaryEndFromMpf(source, payload + 4); end > 0) {
                    primaryEnds.push_back(end);
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
    if (!profilePieces.empty()) {
        // The pieces in their sequence order, whatever order the segments came in.
        std::stable_sort(profilePieces.begin(), profilePieces.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<std::pair<qint64, qint64>> spans;
        for (const auto& piece : profilePieces) {
            spans.push_back(piece.second);
        }
        SpanSource profile(source, std::move(spans));
        takeProfile(profile, facts);
    }
    if (scanStart >= 0) {
        // The picture data runs to the end marker, after the scan began (a thumbnail's own end
        // marker earlier in the file does not count). Where the file carries more after the
        // picture (a motion photo's video, further pictures), its own pointers say where the
        // picture ends; zeros a tool padded the file with are passed over.
        bool ended = false;
        for (qint64 end : primaryEnds) {
            if (end > scanStart && end <= size && endMarkerBefore(source, end, 64, scanStart)) {
                ended = true;
                break;
            }
        }
        qint64 end = size;
        while (!ended && end > scanStart) {
            const qint64 from = std::max(scanStart, end - kTailBytes);
            const QByteArray tail = source.read(from, end - from);
            qsizetype last = tail.size();
            while (last > 0 && tail.at(last - 1) == '\0') {
                --last;
            }
            if (last > 0 || from == scanStart || size - from > kMaxPadding) {
                // Mostly the marker is in the bytes at hand; only what padding hid is read.
                ended = tail.left(last).lastIndexOf(QByteArrayView("\xFF\xD9", 2)) >= 0 ||
                        (last < kTailBytes && from > scanStart &&
                         endMarkerBefore(source, from + last, kTailBytes, scanStart));
                break;
            }
            end = from; // all zeros: padding goes on further back
        }
        if (!ended) {
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
    // A transparency chunk before the picture data makes any colour type transparent; the
    // colour profile is there too.
    qint64 pos = 8;
    for (int n = 0; n < kMaxSegments && pos + 8 <= source.size(); ++n) {
        const QByteArray chunk = source.read(pos, 8);
        if (chunk.size() < 8) {
            break;
        }
        const qint64 length = be32(chunk, 0);
        if (startsWith(chunk, 4, "tRNS")) {
            facts.alpha = true;
        } else if (startsWith(chunk, 4, "iCCP") && length < 4 * 1024 * 1024) {
            // Name, a zero, the method (0, zlib), the compressed profile.
            const QByteArray data = source.read(pos + 8, length);
            const qsizetype nul = data.indexOf('\0');
            if (nul > 0 && nul + 2 < data.size()) {
                MemorySource profile(inflateSome(data.mid(nul + 2), 4 * 1024 * 1024));
                takeProfile(profile, facts);
            }
        }
        if (startsWith(chunk, 4, "IDAT")) {
            break;
        }
        pos += 12 + length;
    }
    const qint64 tailStart = std::max<qint64>(0, source.size() - kTailBytes);
    const QByteArray tail = source.read(tailStart, source.size() - tailStart);
    if (!tail.contains("IEND")) {
        facts.truncated = true;
    }
}

void parseTiff(ImageByteSource& source, ImageHeaderFacts& facts) {
    const TiffIfd ifd = readTiffIfd0(source, 0, true);
    if (ifd.bigTiff) {
        facts.bigTiff = true;
        return;
    }
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
    // The directory may come first and the picture data after it: a file cut short keeps its
    // directory, and only the strips' places tell that their data is missing.
    if (ifd.dataEnd > source.size()) {
        facts.truncated = true;
    }
    if (ifd.profileLength > 0) {
        SpanSource profile(source, {{ifd.profileAt, ifd.profileLength}});
        takeProfile(profile, facts);
    }
}

ImageKind sniff(const QByteArray& b) {
    if (b.size() >= 3 && u8(b, 0) == 0xFF && u8(b, 1) == 0xD8 && u8(b, 2) == 0xFF) {
        return ImageKind::Jpeg;
    }
    if (startsWith(b, 0, "\x89PNG\r\n\x1A\n")) {
        return ImageKind::Png;
    }
    // Classic TIFF (42) and the 64-bit BigTIFF (43).
    if (b.size() >= 4 &&
        ((startsWith(b, 0, "II") && u8(b, 3) == 0 && (u8(b, 2) == 0x2A || u8(b, 2) == 0x2B)) ||
         (startsWith(b, 0, "MM") && u8(b, 2) == 0 && (u8(b, 3) == 0x2A || u8(b, 3) == 0x2B)))) {
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
    // Sizes no camera or scanner makes are a damaged header, not a picture to print.
    constexpr qint64 kMaxSide = 100000;
    constexpr qint64 kMaxPixels = 2000000000;
    if (facts.width > kMaxSide || facts.height > kMaxSide ||
        qint64(facts.width) * facts.height > kMaxPixels) {
        facts.implausibleSize = true;
        facts.damaged = true;
    }
    return facts;
}

IccProfileFacts parseIccProfile(ImageByteSource& profile) {
    IccProfileFacts icc;
    const QByteArray header = profile.read(0, 132);
    if (header.size() < 132 || !startsWith(header, 36, "acsp")) {
        return icc;
    }
    icc.ok = true;
    icc.majorVersion = u8(header, 8);
    icc.colourSpace = header.mid(16, 4);
    const quint32 tags = std::min<quint32>(be32(header, 128), 200);
    const QByteArray table = profile.read(132, qint64(tags) * 12);
    for (quint32 i = 0; i + 1 <= tags && qsizetype(i + 1) * 12 <= table.size(); ++i) {
        const qsizetype e = qsizetype(i) * 12;
        if (!startsWith(table, e, "desc")) {
            continue;
        }
        const QByteArray tag =
            profile.read(be32(table, e + 4), std::min<quint32>(be32(table, e + 8), 65536));
        if (startsWith(tag, 0, "desc")) {
            // Version 2: a counted ASCII text.
            const quint32 count = be32(tag, 8);
            QByteArray text = tag.mid(12, std::min<qint64>(count, tag.size() - 12));
            const qsizetype nul = text.indexOf('\0');
            if (nul >= 0) {
                text.truncate(nul);
            }
            icc.description = QString::fromLatin1(text).trimmed();
        } else if (startsWith(tag, 0, "mluc")) {
            // Version 4: texts by language, UTF-16BE; English where there is one.
            const quint32 records = std::min<quint32>(be32(tag, 8), 100);
            const quint32 recordSize = be32(tag, 12);
            qsizetype chosen = -1;
            for (quint32 r = 0; r < records && recordSize >= 12; ++r) {
                const qsizetype at = 16 + qsizetype(r) * recordSize;
                if (at + 12 > tag.size()) {
                    break;
                }
                if (chosen < 0 || startsWith(tag, at, "en")) {
                    chosen = at;
                    if (startsWith(tag, at, "en")) {
                        break;
                    }
                }
            }
            if (chosen >= 0) {
                const QByteArray text = tag.mid(be32(tag, chosen + 8), be32(tag, chosen + 4));
                QString decoded;
                for (qsizetype c = 0; c + 1 < text.size(); c += 2) {
                    const char16_t unit = char16_t(be16(text, c));
                    if (unit == 0) {
                        break;
                    }
                    decoded.append(QChar(unit));
                }
                icc.description = decoded.trimmed();
            }
        }
        break;
    }
    return icc;
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
