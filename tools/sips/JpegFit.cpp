#include "JpegFit.h"

#include "BandQueue.h"
#include "FitGeometry.h"
#include "RowResample.h"
#include "ScratchFile.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <sched.h>
#include <system_error>
#include <thread>
#include <vector>
// libjpeg's header needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace {

// --- Errors: libjpeg reports through callbacks; a jump back to the one place that called it ---

struct JumpingErrors {
    jpeg_error_mgr base{};
    std::jmp_buf jump{};
    bool warned = false;
    char message[JMSG_LENGTH_MAX] = {};
};

extern "C" void jumpOnError(j_common_ptr info) {
    auto* errors = reinterpret_cast<JumpingErrors*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// A warning (corrupt data, a premature end of the file) ends the fast road as well: the libvips
// road judges such photos.
extern "C" void jumpOnWarning(j_common_ptr info, int level) {
    if (level < 0) {
        auto* errors = reinterpret_cast<JumpingErrors*>(info->err);
        errors->warned = true;
        std::longjmp(errors->jump, 1);
    }
}

// --- Metadata kept from the source ---

bool startsWith(const jpeg_saved_marker_ptr marker, const char* prefix, unsigned length) {
    return marker->data_length >= length && std::memcmp(marker->data, prefix, length) == 0;
}

bool isExif(const jpeg_saved_marker_ptr marker) {
    return marker->marker == JPEG_APP0 + 1 && startsWith(marker, "Exif\0\0", 6);
}

// The TIFF structure inside an EXIF block, read and patched in place.
class TiffView {
public:
    TiffView(JOCTET* data, unsigned length) : data_(data), length_(length) {
        littleEndian_ = length_ >= 8 && data_[0] == 'I' && data_[1] == 'I';
        valid_ = length_ >= 8 && (littleEndian_ || (data_[0] == 'M' && data_[1] == 'M')) &&
                 get16(2) == 42;
    }
    bool valid() const { return valid_; }
    unsigned firstIfd() const { return get32(4); }

    // Calls visit(tag, type, count, entryOffset) for each entry of the IFD at offset.
    template <typename Visit>
    void forEachEntry(unsigned offset, Visit visit) const {
        if (!valid_ || offset + 2 > length_) {
            return;
        }
        const unsigned count = get16(offset);
        for (unsigned i = 0; i < count; ++i) {
            const unsigned entry = offset + 2 + i * 12;
            if (entry + 12 > length_) {
                return;
            }
            visit(get16(entry), get16(entry + 2), get32(entry + 4), entry);
        }
    }
    unsigned get16(unsigned at) const {
        if (at + 2 > length_) {
            return 0;
        }
        return littleEndian_ ? unsigned(data_[at]) | unsigned(data_[at + 1]) << 8
                             : unsigned(data_[at]) << 8 | unsigned(data_[at + 1]);
    }
    unsigned get32(unsigned at) const {
        if (at + 4 > length_) {
            return 0;
        }
        return littleEndian_ ? get16(at) | get16(at + 2) << 16 : get16(at) << 16 | get16(at + 2);
    }
    void put16(unsigned at, unsigned value) {
        if (at + 2 > length_) {
            return;
        }
        data_[at + (littleEndian_ ? 0 : 1)] = JOCTET(value & 0xFF);
        data_[at + (littleEndian_ ? 1 : 0)] = JOCTET((value >> 8) & 0xFF);
    }
    void put32(unsigned at, unsigned value) {
        put16(at + (littleEndian_ ? 0 : 2), value & 0xFFFF);
        put16(at + (littleEndian_ ? 2 : 0), value >> 16);
    }

private:
    JOCTET* data_;
    unsigned length_;
    bool littleEndian_ = false;
    bool valid_ = false;
};

constexpr unsigned kTagOrientation = 0x0112;
constexpr unsigned kTagExifIfd = 0x8769;
constexpr unsigned kTagPixelX = 0xA002;
constexpr unsigned kTagPixelY = 0xA003;
constexpr unsigned kTypeShort = 3;
constexpr unsigned kTypeLong = 4;

int exifOrientation(const jpeg_saved_marker_ptr exif) {
    const TiffView tiff(exif->data + 6, exif->data_length - 6);
    int orientation = 1;
    tiff.forEachEntry(tiff.firstIfd(),
                      [&](unsigned tag, unsigned type, unsigned count, unsigned entry) {
                          if (tag == kTagOrientation && type == kTypeShort && count == 1) {
                              orientation = int(tiff.get16(entry + 8));
                          }
                      });
    return orientation;
}

// The EXIF pixel dimensions describe the new picture.
void updateExifDimensions(const jpeg_saved_marker_ptr exif, int width, int height) {
    TiffView tiff(exif->data + 6, exif->data_length - 6);
    unsigned exifIfd = 0;
    tiff.forEachEntry(tiff.firstIfd(), [&](unsigned tag, unsigned, unsigned, unsigned entry) {
        if (tag == kTagExifIfd) {
            exifIfd = tiff.get32(entry + 8);
        }
    });
    if (exifIfd == 0) {
        return;
    }
    tiff.forEachEntry(exifIfd, [&](unsigned tag, unsigned type, unsigned count, unsigned entry) {
        if ((tag != kTagPixelX && tag != kTagPixelY) || count != 1) {
            return;
        }
        const unsigned value = unsigned(tag == kTagPixelX ? width : height);
        if (type == kTypeShort && value <= 0xFFFF) {
            tiff.put16(entry + 8, value);
        } else if (type == kTypeLong) {
            tiff.put32(entry + 8, value);
        }
    });
}

// --- The encoding half: resampled to the exact size and compressed, band by band ---

// Fed the decoded rows in order, a band at a time. On a machine with a second core it runs on
// its own thread, so that compressing one band overlaps decoding the next, as a decoder and an
// encoder joined by a pipe would; otherwise the decoding thread calls it itself. Every libjpeg
// error inside it jumps back to the method that called libjpeg, on whichever thread that is.
class Encoder {
public:
    Encoder() = default;
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
    ~Encoder() {
        if (created_) {
            jpeg_destroy_compress(&out_);
        }
    }

    // Writes the header and the kept markers of in (read, not yet started) to target.
    bool begin(jpeg_decompress_struct& in, std::FILE* target, J_COLOR_SPACE space, int channels,
               int decodedWidth, int decodedHeight, FittedSize size, int quality) {
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        out_.err = jpeg_std_error(&errors_.base);
        errors_.base.error_exit = jumpOnError;
        jpeg_create_compress(&out_);
        created_ = true;
        jpeg_stdio_dest(&out_, target);
        out_.image_width = JDIMENSION(size.width);
        out_.image_height = JDIMENSION(size.height);
        out_.input_components = channels;
        out_.in_color_space = space;
        jpeg_set_defaults(&out_);
        jpeg_set_quality(&out_, quality, TRUE);
        if (space != JCS_GRAYSCALE && quality >= 90) {
            // Full-resolution colour from 90 up, as the libvips road writes it.
            for (int c = 0; c < out_.num_components; ++c) {
                out_.comp_info[c].h_samp_factor = 1;
                out_.comp_info[c].v_samp_factor = 1;
            }
        }
        if (in.saw_JFIF_marker) {
            out_.density_unit = in.density_unit;
            out_.X_density = in.X_density;
            out_.Y_density = in.Y_density;
        }
        jpeg_start_compress(&out_, TRUE);
        for (jpeg_saved_marker_ptr m = in.marker_list; m != nullptr; m = m->next) {
            if (isExif(m)) {
                updateExifDimensions(m, size.width, size.height);
            }
            jpeg_write_marker(&out_, m->marker, m->data, m->data_length);
        }
        channels_ = channels;
        height_ = size.height;
        width_ = size.width;
        across_ = AcrossResampler(decodedWidth, size.width, channels);
        down_ = axisWeights(decodedHeight, size.height);
        decodedRowSamples_ = std::size_t(decodedWidth) * std::size_t(channels);
        const std::size_t rowSamples = std::size_t(size.width) * std::size_t(channels);
        ring_.assign(std::size_t(down_.taps), std::vector<JSAMPLE>(rowSamples));
        outRow_.resize(rowSamples);
        rowPointers_.resize(std::size_t(down_.taps));
        return true;
    }

    // The next rows decoded, rows of them one after another in samples.
    bool take(const JSAMPLE* samples, int rows) {
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        const int taps = down_.taps;
        for (int r = 0; r < rows && written_ < height_; ++r) {
            // Each decoded row is resampled across once, into the ring of the last taps rows.
            across_.resample(samples + std::size_t(r) * decodedRowSamples_,
                             ring_[std::size_t(taken_ % taps)].data());
            ++taken_;
            // Every output row whose rows are all there now; a ring slot is reused only once
            // no output row still to come needs its row.
            while (written_ < height_ && down_.first[std::size_t(written_)] + taps <= taken_) {
                const int first = down_.first[std::size_t(written_)];
                for (int k = 0; k < taps; ++k) {
                    rowPointers_[std::size_t(k)] = ring_[std::size_t((first + k) % taps)].data();
                }
                resampleColumn(rowPointers_.data(),
                               &down_.weights[std::size_t(written_) * std::size_t(taps)], taps,
                               outRow_.data(), outRow_.size());
                JSAMPROW row = outRow_.data();
                jpeg_write_scanlines(&out_, &row, 1);
                ++written_;
            }
        }
        return true;
    }

    bool end() {
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        if (written_ < height_) {
            return false; // fewer rows came than the photo promised
        }
        jpeg_finish_compress(&out_);
        return true;
    }

    const char* message() const { return errors_.message; }

private:
    jpeg_compress_struct out_{};
    JumpingErrors errors_;
    bool created_ = false;
    int channels_ = 0;
    int width_ = 0;
    int height_ = 0;
    int taken_ = 0;   // decoded rows resampled across
    int written_ = 0; // output rows compressed
    std::size_t decodedRowSamples_ = 0;
    AcrossResampler across_;
    AxisWeights down_;
    std::vector<std::vector<JSAMPLE>> ring_; // rows resampled across, by decoded row % taps
    std::vector<JSAMPLE> outRow_;
    std::vector<const JSAMPLE*> rowPointers_;
};

// Decoded rows per band, and bands going round between the two threads. On a busy machine the
// encoding thread may wait for a core for a scheduler period or two; up to 512 rows (a quarter of
// the usual photo, about 5 MB, touched only when the encoder falls that far behind) let the
// decoder go on meanwhile instead of stalling.
constexpr int kBandRows = 16;
constexpr int kBands = 32;
// The encoding thread, once idle, is woken for four bands at a time rather than for each.
constexpr int kWakeBands = 4;

// A second thread pays only where a second core can run it.
bool hasSecondCore() {
    cpu_set_t usable;
    CPU_ZERO(&usable);
    return sched_getaffinity(0, sizeof usable, &usable) == 0 && CPU_COUNT(&usable) > 1;
}

// --- The road ---

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};

