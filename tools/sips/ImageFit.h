#pragma once

#include <string>

// Fits the image at sourcePath into a fitSize × fitSize square, keeping its aspect ratio and
// enlarging small images too, and writes it as JPEG of the given quality (1..100) to outputPath
// (an existing folder means: a file of the source's name inside it).
//
// The photo is turned upright from its EXIF orientation and the tag is set to 1, so every viewer
// and the lab's printers show it the same way. The ICC profile, EXIF, XMP and IPTC data are kept;
// transparency is flattened onto white. The source is never written: an output that is the
// source itself (same path, symbolic or hard link) is refused. Returns "" on success, otherwise a
// Japanese message; a failed run leaves no file at outputPath.
std::string fitImageToJpeg(const std::string& sourcePath, const std::string& outputPath,
                           int fitSize, int quality);
