#pragma once

#include <cstddef>
#include <optional>
#include <string>

// What "-g allxml" reports about one image file, read from its header only.
struct ImageProperties {
    std::string format; // loader name: "jpeg", "png", "tiff", ...
    int pixelWidth = 0; // stored pixels, before any EXIF orientation is applied
    int pixelHeight = 0;
    int samplesPerPixel = 0;
    int bitsPerSample = 0;
    bool hasAlpha = false;
    std::string space; // "RGB", "Gray", "CMYK", "Lab"
    double dpiWidth = 0;
    double dpiHeight = 0;
    std::optional<int> orientation;     // EXIF orientation 1..8 when the file has one
    std::optional<std::string> profile; // description of the embedded ICC profile
};

// Reads the header of the image at path; none with a Japanese message in error when the file is
// missing or not an image libvips can read.
std::optional<ImageProperties> readImageProperties(const std::string& path, std::string& error);

// The properties as an XML property list (plist 1.0), one flat dictionary.
std::string plistXmlFromProperties(const ImageProperties& properties);

// The description text of an ICC profile ("desc" tag, v2 text or v4 multi-language); "" when the
// profile has none that can be read.
std::string iccProfileDescription(const unsigned char* data, std::size_t size);