// Everything the libjpeg calls below touch, made before the jump target so that a jump skips no
// destructor.
struct Work {
    jpeg_decompress_struct in{};
    JumpingErrors inErrors;
    bool inCreated = false;
    std::unique_ptr<std::FILE, FileCloser> source;
    std::unique_ptr<std::FILE, FileCloser> target;
    Encoder encoder;
    Band single; // the one band when there is no second thread
    std::unique_ptr<BandQueue> queue;
    std::thread encoding;
    bool encoded = false; // written by the encoding thread, read after joining it

    // Ends the encoding thread, if one runs: stopped first unless it is to finish the photo.
    void joinEncoder(bool stopFirst) {
        if (encoding.joinable()) {
            if (stopFirst) {
                queue->stop();
            }
            encoding.join();
        }
    }

    ~Work() {
        joinEncoder(true); // before the encoder and the files go
        if (inCreated) {
            jpeg_destroy_decompress(&in);
        }
    }
};

void encodeBands(Work& work) {
    BandQueue& queue = *work.queue;
    while (Band* band = queue.nextBand()) {
        const bool taken = work.encoder.take(band->samples.get(), band->rows);
        queue.release(band);
        if (!taken) {
            queue.stop(); // the decoder stops at its next band
            return;
        }
    }
    work.encoded = !queue.stopped() && work.encoder.end();
}

