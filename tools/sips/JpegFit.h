#pragma once

#include <string>

// The fast road for the order pipeline's usual photo, on libjpeg-turbo alone: a clean 8-bit RGB
// or grey JPEG without rotation. It is decoded already scaled down in the DCT domain (by 8, 4 or
// 2, the most that keeps it at least as large as the target), resampled to the exact size on a
// few rows at a time (a triangle filter) and encoded once, on a second thread where a second core
// may run it, so that encoding overlaps decoding; with the ICC profile, EXIF (its pixel
// dimensions updated), XMP and IPTC kept and the resolution carried over. libvips is not loaded
// at all: its start (about a hundred libraries) would cost more than the resample.
//
// Anything else it hands over (NotMine) before anything is written: CMYK, 12-bit, a rotated
// photo, and a photo whose decoding raised any warning (damaged or truncated data), which the
// libvips road then judges.
enum class JpegFitOutcome { Done, NotMine, Failed };

// destination: where the result goes (already resolved and checked, see resolveFitTarget). error
// is set when Failed.
JpegFitOutcome fitPlainJpeg(const std::string& sourcePath, const std::string& destination,
                            int fitSize, int quality, std::string& error);
