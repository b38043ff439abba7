#include "JpegFit.h"

#include "FitGeometry.h"
#include "ScratchFile.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>
// libjpeg's header needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace {

constexpr int kWeightBits = 14;
constexpr int kWeightOne = 1 << kWeightBits;

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

// --- Resampling: a triangle (linear) filter, separable, on 8-bit samples ---
//
// After the DCT-domain shrink what is left is a small step (6000 -> 3000 -> 2998 for the usual
// photo): a triangle widened to the reduction touches two or three input pixels per output and
// costs a quarter of a Lanczos-3, which would take as long as decoding the photo again.

double triangle(double x) {
    x = std::fabs(x);
    return x < 1.0 ? 1.0 - x : 0.0;
}

// For each output position along one axis: the first input position and integer weights (summing
// to kWeightOne) of the input positions from there on, taps of them per output.
struct AxisWeights {
    int taps = 0;
    std::vector<int> first;
    std::vector<int32_t> weights; // taps per output position
};

AxisWeights axisWeights(int in, int out) {
    AxisWeights axis;
    const double step = double(in) / double(out);
    const double stretch = std::max(1.0, step); // the filter widens when reducing
    std::vector<int> lows(static_cast<size_t>(out));
    std::vector<int> highs(static_cast<size_t>(out));
    for (int o = 0; o < out; ++o) {
        const double center = (o + 0.5) * step - 0.5;
        // Only the inputs with a weight above zero.
        lows[size_t(o)] = std::max(0, int(std::floor(center - stretch)) + 1);
        highs[size_t(o)] = std::min(in - 1, int(std::ceil(center + stretch)) - 1);
        if (highs[size_t(o)] < lows[size_t(o)]) {
            lows[size_t(o)] = highs[size_t(o)] = std::clamp(int(std::lround(center)), 0, in - 1);
        }
        axis.taps = std::max(axis.taps, highs[size_t(o)] - lows[size_t(o)] + 1);
    }
    axis.taps = std::min(axis.taps, in);
    axis.first.resize(size_t(out));
    axis.weights.assign(size_t(out) * size_t(axis.taps), 0);
    std::vector<double> w(size_t(axis.taps));
    for (int o = 0; o < out; ++o) {
        const double center = (o + 0.5) * step - 0.5;
        const int first = std::min(lows[size_t(o)], in - axis.taps);
        double sum = 0;
        for (int k = 0; k < axis.taps; ++k) {
            const int at = first + k;
            w[size_t(k)] = at <= highs[size_t(o)] ? triangle((at - center) / stretch) : 0.0;
            sum += w[size_t(k)];
        }
        int32_t* dst = &axis.weights[size_t(o) * size_t(axis.taps)];
        if (sum <= 0) {
            dst[std::clamp(int(std::lround(center)) - first, 0, axis.taps - 1)] = kWeightOne;
            axis.first[size_t(o)] = first;
            continue;
        }
        int32_t total = 0;
        int biggest = 0;
        for (int k = 0; k < axis.taps; ++k) {
            dst[k] = int32_t(std::lround(w[size_t(k)] / sum * kWeightOne));
            total += dst[k];
            if (dst[k] > dst[biggest]) {
                biggest = k;
            }
        }
        dst[biggest] += kWeightOne - total; // exact unity: flat areas stay exactly flat
        axis.first[size_t(o)] = first;
    }
    return axis;
}

inline JSAMPLE clampSample(int32_t value) {
    value = (value + (kWeightOne >> 1)) >> kWeightBits;
    return JSAMPLE(std::clamp(value, 0, 255));
}

// One row across: in (inWidth pixels of channels samples) to out (outWidth pixels).
void resampleRow(const JSAMPLE* in, JSAMPLE* out, int channels, const AxisWeights& axis,
                 int outWidth) {
    for (int o = 0; o < outWidth; ++o) {
        const int32_t* w = &axis.weights[size_t(o) * size_t(axis.taps)];
        const JSAMPLE* src = in + size_t(axis.first[size_t(o)]) * size_t(channels);
        if (channels == 3) {
            int32_t r = 0;
            int32_t g = 0;
            int32_t b = 0;
            for (int k = 0; k < axis.taps; ++k) {
                r += w[k] * src[3 * k];
                g += w[k] * src[3 * k + 1];
                b += w[k] * src[3 * k + 2];
            }
            out[3 * o] = clampSample(r);
            out[3 * o + 1] = clampSample(g);
            out[3 * o + 2] = clampSample(b);
        } else {
            int32_t v = 0;
            for (int k = 0; k < axis.taps; ++k) {
                v += w[k] * src[k];
            }
            out[o] = clampSample(v);
        }
    }
}

// Rows down: out[x] from the taps rows given, for samples values of x.
void resampleColumn(const JSAMPLE* const* rows, const int32_t* w, int taps, JSAMPLE* out,
                    size_t samples, std::vector<int32_t>& sum) {
    std::fill(sum.begin(), sum.end(), 0);
    for (int k = 0; k < taps; ++k) {
        const JSAMPLE* row = rows[k];
        const int32_t weight = w[k];
        for (size_t x = 0; x < samples; ++x) {
            sum[x] += weight * row[x];
        }
    }
    for (size_t x = 0; x < samples; ++x) {
        out[x] = clampSample(sum[x]);
    }
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
    jpeg_compress_struct out{};
    JumpingErrors inErrors;
    JumpingErrors outErrors;
    bool inCreated = false;
    bool outCreated = false;
    std::unique_ptr<std::FILE, FileCloser> source;
    std::unique_ptr<std::FILE, FileCloser> target;
    std::vector<JSAMPLE> scanline;
    std::vector<std::vector<JSAMPLE>> ring; // horizontally resampled rows, by row % size
    std::vector<JSAMPLE> outRow;
    std::vector<int32_t> sum;
    std::vector<const JSAMPLE*> rowPointers;
    AxisWeights across;
    AxisWeights down;

    ~Work() {
        if (outCreated) {
            jpeg_destroy_compress(&out);
        }
        if (inCreated) {
            jpeg_destroy_decompress(&in);
        }
    }
};

