#pragma once

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
