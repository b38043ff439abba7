#pragma once

#include "VipsHandle.h"

#include <string>

// Output size of fitting width × height into a box × box square: the long side becomes box, the
// short side is rounded to the nearest pixel (at least 1).
struct FittedSize {
    int width = 0;
    int height = 0;
};
FittedSize fittedSize(int width, int height, int box);

// The largest libjpeg scale-down (8, 4, 2 or 1) whose decoded image is still at least the
// target in both directions, so the final resample only ever reduces a little.
int jpegShrinkOnLoad(int width, int height, FittedSize target);

// The image at fileName (a name libvips reads literally), fitted into box × box and turned upright
// from its EXIF orientation; decoding is sequential and fails on damaged or truncated data. Null
// with libvips' error buffer set when the file cannot be read.
VipsHandle<VipsImage> loadFitted(const std::string& fileName, int box);