enum class Step { Done, NotMine, DecodeFailed, EncodeFailed };

// The libjpeg part; its errors jump back here. Only the Work's members live across the calls.
Step run(Work& work, const std::string& scratchPath, int fitSize, int quality) {
    if (setjmp(work.inErrors.jump) != 0) {
        return work.inErrors.warned ? Step::NotMine : Step::DecodeFailed;
    }
    if (setjmp(work.outErrors.jump) != 0) {
        return Step::EncodeFailed;
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
    in.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    in.scale_num = 1;
    in.scale_denom = unsigned(jpegShrinkOnLoad(width, height, target));
    jpeg_start_decompress(&in);
    const int decodedWidth = int(in.output_width);
    const int decodedHeight = int(in.output_height);
    const int channels = in.output_components;

    jpeg_compress_struct& out = work.out;
    out.err = jpeg_std_error(&work.outErrors.base);
    work.outErrors.base.error_exit = jumpOnError;
    jpeg_create_compress(&out);
    work.outCreated = true;
    work.target.reset(std::fopen(scratchPath.c_str(), "wb"));
    if (!work.target) {
        return Step::EncodeFailed;
    }
    jpeg_stdio_dest(&out, work.target.get());
    out.image_width = JDIMENSION(target.width);
    out.image_height = JDIMENSION(target.height);
    out.input_components = channels;
    out.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&out);
    jpeg_set_quality(&out, quality, TRUE);
    if (!grey && quality >= 90) {
        // Full-resolution colour from 90 up, as the libvips road writes it.
        for (int c = 0; c < out.num_components; ++c) {
            out.comp_info[c].h_samp_factor = 1;
            out.comp_info[c].v_samp_factor = 1;
        }
    }
    if (in.saw_JFIF_marker) {
        out.density_unit = in.density_unit;
        out.X_density = in.X_density;
        out.Y_density = in.Y_density;
    }
    jpeg_start_compress(&out, TRUE);
    for (jpeg_saved_marker_ptr m = in.marker_list; m != nullptr; m = m->next) {
        if (isExif(m)) {
            updateExifDimensions(m, target.width, target.height);
        }
        jpeg_write_marker(&out, m->marker, m->data, m->data_length);
    }

    work.across = axisWeights(decodedWidth, target.width);
    work.down = axisWeights(decodedHeight, target.height);
    const int taps = work.down.taps;
    const size_t rowSamples = size_t(target.width) * size_t(channels);
    work.scanline.resize(size_t(decodedWidth) * size_t(channels));
    work.ring.assign(size_t(taps), std::vector<JSAMPLE>(rowSamples));
    work.outRow.resize(rowSamples);
    work.sum.resize(rowSamples);
    work.rowPointers.resize(size_t(taps));
    int rowsRead = 0; // decoded rows, each resampled across into the ring
    for (int y = 0; y < target.height; ++y) {
        const int first = work.down.first[size_t(y)];
        while (rowsRead < first + taps) {
            JSAMPROW row = work.scanline.data();
            jpeg_read_scanlines(&in, &row, 1);
            resampleRow(work.scanline.data(), work.ring[size_t(rowsRead % taps)].data(), channels,
                        work.across, target.width);
            ++rowsRead;
        }
        for (int k = 0; k < taps; ++k) {
            work.rowPointers[size_t(k)] = work.ring[size_t((first + k) % taps)].data();
        }
        resampleColumn(work.rowPointers.data(), &work.down.weights[size_t(y) * size_t(taps)], taps,
                       work.outRow.data(), rowSamples, work.sum);
        JSAMPROW row = work.outRow.data();
        jpeg_write_scanlines(&out, &row, 1);
    }
    // The rest of the photo is read too: a damaged end is found (a warning) before anything is
    // kept.
    while (in.output_scanline < in.output_height) {
        JSAMPROW row = work.scanline.data();
        jpeg_read_scanlines(&in, &row, 1);
    }
    jpeg_finish_decompress(&in);
    jpeg_finish_compress(&out);
    return Step::Done;
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
    if (step == Step::NotMine || step == Step::DecodeFailed) {
        // The scratch file goes with its object; the libvips road decides on this photo.
        return JpegFitOutcome::NotMine;
    }
    const bool written = step == Step::Done && work.target && std::fflush(work.target.get()) == 0 &&
                         std::ferror(work.target.get()) == 0;
    work.target.reset();
    if (!written) {
        error = "画像の変換に失敗しました: " + sourcePath;
        if (work.outErrors.message[0] != '\0') {
            error += std::string(" (") + work.outErrors.message + ")";
        }
        return JpegFitOutcome::Failed;
    }
    if (!scratch.commit()) {
        error = "出力ファイルを保存できません: " + destination + " (" + scratch.error() + ")";
        return JpegFitOutcome::Failed;
    }
    return JpegFitOutcome::Done;
}