enum class Step { Done, NotMine, DecodeFailed, EncodeFailed };

// The decoding part; libjpeg's errors in it jump back here. Only the Work's members live across
// the calls.
Step run(Work& work, const std::string& scratchPath, int fitSize, int quality) {
    if (setjmp(work.inErrors.jump) != 0) {
        return work.inErrors.warned ? Step::NotMine : Step::DecodeFailed;
    }
    jpeg_decompress_struct& in = work.in;
    in.err = jpeg_std_error(&work.inErrors.base);
    work.inErrors.base.error_exit = jumpOnError;
    work.inErrors.base.emit_message = jumpOnWarning;
    jpeg_create_decompress(&in);
    work.inCreated = true;
    jpeg_stdio_src(&in, work.source.get());
    jpeg_save_markers(&in, JPEG_APP0 + 1, 0xFFFF);  // EXIF, XMP
    jpeg_save_markers(&in, JPEG_APP0 + 2, 0xFFFF);  // ICC profile
    jpeg_save_markers(&in, JPEG_APP0 + 13, 0xFFFF); // IPTC
    jpeg_read_header(&in, TRUE);

    const bool rgb = in.jpeg_color_space == JCS_YCbCr || in.jpeg_color_space == JCS_RGB;
    const bool grey = in.jpeg_color_space == JCS_GRAYSCALE;
    if (in.data_precision != 8 || (!rgb && !grey) || in.num_components != (grey ? 1 : 3)) {
        return Step::NotMine;
    }
    for (jpeg_saved_marker_ptr m = in.marker_list; m != nullptr; m = m->next) {
        if (isExif(m) && exifOrientation(m) != 1) {
            return Step::NotMine; // turned upright by the libvips road
        }
    }

    const int width = int(in.image_width);
    const int height = int(in.image_height);
    const FittedSize target = fittedSize(width, height, fitSize);
    const J_COLOR_SPACE space = grey ? JCS_GRAYSCALE : JCS_RGB;
    in.out_color_space = space;
    in.scale_num = 1;
    in.scale_denom = unsigned(jpegShrinkOnLoad(width, height, target));
    jpeg_start_decompress(&in);
    const int channels = in.output_components;
    const std::size_t rowSamples = std::size_t(in.output_width) * std::size_t(channels);

    work.target.reset(std::fopen(scratchPath.c_str(), "wb"));
    if (!work.target ||
        !work.encoder.begin(in, work.target.get(), space, channels, int(in.output_width),
                            int(in.output_height), target, quality)) {
        return Step::EncodeFailed;
    }
    bool threaded = hasSecondCore();
    if (threaded) {
        work.queue = std::make_unique<BandQueue>(kBands, rowSamples * kBandRows, kWakeBands);
        try {
            work.encoding = std::thread(encodeBands, std::ref(work));
        } catch (const std::system_error&) {
            threaded = false; // no thread to be had: the same work on this one
        }
    }
    if (!threaded) {
        work.single = Band(rowSamples * kBandRows);
    }
    // The whole photo is read, also the rows below the last one the resample needs: a damaged
    // end is found (a warning) before anything is kept.
    while (in.output_scanline < in.output_height) {
        Band* band = threaded ? work.queue->emptyBand() : &work.single;
        if (band == nullptr) {
            return Step::EncodeFailed; // the encoding thread stopped
        }
        JSAMPROW rows[kBandRows];
        for (int r = 0; r < kBandRows; ++r) {
            rows[r] = band->samples.get() + std::size_t(r) * rowSamples;
        }
        band->rows = 0;
        while (band->rows < kBandRows && in.output_scanline < in.output_height) {
            band->rows += int(
                jpeg_read_scanlines(&in, rows + band->rows, JDIMENSION(kBandRows - band->rows)));
        }
        if (threaded) {
            work.queue->filled(band);
        } else if (!work.encoder.take(band->samples.get(), band->rows)) {
            return Step::EncodeFailed;
        }
    }
    jpeg_finish_decompress(&in);
    if (threaded) {
        work.queue->close();
        work.joinEncoder(false);
    } else {
        work.encoded = work.encoder.end();
    }
    return work.encoded ? Step::Done : Step::EncodeFailed;
}

} // namespace

