#include "RowResample.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kWeightBits = 14;
constexpr int32_t kWeightOne = 1 << kWeightBits;
constexpr int32_t kRounding = kWeightOne >> 1;

double triangle(double x) {
    x = std::fabs(x);
    return x < 1.0 ? 1.0 - x : 0.0;
}

inline unsigned char toSample(int32_t roundedSum) {
    return static_cast<unsigned char>(std::clamp(roundedSum >> kWeightBits, 0, 255));
}

// Colour pixels with two or three taps, written out: the usual photo's case.
template <int Taps>
void resampleRgb(const unsigned char* in, unsigned char* out, const AxisWeights& axis,
                 int outWidth) {
    static_assert(Taps == 2 || Taps == 3);
    const int32_t* w = axis.weights.data();
    const int* first = axis.first.data();
    for (int o = 0; o < outWidth; ++o, w += Taps, out += 3) {
        const unsigned char* src = in + std::size_t(first[o]) * 3;
        const int32_t w0 = w[0];
        const int32_t w1 = w[1];
        int32_t r = kRounding + w0 * src[0] + w1 * src[3];
        int32_t g = kRounding + w0 * src[1] + w1 * src[4];
        int32_t b = kRounding + w0 * src[2] + w1 * src[5];
        if constexpr (Taps == 3) {
            const int32_t w2 = w[2];
            r += w2 * src[6];
            g += w2 * src[7];
            b += w2 * src[8];
        }
        out[0] = toSample(r);
        out[1] = toSample(g);
        out[2] = toSample(b);
    }
}

} // namespace

AxisWeights axisWeights(int in, int out) {
    AxisWeights axis;
    const double step = double(in) / double(out);
    const double stretch = std::max(1.0, step); // the filter widens when reducing
    std::vector<int> lows(static_cast<std::size_t>(out));
    std::vector<int> highs(static_cast<std::size_t>(out));
    for (int o = 0; o < out; ++o) {
        const double center = (o + 0.5) * step - 0.5;
        // Only the inputs with a weight above zero.
        lows[std::size_t(o)] = std::max(0, int(std::floor(center - stretch)) + 1);
        highs[std::size_t(o)] = std::min(in - 1, int(std::ceil(center + stretch)) - 1);
        if (highs[std::size_t(o)] < lows[std::size_t(o)]) {
            lows[std::size_t(o)] = highs[std::size_t(o)] =
                std::clamp(int(std::lround(center)), 0, in - 1);
        }
        axis.taps = std::max(axis.taps, highs[std::size_t(o)] - lows[std::size_t(o)] + 1);
    }
    axis.taps = std::min(axis.taps, in);
    axis.first.resize(std::size_t(out));
    axis.weights.assign(std::size_t(out) * std::size_t(axis.taps), 0);
    std::vector<double> w(std::size_t(axis.taps));
    for (int o = 0; o < out; ++o) {
        const double center = (o + 0.5) * step - 0.5;
        const int first = std::min(lows[std::size_t(o)], in - axis.taps);
        double sum = 0;
        for (int k = 0; k < axis.taps; ++k) {
            const int at = first + k;
            w[std::size_t(k)] =
                at <= highs[std::size_t(o)] ? triangle((at - center) / stretch) : 0.0;
            sum += w[std::size_t(k)];
        }
        int32_t* dst = &axis.weights[std::size_t(o) * std::size_t(axis.taps)];
        axis.first[std::size_t(o)] = first;
        if (sum <= 0) {
            dst[std::clamp(int(std::lround(center)) - first, 0, axis.taps - 1)] = kWeightOne;
            continue;
        }
        int32_t total = 0;
        int biggest = 0;
        for (int k = 0; k < axis.taps; ++k) {
            dst[k] = int32_t(std::lround(w[std::size_t(k)] / sum * kWeightOne));
            total += dst[k];
            if (dst[k] > dst[biggest]) {
                biggest = k;
            }
        }
        dst[biggest] += kWeightOne - total; // exact unity: flat areas stay exactly flat
    }
    return axis;
}

void resampleRow(const unsigned char* in, unsigned char* out, int channels, const AxisWeights& axis,
                 int outWidth) {
    if (channels == 3 && axis.taps == 2) {
        resampleRgb<2>(in, out, axis, outWidth);
        return;
    }
    if (channels == 3 && axis.taps == 3) {
        resampleRgb<3>(in, out, axis, outWidth);
        return;
    }
    for (int o = 0; o < outWidth; ++o) {
        const int32_t* w = &axis.weights[std::size_t(o) * std::size_t(axis.taps)];
        const unsigned char* src =
            in + std::size_t(axis.first[std::size_t(o)]) * std::size_t(channels);
        for (int c = 0; c < channels; ++c) {
            int32_t v = kRounding;
            for (int k = 0; k < axis.taps; ++k) {
                v += w[k] * src[k * channels + c];
            }
            out[o * channels + c] = toSample(v);
        }
    }
}

