#include "FitGeometry.h"

#include <algorithm>
#include <cmath>

FittedSize fittedSize(int width, int height, int box) {
    const double scale = double(box) / double(std::max(width, height));
    return {std::max(1, int(std::lround(width * scale))),
            std::max(1, int(std::lround(height * scale)))};
}

int jpegShrinkOnLoad(int width, int height, FittedSize target) {
    for (const int shrink : {8, 4, 2}) {
        // libjpeg rounds scaled sizes up.
        const int decodedWidth = (width + shrink - 1) / shrink;
        const int decodedHeight = (height + shrink - 1) / shrink;
        if (decodedWidth >= target.width && decodedHeight >= target.height) {
            return shrink;
        }
    }
    return 1;
}