JpegFitOutcome fitPlainJpeg(const std::string& sourcePath, const std::string& destination,
                            int fitSize, int quality, std::string& error) {
    Work work;
    work.source.reset(std::fopen(sourcePath.c_str(), "rbe"));
    if (!work.source) {
        return JpegFitOutcome::NotMine; // the libvips road says why
    }
    // Not a JPEG at all: handed over before libjpeg complains.
    unsigned char magic[3] = {};
    if (std::fread(magic, 1, 3, work.source.get()) != 3 || magic[0] != 0xFF || magic[1] != 0xD8 ||
        magic[2] != 0xFF || std::fseek(work.source.get(), 0, SEEK_SET) != 0) {
        return JpegFitOutcome::NotMine;
    }
    ScratchFile scratch(destination);
    if (!scratch.isOpen()) {
        error = "出力ファイルを作成できません: " + destination + " (" + scratch.error() + ")";
        return JpegFitOutcome::Failed;
    }
    const Step step = run(work, scratch.path(), fitSize, quality);
    work.joinEncoder(true); // done with the photo whatever happened, before its files close
    if (step == Step::NotMine || step == Step::DecodeFailed) {
        // The scratch file goes with its object; the libvips road decides on this photo.
        return JpegFitOutcome::NotMine;
    }
    const bool written = step == Step::Done && work.target && std::fflush(work.target.get()) == 0 &&
                         std::ferror(work.target.get()) == 0;
    work.target.reset();
    if (!written) {
        error = "画像の変換に失敗しました: " + sourcePath;
        if (work.encoder.message()[0] != '\0') {
            error += std::string(" (") + work.encoder.message() + ")";
        }
        return JpegFitOutcome::Failed;
    }
    if (!scratch.commit()) {
        error = "出力ファイルを保存できません: " + destination + " (" + scratch.error() + ")";
        return JpegFitOutcome::Failed;
    }
    return JpegFitOutcome::Done;
}