void resampleColumn(const unsigned char* const* rows, const int32_t* weights, int taps,
                    unsigned char* out, std::size_t samples) {
    // Blocks of a fixed length: the compiler turns the inner loops into vector code.
    constexpr std::size_t kBlock = 64;
    int32_t sum[kBlock];
    std::size_t x = 0;
    for (; x + kBlock <= samples; x += kBlock) {
        for (std::size_t i = 0; i < kBlock; ++i) {
            sum[i] = kRounding;
        }
        for (int k = 0; k < taps; ++k) {
            const int32_t weight = weights[k];
            if (weight == 0) {
                continue;
            }
            const unsigned char* row = rows[k] + x;
            for (std::size_t i = 0; i < kBlock; ++i) {
                sum[i] += weight * row[i];
            }
        }
        for (std::size_t i = 0; i < kBlock; ++i) {
            out[x + i] = toSample(sum[i]);
        }
    }
    for (; x < samples; ++x) {
        int32_t v = kRounding;
        for (int k = 0; k < taps; ++k) {
            v += weights[k] * rows[k][x];
        }
        out[x] = toSample(v);
    }
}

AcrossResampler::AcrossResampler(int inWidth, int outWidth, int channels)
    : axis_(axisWeights(inWidth, outWidth)), channels_(channels), outWidth_(outWidth) {
    const std::size_t samples = std::size_t(outWidth) * std::size_t(channels);
    std::vector<Stretch> stretches;
    for (int o = 0; o < outWidth; ++o) {
        const std::ptrdiff_t ahead =
            std::ptrdiff_t(axis_.first[std::size_t(o)] - o) * std::ptrdiff_t(channels);
        const std::size_t at = std::size_t(o) * std::size_t(channels);
        if (stretches.empty() || stretches.back().ahead != ahead) {
            stretches.push_back({at, at, ahead});
        }
        stretches.back().end = at + std::size_t(channels);
    }
    // Vectors pay only over stretches of several blocks (not when enlarging, say).
    if (samples < stretches.size() * 256) {
        return;
    }
    stretches_ = std::move(stretches);
    sampleWeights_.resize(std::size_t(axis_.taps) * samples);
    for (int k = 0; k < axis_.taps; ++k) {
        for (std::size_t x = 0; x < samples; ++x) {
            const std::size_t o = x / std::size_t(channels);
            sampleWeights_[std::size_t(k) * samples + x] =
                int16_t(axis_.weights[o * std::size_t(axis_.taps) + std::size_t(k)]);
        }
    }
}

void AcrossResampler::resample(const unsigned char* in, unsigned char* out) const {
    if (stretches_.empty()) {
        resampleRow(in, out, channels_, axis_, outWidth_);
        return;
    }
    const std::size_t plane = std::size_t(outWidth_) * std::size_t(channels_);
    const int taps = axis_.taps;
    constexpr std::size_t kBlock = 32;
    for (const Stretch& stretch : stretches_) {
        std::size_t x = stretch.begin;
        for (; x + kBlock <= stretch.end; x += kBlock) {
            int32_t sum[kBlock];
            for (std::size_t i = 0; i < kBlock; ++i) {
                sum[i] = kRounding;
            }
            for (int k = 0; k < taps; ++k) {
                const int16_t* w = &sampleWeights_[std::size_t(k) * plane + x];
                const unsigned char* src =
                    in + (std::ptrdiff_t(x) + stretch.ahead + std::ptrdiff_t(k * channels_));
                for (std::size_t i = 0; i < kBlock; ++i) {
                    sum[i] += int32_t(w[i]) * int32_t(src[i]);
                }
            }
            for (std::size_t i = 0; i < kBlock; ++i) {
                out[x + i] = toSample(sum[i]);
            }
        }
        for (; x < stretch.end; ++x) {
            int32_t v = kRounding;
            for (int k = 0; k < taps; ++k) {
                v += int32_t(sampleWeights_[std::size_t(k) * plane + x]) *
                     int32_t(in[std::ptrdiff_t(x) + stretch.ahead + std::ptrdiff_t(k * channels_)]);
            }
            out[x] = toSample(v);
        }
    }
}
