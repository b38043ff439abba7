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
