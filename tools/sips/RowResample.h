#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A triangle (linear) filter on 8-bit samples, separable: rows across, then rows down.
//
// After the DCT-domain shrink what is left is a small step (6000 -> 3000 -> 2998 for the usual
// photo): a triangle widened to the reduction touches two or three input pixels per output and
// costs a quarter of a Lanczos-3, which would take as long as decoding the photo again.

// For each output position along one axis: the first input position and integer weights (summing
// to exactly one) of the input positions from there on, taps of them per output.
struct AxisWeights {
    int taps = 0;
    std::vector<int> first;
    std::vector<int32_t> weights; // taps per output position
};

AxisWeights axisWeights(int in, int out);

// One row across: in (its pixels of channels samples each) to out (outWidth pixels).
void resampleRow(const unsigned char* in, unsigned char* out, int channels, const AxisWeights& axis,
                 int outWidth);

// One output row down: out[x] from the taps rows given and their weights, x below samples.
void resampleColumn(const unsigned char* const* rows, const int32_t* weights, int taps,
                    unsigned char* out, std::size_t samples);

// Rows across, prepared once per photo: the same result as resampleRow, faster. Where the first
// input pixel of each output pixel stays the same distance ahead of it for a long stretch (the
// usual small reduction: 3000 to 2998 moves it on twice per row), a stretch is weighed sample by
// sample as vectors, with each sample's weights laid out beforehand.
class AcrossResampler {
public:
    AcrossResampler() = default;
    AcrossResampler(int inWidth, int outWidth, int channels);
    void resample(const unsigned char* in, unsigned char* out) const;

private:
    struct Stretch {
        std::size_t begin = 0; // output samples [begin, end)
        std::size_t end = 0;
        std::ptrdiff_t ahead = 0; // output sample x weighs input samples x + ahead on
    };
    AxisWeights axis_;
    int channels_ = 0;
    int outWidth_ = 0;
    std::vector<Stretch> stretches_;     // empty: too short to pay, resampleRow does it
    std::vector<int16_t> sampleWeights_; // per tap, one weight per output sample
};
