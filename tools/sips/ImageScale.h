#pragma once

#include "FitGeometry.h"
#include "VipsHandle.h"

#include <string>

// The image at fileName (a name libvips reads literally), fitted into box × box and turned upright
// from its EXIF orientation; decoding is sequential and fails on damaged or truncated data. Null
// with libvips' error buffer set when the file cannot be read.
VipsHandle<VipsImage> loadFitted(const std::string& fileName, int box);
